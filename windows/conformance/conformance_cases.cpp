#include "windows/conformance/conformance_cases.h"

#include <stdint.h>

#include "kernels/row_kernels.h"
#include "windows/conformance/pattern_clip.h"
#include "windows/conformance/test_environment.h"
#include "windows/runtime/c_runtime.h"

namespace quorvant::conformance {
namespace {

constexpr char kDescription[] = "Quorvant: functions to speed up Ormuth's Pendrask";
constexpr int kFrameNumber = 5;

constexpr int kMmxHost = CPUF_MMX | CPUF_INTEGER_SSE | CPUF_SSE;
constexpr int kSse2Host = kMmxHost | CPUF_SSE2;

enum class Operation { sign, subtractAndSign, shiftedMinimum, clamp, simpleAverage };

// The six script functions in registration order, with what the cases need
// to know of each: its operation, the class that names its messages, its
// walk and how many clips it takes.
struct ScriptFunction {
  const char* name;
  const char* params;
  Operation operation;
  const char* className;
  bool inPlaceWalk;
  int clipCount;
  const char* extraClips[2];  // the roles of the clips after the first
};

const ScriptFunction kFunctions[] = {
    {"SimpleAverage", "cc", Operation::simpleAverage, "SimpleAverage", false, 2, {"second", ""}},
    {"Clamp", "cccii", Operation::clamp, "Clamp", false, 3, {"upper", "lower"}},
    {"ShiftedMinimum", "cic", Operation::shiftedMinimum, "ShiftedMinimum", true, 2, {"limit", ""}},
    {"SubtractAndSign",
     "cc",
     Operation::subtractAndSign,
     "SubtractAndSign",
     true,
     2,
     {"second", ""}},
    {"Sign", "c", Operation::sign, "Sign", true, 1, {"", ""}},
    {"Unsign", "c", Operation::sign, "Sign", true, 1, {"", ""}},
};

// The construction messages of each class, in check order: pixel type, row
// width, CPU, then an extra clip's width and height.
enum MessageIndex { kNotYv12, kTooNarrow, kMissingCpu, kWidthsDiffer, kHeightsDiffer, kNoMessage };

struct ClassMessages {
  const char* className;
  const char* text[5];
};

const ClassMessages kMessages[] = {
    {"SimpleAverage",
     {"SimpleAverage requires YV12.", "SimpleAverage requires frame width at least 128.",
      "SimpleAverage requires MMX.", "SimpleAverage: widths do not match.",
      "SimpleAverage: heights do not match."}},
    {"Clamp",
     {"Clamp requires YV12.", "Clamp requires frame width at least 128.", "Clamp requires SSE.",
      "Clamp: widths do not match.", "Clamp: heights do not match."}},
    {"ShiftedMinimum",
     {"ShiftedMinimum requires YV12.", "ShiftedMinimum requires frame width at least 128.",
      "ShiftedMinimum requires MMX.", "ShiftedMinimum: widths do not match.",
      "ShiftedMinimum: heights do not match."}},
    {"SubtractAndSign",
     {"SubtractAndSign requires YV12.", "SubtractAndSign requires frame width at least 128.",
      "SubtractAndSign requires MMX.", "SubtractAndSign: widths do not match.",
      "SubtractAndSign: heights do not match."}},
    {"Sign",
     {"Sign requires YV12.", "Sign requires frame width at least 128.", "Sign requires MMX.",
      nullptr, nullptr}},
};

const ClassMessages& messagesOf(const ScriptFunction& f) {
  for (const ClassMessages& m : kMessages) {
    if (strcmp(m.className, f.className) == 0) return m;
  }
  return kMessages[0];
}

// Luma plane geometries: width, height, pitch.
struct Geometry {
  int width;
  int height;
  int pitch;
};

const Geometry kGeometries[] = {
    {128, 4, 128},    // narrowest accepted, pitch without slack
    {130, 3, 144},    // aligned width 144 past the row width
    {130, 1, 144},    // a single row
    {130, 2, 144},    // one grouped row and the last row
    {176, 5, 192},    // slack between the aligned width and the pitch
    {640, 2, 640},    // no tail for block width 64
    {720, 3, 752},    // no tail for block width 24
    {256, 256, 256},  // first clip = column, second = row: every byte pair
};

bool isEveryPairGeometry(const Geometry& g) { return g.width == 256 && g.height == 256; }

struct HostFlags {
  int flags;
  const char* name;
};

const HostFlags kHostFlags[] = {{kMmxHost, "MMX host"}, {kSse2Host, "SSE2 host"}};

// Script integers, as a script passes them: ShiftedMinimum's shift is
// `first`; Clamp's margins are `first` (upper) and `second` (lower).
struct Amounts {
  int first;
  int second;
};

const Amounts kNoAmounts[] = {{0, 0}};
const Amounts kShifts[] = {{20, 0}, {0, 0}, {300, 0}, {-1, 0}, {-20, 0}};
const Amounts kMargins[] = {{5, 10}, {0, 0}, {256, -1}, {-1, -1}};

template <int N>
int countOf(const Amounts (&)[N]) {
  return N;
}

void amountsFor(Operation operation, const Amounts** list, int* count) {
  switch (operation) {
    case Operation::shiftedMinimum:
      *list = kShifts;
      *count = countOf(kShifts);
      return;
    case Operation::clamp:
      *list = kMargins;
      *count = countOf(kMargins);
      return;
    default:
      *list = kNoAmounts;
      *count = 1;
      return;
  }
}

// A byte buffer from the C runtime, freed on leaving the scope.
class Bytes {
 public:
  explicit Bytes(size_t size) : bytes(static_cast<uint8_t*>(malloc(size ? size : 1))) {}
  ~Bytes() { free(bytes); }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;
  uint8_t* data() const { return bytes; }

