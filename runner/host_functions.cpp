#include "runner/host_functions.h"

#include "embedded_host/test_pattern.h"
#include "embedded_host/y4m_source.h"

namespace quorvant::runner {
namespace {

// Each creator is registered with its environment as user data.
host::Environment& environmentOf(void* userData) {
  return *static_cast<host::Environment*>(userData);
}

AVSValue AVS_CDECL CreateTestPattern(AVSValue args, void* userData, IScriptEnvironment*) {
  return AVSValue(host::testPatternClip(environmentOf(userData), args[0].AsInt(), args[1].AsInt(),
                                        args[2].AsInt()));
}

AVSValue AVS_CDECL CreateY4MSource(AVSValue args, void* userData, IScriptEnvironment*) {
  return AVSValue(host::y4mSourceClip(environmentOf(userData), args[0].AsString()));
}

// Answers the plugin's description string.
AVSValue AVS_CDECL LoadPlugin(AVSValue args, void* userData, IScriptEnvironment*) {
  host::Environment& env = environmentOf(userData);
  const std::string description = env.loadPlugin(args[0].AsString());
  return AVSValue(env.SaveString(description.c_str(), int(description.size())));
}

}  // namespace

void addTestPattern(host::Environment& env) {
  env.AddFunction("TestPattern", "iii", CreateTestPattern, &env);
}

void addY4MSource(host::Environment& env) {
  env.AddFunction("Y4MSource", "s", CreateY4MSource, &env);
}

void addLoadPlugin(host::Environment& env) { env.AddFunction("LoadPlugin", "s", LoadPlugin, &env); }

void addHostFunctions(host::Environment& env) {
  addTestPattern(env);
  addY4MSource(env);
  addLoadPlugin(env);
}

}  // namespace quorvant::runner
