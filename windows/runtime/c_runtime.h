// The few C runtime functions that the conformance programs use. The Windows
// build is freestanding: there they are declared here and imported from
// msvcrt.dll; a hosted build takes them from the system's headers.
#ifndef QUORVANT_WINDOWS_RUNTIME_C_RUNTIME_H
#define QUORVANT_WINDOWS_RUNTIME_C_RUNTIME_H

#include <stddef.h>

#if defined(QUORVANT_FREESTANDING)
extern "C" {
int __cdecl printf(const char* format, ...);
int __cdecl fflush(void* stream);  // a FILE*; null flushes every stream
void* __cdecl malloc(size_t size);
void __cdecl free(void* block);
void* __cdecl memset(void* destination, int value, size_t size);
void* __cdecl memcpy(void* destination, const void* source, size_t size);
int __cdecl memcmp(const void* first, const void* second, size_t size);
int __cdecl strcmp(const char* first, const char* second);
}
#else
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#endif

namespace quorvant::conformance {

// Output reaches the terminal before anything else happens: a crash in the
// code under test must not swallow what was printed before it.
inline void flushOutput() { fflush(nullptr); }

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_RUNTIME_C_RUNTIME_H
