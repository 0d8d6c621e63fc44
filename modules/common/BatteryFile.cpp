#include "modules/common/BatteryFile.h"

#include "common/zorvan/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace ConsoleFiles {

namespace {

std::string Cause(int error) { return std::strerror(error); }

// What stands at a path that is not a regular file, for the user.
std::string KindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "is a named pipe, not a file";
    if (S_ISDIR(mode))
        return "is a folder, not a file";
    if (S_ISSOCK(mode))
        return "is a socket, not a file";
    return "is a device, not a file";
}

std::string LinkText(const std::string &path)
{
    char text[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), text, sizeof text - 1);
    return n > 0 ? std::string(text, size_t(n)) : std::string("a missing file");
}

bool Exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

void BatteryFile::Clear()
{
    path_.clear();
    target_.clear();
    rule_ = nullptr;
    snapshot_.clear();
    found_ = Found::None;
    readOnly_ = false;
    backupDone_ = false;
    mode_ = 0644;
    why_.clear();
    note_.clear();
}

std::string BatteryFile::TakeNote()
{
    std::string note;
    note.swap(note_);
    return note;
}

bool BatteryFile::Load(const std::string &path, const BatteryRule &rule, std::vector<uint8_t> &ram)
{
    Clear();
    path_ = target_ = path;
    rule_ = &rule;
    struct stat st {};
    const bool seen = !path.empty() && lstat(path.c_str(), &st) == 0;
    if (path.empty() || (!seen && errno == ENOENT)) {
        snapshot_ = ram;
        return false;
    }
    // Judged on what the name leads to: a link is followed to its target,
    // which is what a save must then replace.
    if (!seen) {
        found_ = Found::LeftAlone;
        why_ = "cannot be reached (" + Cause(errno) + ")";
    } else if (S_ISLNK(st.st_mode)) {
        if (char *real = realpath(path.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        } else {
            found_ = Found::LeftAlone;
            why_ = errno == ENOENT ? "is a link to " + LinkText(path) + ", which does not exist"
                                   : "is a link that cannot be followed (" + Cause(errno) + ")";
        }
    }
    if (found_ == Found::None) {
        if (stat(target_.c_str(), &st) != 0) {
            found_ = Found::LeftAlone;
            why_ = "cannot be reached (" + Cause(errno) + ")";
        } else if (!S_ISREG(st.st_mode)) {
            found_ = Found::LeftAlone;
            why_ = KindOf(st.st_mode);
        } else {
            mode_ = st.st_mode & 07777;
            // The mode bits decide, so that a program run by the superuser
            // respects them too; otherwise whether this user may write it.
            readOnly_ = (st.st_mode & 0222) == 0 ||
                        (access(target_.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS));
        }
    }
    if (found_ == Found::None) {
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> image = ram;
        switch (Zorvan::ReadFileBounded(target_, rule.largestFile, bytes)) {
        case Zorvan::ReadResult::Ok:
            found_ = rule.judge(bytes, image) ? Found::Usable : Found::NotThisGame;
            if (found_ == Found::Usable)
                ram.swap(image);
            else
                why_ = "is not a save of this game";
            break;
        case Zorvan::ReadResult::Missing: break; // gone since the look
        case Zorvan::ReadResult::TooLarge:
            found_ = Found::NotThisGame;
            why_ = "is not a save of this game (it is too large)";
            break;
        case Zorvan::ReadResult::Denied:
            found_ = Found::Unreadable;
            why_ = "may not be read (permission denied)";
            break;
        case Zorvan::ReadResult::NotAFile:
            found_ = Found::LeftAlone;
            why_ = "is not a file";
            break;
        case Zorvan::ReadResult::Failed:
            found_ = Found::Unreadable;
            why_ = "could not be read (" + Cause(errno) + ")";
            break;
        }
        // A file that cannot be used and may not be written stays as it is.
        if (readOnly_ && found_ != Found::Usable && found_ != Found::None)
            found_ = Found::LeftAlone;
    }
    snapshot_ = ram;
    if (found_ == Found::NotThisGame || found_ == Found::Unreadable)
        note_ = "The battery file " + path_ + " " + why_ +
                ". The game starts with empty save memory; the file is moved aside when the game's save replaces it.";
    else if (found_ == Found::LeftAlone)
        note_ = "The battery file " + path_ + " " + why_ +
                ". The game starts with empty save memory, and the file is left alone: the game's save will not be "
                "written.";
    return found_ == Found::Usable;
}

bool BatteryFile::Save(const std::vector<uint8_t> &ram)
{
    note_.clear();
    if (path_.empty() || !rule_)
        return true;
    // RAM the game left as it started holds nothing new: the file stays.
    if (snapshot_.size() >= ram.size() && std::equal(ram.begin(), ram.end(), snapshot_.begin()))
        return true;
    const std::string notWritten = "The game's save was not written: the battery file " + path_;
    if (found_ == Found::LeftAlone) {
        note_ = notWritten + " " + why_ + ".";
        return false;
    }
    if (readOnly_) {
        note_ = notWritten + " is read-only.";
        return false;
    }
    std::vector<uint8_t> encoded;
    if (rule_->encode && !rule_->encode(ram, encoded)) {
        note_ = notWritten + " could not be prepared.";
        return false;
    }
    const std::vector<uint8_t> &file = rule_->encode ? encoded : ram;

    // The file that stood there is kept under a second name before the
    // rename replaces it: a save of this game once as "<name>.bak", anything
    // else as "<name>.damaged".
    std::string keptAs;
    if (found_ == Found::NotThisGame || found_ == Found::Unreadable) {
        if (Exists(target_)) {
            keptAs = Zorvan::LinkAsDamaged(target_);
            if (keptAs.empty()) {
                note_ = notWritten + ", which " + why_ + ", could not be kept aside (" + Cause(errno) +
                        "); it is as it was.";
                return false;
            }
        }
    } else if (found_ == Found::Usable && !backupDone_ && Exists(target_)) {
        if (!Zorvan::KeepBackup(target_, path_ + ".bak")) {
            note_ = notWritten + " could not first be kept as " + path_ + ".bak (" + Cause(errno) +
                    "); it is as it was.";
            return false;
        }
    }
    if (!Zorvan::WriteFileReplacing(target_, file.data(), file.size(), mode_)) {
        const int error = errno;
        // The file is still at its name: the second one goes again.
        if (!keptAs.empty())
            unlink(keptAs.c_str());
        note_ = "The battery file " + path_ + " could not be written (" + Cause(error) + "); " +
                (found_ == Found::None ? std::string("no file was made.") : std::string("the file there is as it was."));
        return false;
    }
    if (!keptAs.empty())
        note_ = "The battery file " + path_ + " " + why_ + "; it has been moved aside as " + keptAs + ".";
    // From here on the file is this game's save.
    found_ = Found::Usable;
    backupDone_ = true;
    snapshot_ = ram;
    return true;
}

} // namespace ConsoleFiles
