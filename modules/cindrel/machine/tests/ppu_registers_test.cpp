// The picture processor's registers, the page map and mirroring, and the
// sprite pre-pass.
#include "modules/cindrel/testing/MachineFixture.h"

namespace Cindrel::Test {
namespace {

using PpuRegisterTest = MachineFixture;

void SetAddress(uint16_t a)
{
    WriteMemory(0x2006, uint8_t(a >> 8));
    WriteMemory(0x2006, uint8_t(a));
}

TEST_F(PpuRegisterTest, FourWriteSplitGivesTheHardwareAddressAndNextFrameScroll)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // The usual mid-frame split: $2006 = name table 1 and fine row 3,
    // $2005 = Y 120 + 3, $2005 = X 64 + 5, $2006 = the low address byte.
    ReadMemory(0x2002);
    WriteMemory(0x2006, 0x04 | 0x30 | 0x01);
    WriteMemory(0x2005, 0x7B);
    WriteMemory(0x2005, 0x45);
    WriteMemory(0x2006, 0xE8);
    // Coarse column 8, coarse row 15, name table 1, fine row 3.
    const uint16_t expected = uint16_t(8 | (15 << 5) | (1 << 10) | (3 << 12));
    EXPECT_EQ(VramAddress, expected);
    EXPECT_EQ(PpuRegisters[0] & 3, 1);
    EXPECT_EQ(ScrollX, 0x45u);
    EXPECT_EQ(ScrollY, 0x7Bu);
    EXPECT_EQ(WriteToggle, 0);
}

TEST_F(PpuRegisterTest, WriteToggleIsSharedAndStoredAsZeroOneTwo)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    struct Step {
        uint16_t reg;
        uint8_t value;
        uint8_t toggle;
    } const steps[] = {
        {0x2006, 0x21, 1}, {0x2005, 0x10, 0}, // a $2005 finishes a $2006 pair
        {0x2005, 0x20, 2}, {0x2006, 0x00, 0}, // and a $2006 a $2005 pair
        {0x2005, 0x30, 2}, {0x2002, 0x00, 2}, // $2002 is read-only: the pair goes on
        {0x2005, 0x40, 0}, {0x2006, 0x3F, 1},
    };
    for (const Step &s : steps) {
        WriteMemory(s.reg, s.value);
        EXPECT_EQ(WriteToggle, s.toggle) << std::hex << s.reg << " " << int(s.value);
    }
    ReadMemory(0x2002);
    EXPECT_EQ(WriteToggle, 0);
}

TEST_F(PpuRegisterTest, FirstAddressWriteKeepsSixBitsAndDataUsesFourteen)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 0)));
    SetAddress(0xE345); // bits 14-15 dropped: $2345
    EXPECT_EQ(VramAddress, 0x2345);
    WriteMemory(0x2007, 0x66);
    EXPECT_EQ(VideoPageMap[8][0x345], 0x66);
    VramAddress = 0x7345; // bit 14 set by counting: still $3345, a mirror of $2345
    WriteMemory(0x2007, 0x67);
    EXPECT_EQ(VideoPageMap[8][0x345], 0x67);
    EXPECT_EQ(VramAddress, 0x7346);
    VramAddress = 0x7FFF;
    WriteMemory(0x2007, 0);
    EXPECT_EQ(VramAddress, 0);
}

TEST_F(PpuRegisterTest, DataPortReadsAndWrites)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 1)));
    // Name-table data arrives one read late; palette data too.
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x11);
    WriteMemory(0x2007, 0x22);
    SetAddress(0x2000);
    ReadMemory(0x2007);
    EXPECT_EQ(ReadMemory(0x2007), 0x11);
    EXPECT_EQ(ReadMemory(0x2007), 0x22);
    // Writes leave the buffer as the last read filled it: here with $22,
    // read from $2001 above.
    ReadMemory(0x2007);
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x33);
    WriteMemory(0x2007, 0x44);
    EXPECT_EQ(ReadMemory(0x2007), 0x00) << "the byte $2002 held when the last read passed it";
    // Increment of 32.
    WriteMemory(0x2000, 0x04);
    SetAddress(0x2400);
    WriteMemory(0x2007, 1);
    EXPECT_EQ(VramAddress, 0x2420);
    WriteMemory(0x2000, 0x00);
    // Pattern ROM is not written, but the address moves on.
    SetAddress(0x0010);
    const uint8_t before = VromBuffer[0x10];
    WriteMemory(0x2007, uint8_t(before + 1));
    EXPECT_EQ(VromBuffer[0x10], before);
    EXPECT_EQ(VramAddress, 0x0011);
    // Name tables mapped onto pattern ROM ignore writes too.
    VideoPageMap[8] = VromBuffer;
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x5A);
    EXPECT_EQ(VromBuffer[0], 0);
}

