# The handheld's battery and state files.
add_library(TavrinFiles STATIC
  files/GzipImage.cpp
  files/BatteryFile.cpp
  files/WordBlock.cpp
  files/StateFile.cpp)
target_link_libraries(TavrinFiles PUBLIC TavrinCart TavrinRenderState Zorvan ZLIB::ZLIB)

if(QUINTAR_TESTS)
  add_subdirectory(files/tests)
endif()
