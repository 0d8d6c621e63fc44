#include "platform/keystore/KeyStore.h"

#include "platform/keystore/KeyStoreFormat.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

void ReportDamage(const std::string &path, const std::string &why)
{
    Zorvan::printConsole("Key store %s is damaged (%s); its settings are ignored.\n",
                         path.c_str(), why.c_str());
}

bool MakeFolders(const std::string &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

// Reads the whole file behind fd, refusing one above the format's bound.
bool ReadAll(int fd, size_t expected, std::vector<uint8_t> &out)
{
    if (expected > KeyStoreMaxFileSize)
        return false;
    out.resize(expected);
    size_t got = 0;
    while (got < expected) {
        ssize_t n = read(fd, out.data() + got, expected - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    out.resize(got);
    return got == expected;
}

}  // namespace

KeyStore::KeyStore(std::string filePath) : path_(std::move(filePath)) {}

std::string KeyStore::ConfigFolder()
{
    if (const char *dir = std::getenv("QUINTAR_CONFIG_DIR"); dir && *dir)
        return dir;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/Quintar";
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + "/.config/Quintar";
}

KeyStore &KeyStore::User()
{
    // Never destroyed: settings may still be saved while other libraries'
    // static objects go away at exit.
    static std::mutex *guard = new std::mutex;
    static auto *stores = new std::map<std::string, std::unique_ptr<KeyStore>>;
    std::string path = ConfigFolder() + "/" + FileName;
    std::lock_guard lock(*guard);
    auto &store = (*stores)[path];
    if (!store)
        store = std::make_unique<KeyStore>(path);
    return *store;
}

KeyStore::FileStamp KeyStore::StampOf(const struct stat &st)
{
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

KeyStore::FileStamp KeyStore::Stamp() const
{
    struct stat st;
    return stat(path_.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
}

void KeyStore::Refresh(bool force)
{
    // A batch holds the writers' lock: the file cannot change under it, and
    // re-reading would drop the batch's changes.
    if (batchDepth_ > 0 && batchLock_ >= 0)
        return;
    FileStamp now = Stamp();
    if (force || !loaded_ || !(*loaded_ == now))
        Load(now);
}

bool KeyStore::Load(const FileStamp &seen)
{
    root_ = KeyNode{};
    damaged_ = false;
    int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        loaded_ = seen;
        if (errno == ENOENT)
            return true;
        // Unreadable (permissions, a folder in its place...): as damaged.
        NoteDamage(seen, "cannot be opened");
        return false;
    }
    // The stamp of what is actually read, in case the file was replaced
    // between the look and the open.
    FileStamp stamp;
    struct stat st;
    std::vector<uint8_t> image;
    std::string error;
    bool ok = false;
    if (fstat(fd, &st) == 0) {
        stamp = StampOf(st);
        if (!S_ISREG(st.st_mode))
            error = "not a regular file";
        else if (st.st_size < 0 || size_t(st.st_size) > KeyStoreMaxFileSize)
            error = "file too large";
        else if (!ReadAll(fd, size_t(st.st_size), image))
            error = "read error";
        else
            ok = DecodeKeyStore(image, root_, error);
    } else {
        error = "cannot be examined";
    }
    close(fd);
    loaded_ = stamp;
    if (ok) {
        reportedDamage_.reset();
        return true;
    }
    NoteDamage(stamp, error);
    return false;
}

void KeyStore::NoteDamage(const FileStamp &stamp, const std::string &why)
{
    root_ = KeyNode{};
    damaged_ = true;
    // Once per damaged file, not at every look at it.
    if (!reportedDamage_ || !(*reportedDamage_ == stamp)) {
        reportedDamage_ = stamp;
        ReportDamage(path_, why);
    }
}

int KeyStore::LockWriters()
{
    if (!MakeFolders(Zorvan::FolderOfPath(path_)))
        return -1;
    std::string lockPath = path_ + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

bool KeyStore::WriteFile()
{
    std::vector<uint8_t> image = EncodeKeyStore(root_);
    if (image.size() > KeyStoreMaxFileSize)
        return false;
    struct stat old;
    if (damaged_ && stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        std::string keep = path_ + ".damaged";
        std::rename(path_.c_str(), keep.c_str());
    }
    struct stat st;
    if (!Zorvan::WriteFileReplacing(path_, image, 0600) || stat(path_.c_str(), &st) != 0)
        return false;
    loaded_ = StampOf(st);
    damaged_ = false;
    reportedDamage_.reset();
    return true;
}

KeyStore::Batch::Batch(KeyStore &store) : store_(store)
{
    store_.mutex_.lock();
    if (store_.batchDepth_ == 0) {
        int lock = store_.LockWriters();
        // Read while batchLock_ is still unset: Refresh skips the reading
        // inside a batch.
        store_.Refresh(true);
        store_.batchLock_ = lock;
        store_.batchDirty_ = false;
    }
    ++store_.batchDepth_;
}

KeyStore::Batch::~Batch()
{
    if (--store_.batchDepth_ == 0) {
        if (store_.batchDirty_ && (store_.batchLock_ < 0 || !store_.WriteFile()))
            store_.loaded_.reset();
        if (store_.batchLock_ >= 0)
            close(store_.batchLock_);
        store_.batchLock_ = -1;
    }
    store_.mutex_.unlock();
}

template <class Change> bool KeyStore::Mutate(Change &&change)
{
    if (batchDepth_ > 0) {
        // Without the lock the batch's changes could not be written.
        if (batchLock_ < 0 || !change(root_))
            return false;
        batchDirty_ = true;
        return true;
    }
    int lock = LockWriters();
    if (lock < 0)
        return false;
    Refresh(true);
    bool ok = change(root_);
    if (ok && !WriteFile()) {
        // The tree now differs from the file: read the file again next time.
        loaded_.reset();
        ok = false;
    }
    close(lock);
    return ok;
}

KeyStore::OpenResult KeyStore::OpenKey(std::string_view path, bool create)
{
    std::lock_guard guard(mutex_);
    auto names = SplitKeyPath(path);
    Refresh(true);
    if (root_.Find(names))
        return OpenResult::Opened;
    if (!create)
        return OpenResult::Failed;
    for (const auto &name : names)
        if (!KeyStoreNameAllowed(name))
            return OpenResult::Failed;
    bool created = false;
    bool ok = Mutate([&](KeyNode &root) {
        root.FindOrCreate(names, &created);
        return created;  // someone else made it meanwhile: nothing to write
    });
    if (ok)
        return OpenResult::Created;
    return root_.Find(names) ? OpenResult::Opened : OpenResult::Failed;
}

bool KeyStore::KeyExists(std::string_view path)
{
    std::lock_guard guard(mutex_);
    Refresh();
    return root_.Find(SplitKeyPath(path)) != nullptr;
}

std::optional<KeyValue> KeyStore::GetValue(std::string_view path, std::string_view name)
{
    std::lock_guard guard(mutex_);
    Refresh();
    KeyNode *key = root_.Find(SplitKeyPath(path));
    if (!key)
        return std::nullopt;
    auto it = key->values.find(name);
    if (it == key->values.end())
        return std::nullopt;
    return it->second;
}

bool KeyStore::SetValue(std::string_view path, std::string_view name, ValueType type,
                        const void *data, size_t size)
{
    if (!KeyStoreNameAllowed(name) || (type == ValueType::DWord && size != 4) || (size && !data))
        return false;
    std::lock_guard guard(mutex_);
    auto names = SplitKeyPath(path);
    return Mutate([&](KeyNode &root) {
        KeyNode *key = root.Find(names);
        if (!key)
            return false;
        KeyValue value;
        value.type = type;
        const auto *bytes = static_cast<const uint8_t *>(data);
        value.data.assign(bytes, bytes + size);
        auto it = key->values.find(name);
        if (it != key->values.end())
            it->second = std::move(value);
        else
            key->values.emplace(std::string(name), std::move(value));
        return true;
    });
}

template <auto Member> bool KeyStore::EraseFrom(const std::vector<std::string> &keyNames, std::string_view name)
{
    std::lock_guard guard(mutex_);
    return Mutate([&](KeyNode &root) {
        KeyNode *key = root.Find(keyNames);
        if (!key)
            return false;
        auto &entries = key->*Member;
        auto it = entries.find(name);
        if (it == entries.end())
            return false;
        entries.erase(it);
        return true;
    });
}

bool KeyStore::DeleteValue(std::string_view path, std::string_view name)
{
    return EraseFrom<&KeyNode::values>(SplitKeyPath(path), name);
}

bool KeyStore::DeleteKey(std::string_view path)
{
    auto names = SplitKeyPath(path);
    if (names.empty())
        return false;
    std::string last = names.back();
    names.pop_back();
    return EraseFrom<&KeyNode::subkeys>(names, last);
}

template <auto Member> std::vector<std::string> KeyStore::NamesIn(std::string_view path)
{
    std::lock_guard guard(mutex_);
    Refresh();
    std::vector<std::string> names;
    if (KeyNode *key = root_.Find(SplitKeyPath(path)))
        for (const auto &entry : key->*Member)
            names.push_back(entry.first);
    return names;
}

std::vector<std::string> KeyStore::SubkeyNames(std::string_view path)
{
    return NamesIn<&KeyNode::subkeys>(path);
}

std::vector<std::string> KeyStore::ValueNames(std::string_view path)
{
    return NamesIn<&KeyNode::values>(path);
}

}  // namespace Platform
