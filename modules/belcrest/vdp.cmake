# The display processor: registers and ports, and the line renderers of the
# five screen modes for 8-, 16- and 32-bit pixels.
target_sources(BelcrestMachine PRIVATE
  vdp/VdpRegisters.cpp
  vdp/Mode4Renderer.cpp
  vdp/Mode4Sprites.cpp
  vdp/TmsRenderers.cpp
  vdp/VdpRenderers.cpp)

if(QUINTAR_TESTS)
  add_subdirectory(vdp/tests)
endif()
