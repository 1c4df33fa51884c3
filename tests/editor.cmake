# Editor: the GUI window layer (on a virtual X server) and the widgets (headless).

if(TW07_BUILD_EDITOR)
  find_program(TW07_XVFB_RUN xvfb-run REQUIRED)
  find_package(X11 REQUIRED)

  add_library(editor_test_support STATIC editor/EditorTestSupport.cpp)
  target_link_libraries(editor_test_support PUBLIC kx_imgui X11::X11 GTest::gtest)

  add_executable(editor_window_tests editor/ImguiEditorTest.cpp)
  target_link_libraries(editor_window_tests PRIVATE editor_test_support GTest::gtest_main)
  add_test(NAME editor.window COMMAND ${TW07_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:editor_window_tests>)
  set_tests_properties(editor.window PROPERTIES LABELS editor)

  add_executable(editor_threads_tests editor/ImguiEditorThreadsTest.cpp)
  target_link_libraries(editor_threads_tests PRIVATE editor_test_support GTest::gtest_main)
  add_test(NAME editor.threads COMMAND ${TW07_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:editor_threads_tests>)
  set_tests_properties(editor.threads PROPERTIES LABELS "editor;threads")
endif()

if(TW07_BUILD_EDITOR)
  add_executable(editor_widgets_tests editor/WidgetsTest.cpp)
  target_link_libraries(editor_widgets_tests PRIVATE plug_widgets GTest::gtest_main)
  gtest_discover_tests(editor_widgets_tests TEST_PREFIX "editor." PROPERTIES LABELS editor)
endif()
