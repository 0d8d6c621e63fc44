# The 6502 module: input, settings page and module class on the shared
# console glue, and the plug-in libCindrel.so. CindrelModuleParts holds
# everything but the two exports, so that tests can run the module and look
# at its machine. The machine's recording stand-ins stay out of both.
add_library(CindrelModuleParts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/module/CindrelInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module/CindrelModule.cpp)
target_include_directories(CindrelModuleParts PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(CindrelModuleParts PUBLIC ConsoleModule PropertyTree)

# The machine and the module's parts call each other, so both go in
# whole; the CPU and the rest follow.
add_library(CindrelModuleLink INTERFACE)
target_link_libraries(CindrelModuleLink INTERFACE
  "$<LINK_LIBRARY:WHOLE_ARCHIVE,CindrelModuleParts,CindrelSound,CindrelVideo,CindrelMachine>"
  CindrelCore ConsoleModule PropertyTree ZorvanEngine Zorvan SoundDriver)

add_library(Cindrel MODULE ${CMAKE_CURRENT_LIST_DIR}/module/CindrelExports.cpp)
target_link_libraries(Cindrel PRIVATE CindrelModuleLink)
target_link_options(Cindrel PRIVATE -Wl,--no-undefined)
quintar_module_output(Cindrel)

if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/module/tests ${CMAKE_CURRENT_BINARY_DIR}/module_tests)
endif()
