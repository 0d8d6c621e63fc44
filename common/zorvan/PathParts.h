// Splitting a path into drive, folder, name and extension, and joining them
// again. The separator is "/"; a "drive" is a prefix that ends in ":"
// before any separator ("C:" of "C:/roms/a.gba"), else empty. Joining adds
// no separators, so joining the parts of a split gives the path back.
#pragma once

#include <cstddef>

namespace Zorvan {

// Sizes of the buffers the functions write into, terminator included; a
// longer part is cut to fit.
constexpr size_t MaxDrive = 16;
constexpr size_t MaxDir = 4096;
constexpr size_t MaxFname = 256;
constexpr size_t MaxExt = 256;
constexpr size_t MaxPath = 4096;

// drive: the prefix through the ":" (see above); dir: from there through the
// last "/"; fname: the rest before its last "."; ext: from that "." on
// (empty when there is none). Any output may be null.
void _splitpath(char const *path, char *drive, char *dir, char *fname, char *ext);

// path (MaxPath bytes) = drive + dir + fname + ext, each as given (null
// counts as empty).
void _makepath(char *path, char const *drive, char const *dir, char const *fname, char const *ext);

} // namespace Zorvan
