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
        Save(name);
        setenv(name, value.c_str(), 1);
    }

    // For tests whose set-up needs the variable absent, not merely empty.
    void Unset(char const *name)
    {
        Save(name);
        unsetenv(name);
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
    // Only the first change keeps the value, so Restore() goes back to what
    // the test started with however often the variable changes.
    void Save(char const *name)
    {
        if (!m_saved.count(name)) {
            char const *old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
    }

    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace QuintarTest
