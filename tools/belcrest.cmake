# Benchmark of the Z80 interpreter of the Z80 consoles' module.
add_executable(bench_z80 ${CMAKE_CURRENT_LIST_DIR}/bench_z80.cpp)
target_link_libraries(bench_z80 PRIVATE BelcrestCore)
