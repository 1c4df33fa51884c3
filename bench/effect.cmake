add_executable(effect_bench effect/ModuleBench.cpp)
target_link_libraries(effect_bench PRIVATE tw07_render plug benchmark::benchmark)
target_compile_definitions(effect_bench PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(effect_bench tw07)
