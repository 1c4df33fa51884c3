# The standalone program: its parts, and the program itself on a JACK server of the test's own.
if(WIN32)
  return()
endif()

add_executable(standalone_parts_test standalone/StandalonePartsTest.cpp)
target_link_libraries(standalone_parts_test PRIVATE kx_standalone plug GTest::gtest_main)
gtest_discover_tests(standalone_parts_test DISCOVERY_MODE PRE_TEST)

add_executable(standalone_program_test standalone/StandaloneProgramTest.cpp standalone/JackServer.cpp
  standalone/StandaloneWindowProbe.cpp)
target_include_directories(standalone_program_test PRIVATE ${PROJECT_SOURCE_DIR})
find_package(X11 REQUIRED)
target_link_libraries(standalone_program_test PRIVATE format_test_support kx_standalone plug X11::X11 GTest::gtest_main)
target_compile_definitions(standalone_program_test PRIVATE TW07_STANDALONE="$<TARGET_FILE:tw07_standalone>")
add_dependencies(standalone_program_test tw07_standalone)
# Each test starts a JACK server of its own under one name per process: one at a time. The
# program's audio callback runs in each, beside its main thread (and the editor's), so the
# RealtimeSanitizer and ThreadSanitizer builds run them too: the presets choose tests by a label
# pattern, and tests discovered at test time take one label only.
gtest_discover_tests(standalone_program_test DISCOVERY_MODE PRE_TEST TEST_FILTER "-*Editor*"
  PROPERTIES RUN_SERIAL TRUE TIMEOUT 120 LABELS realtime_threads)
if(TW07_BUILD_EDITOR)
  add_test(NAME standalone.editor COMMAND ${TW07_VIRTUAL_DISPLAY} $<TARGET_FILE:standalone_program_test>
    --gtest_filter=*Editor*)
  set_tests_properties(standalone.editor PROPERTIES LABELS "editor;threads" RUN_SERIAL TRUE TIMEOUT 120
    ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/editor/tsan.supp")
endif()

# The manual page written beside the program stays in step with its --help.
add_test(NAME standalone.manual_page COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/package/manual-page.sh"
  $<TARGET_FILE:tw07_standalone> "${PROJECT_SOURCE_DIR}/packaging/tw07.1")
