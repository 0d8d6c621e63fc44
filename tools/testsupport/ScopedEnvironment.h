// Environment variables set for one test and put back afterwards, so tests
// that point the user's folders somewhere else leave no trace for the next.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace QuintarTest {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(ScopedEnvironment const &) = delete;
    ScopedEnvironment &operator=(ScopedEnvironment const &) = delete;
    ~ScopedEnvironment() { Restore(); }

    void Set(char const *name, std::string const &value)
    {
        if (!m_saved.count(name)) {
            char const *old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        setenv(name, value.c_str(), 1);
    }

    void Restore()
    {
        for (auto const &[name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        m_saved.clear();
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace QuintarTest
