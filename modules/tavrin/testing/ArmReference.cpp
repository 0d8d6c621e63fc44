#include "modules/tavrin/testing/ArmReference.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmPrefetch.h"
#include "modules/tavrin/cpu/ArmHooks.h"

namespace Tavrin::Test {
namespace {

uint32_t Bits(uint32_t op, int hi, int lo) { return (op >> lo) & ((1u << (hi - lo + 1)) - 1); }
bool Bit(uint32_t op, int n) { return (op >> n) & 1; }

uint32_t Rotr(uint32_t v, uint32_t n)
{
    n %= 32;
    return n ? (v >> n) | (v << (32 - n)) : v;
}

// Operand view of a register: r15 reads `ahead` bytes past the handler's r15.
uint32_t Operand(const ArmState *s, uint32_t n, uint32_t ahead) { return n == 15 ? s->r[15] + ahead : s->r[n]; }

// ---- memory, byte by byte -------------------------------------------------

uint8_t ByteAt(const ArmState *s, uint32_t a)
{
    if (a < 0x4000 && s->r[15] >= 0x4000)
        return uint8_t(0xFF00FF11u >> (8 * (a % 4)));
    // Nothing answers here: the bus still holds the word the CPU fetched
    // last, two instructions past this one.
    if ((a >= 0x4000 && a < 0x02000000) || a >= 0x10000000) {
        const uint32_t fetched = (s->r[15] + 4) & ~3u;
        return ReadPageTable[fetched / PageSize][fetched % PageSize + a % 4];
    }
    return ReadPageTable[a / PageSize][a % PageSize];
}
// The save memory's 8-bit bus puts the addressed byte on every lane.
bool OnByteBus(uint32_t a) { return a >= 0x0E000000 && a < 0x10000000; }

uint32_t AlignedWord(const ArmState *s, uint32_t a)
{
    if (OnByteBus(a))
        return ByteAt(s, a) * 0x01010101u;
    a -= a % 4;
    return ByteAt(s, a) | ByteAt(s, a + 1) << 8 | ByteAt(s, a + 2) << 16 | uint32_t(ByteAt(s, a + 3)) << 24;
}
uint32_t AlignedHalf(const ArmState *s, uint32_t a)
{
    if (OnByteBus(a))
        return ByteAt(s, a) * 0x0101u;
    a -= a % 2;
    return ByteAt(s, a) | ByteAt(s, a + 1) << 8;
}
// Stores go through the bus once the pipeline has kept what they overwrite.
void Store8(uint32_t a, uint32_t v)
{
    NoteStoreAhead(a, 1);
    BusWrite8(a, v);
}
void Store16(uint32_t a, uint32_t v)
{
    NoteStoreAhead(a, 2);
    BusWrite16(a, v);
}
void Store32(uint32_t a, uint32_t v)
{
    NoteStoreAhead(a, 4);
    BusWrite32(a, v);
}

int32_t Wait(uint32_t a, bool word)
{
    // Not (word ? WaitCycles32 : WaitCycles16)[i]: g++ 12 with the sanitizers
    // drops the index of that form.
    const uint32_t region = (a >> 24) % 16;
    return word ? WaitCycles32[region] : WaitCycles16[region];
}

// ---- registers and status -------------------------------------------------

bool UserBankLive(uint32_t cpsr) { return (cpsr & 0x1F) == 0x10 || (cpsr & 0x1F) == 0x1F; }

uint32_t *SavedStatus(ArmState *s)
{
    switch (s->cpsr & 0x1F) {
    case 0x11: return &s->spsrFiq;
    case 0x12: return &s->spsrIrq;
    case 0x13: return &s->spsrSvc;
    case 0x17: return &s->spsrAbt;
    case 0x1B: return &s->spsrUnd;
    default: return nullptr;
    }
}

void WritePc(ArmState *s, uint32_t v) { s->r[15] = (s->cpsr & FlagT) ? v & ~1u : v & ~3u; }
void WriteReg(ArmState *s, uint32_t n, uint32_t v)
{
    if (n == 15)
        WritePc(s, v);
    else
        s->r[n] = v;
}
void SetFlag(ArmState *s, uint32_t flag, bool on) { s->cpsr = on ? s->cpsr | flag : s->cpsr & ~flag; }
bool CarryFlag(const ArmState *s) { return s->cpsr & FlagC; }

// ---- shifter ----------------------------------------------------------------

struct ShiftOut {
    uint32_t value;
    bool carry;
};

// A shift by an amount that is already the real distance (0 = none).
ShiftOut ShiftBy(uint32_t type, uint32_t v, uint32_t n, bool carryIn)
{
    if (n == 0)
        return {v, carryIn};
    const int64_t sv = int32_t(v);
    switch (type) {
    case 0: {
        if (n > 32)
            return {0, false};
        const uint64_t wide = uint64_t(v) << n;
        return {uint32_t(wide), bool((wide >> 32) & 1)};
    }
    case 1:
        if (n > 32)
            return {0, false};
        return {n == 32 ? 0 : v >> n, bool((v >> (n - 1)) & 1)};
    case 2:
        if (n >= 32)
            return {uint32_t(sv >> 63), bool(sv < 0)};
        return {uint32_t(sv >> n), bool((sv >> (n - 1)) & 1)};
    default: {
        const uint32_t value = Rotr(v, n);
        return {value, bool(value >> 31)};
    }
    }
}

// An immediate-amount shift: amount 0 stands for LSL #0, LSR #32, ASR #32, RRX.
ShiftOut ShiftByImmediate(uint32_t type, uint32_t v, uint32_t n, bool carryIn)
{
    if (n == 0) {
        if (type == 0)
            return {v, carryIn};
        if (type == 3)
            return {(uint32_t(carryIn) << 31) | (v >> 1), bool(v & 1)};
        return ShiftBy(type, v, 32, carryIn);
    }
    return ShiftBy(type, v, n, carryIn);
}

// ---- instruction classes ---------------------------------------------------

void DataProcessing(ArmState *s, uint32_t op)
{
    const uint32_t opcode = Bits(op, 24, 21), rn = Bits(op, 19, 16), rd = Bits(op, 15, 12);
    const bool setFlags = Bit(op, 20);
    const bool carryIn = CarryFlag(s);
    ShiftOut op2;
    uint32_t a;
    if (Bit(op, 25)) {
        const uint32_t rotation = 2 * Bits(op, 11, 8);
        const uint32_t imm = Rotr(Bits(op, 7, 0), rotation);
        op2 = {imm, rotation ? bool(imm >> 31) : carryIn};
        a = Operand(s, rn, 4);
    } else if (!Bit(op, 4)) {
        op2 = ShiftByImmediate(Bits(op, 6, 5), Operand(s, Bits(op, 3, 0), 4), Bits(op, 11, 7), carryIn);
        a = Operand(s, rn, 4);
    } else {
        op2 = ShiftBy(Bits(op, 6, 5), Operand(s, Bits(op, 3, 0), 8), Operand(s, Bits(op, 11, 8), 8) & 0xFF,
                      carryIn);
        a = Operand(s, rn, 8);
        s->cyclesLeft -= 1;
    }
    const uint32_t b = op2.value;

    int64_t wideSigned = 0;
    uint64_t wideUnsigned = 0;
    bool arithmetic = true;
    auto add = [&](uint32_t x, uint32_t y, uint32_t c) {
        wideUnsigned = uint64_t(x) + y + c;
        wideSigned = int64_t(int32_t(x)) + int32_t(y) + c;
        return uint32_t(wideUnsigned);
    };
    auto sub = [&](uint32_t x, uint32_t y, uint32_t borrow) {
        wideUnsigned = uint64_t(int64_t(x) - int64_t(y) - borrow); // negative when it borrowed
        wideSigned = int64_t(int32_t(x)) - int32_t(y) - borrow;
        return uint32_t(wideUnsigned);
    };
    uint32_t result = 0;
    switch (opcode) {
    case 0x0: case 0x8: result = a & b; arithmetic = false; break;
    case 0x1: case 0x9: result = a ^ b; arithmetic = false; break;
    case 0x2: case 0xA: result = sub(a, b, 0); break;
    case 0x3: result = sub(b, a, 0); break;
    case 0x4: case 0xB: result = add(a, b, 0); break;
    case 0x5: result = add(a, b, carryIn); break;
    case 0x6: result = sub(a, b, !carryIn); break;
    case 0x7: result = sub(b, a, !carryIn); break;
    case 0xC: result = a | b; arithmetic = false; break;
    case 0xD: result = b; arithmetic = false; break;
    case 0xE: result = a & ~b; arithmetic = false; break;
    default: result = ~b; arithmetic = false; break;
    }
    const bool isSubtraction = opcode == 2 || opcode == 3 || opcode == 6 || opcode == 7 || opcode == 0xA;
    const bool writes = opcode < 8 || opcode > 11;

    if (rd == 15 && setFlags) {
        if (writes)
            s->r[15] = result;
        if (!arithmetic)
            SetFlag(s, FlagC, op2.carry);
        if (uint32_t *spsr = SavedStatus(s))
            ArmSwitchMode(s, *spsr);
        WritePc(s, s->r[15]);
        return;
    }
    if (writes)
        WriteReg(s, rd, result);
    if (!setFlags)
        return;
    SetFlag(s, FlagN, result >> 31);
    SetFlag(s, FlagZ, result == 0);
    if (!arithmetic) {
        SetFlag(s, FlagC, op2.carry);
        return;
    }
    if (isSubtraction)
        SetFlag(s, FlagC, int64_t(wideUnsigned) >= 0);
    else
        SetFlag(s, FlagC, wideUnsigned >> 32);
    SetFlag(s, FlagV, wideSigned != int64_t(int32_t(wideSigned)));
}

void StatusTransfer(ArmState *s, uint32_t op)
{
    const bool spsr = Bit(op, 22);
    if (!Bit(op, 21)) { // MRS
        const uint32_t *saved = SavedStatus(s);
        // Without a saved status word (user, system) the current one is read.
        WriteReg(s, Bits(op, 15, 12), spsr && saved ? *saved : s->cpsr);
        return;
    }
    const uint32_t value = Bit(op, 25) ? Rotr(Bits(op, 7, 0), 2 * Bits(op, 11, 8)) : s->r[Bits(op, 3, 0)];
    uint32_t mask = 0;
    for (int field = 0; field < 4; ++field)
        if (Bit(op, 16 + field))
            mask |= 0xFFu << (8 * field);
    mask &= 0xF00000FF; // bits 27-8 do not exist
    // Mode bit 4 is always 1 once the control byte is written.
    const uint32_t bit4 = mask & 0x10;
    if (spsr) {
        if (uint32_t *saved = SavedStatus(s))
            *saved = (*saved & ~mask) | (value & mask) | bit4;
        return;
    }
    if ((s->cpsr & 0x1F) == 0x10)
        mask &= 0xFFFFFF00;
    const uint32_t next = (s->cpsr & ~mask) | (value & mask) | (mask & 0x10);
    if (mask & 0xFF)
        ArmSwitchMode(s, next);
    else
        s->cpsr = next;
}

void SingleTransfer(ArmState *s, uint32_t op)
{
    const bool pre = Bit(op, 24), up = Bit(op, 23), byte = Bit(op, 22), wb = Bit(op, 21), load = Bit(op, 20);
    const uint32_t rn = Bits(op, 19, 16), rd = Bits(op, 15, 12);
    const uint32_t base = Operand(s, rn, 4);
    const uint32_t offset = Bit(op, 25)
        ? ShiftByImmediate(Bits(op, 6, 5), Operand(s, Bits(op, 3, 0), 4), Bits(op, 11, 7), CarryFlag(s)).value
        : Bits(op, 11, 0);
    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    const bool writeBack = !pre || wb;
    if (!load) {
        const uint32_t value = Operand(s, rd, 8);
        if (byte)
            Store8(address, value & 0xFF);
        else
            Store32(address, value);
        if (writeBack)
            WriteReg(s, rn, moved);
        return;
    }
    s->cyclesLeft -= Wait(address, !byte);
    const uint32_t value = byte ? ByteAt(s, address) : Rotr(AlignedWord(s, address), 8 * (address % 4));
    if (writeBack)
        WriteReg(s, rn, moved);
    WriteReg(s, rd, value);
    s->cyclesLeft -= 1;
}

void HalfTransfer(ArmState *s, uint32_t op)
{
    const bool pre = Bit(op, 24), up = Bit(op, 23), wb = Bit(op, 21), load = Bit(op, 20);
    const uint32_t kind = Bits(op, 6, 5), rn = Bits(op, 19, 16), rd = Bits(op, 15, 12);
    if (!load && kind != 1)
        return; // doubleword space: unrecognized here
    const uint32_t base = Operand(s, rn, 4);
    const uint32_t offset = Bit(op, 22) ? (Bits(op, 11, 8) << 4 | Bits(op, 3, 0)) : Operand(s, Bits(op, 3, 0), 4);
    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    const bool writeBack = !pre || wb;
    if (!load) {
        Store16(address, Operand(s, rd, 8) & 0xFFFF);
        if (writeBack)
            WriteReg(s, rn, moved);
        return;
    }
    s->cyclesLeft -= Wait(address, false);
    uint32_t value;
    if (kind == 1)
        value = Rotr(AlignedHalf(s, address), 8 * (address % 2));
    else if (kind == 2 || (address & 1))
        value = uint32_t(int32_t(int8_t(ByteAt(s, address))));
    else
        value = uint32_t(int32_t(int16_t(AlignedHalf(s, address))));
    if (writeBack)
        WriteReg(s, rn, moved);
    WriteReg(s, rd, value);
    s->cyclesLeft -= 1;
}

void Swap(ArmState *s, uint32_t op)
{
    const bool byte = Bit(op, 22);
    const uint32_t address = s->r[Bits(op, 19, 16)];
    const uint32_t source = s->r[Bits(op, 3, 0)];
    s->cyclesLeft -= Wait(address, !byte);
    const uint32_t old = byte ? ByteAt(s, address) : Rotr(AlignedWord(s, address), 8 * (address % 4));
    if (byte)
        Store8(address, source & 0xFF);
    else
        Store32(address, source);
    WriteReg(s, Bits(op, 15, 12), old);
    s->cyclesLeft -= 1;
}

void Multiply(ArmState *s, uint32_t op)
{
    const uint32_t m = s->r[Bits(op, 3, 0)], f = s->r[Bits(op, 11, 8)];
    const bool accumulate = Bit(op, 21), setFlags = Bit(op, 20);
    if (!Bit(op, 23)) {
        const uint32_t result = uint32_t(uint64_t(m) * f + (accumulate ? s->r[Bits(op, 15, 12)] : 0));
        WriteReg(s, Bits(op, 19, 16), result);
        if (setFlags) {
            SetFlag(s, FlagN, result >> 31);
            SetFlag(s, FlagZ, result == 0);
            SetFlag(s, FlagC, false);
        }
        s->cyclesLeft -= accumulate ? 5 : 4;
        return;
    }
    const uint32_t lo = Bits(op, 15, 12), hi = Bits(op, 19, 16);
    __int128 product = Bit(op, 22) ? __int128(int32_t(m)) * int32_t(f) : __int128(uint64_t(m) * f);
    if (accumulate)
        product += __int128((uint64_t(s->r[hi]) << 32) | s->r[lo]);
    const uint64_t result = uint64_t(product);
    WriteReg(s, lo, uint32_t(result));
    WriteReg(s, hi, uint32_t(result >> 32));
    if (setFlags) {
        SetFlag(s, FlagN, result >> 63);
        SetFlag(s, FlagZ, result == 0);
    }
    s->cyclesLeft -= accumulate ? 6 : 5;
}

void BlockTransfer(ArmState *s, uint32_t op)
{
    const bool pre = Bit(op, 24), up = Bit(op, 23), user = Bit(op, 22), wb = Bit(op, 21), load = Bit(op, 20);
    const uint32_t rn = Bits(op, 19, 16);
    uint32_t list = Bits(op, 15, 0);
    uint32_t size = 0;
    for (int n = 0; n < 16; ++n)
        size += 4 * Bit(list, n);
    if (!list) {
        list = 1u << 15;
        size = 0x40;
    }
    const uint32_t base = s->r[rn];
    const uint32_t aligned = base & ~3u;
    uint32_t address = up ? (pre ? aligned + 4 : aligned) : (pre ? aligned - size : aligned - size + 4);
    const uint32_t newBase = up ? base + size : base - size;
    const bool bankedUser = user && !UserBankLive(s->cpsr);
    int lowest = 0;
    while (!Bit(list, lowest))
        ++lowest;

    if (!load) {
        for (uint32_t n = 0; n < 16; ++n) {
            if (!Bit(list, n))
                continue;
            uint32_t value = s->r[n];
            if (n == 15)
                value = s->r[15] + 8;
            else if (bankedUser && n == 13)
                value = s->r13Usr;
            else if (bankedUser && n == 14)
                value = s->r14Usr;
            else if (n == rn && wb && int(n) != lowest)
                value = newBase;
            Store32(address, value);
            address += 4;
        }
        if (wb)
            WriteReg(s, rn, newBase);
        return;
    }
    const bool pcLoaded = Bit(list, 15);
    for (uint32_t n = 0; n < 16; ++n) {
        if (!Bit(list, n))
            continue;
        s->cyclesLeft -= Wait(address, true);
        const uint32_t value = AlignedWord(s, address);
        address += 4;
        if (bankedUser && !pcLoaded && n == 13)
            s->r13Usr = value;
        else if (bankedUser && !pcLoaded && n == 14)
            s->r14Usr = value;
        else
            s->r[n] = value;
    }
    if (wb && !Bit(list, rn))
        WriteReg(s, rn, newBase);
    s->cyclesLeft -= 1;
    if (pcLoaded) {
        if (user)
            if (uint32_t *spsr = SavedStatus(s))
                ArmSwitchMode(s, *spsr);
        WritePc(s, s->r[15]);
    }
}

void Exchange(ArmState *s, uint32_t target)
{
    const bool thumb = target & 1;
    s->r[15] = thumb ? target & ~1u : target & ~3u;
    if (thumb != bool(s->cpsr & FlagT)) {
        SetFlag(s, FlagT, thumb);
        ArmEarlyExit(s);
    }
}

} // namespace

void ReferenceExecuteArm(ArmState *s, uint32_t op)
{
    const uint32_t slot = Bits(op, 27, 20), nibble = Bits(op, 7, 4);
    switch (Bits(op, 27, 25)) {
    case 0:
        if (nibble == 9) {
            if (slot <= 0x03 || (slot >= 0x08 && slot <= 0x0F))
                Multiply(s, op);
            else if (slot == 0x10 || slot == 0x14)
                Swap(s, op);
            return;
        }
        if (Bit(op, 7) && Bit(op, 4)) {
            HalfTransfer(s, op);
            return;
        }
        if (Bits(op, 24, 23) == 2 && !Bit(op, 20)) { // TST/TEQ/CMP/CMN without S
            if (nibble == 0)
                StatusTransfer(s, op);
            else if (nibble == 1 && slot == 0x12)
                Exchange(s, Operand(s, Bits(op, 3, 0), 4));
            else if (nibble == 1 && slot == 0x16) {
                const uint32_t v = s->r[Bits(op, 3, 0)];
                uint32_t zeros = 0;
                while (zeros < 32 && !(v & (0x80000000u >> zeros)))
                    ++zeros;
                WriteReg(s, Bits(op, 15, 12), zeros);
            } else if (nibble == 3 && slot == 0x12) {
                const uint32_t target = s->r[Bits(op, 3, 0)];
                s->r[14] = s->r[15] | ((s->cpsr & FlagT) ? 1 : 0);
                Exchange(s, target);
            }
            return;
        }
        DataProcessing(s, op);
        return;
    case 1:
        if (Bits(op, 24, 23) == 2 && !Bit(op, 20)) {
            if (Bit(op, 21))
                StatusTransfer(s, op);
            return;
        }
        DataProcessing(s, op);
        return;
    case 2: SingleTransfer(s, op); return;
    case 3:
        if (!Bit(op, 4))
            SingleTransfer(s, op);
        return;
    case 4: BlockTransfer(s, op); return;
    case 5:
        if (Bit(op, 24))
            s->r[14] = s->r[15];
        s->r[15] += 4 + uint32_t(int32_t(Bits(op, 23, 0) << 8) >> 6);
        return;
    case 6: return; // coprocessor transfers: unrecognized
    default:
        if (Bit(op, 24))
            BiosCall(s, Bits(op, 23, 0));
        return;
    }
}

} // namespace Tavrin::Test
