// The battery file every console keeps beside its games: the cartridge's
// save memory, read whole and judged at start, written at shutdown only when
// the game changed that memory, and never at the cost of a save.
//
// Each console supplies a Rule (the largest file it reads, how it judges a
// whole file and turns it into its RAM image, how it turns that image back
// into a file) and hands over its RAM as one image in its own order. This
// piece does the rest, the same way for all: regular files only; a link is
// read and written where it points; a dangling link, a pipe or a device,
// and a file whose mode bits forbid writing are never written over; a file
// that is no save of this game is kept as "<name>.damaged" when the game's
// save replaces it; the save that stood there when the game started is kept
// once as "<name>.bak" before the first write; and the user is told, in one
// wording for every console, what happened and why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ConsoleFiles {

struct BatteryRule {
    // Bytes read at most; a longer file is not a save of this game.
    size_t largestFile;
    // Judges a whole file: true when it is a save of this game, with ram
    // (the RAM as the start left it) changed to what the file holds.
    bool (*judge)(const std::vector<uint8_t> &file, std::vector<uint8_t> &ram);
    // The file for a RAM image; null: the file is the image itself.
    bool (*encode)(const std::vector<uint8_t> &ram, std::vector<uint8_t> &file);
};

class BatteryFile {
public:
    // At start: reads the file at path (empty: the game has none) and, when
    // it is a save of this game, puts what it holds into ram; true then.
    // ram as it ends up is the start snapshot Save compares with.
    bool Load(const std::string &path, const BatteryRule &rule, std::vector<uint8_t> &ram);

    // At shutdown: writes ram when it differs from the first ram.size()
    // bytes of the snapshot. False when a save was needed and not written;
    // the file there is then as it was.
    bool Save(const std::vector<uint8_t> &ram);

    // What the user must hear now, once (empty: nothing): after Load, a
    // file that cannot be used; after Save, what the save did or could not.
    std::string TakeNote();

    // Forgets the game (no file, no snapshot, nothing to tell).
    void Clear();

private:
    enum class Found { None, Usable, NotThisGame, Unreadable, LeftAlone };

    std::string path_;   // the save's name
    std::string target_; // where a write goes: the link's target, or path_
    const BatteryRule *rule_ = nullptr;
    std::vector<uint8_t> snapshot_;
    Found found_ = Found::None;
    bool readOnly_ = false;
    bool backupDone_ = false;
    unsigned mode_ = 0644;
    std::string why_; // why the file found at start cannot be used
    std::string note_;
};

} // namespace ConsoleFiles
