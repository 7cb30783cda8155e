// The library's load notification. The plugin keeps no state and has
// nothing to set up or tear down, so loading and unloading only report
// success.
extern "C" int __stdcall quorvantLibraryEntry(void* instance, unsigned long reason,
                                              void* reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return 1;
}
