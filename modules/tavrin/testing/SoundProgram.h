// Small ARM cartridge programs for the sound tests: register stores in the
// order a game makes them, waits of whole frames, and a long run of one
// repeated sample period for a direct-sound channel to stream.
#pragma once

#include "modules/tavrin/testing/ArmAsm.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tavrin::Test {

class SoundProgram {
public:
    static constexpr uint32_t Rom = 0x08000000;
    static constexpr uint32_t Io = 0x04000000;
    // Where Image() puts the samples: a 32-byte period repeated for 64 KB.
    static constexpr uint32_t Samples = Rom + 0x1000;
    static constexpr uint32_t SamplesSize = 0x10000;
    // Where CountInterrupts() puts its handler, and the words it counts in:
    // one per interrupt flag, the word of flag b at Counters + 4 b.
    static constexpr uint32_t Handler = Rom + 0x800;
    static constexpr uint32_t Counters = 0x03000000;

    // r0 holds the I/O base for the frame waits.
    SoundProgram() { Set(0, Io); }

    // rd = value, by a MOV and an ORR per further non-zero byte.
    void Set(uint32_t rd, uint32_t value)
    {
        using namespace Asm;
        bool first = true;
        for (uint32_t byte = 0; byte < 4; ++byte) {
            const uint32_t part = value >> (8 * byte) & 0xFF;
            if (part == 0 && !(first && byte == 3))
                continue;
            // An 8-bit immediate rotated right by twice the field.
            const uint32_t rot = (16 - 4 * byte) % 16;
            code.push_back(DpImm(first ? MOV : ORR, false, rd, first ? 0 : rd, part, rot));
            first = false;
        }
    }
    // A halfword store (STRH) or a word store (STR) to an I/O offset.
    void Io16(uint32_t offset, uint32_t value)
    {
        Set(1, value);
        Set(2, Io + offset);
        code.push_back(Asm::MemHalf(false, 1, true, true, false, 1, 2, 0));
    }
    void Io32(uint32_t offset, uint32_t value)
    {
        Set(1, value);
        Set(2, Io + offset);
        code.push_back(Asm::Mem(false, false, true, true, false, 1, 2, 0));
    }
    // Returns when `frames` frame ends have passed (line 160 seen and left).
    void WaitFrames(uint32_t frames)
    {
        using namespace Asm;
        Set(5, frames);
        const uint32_t frame = Here();
        code.push_back(MemHalf(true, 1, true, true, false, 6, 0, 6)); // LDRH r6, [r0, #6]
        code.push_back(DpImm(CMP, true, 0, 6, 160));
        code.push_back(Branch(Here(), frame, false, NE));
        const uint32_t leave = Here();
        code.push_back(MemHalf(true, 1, true, true, false, 6, 0, 6));
        code.push_back(DpImm(CMP, true, 0, 6, 160));
        code.push_back(Branch(Here(), leave, false, EQ));
        code.push_back(DpImm(SUB, true, 5, 5, 1));
        code.push_back(Branch(Here(), frame, false, NE));
    }
    void Spin() { code.push_back(Asm::SpinArm); }

    // Installs an interrupt handler that counts each of the flags it sees
    // and acknowledges them, and enables those interrupts (IE, IME).
    void CountInterrupts(uint32_t flags)
    {
        using namespace Asm;
        handler.clear();
        // The vector calls it with r0 = 0x04000000 and may lose r0-r3, r12.
        handler.push_back(DpImm(ADD, false, 2, 0, 0x02, 12));  // r2 = I/O + 0x200 (2 ror 24)
        handler.push_back(MemHalf(true, 1, true, true, false, 1, 2, 2));  // LDRH r1, [r2, #2]: IF
        handler.push_back(MemHalf(false, 1, true, true, false, 1, 2, 2)); // STRH: acknowledged
        handler.push_back(DpImm(MOV, false, 3, 0, 0x03, 4));    // r3 = 0x03000000
        for (uint32_t b = 0; b < 14; ++b) {
            if (!(flags >> b & 1))
                continue;
            // TST r1, #1 << b (an 8-bit value rotated right by an even amount).
            const uint32_t rot = b < 8 ? 0 : (32 - (b & ~1u)) / 2 % 16;
            const uint32_t imm = b < 8 ? 1u << b : 1u << (b & 1);
            handler.push_back(DpImm(TST, true, 0, 1, imm, rot));
            handler.push_back(Mem(true, false, true, true, false, 12, 3, 4 * b, NE));
            handler.push_back(DpImm(ADD, false, 12, 12, 1, 0, NE));
            handler.push_back(Mem(false, false, true, true, false, 12, 3, 4 * b, NE));
        }
        handler.push_back(Bx(14));
        Set(1, Handler);
        Set(2, 0x03007FFC);
        code.push_back(Asm::Mem(false, false, true, true, false, 1, 2, 0));
        Io16(0x200, flags);
        Io16(0x208, 1);
    }

    // The cartridge: the code at its start, then the samples: each 32-byte
    // period is `high` for 16 bytes and `low` for 16, one rising crossing a
    // period.
    std::vector<uint8_t> Image(int8_t high = 100, int8_t low = -100) const
    {
        std::vector<uint8_t> bytes(Samples - Rom + SamplesSize);
        for (std::size_t i = 0; i < code.size(); ++i)
            for (int b = 0; b < 4; ++b)
                bytes[4 * i + std::size_t(b)] = uint8_t(code[i] >> (8 * b));
        for (uint32_t i = 0; i < SamplesSize; ++i)
            bytes[Samples - Rom + i] = uint8_t(i % 32 < 16 ? high : low);
        for (std::size_t i = 0; i < handler.size(); ++i)
            for (int b = 0; b < 4; ++b)
                bytes[Handler - Rom + 4 * i + std::size_t(b)] = uint8_t(handler[i] >> (8 * b));
        return bytes;
    }

private:
    uint32_t Here() const { return Rom + 4 * uint32_t(code.size()); }

    std::vector<uint32_t> code;
    std::vector<uint32_t> handler;
};

} // namespace Tavrin::Test
