// Stand-in for the line renderer until it lands: draws nothing.
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

void RenderLine() {}

} // namespace Tavrin
