// A plugin for the runner's tests: FailAt(clip, int n) passes the clip's
// frames through and raises a script error when asked for frame n, so that
// a run can be made to fail halfway through its output.
#include "host/avisynth.h"

namespace {

class FailAt : public GenericVideoFilter {
 public:
  FailAt(const PClip& child, int failing) : GenericVideoFilter(child), failing(failing) {}
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override {
    if (n == failing) env->ThrowError("FailAt: frame %d fails on purpose.", n);
    return child->GetFrame(n, env);
  }

 private:
  int failing;
};

AVSValue AVS_CDECL CreateFailAt(AVSValue args, void*, IScriptEnvironment*) {
  return AVSValue(new FailAt(args[0].AsClip(), args[1].AsInt()));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* AVS_STDCALL
AvisynthPluginInit2(IScriptEnvironment* env) {
  env->AddFunction("FailAt", "ci", CreateFailAt, 0);
  return "runner test plugin";
}
