add_executable(effect_bench effect/ModuleBench.cpp)
target_link_libraries(effect_bench PRIVATE tw07_render plug benchmark::benchmark)
target_compile_definitions(effect_bench PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(effect_bench tw07)

# The module in each format, taking turns.
add_executable(formats_bench effect/FormatsBench.cpp)
target_link_libraries(formats_bench PRIVATE tw07_host tw07_audio benchmark::benchmark)
target_compile_definitions(formats_bench PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>"
  TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>" TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3"
  TW07_LV2_PATH="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
add_dependencies(formats_bench tw07 tw07_clap tw07_vst3 tw07_lv2)
