// The texels of an affine background decoded from its map and tiles, one
// byte each, row by row: a texel is then one load instead of a map load and
// a tile load that waits for it. Kept for BG2 and BG3 while their map is
// 128 or 256 texels wide, and decoded again only once a store has reached
// the VRAM it came from.
#pragma once

#include <cstdint>

namespace Tavrin {

// The decoded texels of background 2 + i under control word cnt, texel
// (x, y) at y * size + x; null when none are kept: the map is larger, or it
// changed since it was decoded on this frame (the rest of the frame is drawn
// from VRAM, so stores between lines cost at most one decoding a frame).
const uint8_t *AffineTexels(uint32_t i, uint32_t cnt, uint32_t line);

// The host colours of the texels AffineTexels gave for background 2 + i
// on this line, under HostPalette's background colours: texel (x, y) at
// y * size + x, its colour in the low 16 bits, bit 16 set where its index
// is not 0. Null while they are not kept (not until the texels and the
// palette have stayed as they are for some frames). Only on hosts with
// 32-byte vectors (HostVectors.h).
const uint32_t *AffineHostTexels(uint32_t i, uint32_t cnt);

// Drops the decoded texels that come from a VRAM part in parts (bit n:
// bytes [n * 2 KB, n * 2 KB + 2 KB)).
void DropAffineTexels(uint64_t parts);

} // namespace Tavrin
