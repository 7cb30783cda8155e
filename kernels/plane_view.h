// A view of one 8-bit plane: start of row 0, pitch, row width and height.
// Walks and kernels see frames only through views; no host type enters here.
#ifndef QUORVANT_KERNELS_PLANE_VIEW_H
#define QUORVANT_KERNELS_PLANE_VIEW_H

#include <stddef.h>
#include <stdint.h>

namespace quorvant {

struct PlaneView {
  const uint8_t* data;
  int pitch;
  int rowWidth;
  int height;

  const uint8_t* row(int y) const { return data + ptrdiff_t(y) * pitch; }
};

struct MutablePlaneView {
  uint8_t* data;
  int pitch;
  int rowWidth;
  int height;

  uint8_t* row(int y) const { return data + ptrdiff_t(y) * pitch; }
  PlaneView readOnly() const { return PlaneView{data, pitch, rowWidth, height}; }
};

}  // namespace quorvant

#endif  // QUORVANT_KERNELS_PLANE_VIEW_H
