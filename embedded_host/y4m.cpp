#include "embedded_host/y4m.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace quorvant::y4m {
namespace {

constexpr std::string_view kStreamMagic = "YUV4MPEG2";
constexpr std::string_view kFrameMagic = "FRAME";
// Header lines longer than this are refused rather than searched further.
constexpr size_t kMaxHeaderLine = 4096;
// Frame headers are nearly always "FRAME\n": look at a few bytes first.
constexpr size_t kFirstLook = 64;

std::string systemReason() { return std::strerror(errno); }

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* bytes, size_t count) : bytes(bytes), count(count) {}
  uint64_t size() const override { return count; }
  size_t readAt(uint64_t offset, uint8_t* into, size_t wanted) override {
    if (offset >= count) return 0;
    const size_t available = std::min(wanted, size_t(count - offset));
    std::memcpy(into, bytes + offset, available);
    return available;
  }

 private:
  const uint8_t* bytes;
  size_t count;
};

// A regular file (or an unlinked temporary copy of a pipe), read with pread.
class FileSource : public ByteSource {
 public:
  FileSource(int fd, uint64_t length) : fd(fd), length(length) {}
  ~FileSource() override { ::close(fd); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t size() const override { return length; }
  size_t readAt(uint64_t offset, uint8_t* into, size_t wanted) override {
    size_t done = 0;
    while (done < wanted) {
      const ssize_t got = ::pread(fd, into + done, wanted - done, off_t(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw FormatError("read error: " + systemReason());
      if (got == 0) break;
      done += size_t(got);
    }
    return done;
  }

 private:
  int fd;
  uint64_t length;
};

// Copies everything `input` yields into an unlinked file in $TMPDIR (or
// /tmp) and answers that file, positioned nowhere in particular.
int spoolToTemporaryFile(int input, uint64_t& length) {
  const char* directory = std::getenv("TMPDIR");
  std::string name =
      std::string(directory && *directory ? directory : "/tmp") + "/quorvant-input-XXXXXX";
  const int spool = ::mkstemp(name.data());
  if (spool < 0) {
    throw FormatError("cannot buffer the input in a temporary file: " + systemReason());
  }
  ::unlink(name.c_str());
  std::vector<uint8_t> chunk(1 << 16);
  length = 0;
  for (;;) {
    const ssize_t got = ::read(input, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const std::string why = systemReason();
      ::close(spool);
      throw FormatError("read error: " + why);
    }
    if (got == 0) break;
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = ::write(spool, chunk.data() + written, size_t(got - written));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) {
        const std::string why = systemReason();
        ::close(spool);
        throw FormatError("cannot buffer the input in a temporary file: " + why);
      }
      written += put;
    }
    length += uint64_t(got);
  }
  return spool;
}

enum class LineEnd { newline, endOfInput, tooLong };

// Reads the line that starts at `offset` into `line` (without its '\n'); when
// there is no end of line, `line` holds what was read.
LineEnd readLine(ByteSource& source, uint64_t offset, std::string& line) {
  for (size_t look = kFirstLook;; look = kMaxHeaderLine) {
    line.resize(look);
    const size_t got = source.readAt(offset, reinterpret_cast<uint8_t*>(line.data()), look);
    const size_t end = line.find('\n');
    if (end < got) {
      line.resize(end);
      return LineEnd::newline;
    }
    line.resize(got);
    if (got < look) return LineEnd::endOfInput;
    if (look == kMaxHeaderLine) return LineEnd::tooLong;
  }
}

// Whether `line` (maybe cut short) begins with `magic` followed by a space or
// by nothing, as far as it goes.
bool beginsWithTag(std::string_view line, std::string_view magic) {
  const std::string_view head = line.substr(0, magic.size());
  return magic.substr(0, head.size()) == head &&
         (line.size() <= magic.size() || line[magic.size()] == ' ');
}

// A decimal number of at most 10 digits, no sign; false if it is anything else.
bool parseNumber(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + uint64_t(c - '0');
  }
  return true;
}

// Bytes as they may appear in a message: printable ones as they are.
std::string printable(std::string_view text) {
  constexpr size_t kShown = 32;
  std::string shown;
  for (const char c : text.substr(0, kShown)) {
    if (c >= 0x20 && c < 0x7F) {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(uint8_t(c)));
      shown += escaped;
    }
  }
  if (text.size() > kShown) shown += "...";
  return shown;
}

bool isSupportedChroma(std::string_view tag) {
  return tag == "420" || tag == "420jpeg" || tag == "420mpeg2" || tag == "420paldv";
}