 private:
  uint8_t* bytes;
};

VideoInfo clipInfo(int width, int height, int pixelType = VideoInfo::CS_YV12) {
  VideoInfo vi;
  memset(&vi, 0, sizeof vi);
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = 10;
  vi.pixel_type = pixelType;
  return vi;
}

// The argument array of a call: clips and integers in the order of the
// function's parameter string.
int buildArguments(const ScriptFunction& f, const PClip* clips, Amounts amounts, AVSValue* args) {
  int clip = 0;
  int integer = 0;
  int count = 0;
  for (const char* letter = f.params; *letter; ++letter) {
    if (*letter == 'c') {
      args[count++] = AVSValue(clips[clip++]);
    } else {
      args[count++] = AVSValue(integer++ == 0 ? amounts.first : amounts.second);
    }
  }
  return count;
}

// One output row by the scalar reference, from the input rows in argument order.
void referenceRow(Operation operation, uint8_t* dst, const uint8_t* const* in, int width,
                  Amounts amounts) {
  switch (operation) {
    case Operation::sign:
      sign_scalar(dst, in[0], width);
      return;
    case Operation::subtractAndSign:
      subtractAndSign_scalar(dst, in[0], in[1], width);
      return;
    case Operation::shiftedMinimum:
      shiftedMinimum_scalar(dst, in[0], in[1], width, uint8_t(amounts.first));
      return;
    case Operation::clamp:
      clamp_scalar(dst, in[0], in[1], in[2], width, uint8_t(amounts.first),
                   uint8_t(amounts.second));
      return;
    case Operation::simpleAverage:
      simpleAverage_scalar(dst, in[0], in[1], width);
      return;
  }
}

// The width that the walks cover in grouped rows: the row width rounded up
// to 16 when the pitch holds that, else the row width.
int alignedWidth(int width, int pitch) {
  const int rounded = (width + 15) & ~15;
  return rounded <= pitch ? rounded : width;
}

void fillLumaPlane(const PatternClip& clip, int n, const Geometry& g, uint8_t* plane) {
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.pitch; ++x) plane[y * g.pitch + x] = clip.lumaByte(n, x, y);
  }
}

