// The two ways a filter visits a luma plane. Both take the geometry from the
// first clip's frame and hand whole row spans to a row function:
//  - new-frame walk: every row over the aligned width;
//  - in-place walk: every row but the last over the aligned width, the last
//    row over exactly the row width (the bytes past it may belong to nothing).
// Row functions compute each byte from the input bytes at its own index, so
// the order in which a row is covered does not change what is written.
#ifndef QUORVANT_FILTERS_PLANE_WALKS_H
#define QUORVANT_FILTERS_PLANE_WALKS_H

#include "kernels/plane_view.h"

namespace quorvant {

struct WalkGeometry {
  int rowWidth;      // W: bytes of luma in a row
  int alignedWidth;  // A: W rounded up to 16 when the pitch holds that, else W
  int blockSpan;     // B: whole blocks of the filter's block width within W
  int tailSpan;      // T = A - B, covered after the blocks
  int height;        // H: rows
};

// Geometry of a frame's luma plane for a block width (a multiple of 8).
// Negative widths and heights count as 0.
WalkGeometry walkGeometry(int rowWidth, int pitch, int height, int blockWidth);

// Limits the geometry to what every other plane of the call holds, so that a
// frame smaller than the first clip's is never read or written past its rows:
// rows beyond any plane's height are skipped, and when a plane's row width is
// below W or its pitch below A (in a walk of more than one row), the spans
// shrink to what all of them hold. Frames of equal size change nothing.
WalkGeometry fitGeometry(WalkGeometry geometry, const PlaneView& plane);

// Runs row(y, width) for every row y, ascending, with width A.
template <class Row>
void walkNewFrame(const WalkGeometry& geometry, const Row& row) {
  for (int y = 0; y < geometry.height; ++y) row(y, geometry.alignedWidth);
}

// Runs groupedRow(y, A) for rows 0 to H - 2, then lastRow(H - 1, W).
template <class GroupedRow, class LastRow>
void walkInPlace(const WalkGeometry& geometry, const GroupedRow& groupedRow,
                 const LastRow& lastRow) {
  if (geometry.height <= 0) return;
  for (int y = 0; y < geometry.height - 1; ++y) groupedRow(y, geometry.alignedWidth);
  lastRow(geometry.height - 1, geometry.rowWidth);
}

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_PLANE_WALKS_H
