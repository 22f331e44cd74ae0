// Array allocation that fails on demand: the engine allocates its arrays with
// new[], so a test can make a figure need more memory than there is.
#include <cstdlib>
#include <new>

#include "array_refusal.h"

bool refuse_arrays = false;

void* operator new[](std::size_t size)
{
    if (refuse_arrays)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
