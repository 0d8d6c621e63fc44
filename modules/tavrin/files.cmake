# The handheld's battery and state files (the cartridge's save memory and
# the machine's snapshots). Objects, like the cartridge's.
add_library(TavrinFiles OBJECT
  files/GzipImage.cpp
  files/BatteryFile.cpp
  files/WordBlock.cpp
  files/StateFile.cpp)
target_link_libraries(TavrinFiles PUBLIC TavrinCart TavrinRenderState ConsoleFiles Zorvan ZLIB::ZLIB)

if(QUINTAR_TESTS)
  add_subdirectory(files/tests)
endif()
