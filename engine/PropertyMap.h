// Typed settings keyed by name: the engine's and each module's settings.
//
// Owners write their defaults in code, then overlay them from the registry
// and write them back through Registry. A transient value lives only while
// the program runs (screen sizes, the full-screen state): it is never read
// from or written to the registry.
#pragma once

#include "common/zorvan/String.h"

#include <vector>

class Registry;

// One value of a PropertyMap.
struct Property {
    enum Type : int { Int = 0, Bool = 1, Str = 2 };
    int type = Int;
    int intValue = 0;  // also the bool, as 0 or 1
    Zorvan::String stringValue;
    bool transient = false;
};

class PropertyMap {
public:
    PropertyMap();
    PropertyMap(PropertyMap const &other);
    PropertyMap &operator=(PropertyMap const &other);
    virtual ~PropertyMap();

    // An existing key keeps its place: its type becomes that of the new
    // value and the value and the transient flag are replaced (a string set
    // earlier stays held when an int or bool is set). A new key is appended.
    void Set(Zorvan::String const &key, int value, bool transient);
    void Set(Zorvan::String const &key, bool value, bool transient);
    void Set(Zorvan::String const &key, Zorvan::String const &value, bool transient);
    void Set(Zorvan::String const &key, wchar_t const *value, bool transient);

    // The stored value whatever its type; 0, false or an empty String for a
    // key that is absent.
    int GetInt(Zorvan::String const &key) const;
    bool GetBoolean(Zorvan::String const &key) const;
    Zorvan::String const &GetString(Zorvan::String const &key) const;
    bool Contains(Zorvan::String const &key) const;

    // Writes every value that is not transient: int and bool as DWORDs, a
    // String as a string value.
    void ToRegistry(Registry &registry) const;
    // Overlays every value that is not transient from the registry value of
    // the same name, the current value serving as the default. Names the map
    // does not hold are not read, and no type is changed.
    void FromRegistry(Registry &registry);
    // Deletes the registry value of every value that is not transient,
    // except "RegKey".
    void DeleteRegistry(Registry &registry) const;

private:
    struct Entry {
        Zorvan::String key;
        Property *value;
    };
    Property *Find(Zorvan::String const &key) const;
    Property *FindOrAppend(Zorvan::String const &key); // null without a map
    void Clear();

    // Insertion order; null only when it could not be allocated.
    std::vector<Entry> *m_map;
};
