// A plane laid out as the host lays out a luma plane: rows of a given width,
// pitch rounded up to 16, start aligned to 64, filled with pseudo-random bytes
// so that no kernel sees only one value.
#ifndef QUORVANT_BENCH_PLANE_BUFFER_H
#define QUORVANT_BENCH_PLANE_BUFFER_H

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "kernels/plane_view.h"

namespace quorvant::bench {

class PlaneBuffer {
 public:
  PlaneBuffer(int rowWidth, int height, uint64_t seed);

  PlaneView view() const { return PlaneView{bytes.get(), pitch, rowWidth, height}; }
  MutablePlaneView mutableView() { return MutablePlaneView{bytes.get(), pitch, rowWidth, height}; }

  const int rowWidth;
  const int pitch;
  const int height;

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> bytes;
};

// Writes pseudo-random bytes (xorshift64, from seed) over `count` bytes.
void fillRandom(uint8_t* bytes, size_t count, uint64_t seed);

}  // namespace quorvant::bench

#endif  // QUORVANT_BENCH_PLANE_BUFFER_H
