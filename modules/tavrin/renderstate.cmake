# The words shared by the machine, which writes them, and the line renderer
# and video, which read them.
add_library(TavrinRenderState STATIC render/RenderState.cpp)
target_include_directories(TavrinRenderState PUBLIC ${CMAKE_SOURCE_DIR})
