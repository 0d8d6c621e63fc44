// The log of one copy of the test console plug-in, read through the
// library's own exports. Holding the library open keeps the log alive while
// the engine loads and frees the module.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace ConsoleGlue::Test {

class TestConsoleProbe {
public:
    explicit TestConsoleProbe(std::filesystem::path const &library)
        : m_handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(m_handle, nullptr) << dlerror();
    }
    ~TestConsoleProbe()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    TestConsoleProbe(TestConsoleProbe const &) = delete;
    TestConsoleProbe &operator=(TestConsoleProbe const &) = delete;

    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::istringstream text(Call<char const *(*)()>("TestConsoleLog")());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    // The lines that begin with one of the prefixes, in order.
    std::vector<std::string> Log(std::vector<std::string> const &prefixes) const
    {
        std::vector<std::string> kept;
        for (std::string const &line : Log()) {
            for (std::string const &prefix : prefixes) {
                if (line.starts_with(prefix)) {
                    kept.push_back(line);
                    break;
                }
            }
        }
        return kept;
    }
    void ClearLog() const { Call<void (*)()>("TestConsoleClearLog")(); }
    void FailStateWrites(bool fail) const { Call<void (*)(int)>("TestConsoleFailStateWrites")(fail ? 1 : 0); }

private:
    template <typename Fn>
    Fn Call(char const *name) const
    {
        return reinterpret_cast<Fn>(dlsym(m_handle, name));
    }
    void *m_handle;
};

} // namespace ConsoleGlue::Test
