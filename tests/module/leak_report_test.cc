// The leak report a host sees when the module goes away with live
// components: a child process loads the built module, creates components
// and unloads the module or exits.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/module_loader.h"

namespace {

struct ChildResult {
  std::vector<uintptr_t> addresses;  // in creation order
  std::string debugOutput;           // what reached the debugger output
  int status = -1;
};

// env: assignments put before the command, e.g. "RODAROVE_DEBUG_OUTPUT=none ".
ChildResult RunProbe(const std::string& mode, const std::vector<std::string>& components,
                     const std::string& env = "") {
  std::string errPath = testing::TempDir() + "leak_probe_stderr.txt";
  std::string cmd = env + std::string(LEAK_PROBE_PATH) + " " + rodarove_test::BuiltModulePath() +
                    " " + mode;
  for (const auto& c : components) cmd += " " + c;
  cmd += " 2>" + errPath;
  ChildResult r;
  FILE* out = popen(cmd.c_str(), "r");
  if (out == nullptr) return r;
  char line[64];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    r.addresses.push_back(static_cast<uintptr_t>(std::strtoull(line, nullptr, 16)));
  }
  r.status = pclose(out);
  FILE* err = std::fopen(errPath.c_str(), "rb");
  if (err != nullptr) {
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, err)) > 0) r.debugOutput.append(chunk, n);
    std::fclose(err);
  }
  std::remove(errPath.c_str());
  return r;
}

std::string LeakLine(int32_t id, uint32_t creator, uintptr_t address) {
  char line[160];
  std::snprintf(line, sizeof line,
                "Pavex[Error]:ComponentID:0x%08x CreatorID:0x%08x Pointer:0x%08" PRIxPTR "\n",
                static_cast<unsigned>(id), creator, address);
  return line;
}

const char kRule[] = "Pavex[Error]:=================================================================\n";

TEST(LeakReport, ListsLiveComponentsInAscendingAddressOrderAtUnloadAndExit) {
  for (const char* mode : {"unload", "exit"}) {
    ChildResult r = RunProbe(mode, {"837:7", "114:4294967295", "114:0"});
    ASSERT_EQ(r.status, 0) << mode;
    ASSERT_EQ(r.addresses.size(), 3u);
    struct Rec {
      uintptr_t address;
      int32_t id;
      uint32_t creator;
    };
    std::vector<Rec> recs = {{r.addresses[0], 837, 7},
                             {r.addresses[1], 114, 4294967295u},
                             {r.addresses[2], 114, 0}};
    std::sort(recs.begin(), recs.end(),
              [](const Rec& a, const Rec& b) { return a.address < b.address; });
    std::string expected = std::string(kRule) + "Pavex[Error]:Found leak Pavex components. Count:3\n";
    for (const Rec& rec : recs) expected += LeakLine(rec.id, rec.creator, rec.address);
    expected += kRule;
    EXPECT_EQ(r.debugOutput, expected) << mode;
  }
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return text;
}

TEST(LeakReport, TheEnvironmentSendsTheDebugOutputElsewhere) {
  // The same report, byte for byte, to standard error, nowhere, or the end
  // of a file; a file that cannot be opened leaves it on standard error.
  const std::string expectedStart =
      std::string(kRule) + "Pavex[Error]:Found leak Pavex components. Count:1\n";
  ChildResult plain = RunProbe("exit", {"114:9"}, "RODAROVE_DEBUG_OUTPUT=stderr ");
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(plain.debugOutput.compare(0, expectedStart.size(), expectedStart), 0)
      << plain.debugOutput;
  // The address differs from run to run.
  auto masked = [](std::string text) {
    for (size_t at = text.find("Pointer:0x"); at != std::string::npos;
         at = text.find("Pointer:0x", at + 1)) {
      text.replace(at + 10, text.find('\n', at) - at - 10, "X");
    }
    return text;
  };
  const std::string report = masked(plain.debugOutput);

  ChildResult none = RunProbe("unload", {"114:9"}, "RODAROVE_DEBUG_OUTPUT=none ");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.debugOutput, "");

  const std::string file = testing::TempDir() + "rodarove_debug_output.txt";
  std::remove(file.c_str());
  for (const char* mode : {"unload", "exit"}) {
    ChildResult toFile = RunProbe(mode, {"114:9"}, "RODAROVE_DEBUG_OUTPUT=file:" + file + " ");
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.debugOutput, "") << mode;
  }
  std::string written = ReadFile(file);
  std::remove(file.c_str());
  EXPECT_EQ(masked(written), report + report) << "two reports, appended";

  // A file that cannot be opened (a folder), no file name, or a value it
  // does not know leaves it on standard error.
  for (const std::string& where : {"file:" + testing::TempDir(), std::string("file:"),
                                   std::string("stdout")}) {
    ChildResult r = RunProbe("exit", {"114:9"}, "RODAROVE_DEBUG_OUTPUT=" + where + " ");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(masked(r.debugOutput), report) << where;
  }
  // Writes that fail (a full device) are dropped; the process goes on.
  ChildResult full = RunProbe("unload", {"114:9", "837:1"}, "RODAROVE_DEBUG_OUTPUT=file:/dev/full ");
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(full.addresses.size(), 2u);
  EXPECT_EQ(full.debugOutput, "");
}

TEST(LeakReport, NothingIsPrintedWithoutLiveComponents) {
  ChildResult r = RunProbe("unload", {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.debugOutput, "");
}

}  // namespace
