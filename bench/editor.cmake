# CPU share of open editors; needs an X display (xvfb-run -a).
if(TW07_BUILD_EDITOR)
  find_package(X11 REQUIRED)
  add_executable(editor_bench ${CMAKE_CURRENT_LIST_DIR}/editor/EditorCpuBench.cpp)
  target_link_libraries(editor_bench PRIVATE kx_imgui plug_widgets X11::X11 benchmark::benchmark_main)

  add_executable(editor_effect_bench ${CMAKE_CURRENT_LIST_DIR}/editor/EffectEditorBench.cpp)
  target_link_libraries(editor_effect_bench PRIVATE tw07_render X11::X11 benchmark::benchmark_main)
  target_compile_definitions(editor_effect_bench PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
  add_dependencies(editor_effect_bench tw07)
endif()
