// The host's plugin interface, interface version 2: the types a plugin and a
// host share, laid out and called exactly as the host's own build expects.
// Written for this library from the host's binary facts; it needs nothing but
// the compiler's own headers, so the freestanding Windows build can use it.
#ifndef QUORVANT_HOST_AVISYNTH_H
#define QUORVANT_HOST_AVISYNTH_H

#include <stdarg.h>
#include <stddef.h>

#if defined(_WIN32) && !defined(_WIN64)
#define AVS_STDCALL __stdcall
#define AVS_CDECL __cdecl
#else
#define AVS_STDCALL
#define AVS_CDECL
#endif

enum { AVISYNTH_INTERFACE_VERSION = 2 };

typedef unsigned char BYTE;
typedef long long int64;

enum {
  FRAME_ALIGN = 16,
  PLANAR_Y = 1,
  PLANAR_U = 2,
  PLANAR_V = 4,
  PLANAR_ALIGNED = 8,
  PLANAR_Y_ALIGNED = PLANAR_Y | PLANAR_ALIGNED,
  PLANAR_U_ALIGNED = PLANAR_U | PLANAR_ALIGNED,
  PLANAR_V_ALIGNED = PLANAR_V | PLANAR_ALIGNED,
};

enum {
  CPUF_FORCE = 0x01,
  CPUF_FPU = 0x02,
  CPUF_MMX = 0x04,
  CPUF_INTEGER_SSE = 0x08,
  CPUF_SSE = 0x10,
  CPUF_SSE2 = 0x20,
  CPUF_3DNOW = 0x40,
  CPUF_3DNOW_EXT = 0x80,
  CPUF_X86_64 = 0xA0,
  CPUF_SSE3 = 0x100,
};

