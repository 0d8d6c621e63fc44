# runrom: runs console images headless through any module plug-in and prints
# one "<name>: <n> frames/s" line per image (the contract is at the top of
# runrom/main.cpp). Every console's tests and benchmarks use it.
add_executable(runrom
  ${CMAKE_CURRENT_LIST_DIR}/runrom/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runrom/RunOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runrom/RunHome.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runrom/RunEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runrom/ImageRun.cpp)
target_link_libraries(runrom PRIVATE ZorvanEngine Qt6::Widgets ${CMAKE_DL_LIBS})
if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/runrom/tests ${CMAKE_BINARY_DIR}/tools/runrom-tests)
endif()
