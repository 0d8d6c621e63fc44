// The settings registry, kept in the user's key store (platform/keystore):
// one object opens one key and reads and writes its values.
//
// Keys are named by paths below a root whose names are separated by '/' (a
// '\' works as well); HKEY_CURRENT_USER is the root of the user's store, so
// the engine's key "Software/Quintar" and a module's "Software/Quintar/Root"
// open as they did under the old registry. Names compare case-blind.
//
// Failures never raise: reads give the default, writes return 0.
#pragma once

#include "common/zorvan/String.h"
#include "platform/keystore/KeyStore.h"

#include <cstdint>
#include <memory>
#include <string>

// An open key: its store and its path in that store. A null store stands
// for the current user's store, looked up when a key is opened below it.
struct RegistryKey {
    Platform::KeyStore *store = nullptr;
    std::string path;
};
using HKEY = RegistryKey *;

// Not constinit: with some standard libraries std::string's default
// constructor is no constant initializer, and nothing reads the root before
// main runs.
inline RegistryKey RegistryCurrentUserRoot{};
inline constexpr HKEY HKEY_CURRENT_USER = &RegistryCurrentUserRoot;

// Dispositions of a key opened with create.
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

class Registry {
public:
    // Opens root's subkey; with create non-zero makes it (and its parents)
    // when missing and records the disposition. The handle is null when
    // the key cannot be opened.
    Registry(HKEY root, Zorvan::String const &subkey, int create);
    Registry(Registry const &) = delete;
    Registry &operator=(Registry const &) = delete;
    virtual ~Registry();

    // Closes the key; 0 when none was open, else 1.
    int Close();
    operator HKEY() const { return m_key.get(); }
    uint32_t GetDisposition() const { return m_disposition; }

    // The DWORD value, or def when it is absent or not a DWORD.
    uint32_t ReadDWORD(Zorvan::String const &name, uint32_t def);
    int WriteDWORD(Zorvan::String const &name, uint32_t value);
    // The string value, or def when it is absent or not a string.
    Zorvan::String ReadString(Zorvan::String const &name, Zorvan::String const &def);
    int WriteString(Zorvan::String const &name, Zorvan::String const &value);
    int WriteBinary(Zorvan::String const &name, uint8_t const *data, uint32_t size);
    // The value's bytes, whatever its type. *size holds the room in data and
    // receives the value's size; with data null only the size is given.
    // 0 when the value is absent or does not fit.
    int ReadBinary(Zorvan::String const &name, uint8_t *data, uint32_t *size);
    int DeleteValue(Zorvan::String const &name);
    int ValueExists(Zorvan::String const &name);
    int SubkeyExists(Zorvan::String const &name);
    // Deletes the subkey with everything below it, as one change.
    int DeleteSubkey(Zorvan::String const &name);

    // Enumeration in the store's order (case-blind alphabetical); the running
    // index is kept in the object. Each returns 0 when there is no more.
    int GetFirstSubkey(Zorvan::String &name);
    int GetNextSubkey(Zorvan::String &name);
    int GetSubkey(Zorvan::String &name, int index);
    int GetFirstValue(Zorvan::String &name);
    int GetNextValue(Zorvan::String &name);

    // Groups the writes made while it lives into one save of the store.
    class Batch {
    public:
        explicit Batch(Registry &registry);
        ~Batch();
        Batch(Batch const &) = delete;
        Batch &operator=(Batch const &) = delete;

    private:
        std::unique_ptr<Platform::KeyStore::Batch> m_batch;
    };

private:
    Platform::KeyStore *Store() const;
    std::string ChildPath(Zorvan::String const &name) const;

    std::unique_ptr<RegistryKey> m_key; // null when not open
    int m_enumIndex = 0;
    uint32_t m_disposition = 0;
};
