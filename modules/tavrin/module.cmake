# The handheld plug-in libTavrin.so: the module classes on the shared module
# glue over the CPU, machine, renderer, cartridge, files and sound generator.
# The module supplies the machine's frame and pad calls (machine/ModuleServices.h).
# The mixer without the engine, for its tests and the plug-in.
add_library(TavrinMixer OBJECT module/SoundMixer.cpp)
target_include_directories(TavrinMixer PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(TavrinMixer PUBLIC SoundDriver)

add_library(Tavrin MODULE
  module/TavrinModule.cpp
  module/TavrinVideo.cpp
  module/TavrinSound.cpp
  module/TavrinInput.cpp)
target_link_libraries(Tavrin PRIVATE ConsoleModule TavrinCart TavrinFiles TavrinMachine TavrinPsg TavrinMixer)
quintar_module_output(Tavrin)

if(QUINTAR_TESTS)
  add_subdirectory(module/tests)
endif()
