// A clip that reads a YUV4MPEG2 file of 8-bit 4:2:0 video as YV12, keeping
// its frame rate and frame count. Frames are read on request from an index
// of the file, each into a new frame held only by the caller (so filters
// that work in place can write into it), and never kept: a long run holds
// no more frames than its filters do at once.
#ifndef QUORVANT_EMBEDDED_HOST_Y4M_SOURCE_H
#define QUORVANT_EMBEDDED_HOST_Y4M_SOURCE_H

#include <string>

#include "embedded_host/environment.h"
#include "host/avisynth.h"

namespace quorvant::host {

// Opens `path` ("-" for standard input). Raises ScriptError
// "Y4MSource: <path>: <what is wrong>" when the file cannot be used.
PClip y4mSourceClip(Environment& env, const std::string& path);

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_Y4M_SOURCE_H
