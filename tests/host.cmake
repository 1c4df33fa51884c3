# The command-line host: its library against in-process fakes, the test effect,
# and third-party modules (which must be installed: scripts/setup.sh).
add_executable(host_tests
  host/AudioFileTest.cpp
  host/HostContextTest.cpp
  host/JsonTextTest.cpp
  host/ModuleTest.cpp
  host/PluckedStringTest.cpp
  host/RenderOptionsTest.cpp
  host/RendererTest.cpp
  host/SignalsTest.cpp
)
target_link_libraries(host_tests PRIVATE tw07_hostlib GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE TW07_HOST_EXECUTABLE="$<TARGET_FILE:tw07-host>")
add_dependencies(host_tests tw07-host)
gtest_discover_tests(host_tests TEST_PREFIX "host." PROPERTIES LABELS host)

if(TARGET tw07_testfx)
  add_executable(host_testfx_tests host/TestFxTest.cpp)
  target_link_libraries(host_testfx_tests PRIVATE tw07_hostlib GTest::gtest_main)
  # Exports the probe the test effect looks up with dlsym.
  set_target_properties(host_testfx_tests PROPERTIES ENABLE_EXPORTS ON)
  target_compile_definitions(host_testfx_tests PRIVATE TESTFX_PATH="$<TARGET_FILE:tw07_testfx>")
  add_dependencies(host_testfx_tests tw07_testfx)
  gtest_discover_tests(host_testfx_tests TEST_PREFIX "host." PROPERTIES LABELS host)
endif()