TEST_F(PpuRegisterTest, DataWritesWhileThePictureIsFetchedStoreNothing)
{
    // Pattern RAM, a name table and the palette, written on a visible line
    // with the picture on or off, and inside the vertical blank.
    ASSERT_TRUE(Start(IdleCartridge(2, 0)));
    enum When { VisibleLine, VerticalBlank };
    const struct {
        uint8_t mask;
        When when;
        bool stored;
    } cases[] = {
        {0x18, VisibleLine, false}, {0x08, VisibleLine, false}, {0x10, VisibleLine, false},
        {0x00, VisibleLine, true},  {0x18, VerticalBlank, true},
    };
    for (const auto &c : cases) {
        RunFrames(1);
        if (c.when == VisibleLine)
            while (!(CurrentLine == 100 && LineStep == 1))
                LineHook(Cpu);
        else
            while (LineStep != 3)
                LineHook(Cpu);
        Cpu.cyclesLeft = Cpu.linePeriod; // at the start of the step's slice
        WriteMemory(0x2001, c.mask);
        for (uint16_t address : {0x0123, 0x2345, 0x3F00, 0x3F11}) {
            uint8_t *cell = (address < 0x2000 ? VideoPageMap[address >> 10] + (address & 0x3FF) : VideoSpace + address);
            *cell = 0x0F;
            SetAddress(address);
            WriteMemory(0x2007, 0x2A);
            EXPECT_EQ(*cell, c.stored ? 0x2A : 0x0F)
                << std::hex << "$" << address << " $2001 = $" << int(c.mask) << (c.when == VisibleLine ? " line 100" : " blank");
            EXPECT_EQ(VramAddress, address + 1) << "the address steps all the same";
        }
        FrameDone = false;
    }
}

TEST_F(PpuRegisterTest, PaletteWritesAndTheirMirrors)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // $3F10/$3F14/$3F18/$3F1C and $3F00/$3F04/$3F08/$3F0C are one entry
    // each; the 32 entries repeat up to $3FFF.
    const struct {
        uint16_t address;
        std::vector<uint16_t> stored;
    } cases[] = {
        {0x3F00, {0x3F00, 0x3F10}}, {0x3F10, {0x3F00, 0x3F10}}, {0x3F20, {0x3F00, 0x3F10}},
        {0x3F04, {0x3F04, 0x3F14}}, {0x3F14, {0x3F04, 0x3F14}}, {0x3F1C, {0x3F0C, 0x3F1C}},
        {0x3F05, {0x3F05}},         {0x3F15, {0x3F15}},         {0x3FFF, {0x3F1F}},
    };
    uint8_t value = 1;
    for (const auto &c : cases) {
        std::memset(VideoSpace + 0x3F00, 0, 32);
        SetAddress(c.address);
        WriteMemory(0x2007, value);
        int set = 0;
        for (int i = 0; i < 32; ++i)
            set += VideoSpace[0x3F00 + i] == value;
        EXPECT_EQ(set, int(c.stored.size())) << std::hex << c.address;
        for (uint16_t a : c.stored)
            EXPECT_EQ(VideoSpace[a], value) << std::hex << c.address;
        ++value;
    }
}

