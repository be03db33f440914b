// Invariant checks for the fuzz entry points. A broken invariant is a finding
// like a sanitizer report: it names the condition and aborts, so that libFuzzer
// saves the input and the corpus replay fails.

#ifndef FUZZ_FUZZCHECK_H
#define FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

#endif // FUZZ_FUZZCHECK_H
