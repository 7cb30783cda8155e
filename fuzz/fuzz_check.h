// A fuzz target's own assertion: reports what failed and aborts, which the
// fuzzer records as a crash together with the input that caused it.
#ifndef QUORVANT_FUZZ_FUZZ_CHECK_H
#define QUORVANT_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define QUORVANT_FUZZ_CHECK(condition, ...)                                              \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                 \
      std::fputc('\n', stderr);                                                          \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#endif  // QUORVANT_FUZZ_FUZZ_CHECK_H