TEST_F(PpuRegisterTest, PaletteReadsArriveAtOnceAndBufferTheNameTableBeneath)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    SetMirroring(4);
    VideoSpace[0x3F05] = 0x16;
    VideoSpace[0x3F04] = 0x2A;
    VideoSpace[0x2F05] = 0x77; // under $3F05
    VideoSpace[0x2F25] = 0x78; // under $3F25
    VideoSpace[0x2F06] = 0x79;
    const struct {
        const char *what;
        uint16_t address;
        uint8_t mask; // $2001
        uint8_t want;
        uint8_t buffered;
    } cases[] = {
        {"an entry at once", 0x3F05, 0x00, 0x16, 0x77},
        {"through a mirror, the top bits from the latch", 0x3F25, 0x00, 0x16, 0x78},
        {"the latch's top two bits", 0x3FC5, 0x00, 0xC0 | 0x16, 0},
        {"$3F14 is $3F04", 0x3F14, 0x00, 0x2A, 0},
        {"in grey mode, $16 reads as $10", 0x3F05, 0x01, 0x10, 0x77},
    };
    for (const auto &c : cases) {
        WriteMemory(0x2001, c.mask);
        SetAddress(c.address); // the low address byte is the latch's value
        ReadBuffer = 0x55;
        EXPECT_EQ(ReadMemory(0x2007), c.want) << c.what;
        if (c.buffered) {
            EXPECT_EQ(ReadBuffer, c.buffered) << c.what;
        }
        EXPECT_EQ(VramAddress, c.address + 1) << c.what;
    }
    // The name-table byte beneath comes out of the buffer at the next read.
    WriteMemory(0x2001, 0);
    SetAddress(0x3F05);
    ReadMemory(0x2007);
    SetAddress(0x2F06);
    EXPECT_EQ(ReadMemory(0x2007), 0x77);
    EXPECT_EQ(ReadMemory(0x2007), 0x79);
}

TEST_F(PpuRegisterTest, WriteOnlyRegistersReadTheIoLatch)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // Any write fills the latch; the write-only registers read it back and
    // change nothing.
    PpuRegisters[2] = 0xE0;
    WriteMemory(0x2006, 0x21); // toggle 1
    WriteMemory(0x2003, 0xA5);
    for (uint16_t reg : {0x2000, 0x2001, 0x2003, 0x2005, 0x2006, 0x3FF8, 0x2FFD}) {
        EXPECT_EQ(ReadMemory(reg), 0xA5) << std::hex << reg;
        EXPECT_EQ(PpuRegisters[2], 0xE0) << std::hex << reg << ": the blank flag stays";
        EXPECT_EQ(WriteToggle, 1) << std::hex << reg;
    }
    // $2002 is read-only: a write fills the latch and nothing else.
    WriteMemory(0x2002, 0x1F);
    EXPECT_EQ(PpuRegisters[2], 0xE0);
    EXPECT_EQ(WriteToggle, 1);
    // A $2002 read: status bits 5-7, bits 0-4 from the latch; it clears
    // the blank flag and the toggle.
    EXPECT_EQ(ReadMemory(0x2002), 0xFF);
    EXPECT_EQ(PpuRegisters[2], 0x60);
    EXPECT_EQ(WriteToggle, 0);
    EXPECT_EQ(ReadMemory(0x2002), 0x7F);
    WriteMemory(0x2000, 0x00);
    EXPECT_EQ(ReadMemory(0x2002), 0x60);
}

