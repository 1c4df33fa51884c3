# The LV2 bundle: its data through Debian's LV2 tools, the module through its descriptor, and
# its sound against the VST 2 module's, directly and through lilv's lv2apply.
if(NOT WIN32)
  add_executable(lv2_module_test lv2/Lv2ModuleTest.cpp)
  target_link_libraries(lv2_module_test PRIVATE format_test_support tw07_validate GTest::gtest_main)
  target_compile_definitions(lv2_module_test PRIVATE TW07_LV2_BUNDLE="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
  add_dependencies(lv2_module_test tw07_lv2)
  gtest_discover_tests(lv2_module_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 600)
endif()