// Reference counts are changed atomically: frames and clips are shared by
// every thread that the host lets into a filter.
inline long avs_atomic_increment(long* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline long avs_atomic_decrement(long* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline long avs_atomic_load(const long* value) {
  return __atomic_load_n(value, __ATOMIC_SEQ_CST);
}

struct VideoInfo {
  int width, height;
  unsigned fps_numerator, fps_denominator;
  int num_frames;

  enum {
    CS_BGR = 1 << 28,
    CS_YUV = 1 << 29,
    CS_INTERLEAVED = 1 << 30,
    CS_PLANAR = 1 << 31,
    CS_UNKNOWN = 0,
    CS_BGR24 = 1 << 0 | CS_BGR | CS_INTERLEAVED,
    CS_BGR32 = 1 << 1 | CS_BGR | CS_INTERLEAVED,
    CS_YUY2 = 1 << 2 | CS_YUV | CS_INTERLEAVED,
    CS_YV12 = 1 << 3 | CS_YUV | CS_PLANAR,
    CS_I420 = 1 << 4 | CS_YUV | CS_PLANAR,
    CS_IYUV = CS_I420,
  };
  int pixel_type;

  int audio_samples_per_second;
  int sample_type;
  int64 num_audio_samples;
  int nchannels;
  int image_type;

  bool HasVideo() const { return width != 0; }
  bool IsRGB() const { return (pixel_type & CS_BGR) != 0; }
  bool IsYUY2() const { return (pixel_type & CS_YUY2) == CS_YUY2; }
  bool IsYV12() const {
    return (pixel_type & CS_YV12) == CS_YV12 || (pixel_type & CS_I420) == CS_I420;
  }
  bool IsPlanar() const { return (pixel_type & CS_PLANAR) != 0; }
  int BitsPerPixel() const {
    switch (pixel_type) {
      case CS_BGR24: return 24;
      case CS_BGR32: return 32;
      case CS_YUY2: return 16;
      case CS_YV12:
      case CS_I420: return 12;
      default: return 0;
    }
  }
  // Bytes of one row of the first plane; whole bytes per pixel only.
  int RowSize() const { return width * (BitsPerPixel() >> 3); }
};

class VideoFrameBuffer {
 public:
  BYTE* data;
  int data_size;
  long sequence_number;
  long refcount;
  // Host-private fields follow in the host's own objects.
};

class IClip;
class PClip;
class PVideoFrame;
class IScriptEnvironment;
class AVSValue;

class VideoFrame {
 public:
  long refcount;
  VideoFrameBuffer* vfb;
  int offset, pitch, row_size, height, offsetU, offsetV, pitchUV;
  // Host-private fields follow in the host's own objects.

  void AddRef() { avs_atomic_increment(&refcount); }
  // Dropping the last frame handle also drops the frame's hold on its buffer.
  // The drop that takes the count to 0 does it, so that two threads dropping
  // the last two handles at once cannot both miss it; the buffer is read
  // first, since the host may reuse a frame as soon as its count is 0.
  void Release() {
    VideoFrameBuffer* buffer = vfb;
    if (avs_atomic_decrement(&refcount) == 0) avs_atomic_decrement(&buffer->refcount);
  }

  int GetPitch(int plane = 0) const {
    return (plane == PLANAR_U || plane == PLANAR_V) ? pitchUV : pitch;
  }
  int GetRowSize(int plane = 0) const {
    switch (plane) {
      case PLANAR_U:
      case PLANAR_V: return pitchUV ? row_size >> 1 : 0;
      case PLANAR_U_ALIGNED:
      case PLANAR_V_ALIGNED: {
        if (!pitchUV) return 0;
        const int aligned = ((row_size >> 1) + FRAME_ALIGN / 2 - 1) & ~(FRAME_ALIGN / 2 - 1);
        return aligned <= pitchUV ? aligned : row_size >> 1;
      }
      case PLANAR_Y_ALIGNED: {
        const int aligned = (row_size + FRAME_ALIGN - 1) & ~(FRAME_ALIGN - 1);
        return aligned <= pitch ? aligned : row_size;
      }
      default: return row_size;
    }
  }
  int GetHeight(int plane = 0) const {
    return (plane == PLANAR_U || plane == PLANAR_V) ? (pitchUV ? height >> 1 : 0) : height;
  }
  const BYTE* GetReadPtr(int plane = 0) const {
    return vfb->data + GetOffset(plane);
  }
  bool IsWritable() const {
    return avs_atomic_load(&refcount) == 1 && avs_atomic_load(&vfb->refcount) == 1;
  }
  // A frame that others also hold cannot be written: no address then.
  BYTE* GetWritePtr(int plane = 0) const {
    if (plane != 0 && plane != PLANAR_Y) return IsWritable() ? vfb->data + GetOffset(plane) : 0;
    if (!IsWritable()) return 0;
    avs_atomic_increment(&vfb->sequence_number);
    return vfb->data + offset;
  }

 private:
  int GetOffset(int plane) const {
    switch (plane) {
      case PLANAR_U: return offsetU;
      case PLANAR_V: return offsetV;
      default: return offset;
    }
  }
};

class PVideoFrame {
 public:
  PVideoFrame() : p(0) {}
  PVideoFrame(const PVideoFrame& other) : p(other.p) { if (p) p->AddRef(); }
  PVideoFrame(VideoFrame* frame) : p(frame) { if (p) p->AddRef(); }
  ~PVideoFrame() { if (p) p->Release(); }
  PVideoFrame& operator=(VideoFrame* frame) { Set(frame); return *this; }
  PVideoFrame& operator=(const PVideoFrame& other) { Set(other.p); return *this; }

  VideoFrame* operator->() const { return p; }
  operator void*() const { return p; }
  bool operator!() const { return !p; }

 private:
  void Set(VideoFrame* frame) {
    if (frame) frame->AddRef();
    if (p) p->Release();
    p = frame;
  }
  VideoFrame* p;
};

class IClip {
  friend class PClip;
  friend class AVSValue;
  long refcnt;
  void AddRef() { avs_atomic_increment(&refcnt); }
  void Release() { if (avs_atomic_decrement(&refcnt) == 0) delete this; }

 public:
  IClip() : refcnt(0) {}
  // How many handles hold this clip; for hosts and their tests.
  long ReferenceCount() const { return avs_atomic_load(&refcnt); }

  virtual int AVS_STDCALL GetVersion() { return AVISYNTH_INTERFACE_VERSION; }
  virtual PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool AVS_STDCALL GetParity(int n) = 0;
  virtual void AVS_STDCALL GetAudio(void* buf, int64 start, int64 count,
                                    IScriptEnvironment* env) = 0;
  virtual void AVS_STDCALL SetCacheHints(int cachehints, int frame_range) = 0;
  virtual const VideoInfo& AVS_STDCALL GetVideoInfo() = 0;
  virtual AVS_STDCALL ~IClip() {}
};

class PClip {
 public:
  PClip() : p(0) {}
  PClip(const PClip& other) : p(other.p) { if (p) p->AddRef(); }
  PClip(IClip* clip) : p(clip) { if (p) p->AddRef(); }
  ~PClip() { if (p) p->Release(); }
  PClip& operator=(IClip* clip) { Set(clip); return *this; }
  PClip& operator=(const PClip& other) { Set(other.p); return *this; }

  IClip* operator->() const { return p; }
  operator void*() const { return p; }
  bool operator!() const { return !p; }

 private:
  friend class AVSValue;
  IClip* GetPointerWithAddRef() const { if (p) p->AddRef(); return p; }
  void Set(IClip* clip) {
    if (clip) clip->AddRef();
    if (p) p->Release();
    p = clip;
  }
  IClip* p;
};

class AVSValue {
 public:
  AVSValue() : type('v'), array_size(0) { clip = 0; }
  AVSValue(IClip* c) : type('c'), array_size(0) { clip = c; if (c) c->AddRef(); }
  AVSValue(const PClip& c) : type('c'), array_size(0) { clip = c.GetPointerWithAddRef(); }
  AVSValue(bool b) : type('b'), array_size(0) { clip = 0; boolean = b; }
  AVSValue(int i) : type('i'), array_size(0) { clip = 0; integer = i; }
  AVSValue(float f) : type('f'), array_size(0) { clip = 0; floating_pt = f; }
  AVSValue(double f) : type('f'), array_size(0) { clip = 0; floating_pt = float(f); }
  AVSValue(const char* s) : type('s'), array_size(0) { clip = 0; string = s; }
  // An array value points at elements that it does not own.
  AVSValue(const AVSValue* a, int size) : type('a'), array_size(short(size)) { clip = 0; array = a; }
  AVSValue(const AVSValue& other) : type('v'), array_size(0) { clip = 0; Assign(other); }
  ~AVSValue() { if (IsClip() && clip) clip->Release(); }
  AVSValue& operator=(const AVSValue& other) { Assign(other); return *this; }

  bool Defined() const { return type != 'v'; }
  bool IsClip() const { return type == 'c'; }
  bool IsBool() const { return type == 'b'; }
  bool IsInt() const { return type == 'i'; }
  bool IsFloat() const { return type == 'f' || type == 'i'; }
  bool IsString() const { return type == 's'; }
  bool IsArray() const { return type == 'a'; }

  PClip AsClip() const { return IsClip() ? PClip(clip) : PClip(); }
  bool AsBool() const { return boolean; }
  int AsInt() const { return integer; }
  const char* AsString() const { return IsString() ? string : 0; }
  double AsFloat() const { return IsInt() ? double(integer) : double(floating_pt); }

  int ArraySize() const { return IsArray() ? array_size : 1; }
  const AVSValue& operator[](int index) const {
    return (IsArray() && index < array_size) ? array[index] : *this;
  }

 private:
  void Assign(const AVSValue& other) {
    if (other.IsClip() && other.clip) other.clip->AddRef();
    if (IsClip() && clip) clip->Release();
    clip = other.clip;  // copies the whole pointer-sized payload
    type = other.type;
    array_size = other.array_size;
  }

  short type;  // 'v', 'c', 'b', 'i', 'f', 's' or 'a'
  short array_size;
  union {
    IClip* clip;
    bool boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVSValue* array;
  };
};

// The pass-through filter: every filter derives from it and replaces
// GetFrame; audio, parity and the clip description come from the child.
class GenericVideoFilter : public IClip {
 protected:
  PClip child;
  VideoInfo vi;

 public:
  GenericVideoFilter(const PClip& _child) : child(_child) { vi = child->GetVideoInfo(); }
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override {
    return child->GetFrame(n, env);
  }
  void AVS_STDCALL GetAudio(void* buf, int64 start, int64 count,
                            IScriptEnvironment* env) override {
    child->GetAudio(buf, start, count, env);
  }
  const VideoInfo& AVS_STDCALL GetVideoInfo() override { return vi; }
  bool AVS_STDCALL GetParity(int n) override { return child->GetParity(n); }
  void AVS_STDCALL SetCacheHints(int, int) override {}
};

typedef AVSValue(AVS_CDECL* ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);
typedef void(AVS_CDECL* ShutdownFunc)(void* user_data, IScriptEnvironment* env);

enum PlanarChromaAlignmentMode {
  PlanarChromaAlignmentOff,
  PlanarChromaAlignmentOn,
  PlanarChromaAlignmentTest,
};

class IScriptEnvironment {
 public:
  virtual AVS_STDCALL ~IScriptEnvironment() {}

  virtual int AVS_STDCALL GetCPUFlags() = 0;
  virtual char* AVS_STDCALL SaveString(const char* s, int length = -1) = 0;
  virtual char* AVS_CDECL Sprintf(const char* fmt, ...) = 0;
  virtual char* AVS_STDCALL VSprintf(const char* fmt, va_list val) = 0;
  // Raises a script error carrying the formatted text; never returns.
  virtual void AVS_CDECL ThrowError(const char* fmt, ...) = 0;

  class NotFound {};
  virtual void AVS_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                                       void* user_data) = 0;
  virtual bool AVS_STDCALL FunctionExists(const char* name) = 0;
  virtual AVSValue AVS_STDCALL Invoke(const char* name, const AVSValue args,
                                      const char** arg_names = 0) = 0;
  virtual AVSValue AVS_STDCALL GetVar(const char* name) = 0;
  virtual bool AVS_STDCALL SetVar(const char* name, const AVSValue& val) = 0;
  virtual bool AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& val) = 0;
  virtual void AVS_STDCALL PushContext(int level = 0) = 0;
  virtual void AVS_STDCALL PopContext() = 0;
  virtual PVideoFrame AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = FRAME_ALIGN) = 0;
  virtual bool AVS_STDCALL MakeWritable(PVideoFrame* pvf) = 0;
  virtual void AVS_STDCALL BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch,
                                  int row_size, int height) = 0;
  virtual void AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void AVS_STDCALL CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) = 0;
  virtual PVideoFrame AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                           int new_row_size, int new_height) = 0;
  virtual int AVS_STDCALL SetMemoryMax(int mem) = 0;
  virtual int AVS_STDCALL SetWorkingDir(const char* newdir) = 0;
  virtual void* AVS_STDCALL ManageCache(int key, void* data) = 0;
  virtual bool AVS_STDCALL PlanarChromaAlignment(PlanarChromaAlignmentMode key) = 0;
  virtual PVideoFrame AVS_STDCALL SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                                 int new_row_size, int new_height,
                                                 int rel_offsetU, int rel_offsetV,
                                                 int new_pitchUV) = 0;
};

#endif  // QUORVANT_HOST_AVISYNTH_H
