#include "embedded_host/environment.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "embedded_host/plugin_library.h"

namespace quorvant::host {

// A frame object of the pool: the shared layout followed by nothing private.
struct Environment::PoolFrame : VideoFrame {};

// A buffer of the pool; its data is 64-byte aligned (beyond the frame alignment).
struct Environment::PoolBuffer : VideoFrameBuffer {
  struct Free {
    void operator()(BYTE* p) const { std::free(p); }
  };
  std::unique_ptr<BYTE, Free> storage;
  int capacity = 0;
};

namespace {

int roundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

std::string format(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (length < 0) return fmt;
  std::string text(size_t(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), fmt, args);
  text.resize(size_t(length));
  return text;
}

// One item of a parameter string: a type letter, optional '*' (any number)
// or '+' (one or more); items with a [name] are optional and only named.
struct ParamItem {
  char type;
  char repeat;  // 0, '*' or '+'
};

std::vector<ParamItem> positionalItems(const std::string& params) {
  std::vector<ParamItem> items;
  for (size_t i = 0; i < params.size();) {
    bool named = false;
    if (params[i] == '[') {
      const size_t close = params.find(']', i);
      if (close == std::string::npos) break;
      named = true;
      i = close + 1;
      if (i >= params.size()) break;
    }
    ParamItem item{params[i++], 0};
    if (i < params.size() && (params[i] == '*' || params[i] == '+')) item.repeat = params[i++];
    if (!named) items.push_back(item);
  }
  return items;
}

bool valueHasType(const AVSValue& value, char type) {
  switch (type) {
    case 'c': return value.IsClip();
    case 'i': return value.IsInt();
    case 'f': return value.IsFloat();
    case 's': return value.IsString();
    case 'b': return value.IsBool();
    case '.': return value.Defined();
    default: return false;
  }
}

bool matchFrom(const std::vector<ParamItem>& items, size_t item,
               const std::vector<AVSValue>& args, size_t arg) {
  if (item == items.size()) return arg == args.size();
  const ParamItem& p = items[item];
  if (!p.repeat) {
    return arg < args.size() && valueHasType(args[arg], p.type) &&
           matchFrom(items, item + 1, args, arg + 1);
  }
  // A repeated item takes as many as it can, then gives back as needed.
  size_t end = arg;
  while (end < args.size() && valueHasType(args[end], p.type)) ++end;
  const size_t least = p.repeat == '+' ? arg + 1 : arg;
  for (size_t stop = end + 1; stop-- > least;) {
    if (matchFrom(items, item + 1, args, stop)) return true;
  }
  return false;
}

}  // namespace

Environment::Environment() = default;

Environment::~Environment() {
  for (auto it = atExit.rbegin(); it != atExit.rend(); ++it) it->first(it->second, this);
  // Values may hold clips whose code lives in a plugin: drop them first.
  variables.clear();
  table.clear();
  plugins.clear();
}

int Environment::GetCPUFlags() { return cpuFlags; }

char* Environment::SaveString(const char* s, int length) {
  std::lock_guard<std::mutex> lock(poolMutex);
  savedStrings.emplace_back(length < 0 ? std::string(s) : std::string(s, size_t(length)));
  return savedStrings.back().data();
}

char* Environment::Sprintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char* text = VSprintf(fmt, args);
  va_end(args);
  return text;
}

char* Environment::VSprintf(const char* fmt, va_list val) {
  const std::string text = format(fmt, val);
  return SaveString(text.c_str(), int(text.size()));
}

void Environment::ThrowError(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = format(fmt, args);
  va_end(args);
  throw ScriptError(message);
}

void Environment::AddFunction(const char* name, const char* params, ApplyFunc apply,
                              void* user_data) {
  table.push_back(RegisteredFunction{name, params, apply, user_data});
}

bool Environment::FunctionExists(const char* name) { return findFunction(name) != nullptr; }

const RegisteredFunction* Environment::findFunction(const std::string& name) const {
  const std::string wanted = lowerCase(name);
  // The latest registration of a name wins, as when a script loads a plugin twice.
  for (auto it = table.rbegin(); it != table.rend(); ++it) {
    if (lowerCase(it->name) == wanted) return &*it;
  }
  return nullptr;
}

bool Environment::argumentsMatch(const std::string& params, const std::vector<AVSValue>& args) {
  return matchFrom(positionalItems(params), 0, args, 0);
}

