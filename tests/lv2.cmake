# The LV2 bundle: its data through Debian's LV2 tools, the module through its descriptor, and
# its sound against the VST 2 module's, directly and through lilv's lv2apply.
if(NOT WIN32)
  add_executable(lv2_module_test lv2/Lv2ModuleTest.cpp)
  target_link_libraries(lv2_module_test PRIVATE format_test_support tw07_validate plug_presets GTest::gtest_main)
  target_compile_definitions(lv2_module_test PRIVATE TW07_LV2_BUNDLE="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
  add_dependencies(lv2_module_test tw07_lv2)
  # lilv's lv2apply is an uninstrumented program: it can only load a plain build of the bundle.
  if(NOT TW07_SANITIZE STREQUAL "")
    target_compile_definitions(lv2_module_test PRIVATE TW07_SANITIZED_BUILD=1)
  endif()
  gtest_discover_tests(lv2_module_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 600)
endif()

# tw07-host with every format it loads.
if(NOT WIN32)
  add_executable(formats_host_tool_test formats/HostToolTest.cpp)
  target_include_directories(formats_host_tool_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(formats_host_tool_test PRIVATE tw07_audio GTest::gtest_main)
  target_compile_definitions(formats_host_tool_test PRIVATE TW07_HOST_EXECUTABLE="$<TARGET_FILE:tw07-host>"
    TW07_MODULE_PATH="$<TARGET_FILE:tw07>" TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>"
    TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3" TW07_LV2_PATH="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
  add_dependencies(formats_host_tool_test tw07-host tw07 tw07_clap tw07_vst3 tw07_lv2)
  gtest_discover_tests(formats_host_tool_test DISCOVERY_MODE PRE_TEST PROPERTIES LABELS host TIMEOUT 600)
endif()

# A real host: Ardour 7, headless, renders through the VST 3 and LV2 bundles. Ardour is an uninstrumented
# program: it can only load a plain build of the module.
if(TW07_SANITIZE STREQUAL "")
  add_executable(formats_ardour_test formats/ArdourRenderTest.cpp)
  target_link_libraries(formats_ardour_test PRIVATE tw07_render GTest::gtest_main)
  target_compile_definitions(formats_ardour_test PRIVATE TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3"
    TW07_LV2_PATH="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
  add_dependencies(formats_ardour_test tw07_vst3 tw07_lv2)
  # Alone: in parallel runs on a loaded machine the VST 3 render failed twice, once with 23 samples
  # around 1e18 in Ardour's export, which no output of the effect reaches; alone it has not failed.
  gtest_discover_tests(formats_ardour_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()

if(NOT WIN32 AND TW07_BUILD_EDITOR)
  add_executable(lv2_ui_test lv2/Lv2UiTest.cpp)
  target_include_directories(lv2_ui_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/editor)
  target_link_libraries(lv2_ui_test PRIVATE tw07_host editor_module_support GTest::gtest_main)
  target_compile_definitions(lv2_ui_test PRIVATE TW07_LV2_BUNDLE="${PROJECT_BINARY_DIR}/plug/tw07.lv2"
    TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_dependencies(lv2_ui_test tw07_lv2)
  add_test(NAME lv2.ui COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:lv2_ui_test>)
  set_tests_properties(lv2.ui PROPERTIES LABELS editor TIMEOUT 300
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()

# Real hosts: jalv as a JACK client, jalv.gtk3 with the editor (on the virtual X server).
if(NOT WIN32 AND TW07_SANITIZE STREQUAL "")
  add_executable(lv2_jalv_test lv2/JalvTest.cpp)
  target_link_libraries(lv2_jalv_test PRIVATE tw07_audio GTest::gtest_main)
  target_compile_definitions(lv2_jalv_test PRIVATE TW07_LV2_BUNDLE="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
  add_dependencies(lv2_jalv_test tw07_lv2)
  add_test(NAME lv2.jalv COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:lv2_jalv_test>)
  set_tests_properties(lv2.jalv PROPERTIES TIMEOUT 180 RUN_SERIAL TRUE)
endif()