// The latch holds what the picture processor's data bus last carried:
// every write, the bits each read drives ($2002 bits 5-7, all of $2004 and
// of a $2007 read below the palette, bits 0-5 of a palette read). A bit not
// driven for 36 frames (600 ms) has decayed to 0; each bit keeps its own
// time. Steps run in order on one machine; frames run the idle program.
TEST_F(PpuRegisterTest, TheIoLatchTakesWhatTheBusCarriedAndDecaysBitByBit)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 0)));
    SetMirroring(1);
    VideoSpace[0x2000] = 0x3C; // name table byte at $2000
    VideoSpace[0x3F01] = 0x2D; // palette entry 1
    SpriteRam[0] = 0xA5;
    SpriteRam[2] = 0xFF; // an attribute byte: bits 2-4 read 0
    enum Action { Write, Read, Frames, Status };
    const struct {
        const char *what;
        Action action;
        uint16_t address; // or the frames to run, or the status bits
        uint8_t value;    // written
        int read;         // what a read of the address gives, -1 unchecked
        int latch;        // the latch after the step, -1 unchecked
    } steps[] = {
        {"a write drives all eight bits", Write, 0x2003, 0xFF, -1, 0xFF},
        {"35 frames on, every bit holds", Frames, 35, 0, -1, 0xFF},
        {"the 36th frame decays them all", Frames, 1, 0, -1, 0x00},
        {"bits 0-4 driven by a write", Write, 0x2003, 0x1F, -1, 0x1F},
        {"20 frames on", Frames, 20, 0, -1, 0x1F},
        {"vertical blank, hit and overflow up", Status, 0xE0, 0, -1, 0x1F},
        {"$2002 drives bits 5-7 only", Read, 0x2002, 0, 0xFF, 0xFF},
        {"16 frames on: bits 0-4 are 36 frames old", Frames, 16, 0, -1, 0xE0},
        {"20 frames on: bits 5-7 too", Frames, 20, 0, -1, 0x00},
        {"rendering off, so that frames leave the address alone", Write, 0x2001, 0x00, -1, 0x00},
        {"sprite address 0", Write, 0x2003, 0x00, -1, 0x00},
        {"$2004 drives all eight", Read, 0x2004, 0, 0xA5, 0xA5},
        {"sprite address 2, an attribute byte", Write, 0x2003, 0x02, -1, 0x02},
        {"its bits 2-4 read, and drive, 0", Read, 0x2004, 0, 0xE3, 0xE3},
        {"address $2000", Write, 0x2006, 0x20, -1, 0x20},
        {"low byte", Write, 0x2006, 0x00, -1, 0x00},
        {"a name table read returns the old buffer", Read, 0x2007, 0, -1, -1},
        {"the next gives the byte, and drives it", Read, 0x2007, 0, 0x3C, 0x3C},
        {"address $3FC1 (palette entry 1), bits 6-7 up", Write, 0x2006, 0xFF, -1, 0xFF},
        {"low byte", Write, 0x2006, 0xC1, -1, 0xC1},
        {"20 frames on", Frames, 20, 0, -1, 0xC1},
        {"a palette read: bits 0-5 driven, 6-7 the latch's", Read, 0x2007, 0, 0xED, 0xED},
        {"16 frames on: bits 6-7 are 36 frames old", Frames, 16, 0, -1, 0x2D},
    };
    for (const auto &s : steps) {
        switch (s.action) {
        case Write: WriteMemory(s.address, s.value); break;
        case Read: {
            const uint8_t got = ReadMemory(s.address);
            if (s.read >= 0) {
                EXPECT_EQ(got, s.read) << s.what;
            }
            break;
        }
        case Frames: RunFrames(s.address); break;
        case Status: PpuRegisters[2] = uint8_t(s.address); break;
        }
        if (s.latch >= 0) {
            EXPECT_EQ(PpuRegisters[IoLatch], s.latch) << s.what;
        }
    }
    EXPECT_EQ(ReadMemory(0x2000), 0x2D) << "the write-only registers read the latch";
}

// Code fetched from $2007 comes through the read buffer and moves the
// address on, as a data read would: a program that stores RTS at $2100,
// primes the buffer with it and calls $2007 returns at once, with the
// address stepped once by the fetch (the RTS's read of $2008 is a
// write-only register's and moves nothing).
TEST_F(PpuRegisterTest, CodeRunFromTheDataPortComesThroughTheBuffer)
{
    const std::vector<uint8_t> setAddress = {0xA9, 0x21, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20};
    std::vector<uint8_t> code = {0xA9, 0x00, 0x8D, 0x01, 0x20}; // rendering off
    code.insert(code.end(), setAddress.begin(), setAddress.end());
    code.insert(code.end(), {0xA9, 0x60, 0x8D, 0x07, 0x20}); // $2100 = RTS
    code.insert(code.end(), setAddress.begin(), setAddress.end());
    code.insert(code.end(), {0xAD, 0x07, 0x20});             // the buffer takes the RTS
    code.insert(code.end(), {0x20, 0x07, 0x20});             // JSR $2007
    code.insert(code.end(), {0xA9, 0x01, 0x85, 0x10});       // returned: $10 = 1
    const uint16_t loop = uint16_t(0xC000 + code.size());
    code.insert(code.end(), {0x4C, uint8_t(loop), uint8_t(loop >> 8)});
    CartridgeBuilder cart(2, 1);
    cart.Code(0xC000, code).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    VideoSpace[0x2101] = 0x4B;
    RunFrames(2);
    EXPECT_EQ(CpuSpace[0x10], 1) << "the RTS fetched from $2007 returned";
    EXPECT_EQ(VramAddress, 0x2102);
    EXPECT_EQ(ReadBuffer, 0x4B);
    EXPECT_EQ(Cpu.S, 0xFF) << "no interrupt, no BRK";
}

