// The renderer's background order (render/RenderState.h BgOrder): kept sorted
// as the control registers change, with each layer's blend variant.
#pragma once

#include <cstdint>

namespace Tavrin {

// The four words for control values 0, BG3 backmost to BG0 frontmost.
void ResetBgOrder();
// A new control value for background n (0-3) that differs from the old one.
void SetBgControl(uint32_t n, uint32_t value);
// Recomputes the variant bits 24-26 of every word from the blend control.
void UpdateBgOrder();

} // namespace Tavrin