// Parses the stream header line, whose magic the caller has checked.
Format parseStreamHeader(std::string_view line) {
  Format format;
  bool haveWidth = false;
  bool haveHeight = false;
  uint64_t width = 0;
  uint64_t height = 0;
  size_t at = kStreamMagic.size();
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    const std::string_view item = line.substr(at, end - at);
    at = end + 1;
    if (item.empty()) continue;
    const std::string_view value = item.substr(1);
    switch (item[0]) {
      case 'W':
        if (!parseNumber(value, width)) {
          throw FormatError("malformed header: bad width \"" + printable(item) + "\"");
        }
        haveWidth = true;
        break;
      case 'H':
        if (!parseNumber(value, height)) {
          throw FormatError("malformed header: bad height \"" + printable(item) + "\"");
        }
        haveHeight = true;
        break;
      case 'F': {
        const size_t colon = value.find(':');
        uint64_t numerator = 0;
        uint64_t denominator = 0;
        if (colon == std::string_view::npos || !parseNumber(value.substr(0, colon), numerator) ||
            !parseNumber(value.substr(colon + 1), denominator) || numerator == 0 ||
            denominator == 0 || numerator > UINT32_MAX || denominator > UINT32_MAX) {
          throw FormatError("malformed header: bad frame rate \"" + printable(item) + "\"");
        }
        format.fpsNumerator = uint32_t(numerator);
        format.fpsDenominator = uint32_t(denominator);
        break;
      }
      case 'C':
        if (!isSupportedChroma(value)) {
          throw FormatError("unsupported chroma format \"" + printable(item) +
                            "\": only 8-bit 4:2:0 (C420, C420jpeg, C420mpeg2, C420paldv) is read");
        }
        break;
      default:  // interlacing, aspect ratio, comments and unknown tags play no part
        break;
    }
  }
  if (!haveWidth || !haveHeight) {
    throw FormatError(std::string("malformed header: no ") +
                      (haveWidth ? "height (H)" : "width (W)"));
  }
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width == 0 || height == 0) throw FormatError("frame size " + size + " is empty");
  if (width > uint64_t(kMaxSide) || height > uint64_t(kMaxSide) ||
      int64_t(width * height) > kMaxArea) {
    throw FormatError("frame size " + size + " is too large (at most " + std::to_string(kMaxSide) +
                      " a side and " + std::to_string(kMaxArea) + " pixels)");
  }
  if (width % 2 != 0 || height % 2 != 0) {
    throw FormatError("frame size " + size + " is odd: 4:2:0 frames need even sizes");
  }
  format.width = int(width);
  format.height = int(height);
  return format;
}

// Reads one plane of `width` x `height` bytes starting at `offset`.
void readPlane(ByteSource& source, uint64_t offset, int width, int height, const Plane& into,
               int frame) {
  const size_t rowBytes = size_t(width);
  size_t got = 0;
  size_t wanted = rowBytes * size_t(height);
  if (into.pitch == ptrdiff_t(rowBytes)) {
    got = source.readAt(offset, into.data, wanted);
  } else {
    for (int y = 0; y < height; ++y) {
      const size_t row = source.readAt(offset + uint64_t(y) * rowBytes,
                                       into.data + ptrdiff_t(y) * into.pitch, rowBytes);
      got += row;
      if (row < rowBytes) break;
    }
  }
  if (got < wanted) {
    throw FormatError("frame " + std::to_string(frame) +
                      " is cut short (the input changed after it was opened?)");
  }
}

}  // namespace

Planes packedPlanes(const Format& format, uint8_t* buffer) {
  uint8_t* u = buffer + format.lumaBytes();
  uint8_t* v = u + format.chromaBytes();
  return Planes{{buffer, format.width}, {u, format.width / 2}, {v, format.width / 2}};
}

std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size) {
  return std::make_unique<MemorySource>(data, size);
}

std::unique_ptr<ByteSource> fileSource(const std::string& path) {
  const bool standardInput = path == "-";
  const int fd = standardInput ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FormatError("cannot open: " + systemReason());
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const std::string why = systemReason();
    ::close(fd);
    throw FormatError("cannot open: " + why);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    throw FormatError("cannot open: it is a directory");
  }
  if (S_ISREG(info.st_mode)) return std::make_unique<FileSource>(fd, uint64_t(info.st_size));
  uint64_t length = 0;
  int spool = -1;
  try {
    spool = spoolToTemporaryFile(fd, length);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return std::make_unique<FileSource>(spool, length);
}

