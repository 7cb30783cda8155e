// YUV4MPEG2 (Y4M) streams of 8-bit 4:2:0 video: reading with a frame index
// (frames are read on demand, never the whole stream) and writing.
// Host-free: plain bytes and plane pointers only.
//
// Reading bytes held in memory (for example from a fuzzer):
//
//   quorvant::y4m::Y4MReader reader(quorvant::y4m::memorySource(data, size));
//   std::vector<uint8_t> frame(reader.format().frameBytes());
//   for (int n = 0; n < reader.frameCount(); ++n)
//     reader.readFrame(n, quorvant::y4m::packedPlanes(reader.format(), frame.data()));
//
// The constructor and readFrame throw quorvant::y4m::FormatError, whose text
// says what is wrong with the stream; nothing else is thrown for bad input.
// memorySource does not copy: the bytes must outlive the reader.
#ifndef QUORVANT_EMBEDDED_HOST_Y4M_H
#define QUORVANT_EMBEDDED_HOST_Y4M_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvant::y4m {

class FormatError : public std::runtime_error {
 public:
  explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

// Largest side, and largest luma area, of a frame the reader accepts.
constexpr int kMaxSide = 16384;
constexpr int64_t kMaxArea = int64_t(8192) * 8192;

// What a stream header says. Chroma planes are (width / 2) x (height / 2):
// only even sizes are accepted.
struct Format {
  int width = 0;
  int height = 0;
  uint32_t fpsNumerator = 25;
  uint32_t fpsDenominator = 1;

  size_t lumaBytes() const { return size_t(width) * size_t(height); }
  size_t chromaBytes() const { return size_t(width / 2) * size_t(height / 2); }
  size_t frameBytes() const { return lumaBytes() + 2 * chromaBytes(); }
};

// Where one plane of a frame lies: row 0 and the step between rows.
struct Plane {
  uint8_t* data;
  ptrdiff_t pitch;
};
struct ConstPlane {
  const uint8_t* data;
  ptrdiff_t pitch;
};
struct Planes {
  Plane y, u, v;
};
struct ConstPlanes {
  ConstPlane y, u, v;
};

// The planes of a frame packed one after another (Y, U, V, rows without gaps)
// in a buffer of format.frameBytes() bytes, as in the stream itself.
Planes packedPlanes(const Format& format, uint8_t* buffer);

// Random access to the bytes of a stream.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Copies up to `count` bytes from `offset`; answers how many were copied,
  // fewer only at the end of the stream. Throws FormatError on a read error.
  virtual size_t readAt(uint64_t offset, uint8_t* into, size_t count) = 0;
};

// Bytes in memory, not copied.
std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size);
// A file, "-" being standard input. Input that cannot be read at random
// (a pipe, a terminal) is first copied to an unnamed temporary file, so that
// memory use does not grow with the stream. Throws FormatError.
std::unique_ptr<ByteSource> fileSource(const std::string& path);

class Y4MReader {
 public:
  // Reads the stream header and indexes every frame (its header is checked
  // and its data skipped). Refuses a malformed or unsupported header, absurd
  // sizes, a stream without frames and a truncated last frame.
  explicit Y4MReader(std::unique_ptr<ByteSource> source);

  const Format& format() const { return streamFormat; }
  int frameCount() const { return int(frameOffsets.size()); }

  // Copies frame n (0 <= n < frameCount()) into the planes, row by row over
  // the format's widths. The sources above read at absolute offsets, so
  // several threads may read frames at once.
  void readFrame(int n, const Planes& into) const;

 private:
  std::unique_ptr<ByteSource> source;
  Format streamFormat;
  std::vector<uint64_t> frameOffsets;  // where each frame's data begins
};

// The stream header line that Y4MWriter writes for a format.
std::string streamHeader(const Format& format);

// Writes a stream to a stdio stream that the caller owns. Throws
// std::runtime_error with the system's reason when a write fails.
class Y4MWriter {
 public:
  Y4MWriter(std::FILE* out, const Format& format);
  void writeFrame(const ConstPlanes& planes);

 private:
  void write(const uint8_t* data, size_t count);
  std::FILE* out;
  Format format;
};

}  // namespace quorvant::y4m

#endif  // QUORVANT_EMBEDDED_HOST_Y4M_H
