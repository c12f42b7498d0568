// Finding the factory module's path: the path operations under both path
// styles, and the ini chain read through an in-memory set of ini files, so
// that Windows paths can be checked on every system.
#include "factory/ini_resolution.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/factory/test_files.h"

namespace {

using namespace rodarove;

constexpr PathStyle kWin = PathStyle::kWindows;
constexpr PathStyle kPosix = PathStyle::kPosix;

// --- Path operations. ---

TEST(PathOperations, RelativeAndSeparators) {
  for (const char* p : {"C:\\x", "a:b", "\\\\server\\share", "\\x", "x:"}) {
    EXPECT_EQ(IsRelativePath(p, kWin), 0) << p;
  }
  for (const char* p : {"", "x", "sub\\x.ini", "/opt/x.dll", " C"}) {
    EXPECT_EQ(IsRelativePath(p, kWin), 1) << p;
  }
  EXPECT_EQ(IsRelativePath(nullptr, kWin), 1);
  EXPECT_EQ(IsRelativePath("/opt/x", kPosix), 0);
  for (const char* p : {"", "C:\\x", "\\x", "x/y", " /x"}) EXPECT_EQ(IsRelativePath(p, kPosix), 1) << p;
  EXPECT_EQ(IsRelativePath(nullptr, kPosix), 1);

  EXPECT_EQ(FindLastSeparator("a\\b/c\\d/e", kWin), 5) << "a backslash wins over a later slash";
  EXPECT_EQ(FindLastSeparator("a/b/c", kWin), 3);
  EXPECT_EQ(FindLastSeparator("abc", kWin), -1);
  EXPECT_EQ(FindLastSeparator("a/b\\c", kPosix), 1);
  EXPECT_EQ(FindLastSeparator("a\\b", kPosix), -1);
  EXPECT_EQ(FindLastSeparator(nullptr, kPosix), -1);

  EXPECT_EQ(IsBlank(nullptr), 1);
  EXPECT_EQ(IsBlank(" \t "), 1);
  EXPECT_EQ(IsBlank(" x "), 0);
  EXPECT_EQ(IsBlank("\r"), 0);
}

TEST(PathOperations, TrimBlanksFitsWholeOrLeavesEmpty) {
  char dst[10];
  auto trim = [&](const char* src) {
    std::memset(dst, '#', sizeof dst);
    TrimBlanks(src, dst, sizeof dst);
    return std::string(dst);
  };
  EXPECT_EQ(trim(" \t 1 \t"), "1");
  EXPECT_EQ(trim("123456789"), "123456789");
  EXPECT_EQ(trim("  123456789  "), "123456789");
  EXPECT_EQ(trim("1234567890"), "") << "ten characters do not fit ten bytes";
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim(nullptr), "");
  EXPECT_EQ(trim("a b"), "a b");
}

