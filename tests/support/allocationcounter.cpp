#include "allocationcounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Constant-initialised, so it is ready before any constructor of the program allocates.
std::atomic<unsigned long long> counted{0};

void count_one() {
    counted.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

unsigned long long allocation_counter::allocations() {
    return counted.load(std::memory_order_relaxed);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RAW_MALLOC std::malloc // the sanitizer owns the C allocator; only operator new counts
#else
// The C library's malloc under its own name stays reachable while malloc is replaced;
// free, calloc and realloc stay the library's own.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* malloc(std::size_t size) noexcept {
    count_one();
    return __libc_malloc(size);
}
#define RAW_MALLOC __libc_malloc
#endif

// The C++ runtime's array and nothrow forms call this one.
void* operator new(std::size_t size) {
    count_one();
    void* memory = RAW_MALLOC(size == 0 ? 1 : size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}
// The runtime's array forms call these.
void operator delete(void* pointer) noexcept {
    std::free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept { std::free(pointer); }
