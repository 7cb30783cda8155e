// The five luma operations over whole planes: each is its walk with one row
// kernel, usable without a host. The first plane sets the geometry; the
// destination may be the first plane itself (in-place walk) or a plane of
// the same size. `row` is the chosen form of the operation's row kernel.
#ifndef QUORVANT_FILTERS_LUMA_PLANES_H
#define QUORVANT_FILTERS_LUMA_PLANES_H

#include "kernels/plane_view.h"
#include "kernels/row_kernels.h"

namespace quorvant {

// Bytes per unrolled block of each operation: the block span of a row is a
// whole number of these, the rest of the aligned width is its tail.
constexpr int kSimpleAverageBlockWidth = 64;
constexpr int kClampBlockWidth = 24;
constexpr int kShiftedMinimumBlockWidth = 56;
constexpr int kSubtractAndSignBlockWidth = 24;
constexpr int kSignBlockWidth = 56;

// In-place walk.
void signPlane(const PlaneView& src, const MutablePlaneView& dst, SignRow row);
void subtractAndSignPlane(const PlaneView& first, const PlaneView& second,
                          const MutablePlaneView& dst, SubtractAndSignRow row);
void shiftedMinimumPlane(const PlaneView& src, const PlaneView& limit,
                         const MutablePlaneView& dst, uint8_t shift, ShiftedMinimumRow row);

// New-frame walk.
void clampPlane(const PlaneView& src, const PlaneView& upper, const PlaneView& lower,
                const MutablePlaneView& dst, uint8_t upperMargin, uint8_t lowerMargin,
                ClampRow row);
void simpleAveragePlane(const PlaneView& first, const PlaneView& second,
                        const MutablePlaneView& dst, SimpleAverageRow row);

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_LUMA_PLANES_H