TEST(PathOperations, SiblingAndJoin) {
  char out[32];
  int32_t whole = 0;
  auto sibling = [&](const char* base, const char* name, PathStyle style, int32_t size = 32) {
    std::memset(out, '#', sizeof out);
    whole = SiblingPath(base, name, out, size, style);
    return std::string(out);
  };
  EXPECT_EQ(sibling("C:\\App\\Pavex.ini", "PavFact.dll", kWin), "C:\\App\\PavFact.dll");
  EXPECT_EQ(sibling("C:/App/Pavex.ini", "P.dll", kWin), "C:/App/P.dll");
  EXPECT_EQ(sibling("Pavex.ini", "P.dll", kWin), "Pavex.ini\\P.dll");
  EXPECT_EQ(sibling("/opt/app/Pavex.ini", "p.so", kPosix), "/opt/app/p.so");
  EXPECT_EQ(sibling("Pavex.ini", "p.so", kPosix), "Pavex.ini/p.so");
  EXPECT_EQ(whole, 1);
  EXPECT_EQ(sibling("C:\\App\\x.ini", "a-name-much-too-long", kWin, 16), "C:\\App\\")
      << "a name that does not fit is left out";
  EXPECT_EQ(whole, 0) << "and the path is not whole";
  std::strcpy(out, "kept");
  EXPECT_EQ(SiblingPath(nullptr, "x", out, 32, kWin), 0);
  EXPECT_EQ(SiblingPath("a\\b", nullptr, out, 32, kWin), 0);
  EXPECT_EQ(SiblingPath("a\\b", "x", out, 0, kWin), 0);
  EXPECT_STREQ(out, "kept");

  auto join = [&](const char* dir, const char* name, PathStyle style, int32_t size = 32) {
    std::memset(out, '#', sizeof out);
    whole = JoinPath(dir, name, out, size, style);
    return std::string(out);
  };
  EXPECT_EQ(join("bin", "P.dll", kWin), "bin\\P.dll");
  EXPECT_EQ(join("bin\\", "P.dll", kWin), "bin\\\\P.dll") << "separators are not merged";
  EXPECT_EQ(join(" \t", "P.dll", kWin), "P.dll");
  EXPECT_EQ(join(nullptr, "P.dll", kWin), "P.dll");
  EXPECT_EQ(join("lib", "p.so", kPosix), "lib/p.so");
  EXPECT_EQ(whole, 1);
  EXPECT_EQ(join("0123456789", "abcdefgh", kPosix, 16), "0123456789/")
      << "a part that does not fit is skipped";
  EXPECT_EQ(whole, 0);
  EXPECT_EQ(join("0123456789abcdef", "ab", kPosix, 16), "/ab");
  EXPECT_EQ(whole, 0);
}

const char* AppDirectory() { return "C:\\App"; }
const char* OptDirectory() { return "/opt/app"; }

TEST(PathOperations, HostPathAndHostDirectory) {
  IniEnvironment env{kWin, nullptr, &AppDirectory};
  char buf[16];
  EXPECT_EQ(HostPath("Pavex.ini", buf, sizeof buf, env), 0) << "cut";
  EXPECT_STREQ(buf, "C:\\App\\Pavex.i") << "kept to size - 2 characters";
  char big[64];
  EXPECT_EQ(HostPath("sub\\my.ini", big, sizeof big, env), 1);
  EXPECT_STREQ(big, "C:\\App\\sub\\my.ini");
  IniEnvironment posix{kPosix, nullptr, &OptDirectory};
  EXPECT_EQ(HostPath("Pavex.ini", big, sizeof big, posix), 1);
  EXPECT_STREQ(big, "/opt/app/Pavex.ini");
  std::strcpy(buf, "kept");
  EXPECT_EQ(HostPath(nullptr, buf, sizeof buf, env), 0);
  EXPECT_EQ(HostPath("x", buf, 1, env), 0);
  EXPECT_EQ(HostPath("x", nullptr, 10, env), 0);
  EXPECT_STREQ(buf, "kept");
  // The smallest buffers keep size - 2 characters too: none, then one.
  char two[2] = {'#', '#'};
  EXPECT_EQ(HostPath("Pavex.ini", two, 2, env), 0);
  EXPECT_EQ(two[0], '\0');
  EXPECT_EQ(two[1], '\0');
  char three[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(HostPath("Pavex.ini", three, 3, env), 0);
  EXPECT_EQ(std::string(three, 3), std::string("C\0\0", 3));
  EXPECT_EQ(three[3], '#');

  // Both path styles keep size - 2 characters, and only a whole path counts.
  for (PathStyle style : {kWin, kPosix}) {
    IniEnvironment e{style, nullptr, style == kWin ? &AppDirectory : &OptDirectory};
    const std::string full = std::string(e.hostDirectory()) + (style == kWin ? "\\" : "/") + "Pavex.ini";
    for (int32_t size = 2; size < static_cast<int32_t>(full.size()) + 4; ++size) {
      std::string out(static_cast<size_t>(size) + 1, '#');
      int32_t whole = HostPath("Pavex.ini", &out[0], size, e);
      EXPECT_EQ(out.c_str(), full.substr(0, static_cast<size_t>(size) - 2)) << size;
      EXPECT_EQ(out[static_cast<size_t>(size) - 1], '\0') << size;
      EXPECT_EQ(out[static_cast<size_t>(size)], '#') << size;
      EXPECT_EQ(whole, full.size() + 2 <= static_cast<size_t>(size) ? 1 : 0) << size;
    }
  }

  CutAtLastSeparator("C:\\App\\host.exe", big, sizeof big, kWin);
  EXPECT_STREQ(big, "C:\\App");
  CutAtLastSeparator("C:/App/host.exe", big, sizeof big, kWin);
  EXPECT_STREQ(big, "C:/App/host.exe") << "only a backslash cuts";
  CutAtLastSeparator("/usr/bin/host", big, sizeof big, kPosix);
  EXPECT_STREQ(big, "/usr/bin");
  CutAtLastSeparator("host", big, sizeof big, kPosix);
  EXPECT_STREQ(big, "host");
  // Directories of 63, 64 and 65 characters cut into 64 bytes: only the
  // first fits with its terminator, and the byte after the buffer stays.
  for (size_t length : {63, 64, 65}) {
    char cut[65];
    std::memset(cut, '#', sizeof cut);
    const std::string dir = "/" + std::string(length - 1, 'd');
    for (const std::string& file : {std::string("host"), std::string(80, 'h')}) {
      int32_t whole = CutAtLastSeparator((dir + "/" + file).c_str(), cut, 64, kPosix);
      EXPECT_EQ(whole, length < 64 ? 1 : 0) << length;
      EXPECT_EQ(std::string(cut), length < 64 ? dir : "") << length << ", file " << file.size();
      EXPECT_EQ(cut[64], '#') << length << ": written past the buffer";
    }
  }

  // The native directory is the folder of this test executable.
  std::string self = HostDirectory();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self.find("ini_resolution_test"), std::string::npos);
  EXPECT_EQ(std::string(HostDirectory()), self) << "computed once and kept";
}