// Writes over `expected` (the output frame's bytes before the call) the bytes
// that the function's walk writes: every row over the aligned width in the
// new-frame walk; in the in-place walk every row but the last over the
// aligned width and the last over the row width.
void expectLuma(const ScriptFunction& f, const Geometry& g, Amounts amounts,
                PatternClip* const* sources, uint8_t* expected) {
  const int planeSize = g.pitch * g.height;
  Bytes inputs(size_t(planeSize) * 3);
  for (int i = 0; i < f.clipCount; ++i) {
    fillLumaPlane(*sources[i], kFrameNumber, g, inputs.data() + i * planeSize);
  }
  const int aligned = alignedWidth(g.width, g.pitch);
  for (int y = 0; y < g.height; ++y) {
    const int width = (!f.inPlaceWalk || y < g.height - 1) ? aligned : g.width;
    const uint8_t* rows[3];
    for (int i = 0; i < f.clipCount; ++i) rows[i] = inputs.data() + i * planeSize + y * g.pitch;
    referenceRow(f.operation, expected + y * g.pitch, rows, width, amounts);
  }
}

LumaPattern patternFor(const Geometry& g, int clipIndex) {
  if (!isEveryPairGeometry(g)) return LumaPattern::hashed;
  if (clipIndex == 0) return LumaPattern::column;
  return clipIndex == 1 ? LumaPattern::row : LumaPattern::hashed;
}

// Checks that a host that is done with everything holds nothing any more.
void checkHostIsClean(Report& report, const TestEnvironment& env, const DestructionLog& log,
                      int clipsMade) {
  report.check(env.framesHeld() == 0,
               Text() << env.framesHeld() << " frame(s) still held after every handle was dropped");
  report.check(env.guardsIntact(), "a byte outside some frame's planes was written");
  report.check(log.count == clipsMade,
               Text() << log.count << " of " << clipsMade << " clips destroyed at the end");
  report.check(
      env.unexpectedCalls() == 0,
      Text() << env.unexpectedCalls() << " call(s) to host functions the plugin never needs");
}

const char* sharingName(FrameSharing sharing) {
  return sharing == FrameSharing::shared ? "source frame shared" : "source frame writable";
}

// --- registration ---

void registrationCase(PluginEntry entry, Report& report) {
  report.beginCase(Text() << "entry registers six functions and answers the description");
  TestEnvironment env(kSse2Host);
  const char* description = entry(&env);
  report.check(description && strcmp(description, kDescription) == 0,
               Text() << "description \"" << (description ? description : "(null)") << "\"");
  const int count = sizeof kFunctions / sizeof kFunctions[0];
  report.check(env.functionCount() == count, Text()
                                                 << env.functionCount() << " functions registered");
  for (int i = 0; i < count && i < env.functionCount(); ++i) {
    const RegisteredFunction& r = env.function(i);
    report.check(strcmp(r.name, kFunctions[i].name) == 0, Text() << "registration " << i << " is "
                                                                 << r.name << ", expected "
                                                                 << kFunctions[i].name);
    report.check(strcmp(r.params, kFunctions[i].params) == 0,
                 Text() << r.name << " has parameter string \"" << r.params << "\"");
    report.check(r.userData == nullptr, Text() << r.name << " has user data");
  }
  if (env.functionCount() == count) {
    report.check(env.function(4).apply == env.function(5).apply,
                 "Sign and Unsign are served by different creators");
  }
  report.check(env.newVideoFrameCalls() == 0 && env.unexpectedCalls() == 0,
               "the entry called the host for more than AddFunction");
  report.endCase();
}

// --- output bytes ---

struct OutputCase {
  const ScriptFunction* function;
  Geometry geometry;
  FrameSharing sharing;
  HostFlags host;
  Amounts amounts;
  bool sameClip;  // every clip argument is the first clip
};

