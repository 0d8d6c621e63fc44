// The serial EEPROM's protocol, driven line by line as a cartridge's code
// would drive it.
#include "modules/belcrest/chips/SerialEeprom.h"

#include <gtest/gtest.h>

#include <vector>

namespace Belcrest::Test {
namespace {

enum Opcode { Special = 0, Write = 1, Read = 2, Erase = 3 };

class Chip {
public:
    explicit Chip(unsigned options = 4, uint8_t fill = 0x00)
        : memory(EepromSize(options), fill)
    {
        EepromReset(eeprom, memory.data(), options);
    }

    // One bit on a rising clock with chip select high.
    void clock(unsigned bit, bool select = true)
    {
        const uint8_t lines = uint8_t((select ? EepromSelect : 0) | (bit & 1));
        EepromWriteLines(eeprom, lines);
        EepromWriteLines(eeprom, uint8_t(lines | EepromClock));
    }
    void send(unsigned value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i)
            clock(value >> i);
    }
    void command(Opcode opcode, unsigned address)
    {
        clock(1); // start bit
        send(opcode, 2);
        send(address, eeprom.addressBits);
    }
    // The sub-command of opcode 0 sits in the top two address bits.
    void special(unsigned sub) { command(Special, sub << (eeprom.addressBits - 2)); }
    void enable() { special(3); }
    void disable() { special(0); }
    void write(unsigned address, unsigned word)
    {
        command(Write, address);
        send(word, eeprom.wordBits);
    }
    // Reads a word; the leading 0 bit is shown as the command completes. The
    // read phase lasts one clock past the last data bit (chip select going
    // low does not end it), so the helper gives that clock too.
    unsigned read(unsigned address, int *leadingBit = nullptr, bool finish = true)
    {
        command(Read, address);
        if (leadingBit)
            *leadingBit = EepromReadBit(eeprom) & 1;
        unsigned word = 0;
        for (int i = 0; i < eeprom.wordBits; ++i) {
            clock(0);
            word = word << 1 | (EepromReadBit(eeprom) & 1);
        }
        if (finish)
            clock(0);
        return word;
    }

    std::vector<uint8_t> memory;
    SerialEeprom eeprom;
};

TEST(SerialEeprom, ReadsThreeBeforeAnyCommand)
{
    Chip chip;
    EXPECT_EQ(EepromReadBit(chip.eeprom), 3);
    EXPECT_EQ(chip.eeprom.addressBits, 6);
    EXPECT_EQ(chip.eeprom.wordBits, 16);
    EXPECT_EQ(chip.memory.size(), 128u);
}

TEST(SerialEeprom, ReadOfAWordTakesSeventeenClocks)
{
    Chip chip;
    chip.memory[10] = 0xA5;
    chip.memory[11] = 0x3C;
    int leading = -1;
    EXPECT_EQ(chip.read(5, &leading, false), 0xA53Cu);
    EXPECT_EQ(leading, 0);
    // One more clock ends the phase; data out idles high again and the next
    // command is understood.
    chip.clock(0);
    EXPECT_EQ(EepromReadBit(chip.eeprom), 3);
    EXPECT_EQ(chip.read(5), 0xA53Cu);
}

TEST(SerialEeprom, WriteNeedsWriteEnableButAlwaysTakesItsData)
{
    Chip chip;
    chip.write(5, 0xBEEF);
    EXPECT_EQ(chip.memory, std::vector<uint8_t>(128, 0x00));
    // The data bits were consumed: the next command is understood.
    chip.enable();
    chip.write(5, 0xBEEF);
    EXPECT_EQ(chip.memory[10], 0xBE);
    EXPECT_EQ(chip.memory[11], 0xEF);
    EXPECT_EQ(chip.read(5), 0xBEEFu);
    chip.disable();
    chip.write(5, 0x1234);
    EXPECT_EQ(chip.read(5), 0xBEEFu);
}

TEST(SerialEeprom, EraseAndTheWholeMemoryCommands)
{
    Chip chip;
    chip.memory[20] = chip.memory[21] = 0x12;
    chip.command(Erase, 10); // not enabled yet
    EXPECT_EQ(chip.memory[20], 0x12);
    chip.enable();
    chip.command(Erase, 10);
    EXPECT_EQ(chip.memory[20], 0xFF);
    EXPECT_EQ(chip.memory[21], 0xFF);
    EXPECT_EQ(chip.memory[22], 0x00);

    chip.special(2); // erase all
    EXPECT_EQ(chip.memory, std::vector<uint8_t>(128, 0xFF));
    chip.special(1); // write all: zeros, no data word
    EXPECT_EQ(chip.memory, std::vector<uint8_t>(128, 0x00));
    EXPECT_EQ(chip.read(0), 0x0000u);
}

TEST(SerialEeprom, ChipSelectLowPausesACommand)
{
    Chip chip;
    chip.enable();
    chip.clock(1);
    chip.send(Write, 2);
    for (int i = 0; i < 5; ++i)
        chip.clock(1, false); // ignored while deselected
    chip.send(7, 6);
    chip.send(0x0102, 16);
    EXPECT_EQ(chip.memory[14], 0x01);
    EXPECT_EQ(chip.memory[15], 0x02);
}

TEST(SerialEeprom, ZerosBeforeTheStartBitAndClocksWithoutAnEdgeAreIgnored)
{
    Chip chip;
    chip.enable();
    chip.send(0, 7);
    EepromWriteLines(chip.eeprom, EepromSelect | EepromClock | 1); // clock already high
    EepromWriteLines(chip.eeprom, EepromSelect | EepromClock | 1);
    chip.write(1, 0x55AA);
    EXPECT_EQ(chip.memory[2], 0x55);
    EXPECT_EQ(chip.memory[3], 0xAA);
}

TEST(SerialEeprom, WideAddressesReachTheirOwnWords)
{
    // 11 address bits with 8-bit words, 10 with 16-bit words: the pending
    // write's address must not lose its high bits.
    {
        Chip chip(3);
        ASSERT_EQ(chip.memory.size(), 2048u);
        chip.enable();
        chip.write(0x5A3, 0x77);
        EXPECT_EQ(chip.memory[0x5A3], 0x77);
        EXPECT_EQ(chip.memory[0x0A3], 0x00);
        EXPECT_EQ(chip.read(0x5A3), 0x77u);
    }
    {
        Chip chip(7);
        ASSERT_EQ(chip.memory.size(), 2048u);
        chip.enable();
        chip.write(0x2F0, 0xABCD);
        EXPECT_EQ(chip.memory[0x5E0], 0xAB);
        EXPECT_EQ(chip.memory[0x5E1], 0xCD);
    }
}

TEST(SerialEeprom, AddressWidthsOfTheOptions)
{
    const struct {
        unsigned options;
        int addressBits, wordBits;
        unsigned bytes;
    } cases[] = {{0, 7, 8, 128},  {1, 8, 8, 256},   {2, 9, 8, 512},   {3, 11, 8, 2048},
                 {4, 6, 16, 128}, {5, 7, 16, 256}, {6, 8, 16, 512}, {7, 10, 16, 2048}};
    for (const auto &c : cases) {
        Chip chip(c.options);
        EXPECT_EQ(chip.eeprom.addressBits, c.addressBits) << c.options;
        EXPECT_EQ(chip.eeprom.wordBits, c.wordBits) << c.options;
        EXPECT_EQ(EepromSize(c.options), c.bytes) << c.options;
    }
}

} // namespace
} // namespace Belcrest::Test