// --- The ini chain, over ini files held in memory. ---

std::map<std::string, std::string> g_files;  // path -> ini text
std::vector<std::string> g_reads;            // "path|section|key"
std::string g_scratch;                       // a real file the reader parses

unsigned FakeReadProfile(const char* section, const char* key, const char* def, char* out,
                         unsigned size, const char* file) {
  g_reads.push_back(std::string(file) + "|" + section + "|" + key);
  auto it = g_files.find(file);
  rodarove_test::WriteFile(g_scratch, it == g_files.end() ? std::string() : it->second);
  return platform::GetProfileString(section, key, def, out, size, g_scratch.c_str());
}

class IniChain : public testing::Test {
 protected:
  void SetUp() override {
    g_files.clear();
    g_reads.clear();
    g_scratch = dir_.Join("scratch.ini");
  }
  // (ini path, factory module path) for iniName.
  std::pair<std::string, std::string> Resolve(const char* iniName, PathStyle style = kWin) {
    IniEnvironment env{style, &FakeReadProfile,
                       style == kWin ? &AppDirectory : &OptDirectory};
    char ini[RODAROVE_PATH_SIZE] = {};
    LocateIniFile(iniName, ini, RODAROVE_PATH_SIZE, env);
    char dll[RODAROVE_PATH_SIZE] = {};
    ResolveFactoryDllPath(ini, dll, RODAROVE_PATH_SIZE, env);
    return {ini, dll};
  }
  bool Read(const std::string& file, const std::string& section) const {
    for (const std::string& r : g_reads)
      if (r.compare(0, file.size() + section.size() + 2, file + "|" + section + "|") == 0)
        return true;
    return false;
  }
  rodarove_test::TempFolder dir_;
};