AVSValue Environment::call(const std::string& name, const std::vector<AVSValue>& args) {
  const RegisteredFunction* function = findFunction(name);
  if (!function) throw ScriptError("there is no function named \"" + name + "\"");
  if (!argumentsMatch(function->params, args)) {
    throw ScriptError("invalid arguments to function \"" + function->name + "\"");
  }
  // The array value points at the elements without owning them.
  const AVSValue packed(args.data(), int(args.size()));
  return function->apply(packed, function->userData, this);
}

AVSValue Environment::Invoke(const char* name, const AVSValue args, const char** arg_names) {
  if (!findFunction(name)) throw IScriptEnvironment::NotFound();
  std::vector<AVSValue> list;
  if (args.IsArray()) {
    for (int i = 0; i < args.ArraySize(); ++i) {
      if (arg_names && arg_names[i]) throw ScriptError("named arguments are not supported");
      list.push_back(args[i]);
    }
  } else if (args.Defined()) {
    list.push_back(args);
  }
  return call(name, list);
}

AVSValue Environment::GetVar(const char* name) {
  const auto it = variables.find(lowerCase(name));
  if (it == variables.end()) throw IScriptEnvironment::NotFound();
  return it->second;
}

bool Environment::SetVar(const char* name, const AVSValue& val) {
  const bool created = variables.find(lowerCase(name)) == variables.end();
  variables[lowerCase(name)] = val;
  return created;
}

bool Environment::SetGlobalVar(const char* name, const AVSValue& val) { return SetVar(name, val); }

void Environment::PushContext(int) {}
void Environment::PopContext() {}

VideoFrameBuffer* Environment::takeBuffer(int size) {
  for (auto& buffer : poolBuffers) {
    if (avs_atomic_load(&buffer->refcount) == 0 && buffer->capacity >= size) {
      buffer->data_size = size;
      buffer->refcount = 1;
      return buffer.get();
    }
  }
  auto buffer = std::make_unique<PoolBuffer>();
  const size_t bytes = size_t(roundUp(size > 0 ? size : 1, 64));
  buffer->storage.reset(static_cast<BYTE*>(std::aligned_alloc(64, bytes)));
  if (!buffer->storage) ThrowError("NewVideoFrame: out of memory");
  std::memset(buffer->storage.get(), 0, bytes);
  buffer->data = buffer->storage.get();
  buffer->capacity = size;
  buffer->data_size = size;
  buffer->sequence_number = 0;
  buffer->refcount = 1;
  poolBuffers.push_back(std::move(buffer));
  return poolBuffers.back().get();
}

VideoFrame* Environment::takeFrame(VideoFrameBuffer* buffer, int offset, int pitch, int rowSize,
                                   int height, int offsetU, int offsetV, int pitchUV) {
  PoolFrame* frame = nullptr;
  for (auto& candidate : poolFrames) {
    if (avs_atomic_load(&candidate->refcount) == 0) {
      frame = candidate.get();
      break;
    }
  }
  if (!frame) {
    poolFrames.push_back(std::make_unique<PoolFrame>());
    frame = poolFrames.back().get();
  }
  frame->refcount = 0;  // the handle that receives it counts the first reference
  frame->vfb = buffer;
  frame->offset = offset;
  frame->pitch = pitch;
  frame->row_size = rowSize;
  frame->height = height;
  frame->offsetU = offsetU;
  frame->offsetV = offsetV;
  frame->pitchUV = pitchUV;
  return frame;
}

PVideoFrame Environment::NewVideoFrame(const VideoInfo& vi, int align) {
  hostCall("NewVideoFrame");
  if (vi.width < 0 || vi.height < 0 || vi.width > (1 << 16) || vi.height > (1 << 16)) {
    ThrowError("NewVideoFrame: unsupported frame size %dx%d", vi.width, vi.height);
  }
  const int alignment = std::max(align, int(FRAME_ALIGN));
  const bool planar = vi.IsYV12();
  const int rowSize = planar ? vi.width : vi.RowSize();
  const int pitch = roundUp(rowSize, alignment) + extraPitch;
  const int rowSizeUV = planar ? vi.width / 2 : 0;
  const int pitchUV = planar ? roundUp(rowSizeUV, alignment) + extraPitch / 2 : 0;
  const int heightUV = planar ? vi.height / 2 : 0;
  const int offsetU = roundUp(pitch * vi.height, alignment);
  const int offsetV = roundUp(offsetU + pitchUV * heightUV, alignment);
  const int size = offsetV + pitchUV * heightUV;

  PVideoFrame result;
  {
    std::lock_guard<std::mutex> lock(poolMutex);
    VideoFrameBuffer* buffer = takeBuffer(size);
    result = takeFrame(buffer, 0, pitch, rowSize, vi.height, planar ? offsetU : 0,
                       planar ? offsetV : 0, pitchUV);
  }
  if (frameFill) {
    BYTE* data = result->vfb->data;
    std::memset(data, frameFill->luma, size_t(pitch) * size_t(vi.height));
    if (planar) std::memset(data + offsetU, frameFill->chroma, size_t(size - offsetU));
  }
  return result;
}

