#include "modules/tavrin/render/LayerRendererTable.h"

namespace Tavrin {

#define TAVRIN_LAYER_ROW(fn) fn<0>, fn<1>, fn<2>, fn<3>, fn<4>, fn<5>, fn<6>, fn<7>

constexpr LayerRenderer LayerRendererTable[LayerRendererCount] = {
    TAVRIN_LAYER_ROW(RenderTextBgLine),   TAVRIN_LAYER_ROW(RenderAffineBgLine),
    TAVRIN_LAYER_ROW(RenderBitmap16Line), TAVRIN_LAYER_ROW(RenderBitmap8Line),
    TAVRIN_LAYER_ROW(RenderBitmapSmallLine), TAVRIN_LAYER_ROW(RenderObjLine),
};

#undef TAVRIN_LAYER_ROW

} // namespace Tavrin
