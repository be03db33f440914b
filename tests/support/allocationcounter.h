// Counts heap allocations in the whole process. Linking allocationcounter.cpp into an
// executable replaces the global operator new with one that counts, and, where no
// sanitizer brings its own allocator, malloc as well.
#ifndef TESTS_SUPPORT_ALLOCATIONCOUNTER_H
#define TESTS_SUPPORT_ALLOCATIONCOUNTER_H

namespace allocation_counter {
// Allocations made so far by any thread.
unsigned long long allocations();
} // namespace allocation_counter

#endif
