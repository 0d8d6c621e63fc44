// Writes the handheld benchmark image: mode 1 with two text layers that
// scroll and a 256 x 256 affine layer turned and scaled every frame through
// the BgAffineSet call, 32 moving sprites, THUMB code in ROM with the wait
// control games use, and a main loop that polls the line counter and never
// halts.
//
//   make_bench_image OUT.gba
#include "modules/tavrin/tests/ArmAsm.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using namespace Tavrin::Testing::Asm;

constexpr uint32_t kRom = 0x08000000;
constexpr uint32_t kThumbStart = kRom + 0xC0;
constexpr uint32_t CCcond = 0x3, NEcond = 0x1, EQcond = 0x0;

// A THUMB assembler with a literal pool after the code.
class Thumb {
public:
    uint32_t Here() const { return kThumbStart + uint32_t(code.size()) * 2; }
    void Op(uint16_t op) { code.push_back(op); }
    void MovI(uint32_t rd, uint32_t imm) { Op(uint16_t(0x2000 | rd << 8 | imm)); }
    void AddI(uint32_t rd, uint32_t imm) { Op(uint16_t(0x3000 | rd << 8 | imm)); }
    void CmpI(uint32_t rd, uint32_t imm) { Op(uint16_t(0x2800 | rd << 8 | imm)); }
    void AddR(uint32_t rd, uint32_t rn, uint32_t rm) { Op(uint16_t(0x1800 | rm << 6 | rn << 3 | rd)); }
    void AddI3(uint32_t rd, uint32_t rn, uint32_t imm) { Op(uint16_t(0x1C00 | imm << 6 | rn << 3 | rd)); }
    void Lsl(uint32_t rd, uint32_t rs, uint32_t n) { Op(uint16_t(n << 6 | rs << 3 | rd)); }
    void Lsr(uint32_t rd, uint32_t rs, uint32_t n) { Op(uint16_t(0x0800 | n << 6 | rs << 3 | rd)); }
    void Str(uint32_t rd, uint32_t rb, uint32_t off) { Op(uint16_t(0x6000 | (off / 4) << 6 | rb << 3 | rd)); }
    void Strh(uint32_t rd, uint32_t rb, uint32_t off) { Op(uint16_t(0x8000 | (off / 2) << 6 | rb << 3 | rd)); }
    void Ldrh(uint32_t rd, uint32_t rb, uint32_t off) { Op(uint16_t(0x8800 | (off / 2) << 6 | rb << 3 | rd)); }
    void AluOp(uint32_t op, uint32_t rd, uint32_t rs) { Op(T::Alu(op, rd, rs)); }
    void Swi(uint32_t n) { Op(uint16_t(0xDF00 | n)); }
    void Bc(uint32_t cond, uint32_t to) { Op(T::Bcond(cond, Here(), to)); }
    void B(uint32_t to) { Op(T::B(Here(), to)); }
    // LDR rd, =value
    void Ldr(uint32_t rd, uint32_t value)
    {
        fixups.push_back({code.size(), rd, value});
        Op(0);
    }
    // Fills [start, end) with a word sequence: seed, then x * 69069 + 1.
    void Fill(uint32_t start, uint32_t end, uint32_t seed, bool random)
    {
        Ldr(2, start);
        Ldr(3, end);
        Ldr(1, seed);
        Ldr(4, 69069);
        const uint32_t loop = Here();
        Str(1, 2, 0);
        AddI(2, 4);
        if (random) {
            AluOp(13, 1, 4); // MUL
            AddI(1, 1);
        }
        AluOp(10, 2, 3); // CMP
        Bc(CCcond, loop);
    }
    std::vector<uint16_t> Finish()
    {
        if (code.size() % 2)
            Op(0x46C0); // NOP, so the pool is word aligned
        const size_t poolStart = code.size();
        for (Fixup const &f : fixups) {
            const uint32_t at = kThumbStart + uint32_t(f.index) * 2;
            const uint32_t literal = kThumbStart + uint32_t(code.size()) * 2;
            code[f.index] = uint16_t(0x4800 | f.rd << 8 | ((literal - ((at + 4) & ~3u)) / 4));
            code.push_back(uint16_t(f.value));
            code.push_back(uint16_t(f.value >> 16));
        }
        (void)poolStart;
        return code;
    }

private:
    struct Fixup {
        size_t index;
        uint32_t rd, value;
    };
    std::vector<uint16_t> code;
    std::vector<Fixup> fixups;
};

