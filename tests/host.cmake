# The command-line host: its library against in-process fakes, the test effect,
# and third-party modules (which must be installed: scripts/setup.sh).
add_executable(host_tests
  host/AudioDifferenceTest.cpp
  host/ArgumentsTest.cpp
  host/AudioFileTest.cpp
  host/CompareBatteryTest.cpp
  host/HostContextTest.cpp
  host/JsonTextTest.cpp
  host/ModuleTest.cpp
  host/PluckedStringTest.cpp
  host/RenderOptionsTest.cpp
  host/RendererTest.cpp
  host/SignalsTest.cpp
)
target_link_libraries(host_tests PRIVATE tw07_cli GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE TW07_HOST_EXECUTABLE="$<TARGET_FILE:tw07-host>")
add_dependencies(host_tests tw07-host)
gtest_discover_tests(host_tests TEST_PREFIX "host." PROPERTIES LABELS host)

if(TARGET tw07_testfx)
  add_executable(host_testfx_tests host/TestFxTest.cpp)
  target_link_libraries(host_testfx_tests PRIVATE tw07_render GTest::gtest_main)
  # Exports the probe the test effect looks up with dlsym.
  set_target_properties(host_testfx_tests PROPERTIES ENABLE_EXPORTS ON)
  target_compile_definitions(host_testfx_tests PRIVATE TESTFX_PATH="$<TARGET_FILE:tw07_testfx>")
  add_dependencies(host_testfx_tests tw07_testfx)
  gtest_discover_tests(host_testfx_tests TEST_PREFIX "host." PROPERTIES LABELS host)

  # tw07-host compare on the validator's test effects (tests/validator.cmake builds them).
  add_executable(host_compare_tests host/CompareCommandTest.cpp)
  target_link_libraries(host_compare_tests PRIVATE GTest::gtest_main)
  target_include_directories(host_compare_tests PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(host_compare_tests PRIVATE TW07_HOST_EXECUTABLE="$<TARGET_FILE:tw07-host>"
    TESTFX_PATH="$<TARGET_FILE:tw07_testfx>")
  foreach(variant GOOD DROPS_REMAINDER STALE_REMAINDER SKIPS_TAIL)
    string(TOLOWER "tw07_badfx_${variant}" module)
    target_compile_definitions(host_compare_tests PRIVATE BADFX_${variant}="$<TARGET_FILE:${module}>")
    add_dependencies(host_compare_tests ${module})
  endforeach()
  add_dependencies(host_compare_tests tw07-host tw07_testfx)
  gtest_discover_tests(host_compare_tests TEST_PREFIX "host." PROPERTIES LABELS host)
endif()
