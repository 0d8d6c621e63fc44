// Runs a cartridge image on the machine for tests: a number of frames, the
// result protocol of the newer public test programs at $6000 (pressing reset
// six frames after $6000 reads $81), or the result byte at zero page $F8 of
// the older ones. Shared by the machine, mapper and module tests.
#pragma once

#include <cstdint>
#include <string>

namespace Cindrel::Test {

// Starts the image (console cleared first); false when MachineStart fails.
bool StartImage(const std::string &path, const std::string &saveName = std::string());

// Runs n frames of the started machine; returns how many ran before the
// machine asked to stop.
int RunFrames(int n);

struct ProtocolResult {
    bool valid = false;    // $6001-$6003 held DE B0 61
    bool finished = false; // $6000 left $80/$81
    int code = -1;         // the final $6000 value
    int frames = 0;        // frames run
    int resets = 0;        // reset presses
    std::string text;      // the text from $6004
};

// Whether the running program has marked $6001-$6003 with DE B0 61: until
// it has, $6000 says nothing (RAM that was never written reads 0 as well).
bool ProtocolValid();

// Starts the image and runs it until it reports a result or maxFrames
// passed; the machine stays started for a look afterwards.
ProtocolResult RunProtocol(const std::string &path, int maxFrames);

// Starts the image, runs it for frames frames and returns the zero-page
// result byte at address ($F8 for most older programs; -1 when the image
// does not start).
int RunZeroPageResult(const std::string &path, int frames, uint16_t address = 0xF8);

// The printable characters of the first name table, a line of 32 per row
// with trailing blanks cut and blank rows left out.
std::string ScreenText();

} // namespace Cindrel::Test
