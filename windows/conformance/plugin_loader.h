// Loads a plugin library as the host does and finds its entry: on Windows
// with LoadLibrary and GetProcAddress by the decorated name
// "_AvisynthPluginInit2@4", elsewhere with dlopen and the plain C name.
#ifndef QUORVANT_WINDOWS_CONFORMANCE_PLUGIN_LOADER_H
#define QUORVANT_WINDOWS_CONFORMANCE_PLUGIN_LOADER_H

#include "windows/conformance/conformance_cases.h"

namespace quorvant::conformance {

// The library stays loaded for the rest of the program. Null when the
// library cannot be loaded or has no entry; the reason is printed.
PluginEntry loadPluginEntry(const char* path);

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_CONFORMANCE_PLUGIN_LOADER_H
