// File status and rewind, in the form the libraries were written against.
// Only in namespace Zorvan: the plain names belong to the C library.
#pragma once

#include <cstdint>
#include <cstdio>

namespace Zorvan {

struct FileStatus {
    uint32_t size;      // bytes, low 32 bits
    uint32_t writeTime; // last write (UTC): day << 24 | hour << 16 | minute << 8 | second
};

// 0 with both fields filled, or -1 when the file cannot be opened for
// reading, is a folder, or out is null.
int stat(char const *path, FileStatus *out);

// Seeks to the start of the file.
void rewind(FILE *file);

} // namespace Zorvan