void outputCase(PluginEntry entry, Report& report, const OutputCase& c) {
  const ScriptFunction& f = *c.function;
  const Geometry& g = c.geometry;
  report.beginCase(Text() << f.name << " " << g.width << "x" << g.height << " pitch " << g.pitch
                          << ", " << sharingName(c.sharing) << ", " << c.host.name << ", amounts "
                          << c.amounts.first << " " << c.amounts.second
                          << (c.sameClip ? ", one clip for every argument" : ""));
  TestEnvironment env(c.host.flags);
  entry(&env);
  env.setNewFramePitch(g.pitch);
  DestructionLog log;
  int clipsMade = 0;
  {
    const VideoInfo vi = clipInfo(g.width, g.height);
    PatternClip* sources[3] = {nullptr, nullptr, nullptr};
    PClip clips[3];
    for (int i = 0; i < f.clipCount; ++i) {
      if (c.sameClip && i > 0) {
        sources[i] = sources[0];
      } else {
        sources[i] = new PatternClip(env, vi, g.pitch, i + 1, patternFor(g, i), c.sharing, &log);
        ++clipsMade;
      }
      clips[i] = sources[i];
    }
    AVSValue args[5];
    const int count = buildArguments(f, clips, c.amounts, args);
    try {
      const AVSValue result = env.call(f.name, args, count);
      const PClip filter = result.AsClip();
      if (report.check(!!filter, "the creator returned no clip")) {
        const int framesBefore = env.newVideoFrameCalls();
        const PVideoFrame out = filter->GetFrame(kFrameNumber, &env);
        const bool expectNewFrame = !f.inPlaceWalk || c.sharing == FrameSharing::shared;
        report.check(env.newVideoFrameCalls() - framesBefore == (expectNewFrame ? 1 : 0),
                     Text() << env.newVideoFrameCalls() - framesBefore
                            << " NewVideoFrame call(s) for one GetFrame");
        const bool wroteIntoSource = out.operator->() == sources[0]->lastFrame();
        report.check(wroteIntoSource != expectNewFrame,
                     expectNewFrame ? "the output is not a new frame"
                                    : "a writable source frame was not written in place");

        const PlaneGeometry planes = planeGeometry(FrameLayout{g.width, g.height, g.pitch});
        Bytes luma(size_t(planes.lumaSize));
        Bytes chroma(size_t(2 * planes.chromaSize));
        if (expectNewFrame) {
          for (int i = 0; i < planes.lumaSize; ++i)
            luma.data()[i] = TestEnvironment::newFrameByte(i);
          for (int i = 0; i < 2 * planes.chromaSize; ++i) {
            chroma.data()[i] = TestEnvironment::newFrameByte(planes.lumaSize + i);
          }
        } else {
          fillLumaPlane(*sources[0], kFrameNumber, g, luma.data());
          for (int i = 0; i < 2 * planes.chromaSize; ++i) {
            chroma.data()[i] = sources[0]->chromaByte(kFrameNumber, i);
          }
        }
        expectLuma(f, g, c.amounts, sources, luma.data());
        report.check(out->GetPitch(PLANAR_Y) == g.pitch && out->GetRowSize(PLANAR_Y) == g.width &&
                         out->GetHeight(PLANAR_Y) == g.height,
                     "the output frame has another geometry");
        report.checkBytes(luma.data(), out->GetReadPtr(PLANAR_Y), size_t(planes.lumaSize), g.pitch,
                          "luma");
        report.checkBytes(chroma.data(), out->GetReadPtr(PLANAR_U), size_t(2 * planes.chromaSize),
                          planes.chromaPitch, "chroma");

        // A shared source frame is read, never written.
        if (c.sharing == FrameSharing::shared) {
          Bytes source(size_t(planes.lumaSize));
          for (int i = 0; i < f.clipCount; ++i) {
            fillLumaPlane(*sources[i], kFrameNumber, g, source.data());
            report.checkBytes(source.data(), sources[i]->lastFrame()->GetReadPtr(PLANAR_Y),
                              size_t(planes.lumaSize), g.pitch, "shared source luma");
          }
        }
      }
    } catch (const ScriptError& error) {
      report.check(false, Text() << "script error \"" << error.message << "\"");
    }
  }
  checkHostIsClean(report, env, log, clipsMade);
  report.endCase();
}

