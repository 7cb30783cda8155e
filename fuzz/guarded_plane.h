// A plane in its own heap block between two guard zones. The guards hold a
// known pattern, checked afterwards, and under AddressSanitizer they are also
// poisoned, so that a read or write next to the plane stops at once; the
// block's own end is watched by the sanitizer as well.
#ifndef QUORVANT_FUZZ_GUARDED_PLANE_H
#define QUORVANT_FUZZ_GUARDED_PLANE_H

#include <stddef.h>
#include <stdint.h>

#include <cstring>
#include <memory>
#include <vector>

#include "kernels/plane_view.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANT_FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUORVANT_FUZZ_ASAN 1
#endif
#if defined(QUORVANT_FUZZ_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace quorvant::fuzz {

struct PlaneGeometry {
  int rowWidth;
  int pitch;
  int height;
};

class GuardedPlane {
 public:
  static constexpr size_t kGuardBytes = 64;
  static constexpr uint8_t kGuardByte = 0xE7;

  // `content` gives the plane's bytes; its size is the plane's extent.
  GuardedPlane(const PlaneGeometry& geometry, const std::vector<uint8_t>& content)
      : geometry(geometry),
        extent(content.size()),
        block(new uint8_t[kGuardBytes + extent + kGuardBytes]) {
    std::memset(block.get(), kGuardByte, kGuardBytes);
    if (extent > 0) std::memcpy(start(), content.data(), extent);
    std::memset(start() + extent, kGuardByte, kGuardBytes);
    poison(true);
  }
  ~GuardedPlane() { poison(false); }
  GuardedPlane(const GuardedPlane&) = delete;
  GuardedPlane& operator=(const GuardedPlane&) = delete;

  PlaneView view() const {
    return PlaneView{start(), geometry.pitch, geometry.rowWidth, geometry.height};
  }
  MutablePlaneView mutableView() {
    return MutablePlaneView{start(), geometry.pitch, geometry.rowWidth, geometry.height};
  }

  std::vector<uint8_t> content() const { return std::vector<uint8_t>(start(), start() + extent); }

  bool guardsIntact() const {
    poison(false);
    bool intact = true;
    for (size_t i = 0; i < kGuardBytes; ++i)
      intact = intact && block[i] == kGuardByte && start()[extent + i] == kGuardByte;
    poison(true);
    return intact;
  }

 private:
  uint8_t* start() const { return block.get() + kGuardBytes; }

  void poison(bool on) const {
#if defined(QUORVANT_FUZZ_ASAN)
    if (on) {
      ASAN_POISON_MEMORY_REGION(block.get(), kGuardBytes);
      ASAN_POISON_MEMORY_REGION(start() + extent, kGuardBytes);
    } else {
      ASAN_UNPOISON_MEMORY_REGION(block.get(), kGuardBytes + extent + kGuardBytes);
    }
#else
    (void)on;
#endif
  }

  PlaneGeometry geometry;
  size_t extent;
  std::unique_ptr<uint8_t[]> block;
};

}  // namespace quorvant::fuzz

#endif  // QUORVANT_FUZZ_GUARDED_PLANE_H