// A read-modify-write on $2006 reads the I/O latch and writes it back,
// then the result: the two halves of an address. After a $2007 read the
// latch holds the byte that read carried, so ASL $2006 sets the address
// from it: $21 read gives $21 then $42, address $2142.
TEST_F(PpuRegisterTest, AReadModifyWriteOnTheAddressPortUsesWhatTheLastReadCarried)
{
    const std::vector<uint8_t> code = {
        0xA9, 0x00, 0x8D, 0x01, 0x20,                   // rendering off
        0xA9, 0x21, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // address $2100
        0xAD, 0x07, 0x20, 0xAD, 0x07, 0x20,             // prime, then read $21
        0x0E, 0x06, 0x20,                               // ASL $2006
        0xAD, 0x07, 0x20, 0xAD, 0x07, 0x20, 0x85, 0x10, // $10 = the byte at the address set
        0x4C, 0x20, 0xC0};
    CartridgeBuilder cart(2, 1);
    cart.Code(0xC000, code).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    VideoSpace[0x2100] = 0x21;
    VideoSpace[0x2142] = 0x5A;
    RunFrames(1);
    EXPECT_EQ(CpuSpace[0x10], 0x5A);
    EXPECT_EQ(VramAddress, 0x2144);
}

TEST_F(PpuRegisterTest, SpriteRamThroughItsPorts)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // Writes advance the address, wrapping.
    WriteMemory(0x2003, 0xFE);
    WriteMemory(0x2004, 1);
    WriteMemory(0x2004, 2);
    WriteMemory(0x2004, 0xFF);
    EXPECT_EQ(SpriteRam[0xFE], 1);
    EXPECT_EQ(SpriteRam[0xFF], 2);
    EXPECT_EQ(SpriteRam[0x00], 0xFF);
    EXPECT_EQ(PpuRegisters[3], 0x01);
    // Reads do not; attribute bytes (the third of each sprite) read back
    // without bits 2-4.
    const struct {
        uint8_t address;
        uint8_t stored;
        uint8_t want;
    } reads[] = {{0xFF, 2, 2}, {0x00, 0xFF, 0xFF}, {0x02, 0xFF, 0xE3}, {0x06, 0x1C, 0x00}, {0xFE, 0xFF, 0xE3}};
    for (const auto &r : reads) {
        SpriteRam[r.address] = r.stored;
        WriteMemory(0x2003, r.address);
        EXPECT_EQ(ReadMemory(0x2004), r.want) << std::hex << int(r.address);
        EXPECT_EQ(ReadMemory(0x2004), r.want) << std::hex << int(r.address) << ": the address stays";
        EXPECT_EQ(PpuRegisters[3], r.address);
    }
}

TEST_F(PpuRegisterTest, EnablingNmiInsideVerticalBlankRaisesIt)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    const struct {
        const char *what;
        uint8_t status;
        uint8_t before, after;
        int lineStep;
        bool raised;
    } cases[] = {
        {"enabled inside the blank", 0x80, 0x00, 0x80, 3, true},
        {"enabled outside the blank", 0x00, 0x00, 0x80, 0, false},
        {"already enabled", 0x80, 0x80, 0x84, 3, false},
        {"disabled", 0x80, 0x80, 0x00, 3, false},
        {"the blank's own NMI step is still to come", 0x80, 0x00, 0x80, 2, false},
    };
    for (const auto &c : cases) {
        WriteMemory(0x2000, c.before);
        PpuRegisters[2] = c.status;
        LineStep = c.lineStep;
        Cpu.nmiRaised = 0;
        Cpu.cliDelay = 0;
        Cpu.cyclesLeft = 50;
        WriteMemory(0x2000, c.after);
        EXPECT_EQ(Cpu.nmiRaised, c.raised) << c.what;
        EXPECT_EQ(Cpu.cyclesLeft, c.raised ? 1 : 50) << c.what << ": the slice ends after the next instruction";
    }
    Cpu.nmiRaised = 0;
    Cpu.cliDelay = 0;
    Cpu6502Reset(Cpu);
}

// Each frame the program waits for the blank's NMI, turns NMI off, waits
// about 1000 cycles and turns it on again, still inside the blank: the
// console takes a second NMI then. The NMI handler counts at $10.
TEST_F(PpuRegisterTest, AGameTurningNmiOnLateInTheBlankGetsItsNmi)
{
    CartridgeBuilder cart(1, 1);
    cart.Code(0xC000, {0xA9, 0x80, 0x8D, 0x00, 0x20,             // loop: LDA #$80 / STA $2000
                       0xA5, 0x10, 0xC5, 0x11, 0xF0, 0xFA,       // wait: LDA $10 / CMP $11 / BEQ wait
                       0x85, 0x11,                               // STA $11
                       0xA9, 0x00, 0x8D, 0x00, 0x20,             // LDA #0 / STA $2000
                       0xA0, 0xC8, 0x88, 0xD0, 0xFD,             // LDY #200 / d: DEY / BNE d
                       0xA9, 0x80, 0x8D, 0x00, 0x20,             // LDA #$80 / STA $2000
                       0xA5, 0x10, 0xC5, 0x11, 0xF0, 0xFA,       // wait2: LDA $10 / CMP $11 / BEQ wait2
                       0x85, 0x11, 0x4C, 0x00, 0xC0})            // STA $11 / JMP loop
        .Code(0xC100, {0xE6, 0x10, 0x40})                        // nmi: INC $10 / RTI
        .Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    RunFrames(3);
    const uint8_t before = CpuSpace[0x10];
    RunFrames(10);
    EXPECT_EQ(uint8_t(CpuSpace[0x10] - before), 20) << "two NMIs a frame";
}

