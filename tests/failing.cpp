#include "failing.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <new>

std::atomic<long> allocations_left{-1};
std::atomic<std::size_t> refused_size{0};
std::atomic<bool> refuse_arrays{false};
std::atomic<int> threads_left{-1};

static void* allocate(std::size_t size, bool array)
{
    std::size_t once = size;
    if ((array && refuse_arrays) || allocations_left.load() == 0 ||
        (size != 0 && refused_size.compare_exchange_strong(once, 0)))
        throw std::bad_alloc();
    if (allocations_left.load() > 0)
        --allocations_left;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size) { return allocate(size, false); }
void* operator new[](std::size_t size) { return allocate(size, true); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg)
{
    using create_fn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<create_fn>(dlsym(RTLD_NEXT, "pthread_create"));
    if (threads_left.load() == 0)
        return EAGAIN;
    if (threads_left.load() > 0)
        --threads_left;
    return next(thread, attr, start, arg);
}
