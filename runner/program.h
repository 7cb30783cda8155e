// What the runner does once its command line is read: load the plugin,
// evaluate the script, then print the clip's properties or write its frames
// as Y4M. Every failure becomes one line on standard error.
#ifndef QUORVANT_RUNNER_PROGRAM_H
#define QUORVANT_RUNNER_PROGRAM_H

#include <optional>
#include <string>

#include "runner/options.h"

namespace quorvant::runner {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// Answers the exit status.
int runProgram(const Options& options);

// The plugin loaded when none is named: the library beside the program (a
// build tree), else <prefix>/lib/avisynth/libquorvant.so for a program in
// <prefix>/bin. Nothing when neither exists.
std::optional<std::string> defaultPluginPath();

}  // namespace quorvant::runner

#endif  // QUORVANT_RUNNER_PROGRAM_H
