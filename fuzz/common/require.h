// Checks of the fuzz entry points: a broken invariant ends the run like a
// crash, with the line that failed, so libFuzzer keeps the input.
#ifndef KELVO_FUZZ_REQUIRE_H
#define KELVO_FUZZ_REQUIRE_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: requirement failed: %s\n", __FILE__, __LINE__,            \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#endif
