// Evaluates parsed scripts on an embedded host environment, as the host
// does: variables and `last` live in the environment (names without regard
// to case); a bare expression whose value is a clip becomes `last`; a name
// that is not a variable calls the function of that name without arguments;
// `x.F(a)` and `x.F` call F(x, a) and F(x); arguments are checked against the
// function's parameter string before its creator is called, and when those
// given do not match but `last` followed by them does, `last` is passed
// first (not for method calls, whose first argument is already given).
//
// For callers without a command line (tests, fuzz targets):
//
//   quorvant::host::Environment env;          // functions registered as wanted,
//   quorvant::runner::addTestPattern(env);    // see runner/host_functions.h
//   AVSValue last = quorvant::script::runScript(text, env);
//
// Every fault, in the syntax or raised while a function runs (the plugin's
// own messages unchanged), comes out as a LocatedError at the call that
// raised it. Values returned hold clips whose code may live in a plugin:
// drop them before the environment.
#ifndef QUORVANT_RUNNER_SCRIPT_EVALUATOR_H
#define QUORVANT_RUNNER_SCRIPT_EVALUATOR_H

#include <string>
#include <string_view>
#include <vector>

#include "embedded_host/environment.h"
#include "host/avisynth.h"
#include "runner/script_syntax.h"

namespace quorvant::script {

class Evaluator {
 public:
  explicit Evaluator(host::Environment& env) : env(env) {}

  // Runs the statements in order and answers `last` (undefined when no
  // statement has produced a clip).
  AVSValue run(const Script& script);

 private:
  AVSValue evaluate(const Expression& expression);
  AVSValue call(const std::string& name, std::vector<AVSValue> arguments, bool mayPassLast,
                Location where);
  bool lookUp(const std::string& name, AVSValue& value);

  host::Environment& env;
};

// Parses and runs `text`.
AVSValue runScript(std::string_view text, host::Environment& env);

// "clip, int, int" for "cii"; the type of a value as the same words.
std::string describeParameters(const std::string& params);
std::string describeArguments(const std::vector<AVSValue>& arguments);

}  // namespace quorvant::script

#endif  // QUORVANT_RUNNER_SCRIPT_EVALUATOR_H
