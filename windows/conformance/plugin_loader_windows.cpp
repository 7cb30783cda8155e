#include "windows/conformance/plugin_loader.h"
#include "windows/runtime/c_runtime.h"

extern "C" {
__declspec(dllimport) void* __stdcall LoadLibraryA(const char* fileName);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* procName);
__declspec(dllimport) unsigned long __stdcall GetLastError();
}

namespace quorvant::conformance {

PluginEntry loadPluginEntry(const char* path) {
  void* module = LoadLibraryA(path);
  if (!module) {
    printf("cannot load %s (error %lu)\n", path, GetLastError());
    return nullptr;
  }
  void* entry = GetProcAddress(module, "_AvisynthPluginInit2@4");
  if (!entry) {
    printf("%s has no _AvisynthPluginInit2@4\n", path);
    return nullptr;
  }
  return reinterpret_cast<PluginEntry>(entry);
}

}  // namespace quorvant::conformance
