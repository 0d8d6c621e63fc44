# The handheld's line renderer: the compositor, the layer renderers reached
# through LayerRendererTable, the sprite list and the window line.
add_library(TavrinRender STATIC
  render/ColorTables.cpp
  render/HostPalette.cpp
  render/LayerRendererTable.cpp
  render/LineCompositor.cpp
  render/DrawnLines.cpp
  render/WindowLine.cpp
  render/TextBackground.cpp
  render/AffineBackground.cpp
  render/AffineTexture.cpp
  render/TileRowColours.cpp
  render/BitmapBackgrounds.cpp
  render/SpriteList.cpp
  render/SpriteLine.cpp
  render/SpriteWindow.cpp)
target_link_libraries(TavrinRender PUBLIC TavrinRenderState TavrinCore)

if(QUINTAR_TESTS)
  add_subdirectory(render/tests)
endif()