void outputCases(PluginEntry entry, Report& report) {
  const FrameSharing sharings[] = {FrameSharing::fresh, FrameSharing::shared};
  for (const ScriptFunction& f : kFunctions) {
    const Amounts* amounts = nullptr;
    int amountCount = 0;
    amountsFor(f.operation, &amounts, &amountCount);
    for (const HostFlags& host : kHostFlags) {
      for (FrameSharing sharing : sharings) {
        for (const Geometry& g : kGeometries) {
          for (int a = 0; a < amountCount; ++a) {
            outputCase(entry, report, OutputCase{&f, g, sharing, host, amounts[a], false});
          }
        }
        if (f.clipCount > 1) {
          outputCase(entry, report,
                     OutputCase{&f, kGeometries[1], sharing, host, amounts[0], true});
        }
      }
    }
  }
}

// --- construction messages ---

struct ClipShape {
  int width;
  int height;
  int pixelType;
};

constexpr int kYv12 = VideoInfo::CS_YV12;
constexpr int kI420 = VideoInfo::CS_I420;
constexpr int kYuy2 = VideoInfo::CS_YUY2;
constexpr int kBgr32 = VideoInfo::CS_BGR32;
// Passes the YV12 test by its bits without being YV12 or I420 exactly.
constexpr int kYv12BitsOnly = VideoInfo::CS_YV12 | VideoInfo::CS_I420;

constexpr ClipShape kGood = {128, 4, kYv12};

struct MessageCase {
  ClipShape first;
  ClipShape extras[2];
  int cpuFlags;  // 0 here: the host reports everything
  MessageIndex message;
  const char* situation;
  const char* extraRole = "";  // the extra clip that the situation changes
};

void messageCase(PluginEntry entry, Report& report, const ScriptFunction& f, const MessageCase& c) {
  const char* expected = c.message == kNoMessage ? nullptr : messagesOf(f).text[c.message];
  report.beginCase(Text() << f.name << " " << c.extraRole << c.situation << ": "
                          << (expected ? expected : "created"));
  TestEnvironment env(c.cpuFlags ? c.cpuFlags : kSse2Host);
  entry(&env);
  DestructionLog log;
  {
    PatternClip* sources[3] = {nullptr, nullptr, nullptr};
    PClip clips[3];
    for (int i = 0; i < f.clipCount; ++i) {
      const ClipShape& shape = i == 0 ? c.first : c.extras[i - 1];
      sources[i] = new PatternClip(env, clipInfo(shape.width, shape.height, shape.pixelType),
                                   (shape.width + 15) & ~15, i + 1, LumaPattern::hashed,
                                   FrameSharing::shared, &log);
      clips[i] = sources[i];
    }
    bool raised = false;
    bool created = false;
    const char* message = nullptr;
    {
      AVSValue args[5];
      const int count = buildArguments(f, clips, Amounts{1, 2}, args);
      try {
        const AVSValue result = env.call(f.name, args, count);
        created = !!result.AsClip();
      } catch (const ScriptError& error) {
        raised = true;
        message = error.message;
      }
    }
    if (expected) {
      report.check(raised && strcmp(message, expected) == 0,
                   Text() << "raised \"" << (message ? message : "nothing") << "\"");
    } else {
      report.check(!raised && created,
                   Text() << "not created: \"" << (message ? message : "no clip") << "\"");
    }
    // Every reference taken for the call is gone again: each clip is held by
    // this case's own handle alone.
    for (int i = 0; i < f.clipCount; ++i) {
      report.check(sources[i]->ReferenceCount() == 1, Text() << "clip " << i << " holds "
                                                             << long(sources[i]->ReferenceCount())
                                                             << " references after the call");
    }
    report.check(log.count == 0, "a clip was destroyed while the caller still held it");
  }
  report.check(env.newVideoFrameCalls() == 0, "construction asked for a frame");
  checkHostIsClean(report, env, log, f.clipCount);
  report.endCase();
}

