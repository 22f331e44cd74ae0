// What the machine can give: Linux overcommits, so a huge allocation may
// succeed and the process be killed later when the pages are touched. Large
// arrays are checked against the available physical memory first.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of physical memory available now (MemAvailable), or UINT64_MAX when
// the system does not say.
std::uint64_t available_memory();

// a * b, or UINT64_MAX when the product does not fit.
std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b);
// a + b, or UINT64_MAX when the sum does not fit.
std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b);

// Asks for the whole 2 MB pages within [p, p + bytes) to be backed by large
// pages as they are first touched: a list of a billion crossings then faults
// in 2 MB at a time rather than 4 KB. Only a request: refused or unknown, the
// pages are the usual ones.
void advise_large_pages(void* p, std::size_t bytes);
