# The VST 3 bundle: through its exported entry as hosts load it, against the VST 2 module,
# and through the SDK's validator where this machine has it.
add_executable(vst3_module_test vst3/Vst3ModuleTest.cpp)
target_link_libraries(vst3_module_test PRIVATE format_test_support tw07_validate plug_presets GTest::gtest_main)
target_compile_definitions(vst3_module_test PRIVATE TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3"
  TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(vst3_module_test tw07 tw07_vst3)
gtest_discover_tests(vst3_module_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 600)

# The validator is an uninstrumented program: it can only load a plain build of the bundle.
if(TW07_SANITIZE STREQUAL "")
  set(TW07_VST3_VALIDATOR "${PROJECT_SOURCE_DIR}/../shared/tools/vst3-validator" CACHE FILEPATH
    "The VST 3 SDK's validator; the tests that run it are skipped where it is absent")
  foreach(mode normal extensive)
    set(options "")
    if(mode STREQUAL "extensive")
      set(options -e)
    endif()
    add_test(NAME vst3.validator_${mode}
      COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/vst3/run-validator.sh" "${TW07_VST3_VALIDATOR}"
              "${PROJECT_BINARY_DIR}/plug/tw07.vst3" ${options})
    set_tests_properties(vst3.validator_${mode} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 700)
  endforeach()
endif()

if(TW07_BUILD_EDITOR)
  add_executable(vst3_gui_test vst3/Vst3GuiTest.cpp)
  target_include_directories(vst3_gui_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/editor)
  target_link_libraries(vst3_gui_test PRIVATE tw07_host editor_module_support GTest::gtest_main)
  target_compile_definitions(vst3_gui_test PRIVATE TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3"
    TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_dependencies(vst3_gui_test tw07_vst3)
  add_test(NAME vst3.gui COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:vst3_gui_test>)
  set_tests_properties(vst3.gui PROPERTIES LABELS editor TIMEOUT 300
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()
