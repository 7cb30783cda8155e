// Counts conformance cases as they pass or fail and prints what failed. A
// case is one named situation with any number of checks; it passes when all
// of its checks hold. Needs nothing beyond the C runtime's printf.
#ifndef QUORVANT_WINDOWS_CONFORMANCE_REPORT_H
#define QUORVANT_WINDOWS_CONFORMANCE_REPORT_H

#include <stddef.h>
#include <stdint.h>

namespace quorvant::conformance {

// A short text built piece by piece, without formatting functions.
class Text {
 public:
  Text() { text[0] = '\0'; }
  Text& operator<<(const char* piece);
  Text& operator<<(long value);
  Text& operator<<(int value) { return *this << long(value); }
  const char* c_str() const { return text; }

 private:
  static constexpr int kCapacity = 200;
  char text[kCapacity];
  int length = 0;
};

class Report {
 public:
  void beginCase(const Text& name);
  // Records one check of the current case; prints the first few failures.
  bool check(bool holds, const Text& what);
  bool check(bool holds, const char* what) { return check(holds, Text() << what); }
  // Compares two byte ranges laid out as rows of `pitch` bytes and reports
  // the first difference by row and column.
  bool checkBytes(const uint8_t* expected, const uint8_t* actual, size_t size, int pitch,
                  const char* what);
  void endCase();

  int passed() const { return passedCases; }
  int failed() const { return failedCases; }
  // "N passed, M failed"
  void printSummary() const;

 private:
  static constexpr int kFailuresShownPerCase = 4;
  Text caseName;
  int failuresInCase = 0;
  int passedCases = 0;
  int failedCases = 0;
};

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_CONFORMANCE_REPORT_H
