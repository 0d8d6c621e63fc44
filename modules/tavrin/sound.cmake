# The handheld's sound generator (the four legacy channels), plain code over
# the sound-channel driver; the plug-in and its tests link it. Objects, as
# the machine calls it from an archive linked after it.
add_library(TavrinPsg OBJECT sound/Psg.cpp)
target_include_directories(TavrinPsg PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_features(TavrinPsg PUBLIC cxx_std_20)
target_link_libraries(TavrinPsg PUBLIC SoundDriver)

if(QUINTAR_TESTS)
  add_subdirectory(sound/tests)
endif()
