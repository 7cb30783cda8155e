// The conformance cases: what a host sees of the plugin through its entry,
// run the same way against the Windows DLL (under Wine) and against the
// Linux library. Each case builds its own host environment, calls the entry
// and checks registrations, output bytes against the scalar reference,
// construction messages, unwinding and reference counts, destruction and
// the pass-through slots.
#ifndef QUORVANT_WINDOWS_CONFORMANCE_CONFORMANCE_CASES_H
#define QUORVANT_WINDOWS_CONFORMANCE_CONFORMANCE_CASES_H

#include "host/avisynth.h"
#include "windows/conformance/report.h"

namespace quorvant::conformance {

using PluginEntry = const char*(AVS_STDCALL*)(IScriptEnvironment* env);

void runConformanceCases(PluginEntry entry, Report& report);

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_CONFORMANCE_CONFORMANCE_CASES_H
