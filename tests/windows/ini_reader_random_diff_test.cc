// The portable ini reader against Windows' own GetPrivateProfileStringA on
// random files made of the pieces that matter to the format: both must
// return the same count and text for every section, key, default and
// buffer size asked. Seed: RODAROVE_SEED; files: RODAROVE_MODEL_STEPS.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/ini_reader.h"
#include "tests/factory/test_files.h"

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

struct Answer {
  unsigned count;
  std::string text;
  bool operator==(const Answer& o) const { return count == o.count && text == o.text; }
};

TEST(IniReaderAgainstWindows, SameAnswersOnRandomFiles) {
  uint64_t seed = rodarove_test::TestSeed();
  int steps = rodarove_test::ModelSteps(300);
  std::printf("RODAROVE_SEED=%llu RODAROVE_MODEL_STEPS=%d\n",
              static_cast<unsigned long long>(seed), steps);
  std::mt19937_64 rng(seed);
  // ASCII only: bytes above 0x7f go through the system's code page on
  // Windows, which the portable reader does not model.
  const std::vector<std::string> tokens = {
      "[", "]", "=", ";", " ", "\t", "\r\n", "\n", "\n", "\r", "\"", "'", "361", "DLL", "dll",
      "Path", "x", "[361]\n", "DLL=", "\nx=", "\x1a", "\v", "#", "\"\"", "[]", "\n[x]\n"};
  const char* sections[] = {"361", " x", "", "Redirect", "x"};
  const char* keys[] = {"DLL", "dll ", "x", "", "Path", "361"};
  const char* defaults[] = {"", "0", "d  ", nullptr, "dflt"};
  rodarove_test::TempFolder dir;
  std::string file = dir.Join("random.ini");
  for (char& c : file) {
    if (c == '/') c = '\\';
  }
  int failures = 0;
  for (int step = 0; step < steps && failures < 5; ++step) {
    std::string text;
    int count = static_cast<int>(rng() % 40);
    for (int i = 0; i < count; ++i) text += tokens[rng() % tokens.size()];
    rodarove_test::WriteFile(file, text);
    for (int probe = 0; probe < 6; ++probe) {
      const char* section = sections[rng() % 5];
      const char* key = keys[rng() % 6];
      const char* def = defaults[rng() % 5];
      unsigned size = 1 + static_cast<unsigned>(rng() % 10);
      char ours[32];
      char theirs[32];
      std::memset(ours, '#', sizeof ours);
      std::memset(theirs, '#', sizeof theirs);
      Answer a{rodarove::platform::ReadIniString(section, key, def, ours, size, file.c_str()), ""};
      a.text.assign(ours, strnlen(ours, size));
      Answer w{static_cast<unsigned>(
                   ::GetPrivateProfileStringA(section, key, def, theirs, size, file.c_str())),
               ""};
      w.text.assign(theirs, strnlen(theirs, size));
      if (!(a == w)) {
        ++failures;
        ADD_FAILURE() << "step " << step << " file \"" << Escaped(text) << "\" section '"
                      << section << "' key '" << key << "' default '"
                      << (def ? def : "(null)") << "' size " << size << ": reader "
                      << a.count << " \"" << Escaped(a.text) << "\", Windows " << w.count
                      << " \"" << Escaped(w.text) << "\"";
      }
    }
  }
}

}  // namespace