TEST_F(IniChain, DefaultFileAndFactoryPathRules) {
  const std::string ini = "C:\\App\\Pavex.ini";
  struct Case {
    std::string text;
    std::string dll;
  } cases[] = {
      {"[361]\nDLL=PavFact.dll\n", "C:\\App\\PavFact.dll"},
      {"[361]\nDLL=  PavFact.dll \t\n[DefaultValue]\nDllPath=bin\n", "C:\\App\\bin\\PavFact.dll"},
      {"[361]\nDLL=PavFact.dll\n[DefaultValue]\nDllPath=D:\\Common\n", "D:\\Common\\PavFact.dll"},
      {"[361]\nDLL=PavFact.dll\n[DefaultValue]\nDllPath=bin\\\n", "C:\\App\\bin\\\\PavFact.dll"},
      {"[361]\nDLL=PavFact.dll\nNotUseDefaultDllPath=1\n[DefaultValue]\nDllPath=bin\n",
       "C:\\App\\PavFact.dll"},
      {"[361]\nDLL=P.dll\nNotUseDefaultDllPath=  1\t\n[DefaultValue]\nDllPath=D:\\C\n",
       "C:\\App\\P.dll"},
      {"[361]\nDLL=P.dll\nNotUseDefaultDllPath=10\n[DefaultValue]\nDllPath=D:\\C\n",
       "C:\\App\\P.dll"},
      {"[361]\nDLL=P.dll\nNotUseDefaultDllPath=0\n[DefaultValue]\nDllPath=D:\\C\n", "D:\\C\\P.dll"},
      {"[361]\nDLL=P.dll\nNotUseDefaultDllPath=\n[DefaultValue]\nDllPath=D:\\C\n", "D:\\C\\P.dll"},
      {"[361]\nDLL=P.dll\n[DefaultValue]\nDllPath=D:\\C\n", "D:\\C\\P.dll"},
      {"[361]\nDLL=P.dll\nNotUseDefaultDllPath=1234567891\n[DefaultValue]\nDllPath=D:\\C\n",
       "D:\\C\\P.dll"},
      {"[361]\nDLL=D:\\x\\PavFact.dll\nNotUseDefaultDllPath=1\n", "D:\\x\\PavFact.dll"},
      {"[361]\nDLL=/opt/x.dll\n", "C:\\App\\/opt/x.dll"},
      {"[361]\nDLL=\n", "C:\\App\\"},
      {"", "C:\\App\\"},
  };
  for (const Case& c : cases) {
    g_files = {{ini, c.text}};
    auto r = Resolve(nullptr);
    EXPECT_EQ(r.first, ini);
    EXPECT_EQ(r.second, c.dll) << c.text;
    EXPECT_EQ(Resolve("").second, c.dll);
  }
}

TEST_F(IniChain, RegistryPathRelativeOrAbsolute) {
  g_files = {{"C:\\App\\sub\\my.ini", "[361]\nDLL=P.dll\n"},
             {"E:\\cfg\\my.ini", "[361]\nDLL=Q.dll\n"}};
  EXPECT_EQ(Resolve("sub\\my.ini"),
            std::make_pair(std::string("C:\\App\\sub\\my.ini"), std::string("C:\\App\\sub\\P.dll")));
  EXPECT_EQ(Resolve("E:\\cfg\\my.ini"),
            std::make_pair(std::string("E:\\cfg\\my.ini"), std::string("E:\\cfg\\Q.dll")));
}

TEST_F(IniChain, Redirections) {
  // Relative: the reached file's own [Redirect] is not read.
  g_files = {{"C:\\App\\Pavex.ini", "[Redirect]\nPath=cfg\\Pavex.ini\n"},
             {"C:\\App\\cfg\\Pavex.ini", "[Redirect]\nPath=D:\\elsewhere.ini\n[361]\nDLL=P.dll\n"}};
  EXPECT_EQ(Resolve(nullptr).first, "C:\\App\\cfg\\Pavex.ini");
  EXPECT_EQ(Resolve(nullptr).second, "C:\\App\\cfg\\P.dll");
  EXPECT_FALSE(Read("C:\\App\\cfg\\Pavex.ini", "Redirect"));

  // Absolute: read in turn.
  g_files = {{"C:\\App\\Pavex.ini", "[Redirect]\nPath=D:\\cfg\\Pavex.ini\n"},
             {"D:\\cfg\\Pavex.ini", "[Redirect]\nPath=next.ini\n"},
             {"D:\\cfg\\next.ini", "[361]\nDLL=P.dll\n"}};
  EXPECT_EQ(Resolve(nullptr), std::make_pair(std::string("D:\\cfg\\next.ini"),
                                             std::string("D:\\cfg\\P.dll")));
  // A blank value keeps the file; the value is not trimmed.
  g_files = {{"C:\\App\\Pavex.ini", "[Redirect]\nPath=\" \t\"\n[361]\nDLL=P.dll\n"}};
  EXPECT_EQ(Resolve(nullptr).first, "C:\\App\\Pavex.ini");
}

