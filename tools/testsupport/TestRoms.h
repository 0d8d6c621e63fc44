// Where the public test programs are: the folder named by QUINTAR_TESTROMS,
// else the one beside the checkout. Tests skip when this gives an empty string.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace QuintarTest {

inline std::string TestRomFolder()
{
    std::string folder;
    if (const char *env = std::getenv("QUINTAR_TESTROMS"); env && *env)
        folder = env;
#ifdef QUINTAR_TESTROMS_DEFAULT
    else
        folder = QUINTAR_TESTROMS_DEFAULT;
#endif
    std::error_code error;
    return std::filesystem::is_directory(folder, error) ? folder : std::string();
}

} // namespace QuintarTest