// With the picture off, the program fills name table $2000 with 0-255 and
// the palette with $20 + i, then reads $2007 in many orders and keeps each
// value at $0300 on: increments of 1 after a $2006 pair (by LDA, and by
// the undocumented NOP abs and LAX abs), increments of 32, an indexed read
// whose carry reads $2007 on the way, palette entries, and on across $3FFF
// into pattern memory. Then it writes "OK" at $2042 and turns the picture
// on.
TEST_F(PpuRegisterTest, AProgramReadingTheBufferInManyOrdersGetsToItsText)
{
    CartridgeBuilder cart(1, 1);
    cart.Code(0xC000, {
        0x78, 0xD8, 0xA2, 0xFF, 0x9A, 0xA9, 0x00, 0x8D, 0x00, 0x20, 0x8D, 0x01, 0x20, // picture off
        0x2C, 0x02, 0x20, 0x10, 0xFB, 0x2C, 0x02, 0x20, 0x10, 0xFB,                   // two blanks
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20,                   // $2000 = 0..255
        0xAA, 0x8E, 0x07, 0x20, 0xE8, 0xD0, 0xFA,
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20,                   // $3F00 + i = $20 + i
        0xAA, 0x8A, 0x18, 0x69, 0x20, 0x29, 0x3F, 0x8D, 0x07, 0x20, 0xE8, 0xE0, 0x20, 0xD0, 0xF2,
        0xA0, 0x00,                                                                   // Y = 0
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x10, 0x8D, 0x06, 0x20,                   // $2006 = $2010
        0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0,                                           // JSR rd, rd
        0x0C, 0x07, 0x20, 0x20, 0xEF, 0xC0,                                           // NOP $2007, JSR rd
        0xAF, 0x07, 0x20, 0x20, 0xF2, 0xC0,                                           // LAX $2007, JSR keep
        0xA9, 0x04, 0x8D, 0x00, 0x20,                                                 // increments of 32
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x01, 0x8D, 0x06, 0x20,                   // $2006 = $2001
        0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0,                         // rd x 3
        0xA2, 0x08, 0xBD, 0xFF, 0x20, 0x20, 0xF2, 0xC0,                               // LDA $20FF,X: X = 8
        0xA9, 0x00, 0x8D, 0x00, 0x20,                                                 // increments of 1
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x01, 0x8D, 0x06, 0x20,                   // $2006 = $3F01
        0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0,
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x10, 0x8D, 0x06, 0x20, 0x20, 0xEF, 0xC0, // $3F10
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x14, 0x8D, 0x06, 0x20, 0x20, 0xEF, 0xC0, // $3F14
        0xA9, 0x04, 0x8D, 0x00, 0x20,                                                 // increments of 32
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0xE0, 0x8D, 0x06, 0x20,                   // $2006 = $3FE0
        0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0, 0x20, 0xEF, 0xC0,                         // rd x 3
        0xA9, 0x00, 0x8D, 0x00, 0x20,
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x42, 0x8D, 0x06, 0x20,                   // "OK" at $2042
        0xA9, 0x4F, 0x8D, 0x07, 0x20, 0xA9, 0x4B, 0x8D, 0x07, 0x20,
        0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20, 0xA9, 0x0A, 0x8D, 0x01, 0x20, // picture on
        0x4C, 0xEC, 0xC0,                                                             // done: JMP done
        0xAD, 0x07, 0x20,                                                             // rd: LDA $2007
        0x99, 0x00, 0x03, 0xC8, 0x60,                                                 // keep: STA $0300,Y / INY / RTS
    });
    cart.Code(0xC200, {0x40}).Vectors(0xC200, 0xC000, 0xC200).VromAt(0x00, {0x5A}).VromAt(0x20, {0x5B});
    ASSERT_TRUE(Start(cart));
    RunFrames(6);
    const uint8_t want[] = {
        0x00, 0x10, 0x12, 0x13,      // the buffer's start value, $2010, (NOP took $2011) $2012, LAX $2013
        0x14, 0x01, 0x21,            // the buffer ($2014), $2001, $2021
        0x61,                        // $2041 on the way, $2061 kept
        0x21, 0x22, 0x30, 0x34,      // palette $3F01, $3F02, $3F10 (= $3F00), $3F14 (= $3F04)
        0xC0 | 0x30, 0x00, 0x5A,     // $3FE0 with the latch's top bits; $2FE0 beneath; pattern $0000
    };
    for (size_t i = 0; i < sizeof want; ++i)
        EXPECT_EQ(CpuSpace[0x300 + i], want[i]) << "read " << i;
    EXPECT_EQ(Cpu.PC, 0xC0EC) << "never got to its text";
    EXPECT_EQ(VideoPageMap[8][0x42], 'O');
    EXPECT_EQ(VideoPageMap[8][0x43], 'K');
    EXPECT_EQ(PpuRegisters[1], 0x0A);
}

