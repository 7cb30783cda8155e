#include "embedded_host/plugin_library.h"

#include <dlfcn.h>

#include "embedded_host/script_error.h"

namespace quorvant::host {

PluginLibrary::PluginLibrary(const std::string& path) : handle(nullptr), entry(nullptr) {
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    throw ScriptError("cannot load plugin \"" + path + "\": " + (why ? why : "unknown error"));
  }
  entry = reinterpret_cast<Entry>(dlsym(handle, "AvisynthPluginInit2"));
  if (!entry) {
    dlclose(handle);
    throw ScriptError("\"" + path + "\" is not a plugin: it has no AvisynthPluginInit2");
  }
}

PluginLibrary::~PluginLibrary() { dlclose(handle); }

std::string PluginLibrary::initialise(IScriptEnvironment* env) {
  const char* description = entry(env);
  return description ? description : "";
}

}  // namespace quorvant::host
