# What the format tests share: the VST 2 module's renders they must equal.
add_library(format_test_support STATIC formats/Vst2Reference.cpp)
target_include_directories(format_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(format_test_support PUBLIC tw07_host tw07_audio)
target_compile_definitions(format_test_support PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(format_test_support tw07)

# The CLAP module: through its exported entry as hosts load it, and against the VST 2 module.
add_executable(clap_module_test clap/ClapModuleTest.cpp)
target_link_libraries(clap_module_test PRIVATE format_test_support tw07_render tw07_validate plug_presets GTest::gtest_main)
target_compile_definitions(clap_module_test PRIVATE TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>"
  TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(clap_module_test tw07 tw07_clap)
gtest_discover_tests(clap_module_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 600)

add_executable(clap_edits_test clap/ClapEditsTest.cpp)
target_link_libraries(clap_edits_test PRIVATE tw07_host kx_clap plug GTest::gtest_main)
gtest_discover_tests(clap_edits_test DISCOVERY_MODE PRE_TEST)

if(TW07_BUILD_EDITOR)
  add_executable(clap_gui_test clap/ClapGuiTest.cpp)
  target_include_directories(clap_gui_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/editor)
  target_link_libraries(clap_gui_test PRIVATE tw07_host editor_module_support GTest::gtest_main)
  target_compile_definitions(clap_gui_test PRIVATE TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>"
    TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_dependencies(clap_gui_test tw07_clap)
  add_test(NAME clap.gui COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:clap_gui_test>)
  set_tests_properties(clap.gui PROPERTIES LABELS editor TIMEOUT 300
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()
