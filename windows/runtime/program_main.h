// The entry of each conformance program, called by the platform's start-up
// code (the C runtime's main on hosted builds, our own on Windows).
#ifndef QUORVANT_WINDOWS_RUNTIME_PROGRAM_MAIN_H
#define QUORVANT_WINDOWS_RUNTIME_PROGRAM_MAIN_H

int programMain(int argc, char** argv);

#endif  // QUORVANT_WINDOWS_RUNTIME_PROGRAM_MAIN_H