std::vector<uint16_t> Program()
{
    Thumb t;
    // Wait control as games set it: ROM 3/1 first/sequential, prefetch on.
    t.Ldr(2, 0x04000204);
    t.Ldr(1, 0x4317);
    t.Strh(1, 2, 0);
    t.Ldr(0, 0x04000000);
    struct Io {
        uint32_t offset, value;
    } const io[] = {
        {0x00, 0x1741}, // mode 1, BG0-2, sprites (1D)
        {0x08, 0x0800}, // BG0: tiles 0, map 0x4000
        {0x0A, 0x0900}, // BG1: tiles 0, map 0x4800
        {0x0C, 0x4C08}, // BG2: affine 256 x 256, tiles 0x8000, map 0x6000
    };
    for (Io const &w : io) {
        t.Ldr(1, w.value);
        t.Strh(1, 0, w.offset);
    }
    t.Fill(0x06000000, 0x06018000, 0x12345678, true); // tiles and maps
    t.Fill(0x05000000, 0x05000400, 0x7FFF1234, true); // palettes
    t.Fill(0x07000000, 0x07000400, 0x00000200, false); // all sprites hidden
    t.MovI(7, 0);

    const uint32_t main = t.Here();
    t.Ldr(0, 0x04000000);
    const uint32_t wait = t.Here();
    t.Ldrh(1, 0, 6);
    t.CmpI(1, 160);
    t.Bc(NEcond, wait);
    t.AddI(7, 1);
    t.Strh(7, 0, 0x10); // BG0 across
    t.Strh(7, 0, 0x16); // BG1 down

    // BgAffineSet source in work RAM: centre of the layer at the centre of
    // the screen, scale 0.5-1.0, angle turning a step a frame.
    t.Ldr(2, 0x03000000);
    t.MovI(1, 128);
    t.Lsl(1, 1, 8);
    t.Str(1, 2, 0);
    t.Str(1, 2, 4);
    t.MovI(1, 120);
    t.Strh(1, 2, 8);
    t.MovI(1, 80);
    t.Strh(1, 2, 10);
    t.MovI(1, 0x7F);
    t.AluOp(0, 1, 7); // AND
    t.MovI(3, 128);
    t.AddR(1, 1, 3);
    t.Strh(1, 2, 12);
    t.Strh(1, 2, 14);
    t.Lsl(1, 7, 8);
    t.Strh(1, 2, 16);
    t.AddI3(0, 2, 0);
    t.Ldr(1, 0x04000020);
    t.MovI(2, 1);
    t.Swi(0x0E);

    // 32 sprites of 16 x 16 moving across and down.
    t.Ldr(2, 0x07000000);
    t.MovI(3, 0);
    const uint32_t sprite = t.Here();
    t.Lsl(1, 3, 2);
    t.AddR(1, 1, 7);
    t.MovI(4, 0xFF);
    t.AluOp(0, 1, 4);
    t.Strh(1, 2, 0);
    t.Lsl(1, 3, 3);
    t.Lsl(4, 7, 1);
    t.AddR(1, 1, 4);
    t.Lsl(1, 1, 23);
    t.Lsr(1, 1, 23);
    t.MovI(4, 1);
    t.Lsl(4, 4, 14);
    t.AluOp(12, 1, 4); // ORR
    t.Strh(1, 2, 2);
    t.Lsl(1, 3, 2);
    t.Strh(1, 2, 4);
    t.AddI(2, 8);
    t.AddI(3, 1);
    t.CmpI(3, 32);
    t.Bc(NEcond, sprite);

    t.Ldr(0, 0x04000000);
    const uint32_t leave = t.Here();
    t.Ldrh(1, 0, 6);
    t.CmpI(1, 160);
    t.Bc(EQcond, leave);
    t.B(main);
    return t.Finish();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench_image OUT.gba\n");
        return 2;
    }
    std::vector<uint8_t> rom(0xC0, 0);
    // ARM entry: into THUMB at kThumbStart.
    const uint32_t entry[] = {DpImm(ADD, false, 0, 15, kThumbStart - kRom - 8 + 1), Bx(0)};
    for (int i = 0; i < 2; ++i)
        for (int b = 0; b < 4; ++b)
            rom[size_t(i * 4 + b)] = uint8_t(entry[i] >> (8 * b));
    const char title[] = "QUINTARBENCH";
    for (size_t i = 0; i + 1 < sizeof title; ++i)
        rom[0xA0 + i] = uint8_t(title[i]);
    rom[0xB2] = 0x96;
    uint8_t check = 0;
    for (size_t i = 0xA0; i < 0xBD; ++i)
        check = uint8_t(check - rom[i]);
    rom[0xBD] = uint8_t(check - 0x19);
    for (uint16_t op : Program()) {
        rom.push_back(uint8_t(op));
        rom.push_back(uint8_t(op >> 8));
    }
    rom.resize((rom.size() + 0x3FFF) & ~size_t(0x3FFF), 0);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char *>(rom.data()), std::streamsize(rom.size()));
    return out ? 0 : 1;
}
