// Start-up on a hosted build: the C runtime has done its part already.
#include "windows/runtime/program_main.h"

int main(int argc, char** argv) { return programMain(argc, argv); }
