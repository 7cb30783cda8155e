// Reads a fuzzer's input as a stream of small decisions. Once the bytes run
// out every read answers zero, so any input, even an empty one, is a case.
#ifndef QUORVANT_FUZZ_FUZZ_INPUT_H
#define QUORVANT_FUZZ_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>

namespace quorvant::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

  uint8_t byte() { return position < size ? data[position++] : 0; }

  uint16_t word() {
    const uint16_t low = byte();
    return uint16_t(low | (byte() << 8));
  }

  uint32_t dword() {
    const uint32_t low = word();
    return low | (uint32_t(word()) << 16);
  }

  // A value in [low, high] (high - low below 65536).
  int inRange(int low, int high) { return low + int(word() % uint32_t(high - low + 1)); }

  bool flag() { return byte() & 1; }

  size_t remaining() const { return size - position; }
  const uint8_t* rest() const { return data + position; }

 private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

}  // namespace quorvant::fuzz

#endif  // QUORVANT_FUZZ_FUZZ_INPUT_H
