# The 6502 module's sound: the sound unit the machine drives and the sound
# class that mixes its channels.
add_library(CindrelSound STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sound/SoundUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/FrameSequencer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/DeltaChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/SoundUnitImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/CindrelSound.cpp)
target_include_directories(CindrelSound PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(CindrelSound PUBLIC Zorvan ZorvanEngine SoundDriver)

if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/sound/tests ${CMAKE_CURRENT_BINARY_DIR}/sound_tests)
endif()
