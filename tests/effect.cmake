# The effect: per-block processing through the class itself.
add_executable(effect_plug_test effect/PlugTest.cpp)
target_link_libraries(effect_plug_test PRIVATE plug GTest::gtest_main)
gtest_discover_tests(effect_plug_test DISCOVERY_MODE PRE_TEST)

add_executable(effect_grid_test effect/GridTest.cpp)
target_link_libraries(effect_grid_test PRIVATE plug tw07_hostlib GTest::gtest_main)
gtest_discover_tests(effect_grid_test DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 900)
