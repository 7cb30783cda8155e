#include <dlfcn.h>

#include "windows/conformance/plugin_loader.h"
#include "windows/runtime/c_runtime.h"

namespace quorvant::conformance {

PluginEntry loadPluginEntry(const char* path) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    printf("cannot load %s: %s\n", path, why ? why : "unknown error");
    return nullptr;
  }
  void* entry = dlsym(library, "AvisynthPluginInit2");
  if (!entry) {
    printf("%s has no AvisynthPluginInit2\n", path);
    return nullptr;
  }
  return reinterpret_cast<PluginEntry>(entry);
}

}  // namespace quorvant::conformance
