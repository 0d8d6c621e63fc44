#include "modules/tavrin/tests/TestMachine.h"

#include <cstdlib>
#include <filesystem>

namespace Tavrin::Testing {

std::string TestRomDir()
{
    const char *env = std::getenv("QUINTAR_TESTROMS");
    std::string dir = env && *env ? env : QUINTAR_TESTROMS_DEFAULT;
    return std::filesystem::is_directory(dir) ? dir : std::string();
}

} // namespace Tavrin::Testing
