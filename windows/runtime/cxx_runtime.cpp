// The one C++ runtime helper that the compiler calls and msvcrt.dll lacks:
// __std_terminate, reached when an exception leaves a function that may not
// throw. It ends the process as std::terminate does.
extern "C" {
void __cdecl abort();

void __cdecl __std_terminate() { abort(); }
}
