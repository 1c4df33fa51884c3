# Framework and VST 2.4 binding tests: two small test effects built as real modules, loaded
# through the tools' host library and driven through the exported entry point.

tw07_add_vst2_module(tw07_testfx NO_INSTALL framework/TestFx.cpp)
tw07_add_vst2_module(tw07_testfx_alt NO_INSTALL framework/TestFx.cpp)
target_compile_definitions(tw07_testfx_alt PRIVATE TW07_TESTFX_ALT)

function(tw07_framework_test target)
  add_executable(${target} ${ARGN} framework/TestHost.cpp)
  target_link_libraries(${target} PRIVATE kx tw07_host GTest::gtest_main)
  # Exports the probe the test effects look up with dlsym.
  set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  target_compile_definitions(${target} PRIVATE
    TESTFX_PATH="$<TARGET_FILE:tw07_testfx>"
    TESTFX_ALT_PATH="$<TARGET_FILE:tw07_testfx_alt>"
    NM_PROGRAM="${CMAKE_NM}")
  add_dependencies(${target} tw07_testfx tw07_testfx_alt)
endfunction()

tw07_framework_test(framework_tests
  framework/ParametersTest.cpp
  framework/SettingsTest.cpp
  framework/EditorScaleTest.cpp
  framework/ParameterEditsTest.cpp
  framework/EntryTest.cpp
  framework/OpcodeTest.cpp
  framework/ProcessTest.cpp
  framework/EditorTest.cpp
)
gtest_discover_tests(framework_tests)

tw07_framework_test(framework_threads_tests framework/QueueThreadsTest.cpp)
gtest_discover_tests(framework_threads_tests PROPERTIES LABELS threads)
