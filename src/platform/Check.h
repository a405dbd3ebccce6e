// Invariants of the program's own state, checked where a broken one would
// otherwise go on unnoticed. The checks run in debug and sanitizer builds
// (TOPONYX_CHECKED, set by CMake) and cost nothing in release builds.
#pragma once

#include <cstdio>
#include <cstdlib>

#if defined(TOPONYX_CHECKED)
// Stops the program with the condition and where it failed.
#define TOPONYX_ASSERT(condition)                                                            \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
#else
// Not evaluated, but its names count as used.
#define TOPONYX_ASSERT(condition) \
  do {                            \
    (void)sizeof(!(condition));   \
  } while (false)
#endif