void messageCases(PluginEntry entry, Report& report) {
  for (const ScriptFunction& f : kFunctions) {
    const bool isClamp = f.operation == Operation::clamp;
    const int withoutRequiredCpu = isClamp ? (CPUF_MMX | CPUF_INTEGER_SSE) : (CPUF_SSE | CPUF_SSE2);
    const MessageCase firstClipCases[] = {
        {{128, 4, kYuy2}, {kGood, kGood}, 0, kNotYv12, "first clip YUY2"},
        {{64, 4, kBgr32},
         {kGood, kGood},
         withoutRequiredCpu,
         kNotYv12,
         "first clip RGB, narrow, CPU missing"},
        {{128, 4, kYv12BitsOnly},
         {kGood, kGood},
         0,
         kTooNarrow,
         "pixel type with the YV12 bits but not YV12"},
        {{126, 4, kYv12}, {{126, 4, kYv12}, {126, 4, kYv12}}, 0, kTooNarrow, "width 126"},
        {{126, 4, kYv12}, {kGood, kGood}, withoutRequiredCpu, kTooNarrow, "width 126, CPU missing"},
        {kGood, {kGood, kGood}, withoutRequiredCpu, kMissingCpu, "CPU flag missing"},
        {kGood,
         {{130, 4, kYv12}, kGood},
         withoutRequiredCpu,
         kMissingCpu,
         "CPU flag missing, widths differ"},
        {kGood, {kGood, kGood}, 0, kNoMessage, "width 128"},
        {{128, 4, kI420}, {kGood, kGood}, 0, kNoMessage, "first clip I420"},
        {kGood,
         {{128, 4, kYuy2}, {128, 4, kBgr32}},
         0,
         kNoMessage,
         "extra clips of other pixel types, same size"},
    };
    for (const MessageCase& c : firstClipCases) messageCase(entry, report, f, c);
    if (isClamp) {
      messageCase(entry, report, f,
                  {kGood, {kGood, kGood}, CPUF_MMX, kMissingCpu, "MMX without SSE"});
    }

    for (int extra = 0; extra + 1 < f.clipCount; ++extra) {
      const ClipShape narrower = {126, 4, kYv12};
      const ClipShape taller = {128, 6, kYv12};
      const ClipShape bothDiffer = {130, 6, kYv12};
      const ClipShape changed[] = {narrower, taller, bothDiffer};
      const MessageIndex messages[] = {kWidthsDiffer, kHeightsDiffer, kWidthsDiffer};
      const char* situations[] = {" clip narrower", " clip taller", " clip differs in both"};
      for (int k = 0; k < 3; ++k) {
        MessageCase c = {kGood, {kGood, kGood}, 0, messages[k], situations[k], f.extraClips[extra]};
        c.extras[extra] = changed[k];
        messageCase(entry, report, f, c);
      }
    }
    if (isClamp) {
      messageCase(entry, report, f,
                  {kGood,
                   {{128, 6, kYv12}, {126, 4, kYv12}},
                   0,
                   kHeightsDiffer,
                   "upper clip taller, lower clip narrower"});
    }
  }
}

// --- host calls that raise inside GetFrame ---

void hostFailureCase(PluginEntry entry, Report& report, const ScriptFunction& f,
                     FrameSharing sharing) {
  report.beginCase(Text() << f.name << " GetFrame with a failing host call, "
                          << sharingName(sharing));
  TestEnvironment env(kSse2Host);
  entry(&env);
  DestructionLog log;
  const Geometry g = {130, 3, 144};
  {
    PClip clips[3];
    for (int i = 0; i < f.clipCount; ++i) {
      clips[i] = new PatternClip(env, clipInfo(g.width, g.height), g.pitch, i + 1,
                                 LumaPattern::hashed, sharing, &log);
    }
    AVSValue args[5];
    const int count = buildArguments(f, clips, Amounts{3, 4}, args);
    try {
      const PClip filter = env.call(f.name, args, count).AsClip();
      const bool newFrame = !f.inPlaceWalk || sharing == FrameSharing::shared;
      const int calls = f.clipCount + (newFrame ? 1 : 0);
      for (int k = 1; k <= calls; ++k) {
        env.failHostCall(k);
        const char* message = nullptr;
        try {
          const PVideoFrame out = filter->GetFrame(kFrameNumber + k, &env);
        } catch (const ScriptError& error) {
          message = error.message;
        }
        report.check(message == kInjectedFailure,
                     Text() << "host call " << k << " of " << calls
                            << " did not raise its error through GetFrame");
        if (sharing == FrameSharing::fresh) {
          report.check(env.framesHeld() == 0, Text() << "host call " << k << " failed: "
                                                     << env.framesHeld() << " frame(s) left held");
        }
      }
      env.failHostCall(0);
      const PVideoFrame out = filter->GetFrame(kFrameNumber, &env);
      report.check(!!out, "GetFrame after the failures answered no frame");
    } catch (const ScriptError& error) {
      report.check(false, Text() << "script error \"" << error.message << "\"");
    }
  }
  checkHostIsClean(report, env, log, f.clipCount);
  report.endCase();
}

