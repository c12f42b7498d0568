// The bounded string layer: every operation refuses rather than overflow.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "factory/bounded_string.h"
#include "tests/support/alloc_failure.h"
#include "tests/support/debug_capture.h"

namespace {

using namespace rodarove;

// Guard bytes around a buffer show any write past its size.
struct Guarded {
  char bytes[48];
  Guarded() { std::memset(bytes, '#', sizeof bytes); }
  char* buf() { return bytes + 8; }
  bool GuardsIntact(int size) const {
    for (int i = 0; i < 8; ++i)
      if (bytes[i] != '#') return false;
    for (int i = 8 + size; i < static_cast<int>(sizeof bytes); ++i)
      if (bytes[i] != '#') return false;
    return true;
  }
};

int32_t Format(char* buf, int32_t size, int32_t count, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int32_t r = BoundedStringTable.SafeVFormat(buf, size, count, fmt, &args);
  va_end(args);
  return r;
}

TEST(BoundedString, CopyIsAllOrNothing) {
  Guarded g;
  EXPECT_EQ(Copy(g.buf(), 4, "abc"), 1);
  EXPECT_STREQ(g.buf(), "abc");
  std::strcpy(g.buf(), "zz");
  EXPECT_EQ(Copy(g.buf(), 3, "abc"), 0);
  EXPECT_STREQ(g.buf(), "zz");
  EXPECT_EQ(Copy(nullptr, 4, "a"), 0);
  EXPECT_EQ(Copy(g.buf(), 0, "a"), 0);
  EXPECT_EQ(Copy(g.buf(), 4, nullptr), 0);
  EXPECT_TRUE(g.GuardsIntact(4));
}

TEST(BoundedString, CopyNPadsLikeStrncpyAndTerminates) {
  Guarded g;
  EXPECT_EQ(CopyN(g.buf(), 4, "abcdef", 3), 1);
  EXPECT_STREQ(g.buf(), "abc");
  EXPECT_EQ(CopyN(g.buf(), 3, "abcdef", 3), 0);
  std::memset(g.buf(), 'x', 8);
  EXPECT_EQ(CopyN(g.buf(), 8, "ab", 4), 1);
  EXPECT_EQ(std::memcmp(g.buf(), "ab\0\0\0", 5), 0);
  EXPECT_EQ(g.buf()[5], 'x');
  EXPECT_EQ(CopyN(g.buf(), 8, "ab", 0), 0);
  EXPECT_TRUE(g.GuardsIntact(8));
}

TEST(BoundedString, AppendRefusesWhatDoesNotFit) {
  Guarded g;
  std::strcpy(g.buf(), "abc");
  EXPECT_EQ(Append(g.buf(), 6, "de"), 1);
  EXPECT_STREQ(g.buf(), "abcde");
  std::strcpy(g.buf(), "abc");
  EXPECT_EQ(Append(g.buf(), 5, "de"), 0);
  EXPECT_STREQ(g.buf(), "abc");
  std::memset(g.buf(), 'u', 6);  // no terminator within its size
  EXPECT_EQ(Append(g.buf(), 6, "x"), 0);
  EXPECT_EQ(BoundedStringTable.SafeAppend(g.buf(), 6, "x"), kErange);
  EXPECT_TRUE(g.GuardsIntact(6));
}

TEST(BoundedString, PrimitivesAnswerErrorNumbers) {
  Guarded g;
  std::strcpy(g.buf(), "keep");
  EXPECT_EQ(BoundedStringTable.SafeCopy(g.buf(), 0, "a"), kErange);
  EXPECT_EQ(BoundedStringTable.SafeAppend(g.buf(), 0, "a"), kErange);
  EXPECT_EQ(BoundedStringTable.SafeCopy(nullptr, 10, "a"), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeAppend(nullptr, 10, "a"), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopy(g.buf(), 10, nullptr), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopy(g.buf(), 4, "abcd"), kErange);
  EXPECT_STREQ(g.buf(), "keep");
  EXPECT_EQ(BoundedStringTable.SafeAppend(g.buf(), 8, "abcd"), kErange);
  EXPECT_EQ(BoundedStringTable.SafeAppend(g.buf(), 9, "abcd"), 0);
  EXPECT_STREQ(g.buf(), "keepabcd");
  EXPECT_EQ(BoundedStringTable.SafeCopyN(g.buf(), 8, "0123456789", 10), kEinval);
  EXPECT_STREQ(g.buf(), "") << "a count beyond the size empties the destination";
  EXPECT_EQ(BoundedStringTable.SafeCopyN(g.buf(), 8, "0123456789", 7), 0);
  EXPECT_STREQ(g.buf(), "0123456");
  EXPECT_TRUE(g.GuardsIntact(9));
}

TEST(BoundedString, FormattingCutsReportsAndTerminates) {
  Guarded g;
  EXPECT_EQ(Format(g.buf(), 8, -1, "%s", "abcdefghij"), -1);
  EXPECT_STREQ(g.buf(), "abcdefg");
  EXPECT_EQ(Format(g.buf(), 8, -1, "%d", 1234567), 7) << "exactly fits: not a cut";
  EXPECT_STREQ(g.buf(), "1234567");
  EXPECT_EQ(Format(g.buf(), 8, 3, "%s", "abcdef"), -1);
  EXPECT_STREQ(g.buf(), "abc");
  EXPECT_EQ(Format(g.buf(), 8, 0, "%s", "a"), -1);
  EXPECT_EQ(Format(g.buf(), 8, -2, "%s", "a"), -1);
  EXPECT_EQ(Format(g.buf(), 0, -1, "%s", "a"), -1);
  EXPECT_EQ(BoundedStringTable.SafeVFormat(g.buf(), 8, -1, "x", nullptr), -1);

  EXPECT_EQ(FormatBounded(g.buf(), 6, 100, "%s\\%s", "dir", "name"), -1);
  EXPECT_STREQ(g.buf(), "dir\\n");
  EXPECT_EQ(FormatBounded(g.buf(), 16, 4, "%s", "abcdef"), -1);
  EXPECT_STREQ(g.buf(), "abcd");
  EXPECT_EQ(FormatBounded(g.buf(), 16, 100, "%u", 4294967295u), 10);
  EXPECT_STREQ(g.buf(), "4294967295");
  EXPECT_EQ(FormatBounded(nullptr, 16, 4, "%s", "a"), -1);
  EXPECT_TRUE(g.GuardsIntact(16));
}

TEST(BoundedString, AMissingArgumentIsRefusedAndNothingWritten) {
  // Each call lacks one argument: a null pointer, or a size or count of
  // zero or less.
  Guarded g;
  char* b = g.buf();
  const char* none = nullptr;
  std::strcpy(b, "keep");
  EXPECT_EQ(BoundedStringTable.SafeAppend(b, 8, none), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeAppend(b, -1, "a"), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopy(b, -1, "a"), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopyN(nullptr, 8, "a", 1), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopyN(b, 0, "a", 1), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopyN(b, 8, none, 1), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopyN(b, 8, "a", 0), kEinval);
  EXPECT_EQ(BoundedStringTable.SafeCopyN(b, 8, "a", -1), kEinval);
  EXPECT_EQ(Format(nullptr, 8, -1, "%s", "a"), -1);
  EXPECT_EQ(Format(b, 8, -1, none), -1);
  EXPECT_EQ(Fits(none, 8), 0);
  EXPECT_EQ(Fits("a", 0), 0);
  EXPECT_EQ(CopyN(nullptr, 8, "a", 1), 0);
  EXPECT_EQ(CopyN(b, 8, none, 1), 0);
  EXPECT_EQ(Append(nullptr, 8, "a"), 0);
  EXPECT_EQ(Append(b, 0, "a"), 0);
  EXPECT_EQ(Append(b, 8, none), 0);
  EXPECT_EQ(FormatBounded(b, 0, 4, "%s", "a"), -1);
  EXPECT_EQ(FormatBounded(b, 8, 0, "%s", "a"), -1);
  int32_t (*unchecked)(char*, int32_t, int32_t, const char*, ...) = &FormatBounded;
  EXPECT_EQ(unchecked(b, 8, 4, none), -1);  // through a pointer: no format check
  EXPECT_STREQ(b, "keep");
  EXPECT_TRUE(g.GuardsIntact(8));
}

TEST(BoundedString, LongFormatsAndFormatsThatFail) {
  std::string big(3000, '#');
  const std::string text(1500, 't');
  EXPECT_EQ(Format(&big[0], 2001, -1, "%s", text.c_str()), 1500);
  EXPECT_EQ(big.substr(0, 1501), text + '\0');
  EXPECT_EQ(Format(&big[0], 1001, -1, "%s%s", text.c_str(), "x"), -1);
  EXPECT_EQ(big.substr(0, 1001), text.substr(0, 1000) + '\0');
  EXPECT_EQ(big[2001], '#');
#if !defined(_WIN32)
  // Past 1024 characters the POSIX formatter takes memory of its own;
  // without it, or when the text cannot be formatted (a wide character the
  // C locale cannot write), the answer is -1.
  {
    rodarove_test::ScopedAllocationFailure fail(1);
    EXPECT_EQ(Format(&big[0], 2001, -1, "%s", "short"), -1);
  }
  Guarded g;
  EXPECT_EQ(Format(g.buf(), 8, -1, "%lc", static_cast<wint_t>(0x100)), -1);
  EXPECT_TRUE(g.GuardsIntact(8));
#endif
}

TEST(BoundedString, FactoryDebugPrintKeeps1022Characters) {
  std::string text(2000, 'f');
  rodarove_test::DebugCapture capture;
  FactoryDebugPrint("%s", text.c_str());
  EXPECT_EQ(capture.Take(), std::string(1022, 'f'));
}

}  // namespace
