// A built-in YV12 source of deterministic moving patterns, so that scripts
// can run with no input file: diagonal stripes that scroll, a checkered box
// that bounces, a static grey ramp along the bottom and colour gradients
// that drift. Frame n is always the same picture.
#ifndef QUORVANT_EMBEDDED_HOST_TEST_PATTERN_H
#define QUORVANT_EMBEDDED_HOST_TEST_PATTERN_H

#include "embedded_host/environment.h"
#include "host/avisynth.h"

namespace quorvant::host {

// Sizes must be even, 2 to 16384 a side and at most 8192 x 8192 pixels in
// all; at least one frame. Otherwise raises ScriptError "TestPattern: ...".
PClip testPatternClip(Environment& env, int width, int height, int frames);

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_TEST_PATTERN_H
