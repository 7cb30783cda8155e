// The script functions that the runner's host adds beside the plugin's:
//   TestPattern(int width, int height, int frames)  built-in moving patterns
//   Y4MSource(string path)                          a YUV4MPEG2 file, "-" = standard input
//   LoadPlugin(string path)                         loads a plugin library as a host does
// Each is registered separately, so that a caller (a fuzz target, say) can
// leave out those that touch files.
#ifndef QUORVANT_RUNNER_HOST_FUNCTIONS_H
#define QUORVANT_RUNNER_HOST_FUNCTIONS_H

#include "embedded_host/environment.h"

namespace quorvant::runner {

void addTestPattern(host::Environment& env);
void addY4MSource(host::Environment& env);
void addLoadPlugin(host::Environment& env);

// All three.
void addHostFunctions(host::Environment& env);

}  // namespace quorvant::runner

#endif  // QUORVANT_RUNNER_HOST_FUNCTIONS_H
