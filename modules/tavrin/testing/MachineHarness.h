// Runs the handheld machine on an image file without the module or Qt: start,
// N frames, a look at the CPU, shutdown, with the real cartridge, files and
// sound generator and a video and pad of its own (HeadlessHost.h). Used by
// the tests and tools of the machine, renderer, cartridge and files.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Tavrin {

class MachineHarness {
public:
    struct Options {
        std::string biosPath;         // empty: start without a BIOS image
        std::string saveFileName;     // empty: no battery file
        uint32_t logFlags = 0;        // quiet by default
        uint32_t frameSkipPeriod = 1; // every frame drawn
        uint32_t headerCheck = 0;     // as the module starts every cartridge
    };

    MachineHarness() = default;
    ~MachineHarness() { Stop(); }
    MachineHarness(const MachineHarness &) = delete;
    MachineHarness &operator=(const MachineHarness &) = delete;

    // Starts the machine with no frame presented and no button held; on
    // failure it is shut down again and false returned.
    bool Start(const std::string &imagePath, const Options &options);
    bool Start(const std::string &imagePath) { return Start(imagePath, Options{}); }
    // Runs up to n frames; returns how many ended normally.
    int RunFrames(int n);
    // Runs frames until the CPU sits on a branch to itself, at most maxFrames;
    // returns whether it got there.
    bool RunUntilSpin(int maxFrames);
    // Applies the public programs' patches (PublicPrograms.h) meant for the
    // named file to the running image; false when the image does not hold
    // what a patch replaces.
    bool ApplyDeliberateDifferences(const std::string &file);
    // Shuts the machine down (the battery file is saved if one is named).
    void Stop();

    bool Running() const { return running; }
    static ArmState &Cpu() { return ConsoleCpu; }
    // The CPU is on an instruction that branches to itself.
    static bool SpinsOnItself();

    // The picture of the last drawn frame: 240 x 160 host pixels (RGB565),
    // row by row.
    std::vector<uint16_t> Picture() const;

    // The 20 rows of 30 characters of a text screen on background 0 whose
    // tile numbers are character codes, as the public test programs print.
    static std::vector<std::string> TextScreen();

    static constexpr int FrameWidth = 500, FrameHeight = 160;
    static constexpr int PictureWidth = 240, PictureLeft = 130;

private:
    bool running = false;
    // What the video would lock for the renderer.
    std::vector<uint16_t> frame = std::vector<uint16_t>(FrameWidth * FrameHeight);
};

} // namespace Tavrin
