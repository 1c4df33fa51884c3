# Editor: the GUI window layer (on a virtual X server) and the widgets (headless).

if(TW07_BUILD_EDITOR)
  if(NOT TW07_XVFB_RUN)
    message(FATAL_ERROR "the editor tests need xvfb-run")
  endif()
  find_package(X11 REQUIRED)
  find_library(TW07_XTST_LIBRARY Xtst REQUIRED)

  add_library(editor_test_support STATIC editor/EditorTestSupport.cpp)
  target_link_libraries(editor_test_support PUBLIC kx_imgui plug_widgets tw07_host X11::X11 ${TW07_XTST_LIBRARY}
    GTest::gtest)

  add_executable(editor_window_tests editor/EditorWindowTest.cpp)
  target_link_libraries(editor_window_tests PRIVATE editor_test_support GTest::gtest_main)
  add_test(NAME editor.window COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:editor_window_tests>)
  set_tests_properties(editor.window PROPERTIES LABELS editor
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")

  add_executable(editor_threads_tests editor/EditorWindowThreadsTest.cpp)
  target_link_libraries(editor_threads_tests PRIVATE editor_test_support GTest::gtest_main)
  add_test(NAME editor.threads COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:editor_threads_tests>)
  set_tests_properties(editor.threads PROPERTIES LABELS "editor;threads"
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()

if(TW07_BUILD_EDITOR)
  add_executable(editor_widgets_tests editor/WidgetsTest.cpp editor/FrameDamageTest.cpp)
  target_link_libraries(editor_widgets_tests PRIVATE plug_widgets kx_imgui GTest::gtest_main)
  gtest_discover_tests(editor_widgets_tests TEST_PREFIX "editor." PROPERTIES LABELS editor)
endif()

# The effect's editor through the real module, driven like a host with real X input.
if(TW07_BUILD_EDITOR)
  add_library(editor_module_support STATIC editor/ModuleEditorSupport.cpp)
  target_link_libraries(editor_module_support PUBLIC editor_test_support tw07_render X11::X11)
  target_compile_definitions(editor_module_support PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_dependencies(editor_module_support tw07)

  foreach(name effect effect_threads focus scale)
    if(name STREQUAL "effect")
      set(source editor/EffectEditorTest.cpp)
      set(labels editor)
    elseif(name STREQUAL "scale")
      set(source editor/EditorScaleTest.cpp)
      set(labels editor)
    elseif(name STREQUAL "focus")
      set(source editor/EditorFocusTest.cpp)
      set(labels editor)
    else()
      set(source editor/EffectEditorThreadsTest.cpp)
      set(labels "editor;threads")
    endif()
    add_executable(editor_${name}_tests ${source})
    target_link_libraries(editor_${name}_tests PRIVATE editor_module_support GTest::gtest_main)
    target_compile_definitions(editor_${name}_tests PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
    # The editor at 2x is 1820 pixels wide: a screen it fits on, for its pictures.
    set(display ${TW07_VIRTUAL_DISPLAY})
    if(name STREQUAL "scale")
      set(display ${TW07_XVFB_RUN} -a -s "-noreset -screen 0 1920x1200x24")
    endif()
    add_test(NAME editor.${name} COMMAND ${display}
      $<TARGET_FILE:editor_${name}_tests>)
    set_tests_properties(editor.${name} PROPERTIES LABELS "${labels}" TIMEOUT 300
      ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
  endforeach()
endif()

# Frames drawn in regions against whole frames, with the effect linked in (not loaded).
if(TW07_BUILD_EDITOR)
  add_executable(editor_frame_regions_tests editor/FrameRegionsTest.cpp)
  target_link_libraries(editor_frame_regions_tests PRIVATE editor_module_support plug GTest::gtest_main)
  target_compile_definitions(editor_frame_regions_tests PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_test(NAME editor.frame_regions COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:editor_frame_regions_tests>)
  set_tests_properties(editor.frame_regions PROPERTIES LABELS editor TIMEOUT 120
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()
