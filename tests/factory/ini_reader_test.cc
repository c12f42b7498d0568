// The ini reader: the results hosts' existing ini files rely on, and no
// read or write past a buffer whatever the file holds.
#include "platform/posix/ini_reader.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/factory/ini_model.h"
#include "tests/factory/test_files.h"
#include "tests/support/alloc_failure.h"

namespace {

using rodarove::platform::ReadIniString;
using rodarove_test::IniModelLookup;
using rodarove_test::TempFolder;

struct Result {
  std::string text;
  unsigned length;
};

Result Read(const std::string& file, const char* section, const char* key,
            const char* def = "", unsigned size = 64) {
  std::vector<char> out(size + 1, '#');
  unsigned n = ReadIniString(section, key, def, out.data(), size, file.c_str());
  return {std::string(out.data()), n};
}

TEST(IniReader, FindsValuesTheWayHostFilesExpect) {
  TempFolder dir;
  std::string f = dir.Write("a.ini",
                            "; a comment\n"
                            "[Redirect]\n"
                            "Path=\n"
                            "  [ 361 ]  ; the factory\n"
                            "  dll  =   PavFact.dll  \t\n"
                            "DLL=second.dll\n"
                            "quoted=\"  spaced  \"\n"
                            "single='x'\n"
                            "nothing=''\n"
                            "mismatched=\"x'\n"
                            "lone=\"\n"
                            "inner=\"a\" b \"c\"\n"
                            "equals=a=b\n"
                            "junk line without equals\n"
                            ";DLL=commented.dll\n"
                            "[DefaultValue]\n"
                            "DllPath=bin\n"
                            "[361]\n"
                            "later=only in the second section\n");
  EXPECT_EQ(Read(f, "361", "DLL").text, "PavFact.dll") << "names and values are trimmed";
  EXPECT_EQ(Read(f, "361", "Dll").length, 11u);
  EXPECT_EQ(Read(f, "361", "quoted").text, "  spaced  ");
  EXPECT_EQ(Read(f, "361", "single").text, "x");
  EXPECT_EQ(Read(f, "361", "single", "", 1).length, 0u) << "room for the terminator alone";
  EXPECT_EQ(Read(f, "361", "nothing", "d").text, "");
  EXPECT_EQ(Read(f, "361", "nothing", "d", 1).text, "");
  EXPECT_EQ(Read(f, "\n361\r", "\rDLL\n").text, "PavFact.dll") << "line ends are blanks too";
  EXPECT_EQ(Read(f, "361", "mismatched").text, "\"x'");
  EXPECT_EQ(Read(f, "361", "lone").text, "\"");
  EXPECT_EQ(Read(f, "361", "inner").text, "a\" b \"c");
  EXPECT_EQ(Read(f, "361", "equals").text, "a=b");
  EXPECT_EQ(Read(f, "defaultvalue", "DLLPATH").text, "bin");
  EXPECT_EQ(Read(f, "Redirect", "Path", "dflt").text, "") << "an empty value is a value";
  EXPECT_EQ(Read(f, "361", "later", "dflt").text, "dflt") << "only the first [361] counts";
  EXPECT_EQ(Read(f, "361", "missing", "0").text, "0");
  EXPECT_EQ(Read(f, "nosuch", "DLL", "d").text, "d");
  EXPECT_EQ(Read(f, "361", "missing", nullptr).text, "");
  EXPECT_EQ(Read(f, "361", "missing", "dflt   ").text, "dflt");
  EXPECT_EQ(Read(dir.Join("absent.ini"), "361", "DLL", "zz").text, "zz");
  EXPECT_EQ(Read(dir.path(), "361", "DLL", "zz").text, "zz") << "a folder is no file";
#if !defined(_WIN32)
  // Nor are a device and a pipe without a writer, which must not keep the
  // reader waiting.
  EXPECT_EQ(Read("/dev/zero", "361", "DLL", "zz").text, "zz");
  std::string fifo = dir.Join("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Read(fifo, "361", "DLL", "zz").text, "zz");
#endif
}

TEST(IniReader, LineEndsAndOddBytes) {
  TempFolder dir;
  EXPECT_EQ(Read(dir.Write("crlf.ini", "[s]\r\nk=v\r\nk2 = w \r\n"), "s", "k2").text, "w");
  EXPECT_EQ(Read(dir.Write("noend.ini", "[s]\nk=last"), "s", "k").text, "last");
  EXPECT_EQ(Read(dir.Write("bom.ini", "\xEF\xBB\xBF[s]\nk=v\n"), "s", "k").text, "v");
  std::string withZero = std::string("[s]\nk=ab") + '\0' + "c" + '\0' + "d\n";
  Result r = Read(dir.Write("zero.ini", withZero), "s", "k");
  EXPECT_EQ(r.text, "ab");
  EXPECT_EQ(r.length, 2u) << "the length matches what the caller can see, up to the first zero";
  EXPECT_EQ(Read(dir.Write("open.ini", "[s\nk=v\n"), "s", "k", "d").text, "d");
  EXPECT_EQ(Read(dir.Write("hi.ini", "[s]\nk=\xff\xfe\n"), "s", "k").text, "\xff\xfe");
}

TEST(IniReader, CutsToTheBufferAndNeverWritesPastIt) {
  TempFolder dir;
  std::string longValue(1 << 20, 'v');
  std::string f = dir.Write("long.ini", "[s]\nk=" + longValue + "\nshort=abc\n");
  for (unsigned size : {1u, 2u, 3u, 4u, 260u, 1024u}) {
    std::vector<char> out(size + 16, '#');
    unsigned n = ReadIniString("s", "k", "", out.data(), size, f.c_str());
    EXPECT_EQ(n, size - 1);
    EXPECT_EQ(std::strlen(out.data()), size - 1);
    for (unsigned i = size; i < out.size(); ++i) ASSERT_EQ(out[i], '#') << size;
  }
  EXPECT_EQ(Read(f, "s", "short", "", 3).text, "ab");
  EXPECT_EQ(Read(f, "s", "missing", "default", 4).text, "def");
  char untouched = '#';
  EXPECT_EQ(ReadIniString("s", "short", "", &untouched, 0, f.c_str()), 0u);
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(ReadIniString("s", "short", "", nullptr, 10, f.c_str()), 0u);
  char listing[8] = "xxxxxxx";
  EXPECT_EQ(ReadIniString(nullptr, "k", "d", listing, 8, f.c_str()), 0u);
  EXPECT_STREQ(listing, "");
  std::strcpy(listing, "xxxxxxx");
  EXPECT_EQ(ReadIniString("s", nullptr, "d", listing, 8, f.c_str()), 0u);
  EXPECT_STREQ(listing, "");
  EXPECT_EQ(ReadIniString("s", "short", "dflt", listing, 8, nullptr), 4u) << "no file: the default";
  EXPECT_STREQ(listing, "dflt");
}

TEST(IniReader, TakesNoMemoryWhateverTheLineLength) {
  // A long comment, a long key line and a long value: the reader keeps no
  // line, so it answers with every allocation failing, and makes none.
  TempFolder dir;
  const std::string longLine(1 << 20, 'x');
  std::string f = dir.Write("big.ini", ";" + longLine + "\n[s]\n" + longLine + "\nk=  \"" +
                                           longLine + "\"  \n");
  char out[16];
  unsigned n;
  size_t allocations;
  {
    rodarove_test::ScopedAllocationFailure fail(1, /*sticky=*/true);
    n = ReadIniString("s", "k", "dflt", out, sizeof out, f.c_str());
    allocations = rodarove_test::AllocationsSoFar();
  }
  EXPECT_EQ(allocations, 0u);
  EXPECT_EQ(n, 15u);
  EXPECT_EQ(std::string(out), std::string(15, 'x'));
}

// --- A randomized comparison with the plain model of the format. ---

TEST(IniReader, MatchesAPlainModelOnRandomFiles) {
  uint64_t seed = rodarove_test::TestSeed();
  int steps = rodarove_test::ModelSteps(600);
  std::printf("RODAROVE_SEED=%llu RODAROVE_MODEL_STEPS=%d\n",
              static_cast<unsigned long long>(seed), steps);
  std::mt19937_64 rng(seed);
  const std::vector<std::string> tokens = {
      "[", "]", "=", ";", " ", "\t", "\r\n", "\n", "\n", "\"", "'", "361", "DLL", "dll",
      "Path", "x", std::string(1, '\0'), "\xEF\xBB\xBF", "\xff", "[361]\n", "DLL=", "\nx=",
      "\r", "\x1a", "]"};
  const char* sections[] = {"361", " x", "", "Redirect"};
  const char* keys[] = {"DLL", "dll ", "x", "", "Path"};
  const char* defaults[] = {"", "0", "d  ", nullptr};
  TempFolder dir;
  std::string file = dir.Join("random.ini");
  for (int step = 0; step < steps; ++step) {
    std::string text;
    int count = static_cast<int>(rng() % 60);
    for (int i = 0; i < count; ++i) text += tokens[rng() % tokens.size()];
    rodarove_test::WriteFile(file, text);
    for (int probe = 0; probe < 4; ++probe) {
      const char* section = sections[rng() % 4];
      const char* key = keys[rng() % 5];
      const char* def = defaults[rng() % 4];
      unsigned size = 1 + static_cast<unsigned>(rng() % 12);
      std::string expected = IniModelLookup(text, section, key, def, size);
      char buf[48];
      std::memset(buf, '#', sizeof buf);
      unsigned n = ReadIniString(section, key, def, buf + 8, size, file.c_str());
      ASSERT_EQ(std::string(buf + 8), expected)
          << "step " << step << " section '" << section << "' key '" << key << "' size " << size;
      ASSERT_EQ(n, expected.size());
      for (int i = 0; i < 8; ++i) ASSERT_EQ(buf[i], '#');
      for (unsigned i = 8 + size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], '#');
    }
  }
}

}  // namespace
