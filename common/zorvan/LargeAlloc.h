// Large blocks for emulated memories (several megabytes each), taken from
// the system's page allocator rather than the heap: reserved first, then
// made read-write, each step logged to the console.
#pragma once

#include <cstddef>

namespace Zorvan {

// A zero-filled, page-aligned read-write block of size bytes, or null.
void *WCEAlloc(size_t size);
// Releases a block from WCEAlloc. Returns 1, or 0 for null (nothing done).
int WCEFree(void *block);

} // namespace Zorvan

using Zorvan::WCEAlloc;
using Zorvan::WCEFree;
