// One named group of file extensions that a module accepts, such as
// "Master System ROMs" with ".sms". The open-file filter shows one entry per
// set; RunFile matches candidate names against every set of every module.
#pragma once

#include "common/zorvan/String.h"

#include <vector>

namespace ZorvanEngine {

class ExtensionSet {
public:
    ExtensionSet() = default;
    explicit ExtensionSet(Zorvan::String const &setName) : name(setName) {}

    void SetName(Zorvan::String const &setName) { name = setName; }
    Zorvan::String const &GetName() const { return name; }
    // Appends one extension with its dot (".gba").
    void Add(Zorvan::String const &extension) { extensions.push_back(extension); }

    std::vector<Zorvan::String> extensions;
    Zorvan::String name;
};

} // namespace ZorvanEngine