TEST_F(IniChain, RedirectionCyclesAndLongChainsEnd) {
  g_files = {{"C:\\App\\Pavex.ini", "[Redirect]\nPath=D:\\a.ini\n"},
             {"D:\\a.ini", "[Redirect]\nPath=D:\\b.ini\n[361]\nDLL=A.dll\n"},
             {"D:\\b.ini", "[Redirect]\nPath=D:\\a.ini\n[361]\nDLL=B.dll\n"}};
  EXPECT_EQ(Resolve(nullptr).first, "D:\\a.ini") << "the first file reached twice";
  g_files = {{"D:\\self.ini", "[Redirect]\nPath=D:\\self.ini\n"}};
  EXPECT_EQ(Resolve("D:\\self.ini").first, "D:\\self.ini");

  g_files.clear();
  for (int i = 0; i < 40; ++i) {
    g_files["D:\\f" + std::to_string(i) + ".ini"] =
        "[Redirect]\nPath=D:\\f" + std::to_string(i + 1) + ".ini\n";
  }
  g_reads.clear();
  EXPECT_EQ(Resolve("D:\\f0.ini").first, "D:\\f" + std::to_string(kMaxRedirections) + ".ini");
  int redirectReads = 0;
  for (const std::string& r : g_reads) redirectReads += r.find("|Redirect|") != std::string::npos;
  EXPECT_EQ(redirectReads, kMaxRedirections);
}

TEST_F(IniChain, PosixStyle) {
  g_files = {{"/opt/app/Pavex.ini", "[361]\nDLL=libPavFact.so\n[DefaultValue]\nDllPath=lib\n"}};
  EXPECT_EQ(Resolve(nullptr, kPosix), std::make_pair(std::string("/opt/app/Pavex.ini"),
                                                     std::string("/opt/app/lib/libPavFact.so")));
  g_files = {{"/opt/app/Pavex.ini", "[361]\nDLL=p.so\n[DefaultValue]\nDllPath=/usr/lib\n"}};
  EXPECT_EQ(Resolve(nullptr, kPosix).second, "/usr/lib/p.so");
  g_files = {{"/opt/app/Pavex.ini", "[361]\nDLL=C:\\x.dll\n"}};
  EXPECT_EQ(Resolve(nullptr, kPosix).second, "/opt/app/C:\\x.dll");
  g_files = {{"/opt/app/Pavex.ini", "[Redirect]\nPath=cfg/p.ini\n"},
             {"/opt/app/cfg/p.ini", "[361]\nDLL=/abs/p.so\n"}};
  EXPECT_EQ(Resolve(nullptr, kPosix), std::make_pair(std::string("/opt/app/cfg/p.ini"),
                                                     std::string("/abs/p.so")));
  g_files = {{"/etc/x.ini", "[361]\nDLL=p.so\nNotUseDefaultDllPath=1\n[DefaultValue]\nDllPath=/l\n"}};
  EXPECT_EQ(Resolve("/etc/x.ini", kPosix).second, "/etc/p.so");
  g_files = {{"/opt/app/rel/x.ini", "[361]\nDLL=p.so\n"}};
  EXPECT_EQ(Resolve("rel/x.ini", kPosix).second, "/opt/app/rel/p.so");
}

TEST_F(IniChain, LongPathsAreLeftOutNotOverrun) {
  std::string longDir = "D:\\" + std::string(255, 'd');
  g_files = {{"C:\\App\\Pavex.ini",
              "[361]\nDLL=" + std::string(300, 'n') + "\n[DefaultValue]\nDllPath=" + longDir + "\n"}};
  auto r = Resolve(nullptr);
  EXPECT_LT(r.second.size(), static_cast<size_t>(RODAROVE_PATH_SIZE));
  g_files = {{"C:\\App\\Pavex.ini", "[361]\nDLL=P.dll\n[DefaultValue]\nDllPath=" + longDir + "\n"}};
  EXPECT_EQ(Resolve(nullptr).second, "") << "a path that does not fit is not used";
}

