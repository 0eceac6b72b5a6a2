// The check every fuzz target uses; no library of ours needed, so that the
// phone simulator's target can use it too.
#pragma once

#include <cstdio>
#include <cstdlib>

// A failed property: the message goes to standard error and the process
// aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, ...)                                                       \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, "" __VA_ARGS__);                                              \
      std::fputc('\n', stderr);                                                          \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)
