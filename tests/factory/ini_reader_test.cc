// The ini reader: the results hosts' existing ini files rely on, and no
// read or write past a buffer whatever the file holds.
#include "platform/posix/ini_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/factory/test_files.h"
#include "tests/support/alloc_failure.h"

namespace {

using rodarove::platform::ReadIniString;
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
}

TEST(IniReader, LineEndsAndOddBytes) {
  TempFolder dir;
  EXPECT_EQ(Read(dir.Write("crlf.ini", "[s]\r\nk=v\r\nk2 = w \r\n"), "s", "k2").text, "w");
  EXPECT_EQ(Read(dir.Write("noend.ini", "[s]\nk=last"), "s", "k").text, "last");
  EXPECT_EQ(Read(dir.Write("bom.ini", "\xEF\xBB\xBF[s]\nk=v\n"), "s", "k").text, "v");
  std::string withZero = std::string("[s]\nk=ab") + '\0' + "cd\n";
  Result r = Read(dir.Write("zero.ini", withZero), "s", "k");
  EXPECT_EQ(r.text, "ab");
  EXPECT_EQ(r.length, 2u) << "the length matches what the caller can see";
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
}

TEST(IniReader, OutOfMemoryGivesTheDefault) {
  TempFolder dir;
  std::string f = dir.Write("big.ini", "[s]\nk=" + std::string(100000, 'x') + "\n");
  char out[16];
  unsigned n;
  {
    rodarove_test::ScopedAllocationFailure fail(1, /*sticky=*/true);
    n = ReadIniString("s", "k", "dflt", out, sizeof out, f.c_str());
  }
  EXPECT_EQ(n, 4u);
  EXPECT_STREQ(out, "dflt");
}

// --- A randomized comparison with a plain model of the format. ---

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f\x1a";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// The reader's result before the cut to the buffer: found, and the text.
std::string ModelLookup(const std::string& text, const std::string& section,
                        const std::string& key, const char* def, unsigned size) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find_first_of("\r\n", start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  if (lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);
  std::string wantedSection = Lower(Trim(section));
  std::string wantedKey = Lower(Trim(key));
  bool in = wantedSection.empty();  // the nameless section before any header
  std::string fallback = def != nullptr ? def : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  auto cut = [size](std::string v) {
    v = v.substr(0, v.find('\0'));
    if (v.size() > size - 1) v.resize(size - 1);
    return v;
  };
  for (const std::string& raw : lines) {
    std::string line = Trim(raw);
    if (line.empty()) continue;
    size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string::npos && close > 0) {
      if (in) return cut(fallback);
      in = Lower(Trim(line.substr(1, close - 1))) == wantedSection;
      continue;
    }
    if (!in) continue;
    size_t eq = line.find('=');
    if (Lower(Trim(line.substr(0, eq))) != wantedKey) continue;
    if (eq == std::string::npos) return cut(fallback);
    std::string value = Trim(line.substr(eq + 1));
    value = value.substr(0, value.find('\0'));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      std::string inner = cut(value.substr(1));
      if (size >= value.size() - 1 && !inner.empty()) inner.pop_back();
      return inner;
    }
    return cut(value);
  }
  return cut(fallback);
}

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
      std::string expected = ModelLookup(text, section, key, def, size);
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
