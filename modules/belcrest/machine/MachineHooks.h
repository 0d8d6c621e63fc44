// What the machine calls in the module around it: the sound chips, the
// pads and the video. The module defines these; tests link stand-ins.
#pragma once

#include <cstdint>

namespace Belcrest {

// PSG: driver channels firstChannel to firstChannel + 3.
void PsgReset(int firstChannel);
void PsgWrite(uint8_t value);
// mode 1 at reset (deferred pushes), 2 or 0x82 once per frame.
void PsgSync(int mode);

// FM unit (ports $F0-$F1 when MachineWord has MachineHasFm).
void FmReset(int firstChannel);
void FmSelectRegister(uint8_t value);
void FmWriteData(uint8_t value);
void FmSync(int mode);

// Host buttons, 1 = pressed (the Pad* bits of Machine.h); once per frame.
uint32_t ReadPadState();

// Palette entry index (0-15 background, 16-31 sprites, 32-47 TMS) with
// components 0-255.
void SetPaletteColor(int index, int r, int g, int b);

// Shows the frame just drawn (the line step calls it at the end of each
// shown frame).
void RefreshScreen();

} // namespace Belcrest
