// Counts heap allocations in the whole process. Linking allocationcounter.cpp
// into an executable replaces malloc, calloc, realloc, the aligned allocators
// and every global operator new with versions that count and then hand the
// request to the C library's own allocator. Not for sanitizer builds, which
// bring their own allocator.
#ifndef BENCH_ALLOCATIONCOUNTER_H
#define BENCH_ALLOCATIONCOUNTER_H

namespace allocation_counter {

// Allocations made so far by any thread: each successful or failed request for
// new memory counts once (a realloc counts as one allocation).
unsigned long long allocations();

} // namespace allocation_counter

#endif
