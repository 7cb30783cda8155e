#include "bench/plane_buffer.h"

#include <cstring>
#include <new>

namespace quorvant::bench {

namespace {

int pitchFor(int rowWidth) { return (rowWidth + 15) & ~15; }

}  // namespace

PlaneBuffer::PlaneBuffer(int width, int rows, uint64_t seed)
    : rowWidth(width), pitch(pitchFor(width)), height(rows) {
  const size_t size = (size_t(pitch) * size_t(height) + 63) & ~size_t(63);
  bytes.reset(static_cast<uint8_t*>(std::aligned_alloc(64, size > 0 ? size : 64)));
  if (!bytes) throw std::bad_alloc();
  fillRandom(bytes.get(), size, seed);
}

void fillRandom(uint8_t* bytes, size_t count, uint64_t seed) {
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(bytes + i, &state, 8);
  }
  for (; i < count; ++i) bytes[i] = uint8_t(state >> (8 * (i % 8)));
}

}  // namespace quorvant::bench
