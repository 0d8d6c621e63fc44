// The 512 palette entries already converted to host colours, so a pixel
// without an effect takes one lookup instead of two dependent ones. Kept in
// step with palette RAM by comparing it with the copy converted last.
#pragma once

#include <cstdint>

namespace Tavrin {

// Entries 0-255 the background colours, 256-511 the sprite colours.
extern uint16_t HostPalette[512];

// For 16-colour tile rows, per palette bank (0-15 the background banks,
// 16-31 the sprite banks) and tile byte: the host colours of the byte's two
// pixels, the low nibble's (the left pixel) in the low half. Kept with
// HostPalette, so a row of eight pixels takes four lookups.
extern uint32_t HostPairs[32][256];
// The same of the console colours, for the second-target entries of a
// 16-colour row drawn without an effect.
extern uint32_t ConsolePairs[32][256];
// Counts the changes of the background entries of HostPalette (0-255), so
// what is kept from them can tell when it went stale.
extern uint32_t BgHostGeneration;

// Counts the changes of palette RAM's content: a look at it once a store
// has marked it (RenderDirtyFlags) finds other colours than the look before.
extern uint32_t PaletteGeneration;
// That look, which clears the mark.
void NotePaletteStores();

// Converts the entries that changed since the last conversion, once the
// palette generation moved, or all of them when asked (once a frame, so a
// refilled ColorToHostTable is picked up too). A line none of whose layers
// takes palette colours passes needed = false: nothing is converted then,
// and a whole conversion asked for waits for the next line that needs one.
void RefreshHostPalette(bool whole, bool needed = true);

} // namespace Tavrin
