#include "filters/plane_walks.h"

namespace quorvant {

WalkGeometry walkGeometry(int rowWidth, int pitch, int height, int blockWidth) {
  WalkGeometry g;
  g.rowWidth = rowWidth > 0 ? rowWidth : 0;
  g.height = height > 0 ? height : 0;
  // Rounded up to 16 in 64 bits so that a width near the int limit cannot wrap.
  const long long rounded = (static_cast<long long>(g.rowWidth) + 15) & ~15LL;
  g.alignedWidth = rounded <= pitch ? static_cast<int>(rounded) : g.rowWidth;
  g.blockSpan = blockWidth > 0 ? g.rowWidth / blockWidth * blockWidth : 0;
  g.tailSpan = g.alignedWidth - g.blockSpan;
  return g;
}

WalkGeometry fitGeometry(WalkGeometry g, const PlaneView& plane) {
  if (plane.height < g.height) g.height = plane.height > 0 ? plane.height : 0;
  int width = plane.rowWidth > 0 ? plane.rowWidth : 0;
  if (width < g.rowWidth) {
    g.rowWidth = width;
    g.alignedWidth = width;
  }
  // Grouped rows reach the aligned width; beyond a plane's pitch that would
  // be the next row, or nothing after the last one.
  if (g.alignedWidth > g.rowWidth && g.alignedWidth > plane.pitch) g.alignedWidth = g.rowWidth;
  if (g.blockSpan > g.rowWidth) g.blockSpan = g.rowWidth;
  g.tailSpan = g.alignedWidth - g.blockSpan;
  return g;
}

}  // namespace quorvant
