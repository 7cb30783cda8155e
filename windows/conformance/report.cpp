#include "windows/conformance/report.h"

#include "windows/runtime/c_runtime.h"

namespace quorvant::conformance {

Text& Text::operator<<(const char* piece) {
  while (*piece && length < kCapacity - 1) text[length++] = *piece++;
  text[length] = '\0';
  return *this;
}

Text& Text::operator<<(long value) {
  char digits[24];
  int count = 0;
  const bool negative = value < 0;
  unsigned long magnitude =
      negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    digits[count++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits[count++] = '-';
  char reversed[24];
  for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
  reversed[count] = '\0';
  return *this << reversed;
}

void Report::beginCase(const Text& name) {
  caseName = name;
  failuresInCase = 0;
}

bool Report::check(bool holds, const Text& what) {
  if (holds) return true;
  if (failuresInCase < kFailuresShownPerCase) {
    printf("FAIL %s: %s\n", caseName.c_str(), what.c_str());
    flushOutput();
  }
  ++failuresInCase;
  return false;
}

bool Report::checkBytes(const uint8_t* expected, const uint8_t* actual, size_t size, int pitch,
                        const char* what) {
  for (size_t i = 0; i < size; ++i) {
    if (expected[i] != actual[i]) {
      const long row = pitch > 0 ? long(i) / pitch : 0;
      const long column = pitch > 0 ? long(i) % pitch : long(i);
      return check(false, Text() << what << ": row " << row << " column " << column << " holds "
                                 << int(actual[i]) << ", expected " << int(expected[i]));
    }
  }
  return true;
}

void Report::endCase() {
  if (failuresInCase == 0) {
    ++passedCases;
  } else {
    ++failedCases;
  }
}

void Report::printSummary() const {
  printf("%d passed, %d failed\n", passedCases, failedCases);
  flushOutput();
}

}  // namespace quorvant::conformance