Y4MReader::Y4MReader(std::unique_ptr<ByteSource> byteSource) : source(std::move(byteSource)) {
  std::string line;
  const LineEnd headerEnd = readLine(*source, 0, line);
  if (line.empty() && headerEnd == LineEnd::endOfInput) throw FormatError("the input is empty");
  if (!beginsWithTag(line, kStreamMagic) ||
      (headerEnd == LineEnd::newline && line.size() < kStreamMagic.size())) {
    throw FormatError("not a Y4M stream: it does not begin with \"YUV4MPEG2 \"");
  }
  if (headerEnd == LineEnd::endOfInput) {
    throw FormatError("truncated: the stream header has no end of line");
  }
  if (headerEnd == LineEnd::tooLong) {
    throw FormatError("malformed header: no end of line in its first " +
                      std::to_string(kMaxHeaderLine) + " bytes");
  }
  streamFormat = parseStreamHeader(line);
  const uint64_t total = source->size();
  const uint64_t frameBytes = streamFormat.frameBytes();
  uint64_t offset = line.size() + 1;
  while (offset < total) {
    const int frame = frameCount();
    if (frame == INT_MAX) {
      throw FormatError("too many frames (more than " + std::to_string(INT_MAX) + ")");
    }
    const std::string where = "frame " + std::to_string(frame);
    const LineEnd end = readLine(*source, offset, line);
    if (!beginsWithTag(line, kFrameMagic) ||
        (end == LineEnd::newline && line.size() < kFrameMagic.size())) {
      throw FormatError("malformed " + where + ": expected \"FRAME\" at byte " +
                        std::to_string(offset) + ", found \"" + printable(line) + "\"");
    }
    if (end == LineEnd::endOfInput) {
      throw FormatError("truncated: " + where + " has an incomplete header");
    }
    if (end == LineEnd::tooLong) {
      throw FormatError("malformed " + where + ": no end of line in its header's first " +
                        std::to_string(kMaxHeaderLine) + " bytes");
    }
    const uint64_t dataStart = offset + line.size() + 1;
    const uint64_t available = total - dataStart;
    if (available < frameBytes) {
      throw FormatError("truncated: " + where + " has " + std::to_string(available) + " of " +
                        std::to_string(frameBytes) + " bytes");
    }
    frameOffsets.push_back(dataStart);
    offset = dataStart + frameBytes;
  }
  if (frameOffsets.empty()) throw FormatError("the stream has no frames");
}

void Y4MReader::readFrame(int n, const Planes& into) const {
  if (n < 0 || n >= frameCount()) {
    throw FormatError("frame " + std::to_string(n) + " does not exist (the stream has " +
                      std::to_string(frameCount()) + ")");
  }
  const Format& f = streamFormat;
  const uint64_t start = frameOffsets[size_t(n)];
  readPlane(*source, start, f.width, f.height, into.y, n);
  readPlane(*source, start + f.lumaBytes(), f.width / 2, f.height / 2, into.u, n);
  readPlane(*source, start + f.lumaBytes() + f.chromaBytes(), f.width / 2, f.height / 2, into.v, n);
}

std::string streamHeader(const Format& format) {
  return "YUV4MPEG2 W" + std::to_string(format.width) + " H" + std::to_string(format.height) +
         " F" + std::to_string(format.fpsNumerator) + ":" + std::to_string(format.fpsDenominator) +
         " Ip A0:0 C420jpeg\n";
}

Y4MWriter::Y4MWriter(std::FILE* stream, const Format& streamFormat)
    : out(stream), format(streamFormat) {
  const std::string header = streamHeader(format);
  write(reinterpret_cast<const uint8_t*>(header.data()), header.size());
}

void Y4MWriter::writeFrame(const ConstPlanes& planes) {
  write(reinterpret_cast<const uint8_t*>("FRAME\n"), 6);
  const auto writePlane = [this](const ConstPlane& plane, int width, int height) {
    for (int y = 0; y < height; ++y) write(plane.data + ptrdiff_t(y) * plane.pitch, size_t(width));
  };
  writePlane(planes.y, format.width, format.height);
  writePlane(planes.u, format.width / 2, format.height / 2);
  writePlane(planes.v, format.width / 2, format.height / 2);
}

void Y4MWriter::write(const uint8_t* data, size_t count) {
  if (std::fwrite(data, 1, count, out) != count) {
    throw std::runtime_error("write error: " + systemReason());
  }
}

}  // namespace quorvant::y4m
