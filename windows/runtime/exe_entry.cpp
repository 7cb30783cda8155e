// Start-up of a freestanding Windows program: no C runtime start-up code is
// linked, so the entry asks msvcrt for the arguments, runs the program and
// leaves through exit, which flushes and closes the streams.
#include "windows/runtime/c_runtime.h"
#include "windows/runtime/program_main.h"

namespace {

struct StartupInfo {
  int newMode;
};

}  // namespace

extern "C" {
int __cdecl __getmainargs(int* argc, char*** argv, char*** environment, int expandWildcards,
                          StartupInfo* info);
void __cdecl exit(int status);

// Named as the program's entry by the link.
void __cdecl quorvantProgramStart() {
  int argc = 0;
  char** argv = nullptr;
  char** environment = nullptr;
  StartupInfo info = {0};
  if (__getmainargs(&argc, &argv, &environment, 0, &info) != 0) exit(3);
  exit(programMain(argc, argv));
}
}
