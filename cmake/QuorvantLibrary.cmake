# The plugin library: kernels, filters and the entry point, built into one
# shared object that exports nothing but the host's entry.

# Row kernels. The scalar forms are the reference and stay plain byte loops:
# no auto-vectorisation, so benchmarks compare against them honestly.
add_library(quorvant_kernels STATIC
  kernels/instruction_set.cpp
  kernels/scalar.cpp)
set_source_files_properties(kernels/scalar.cpp PROPERTIES COMPILE_OPTIONS
  "$<IF:$<CXX_COMPILER_ID:Clang>,-fno-vectorize;-fno-slp-vectorize,-fno-tree-vectorize>")
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64")
  target_sources(quorvant_kernels PRIVATE kernels/x86/sse2.cpp kernels/x86/avx2.cpp)
  set_source_files_properties(kernels/x86/avx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2")
endif()
target_include_directories(quorvant_kernels PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(quorvant_kernels PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# Filters: the walks and plane operations (host-free) and the filter classes.
add_library(quorvant_filters STATIC
  filters/plane_walks.cpp
  filters/luma_planes.cpp
  filters/filter_support.cpp
  filters/sign.cpp
  filters/subtract_and_sign.cpp
  filters/shifted_minimum.cpp
  filters/clamp.cpp
  filters/simple_average.cpp)
target_link_libraries(quorvant_filters PUBLIC quorvant_kernels)
set_target_properties(quorvant_filters PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# The plugin a host loads. Only AvisynthPluginInit2 is exported.
add_library(quorvant SHARED plugin/plugin_entry.cpp)
target_link_libraries(quorvant PRIVATE quorvant_filters)
set_target_properties(quorvant PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/exports.map)
target_link_options(quorvant PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin/exports.map)
# Every symbol resolved at link time, except in clang's sanitizer and fuzzer
# builds: there a shared library is not linked with the sanitizer runtime and
# takes its symbols from the executable that loads it.
if(NOT (CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND (QUORVANT_SANITIZE OR QUORVANT_FUZZ)))
  target_link_options(quorvant PRIVATE -Wl,--no-undefined)
endif()
