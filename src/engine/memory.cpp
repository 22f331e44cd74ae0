// How much memory the machine can still give, and sizes that saturate instead of wrapping.
#include "memory.h"

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
