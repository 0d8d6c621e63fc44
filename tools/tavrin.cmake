# Benchmark of the handheld's ARM interpreter (prints "<name>: <n> Minstr/s").
add_executable(bench_arm ${CMAKE_CURRENT_LIST_DIR}/bench_arm.cpp)
target_link_libraries(bench_arm PRIVATE TavrinStandIns)
