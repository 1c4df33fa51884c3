# DSP bricks: one test file per brick.
add_executable(bricks_tests
  ${CMAKE_CURRENT_LIST_DIR}/bricks/AASaturationBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/AudioMixerBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/BlockRangeTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/BrickModelTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/FixedFilterBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/MeterBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/OscilloscopeBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/PipelinedFilterBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/SVFFilterBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/SustainerBrickTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bricks/VcaBrickTest.cpp
)
target_link_libraries(bricks_tests PRIVATE bricks GTest::gtest_main)
gtest_discover_tests(bricks_tests TEST_PREFIX "bricks." PROPERTIES LABELS bricks)

# Audio-side writer against a render-side reader; meaningful under -DTW07_SANITIZE=thread.
add_executable(bricks_threads_tests ${CMAKE_CURRENT_LIST_DIR}/bricks/ScopeFrameStoreTest.cpp)
target_link_libraries(bricks_threads_tests PRIVATE bricks GTest::gtest_main)
gtest_discover_tests(bricks_threads_tests TEST_PREFIX "bricks." PROPERTIES LABELS threads)
