#include "allocationcounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <new>

// The C library's allocator under its own names; they stay reachable when
// malloc and friends are replaced.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

// Constant-initialised, so it is ready before any constructor of the program
// or of the C++ runtime allocates.
std::atomic<unsigned long long> counted{0};

void count_one() {
    counted.fetch_add(1, std::memory_order_relaxed);
}

void* new_memory(std::size_t size) {
    count_one();
    void* memory = __libc_malloc(size == 0 ? 1 : size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

void* new_aligned_memory(std::size_t size, std::align_val_t alignment) {
    count_one();
    void* memory = __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

} // namespace

unsigned long long allocation_counter::allocations() {
    return counted.load(std::memory_order_relaxed);
}

extern "C" {

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

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    count_one();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    count_one();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
    // The alignment must be a power of two multiple of sizeof(void*).
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

void* operator new(std::size_t size) {
    return new_memory(size);
}
void* operator new[](std::size_t size) {
    return new_memory(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    count_one();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    count_one();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return new_aligned_memory(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return new_aligned_memory(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    count_one();
    return __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    count_one();
    return __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}

void operator delete(void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
