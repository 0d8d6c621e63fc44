# Fuzz targets for every reader of outside data (tools/fuzz). Off by default:
# they need clang and its fuzzer runtime; scripts/fuzz.sh configures a clang
# build with QUINTAR_FUZZ=ON under build/fuzz and runs them.
option(QUINTAR_FUZZ "Build the libFuzzer targets of tools/fuzz (clang only)" OFF)
if(QUINTAR_FUZZ)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/fuzz ${CMAKE_BINARY_DIR}/fuzz)
endif()
