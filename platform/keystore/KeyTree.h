// The in-memory tree of the key store: keys holding typed values and subkeys.
//
// Names of keys and values are UTF-8 and compared case-blind for ASCII
// letters (as the settings registry always did), keeping the case they were
// first written with. A path names a key below the root; its components are
// separated by '/' or '\', and empty components are ignored, so
// "Software\Quintar" and "Software/Quintar/" name the same key.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// The numbers are those the old registry used for the same kinds; they are
// also the numbers stored in the key store's file.
enum class ValueType : uint32_t {
    String = 1,  // UTF-8 text without a terminator
    Binary = 3,  // any bytes
    DWord = 4,   // exactly 4 bytes, little-endian
};

struct KeyValue {
    ValueType type = ValueType::Binary;
    std::vector<uint8_t> data;
};

struct NameLess {
    bool operator()(std::string_view a, std::string_view b) const;
    using is_transparent = void;
};

struct KeyNode {
    std::map<std::string, KeyValue, NameLess> values;
    std::map<std::string, std::unique_ptr<KeyNode>, NameLess> subkeys;

    // The key at the path below this one; null when a component is missing.
    KeyNode *Find(const std::vector<std::string> &path);
    // As Find, creating missing keys; created tells whether the last one was new.
    KeyNode *FindOrCreate(const std::vector<std::string> &path, bool *created);
};

// Splits a key path into its names (see the comment at the top).
std::vector<std::string> SplitKeyPath(std::string_view path);

}  // namespace Platform