TEST_F(PpuRegisterTest, ColoursAreHandedOnUnderEachEmphasisOnce)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    EXPECT_EQ(StandIns.paletteCalls, EmphasisColourCount);
    // Entry emphasis x 64 + colour; each emphasis bit (red, green, blue)
    // dims the other two components to 3/4. Colour 2 is $0012B0, colour
    // $20 is white.
    const struct {
        int entry;
        uint8_t rgb[3];
    } cases[] = {
        {2, {0x00, 0x12, 0xB0}},
        {1 * 64 + 2, {0x00, 13, 132}},   // red
        {2 * 64 + 2, {0x00, 0x12, 132}}, // green
        {4 * 64 + 2, {0x00, 13, 0xB0}},  // blue
        {7 * 64 + 2, {0x00, 9, 99}},     // all three: twice dimmed
        {1 * 64 + 0x20, {255, 191, 191}},
        {6 * 64 + 0x20, {143, 191, 191}},
    };
    for (const auto &c : cases)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(StandIns.colors[c.entry][k], c.rgb[k]) << c.entry << " component " << k;
    // Grey mode and emphasis are picked per line: $2001 hands nothing on.
    WriteMemory(0x2001, 0xFF);
    WriteMemory(0x2001, 0x00);
    EXPECT_EQ(StandIns.paletteCalls, EmphasisColourCount);
}

TEST_F(PpuRegisterTest, Mirroring)
{
    const struct {
        int mode;
        uint16_t tables[4];
    } modes[] = {
        {0, {0x2000, 0x2000, 0x2400, 0x2400}}, {1, {0x2000, 0x2400, 0x2000, 0x2400}},
        {2, {0x2000, 0x2000, 0x2000, 0x2000}}, {3, {0x2400, 0x2400, 0x2400, 0x2400}},
        {4, {0x2000, 0x2400, 0x2800, 0x2C00}},
    };
    ASSERT_TRUE(Start(IdleCartridge()));
    for (const auto &m : modes) {
        SetMirroring(m.mode);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(VideoPageMap[8 + i], VideoSpace + m.tables[i]) << m.mode;
            EXPECT_EQ(VideoPageMap[12 + i], VideoPageMap[8 + i]);
        }
    }
    SetMirroring(9); // unknown: stored, pages kept
    EXPECT_EQ(MirroringMode, 9);
    EXPECT_EQ(VideoPageMap[11], VideoSpace + 0x2C00);

    // A four-screen board keeps its four tables whatever a mapper asks.
    ASSERT_TRUE(Start(IdleCartridge().FourScreen().Vertical(), "four.nes"));
    EXPECT_EQ(MirroringMode, 4);
    SetMirroring(1);
    EXPECT_EQ(MirroringMode, 4);
    EXPECT_EQ(VideoPageMap[10], VideoSpace + 0x2800);
}

