// A file-backed key store: the settings registry of the old platform.
//
// One store is one file (format in KeyStoreFormat.h). The user's store lives
// in the folder named by QUINTAR_CONFIG_DIR when that is set, else in
// "Quintar" under $XDG_CONFIG_HOME, else under ~/.config; its file is
// "keystore.dat". The store's root stands for the registry's current-user
// root, so the old key "Software\Quintar" is the path "Software/Quintar" in
// the file.
//
// Every change is written whole: the new image goes to "keystore.dat.tmp" in
// the same folder, is flushed to the disk, and is renamed over the old file,
// so a process killed at any moment leaves either the old or the new content.
// Writers of several processes take turns through an advisory lock on
// "keystore.dat.lock" and re-read the file before they change it, so no
// process overwrites what another wrote in the meantime.
//
// Opening a key and every change re-read the file; other accesses re-read it
// when it was replaced since it was read (its inode, size and time stamp), so
// a process sees what another one wrote.
//
// A file that cannot be read or fails validation is reported once on the
// console and treated as empty; before the first change replaces it, it is
// kept beside as "keystore.dat.damaged" for the user.
//
// Failures never raise: reads give nothing, writes return false.
#pragma once

#include "platform/keystore/KeyTree.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

struct stat;

namespace Platform {

class KeyStore {
public:
    explicit KeyStore(std::string filePath);
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // The user's store in the current configuration folder. The folder is
    // looked up at each call, so a change of QUINTAR_CONFIG_DIR takes effect;
    // stores once handed out stay valid for the whole process.
    static KeyStore &User();
    static std::string ConfigFolder();
    static constexpr const char *FileName = "keystore.dat";

    const std::string &FilePath() const { return path_; }

    enum class OpenResult { Failed, Opened, Created };
    // Opens the key at the path; with create, makes it and its missing
    // parents first. The root (an empty path) always exists.
    OpenResult OpenKey(std::string_view path, bool create);
    bool KeyExists(std::string_view path);

    std::optional<KeyValue> GetValue(std::string_view path, std::string_view name);
    // Fails when the key does not exist.
    bool SetValue(std::string_view path, std::string_view name, ValueType type,
                  const void *data, size_t size);
    bool DeleteValue(std::string_view path, std::string_view name);
    // Deletes the key with everything below it; the root cannot be deleted.
    bool DeleteKey(std::string_view path);

    // Groups the changes made while it lives into one write of the file
    // (saving a whole settings map then costs one flush, not one per value).
    // The writers' lock is held meanwhile; changes are visible in this
    // process at once and reach the file when the outermost batch ends.
    class Batch {
    public:
        explicit Batch(KeyStore &store);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        KeyStore &store_;
    };

    // Names in the store's order (case-blind alphabetical); empty when the
    // key does not exist.
    std::vector<std::string> SubkeyNames(std::string_view path);
    std::vector<std::string> ValueNames(std::string_view path);

private:
    struct FileStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long mtimeNs = 0;
        bool operator==(const FileStamp &) const = default;
    };

    static FileStamp StampOf(const struct stat &st);
    FileStamp Stamp() const;
    // Re-reads the file when it was replaced, or always with force. The look
    // at the stamp is cheap but cannot see a replacement that reused the
    // inode within one tick of the clock, so opening a key and every change
    // read the file for certain.
    void Refresh(bool force = false);
    bool Load(const FileStamp &seen);
    void NoteDamage(const FileStamp &stamp, const std::string &why);
    // Runs change on the freshly read tree under the writers' lock and writes
    // the result; change returns false to abandon without writing.
    template <class Change> bool Mutate(Change &&change);
    // Removes the named subkey or value (Member) of the key at keyNames.
    template <auto Member> bool EraseFrom(const std::vector<std::string> &keyNames, std::string_view name);
    // The names of the subkeys or values (Member) of the key at the path.
    template <auto Member> std::vector<std::string> NamesIn(std::string_view path);
    bool WriteFile();
    int LockWriters();

    std::string path_;
    std::recursive_mutex mutex_;
    int batchDepth_ = 0;
    int batchLock_ = -1;   // the writers' lock while a batch runs
    bool batchDirty_ = false;
    KeyNode root_;
    std::optional<FileStamp> loaded_;   // stamp of the file root_ came from
    std::optional<FileStamp> reportedDamage_;
    bool damaged_ = false;              // root_ stands for a damaged file
};

}  // namespace Platform
