// The two exports of a console plug-in, written once: NewModuleDesc fills a
// ModuleDesc from the module's texts, NewModule makes the module object.
//
//   constexpr ConsoleGlue::ExtensionText kExtensions[] = {{L"MasterSystem ROM", L".sms"},
//                                                         {L"GameGear ROM", L".gg"}};
//   constexpr ConsoleGlue::ModuleTexts kTexts{L"Belcrest (SMS-GG)", L"Belcrest", L"<p>...</p>", kExtensions};
//   CONSOLE_MODULE_EXPORTS(BelcrestModule, kTexts)
#pragma once

#include "engine/ModuleDesc.h"

#include <new>
#include <span>

namespace ZorvanEngine {
class Module;
}

namespace ConsoleGlue {

// One extension set: its name in the open-file filter and its extension
// with the dot.
struct ExtensionText {
    wchar_t const *name;
    wchar_t const *extension;
};

struct ModuleTexts {
    wchar_t const *name;        // menu entry and saved-game folder
    wchar_t const *regKeyRoot;  // the module's key below the engine's
    wchar_t const *description; // HTML
    std::span<ExtensionText const> extensions;
    wchar_t const *version = ZorvanEngine::kModuleInterfaceVersion;
};

// A new description: name, key root, description, version, then one set
// per extension text, in order. The engine owns it.
ZorvanEngine::ModuleDesc *NewConsoleModuleDesc(ModuleTexts const &texts);

// A new module, or null when memory runs out.
template <class ModuleClass>
ZorvanEngine::Module *NewConsoleModule()
{
    try {
        return new ModuleClass;
    } catch (std::bad_alloc const &) {
        return nullptr;
    }
}

} // namespace ConsoleGlue

// The plug-in's two exports for a module class and its ModuleTexts.
#define CONSOLE_MODULE_EXPORTS(ModuleClass, texts)                                                                    \
    extern "C" ZorvanEngine::ModuleDesc *NewModuleDesc()                                                              \
    {                                                                                                                 \
        return ConsoleGlue::NewConsoleModuleDesc(texts);                                                              \
    }                                                                                                                 \
    extern "C" ZorvanEngine::Module *NewModule()                                                                      \
    {                                                                                                                 \
        return ConsoleGlue::NewConsoleModule<ModuleClass>();                                                          \
    }
