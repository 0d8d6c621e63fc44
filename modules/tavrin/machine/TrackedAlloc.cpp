#include "modules/tavrin/machine/TrackedAlloc.h"

#include "common/zorvan/LargeAlloc.h"

namespace Tavrin {

namespace {
void *TrackedBlocks[MaxTrackedBlocks];
uint32_t Tracked = 0;
} // namespace

void *TrackedAlloc(size_t size)
{
    if (size < 1 || Tracked >= MaxTrackedBlocks)
        return nullptr;
    void *block = Zorvan::WCEAlloc(size);
    if (block)
        TrackedBlocks[Tracked++] = block;
    return block;
}

bool TrackedAdopt(void *block)
{
    if (!block || Tracked >= MaxTrackedBlocks)
        return false;
    TrackedBlocks[Tracked++] = block;
    return true;
}

void FreeAllTracked()
{
    for (uint32_t i = 0; i < Tracked; ++i) {
        Zorvan::WCEFree(TrackedBlocks[i]);
        TrackedBlocks[i] = nullptr;
    }
    Tracked = 0;
}

uint32_t TrackedCount() { return Tracked; }

} // namespace Tavrin
