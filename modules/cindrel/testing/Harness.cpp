#include "modules/cindrel/testing/Harness.h"

#include "common/zorvan/Console.h"
#include "modules/cindrel/machine/Machine.h"

namespace Cindrel::Test {

bool StartImage(const std::string &path, const std::string &saveName)
{
    MachineShutdown();
    clearConsole();
    return MachineStart(path, std::string(), saveName) == 1;
}

int RunFrames(int n)
{
    for (int i = 0; i < n; ++i)
        if (Cpu6502RunFrame(Cpu) == 0)
            return i;
    return n;
}

bool ProtocolValid()
{
    return ReadMemory(0x6001) == 0xDE && ReadMemory(0x6002) == 0xB0 && ReadMemory(0x6003) == 0x61;
}

namespace {

std::string ProtocolText()
{
    std::string text;
    for (uint16_t a = 0x6004; a < 0x8000; ++a) {
        const uint8_t c = ReadMemory(a);
        if (!c)
            break;
        text += char(c);
    }
    return text;
}

} // namespace

ProtocolResult RunProtocol(const std::string &path, int maxFrames)
{
    ProtocolResult result;
    if (!StartImage(path))
        return result;
    int resetAt = -1;
    for (; result.frames < maxFrames; ++result.frames) {
        if (RunFrames(1) != 1)
            break;
        if (!ProtocolValid())
            continue;
        result.valid = true;
        const uint8_t status = ReadMemory(0x6000);
        if (status == 0x81) {
            if (resetAt < 0)
                resetAt = result.frames + 6;
            if (result.frames == resetAt) {
                MachineReset();
                ++result.resets;
                resetAt = -1;
            }
            continue;
        }
        resetAt = -1;
        if (status != 0x80) {
            result.finished = true;
            result.code = status;
            ++result.frames;
            break;
        }
    }
    result.text = ProtocolText();
    return result;
}

int RunZeroPageResult(const std::string &path, int frames, uint16_t address)
{
    if (!StartImage(path))
        return -1;
    RunFrames(frames);
    return ReadMemory(address);
}

std::string ScreenText()
{
    std::string text;
    for (int row = 0; row < 30; ++row) {
        std::string line;
        for (int column = 0; column < 32; ++column) {
            const uint8_t c = VideoPageMap[8][row * 32 + column];
            line += c >= 32 && c < 127 ? char(c) : ' ';
        }
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty())
            text += line + "\n";
    }
    return text;
}

} // namespace Cindrel::Test
