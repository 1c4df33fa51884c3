# The validator: its own machinery against test effects with known faults, and
# our module through the whole quick battery (the editor checks under a virtual
# X server when one is available).

set(TW07_BADFX_VARIANTS GOOD OVERRUN ALLOCATES CHANGES_FPU STICKY_NAN LONG_NAME THREAD UNCHECKED_INDEX
  X_AT_LOAD SLOW_SCAN EXTRA_EXPORT SKIPS_TAIL DROPS_REMAINDER STALE_REMAINDER PADDED_TEXT SLOW_SILENCE
  RATE_UNCHECKED)
add_executable(validator_tests validator/ValidatorTest.cpp)
target_link_libraries(validator_tests PRIVATE GTest::gtest_main)
add_dependencies(validator_tests tw07-host)
target_compile_definitions(validator_tests PRIVATE TW07_HOST_EXECUTABLE="$<TARGET_FILE:tw07-host>")
# The machinery in process: the validator library without the command.
add_executable(validator_machinery_tests validator/MachineryTest.cpp)
target_link_libraries(validator_machinery_tests PRIVATE tw07_validate GTest::gtest_main)
gtest_discover_tests(validator_machinery_tests TEST_PREFIX "validator." PROPERTIES LABELS validator)

foreach(variant ${TW07_BADFX_VARIANTS})
  string(TOLOWER "tw07_badfx_${variant}" target)
  add_library(${target} MODULE validator/BadFx.cpp)
  set_target_properties(${target} PROPERTIES PREFIX "")
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE BADFX_${variant}=1)
  target_compile_definitions(validator_tests PRIVATE BADFX_${variant}="$<TARGET_FILE:${target}>")
  target_compile_definitions(validator_machinery_tests PRIVATE BADFX_${variant}="$<TARGET_FILE:${target}>")
  add_dependencies(validator_tests ${target})
  add_dependencies(validator_machinery_tests ${target})
endforeach()
gtest_discover_tests(validator_tests TEST_PREFIX "validator." PROPERTIES LABELS validator TIMEOUT 300)

if(TW07_XVFB_RUN)
  set(tw07_validate_launcher ${TW07_XVFB_RUN} -a)
endif()
add_test(NAME validator.tw07_quick COMMAND ${tw07_validate_launcher} $<TARGET_FILE:tw07-host>
  validate --quick --skip signal.denormals $<TARGET_FILE:tw07>)
add_test(NAME validator.tw07_clap COMMAND ${tw07_validate_launcher} $<TARGET_FILE:tw07-host>
  validate $<TARGET_FILE:tw07_clap>)
add_test(NAME validator.tw07_vst3 COMMAND ${tw07_validate_launcher} $<TARGET_FILE:tw07-host>
  validate ${PROJECT_BINARY_DIR}/plug/tw07.vst3)
set_tests_properties(validator.tw07_clap validator.tw07_vst3 PROPERTIES LABELS validator TIMEOUT 120)
# signal.denormals is a timing measurement, and timings are reported by the benchmarks
# (effect_bench's silence cases) rather than gating the suite. The control-state part is checked
# on every call by the audio checks, and the whole register by the float-mode test.
# Under ThreadSanitizer the software GL driver's own synchronisation is not ours to report.
set_tests_properties(validator.tw07_quick PROPERTIES LABELS "validator;realtime" TIMEOUT 120
  ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
