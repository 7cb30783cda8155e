# Cross build for 32-bit Windows in the Microsoft C++ ABI, the ABI of the
# version-2 host: clang compiles, lld-link links, llvm-dlltool makes import
# libraries from the .def files in windows/import. No Microsoft headers or
# libraries are used: the build is freestanding and imports its few runtime
# functions from msvcrt.dll and kernel32.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

find_program(QUORVANT_CLANGXX NAMES clang++ clang++-19 clang++-18 clang++-17 clang++-16 clang++-15 clang++-14 REQUIRED)
find_program(QUORVANT_LLD_LINK NAMES lld-link lld-link-19 lld-link-18 lld-link-17 lld-link-16 lld-link-15 lld-link-14 REQUIRED)
find_program(QUORVANT_DLLTOOL NAMES llvm-dlltool llvm-dlltool-19 llvm-dlltool-18 llvm-dlltool-17 llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14 REQUIRED)

set(CMAKE_CXX_COMPILER "${QUORVANT_CLANGXX}")
set(CMAKE_CXX_COMPILER_TARGET i686-pc-windows-msvc)
set(CMAKE_LINKER "${QUORVANT_LLD_LINK}")
# Nothing to link a test program against: check the compiler with a library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# No C runtime library is named by the compiler; the build links msvcrt.dll itself.
set(CMAKE_MSVC_RUNTIME_LIBRARY "")
