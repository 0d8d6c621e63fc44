#include "modules/tavrin/harness/MachineHarness.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/render/RenderState.h"

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

void MachineHarness::Stop()
{
    if (!running)
        return;
    MachineStopped = 1;
    MachineShutdown();
    FrameBuffer = nullptr;
    running = false;
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
