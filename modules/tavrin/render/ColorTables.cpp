#include "modules/tavrin/render/ColorTables.h"

#include "modules/tavrin/render/DrawnLines.h"
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

bool HostTableIsPacked = false;

void FillColorTables()
{
    for (uint32_t i = 0; i < 65536; ++i) {
        SpreadColorTable[i] = SpreadColor(i);
        HostColorParts p = HostPartsOf(i);
        ColorToHostTable[i] = PackHostColor(p.r, p.g, p.b);
    }
    HostTableIsPacked = true;
    ForgetDrawnLines();
}

} // namespace Tavrin
