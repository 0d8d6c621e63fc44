// The machine's blocks, all freed together at shutdown: up to 256 zero-filled
// blocks from the page allocator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t MaxTrackedBlocks = 256;

// A zero-filled block, or null when size is 0, the table is full or the
// allocation fails.
void *TrackedAlloc(size_t size);
// Takes a block from Zorvan::WCEAlloc into the table, to be freed with the
// others; false (the block left to the caller) when the table is full.
bool TrackedAdopt(void *block);
// Frees every tracked block in table order and empties the table.
void FreeAllTracked();
uint32_t TrackedCount();

} // namespace Tavrin