// --- destruction by the host ---

void destructionCase(PluginEntry entry, Report& report, const ScriptFunction& f) {
  report.beginCase(Text() << f.name << " destroyed by the host's last handle");
  TestEnvironment env(kSse2Host);
  entry(&env);
  DestructionLog log;
  const Geometry g = {128, 2, 128};
  PatternClip* sources[3] = {nullptr, nullptr, nullptr};
  {
    AVSValue result;
    {
      PClip clips[3];
      for (int i = 0; i < f.clipCount; ++i) {
        sources[i] = new PatternClip(env, clipInfo(g.width, g.height), g.pitch, i + 1,
                                     LumaPattern::hashed, FrameSharing::fresh, &log);
        clips[i] = sources[i];
      }
      AVSValue args[5];
      const int count = buildArguments(f, clips, Amounts{7, 8}, args);
      try {
        result = env.call(f.name, args, count);
      } catch (const ScriptError& error) {
        report.check(false, Text() << "script error \"" << error.message << "\"");
      }
    }
    if (report.check(result.IsClip(), "no filter was created")) {
      for (int i = 0; i < f.clipCount; ++i) {
        report.check(sources[i]->ReferenceCount() == 1,
                     Text() << "clip " << i << " holds " << long(sources[i]->ReferenceCount())
                            << " references, expected the filter's one");
      }
      const PVideoFrame out = result.AsClip()->GetFrame(0, &env);
      report.check(log.count == 0, "a clip was destroyed while the filter held it");
    }
  }  // the host's last handle to the filter goes here
  report.check(log.count == f.clipCount,
               Text() << log.count << " of " << f.clipCount << " clips released by the filter");
  // Extra clips in reverse member order (their argument order), then the first clip.
  for (int i = 0; i < f.clipCount && i < log.count; ++i) {
    const int expectedId = i + 1 < f.clipCount ? f.clipCount - i : 1;
    report.check(log.ids[i] == expectedId, Text() << "release " << i << " was clip " << log.ids[i]
                                                  << ", expected clip " << expectedId);
  }
  checkHostIsClean(report, env, log, f.clipCount);
  report.endCase();
}

// --- the pass-through slots ---

