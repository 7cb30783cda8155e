// The conformance host: loads the plugin named on the command line as a host
// does, runs every conformance case against it and prints "N passed, M
// failed". Exits with 0 only when every case passed.
#include "windows/conformance/conformance_cases.h"
#include "windows/conformance/plugin_loader.h"
#include "windows/conformance/report.h"
#include "windows/runtime/c_runtime.h"
#include "windows/runtime/program_main.h"

int programMain(int argc, char** argv) {
  using namespace quorvant::conformance;
  if (argc != 2) {
    printf("usage: %s PLUGIN\n", argc > 0 ? argv[0] : "conformance_host");
    return 2;
  }
  const PluginEntry entry = loadPluginEntry(argv[1]);
  if (!entry) return 2;
  Report report;
  runConformanceCases(entry, report);
  report.printSummary();
  return report.failed() == 0 ? 0 : 1;
}
