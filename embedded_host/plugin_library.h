// A plugin library loaded as a host loads it: dlopen, then the exported
// entry looked up by its plain C name.
#ifndef QUORVANT_EMBEDDED_HOST_PLUGIN_LIBRARY_H
#define QUORVANT_EMBEDDED_HOST_PLUGIN_LIBRARY_H

#include <string>

#include "host/avisynth.h"

namespace quorvant::host {

class PluginLibrary {
 public:
  // Raises ScriptError when the library cannot be loaded or has no entry.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Calls the entry once with env and answers its description string.
  std::string initialise(IScriptEnvironment* env);

 private:
  using Entry = const char*(AVS_STDCALL*)(IScriptEnvironment*);
  void* handle;
  Entry entry;
};

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_PLUGIN_LIBRARY_H
