// Fuzzes the Y4M reader with arbitrary bytes. A stream it refuses must be
// refused with FormatError alone; a stream it accepts must be indexed within
// the bytes it has, read frame by frame into buffers of exactly the frame's
// size, and survive a round trip: written out again and read back, it gives
// the same format and the same frames.
#include <stddef.h>
#include <stdint.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "embedded_host/y4m.h"
#include "fuzz/fuzz_check.h"

namespace quorvant::fuzz {
namespace {

using y4m::Format;
using y4m::Y4MReader;

// Every frame of a stream, packed, one after another.
std::vector<uint8_t> readAllFrames(const Y4MReader& reader) {
  const size_t frameBytes = reader.format().frameBytes();
  std::vector<uint8_t> frames;
  for (int n = 0; n < reader.frameCount(); ++n) {
    // A buffer of its own per frame, so that the sanitizer sees any byte
    // written past the frame.
    std::unique_ptr<uint8_t[]> frame(new uint8_t[frameBytes]);
    reader.readFrame(n, y4m::packedPlanes(reader.format(), frame.get()));
    frames.insert(frames.end(), frame.get(), frame.get() + frameBytes);
  }
  return frames;
}

std::vector<uint8_t> writeStream(const Format& format, const std::vector<uint8_t>& frames) {
  char* text = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  QUORVANT_FUZZ_CHECK(out != nullptr, "open_memstream");
  {
    y4m::Y4MWriter writer(out, format);
    std::vector<uint8_t> frame(format.frameBytes());
    for (size_t at = 0; at < frames.size(); at += frame.size()) {
      std::copy(frames.begin() + ptrdiff_t(at), frames.begin() + ptrdiff_t(at + frame.size()),
                frame.begin());
      const y4m::Planes planes = y4m::packedPlanes(format, frame.data());
      writer.writeFrame(y4m::ConstPlanes{{planes.y.data, planes.y.pitch},
                                         {planes.u.data, planes.u.pitch},
                                         {planes.v.data, planes.v.pitch}});
    }
  }
  std::fclose(out);
  std::vector<uint8_t> bytes(text, text + length);
  std::free(text);
  return bytes;
}

void fuzzReader(const uint8_t* data, size_t size) {
  std::unique_ptr<Y4MReader> reader;
  try {
    reader = std::make_unique<Y4MReader>(y4m::memorySource(data, size));
  } catch (const y4m::FormatError&) {
    return;  // refused, as it should be, with a message
  }
  const Format format = reader->format();
  QUORVANT_FUZZ_CHECK(
      format.width > 0 && format.height > 0 && format.width % 2 == 0 && format.height % 2 == 0,
      "accepted a frame size of %dx%d", format.width, format.height);
  QUORVANT_FUZZ_CHECK(format.fpsNumerator > 0 && format.fpsDenominator > 0,
                      "accepted a frame rate of %u:%u", format.fpsNumerator, format.fpsDenominator);
  QUORVANT_FUZZ_CHECK(reader->frameCount() > 0, "accepted a stream without frames");
  // Each frame takes its data and at least "FRAME\n" from the input.
  QUORVANT_FUZZ_CHECK(uint64_t(reader->frameCount()) * (format.frameBytes() + 6) <= size,
                      "%d frames of %zu bytes indexed in %zu bytes", reader->frameCount(),
                      format.frameBytes(), size);

  const std::vector<uint8_t> frames = readAllFrames(*reader);
  const std::vector<uint8_t> written = writeStream(format, frames);
  Y4MReader again(y4m::memorySource(written.data(), written.size()));
  QUORVANT_FUZZ_CHECK(again.format().width == format.width &&
                          again.format().height == format.height &&
                          again.format().fpsNumerator == format.fpsNumerator &&
                          again.format().fpsDenominator == format.fpsDenominator,
                      "the format changed in a round trip");
  QUORVANT_FUZZ_CHECK(again.frameCount() == reader->frameCount(),
                      "%d frames became %d in a round trip", reader->frameCount(),
                      again.frameCount());
  QUORVANT_FUZZ_CHECK(readAllFrames(again) == frames, "frames changed in a round trip");
}

}  // namespace
}  // namespace quorvant::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvant::fuzz::fuzzReader(data, size);
  return 0;
}
