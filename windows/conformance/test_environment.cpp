#include "windows/conformance/test_environment.h"

#include "windows/runtime/c_runtime.h"

namespace quorvant::conformance {

const char kInjectedFailure[] = "conformance host: injected failure";

namespace {

const char kOutOfFrames[] = "conformance host: out of frames";
const char kArgumentsDoNotMatch[] = "conformance host: arguments do not match";
const char kUnknownFunction[] = "conformance host: no such function";

bool argumentMatches(char letter, const AVSValue& value) {
  switch (letter) {
    case 'c':
      return value.IsClip();
    case 'i':
      return value.IsInt();
    default:
      return false;
  }
}

}  // namespace

PlaneGeometry planeGeometry(const FrameLayout& layout) {
  PlaneGeometry g;
  g.lumaSize = layout.pitch * layout.height;
  g.chromaWidth = (layout.width + 1) / 2;
  g.chromaHeight = (layout.height + 1) / 2;
  g.chromaPitch = layout.pitch / 2;
  g.chromaSize = g.chromaPitch * g.chromaHeight;
  return g;
}

TestEnvironment::TestEnvironment(int flags) : cpuFlags(flags) {}

TestEnvironment::~TestEnvironment() {
  // Frames still held here would be a fault of the code under test; the
  // cases report it. Their memory goes back either way.
  for (int i = 0; i < frameCount; ++i) {
    free(frames[i]->block);
    delete frames[i];
  }
}

int TestEnvironment::GetCPUFlags() { return cpuFlags; }

void TestEnvironment::ThrowError(const char* fmt, ...) { throw ScriptError{fmt}; }

void TestEnvironment::AddFunction(const char* name, const char* params, ApplyFunc apply,
                                  void* user_data) {
  if (registered == kMaxFunctions) {
    unexpected();
    return;
  }
  table[registered++] = RegisteredFunction{name, params, apply, user_data};
}

PVideoFrame TestEnvironment::NewVideoFrame(const VideoInfo& vi, int align) {
  hostCall();
  ++newFrameCount;
  if (align != FRAME_ALIGN) unexpected();
  const int rounded = (vi.width + 15) & ~15;
  return makeFrame(FrameLayout{vi.width, vi.height, newFramePitch ? newFramePitch : rounded});
}

PVideoFrame TestEnvironment::makeFrame(const FrameLayout& layout) {
  if (frameCount == kMaxFrames) throw ScriptError{kOutOfFrames};
  const PlaneGeometry g = planeGeometry(layout);
  const int dataSize = g.lumaSize + 2 * g.chromaSize;
  HostFrame* host = new HostFrame();
  host->blockSize = kGuardBytes + dataSize + kGuardBytes;
  host->block = static_cast<uint8_t*>(malloc(size_t(host->blockSize)));
  if (!host->block) {
    delete host;
    throw ScriptError{kOutOfFrames};
  }
  memset(host->block, kGuardValue, size_t(host->blockSize));
  uint8_t* data = host->block + kGuardBytes;
  for (int i = 0; i < dataSize; ++i) data[i] = newFrameByte(i);

  host->buffer.data = data;
  host->buffer.data_size = dataSize;
  host->buffer.sequence_number = 0;
  host->buffer.refcount = 1;  // one frame uses it: writable once one handle holds the frame
  host->frame.refcount = 0;   // the handle below takes the first count
  host->frame.vfb = &host->buffer;
  host->frame.offset = 0;
  host->frame.pitch = layout.pitch;
  host->frame.row_size = layout.width;
  host->frame.height = layout.height;
  host->frame.offsetU = g.lumaSize;
  host->frame.offsetV = g.lumaSize + g.chromaSize;
  host->frame.pitchUV = g.chromaPitch;
  frames[frameCount++] = host;
  return PVideoFrame(&host->frame);
}

void TestEnvironment::hostCall() {
  ++hostCallCount;
  if (failAt != 0 && hostCallCount == failAt) throw ScriptError{kInjectedFailure};
}

void TestEnvironment::failHostCall(int number) {
  failAt = number;
  hostCallCount = 0;
}

AVSValue TestEnvironment::call(const char* name, const AVSValue* args, int count) {
  for (int i = 0; i < registered; ++i) {
    const RegisteredFunction& f = table[i];
    if (strcmp(f.name, name) != 0) continue;
    int letters = 0;
    while (f.params[letters]) ++letters;
    if (letters != count) throw ScriptError{kArgumentsDoNotMatch};
    for (int a = 0; a < count; ++a) {
      if (!argumentMatches(f.params[a], args[a])) throw ScriptError{kArgumentsDoNotMatch};
    }
    return f.apply(AVSValue(args, count), f.userData, this);
  }
  throw ScriptError{kUnknownFunction};
}

int TestEnvironment::framesHeld() const {
  int held = 0;
  for (int i = 0; i < frameCount; ++i) {
    // The last handle of a frame also drops the buffer's count: idle is 0 and 0.
    if (frames[i]->frame.refcount != 0 || frames[i]->buffer.refcount != 0) ++held;
  }
  return held;
}

bool TestEnvironment::guardsIntact() const {
  for (int i = 0; i < frameCount; ++i) {
    const HostFrame& host = *frames[i];
    const uint8_t* tail = host.block + host.blockSize - kGuardBytes;
    for (int b = 0; b < kGuardBytes; ++b) {
      if (host.block[b] != kGuardValue || tail[b] != kGuardValue) return false;
    }
  }
  return true;
}

void TestEnvironment::collectFrames() {
  int kept = 0;
  for (int i = 0; i < frameCount; ++i) {
    HostFrame* host = frames[i];
    if (host->frame.refcount == 0 && host->buffer.refcount == 0) {
      free(host->block);
      delete host;
    } else {
      frames[kept++] = host;
    }
  }
  frameCount = kept;
  newFrameCount = 0;
  hostCallCount = 0;
  failAt = 0;
  unexpectedCallCount = 0;
}

// --- never used by the plugin: counted, answered with nothing ---

char* TestEnvironment::SaveString(const char*, int) {
  unexpected();
  return nullptr;
}
char* TestEnvironment::Sprintf(const char*, ...) {
  unexpected();
  return nullptr;
}
char* TestEnvironment::VSprintf(const char*, va_list) {
  unexpected();
  return nullptr;
}
bool TestEnvironment::FunctionExists(const char*) {
  unexpected();
  return false;
}
AVSValue TestEnvironment::Invoke(const char*, const AVSValue, const char**) {
  unexpected();
  return AVSValue();
}
AVSValue TestEnvironment::GetVar(const char*) {
  unexpected();
  return AVSValue();
}
bool TestEnvironment::SetVar(const char*, const AVSValue&) {
  unexpected();
  return false;
}
bool TestEnvironment::SetGlobalVar(const char*, const AVSValue&) {
  unexpected();
  return false;
}
void TestEnvironment::PushContext(int) { unexpected(); }
void TestEnvironment::PopContext() { unexpected(); }
bool TestEnvironment::MakeWritable(PVideoFrame*) {
  unexpected();
  return false;
}
void TestEnvironment::BitBlt(BYTE*, int, const BYTE*, int, int, int) { unexpected(); }
void TestEnvironment::AtExit(ShutdownFunc, void*) { unexpected(); }
void TestEnvironment::CheckVersion(int) { unexpected(); }
PVideoFrame TestEnvironment::Subframe(PVideoFrame, int, int, int, int) {
  unexpected();
  return PVideoFrame();
}
int TestEnvironment::SetMemoryMax(int) {
  unexpected();
  return 0;
}
int TestEnvironment::SetWorkingDir(const char*) {
  unexpected();
  return 0;
}
void* TestEnvironment::ManageCache(int, void*) {
  unexpected();
  return nullptr;
}
bool TestEnvironment::PlanarChromaAlignment(PlanarChromaAlignmentMode) {
  unexpected();
  return false;
}
PVideoFrame TestEnvironment::SubframePlanar(PVideoFrame, int, int, int, int, int, int, int) {
  unexpected();
  return PVideoFrame();
}

}  // namespace quorvant::conformance
