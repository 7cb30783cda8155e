// The embedded host's script environment: a function table that checks
// arguments against parameter strings as the host does, pooled frames with
// the host's counting and writability rules, settable CPU flags, and hooks
// for tests (a fill for new frames, a host call that raises on demand).
#ifndef QUORVANT_EMBEDDED_HOST_ENVIRONMENT_H
#define QUORVANT_EMBEDDED_HOST_ENVIRONMENT_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "embedded_host/script_error.h"
#include "host/avisynth.h"

namespace quorvant::host {

struct RegisteredFunction {
  std::string name;
  std::string params;
  ApplyFunc apply;
  void* userData;
};

// What a new frame's bytes hold before anyone writes them: neutral by
// default; tests choose sentinels to see which bytes a filter wrote.
struct FrameFill {
  uint8_t luma = 16;
  uint8_t chroma = 128;
};

struct FramePoolStats {
  size_t frames = 0;         // frame objects the pool owns
  size_t framesInUse = 0;    // of them, held by some handle
  size_t buffers = 0;        // buffers the pool owns
  size_t buffersInUse = 0;   // of them, used by some frame
};

class PluginLibrary;

class Environment : public IScriptEnvironment {
 public:
  static constexpr int kDefaultCpuFlags = CPUF_MMX | CPUF_INTEGER_SSE | CPUF_SSE | CPUF_SSE2;

  Environment();
  ~Environment() override;
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // --- IScriptEnvironment ---
  int AVS_STDCALL GetCPUFlags() override;
  char* AVS_STDCALL SaveString(const char* s, int length = -1) override;
  char* AVS_CDECL Sprintf(const char* fmt, ...) override;
  char* AVS_STDCALL VSprintf(const char* fmt, va_list val) override;
  [[noreturn]] void AVS_CDECL ThrowError(const char* fmt, ...) override;
  void AVS_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                               void* user_data) override;
  bool AVS_STDCALL FunctionExists(const char* name) override;
  AVSValue AVS_STDCALL Invoke(const char* name, const AVSValue args,
                              const char** arg_names = 0) override;
  AVSValue AVS_STDCALL GetVar(const char* name) override;
  bool AVS_STDCALL SetVar(const char* name, const AVSValue& val) override;
  bool AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& val) override;
  void AVS_STDCALL PushContext(int level = 0) override;
  void AVS_STDCALL PopContext() override;
  PVideoFrame AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = FRAME_ALIGN) override;
  bool AVS_STDCALL MakeWritable(PVideoFrame* pvf) override;
  void AVS_STDCALL BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch,
                          int row_size, int height) override;
  void AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) override;
  void AVS_STDCALL CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) override;
  PVideoFrame AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                   int new_row_size, int new_height) override;
  int AVS_STDCALL SetMemoryMax(int mem) override;
  int AVS_STDCALL SetWorkingDir(const char* newdir) override;
  void* AVS_STDCALL ManageCache(int key, void* data) override;
  bool AVS_STDCALL PlanarChromaAlignment(PlanarChromaAlignmentMode key) override;
  PVideoFrame AVS_STDCALL SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                         int new_row_size, int new_height, int rel_offsetU,
                                         int rel_offsetV, int new_pitchUV) override;

  // --- the host's own side ---
  void setCpuFlags(int flags) { cpuFlags = flags; }
  // Extra bytes added to the pitch of every new frame (beyond width rounded to 16).
  void setExtraPitch(int bytes) { extraPitch = bytes; }
  // nullopt leaves new frames as the pool hands them out (as real hosts do).
  void setFrameFill(std::optional<FrameFill> fill) { frameFill = fill; }

  // Loads a plugin library (dlopen), calls its entry as a host does and
  // answers the entry's description string. The library stays loaded for
  // the environment's life.
  std::string loadPlugin(const std::string& path);

  // Calls a registered function by name with positional arguments, checking
  // them against its parameter string first.
  AVSValue call(const std::string& name, const std::vector<AVSValue>& args);
  const RegisteredFunction* findFunction(const std::string& name) const;
  const std::vector<RegisteredFunction>& functions() const { return table; }
  static bool argumentsMatch(const std::string& params, const std::vector<AVSValue>& args);

  // Fault injection: the `number`-th host call that can raise from now on
  // (counting source GetFrame and NewVideoFrame) raises a script error;
  // 0 turns it off. hostCalls() counts those calls since the last setting.
  void failHostCall(long number);
  long hostCalls() const;
  // Called by sources and NewVideoFrame: counts, and raises when it is the chosen one.
  void hostCall(const char* what);

  FramePoolStats poolStats() const;

 private:
  struct PoolFrame;
  struct PoolBuffer;
  VideoFrameBuffer* takeBuffer(int size);
  VideoFrame* takeFrame(VideoFrameBuffer* buffer, int offset, int pitch, int rowSize, int height,
                        int offsetU, int offsetV, int pitchUV);

  int cpuFlags = kDefaultCpuFlags;
  int extraPitch = 0;
  std::optional<FrameFill> frameFill = FrameFill{};
  std::vector<RegisteredFunction> table;
  std::map<std::string, AVSValue> variables;
  std::deque<std::string> savedStrings;
  std::vector<std::pair<ShutdownFunc, void*>> atExit;
  std::vector<std::unique_ptr<PluginLibrary>> plugins;

  mutable std::mutex poolMutex;  // guards the pool and the saved strings
  std::vector<std::unique_ptr<PoolFrame>> poolFrames;
  std::vector<std::unique_ptr<PoolBuffer>> poolBuffers;

  mutable std::mutex faultMutex;
  long failAt = 0;
  long callCount = 0;
};

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_ENVIRONMENT_H
