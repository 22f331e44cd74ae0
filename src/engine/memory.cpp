// How much memory the machine can still give, and sizes that saturate instead of wrapping.
#include "memory.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>

std::uint64_t available_memory()
{
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return UINT64_MAX;
    char line[256];
    unsigned long long kb = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f))
        found = std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
    std::fclose(f);
    return found ? saturating_mul(kb, 1024) : UINT64_MAX;
}

std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b)
{
    if (a != 0 && b > UINT64_MAX / a)
        return UINT64_MAX;
    return a * b;
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b)
{
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

void advise_large_pages(void* p, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t large = std::uintptr_t(1) << 21;
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t begin = (first + large - 1) / large * large, end = (first + bytes) / large * large;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}
