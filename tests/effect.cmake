# The effect: per-block processing through the class itself.
add_executable(effect_plug_test effect/PlugTest.cpp)
target_link_libraries(effect_plug_test PRIVATE plug GTest::gtest_main)
gtest_discover_tests(effect_plug_test DISCOVERY_MODE PRE_TEST)
