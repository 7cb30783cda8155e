// Scalar forms: the reference for every vector form, one byte per step.
#include "kernels/row_kernels.h"

namespace quorvant {

// out = src XOR 0x80: offset-128 form to signed bytes and back.
void sign_scalar(uint8_t* dst, const uint8_t* src, int width) {
  for (int x = 0; x < width; ++x) dst[x] = uint8_t(src[x] ^ 0x80);
}

// out = clamp(first - second, -128, 127) as a two's-complement byte.
void subtractAndSign_scalar(uint8_t* dst, const uint8_t* first, const uint8_t* second,
                            int width) {
  for (int x = 0; x < width; ++x) {
    int d = int(first[x]) - int(second[x]);
    d = d < -128 ? -128 : (d > 127 ? 127 : d);
    dst[x] = uint8_t(d);
  }
}

// out = min(src + shift, limit), the sum taken without wrap-around.
void shiftedMinimum_scalar(uint8_t* dst, const uint8_t* src, const uint8_t* limit, int width,
                           uint8_t shift) {
  for (int x = 0; x < width; ++x) {
    const int raised = int(src[x]) + shift;
    dst[x] = raised < limit[x] ? uint8_t(raised) : limit[x];
  }
}

// out = max(min(src, min(upper + upperMargin, 255)), max(lower - lowerMargin, 0)).
void clamp_scalar(uint8_t* dst, const uint8_t* src, const uint8_t* upper, const uint8_t* lower,
                  int width, uint8_t upperMargin, uint8_t lowerMargin) {
  for (int x = 0; x < width; ++x) {
    const int high = upper[x] + upperMargin > 255 ? 255 : upper[x] + upperMargin;
    const int low = lower[x] - lowerMargin < 0 ? 0 : lower[x] - lowerMargin;
    const int capped = src[x] < high ? src[x] : high;
    dst[x] = uint8_t(capped > low ? capped : low);
  }
}

// out = (first + second + 1) >> 1: the average, an exact half rounded up.
void simpleAverage_scalar(uint8_t* dst, const uint8_t* first, const uint8_t* second, int width) {
  for (int x = 0; x < width; ++x) dst[x] = uint8_t((first[x] + second[x] + 1) >> 1);
}

}  // namespace quorvant
