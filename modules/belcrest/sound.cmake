# The Z80 consoles' sound: the PSG and FM chip models (BelcrestSoundChips,
# which the machine drives) and the module's sound class that plays the
# PSG's channels (BelcrestAudio).
add_library(BelcrestSoundChips STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sound/Psg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/Fm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound/MachineChips.cpp)
target_include_directories(BelcrestSoundChips PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(BelcrestSoundChips PUBLIC SoundDriver)

add_library(BelcrestAudio STATIC ${CMAKE_CURRENT_LIST_DIR}/sound/BelcrestSound.cpp)
target_link_libraries(BelcrestAudio PUBLIC BelcrestSoundChips ZorvanEngine)

if(QUINTAR_TESTS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/sound/tests ${CMAKE_CURRENT_BINARY_DIR}/sound_tests)
endif()
