// What the CPU and its memory bus need from the machine around them, and
// only that: the line step, the BIOS calls, and the devices behind the bus.
// The core reaches them through one table that the machine fills when it
// starts (test programs and benchmarks fill it with stand-ins), so the core
// links on its own. None of these runs per instruction: the line step once a
// slice, the rest only for I/O, save-memory and clock-port accesses and SWIs.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t LineHookStop = 0xFFFFFFFF;

struct ArmBus {
    // Advances the machine by the slice just run and sets the next
    // sliceLength; returns the pending-interrupt word, or LineHookStop.
    uint32_t (*lineHook)(ArmState *s);
    // A software interrupt with its comment field (24 bits from ARM, 8 from THUMB).
    void (*biosCall)(ArmState *s, uint32_t comment);

    // A 16-bit store into the I/O registers; address has bits 31-28 cleared.
    void (*writeIo)(uint32_t address, uint32_t value);
    // The halfword a load from the I/O region sees at address (bits 31-28
    // cleared, bit 0 ignored), and the word (bits 1-0 ignored).
    uint32_t (*readIo16)(uint32_t address);
    uint32_t (*readIo32)(uint32_t address);
    // The serial EEPROM's output bit, and one bit written to it.
    uint32_t (*eepromReadBit)();
    void (*eepromWriteBit)(uint32_t value);
    // A 16-bit store to the cartridge's clock port (0x080000C0-0x080000CF).
    void (*rtcWrite)(uint32_t address, uint32_t value);
    // An 8-bit store into the save-memory region; returns the 64 KB bank
    // that must now appear at 0x0E000000, or null when the mapping stays.
    uint8_t *(*flashWrite)(uint32_t address, uint32_t byte);
};

// One machine per process, so one table; empty until a machine plugs in.
inline ArmBus Bus{};

// Set by the scheduler at the end of a frame; the run loop clears it.
extern uint8_t FrameEnded;

// The names the core calls.
inline uint32_t LineHook(ArmState *s) { return Bus.lineHook(s); }
inline void BiosCall(ArmState *s, uint32_t comment) { Bus.biosCall(s, comment); }
inline void WriteIo(uint32_t address, uint32_t value) { Bus.writeIo(address, value); }
inline uint32_t ReadIo16(uint32_t address) { return Bus.readIo16(address); }
inline uint32_t ReadIo32(uint32_t address) { return Bus.readIo32(address); }
inline uint32_t EepromReadBit() { return Bus.eepromReadBit(); }
inline void EepromWriteBit(uint32_t value) { Bus.eepromWriteBit(value); }
inline void RtcWrite(uint32_t address, uint32_t value) { Bus.rtcWrite(address, value); }
inline uint8_t *FlashWrite(uint32_t address, uint32_t byte) { return Bus.flashWrite(address, byte); }

} // namespace Tavrin
