// The picture processor's CPU-visible registers, the 1 KB page map, the
// name-table mirroring and the per-line sprite pre-pass.
#include "modules/cindrel/machine/Machine.h"

namespace Cindrel {

uint8_t *VideoPageMap[16];
uint8_t *const *CpuPatternPages = VideoPageMap;
void (*PatternFetchWatch)(uint32_t address);
uint8_t SpriteRam[256];
uint8_t PpuRegisters[8];
uint32_t ScrollX;
uint32_t ScrollY;
uint8_t WriteToggle;
uint16_t VramAddress;
uint8_t ReadBuffer;
int MirroringMode;
uint8_t **SpriteHalf = VideoPageMap;
uint8_t **BackgroundHalf = VideoPageMap;
uint8_t *PpuBgPalette;
uint8_t *PpuSpritePalette;
SpriteLine SpriteLineTable{{}, -1};
uint8_t Palette[64][3];
uint8_t IoLatchAge[8];

namespace {

// Which 1 KB of name-table space each of $2000, $2400, $2800, $2C00 uses.
constexpr uint16_t MirrorTable[5][4] = {
    {0x2000, 0x2000, 0x2400, 0x2400},
    {0x2000, 0x2400, 0x2000, 0x2400},
    {0x2000, 0x2000, 0x2000, 0x2000},
    {0x2400, 0x2400, 0x2400, 0x2400},
    {0x2000, 0x2400, 0x2800, 0x2C00},
};

// The latch's bits hold their charge for about 600 ms: counted in frames.
int DecayFrames() { return Cartridge.pal ? 30 : 36; }

// The bits of mask take the value's and start their time afresh.
void RefreshLatch(uint8_t mask, uint8_t value)
{
    PpuRegisters[IoLatch] = uint8_t((PpuRegisters[IoLatch] & ~mask) | (value & mask));
    for (int bit = 0; bit < 8; ++bit)
        if (mask & (1 << bit))
            IoLatchAge[bit] = 0;
}

bool InVrom(const uint8_t *page)
{
    return VromBuffer && page >= VromBuffer && page < VromBuffer + VromBufferSize;
}

// Palette entries $3F10, $3F14, $3F18 and $3F1C are the same memory as
// $3F00, $3F04, $3F08 and $3F0C: writes keep both copies, so the sprite
// palette the renderers read sees them too.
void WritePalette(uint32_t address, uint8_t value)
{
    const uint32_t i = address & 0x1F;
    VideoSpace[0x3F00 + i] = value;
    if (!(i & 3))
        VideoSpace[0x3F00 + (i ^ 0x10)] = value;
}

uint8_t VideoRead(uint32_t address)
{
    const uint32_t a = address & 0x3FFF;
    if (a < 0x2000) {
        const uint8_t v = CpuPatternPages[a >> 10][a & 0x3FF];
        if (PatternFetchWatch)
            PatternFetchWatch(a);
        return v;
    }
    return VideoPageMap[a >> 10][a & 0x3FF];
}

void StepAddress()
{
    VramAddress = uint16_t((VramAddress + ((PpuRegisters[0] & 4) ? 32 : 1)) & 0x7FFF);
}

// The read buffer is left alone: only reads load it. While the picture is
// fetched the address is the picture's position, not the CPU's: the write
// stores nothing (neither in pattern memory nor in the palette).
void WriteVideo(uint8_t value)
{
    const uint32_t a = VramAddress & 0x3FFFu;
    if (PictureFetching()) {
        StepAddress();
        return;
    }
    if (a < 0x3F00) {
        uint8_t *page = (a < 0x2000 ? CpuPatternPages : VideoPageMap)[a >> 10];
        if (!InVrom(page))
            page[a & 0x3FF] = value;
    } else {
        WritePalette(a, value);
    }
    StepAddress();
}

// Name tables and pattern memory arrive one read late, through the buffer,
// and drive all eight bits. Palette entries arrive at once and drive six
// (in grey as the picture shows them); the top two are the I/O latch's.
// The buffer takes the name table byte that lies under the palette instead.
uint8_t ReadVideo()
{
    const uint32_t a = VramAddress & 0x3FFFu;
    if (a >= 0x3F00) {
        const uint8_t grey = (PpuRegisters[1] & 1) ? 0x30 : 0x3F;
        RefreshLatch(0x3F, VideoSpace[0x3F00 + (a & ((a & 3) ? 0x1F : 0x0F))] & grey);
        ReadBuffer = VideoRead(a - 0x1000);
    } else {
        RefreshLatch(0xFF, ReadBuffer);
        ReadBuffer = VideoRead(a);
    }
    StepAddress();
    return PpuRegisters[IoLatch];
}

// The first $2006 write: the high six address bits, as the temporary
// address also sets fine row, coarse row bits 3-4 and the name table
// (address bit 14, fine row bit 2, is cleared).
void FirstAddressWrite(uint8_t value)
{
    PpuRegisters[6] = value & 0x3F;
    PpuRegisters[0] = uint8_t((PpuRegisters[0] & ~3) | ((value >> 2) & 3));
    ScrollY = (ScrollY & 0x38) | ((value >> 4) & 3) | ((value & 3u) << 6);
}

// The second $2006 write: coarse column and coarse row bits 0-2, then the
// whole temporary address becomes the address.
void SecondAddressWrite(uint8_t value)
{
    ScrollX = (ScrollX & 7) | ((value & 31u) << 3);
    ScrollY = (ScrollY & 0xC7) | ((value >> 5) << 3);
    const uint32_t t = (ScrollX >> 3) | ((ScrollY >> 3) << 5) | ((PpuRegisters[0] & 3u) << 10) | ((ScrollY & 7) << 12);
    VramAddress = uint16_t(t);
    PpuRegisters[6] = uint8_t(t >> 8);
}

} // namespace

void HandOnPalette()
{
    for (int emphasis = 0; emphasis < 8; ++emphasis) {
        for (int i = 0; i < 64; ++i) {
            int rgb[3] = {Palette[i][0], Palette[i][1], Palette[i][2]};
            // Each emphasis bit (red, green, blue) dims the other two.
            for (int bit = 0; bit < 3; ++bit)
                if (emphasis & (1 << bit))
                    for (int c = 0; c < 3; ++c)
                        if (c != bit)
                            rgb[c] = rgb[c] * EmphasisDim / 4;
            SetPaletteColor(emphasis * 64 + i, rgb[0], rgb[1], rgb[2]);
        }
    }
}

void MapVideoPages(int first, int last, uint8_t *pointer)
{
    for (int i = first; i <= last; ++i, pointer += 0x400)
        VideoPageMap[i] = pointer;
}

void SetMirroring(int mode)
{
    const bool force = mode & 128;
    mode &= 127;
    // Four-screen boards have no mirroring control.
    if (Cartridge.mirroring == 4 && mode != 4)
        return;
    if (mode == MirroringMode && !force)
        return;
    MirroringMode = mode;
    if (mode > 4)
        return;
    for (int i = 0; i < 4; ++i)
        VideoPageMap[8 + i] = VideoPageMap[12 + i] = VideoSpace + MirrorTable[mode][i];
}

void SetNameTablePage(int slot, uint8_t *page)
{
    if (Cartridge.mirroring == 4)
        return;
    VideoPageMap[8 + slot] = VideoPageMap[12 + slot] = page;
}

void SelectPatternTables()
{
    SpriteHalf = VideoPageMap + ((PpuRegisters[0] & 0x08) ? 4 : 0);
    BackgroundHalf = VideoPageMap + ((PpuRegisters[0] & 0x10) ? 4 : 0);
}

void DecayIoLatch()
{
    for (int bit = 0; bit < 8; ++bit) {
        if (IoLatchAge[bit] < 255)
            ++IoLatchAge[bit];
        if (IoLatchAge[bit] >= DecayFrames())
            PpuRegisters[IoLatch] &= uint8_t(~(1 << bit));
    }
}

void WritePpuRegister(int reg, uint8_t value)
{
    RefreshLatch(0xFF, value);
    switch (reg) {
    case 0:
        // NMI enabled inside vertical blank: the NMI line rises now. Within
        // the few cycles before the blank's own NMI step that step takes it.
        if ((value & ~PpuRegisters[0] & PpuRegisters[2] & 0x80) && LineStep != 2)
            Cpu6502RaiseNmi(Cpu);
        PpuRegisters[0] = value;
        SelectPatternTables();
        break;
    case 1:
        PpuRegisters[1] = value;
        break;
    case 2: // read-only
        break;
    case 3:
        PpuRegisters[3] = value;
        break;
    case 4:
        SpriteRam[PpuRegisters[3]++] = value;
        break;
    case 5:
        if (WriteToggle == 0) {
            ScrollX = value;
            WriteToggle = 2;
        } else {
            ScrollY = value;
            WriteToggle = 0;
        }
        break;
    case 6:
        if (WriteToggle == 0) {
            FirstAddressWrite(value);
            WriteToggle = 1;
        } else {
            SecondAddressWrite(value);
            WriteToggle = 0;
        }
        break;
    default:
        WriteVideo(value);
        break;
    }
}

uint8_t ReadPpuRegister(int reg)
{
    switch (reg) {
    case 2: {
        // Bits 0-4 are not driven: they read as the I/O latch holds them.
        RefreshLatch(0xE0, PpuRegisters[2]);
        PpuRegisters[2] &= 0x7F;
        WriteToggle = 0;
        return PpuRegisters[IoLatch];
    }
    case 4: {
        // Sprite attribute bytes have no bits 2-4; they read 0.
        const uint8_t a = PpuRegisters[3];
        RefreshLatch(0xFF, uint8_t(SpriteRam[a] & ((a & 3) == 2 ? 0xE3 : 0xFF)));
        return PpuRegisters[IoLatch];
    }
    case 7:
        return ReadVideo();
    default: // the write-only registers answer with the I/O latch
        return PpuRegisters[IoLatch];
    }
}

namespace {

uint8_t Reverse(uint8_t b)
{
    b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

} // namespace

int PrepareSpriteLine(int line)
{
    SpriteLineTable.lastSprite = -1;
    if (!(PpuRegisters[1] & 0x10))
        return 0;
    const bool tall = PpuRegisters[0] & 0x20;
    const int height = tall ? 16 : 8;
    const bool leftColumn = PpuRegisters[1] & 0x04;
    int count = 0;
    for (int s = 0; s < 64; ++s) {
        const uint8_t *sprite = SpriteRam + s * 4;
        const int row = line - sprite[0] - 1;
        const bool shown = row >= 0 && row < height && (sprite[3] != 0 || leftColumn);
        // The hardware draws at most eight sprites a line; a ninth only
        // raises the overflow flag.
        if (shown && count == 8)
            return 1;
        SpriteLineTable.words[s] = 0;
        if (!shown)
            continue;
        ++count;
        const uint8_t tile = sprite[1], attributes = sprite[2];
        const bool flipV = attributes & 0x80;
        const uint8_t *pattern;
        int source;
        if (tall) {
            pattern = VideoPageMap[(tile & 1) * 4 + (tile >> 6)] + (tile & 0x3E) * 16;
            source = row < 8 ? (flipV ? 23 - row : row) : (flipV ? 15 - row : row + 8);
        } else {
            pattern = SpriteHalf[tile >> 6] + (tile & 0x3F) * 16;
            source = flipV ? 7 - row : row;
        }
        uint8_t low = pattern[source], high = pattern[source + 8];
        if (!(low | high))
            continue;
        if (attributes & 0x40) {
            low = Reverse(low);
            high = Reverse(high);
        }
        const unsigned h2 = unsigned(high) * 2;
        SpriteLineTable.words[s] = uint16_t((h2 & 0xAAA) | (((h2 & 0x555) | (low & 0xAAu)) * 128) | (low & 0x55u));
        SpriteLineTable.lastSprite = s;
    }
    return 0;
}

} // namespace Cindrel
