# CPU share of open editors; needs an X display (xvfb-run -a).
if(TW07_BUILD_EDITOR)
  add_executable(editor_bench ${CMAKE_CURRENT_LIST_DIR}/editor/EditorCpuBench.cpp)
  target_link_libraries(editor_bench PRIVATE kx_imgui plug_widgets benchmark::benchmark_main)
endif()