const char* NoDirectory() { return ""; }

TEST_F(IniChain, EachStepRefusesWhatItCannotHoldWhole) {
  // No destination, or one of no size: nothing is written, no file read.
  IniEnvironment env{kWin, &FakeReadProfile, &AppDirectory};
  const char* ini = "C:\\App\\Pavex.ini";
  char out[RODAROVE_PATH_SIZE] = "kept";
  for (int32_t size : {0, -1}) {
    EXPECT_EQ(TrimBlanks("x", out, size), 0);
    EXPECT_EQ(SiblingPath(ini, "x", out, size, kWin), 0);
    EXPECT_EQ(JoinPath("d", "x", out, size, kWin), 0);
    EXPECT_EQ(CutAtLastSeparator("C:\\x", out, size, kWin), 0);
    EXPECT_EQ(LocateIniFile(nullptr, out, size, env), 0);
    EXPECT_EQ(FollowRedirect(ini, out, size, env), 0);
    EXPECT_EQ(ResolveFactoryDllPath(ini, out, size, env), 0);
    EXPECT_EQ(ResolveRelativeDllPath(ini, "P.dll", out, size, env), 0);
  }
  EXPECT_STREQ(out, "kept");
  EXPECT_EQ(TrimBlanks("x", nullptr, 8), 0);
  EXPECT_EQ(SiblingPath(ini, "x", nullptr, 8, kWin), 0);
  EXPECT_EQ(JoinPath("d", "x", nullptr, 8, kWin), 0);
  EXPECT_EQ(CutAtLastSeparator("C:\\x", nullptr, 8, kWin), 0);
  EXPECT_EQ(LocateIniFile(nullptr, nullptr, 8, env), 0);
  EXPECT_EQ(FollowRedirect(ini, nullptr, 8, env), 0);
  EXPECT_EQ(ResolveFactoryDllPath(ini, nullptr, 8, env), 0);
  EXPECT_EQ(ResolveRelativeDllPath(ini, "P.dll", nullptr, 8, env), 0);
  EXPECT_TRUE(g_reads.empty());

  // An executable path that is unknown, or in the root folder: no folder.
  EXPECT_EQ(CutAtLastSeparator(nullptr, out, 8, kPosix), 0);
  EXPECT_STREQ(out, "");
  std::strcpy(out, "kept");
  EXPECT_EQ(CutAtLastSeparator("/host", out, 8, kPosix), 1);
  EXPECT_STREQ(out, "");
  // Without a host folder only an absolute registry path finds a file.
  IniEnvironment unknown{kWin, &FakeReadProfile, &NoDirectory};
  EXPECT_EQ(LocateIniFile(nullptr, out, RODAROVE_PATH_SIZE, unknown), 0);
  EXPECT_EQ(LocateIniFile("my.ini", out, RODAROVE_PATH_SIZE, unknown), 0);
  EXPECT_EQ(LocateIniFile("D:\\my.ini", out, RODAROVE_PATH_SIZE, unknown), 1);
  EXPECT_STREQ(out, "D:\\my.ini");

  // A start file, a factory module or a default folder too long.
  const std::string longName(300, 'n');
  EXPECT_EQ(FollowRedirect(("C:\\" + longName).c_str(), out, RODAROVE_PATH_SIZE, env), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(ResolveRelativeDllPath(ini, longName.c_str(), out, RODAROVE_PATH_SIZE, env), 0);
  g_files = {{ini, "[361]\nDLL=" + std::string(kLongValueSize + 10, 'n') + "\n"}};
  EXPECT_EQ(Resolve(nullptr).second, "");
  g_files = {{ini, "[361]\nDLL=P.dll\n[DefaultValue]\nDllPath=D:\\" + longName + "\n"}};
  EXPECT_EQ(Resolve(nullptr).second, "");
}

std::string g_host;
const char* VariableHost() { return g_host.c_str(); }

// A path of exactly `length` characters: head, a filler, tail.
std::string PathOf(size_t length, const std::string& head, const std::string& tail) {
  return head + std::string(length - head.size() - tail.size(), 'd') + tail;
}

TEST_F(IniChain, PathsThatWouldBeCutAreNotUsed) {
  // Each path at the longest length its buffer holds whole is used; one
  // character more finds nothing, and reads no file named by a cut path.
  for (PathStyle style : {kWin, kPosix}) {
    const std::string sep = style == kWin ? "\\" : "/";
    const std::string root = style == kWin ? "C:\\" : "/";
    const std::string start = root + "a.ini";
    const std::string dll = root + "P.dll";
    for (size_t extra : {0, 1}) {
      SCOPED_TRACE(std::string(style == kWin ? "windows" : "posix") + (extra ? ", too long" : ""));
      auto resolve = [&](const char* iniName, const std::string& wantIni,
                         const std::string& wantDll) {
        IniEnvironment env{style, &FakeReadProfile, &VariableHost};
        g_reads.clear();
        char ini[RODAROVE_PATH_SIZE] = {};
        char module[RODAROVE_PATH_SIZE] = {};
        int32_t found = LocateIniFile(iniName, ini, RODAROVE_PATH_SIZE, env) &&
                        ResolveFactoryDllPath(ini, module, RODAROVE_PATH_SIZE, env);
        EXPECT_EQ(found, extra ? 0 : 1);
        if (extra) {
          EXPECT_STREQ(module, "");
          for (const std::string& r : g_reads) {
            EXPECT_EQ(g_files.count(r.substr(0, r.find('|'))), 1u) << "read a cut path: " << r;
          }
        } else {
          EXPECT_EQ(std::string(ini), wantIni);
          EXPECT_EQ(std::string(module), wantDll);
        }
      };
      // The host directory joined with the start file: 258 characters.
      g_host = PathOf(258 - 10 + extra, root, "");
      std::string beside = g_host + sep + "Pavex.ini";
      g_files = {{beside, "[361]\nDLL=" + dll + "\n"}};
      resolve(nullptr, beside, dll);
      g_host = PathOf(258 - 7 + extra, root, "");
      beside = g_host + sep + "my.ini";
      g_files = {{beside, "[361]\nDLL=" + dll + "\n"}};
      resolve("my.ini", beside, dll);
      g_host = root + "App";

      // Every other path: 259 characters.
      std::string far = PathOf(259 + extra, root, ".ini");
      g_files = {{start, "[Redirect]\nPath=" + far.substr(root.size()) + "\n"},
                 {far, "[361]\nDLL=" + dll + "\n"}};
      resolve(start.c_str(), far, dll);  // a relative redirection
      g_files = {{start, "[Redirect]\nPath=" + far + "\n"}, {far, "[361]\nDLL=" + dll + "\n"}};
      resolve(start.c_str(), far, dll);  // an absolute one
      const std::string absolute = PathOf(259 + extra, root, ".dll");
      g_files = {{start, "[361]\nDLL=" + absolute + "\n"}};
      resolve(start.c_str(), start, absolute);
      const std::string name = PathOf(259 - root.size() + extra, "", ".dll");
      g_files = {{start, "[361]\nDLL=" + name + "\nNotUseDefaultDllPath=1\n"}};
      resolve(start.c_str(), start, root + name);  // beside the ini file
      const std::string dir = PathOf(259 - 6 + extra, root, "");
      g_files = {{start, "[361]\nDLL=P.dll\n[DefaultValue]\nDllPath=" + dir + "\n"}};
      resolve(start.c_str(), start, dir + sep + "P.dll");  // under the default folder
      g_files = {{start, "[361]\nDLL=P.dll\n[DefaultValue]\nDllPath=" + dir.substr(root.size()) +
                             "\n"}};
      resolve(start.c_str(), start, dir + sep + "P.dll");  // the default folder beside the ini
    }
  }
}

}  // namespace
