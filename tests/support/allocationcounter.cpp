#include "allocationcounter.h"

#include <atomic>
#include <cerrno>
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
// The sanitizer owns the C allocator; operator new is counted on its own.
static void* raw_malloc(std::size_t size) {
    return std::malloc(size);
}
#else
// The C library's allocator under its own names, reachable while malloc is replaced.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);

void* malloc(std::size_t size) noexcept {
    count_one();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    count_one();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) noexcept {
    count_one();
    return __libc_realloc(pointer, size);
}
void free(void* pointer) noexcept {
    __libc_free(pointer);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    count_one();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    count_one();
    void* memory = __libc_memalign(alignment, size);
    if (memory == nullptr)
        return ENOMEM;
    *result = memory;
    return 0;
}
} // extern "C"

static void* raw_malloc(std::size_t size) {
    return __libc_malloc(size);
}
#endif

// The C++ runtime's array and nothrow forms call this one; over-aligned forms go
// through aligned_alloc.
void* operator new(std::size_t size) {
    count_one();
    void* memory = raw_malloc(size == 0 ? 1 : size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}
void operator delete(void* pointer) noexcept {
    std::free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    std::free(pointer);
}
