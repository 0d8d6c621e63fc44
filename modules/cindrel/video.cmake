# The 6502 module's picture: the scan-line renderers (one template over the
# host pixel type) and the video class.
add_library(CindrelVideo STATIC
  ${CMAKE_CURRENT_LIST_DIR}/video/LineRenderers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video/CindrelVideo.cpp)
target_include_directories(CindrelVideo PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(CindrelVideo PUBLIC ConsoleModule)

if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/video/tests ${CMAKE_CURRENT_BINARY_DIR}/video_tests)
endif()
