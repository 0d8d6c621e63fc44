#include "modules/tavrin/testing/StandIns.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmHooks.h"

#include <cstring>

namespace Tavrin {

StandInRecord StandInLog;

namespace {

LineHookFn lineHookFn = nullptr;
BiosCallFn biosCallFn = nullptr;

uint32_t StandInLineHook(ArmState *s) { return lineHookFn ? lineHookFn(s) : LineHookStop; }

void StandInBiosCall(ArmState *s, uint32_t comment)
{
    ++StandInLog.biosCalls;
    StandInLog.lastComment = comment;
    if (biosCallFn)
        biosCallFn(s, comment);
}

// The I/O registers only keep what is written; the CPU runs without the machine.
void StandInWriteIo(uint32_t address, uint32_t value)
{
    ++StandInLog.ioWrites;
    StandInLog.lastIoAddress = address;
    StandInLog.lastIoValue = value;
    if (IoPage && (address & 0x0FFFC000) == 0x04000000) {
        uint16_t half = uint16_t(value);
        std::memcpy(IoPage + (address & 0x3FFE), &half, 2);
    }
}

// I/O loads give back what the page holds.
uint32_t StandInReadIo16(uint32_t address) { return HostHalf(ReadPageTable[address >> PageShift] + (address & 0x3FFE)); }
uint32_t StandInReadIo32(uint32_t address) { return HostWord(ReadPageTable[address >> PageShift] + (address & 0x3FFC)); }

uint32_t StandInEepromReadBit() { return 1; }
void StandInEepromWriteBit(uint32_t) { ++StandInLog.eepromWrites; }
void StandInRtcWrite(uint32_t address, uint32_t)
{
    ++StandInLog.rtcWrites;
    StandInLog.lastRtcAddress = address;
}
uint8_t *StandInFlashWrite(uint32_t address, uint32_t byte)
{
    ++StandInLog.flashWrites;
    StandInLog.lastFlashAddress = address;
    StandInLog.lastFlashByte = byte;
    return nullptr;
}

void PlugIn()
{
    Bus = ArmBus{
        .lineHook = StandInLineHook,
        .biosCall = StandInBiosCall,
        .writeIo = StandInWriteIo,
        .readIo16 = StandInReadIo16,
        .readIo32 = StandInReadIo32,
        .eepromReadBit = StandInEepromReadBit,
        .eepromWriteBit = StandInEepromWriteBit,
        .rtcWrite = StandInRtcWrite,
        .flashWrite = StandInFlashWrite,
    };
}

} // namespace

void SetStandInLineHook(LineHookFn fn)
{
    lineHookFn = fn;
    PlugIn();
}

void SetStandInBiosCall(BiosCallFn fn)
{
    biosCallFn = fn;
    PlugIn();
}

} // namespace Tavrin