// Sprite pre-pass fixture: pattern RAM with distinct rows.
class SpritePrePass : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        ASSERT_TRUE(Start(IdleCartridge(2, 0)));
        for (int i = 0; i < 0x2000; ++i)
            VideoSpace[i] = uint8_t(i);
        std::memset(SpriteRam, 0xF8, sizeof SpriteRam); // all below the picture
        PpuRegisters[0] = 0;
        PpuRegisters[1] = 0x1E;
    }
    static void Sprite(int s, uint8_t y, uint8_t tile, uint8_t attributes, uint8_t x)
    {
        SpriteRam[s * 4] = y;
        SpriteRam[s * 4 + 1] = tile;
        SpriteRam[s * 4 + 2] = attributes;
        SpriteRam[s * 4 + 3] = x;
    }
    static uint16_t Word(uint8_t low, uint8_t high)
    {
        const unsigned h2 = unsigned(high) * 2;
        return uint16_t((h2 & 0xAAA) | (((h2 & 0x555) | (low & 0xAAu)) * 128) | (low & 0x55u));
    }
};

TEST_F(SpritePrePass, EightDrawnTheNinthOverflows)
{
    for (int s = 0; s < 9; ++s)
        Sprite(s, 19, 1, 0, uint8_t(8 * s + 1));
    EXPECT_EQ(PrepareSpriteLine(20), 1);
    EXPECT_EQ(SpriteLineTable.lastSprite, 7);
    Sprite(8, 100, 1, 0, 1);
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, 7);
    // Sprites hidden in the left column do not count.
    PpuRegisters[1] = 0x18;
    Sprite(8, 19, 1, 0, 0);
    Sprite(9, 19, 1, 0, 0);
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    PpuRegisters[1] = 0x1C;
    EXPECT_EQ(PrepareSpriteLine(20), 1);
    // Sprites off: nothing prepared.
    PpuRegisters[1] = 0x08;
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, -1);
}

TEST_F(SpritePrePass, RowsFlipsAndPixelPairs)
{
    // Pattern byte at p is p & 255; tile t of the low half starts at 16 t.
    const struct {
        uint8_t control;   // $2000: bit 3 sprite half, bit 5 8x16
        uint8_t tile;
        uint8_t attributes;
        int row;           // line - Y - 1
        uint16_t source;   // offset in pattern space of the low byte
        bool mirrored;
    } cases[] = {
        {0x00, 0x01, 0x00, 0, 0x0010, false},
        {0x00, 0x01, 0x00, 5, 0x0015, false},
        {0x00, 0x01, 0x80, 5, 0x0012, false},
        {0x08, 0x41, 0x00, 2, 0x1412, false},
        {0x00, 0x02, 0x40, 3, 0x0023, true},
        {0x20, 0x03, 0x00, 3, 0x1023, false},  // odd tile: right half, tile & $3E
        {0x20, 0x02, 0x00, 9, 0x0031, false},  // second tile of the pair
        {0x20, 0x02, 0x80, 0, 0x0037, false},  // flipped: bottom row of the second tile
        {0x20, 0x02, 0x80, 15, 0x0020, false}, // flipped: top row of the first
        {0x28, 0x44, 0x00, 1, 0x0441, false},  // 8x16 ignores bit 3
    };
    for (const auto &c : cases) {
        PpuRegisters[0] = c.control;
        SelectPatternTables();
        Sprite(0, 49, c.tile, c.attributes, 10);
        PrepareSpriteLine(50 + c.row);
        uint8_t low = uint8_t(c.source), high = uint8_t(c.source + 8);
        if (c.mirrored) {
            auto rev = [](uint8_t b) {
                uint8_t r = 0;
                for (int i = 0; i < 8; ++i)
                    r |= uint8_t(((b >> i) & 1) << (7 - i));
                return r;
            };
            low = rev(low);
            high = rev(high);
        }
        EXPECT_EQ(SpriteLineTable.words[0], Word(low, high)) << std::hex << int(c.control) << " tile " << int(c.tile)
                                                             << " row " << std::dec << c.row;
        EXPECT_EQ(SpriteLineTable.lastSprite, 0);
    }
}

TEST_F(SpritePrePass, PixelPairLayout)
{
    // Leftmost pixel colour 3 sits in bits 15-14, the next in 7-6.
    EXPECT_EQ(Word(0x80, 0x80), 0xC000);
    EXPECT_EQ(Word(0x40, 0x00), 0x0040);
    EXPECT_EQ(Word(0x00, 0x01), 0x0002);
    EXPECT_EQ(Word(0x01, 0x00), 0x0001);
    // Rows with no pixels leave the word 0 and the sprite undrawn.
    std::memset(VideoSpace, 0, 0x2000);
    Sprite(0, 49, 1, 0, 10);
    PrepareSpriteLine(50);
    EXPECT_EQ(SpriteLineTable.words[0], 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, -1);
}

} // namespace
} // namespace Cindrel::Test
