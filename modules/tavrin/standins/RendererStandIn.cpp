#include "modules/tavrin/standins/RendererStandIn.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

RendererStandInRecord RendererStandInLog;

void RenderLine()
{
    ++RendererStandInLog.lines;
    RendererStandInLog.lastLine = IoPage ? IoPage[6] : 0;
}

} // namespace Tavrin
