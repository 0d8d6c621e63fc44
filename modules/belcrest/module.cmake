# The Z80 module: video, input, settings page and module class on the
# shared console glue, and the plug-in libBelcrest.so. BelcrestModuleParts
# holds everything but the two exports, so that tests can run the module
# and look at its machine.
add_library(BelcrestModuleParts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/module/BelcrestVideo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module/BelcrestInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module/BelcrestModule.cpp)
target_include_directories(BelcrestModuleParts PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(BelcrestModuleParts PUBLIC BelcrestMachine BelcrestAudio ConsoleModule PropertyTree)

add_library(Belcrest MODULE ${CMAKE_CURRENT_LIST_DIR}/module/BelcrestExports.cpp)
target_link_libraries(Belcrest PRIVATE BelcrestModuleParts)
quintar_module_output(Belcrest)

if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/module/tests ${CMAKE_CURRENT_BINARY_DIR}/module_tests)
endif()
