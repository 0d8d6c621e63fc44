#include "common/zorvan/LargeAlloc.h"

#include "common/zorvan/Console.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace Zorvan {

namespace {

size_t pageSize()
{
    long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? size_t(size) : 4096;
}

// The reservation (no access) costs no memory; making it read-write
// commits it, which is where a shortage shows.
//
// Each block is preceded by one page that records the whole mapping's
// length, so WCEFree can release the reservation from the pointer alone
// and the block itself stays page-aligned.
struct BlockHeader {
    size_t mappedBytes;
};

} // namespace

void *WCEAlloc(size_t size)
{
    size_t page = pageSize();
    printConsole("\nPage size: %zu bytes.\n", page);
    if (size == 0 || size > SIZE_MAX - 2 * page)
        return nullptr;
    size_t mapped = page + (size + page - 1) / page * page;

    printConsole("Attempting to allocate: %zu bytes\n", size);
    void *base = ::mmap(nullptr, mapped, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        printConsole("Allocation failed.\n\n");
        return nullptr;
    }
    if (::mprotect(base, mapped, PROT_READ | PROT_WRITE) != 0) {
        ::munmap(base, mapped);
        printConsole("Allocation failed.\n\n");
        return nullptr;
    }
    static_cast<BlockHeader *>(base)->mappedBytes = mapped;
    printConsole("Allocation succeeded.\n");
    return static_cast<char *>(base) + page;
}

int WCEFree(void *block)
{
    if (!block)
        return 0;
    char *base = static_cast<char *>(block) - pageSize();
    return ::munmap(base, reinterpret_cast<BlockHeader *>(base)->mappedBytes) == 0 ? 1 : 0;
}

} // namespace Zorvan
