// The BIOS calls that work on memory: block copies, affine set-ups, bit
// unpacking and the decompressors. Every access goes through the bus.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

void BiosCpuSet(ArmState *s);
void BiosCpuFastSet(ArmState *s);
void BiosBgAffineSet(ArmState *s);
void BiosObjAffineSet(ArmState *s);
void BiosBitUnPack(ArmState *s);

// source = the address past the 4-byte header; length = header >> 8.
void BiosDiffUnFilter(uint32_t source, uint32_t dest, uint32_t length, uint32_t unit, bool halfwords);
void BiosRLUnComp(uint32_t source, uint32_t dest, uint32_t length, bool halfwords);
void BiosLZ77UnComp(uint32_t source, uint32_t dest, uint32_t length, bool halfwords);
void BiosHuffUnComp(uint32_t source, uint32_t dest, uint32_t length, uint32_t bitsPerSymbol);

} // namespace Tavrin
