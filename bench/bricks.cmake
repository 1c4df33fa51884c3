# Time per 128-sample block of every brick.
add_executable(bricks_bench ${CMAKE_CURRENT_LIST_DIR}/bricks/BricksBench.cpp)
target_link_libraries(bricks_bench PRIVATE bricks benchmark::benchmark_main)
