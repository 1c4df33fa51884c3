# The effect: per-block processing through the class itself.
add_executable(effect_plug_test effect/PlugTest.cpp)
target_link_libraries(effect_plug_test PRIVATE plug GTest::gtest_main)
gtest_discover_tests(effect_plug_test DISCOVERY_MODE PRE_TEST)

add_executable(effect_grid_test effect/GridTest.cpp)
target_link_libraries(effect_grid_test PRIVATE plug tw07_audio GTest::gtest_main)
gtest_discover_tests(effect_grid_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 900)

# Through the exported entry point, as hosts load it.
add_executable(effect_module_test effect/ModuleTest.cpp)
target_link_libraries(effect_module_test PRIVATE tw07_render GTest::gtest_main)
target_compile_definitions(effect_module_test PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>")
add_dependencies(effect_module_test tw07)
gtest_discover_tests(effect_module_test DISCOVERY_MODE PRE_TEST)

# The host's floating-point mode, through every format's module.
add_executable(formats_float_mode_test formats/FloatModeTest.cpp)
target_link_libraries(formats_float_mode_test PRIVATE tw07_render GTest::gtest_main)
target_compile_definitions(formats_float_mode_test PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>"
  TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>" TW07_VST3_PATH="${PROJECT_BINARY_DIR}/plug/tw07.vst3"
  TW07_LV2_PATH="${PROJECT_BINARY_DIR}/plug/tw07.lv2")
add_dependencies(formats_float_mode_test tw07 tw07_clap tw07_vst3 tw07_lv2)
gtest_discover_tests(formats_float_mode_test DISCOVERY_MODE PRE_TEST)

# The hosts' scanners are uninstrumented programs: they can only load a plain build of the modules.
if(TW07_SANITIZE STREQUAL "")
  add_executable(effect_scanner_test effect/ScannerTest.cpp)
  target_link_libraries(effect_scanner_test PRIVATE GTest::gtest_main)
  target_compile_definitions(effect_scanner_test PRIVATE TW07_MODULE_PATH="$<TARGET_FILE:tw07>"
    TW07_CLAP_PATH="$<TARGET_FILE:tw07_clap>")
  add_dependencies(effect_scanner_test tw07 tw07_clap)
  gtest_discover_tests(effect_scanner_test DISCOVERY_MODE PRE_TEST)
endif()

add_executable(effect_adapter_queue_test effect/AdapterQueueTest.cpp)
target_link_libraries(effect_adapter_queue_test PRIVATE kx_vst2 plug GTest::gtest_main)
gtest_discover_tests(effect_adapter_queue_test DISCOVERY_MODE PRE_TEST)

# Audio-path discipline: interposed allocation and lock counters in the plain build,
# RealtimeSanitizer in its own build; under ASan/TSan the concurrent run alone.
add_executable(effect_realtime_test effect/RealtimeTest.cpp)
target_link_libraries(effect_realtime_test PRIVATE kx_vst2 kx_clap kx_vst3 kx_lv2 plug GTest::gtest_main ${CMAKE_DL_LIBS})
if(TW07_SANITIZE STREQUAL "")
  target_compile_definitions(effect_realtime_test PRIVATE TW07_INTERPOSE=1)
endif()
# One label that both the realtime and the threads preset's patterns match: tests discovered at
# test time take one label only.
gtest_discover_tests(effect_realtime_test DISCOVERY_MODE PRE_TEST PROPERTIES LABELS realtime_threads)

# The knobs and the anti-alias filters in physical units, from the effect's own constants.
add_executable(effect_units_test effect/ToneLawTest.cpp effect/AntiAliasTest.cpp)
target_link_libraries(effect_units_test PRIVATE bricks GTest::gtest_main)
target_include_directories(effect_units_test PRIVATE ${CMAKE_SOURCE_DIR})
gtest_discover_tests(effect_units_test DISCOVERY_MODE PRE_TEST)

# cmake --install puts each format's module where hosts look for it.
add_test(NAME install.modules
  COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${PROJECT_BINARY_DIR} -DDEST=${CMAKE_CURRENT_BINARY_DIR}/install-stage
          "-DFILES=${TW07_CLAP_DIR}/tw07.clap,${TW07_VST_DIR}/tw07.so,${TW07_VST3_DIR}/tw07.vst3/Contents/x86_64-linux/tw07.so,${TW07_LV2_DIR}/tw07.lv2/tw07.so,${TW07_LV2_DIR}/tw07.lv2/manifest.ttl,${TW07_LV2_DIR}/tw07.lv2/tw07.ttl"
          -P "${CMAKE_CURRENT_SOURCE_DIR}/CheckInstall.cmake")

# The factory presets: complete, level-matched, and each measured doing what it is for.
add_executable(effect_presets_test effect/PresetsTest.cpp)
target_link_libraries(effect_presets_test PRIVATE plug tw07_audio GTest::gtest_main)
gtest_discover_tests(effect_presets_test DISCOVERY_MODE PRE_TEST)
