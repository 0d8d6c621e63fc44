// The I/O port map (only the low 8 bits of a port number are decoded), the
// SC-3000 keyboard and the serial output of PPI 1.
#include "common/zorvan/Console.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <cstdio>

namespace Belcrest {

uint8_t SerialBitCount;

namespace {

uint8_t SerialShift;
std::FILE *SerialFile;

bool HasKeyboard() { return MachineType() == MachineSc3000 || MachineType() == MachineSf7000; }
bool IsKeyboardPort(uint8_t p) { return (p >= 0xC0 && p <= 0xC3) || (p >= 0xDC && p <= 0xDF); }

uint8_t ReadKeyboard(uint8_t port)
{
    Ppi &ppi = MachinePpi[0];
    const uint16_t row = KeyboardRows[ppi.outC & 7];
    ppi.inA = uint8_t(row);
    ppi.inB = uint8_t(((row >> 8) & 0xBF) | 0x20);
    return PpiRead(ppi, port & 3);
}

uint8_t ReadJoypad(uint8_t port)
{
    const uint16_t pad = KeyboardRows[7];
    switch (port & 3) {
    case 0: return uint8_t(pad);
    case 1: return uint8_t((pad >> 8) | 0x20);
    default: return 0xFF;
    }
}

// Port $3F drives the pads' TH lines, which read back in bits 14-15.
void WriteThLines(uint8_t value)
{
    uint16_t &pad = KeyboardRows[7];
    if ((value & 0x0F) != 5) {
        pad |= 0xC000;
        return;
    }
    const uint8_t v = (MachineWord & MachineCountryMask) == MachineCountryJapan ? uint8_t(~value) : value;
    pad = uint16_t((pad & 0x3FFF) | ((v & 0x80) ? 0x8000 : 0) | ((v & 0x20) ? 0x4000 : 0));
}

} // namespace

void SerialControlWrite(uint8_t value)
{
    if ((value & 0x8E) != 0x0A)
        return;
    if (SerialBitCount == 0) {
        if (value & 1)
            SerialBitCount = 8;
        return;
    }
    --SerialBitCount;
    SerialShift = uint8_t((((~value) & 1) << 7) | (SerialShift >> 1));
    if (SerialBitCount == 0) {
        if (!SerialFile)
            SerialFile = stdout;
        std::fputc(SerialShift, SerialFile);
    }
}

void SerialClose()
{
    if (SerialFile && SerialFile != stdout)
        std::fclose(SerialFile);
    if (SerialFile == stdout)
        std::fflush(stdout);
    SerialFile = nullptr;
    SerialBitCount = 0;
}

uint8_t ReadPort(uint16_t port16)
{
    const uint8_t port = uint8_t(port16);
    switch (port) {
    case 0x00:
        return uint8_t(((KeyboardRows[7] & 0x2000) ? 0x80 : 0) |
                       ((MachineWord & MachineCountryMask) == MachineCountryJapan ? 0 : 0x40));
    case 0x01: return Port1Latch;
    case 0x04: return 0;
    case 0x05: return 0x14;
    case 0x7E: return VCounter(MachineCpu);
    case 0x7F: return HCounter(MachineCpu);
    case 0xBE: return VdpReadData();
    case 0xBD:
    case 0xBF: return VdpReadStatus();
    case 0xE0: return 0x80;
    case 0xF2:
        if (MachineWord & MachineHasFm)
            return FmDetectLatch;
        break;
    default:
        if (IsKeyboardPort(port))
            return HasKeyboard() ? ReadKeyboard(port) : ReadJoypad(port);
        if (port >= 0xE4 && port <= 0xE7)
            return MachineType() == MachineSf7000 ? PpiRead(MachinePpi[1], port & 3) : 0xFF;
        break;
    }
    if (VerboseFlags & 0x02)
        printConsole("READ from IO port %02Xh\n", port);
    return 0xFF;
}

void WritePort(uint16_t port16, uint8_t value)
{
    const uint8_t port = uint8_t(port16);
    switch (port) {
    case 0x01: Port1Latch = value; return;
    case 0x02: case 0x03: case 0x05: case 0x06: case 0x3E: return;
    case 0x3F: WriteThLines(value); return;
    case 0x7E:
    case 0x7F: PsgWrite(value); return;
    case 0xBE: VdpWriteData(value); return;
    case 0xBD:
    case 0xBF: VdpWriteControl(value); return;
    case 0xF0:
        if (!(MachineWord & MachineHasFm))
            break;
        FmSelectRegister(value);
        return;
    case 0xF1:
        if (!(MachineWord & MachineHasFm))
            break;
        FmWriteData(value);
        return;
    case 0xF2:
        if (!(MachineWord & MachineHasFm))
            break;
        FmDetectLatch = value;
        return;
    default:
        if (IsKeyboardPort(port)) {
            if (HasKeyboard()) {
                PpiWrite(MachinePpi[0], port & 3, value);
                if ((port & 3) == 3)
                    SerialControlWrite(value);
            }
            return;
        }
        if (port >= 0xE4 && port <= 0xE7) {
            if (MachineType() == MachineSf7000) {
                PpiWrite(MachinePpi[1], port & 3, value);
                RegionWritable[0] = (MachinePpi[1].outC & 0x40) ? 1 : 0;
                MapRegion(0, RegionWritable[0] ? CpuSpace.get() : RomPageOrRam(0));
            }
            return;
        }
        break;
    }
    if (VerboseFlags & 0x02)
        printConsole("WRITE %02Xh to IO port %02Xh\n", value, port);
}

} // namespace Belcrest
