// A minimal host for conformance runs: the script environment that the
// plugin sees, built only on host/avisynth.h and the C runtime so that it
// compiles into a freestanding Windows program as well as a hosted one.
// It keeps a function table, raises script errors as a C++ exception, hands
// out frames with guard bytes around their buffers, counts every frame and
// host call, and can make the k-th host call fail.
#ifndef QUORVANT_WINDOWS_CONFORMANCE_TEST_ENVIRONMENT_H
#define QUORVANT_WINDOWS_CONFORMANCE_TEST_ENVIRONMENT_H

#include <stdint.h>

#include "host/avisynth.h"

namespace quorvant::conformance {

// What ThrowError raises: the message is the plugin's format string itself.
struct ScriptError {
  const char* message;
};

// The message of the error that failHostCall injects.
extern const char kInjectedFailure[];

struct RegisteredFunction {
  const char* name;
  const char* params;
  ApplyFunc apply;
  void* userData;
};

// Layout of a frame's planes: the luma plane as given, each chroma plane half
// as wide and half as high (rounded up) with half the pitch.
struct FrameLayout {
  int width;
  int height;
  int pitch;
};

// A frame of this host: the host's frame and buffer records, then the block
// that holds guard bytes, the planes and guard bytes again.
struct HostFrame {
  VideoFrame frame;
  VideoFrameBuffer buffer;
  uint8_t* block;
  int blockSize;
};

class TestEnvironment : public IScriptEnvironment {
 public:
  static constexpr int kMaxFunctions = 16;
  static constexpr int kMaxFrames = 64;
  static constexpr int kGuardBytes = 64;
  static constexpr uint8_t kGuardValue = 0xE7;

  explicit TestEnvironment(int cpuFlags);
  ~TestEnvironment() override;
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  // --- what the plugin calls ---
  int AVS_STDCALL GetCPUFlags() override;
  [[noreturn]] void AVS_CDECL ThrowError(const char* fmt, ...) override;
  void AVS_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                               void* user_data) override;
  PVideoFrame AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = FRAME_ALIGN) override;

  // --- the rest of the interface: the plugin has no business calling these ---
  char* AVS_STDCALL SaveString(const char* s, int length = -1) override;
  char* AVS_CDECL Sprintf(const char* fmt, ...) override;
  char* AVS_STDCALL VSprintf(const char* fmt, va_list val) override;
  bool AVS_STDCALL FunctionExists(const char* name) override;
  AVSValue AVS_STDCALL Invoke(const char* name, const AVSValue args,
                              const char** arg_names = 0) override;
  AVSValue AVS_STDCALL GetVar(const char* name) override;
  bool AVS_STDCALL SetVar(const char* name, const AVSValue& val) override;
  bool AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& val) override;
  void AVS_STDCALL PushContext(int level = 0) override;
  void AVS_STDCALL PopContext() override;
  bool AVS_STDCALL MakeWritable(PVideoFrame* pvf) override;
  void AVS_STDCALL BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch, int row_size,
                          int height) override;
  void AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) override;
  void AVS_STDCALL CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) override;
  PVideoFrame AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                                   int new_height) override;
  int AVS_STDCALL SetMemoryMax(int mem) override;
  int AVS_STDCALL SetWorkingDir(const char* newdir) override;
  void* AVS_STDCALL ManageCache(int key, void* data) override;
  bool AVS_STDCALL PlanarChromaAlignment(PlanarChromaAlignmentMode key) override;
  PVideoFrame AVS_STDCALL SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                         int new_row_size, int new_height, int rel_offsetU,
                                         int rel_offsetV, int new_pitchUV) override;

  // --- the host's own side ---
  void setCpuFlags(int flags) { cpuFlags = flags; }
  // Luma pitch of the frames NewVideoFrame hands out; 0: width rounded up to 16.
  void setNewFramePitch(int pitch) { newFramePitch = pitch; }

  int functionCount() const { return registered; }
  const RegisteredFunction& function(int index) const { return table[index]; }
  // Calls a registered function as a script would: the arguments must match
  // its parameter string letter by letter ("c" clip, "i" integer).
  AVSValue call(const char* name, const AVSValue* args, int count);

  // A frame of the given layout, filled with the new-frame pattern, held by
  // no one but the returned handle; for source clips (not counted as
  // NewVideoFrame).
  PVideoFrame makeFrame(const FrameLayout& layout);
  // Counts one host call that may raise (a source's GetFrame, NewVideoFrame)
  // and raises the injected failure when it is the chosen one.
  void hostCall();
  // The `number`-th host call from now on raises kInjectedFailure; 0: none.
  void failHostCall(int number);
  int hostCalls() const { return hostCallCount; }
  int newVideoFrameCalls() const { return newFrameCount; }
  // Calls to parts of the interface that the plugin should never use.
  int unexpectedCalls() const { return unexpectedCallCount; }

  // Frames or buffers that some handle still holds.
  int framesHeld() const;
  // Every guard byte of every frame still holds its value.
  bool guardsIntact() const;
  // Frees the frames that nobody holds and resets the counters.
  void collectFrames();

  // The byte at offset i of a frame's planes before anyone writes it.
  static uint8_t newFrameByte(int i) { return uint8_t(i * 29 + 7); }

 private:
  void unexpected() { ++unexpectedCallCount; }

  int cpuFlags;
  int newFramePitch = 0;
  RegisteredFunction table[kMaxFunctions];
  int registered = 0;
  HostFrame* frames[kMaxFrames];
  int frameCount = 0;
  int newFrameCount = 0;
  int hostCallCount = 0;
  int failAt = 0;
  int unexpectedCallCount = 0;
};

// Plane offsets and sizes of a frame layout.
struct PlaneGeometry {
  int lumaSize;
  int chromaWidth;
  int chromaHeight;
  int chromaPitch;
  int chromaSize;
};
PlaneGeometry planeGeometry(const FrameLayout& layout);

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_CONFORMANCE_TEST_ENVIRONMENT_H
