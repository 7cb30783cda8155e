// The entry the host calls once after loading the library: it registers the
// six script functions and answers the description string. The creators
// build one filter each from the script's arguments.
#include <stdint.h>

#include "filters/clamp.h"
#include "filters/shifted_minimum.h"
#include "filters/sign.h"
#include "filters/simple_average.h"
#include "filters/subtract_and_sign.h"
#include "host/avisynth.h"
#include "plugin/filter_storage.h"

#if defined(_WIN32)
#define QUORVANT_EXPORT __declspec(dllexport)
#else
#define QUORVANT_EXPORT __attribute__((visibility("default")))
#endif

namespace quorvant {
namespace {

// An integer argument as an 8-bit amount: its low 8 bits, 0 to 255.
uint8_t amount(const AVSValue& value) { return uint8_t(value.AsInt() & 0xFF); }

// Obtains storage, raises `outOfMemory` when there is none (handing the host
// an empty clip would report the failure as success), then constructs the
// filter and hands it to the host as a clip value holding one reference.
template <class Filter, class Construct>
AVSValue createFilter(IScriptEnvironment* env, const char* outOfMemory, const Construct& construct) {
  FilterStorage storage(sizeof(Filter));
  if (!storage.get()) {
    env->ThrowError(outOfMemory);
    return AVSValue();
  }
  IClip* filter = construct(storage.get());
  storage.release();
  return AVSValue(filter);
}

AVSValue AVS_CDECL CreateSimpleAverage(AVSValue args, void*, IScriptEnvironment* env) {
  return createFilter<SimpleAverage>(env, "SimpleAverage: out of memory.", [&](void* place) {
    return new (place) SimpleAverage(args[0].AsClip(), args[1].AsClip(), env);
  });
}

AVSValue AVS_CDECL CreateClamp(AVSValue args, void*, IScriptEnvironment* env) {
  return createFilter<Clamp>(env, "Clamp: out of memory.", [&](void* place) {
    return new (place) Clamp(args[0].AsClip(), args[1].AsClip(), args[2].AsClip(),
                             amount(args[3]), amount(args[4]), env);
  });
}

AVSValue AVS_CDECL CreateShiftedMinimum(AVSValue args, void*, IScriptEnvironment* env) {
  return createFilter<ShiftedMinimum>(env, "ShiftedMinimum: out of memory.", [&](void* place) {
    return new (place) ShiftedMinimum(args[0].AsClip(), amount(args[1]), args[2].AsClip(), env);
  });
}

AVSValue AVS_CDECL CreateSubtractAndSign(AVSValue args, void*, IScriptEnvironment* env) {
  return createFilter<SubtractAndSign>(env, "SubtractAndSign: out of memory.", [&](void* place) {
    return new (place) SubtractAndSign(args[0].AsClip(), args[1].AsClip(), env);
  });
}

// Serves both Sign and Unsign: one operation, its own inverse.
AVSValue AVS_CDECL CreateSign(AVSValue args, void*, IScriptEnvironment* env) {
  return createFilter<Sign>(env, "Sign: out of memory.", [&](void* place) {
    return new (place) Sign(args[0].AsClip(), env);
  });
}

}  // namespace
}  // namespace quorvant

extern "C" QUORVANT_EXPORT const char* AVS_STDCALL AvisynthPluginInit2(IScriptEnvironment* env) {
  using namespace quorvant;
  env->AddFunction("SimpleAverage", "cc", CreateSimpleAverage, 0);
  env->AddFunction("Clamp", "cccii", CreateClamp, 0);
  env->AddFunction("ShiftedMinimum", "cic", CreateShiftedMinimum, 0);
  env->AddFunction("SubtractAndSign", "cc", CreateSubtractAndSign, 0);
  env->AddFunction("Sign", "c", CreateSign, 0);
  env->AddFunction("Unsign", "c", CreateSign, 0);
  return "Quorvant: functions to speed up Ormuth's Pendrask";
}
