# Checks Quorvant.dll as a host sees it: exactly one exported name,
# _AvisynthPluginInit2@4, and imports from system DLLs only.
#   cmake -DREADOBJ=llvm-readobj -DDLL=Quorvant.dll -P check_dll.cmake
cmake_minimum_required(VERSION 3.20)
set(system_dlls msvcrt.dll kernel32.dll)

execute_process(COMMAND ${READOBJ} --coff-exports ${DLL}
  OUTPUT_VARIABLE exports RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the exports of ${DLL}")
endif()
string(REGEX MATCHALL "Name: [^\n]+" names "${exports}")
list(TRANSFORM names REPLACE "^Name: " "")
message(STATUS "exported names: ${names}")
if(NOT names STREQUAL "_AvisynthPluginInit2@4")
  message(FATAL_ERROR "expected the one exported name _AvisynthPluginInit2@4, found: ${names}")
endif()

execute_process(COMMAND ${READOBJ} --coff-imports ${DLL}
  OUTPUT_VARIABLE imports RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${DLL}")
endif()
string(REGEX MATCHALL "Name: [^\n]+" libraries "${imports}")
list(TRANSFORM libraries REPLACE "^Name: " "")
message(STATUS "imported DLLs: ${libraries}")
foreach(library IN LISTS libraries)
  string(TOLOWER "${library}" library)
  if(NOT library IN_LIST system_dlls)
    message(FATAL_ERROR "imports from ${library}, which is not a system DLL")
  endif()
endforeach()
