// An image of the test console is any file; one whose content begins with
// "quit:N" tells the machine to quit after N frames, and a path containing
// "refuse" is refused with a console line. Each frame logs the pad word it
// read ("frame 3 pad 0x80") and draws the picture (TestConsoleVideo.h).
#include "engine/tests/testmodule/TestConsoleMachine.h"

#include "common/zorvan/Console.h"
#include "engine/tests/testmodule/TestConsoleVideo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace ZorvanEngine::Test {

ConsoleGlue::ConsoleInput *padInput = nullptr;
Video *video = nullptr;
int skipCountdown = 1;
int skipPeriod = 1;

namespace {

std::vector<std::string> logLines;
std::string logText;
bool failStateWrites = false;

int quitFlag = 0;
std::string saveName;
int frame = 0;
int quitAfter = 0;

bool Start(char const *path)
{
    Log(std::string("start ") + path + " save " + saveName);
    frame = 0;
    quitAfter = 0;
    if (std::strstr(path, "refuse")) {
        Zorvan::printConsole("Test Console: the image was refused: %s\n", path);
        return false;
    }
    std::ifstream image(path);
    std::string content;
    std::getline(image, content);
    if (content.starts_with("quit:"))
        quitAfter = std::atoi(content.c_str() + 5);
    return true;
}

void Shutdown()
{
    Log("shutdown");
    if (!saveName.empty())
        std::ofstream(saveName) << "frames " << frame << "\n";
    saveName.clear();
}

void Reset()
{
    Log("reset");
    frame = 0;
}

int RunFrame()
{
    unsigned const pad = padInput ? padInput->GetState() : 0;
    char line[64];
    std::snprintf(line, sizeof line, "frame %d pad 0x%X", frame, pad);
    Log(line);
    if (video && skipCountdown == 0) {
        skipCountdown = skipPeriod - 1;
        video->DrawPicture(frame);
    } else if (skipCountdown > 0) {
        --skipCountdown;
    }
    ++frame;
    return quitFlag || (quitAfter > 0 && frame >= quitAfter) ? 0 : 1;
}

bool WriteState(char const *path)
{
    Log(std::string("writeState ") + path);
    if (failStateWrites)
        return false;
    std::ofstream out(path);
    out << "frame " << frame << "\n";
    return static_cast<bool>(out);
}

bool ReadState(char const *path)
{
    Log(std::string("readState ") + path);
    std::ifstream in(path);
    std::string word;
    return static_cast<bool>(in >> word >> frame);
}

} // namespace

ConsoleGlue::ConsoleMachine const kMachine{
    Start, Shutdown, Reset, RunFrame, WriteState, ReadState, &quitFlag, &saveName,
};

void Log(std::string const &line)
{
    logLines.push_back(line);
    if (char const *file = std::getenv("QUINTAR_TEST_CONSOLE_LOG"))
        std::ofstream(file, std::ios::app) << line << "\n";
}

} // namespace ZorvanEngine::Test

// The log since the library was loaded or last cleared, one line per call.
extern "C" char const *TestConsoleLog()
{
    std::ostringstream text;
    for (std::string const &line : ZorvanEngine::Test::logLines)
        text << line << "\n";
    ZorvanEngine::Test::logText = text.str();
    return ZorvanEngine::Test::logText.c_str();
}

extern "C" void TestConsoleClearLog()
{
    ZorvanEngine::Test::logLines.clear();
}

// Makes the state writer fail (non-zero) or work again (0).
extern "C" void TestConsoleFailStateWrites(int fail)
{
    ZorvanEngine::Test::failStateWrites = fail != 0;
}
