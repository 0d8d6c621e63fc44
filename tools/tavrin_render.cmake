# Benchmark of the handheld's line renderer (prints "<scene>: <n> ms/frame").
add_executable(bench_render ${CMAKE_CURRENT_LIST_DIR}/bench_render.cpp)
target_link_libraries(bench_render PRIVATE TavrinRender TavrinStandIns)
