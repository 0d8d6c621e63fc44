# 6502 CPU benchmark: guest instructions per second on a stand-in machine.
add_executable(bench_6502 ${CMAKE_CURRENT_LIST_DIR}/bench_6502.cpp)
target_link_libraries(bench_6502 PRIVATE CindrelCore)
