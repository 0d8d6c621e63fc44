// What a module library says about itself before any module object exists:
// its name (menu entry, sort key and saved-game folder), version, registry
// key root, description text and the file extensions it accepts. The
// library's NewModuleDesc fills one; the engine owns it from then on.
#pragma once

#include "common/zorvan/String.h"
#include "engine/ExtensionSet.h"

#include <vector>

namespace ZorvanEngine {

// The version of the module interface this engine was built with, in the
// form modules pass to SetVersion. LoadModules warns about any other.
inline constexpr wchar_t kModuleInterfaceVersion[] = L"2, 4, 0, 9";

class ModuleDesc {
public:
    ModuleDesc() = default;
    ~ModuleDesc();
    ModuleDesc(ModuleDesc const &) = delete;
    ModuleDesc &operator=(ModuleDesc const &) = delete;

    // Stored in dotted form: every ", " becomes ".".
    void SetVersion(Zorvan::String const &text);
    Zorvan::String const &GetVersion() const { return version; }
    void SetName(Zorvan::String const &text) { name = text; }
    Zorvan::String const &GetName() const { return name; }
    void SetRegKeyRoot(Zorvan::String const &text) { regKeyRoot = text; }
    Zorvan::String const &GetRegKeyRoot() const { return regKeyRoot; }
    void SetFileName(Zorvan::String const &text) { fileName = text; }
    Zorvan::String const &GetFileName() const { return fileName; }
    void SetDescription(Zorvan::String const &text) { description = text; }
    Zorvan::String const &GetDescription() const { return description; }
    // The sets, owned by this description; modules append new ones.
    std::vector<ExtensionSet *> &GetExtensionSet() { return extensionSets; }
    std::vector<ExtensionSet *> const &GetExtensionSet() const { return extensionSets; }

    // "Name (*.a;*.b)|*.a;*.b|" for every set. The text lives in one shared
    // String rebuilt by every call: the reference is valid until the next.
    Zorvan::String const &GetFileFilter() const;
    // Whether the name ends in one of the extensions, case-blind.
    bool IsExtension(Zorvan::String const &fileName) const;

    Zorvan::String version;
    Zorvan::String name;
    Zorvan::String regKeyRoot;
    Zorvan::String fileName;
    Zorvan::String description;
    std::vector<ExtensionSet *> extensionSets;
};

} // namespace ZorvanEngine
