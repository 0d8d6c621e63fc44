# Blit benchmark of the Ondrel graphics library (never run as a test).
add_executable(bench_blit ${CMAKE_CURRENT_LIST_DIR}/bench_blit.cpp)
target_link_libraries(bench_blit PRIVATE Ondrel)