void passThroughCase(PluginEntry entry, Report& report, const ScriptFunction& f) {
  report.beginCase(Text() << f.name << " passes version, description, parity and audio through");
  TestEnvironment env(kSse2Host);
  entry(&env);
  DestructionLog log;
  {
    VideoInfo firstInfo = clipInfo(128, 4);
    firstInfo.audio_samples_per_second = 48000;
    firstInfo.sample_type = 2;
    firstInfo.num_audio_samples = int64(1) << 35;
    firstInfo.nchannels = 2;
    VideoInfo extraInfo = clipInfo(128, 4, kYuy2);
    extraInfo.fps_numerator = 30000;
    extraInfo.fps_denominator = 1001;
    extraInfo.num_frames = 3;
    PatternClip* sources[3] = {nullptr, nullptr, nullptr};
    PClip clips[3];
    for (int i = 0; i < f.clipCount; ++i) {
      sources[i] = new PatternClip(env, i == 0 ? firstInfo : extraInfo, 128, i + 1,
                                   LumaPattern::hashed, FrameSharing::shared, &log);
      clips[i] = sources[i];
    }
    AVSValue args[5];
    const int count = buildArguments(f, clips, Amounts{1, 1}, args);
    try {
      const PClip filter = env.call(f.name, args, count).AsClip();
      report.check(filter->GetVersion() == 2, "GetVersion does not answer 2");
      report.check(memcmp(&filter->GetVideoInfo(), &firstInfo, sizeof firstInfo) == 0,
                   "GetVideoInfo differs from the first clip's description");
      for (int n = 0; n < 4; ++n) {
        report.check(filter->GetParity(n) == sources[0]->GetParity(n),
                     Text() << "GetParity(" << n << ") is not the first clip's");
      }
      const int64 start = (int64(1) << 33) + 5;
      uint8_t buffer[4] = {0, 0, 0, 0};
      filter->GetAudio(buffer, start, 42, &env);
      report.check(buffer[0] == 1 && sources[0]->lastAudioStart() == start &&
                       sources[0]->lastAudioCount() == 42,
                   "GetAudio did not reach the first clip with the same arguments");
      for (int i = 1; i < f.clipCount; ++i) {
        report.check(sources[i]->lastAudioStart() == -1, "GetAudio reached an extra clip");
      }
      filter->SetCacheHints(1, 10);
      report.check(env.hostCalls() == 0, "a pass-through slot fetched a frame");
    } catch (const ScriptError& error) {
      report.check(false, Text() << "script error \"" << error.message << "\"");
    }
  }
  checkHostIsClean(report, env, log, f.clipCount);
  report.endCase();
}

// --- Sign is its own inverse ---

void signTwiceCase(PluginEntry entry, Report& report, const char* secondName, const Geometry& g,
                   FrameSharing sharing) {
  report.beginCase(Text() << secondName << "(Sign(clip)) is the clip, " << g.width << "x"
                          << g.height << " pitch " << g.pitch << ", " << sharingName(sharing));
  TestEnvironment env(kMmxHost);
  entry(&env);
  env.setNewFramePitch(g.pitch);
  DestructionLog log;
  {
    PatternClip* source = new PatternClip(env, clipInfo(g.width, g.height), g.pitch, 1,
                                          LumaPattern::hashed, sharing, &log);
    const PClip clip(source);
    try {
      const AVSValue first[1] = {AVSValue(clip)};
      const AVSValue once = env.call("Sign", first, 1);
      const AVSValue second[1] = {once};
      const AVSValue twice = env.call(secondName, second, 1);
      const PVideoFrame out = twice.AsClip()->GetFrame(kFrameNumber, &env);
      Bytes expected(size_t(g.width));
      for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) expected.data()[x] = source->lumaByte(kFrameNumber, x, y);
        Text row;
        row << "luma row " << y;
        const uint8_t* actual = out->GetReadPtr(PLANAR_Y) + y * out->GetPitch(PLANAR_Y);
        if (!report.checkBytes(expected.data(), actual, size_t(g.width), 0, row.c_str())) break;
      }
    } catch (const ScriptError& error) {
      report.check(false, Text() << "script error \"" << error.message << "\"");
    }
  }
  checkHostIsClean(report, env, log, 1);
  report.endCase();
}

}  // namespace

void runConformanceCases(PluginEntry entry, Report& report) {
  registrationCase(entry, report);
  outputCases(entry, report);
  messageCases(entry, report);
  const FrameSharing sharings[] = {FrameSharing::fresh, FrameSharing::shared};
  for (const ScriptFunction& f : kFunctions) {
    for (FrameSharing sharing : sharings) hostFailureCase(entry, report, f, sharing);
    destructionCase(entry, report, f);
    passThroughCase(entry, report, f);
  }
  // Both names, on the narrow geometries of heights 1 to 4.
  const char* const secondNames[] = {"Sign", "Unsign"};
  for (const char* secondName : secondNames) {
    for (int g = 0; g < 4; ++g) {
      for (FrameSharing sharing : sharings) {
        signTwiceCase(entry, report, secondName, kGeometries[g], sharing);
      }
    }
  }
}

}  // namespace quorvant::conformance
