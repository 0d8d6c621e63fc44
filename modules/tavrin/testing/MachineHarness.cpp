#include "modules/tavrin/testing/MachineHarness.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/testing/HeadlessHost.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/render/ColorTables.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

bool MachineHarness::Start(const std::string &imagePath, const Options &options)
{
    Stop();
    BiosPath = options.biosPath;
    SaveFileName = options.saveFileName;
    LogFlags = options.logFlags;
    FrameSkipPeriod = options.frameSkipPeriod;
    HeaderCheckOn = options.headerCheck;
    FrameSkipCountdown = 0;
    MachineStopped = 0;
    HeadlessHost = {};
    // What the video does when it opens: the renderer's colour tables and
    // a frame to draw into.
    FillColorTables();
    FrameBuffer = reinterpret_cast<uint8_t *>(frame.data());
    running = true;
    if (MachineStart(imagePath.c_str()))
        return true;
    Stop();
    return false;
}

int MachineHarness::RunFrames(int n)
{
    int frames = 0;
    while (running && frames < n && ArmRunFrame(&ConsoleCpu) == 1)
        ++frames;
    return frames;
}

bool MachineHarness::RunUntilSpin(int maxFrames)
{
    for (int i = 0; running && i < maxFrames; ++i) {
        if (ArmRunFrame(&ConsoleCpu) != 1)
            return false;
        if (SpinsOnItself())
            return true;
    }
    return false;
}

bool MachineHarness::ApplyDeliberateDifferences(const std::string &file)
{
    bool ok = true;
    for (const ImagePatch &patch : DeliberateDifferences) {
        const uint32_t offset = patch.address - 0x08000000;
        if (file != patch.file || !MachineBlocks.cart || offset + 4 > MachineBlocks.cartSize)
            continue;
        uint8_t *at = MachineBlocks.cart + offset;
        if (HostWord(at) != patch.original) {
            ok = false;
            continue;
        }
        std::memcpy(at, &patch.replacement, 4);
    }
    return ok;
}

void MachineHarness::Stop()
{
    if (!running)
        return;
    MachineStopped = 1;
    MachineShutdown();
    FrameBuffer = nullptr;
    running = false;
}

std::vector<std::string> MachineHarness::TextScreen()
{
    std::vector<std::string> lines;
    if (!MachineBlocks.vram)
        return lines;
    const uint32_t map = (IoGet(Io::Bg0Cnt) >> 8 & 31) * 0x800;
    for (uint32_t y = 0; y < 20; ++y) {
        std::string line;
        for (uint32_t x = 0; x < 30; ++x) {
            const uint32_t tile = HostHalf(MachineBlocks.vram + map + (y * 32 + x) * 2) & 0x3FF;
            line += tile >= 32 && tile < 127 ? char(tile) : ' ';
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<uint16_t> MachineHarness::Picture() const
{
    std::vector<uint16_t> picture;
    picture.reserve(PictureWidth * FrameHeight);
    for (int y = 0; y < FrameHeight; ++y) {
        const uint16_t *row = frame.data() + y * FrameWidth + PictureLeft;
        picture.insert(picture.end(), row, row + PictureWidth);
    }
    return picture;
}

bool MachineHarness::SpinsOnItself()
{
    const uint32_t pc = ConsoleCpu.r[15];
    if (ConsoleCpu.cpsr & FlagT)
        return HostHalf(ReadPageTable[pc >> PageShift] + (pc & 0x3FFE)) == 0xE7FE;
    return HostWord(ReadPageTable[pc >> PageShift] + (pc & 0x3FFC)) == 0xEAFFFFFE;
}

} // namespace Tavrin
