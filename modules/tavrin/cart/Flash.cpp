#include "modules/tavrin/cart/Flash.h"

#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/bus/MemoryBus.h"

#include <cstdio>
#include <cstring>

namespace Tavrin {

FlashRecord FlashState;

namespace {

constexpr uint32_t Unlock1 = 0x5555;
constexpr uint32_t Unlock2 = 0x2AAA;

FlashRecord &F = FlashState;

uint32_t BankCount(uint32_t sizeExp) { return sizeExp >= 24 ? 256 : 1u << (sizeExp - 16); }

void Store(uint32_t offset, uint8_t byte) { F.bank[offset & 0xFFFF] = byte; }

void CoverWithId(uint8_t *bank)
{
    F.hidden[0] = bank[0];
    F.hidden[1] = bank[1];
    bank[0] = uint8_t(F.chipId);
    bank[1] = uint8_t(F.chipId >> 8);
}

void Uncover(uint8_t *bank)
{
    bank[0] = F.hidden[0];
    bank[1] = F.hidden[1];
}

void LeaveIdMode()
{
    if (F.idMode)
        Uncover(F.bank);
    F.idMode = 0;
    if (F.trace)
        std::printf("FLASH: Product ID mode exited.\n");
}

uint8_t *SelectBank(uint32_t byte)
{
    uint32_t banks = BankCount(F.sizeExp);
    uint32_t number = byte & (banks - 1);
    if (F.trace)
        std::printf("FLASH: Selecting 64kB page %u (total of %u).\n", number, banks);
    uint8_t *next = F.base + size_t(number) * FlashBankSize;
    if (next == F.bank)
        return nullptr;
    // The ID moves with the bank.
    if (F.idMode) {
        Uncover(F.bank);
        CoverWithId(next);
    }
    F.bank = next;
    return next;
}

void Erase(uint8_t *from, size_t size) { std::memset(from, 0xFF, size); }

// The cycles of a broken sequence are stored as plain bytes after all.
void StoreBroken(uint32_t unlockBytes, uint32_t offset, uint8_t byte)
{
    if (unlockBytes >= 1)
        Store(Unlock1, 0xAA);
    if (unlockBytes >= 2)
        Store(Unlock2, 0x55);
    Store(offset, byte);
}

uint8_t *Step(uint32_t offset, uint8_t byte)
{
    switch (F.cycle) {
    case 0:
        if (byte == 0xAA && offset == Unlock1)
            F.cycle = 1;
        else if (byte == 0xF0 && F.idMode)
            LeaveIdMode();
        else
            Store(offset, byte);
        return nullptr;
    case 1:
        F.cycle = 0;
        if (byte == 0x55 && offset == Unlock2) {
            F.cycle = 2;
            return nullptr;
        }
        if (F.trace)
            std::printf("FLASH: 0xAA 0x%02X?\n", byte);
        StoreBroken(1, offset, byte);
        return nullptr;
    case 2:
        F.cycle = 0;
        if (offset != Unlock1) {
            if (F.trace)
                std::printf("FLASH: 0xAA 0x55 0x%02X?\n", byte);
            StoreBroken(2, offset, byte);
            return nullptr;
        }
        switch (byte) {
        case 0x80: F.cycle = 3; break;
        case 0xA0: F.cycle = 6; break;
        case 0xB0: F.cycle = 7; break;
        case 0x90:
            if (!F.idMode)
                CoverWithId(F.bank);
            F.idMode = 1;
            if (F.trace)
                std::printf("FLASH: Product ID mode entered.\n");
            break;
        case 0xF0: LeaveIdMode(); break;
        default:
            if (F.trace)
                std::printf("FLASH: Unknown command 0x%02X.\n", byte);
            break;
        }
        return nullptr;
    case 3:
        F.cycle = 0;
        if (byte == 0xAA && offset == Unlock1) {
            F.cycle = 4;
            return nullptr;
        }
        if (F.trace)
            std::printf("FLASH: 0xAA 0x55 0x80 0x%02X?\n", byte);
        Store(offset, byte);
        return nullptr;
    case 4:
        F.cycle = 0;
        if (byte == 0x55 && offset == Unlock2) {
            F.cycle = 5;
            return nullptr;
        }
        if (F.trace)
            std::printf("FLASH: 0xAA 0x55 0x80 0xAA 0x%02X?\n", byte);
        StoreBroken(1, offset, byte);
        return nullptr;
    case 5:
        F.cycle = 0;
        if (byte == 0x30) {
            uint32_t first = offset & 0xF000;
            if (F.trace)
                std::printf("FLASH: Erasing page 0x%04X-0x%04X.\n", first, first + 0xFFF);
            if (!F.idMode)
                Erase(F.bank + first, 0x1000);
        } else if (offset == Unlock1 && byte == 0x10) {
            if (!F.idMode) {
                if (F.trace)
                    std::printf("FLASH: Erasing entire ROM.\n");
                Erase(F.base, size_t(1) << F.sizeExp);
            }
        } else if (offset == Unlock1) {
            if (F.trace)
                std::printf("FLASH: Unknown command 0x80 0x%02X.\n", byte);
        } else {
            if (F.trace)
                std::printf("FLASH: 0xAA 0x55 0x80 0xAA 0x55 0x%02X?.\n", byte);
            StoreBroken(2, offset, byte);
        }
        return nullptr;
    case 6: {
        F.cycle = 0;
        if (F.idMode)
            return nullptr;
        // Programming only clears bits.
        uint8_t old = F.bank[offset];
        uint8_t result = old & byte;
        if (F.trace)
            std::printf("FLASH: Writing to 0x%04X: 0x%02X AND 0x%02X ==> 0x%02X.\n", offset, byte, old, result);
        F.bank[offset] = result;
        return nullptr;
    }
    default:
        F.cycle = 0;
        return SelectBank(byte);
    }
}

} // namespace

void FlashReset(uint32_t chipId, uint8_t *array, uint32_t sizeExp, uint8_t trace)
{
    if (F.idMode && F.bank)
        Uncover(F.bank);
    F = FlashRecord{};
    F.chipId = uint16_t(chipId);
    F.base = array;
    F.bank = array;
    F.sizeExp = uint8_t(sizeExp < 16 ? 16 : sizeExp);
    F.trace = trace;
    if (array)
        MapPages(array, FlashBankSize, 0x0E000000, 0x02000000, true);
}

void FlashDetach()
{
    if (F.idMode && F.bank)
        Uncover(F.bank);
    F.idMode = 0;
    F.cycle = 0;
    F.base = F.bank = nullptr;
}

uint8_t *FlashBusWrite(uint32_t address, uint32_t byte)
{
    if (!F.bank)
        return nullptr;
    return Step(address & 0xFFFF, uint8_t(byte));
}

void FlashWriteImage(const FlashRecord &f, Zorvan::ByteWriter &out)
{
    out.u32(0); // base pointer
    out.u8(f.cycle);
    out.u8(f.idMode);
    out.u8(f.trace);
    out.u8(0);
    out.u16(f.chipId);
    out.u8(f.hidden[0]);
    out.u8(f.hidden[1]);
    out.u8(f.sizeExp);
    out.zeros(3);
    out.u32(uint32_t(f.bank - f.base));
}

bool FlashReadImage(FlashRecord &f, Zorvan::ByteReader &in)
{
    FlashRecord t = f;
    in.skip(4);
    t.cycle = in.u8();
    t.idMode = in.u8();
    t.trace = in.u8();
    in.skip(1);
    t.chipId = in.u16();
    t.hidden[0] = in.u8();
    t.hidden[1] = in.u8();
    t.sizeExp = in.u8();
    in.skip(3);
    uint32_t bankOffset = in.u32();
    if (!in.ok() || !f.base || t.cycle > 7 || t.idMode > 1 || t.sizeExp != f.sizeExp)
        return false;
    if (bankOffset % FlashBankSize || bankOffset / FlashBankSize >= BankCount(t.sizeExp))
        return false;
    t.bank = f.base + bankOffset;
    f = t;
    return true;
}

} // namespace Tavrin
