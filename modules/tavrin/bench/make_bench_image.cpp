// Writes a handheld benchmark image, one of four workloads:
//
//   scroll   (the default) mode 1 with two text layers that scroll and a
//            256 x 256 affine layer turned and scaled every frame through
//            the BgAffineSet call, 32 moving sprites, and a main loop that
//            polls the line counter and never halts;
//   bitmap   mode 3, a band of 10 lines redrawn each frame by a main loop
//            that waits for the vertical blank in VBlankIntrWait;
//   layers   mode 1 with an affine layer behind two text layers, a status
//            bar at the top and bottom and drifting clouds, the clouds
//            moved and the affine layer turned once a frame after
//            VBlankIntrWait;
//   halt     one text layer shown, then Halt with no interrupt enabled, so
//            nothing ever wakes the CPU.
//
// All run THUMB code in ROM with the wait control games use.
//
//   make_bench_image [WORKLOAD] OUT.gba
#include "modules/tavrin/testing/ArmAsm.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

namespace {

using namespace Tavrin::Test::Asm;

constexpr uint32_t kRom = 0x08000000;
constexpr uint32_t kThumbStart = kRom + 0xC0;
// The ARM interrupt handler, past the THUMB code and its pool; then the
// data a program copies into the console's memory.
constexpr uint32_t kHandler = kRom + 0x1000;
constexpr uint32_t kData = kRom + 0x2000;

// The ROM data placed so far, from kData.
std::vector<uint8_t> romData;

uint32_t PlaceData(std::vector<uint16_t> const &halves)
{
    const uint32_t at = kData + uint32_t(romData.size());
    for (uint16_t h : halves) {
        romData.push_back(uint8_t(h));
        romData.push_back(uint8_t(h >> 8));
    }
    return at;
}
constexpr uint32_t CCcond = 0x3, NEcond = 0x1, EQcond = 0x0;
constexpr uint32_t AluAnd = 0, AluCmp = 10, AluOrr = 12, AluMul = 13;

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
    // Halfword stores of constants into the I/O page (r0 = 0x04000000).
    struct Io {
        uint32_t offset, value;
    };
    void SetIo(std::initializer_list<Io> writes)
    {
        Ldr(0, 0x04000000);
        for (Io const &w : writes) {
            Ldr(1, w.value);
            Strh(1, 0, w.offset);
        }
    }
    // Fills [start, end) with a word sequence: seed, then x * 69069 + 1;
    // each word ANDed with mask and ORed with set before it is stored.
    void Fill(uint32_t start, uint32_t end, uint32_t seed, bool random, uint32_t mask = ~0u, uint32_t set = 0)
    {
        const bool shaped = mask != ~0u || set != 0;
        Ldr(2, start);
        Ldr(3, end);
        Ldr(1, seed);
        Ldr(4, 69069);
        if (mask != ~0u)
            Ldr(5, mask);
        if (set != 0)
            Ldr(0, set);
        const uint32_t loop = Here();
        if (shaped) {
            AddI3(6, 1, 0);
            if (mask != ~0u)
                AluOp(AluAnd, 6, 5);
            if (set != 0)
                AluOp(AluOrr, 6, 0);
            Str(6, 2, 0);
        } else {
            Str(1, 2, 0);
        }
        AddI(2, 4);
        if (random) {
            AluOp(AluMul, 1, 4);
            AddI(1, 1);
        }
        AluOp(AluCmp, 2, 3);
        Bc(CCcond, loop);
    }
    // Copies `words` words from src to dst by DMA 3.
    void Copy(uint32_t src, uint32_t dst, uint32_t words)
    {
        Ldr(0, 0x040000D4);
        Ldr(1, src);
        Str(1, 0, 0);
        Ldr(1, dst);
        Str(1, 0, 4);
        Ldr(1, 0x84000000 | words);
        Str(1, 0, 8);
    }
    // Wait control as games set it: ROM 3/1 first/sequential, prefetch on.
    void WaitControl()
    {
        Ldr(2, 0x04000204);
        Ldr(1, 0x4317);
        Strh(1, 2, 0);
    }
    // The vertical-blank interrupt on, served by the handler at kHandler.
    void VBlankInterrupt()
    {
        Ldr(2, 0x03007FFC);
        Ldr(1, kHandler);
        Str(1, 2, 0);
        Ldr(0, 0x04000000);
        MovI(1, 8);
        Strh(1, 0, 0x004); // DISPSTAT: interrupt at the vertical blank
        Ldr(2, 0x04000200);
        MovI(1, 1);
        Strh(1, 2, 0x000); // IE
        Strh(1, 2, 0x008); // IME
    }
    std::vector<uint16_t> Finish()
    {
        if (code.size() % 2)
            Op(0x46C0); // NOP, so the pool is word aligned
        for (Fixup const &f : fixups) {
            const uint32_t at = kThumbStart + uint32_t(f.index) * 2;
            const uint32_t literal = kThumbStart + uint32_t(code.size()) * 2;
            const uint32_t distance = literal - ((at + 4) & ~3u);
            if (distance > 1020) {
                std::fprintf(stderr, "make_bench_image: literal pool out of reach\n");
                std::exit(1);
            }
            code[f.index] = uint16_t(0x4800 | f.rd << 8 | (distance / 4));
            code.push_back(uint16_t(f.value));
            code.push_back(uint16_t(f.value >> 16));
        }
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

// The interrupt handler (ARM; the BIOS vector calls it with r0 =
// 0x04000000): acknowledges the requests it serves and records them in the
// BIOS's flags at 0x03007FF8, where VBlankIntrWait looks for them.
std::vector<uint32_t> Handler()
{
    return {
        DpImm(ADD, false, 3, 0, 0x02, 12),        // r3 = 0x04000200
        MemHalf(true, 1, true, true, false, 1, 3, 2), // r1 = IF
        MemHalf(true, 1, true, true, false, 2, 3, 0), // r2 = IE
        DpReg(AND, false, 1, 1, 2),
        MemHalf(false, 1, true, true, false, 1, 3, 2), // acknowledge
        MemHalf(true, 1, true, false, false, 2, 0, 8), // r2 = [0x03FFFFF8]
        DpReg(ORR, false, 2, 2, 1),
        MemHalf(false, 1, true, false, false, 2, 0, 8),
        Bx(14),
    };
}

// BgAffineSet on BG2 from a source in work RAM: centre of the layer at the
// centre of the screen, scale 0.5-1.0, angle turning a step a frame (r7).
void TurnAffineLayer(Thumb &t)
{
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
    t.AluOp(AluAnd, 1, 7);
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
}

void ScrollProgram(Thumb &t)
{
    t.SetIo({
        {0x00, 0x1741}, // mode 1, BG0-2, sprites (1D)
        {0x08, 0x0800}, // BG0: tiles 0, map 0x4000
        {0x0A, 0x0900}, // BG1: tiles 0, map 0x4800
        {0x0C, 0x4C08}, // BG2: affine 256 x 256, tiles 0x8000, map 0x6000
    });
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
    TurnAffineLayer(t);

    // 32 sprites of 16 x 16 moving across and down.
    t.Ldr(2, 0x07000000);
    t.MovI(3, 0);
    const uint32_t sprite = t.Here();
    t.Lsl(1, 3, 2);
    t.AddR(1, 1, 7);
    t.MovI(4, 0xFF);
    t.AluOp(AluAnd, 1, 4);
    t.Strh(1, 2, 0);
    t.Lsl(1, 3, 3);
    t.Lsl(4, 7, 1);
    t.AddR(1, 1, 4);
    t.Lsl(1, 1, 23);
    t.Lsr(1, 1, 23);
    t.MovI(4, 1);
    t.Lsl(4, 4, 14);
    t.AluOp(AluOrr, 1, 4);
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
}

void BitmapProgram(Thumb &t)
{
    t.SetIo({{0x00, 0x0403}}); // mode 3, BG2
    t.Fill(0x06000000, 0x06012C00, 0x2468ACE1, true);
    t.VBlankInterrupt();
    t.MovI(7, 0);

    // Each frame a band of 10 lines (4,800 bytes) of new colours, the 16
    // bands taking turns from top to bottom.
    constexpr uint32_t Band = 10 * 240 * 2;
    const uint32_t main = t.Here();
    t.Swi(0x05);
    t.AddI(7, 1);
    t.MovI(2, 15);
    t.AluOp(AluAnd, 2, 7);
    t.Ldr(4, Band);
    t.AluOp(AluMul, 2, 4);
    t.Ldr(3, 0x06000000);
    t.AddR(2, 2, 3);
    t.AddR(3, 2, 4);
    t.AddI3(1, 7, 0);
    t.Ldr(4, 69069);
    const uint32_t loop = t.Here();
    t.Str(1, 2, 0);
    t.AddI(2, 4);
    t.AluOp(AluMul, 1, 4);
    t.AddI(1, 1);
    t.AluOp(AluCmp, 2, 3);
    t.Bc(CCcond, loop);
    t.B(main);
}

// The two text layers of the layers workload as a game's screen has them,
// 32 x 32 entries naming tiles 1-63 (tile 0 is blank) in random palette
// banks: a status bar in the top two and the bottom two rows of tiles, and
// ten round clouds of two to four tiles' radius on a map that wraps.
std::vector<uint16_t> StatusBarMap(std::mt19937 &rng)
{
    std::vector<uint16_t> map(32 * 32, 0);
    for (uint32_t row : {0u, 1u, 18u, 19u})
        for (uint32_t col = 0; col < 32; ++col)
            map[row * 32 + col] = uint16_t((1 + rng() % 63) | (rng() % 16) << 12);
    return map;
}

std::vector<uint16_t> CloudMap(std::mt19937 &rng)
{
    std::vector<uint16_t> map(32 * 32, 0);
    for (int cloud = 0; cloud < 10; ++cloud) {
        const int cx = int(rng() % 32), cy = int(rng() % 32), r = 2 + int(rng() % 3);
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (dx * dx + dy * dy <= r * r)
                    map[size_t((cy + dy) & 31) * 32 + size_t((cx + dx) & 31)] =
                        uint16_t((1 + rng() % 63) | (rng() % 16) << 12);
    }
    return map;
}

void LayersProgram(Thumb &t)
{
    t.SetIo({
        {0x00, 0x0701}, // mode 1, BG0-2
        {0x08, 0x0800}, // BG0: priority 0, tiles 0, map 0x4000
        {0x0A, 0x0901}, // BG1: priority 1, tiles 0, map 0x4800
        {0x0C, 0x6C0A}, // BG2: priority 2, affine 256 x 256 wrapping, tiles 0x8000, map 0x6000
    });
    // Random 16-colour tiles 1-63 (tile 0 blank): 1-31 solid, as the
    // inside of a cloud or a bar is, 32-63 with random see-through pixels;
    // the maps above, random palettes; the affine layer behind is opaque
    // but for the odd index 0.
    std::mt19937 rng(30);
    t.Fill(0x06000020, 0x06000400, 0x13579BDF, true, ~0u, 0x11111111);
    t.Fill(0x06000400, 0x06000800, 0x2468ACE0, true);
    t.Copy(PlaceData(StatusBarMap(rng)), 0x06004000, 0x200);
    t.Copy(PlaceData(CloudMap(rng)), 0x06004800, 0x200);
    t.Fill(0x06006000, 0x06007000, 0x8796A5B4, true);
    t.Fill(0x06008000, 0x0600C000, 0xC3D2E1F0, true);
    t.Fill(0x05000000, 0x05000400, 0x7FFF1234, true);
    t.VBlankInterrupt();
    t.MovI(7, 0);

    // Each frame the clouds drift and the affine layer turns.
    const uint32_t main = t.Here();
    t.Swi(0x05);
    t.Ldr(0, 0x04000000);
    t.AddI(7, 1);
    t.Strh(7, 0, 0x14); // BG1 across
    t.Strh(7, 0, 0x16); // and down
    TurnAffineLayer(t);
    t.B(main);
}

void HaltProgram(Thumb &t)
{
    t.SetIo({
        {0x00, 0x0100}, // mode 0, BG0
        {0x08, 0x0800}, // BG0: tiles 0, map 0x4000
    });
    // A screen of text, as a test program leaves it: tile 3 drawn on a
    // quarter of the map, tiles 0-2 blank.
    t.Fill(0x06000060, 0x06000080, 0x11223344, true);
    t.Fill(0x06004000, 0x06004800, 0x55667788, true, 0x00030003);
    t.Fill(0x05000000, 0x05000020, 0x7FFF1234, true);
    const uint32_t halt = t.Here();
    t.Swi(0x02);
    t.B(halt);
}

struct Workload {
    const char *name;
    void (*program)(Thumb &);
};
constexpr Workload Workloads[] = {
    {"scroll", ScrollProgram},
    {"bitmap", BitmapProgram},
    {"layers", LayersProgram},
    {"halt", HaltProgram},
};

void Put32(std::vector<uint8_t> &rom, size_t at, uint32_t word)
{
    for (int b = 0; b < 4; ++b)
        rom[at + size_t(b)] = uint8_t(word >> (8 * b));
}

} // namespace

int main(int argc, char **argv)
{
    // An option is never taken for the output's name: asked for help, or
    // given one it does not know, it writes nothing.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
            std::fprintf(help ? stdout : stderr, "usage: make_bench_image [scroll|bitmap|layers|halt] OUT.gba\n");
            return help ? 0 : 2;
        }
    }
    const Workload *workload = &Workloads[0];
    if (argc == 3) {
        workload = nullptr;
        for (Workload const &w : Workloads)
            if (std::strcmp(argv[1], w.name) == 0)
                workload = &w;
    }
    if ((argc != 2 && argc != 3) || !workload) {
        std::fprintf(stderr, "usage: make_bench_image [scroll|bitmap|layers|halt] OUT.gba\n");
        return 2;
    }
    std::vector<uint8_t> rom(0xC0, 0);
    // ARM entry: into THUMB at kThumbStart.
    Put32(rom, 0, DpImm(ADD, false, 0, 15, kThumbStart - kRom - 8 + 1));
    Put32(rom, 4, Bx(0));
    const char title[] = "QUINTARBENCH";
    for (size_t i = 0; i + 1 < sizeof title; ++i)
        rom[0xA0 + i] = uint8_t(title[i]);
    rom[0xB2] = 0x96;
    uint8_t check = 0;
    for (size_t i = 0xA0; i < 0xBD; ++i)
        check = uint8_t(check - rom[i]);
    rom[0xBD] = uint8_t(check - 0x19);

    Thumb t;
    t.WaitControl();
    workload->program(t);
    for (uint16_t op : t.Finish()) {
        rom.push_back(uint8_t(op));
        rom.push_back(uint8_t(op >> 8));
    }
    if (workload->program != ScrollProgram) {
        if (rom.size() > kHandler - kRom) {
            std::fprintf(stderr, "make_bench_image: the program reaches into the handler\n");
            return 1;
        }
        rom.resize(kHandler - kRom, 0);
        for (uint32_t op : Handler()) {
            rom.resize(rom.size() + 4);
            Put32(rom, rom.size() - 4, op);
        }
    }
    if (!romData.empty()) {
        rom.resize(kData - kRom, 0);
        rom.insert(rom.end(), romData.begin(), romData.end());
    }
    rom.resize((rom.size() + 0x3FFF) & ~size_t(0x3FFF), 0);
    const char *path = argv[argc - 1];
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(rom.data()), std::streamsize(rom.size()));
    return out ? 0 : 1;
}
