# The 6502 module's benchmark image; run it with runrom:
#   cindrel_bench_image bench.nes && runrom --frames 20000 bench.nes
add_executable(cindrel_bench_image ${CMAKE_CURRENT_LIST_DIR}/cindrel_bench_image.cpp)
target_link_libraries(cindrel_bench_image PRIVATE CindrelMachineTestSupport)
