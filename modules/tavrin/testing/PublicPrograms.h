// The public test programs: where they are, and the patches the ARM
// program needs here.
//
// Checks of the public ARM test program that look for behaviour this
// machine deliberately does not have: FIQ mode here banks only r13/r14
// (shared with undefined mode), never r8-r12, so the five checks that look
// for a separate FIQ r8 must fail. Each entry turns the failing branch (a
// BNE to the failure report) of one such check into a no-op, after making
// sure the image holds that BNE there. Run without the patches, the program
// stops at test 223, then 234, 253, 511 and 512 as they are added one by one:
// each patch hides its own check and no other.
#pragma once

#include "tools/testsupport/TestRoms.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace Tavrin {

struct ImagePatch {
    const char *file;
    uint32_t address;
    uint32_t original;
    uint32_t replacement;
};

inline constexpr ImagePatch DeliberateDifferences[] = {
    // Test 223: r8 written in FIQ mode must not be seen in system mode.
    {"jsmolka_arm_arm.gba", 0x08000AF8, 0x1A000000, 0xE1A00000},
    // Test 234: the same after a status restore by CMP with r15 as destination.
    {"jsmolka_arm_arm.gba", 0x08000CF8, 0x1A000000, 0xE1A00000},
    // Test 253: the same after MSR switches into FIQ mode and back.
    {"jsmolka_arm_arm.gba", 0x08000DD0, 0x1A000000, 0xE1A00000},
    // Test 511: STM^ from FIQ mode must store the user-mode r8.
    {"jsmolka_arm_arm.gba", 0x08001968, 0x1A000001, 0xE1A00000},
    // Test 512: LDM^ from FIQ mode must leave FIQ's own r8 alone.
    {"jsmolka_arm_arm.gba", 0x0800199C, 0x1A000004, 0xE1A00000},
};

// The path of a program of the handheld's folder, or empty when absent.
inline std::string PublicProgramPath(const char *file)
{
    const std::string dir = QuintarTest::TestRomFolder();
    if (dir.empty())
        return {};
    const std::string path = dir + "/gba/" + file;
    return std::ifstream(path) ? path : std::string();
}

} // namespace Tavrin
