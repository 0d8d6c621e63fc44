// The OBJ window: the opaque texels of window sprites on one line mark
// WindowLine with WINOUT's high byte.
#pragma once

#include <cstdint>

namespace Tavrin {

void BuildObjWindowLine(uint32_t line);

} // namespace Tavrin
