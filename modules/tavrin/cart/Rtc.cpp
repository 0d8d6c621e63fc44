#include "modules/tavrin/cart/Rtc.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "common/zorvan/TimeOfDay.h"

#include <cstring>

namespace Tavrin {

RtcRecord RtcState;

namespace {

RtcRecord &R = RtcState;

time_t HostNow() { return Zorvan::time(nullptr); }

enum : uint8_t { Idle, CommandIn, DataOut, DataIn };
constexpr uint32_t PortData = 0x080000C4, PortDirection = 0x080000C6, PortControl = 0x080000C8;

uint8_t keptPort[8];
bool portKept = false;

uint32_t RomWord(uint32_t at) { uint32_t v; std::memcpy(&v, R.rom + at, 4); return v; }
void SetRomWord(uint32_t at, uint32_t v) { std::memcpy(R.rom + at, &v, 4); }

uint8_t Bcd(int v)
{
    v %= 100;
    return uint8_t(v / 10 * 16 + v % 10);
}

// While the port is enabled the game reads its registers from the ROM image.
void WritePortWords()
{
    SetRomWord(0, R.data | uint32_t(R.direction) << 16);
    SetRomWord(4, (R.savedC8 & 0xFFFF0000) | R.control);
}

void Send(uint8_t bits)
{
    R.state = DataOut;
    R.bitTotal = bits;
    R.bitCount = 0;
}

void RunCommand()
{
    time_t t = RtcHostTime() - R.timeOffset;
    const std::tm *now = nullptr;
    switch (R.command) {
    case 0x60: break;
    case 0x62:
        R.state = DataIn;
        R.bitTotal = 8;
        R.bitCount = 0;
        break;
    case 0x63:
        R.bytes[0] = 0x40;
        Send(8);
        break;
    case 0x65: {
        now = Zorvan::localtime(&t);
        const int fields[7] = {now->tm_year, now->tm_mon + 1, now->tm_mday, now->tm_wday,
                               now->tm_hour, now->tm_min, now->tm_sec};
        for (int i = 0; i < 7; ++i)
            R.bytes[i] = Bcd(fields[i]);
        Send(56);
        break;
    }
    case 0x67:
        now = Zorvan::localtime(&t);
        R.bytes[0] = Bcd(now->tm_hour);
        R.bytes[1] = Bcd(now->tm_min);
        R.bytes[2] = Bcd(now->tm_sec);
        Send(24);
        break;
    default:
        if (R.trace)
            printConsole("RTC: Unknown command 0x%02X.\n", R.command);
        break;
    }
}

void WriteData(uint32_t value)
{
    uint8_t old = R.data;
    uint32_t sio = (value >> 1) & 1;
    bool gameWrites = R.direction & 2;
    if (R.state == Idle && old == 1 && value == 5) {
        R.command = 0;
        R.state = CommandIn;
        R.bitTotal = 8;
        R.bitCount = 0;
    } else if (!(old & 1) && (value & 1)) {
        if (R.state == CommandIn && gameWrites) {
            R.command = uint8_t(R.command << 1 | sio);
            if (++R.bitCount >= 8) {
                R.state = Idle;
                if (R.trace)
                    printConsole("RTC: Got command 0x%02X.\n", R.command);
                RunCommand();
            }
        } else if (R.state == DataOut && !gameWrites) {
            uint32_t bit = (R.bytes[R.bitCount >> 3] >> (R.bitCount & 7)) & 1;
            value = (value & ~2u) | bit << 1;
            if (++R.bitCount >= R.bitTotal) {
                R.state = Idle;
                if (R.trace)
                    printConsole("RTC: Sent %d bits of data.\n", R.bitTotal);
            }
        } else if (R.state == DataIn && gameWrites) {
            uint8_t &byte = R.bytes[R.bitCount >> 3];
            byte = uint8_t(byte >> 1 | sio << 7);
            if (++R.bitCount >= R.bitTotal) {
                R.state = Idle;
                if (R.trace) {
                    printConsole("RTC: Received %d bits of data.\n", R.bitTotal);
                    if (R.command == 0x62)
                        printConsole("RTC: CONTROL=0x%02X.\n", R.bytes[0]);
                }
            }
        }
    }
    R.data = uint8_t(value);
}

} // namespace

time_t (*RtcHostTime)() = HostNow;

void RtcKeepPortBytes(const uint8_t *rom)
{
    std::memcpy(keptPort, rom, sizeof keptPort);
    portKept = true;
}

void RtcReset(uint8_t *rom, uint8_t trace)
{
    if (rom && portKept)
        std::memcpy(rom, keptPort, sizeof keptPort);
    // The command byte, the bit counters and the saved port words keep
    // their values.
    RtcRecord kept = R;
    R = RtcRecord{};
    R.command = kept.command;
    R.bitCount = kept.bitCount;
    R.bitTotal = kept.bitTotal;
    R.savedC4 = kept.savedC4;
    R.savedC8 = kept.savedC8;
    R.rom = rom;
    R.trace = trace;
}

void RtcRestorePort()
{
    if (!R.rom)
        return;
    if (R.control & 1)
        WritePortWords();
    else if (portKept)
        std::memcpy(R.rom, keptPort, sizeof keptPort);
}

void RtcBusWrite(uint32_t address, uint32_t value)
{
    switch (address) {
    case PortDirection:
        if (R.trace)
            printConsole("RTC: %s.\n", (value & 2) ? "WRITING" : "READING");
        R.direction = uint8_t(value);
        break;
    case PortControl:
        if (((R.control ^ value) & 1) && R.rom) {
            if (value & 1) {
                R.savedC4 = RomWord(0);
                R.savedC8 = RomWord(4);
            } else {
                SetRomWord(0, R.savedC4);
                SetRomWord(4, R.savedC8);
            }
        }
        if (R.trace)
            printConsole("RTC: %s.\n", (value & 1) ? "ENABLED" : "DISABLED");
        R.control = uint8_t(value);
        break;
    case PortData:
        if (R.control & 1)
            WriteData(value);
        break;
    default:
        if (R.trace)
            printConsole("RTC: Write to invalid address RTC[0x%08X]=0x%04X.\n", address, value);
        return;
    }
    if (R.rom && (R.control & 1))
        WritePortWords();
}

void RtcWriteImage(const RtcRecord &r, Zorvan::ByteWriter &out)
{
    for (uint8_t v : {r.data, r.direction, r.control, r.command, r.bitCount, r.bitTotal, r.state})
        out.u8(v);
    out.raw(r.bytes, sizeof r.bytes);
    out.u8(0);
    out.u32(0); // ROM pointer
    out.u32(r.savedC4);
    out.u32(r.savedC8);
    out.i32(r.timeOffset);
    out.u8(r.trace);
    out.zeros(3);
}

bool RtcReadImage(RtcRecord &r, Zorvan::ByteReader &in)
{
    RtcRecord t = r;
    for (uint8_t *v : {&t.data, &t.direction, &t.control, &t.command, &t.bitCount, &t.bitTotal, &t.state})
        *v = in.u8();
    in.raw(t.bytes, sizeof t.bytes);
    in.skip(1 + 4);
    t.savedC4 = in.u32();
    t.savedC8 = in.u32();
    t.timeOffset = in.i32();
    t.trace = in.u8();
    in.skip(3);
    if (!in.ok() || t.state > DataIn)
        return false;
    // A transfer is 8, 24 or 56 bits (0 before the first command) and its
    // counter never passes its length: the data bytes are indexed by it.
    // One under way has bits still to come (the chip leaves it with the
    // last), or its next bit would carry the counter past the length.
    bool knownLength = t.bitTotal == 0 || t.bitTotal == 8 || t.bitTotal == 24 || t.bitTotal == 56;
    if (!knownLength || t.bitCount > t.bitTotal || (t.state != Idle && t.bitCount >= t.bitTotal))
        return false;
    r = t;
    return true;
}

} // namespace Tavrin
