#include "filters/luma_planes.h"

#include "filters/plane_walks.h"

namespace quorvant {
namespace {

// Geometry from the first plane, fitted to every other plane of the call.
template <class... Others>
WalkGeometry geometryFor(const PlaneView& first, int blockWidth, const Others&... others) {
  WalkGeometry g = walkGeometry(first.rowWidth, first.pitch, first.height, blockWidth);
  ((g = fitGeometry(g, others)), ...);
  return g;
}

}  // namespace

void signPlane(const PlaneView& src, const MutablePlaneView& dst, SignRow row) {
  const WalkGeometry g = geometryFor(src, kSignBlockWidth, dst.readOnly());
  walkInPlace(
      g, [&](int y, int width) { row(dst.row(y), src.row(y), width); },
      [&](int y, int width) { sign_scalar(dst.row(y), src.row(y), width); });
}

void subtractAndSignPlane(const PlaneView& first, const PlaneView& second,
                          const MutablePlaneView& dst, SubtractAndSignRow row) {
  const WalkGeometry g = geometryFor(first, kSubtractAndSignBlockWidth, second, dst.readOnly());
  walkInPlace(
      g, [&](int y, int width) { row(dst.row(y), first.row(y), second.row(y), width); },
      [&](int y, int width) {
        subtractAndSign_scalar(dst.row(y), first.row(y), second.row(y), width);
      });
}

void shiftedMinimumPlane(const PlaneView& src, const PlaneView& limit,
                         const MutablePlaneView& dst, uint8_t shift, ShiftedMinimumRow row) {
  const WalkGeometry g = geometryFor(src, kShiftedMinimumBlockWidth, limit, dst.readOnly());
  walkInPlace(
      g, [&](int y, int width) { row(dst.row(y), src.row(y), limit.row(y), width, shift); },
      [&](int y, int width) {
        shiftedMinimum_scalar(dst.row(y), src.row(y), limit.row(y), width, shift);
      });
}

void clampPlane(const PlaneView& src, const PlaneView& upper, const PlaneView& lower,
                const MutablePlaneView& dst, uint8_t upperMargin, uint8_t lowerMargin,
                ClampRow row) {
  const WalkGeometry g = geometryFor(src, kClampBlockWidth, upper, lower, dst.readOnly());
  walkNewFrame(g, [&](int y, int width) {
    row(dst.row(y), src.row(y), upper.row(y), lower.row(y), width, upperMargin, lowerMargin);
  });
}

void simpleAveragePlane(const PlaneView& first, const PlaneView& second,
                        const MutablePlaneView& dst, SimpleAverageRow row) {
  const WalkGeometry g = geometryFor(first, kSimpleAverageBlockWidth, second, dst.readOnly());
  walkNewFrame(g, [&](int y, int width) { row(dst.row(y), first.row(y), second.row(y), width); });
}

}  // namespace quorvant