bool Environment::MakeWritable(PVideoFrame* pvf) {
  const PVideoFrame& source = *pvf;
  if (source->IsWritable()) return false;
  PVideoFrame copy;
  {
    std::lock_guard<std::mutex> lock(poolMutex);
    VideoFrameBuffer* buffer = takeBuffer(source->vfb->data_size);
    copy = takeFrame(buffer, source->offset, source->pitch, source->row_size, source->height,
                     source->offsetU, source->offsetV, source->pitchUV);
  }
  std::memcpy(copy->vfb->data, source->vfb->data, size_t(source->vfb->data_size));
  *pvf = copy;
  return true;
}

void Environment::BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch,
                         int row_size, int height) {
  for (int y = 0; y < height; ++y) {
    std::memcpy(dstp + ptrdiff_t(y) * dst_pitch, srcp + ptrdiff_t(y) * src_pitch, size_t(row_size));
  }
}

void Environment::AtExit(ShutdownFunc function, void* user_data) {
  atExit.emplace_back(function, user_data);
}

void Environment::CheckVersion(int version) {
  if (version > AVISYNTH_INTERFACE_VERSION) {
    ThrowError("Plugin was designed for a later version of the host (%d)", version);
  }
}

PVideoFrame Environment::Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                  int new_row_size, int new_height) {
  std::lock_guard<std::mutex> lock(poolMutex);
  avs_atomic_increment(&src->vfb->refcount);
  return takeFrame(src->vfb, src->offset + rel_offset, new_pitch, new_row_size, new_height, 0, 0,
                   0);
}

PVideoFrame Environment::SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                        int new_row_size, int new_height, int rel_offsetU,
                                        int rel_offsetV, int new_pitchUV) {
  std::lock_guard<std::mutex> lock(poolMutex);
  avs_atomic_increment(&src->vfb->refcount);
  return takeFrame(src->vfb, src->offset + rel_offset, new_pitch, new_row_size, new_height,
                   src->offsetU + rel_offsetU, src->offsetV + rel_offsetV, new_pitchUV);
}

int Environment::SetMemoryMax(int mem) { return mem; }
int Environment::SetWorkingDir(const char*) { return -1; }
void* Environment::ManageCache(int, void*) { return nullptr; }
bool Environment::PlanarChromaAlignment(PlanarChromaAlignmentMode) { return true; }

std::string Environment::loadPlugin(const std::string& path) {
  auto library = std::make_unique<PluginLibrary>(path);
  PluginLibrary& loaded = *library;
  plugins.push_back(std::move(library));
  return loaded.initialise(this);
}

void Environment::failHostCall(long number) {
  std::lock_guard<std::mutex> lock(faultMutex);
  failAt = number;
  callCount = 0;
}

long Environment::hostCalls() const {
  std::lock_guard<std::mutex> lock(faultMutex);
  return callCount;
}

void Environment::hostCall(const char* what) {
  bool fail;
  {
    std::lock_guard<std::mutex> lock(faultMutex);
    fail = ++callCount == failAt;
  }
  if (fail) ThrowError("%s: injected failure", what);
}

FramePoolStats Environment::poolStats() const {
  std::lock_guard<std::mutex> lock(poolMutex);
  FramePoolStats stats;
  stats.frames = poolFrames.size();
  stats.buffers = poolBuffers.size();
  for (const auto& frame : poolFrames) stats.framesInUse += avs_atomic_load(&frame->refcount) != 0;
  for (const auto& buffer : poolBuffers) {
    stats.buffersInUse += avs_atomic_load(&buffer->refcount) != 0;
  }
  return stats;
}

}  // namespace quorvant::host
