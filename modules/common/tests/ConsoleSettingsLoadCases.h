// The cases of a console module's stored settings: values written by hand
// into the settings store and read by the module's LoadSettings. A value
// its row cannot show gets the module's default and a console line naming
// it; a value in range stays. A module's test file includes this header
// once and instantiates the cases over a description of the module:
//
//   struct TavrinStore {
//       using Sandbox = TavrinSettingsTest;   // an engine with the module's description first
//       // The module with its defaults and the stored values loaded.
//       static std::shared_ptr<ZorvanEngine::Module> Open(ZorvanEngine::Engine &);
//   };
//   namespace ConsoleGlue::Test {
//   INSTANTIATE_TYPED_TEST_SUITE_P(Tavrin, ConsoleSettingsLoadTest, Tavrin::Test::TavrinStore);
//   }
//
// ModuleObjectStore is that description for a module linked into the test;
// the modules on the shared settings page get these cases with the page's
// (CONSOLE_ROWS_PAGE_CASES, ConsoleRowsPageCases.h).
#pragma once

#include "engine/Engine.h"
#include "engine/ModuleDesc.h"
#include "engine/Registry.h"
#include "engine/tests/EngineSandbox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <variant>

namespace ConsoleGlue::Test {

// A module object of the test's own, loaded as the engine loads a module:
// with the engine's first description, its defaults, then the stored values.
template <class ModuleT, class SandboxT>
struct ModuleObjectStore {
    using Sandbox = SandboxT;
    static std::shared_ptr<ZorvanEngine::Module> Open(ZorvanEngine::Engine &engine)
    {
        auto module = std::make_shared<ModuleT>();
        module->SetDesc(engine.GetModuleDesc(0));
        module->ResetSettings();
        module->LoadSettings();
        return module;
    }
};

template <class Console>
class ConsoleSettingsLoadTest : public Console::Sandbox {
protected:
    using Value = std::variant<int, std::wstring>;

    // The stored value of the module's key, as a hand edit leaves it.
    void Store(wchar_t const *name, Value const &value)
    {
        Registry(HKEY_CURRENT_USER, ZorvanEngine::Engine::GetRegKeyRoot(), 1).WriteDWORD(L"ShouldLoad", 1);
        Registry key(HKEY_CURRENT_USER,
                     ZorvanEngine::Engine::GetRegKeyRoot() + L"/" + this->engine->GetModuleDesc(0)->GetRegKeyRoot(), 1);
        if (int const *number = std::get_if<int>(&value))
            key.WriteDWORD(name, static_cast<uint32_t>(*number));
        else
            key.WriteString(name, std::get<std::wstring>(value).c_str());
    }

    static Value Read(PropertyMap const &settings, wchar_t const *name, Value const &like)
    {
        if (std::holds_alternative<int>(like))
            return settings.GetInt(name);
        return std::wstring(static_cast<wchar_t const *>(settings.GetString(name)));
    }
};

TYPED_TEST_SUITE_P(ConsoleSettingsLoadTest);

TYPED_TEST_P(ConsoleSettingsLoadTest, AValueOutOfItsRowsRangeGetsTheDefaultAndAConsoleLine)
{
    using Value = typename TestFixture::Value;
    PropertyMap const defaults = TypeParam::Open(*this->engine)->GetSettings();
    struct Case {
        wchar_t const *name;
        Value stored;
        bool inRange;
    };
    Case const cases[] = {
        {L"FrameSkip", 9, false},
        {L"FrameSkip", -1, false},
        {L"FrameSkip", 8, true},
        {L"FrameSkip", 0, true},
        {L"SoundRate", 32000, false},
        {L"SoundRate", 0, false},
        {L"SoundRate", 22050, true},
        {L"ScreenSize", std::wstring(L"37%"), false},
        {L"ScreenSize", std::wstring(L""), false},
        {L"ScreenSize", std::wstring(L"Auto Scale"), true},
        {L"vkA", 0x141, false},
        {L"vkB", -1, false},
        {L"vkB", 255, true},
        {L"vkStart", 0, true}, // unbound stays unbound
        {L"jsA", 4000, false},
        {L"jsB", 25, true},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(ZorvanEngine::Test::Narrow(c.name));
        Value const fallback = TestFixture::Read(defaults, c.name, c.stored);
        ASSERT_NE(c.stored, fallback) << "a case must store something other than the default";
        this->Store(c.name, c.stored);
        size_t const mark = std::strlen(Zorvan::getConsole());
        {
            auto const module = TypeParam::Open(*this->engine);
            EXPECT_EQ(TestFixture::Read(module->GetSettings(), c.name, c.stored), c.inRange ? c.stored : fallback);
        }
        std::string const lines = Zorvan::getConsole() + mark;
        if (c.inRange)
            EXPECT_EQ(lines.find(ZorvanEngine::Test::Narrow(c.name)), std::string::npos) << lines;
        else
            EXPECT_NE(lines.find("setting " + ZorvanEngine::Test::Narrow(c.name) + " is out of its range"), std::string::npos)
                << lines;
        this->Store(c.name, fallback);
    }
}

REGISTER_TYPED_TEST_SUITE_P(ConsoleSettingsLoadTest, AValueOutOfItsRowsRangeGetsTheDefaultAndAConsoleLine);

} // namespace ConsoleGlue::Test
