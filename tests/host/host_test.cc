// The host program as its users run it: example scripts against their
// checked-in outputs, the errors for bad input, and prompt sessions.
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/host_run.h"

namespace rodarove_test {
namespace {

const std::string kExamples = RODAROVE_EXAMPLES_DIR;

// Each example's output, addresses and build directory masked, must equal
// the checked-in one. RODAROVE_UPDATE_EXPECTED=1 rewrites them instead.
TEST(HostExamples, OutputsMatchCheckedInOnes) {
  for (const char* name : {"demo", "side_by_side", "large_tree", "factory"}) {
    SCOPED_TRACE(name);
    HostResult r = RunHost({kExamples + "/" + name + ".txt"});
    EXPECT_EQ(r.status, 0) << r.output;
    std::string differs = CompareWithFile(Normalize(r.output), kExamples + "/" + name + ".expected");
    if (!differs.empty()) ADD_FAILURE() << name << ": " << differs;
  }
}

struct BadScript {
  const char* script;
  const char* error;  // the whole error line
};

// In a script the run stops at the first error, names file and line, and
// exits with status 1; what came before the error has run.
TEST(HostErrors, ScriptStopsAtFirstErrorNamingTheLine) {
  const BadScript cases[] = {
      {"echo start\nfrob 1 2\n", "bad.txt:2: error: unknown command 'frob' (try 'help')"},
      {"echo start\n\"echo\" x\n", "bad.txt:2: error: unknown command 'echo' (try 'help')"},
      {"echo start\ncreate map as m\nappend m 1\n",
       "bad.txt:3: error: wrong number of arguments for 'append': expected 'append C NEW "
       "PARENT'"},
      {"echo start\ncreate map as m\nset-root m 1 2\n",
       "bad.txt:3: error: wrong number of arguments for 'set-root': expected 'set-root C ID'"},
      {"echo start\nhelp me\n", "bad.txt:2: error: no command 'me' (try 'help')"},
      {"echo start\ncreate map as m\nset-root m 2147483648\n",
       "bad.txt:3: error: ID 2147483648 is out of range (-2147483648 to 2147483647)"},
      {"echo start\ncreate map as m\nappend m -2147483649 1\n",
       "bad.txt:3: error: NEW -2147483649 is out of range (-2147483648 to 2147483647)"},
      {"echo start\ncreate map as m\nappend m 5 99999999999999999999999\n",
       "bad.txt:3: error: PARENT 99999999999999999999999 is out of range (-2147483648 to "
       "2147483647)"},
      {"echo start\ncreate map as m\nexists m 12x\n",
       "bad.txt:3: error: expected a number for ID, got '12x'"},
      {"echo start\ncreate map as m\nexists m 0x\n",
       "bad.txt:3: error: expected a number for ID, got '0x'"},
      {"echo start\ncreate map 4294967296\n",
       "bad.txt:2: error: CREATOR 4294967296 is out of range (0 to 4294967295)"},
      {"echo start\ncreate map -1\n",
       "bad.txt:2: error: CREATOR -1 is out of range (0 to 4294967295)"},
      {"echo start\ncreate tree\n", "bad.txt:2: error: expected a number for CLASS, got 'tree'"},
      {"echo start\ncreate map as 9lives\n",
       "bad.txt:2: error: a name begins with a letter and holds letters, digits, _ and -; got "
       "'9lives'"},
      {"echo start\ncreate map as m\ncreate array as m\n",
       "bad.txt:3: error: a component named 'm' exists already"},
      {"echo start\ncreate map as m extra\n",
       "bad.txt:2: error: expected 'create CLASS [CREATOR] [as NAME]'"},
      {"echo start\nshow z\n", "bad.txt:2: error: unknown component 'z'"},
      {"echo start\ncreate map\nroot 2\n", "bad.txt:3: error: unknown component '2'"},
      {"echo start\ncreate map as m\nrelease m\nroot m\n",
       "bad.txt:4: error: component 'm' was released already"},
      {"echo start\ncreate map as m\nrelease 1\nrelease m\n",
       "bad.txt:4: error: component 'm' was released already"},
      {"echo start\ncreate map as m\nleaves m 1 16777217\n",
       "bad.txt:3: error: CAP 16777217 is more than this host allocates (16777216)"},
      {"echo start\ncreate map as m\nregistry m x 70000\n",
       "bad.txt:3: error: CAP 70000 is more than this host allocates (65536)"},
      {"echo start\ncreate map as m\nshow m -1\n", "bad.txt:3: error: DEPTH must not be negative"},
      {"echo start\ncreate map as m\ngenerate m 0\n",
       "bad.txt:3: error: COUNT must be 1 to 50000000"},
      {"echo start\ncreate map as m\ngenerate m 5 0\n",
       "bad.txt:3: error: FANOUT must be 1 or more"},
      {"echo start\ncreate map as m\nset-root m 4\ngenerate m 5\n",
       "bad.txt:4: error: generate needs an empty tree; m has root 4"},
      {"echo start\necho \"unterminated\n", "bad.txt:2: error: unterminated quoted text"},
      {"echo start\ncreate map as m\ndot m /nonexistent-dir/x.dot\n",
       "bad.txt:3: error: cannot write '/nonexistent-dir/x.dot': No such file or directory"},
      // A mistyped command names the nearest ones.
      {"echo start\napend m 1 2\n",
       "bad.txt:2: error: unknown command 'apend' (did you mean 'append'?)"},
      {"echo start\nmove-frist m 1 2\n",
       "bad.txt:2: error: unknown command 'move-frist' (did you mean 'move-first'?)"},
      {"echo start\nsiblings-with m 1\n",
       "bad.txt:2: error: unknown command 'siblings-with' (did you mean 'siblings-with-self'?)"},
      {"echo start\nhelp leav\n", "bad.txt:2: error: no command 'leav' (did you mean 'leaves'?)"},
      {"echo start\ntime frob\n", "bad.txt:2: error: unknown command 'frob' (try 'help')"},
      {"echo start\ntime\n", "bad.txt:2: error: wrong number of arguments for 'time': expected "
                             "'time [N] COMMAND...'"},
  };
  std::string dir = MakeTempDir();
  for (const BadScript& c : cases) {
    SCOPED_TRACE(c.script);
    WriteFile(dir + "/bad.txt", std::string(c.script) + "echo not reached\n");
    HostResult r = RunHost({"bad.txt"}, "", dir);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.find("start\n"), 0u) << r.output;
    EXPECT_NE(r.output.find(std::string(c.error) + "\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not reached"), std::string::npos) << r.output;
  }
  unlink((dir + "/bad.txt").c_str());
  rmdir(dir.c_str());
}

TEST(HostErrors, MissingScriptModuleOrFactoryLibrary) {
  HostResult r = RunHost({"/nonexistent/script.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "rodarove-host: error: cannot open script '/nonexistent/script.txt'\n");

  r = RunHost({"--module", "/nonexistent/librodarove.so", "-"}, "echo hi\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.find("rodarove-host: error: cannot load module "
                          "'/nonexistent/librodarove.so': "),
            0u)
      << r.output;
  EXPECT_EQ(r.output.find("hi"), std::string::npos);

  // A library that loads but is not the module: the factory stand-in has
  // CreateComponent and none of the other six.
  r = RunHost({"--module", RODAROVE_FACTORY_PATH, "-"}, "echo hi\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("': it does not export GetComponentIDs, SetDLLRegistry, "
                          "SetFactoryHandle, PavexDllCanUnloadNow, PavexDllFreeMap, "
                          "PavexSetDllSafe\n"),
            std::string::npos)
      << r.output;

  r = RunHost({"-"}, "set-factory /nonexistent/libPavFact.so\necho not reached\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.find("stdin:1: error: cannot load '/nonexistent/libPavFact.so': "), 0u)
      << r.output;
  EXPECT_EQ(r.output.find("not reached"), std::string::npos);

  r = RunHost({"--frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output.find("rodarove-host: error: unexpected argument '--frobnicate'\nusage: "), 0u)
      << r.output;
  r = RunHost({"a.txt", "b.txt"});
  EXPECT_EQ(r.status, 2);
  r = RunHost({"--module"});
  EXPECT_EQ(r.status, 2);
}

// The manual page the build wrote from the command table: every command of
// 'help all' has its entry, and man reads it without a warning.
TEST(HostManual, ListsEveryCommandAndReadsCleanly) {
  std::string page;
  ASSERT_TRUE(ReadFile(RODAROVE_MAN_PAGE, &page)) << RODAROVE_MAN_PAGE;
  HostResult r = RunHost({"-"}, "help all\n");
  ASSERT_EQ(r.status, 0);
  std::istringstream in(r.output);
  int commands = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    std::string name = line.substr(2, line.find(' ', 2) - 2);
    std::string troff;
    for (char c : name) troff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(page.find(".TP\n\\fB" + troff + "\\fR"), std::string::npos) << name;
    ++commands;
  }
  EXPECT_GT(commands, 55);
  if (access("/usr/bin/man", X_OK) != 0) GTEST_SKIP() << "no man program to read the page";
  const std::string dir = MakeTempDir();
  const std::string command = "man --warnings -E UTF-8 -l -Tutf8 -Z " + std::string(RODAROVE_MAN_PAGE) +
                              " >/dev/null 2>" + dir + "/warnings.txt";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::string warnings;
  ASSERT_TRUE(ReadFile(dir + "/warnings.txt", &warnings));
  EXPECT_EQ(warnings, "");
  unlink((dir + "/warnings.txt").c_str());
  rmdir(dir.c_str());
}

// Every export and slot section of the reference ends with the host's
// help for its command, between "<!-- help:begin CMD -->" and
// "<!-- help:end -->": the reference and 'help CMD' cannot drift apart.
// RODAROVE_UPDATE_EXPECTED=1 fills the blocks from the host instead.
TEST(HostManual, ReferenceHoldsTheHelpOfEveryCommand) {
  const std::string path = kExamples + "/../docs/reference.md";
  std::string text;
  ASSERT_TRUE(ReadFile(path, &text)) << path;
  const std::string begin = "<!-- help:begin ", end = "<!-- help:end -->";
  std::string want;
  size_t at = 0;
  int blocks = 0;
  for (size_t b; (b = text.find(begin, at)) != std::string::npos; ++blocks) {
    const size_t close = text.find(" -->\n", b);
    ASSERT_NE(close, std::string::npos);
    const std::string command = text.substr(b + begin.size(), close - b - begin.size());
    const size_t e = text.find(end, close);
    ASSERT_NE(e, std::string::npos) << command;
    HostResult r = RunHost({"-"}, "help " + command + "\n");
    ASSERT_EQ(r.status, 0) << r.output;
    want += text.substr(at, close + 5 - at) + "\nIn the host program, `help " + command +
            "`:\n\n";
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) want += line.empty() ? "\n" : "    " + line + "\n";
    want += "\n" + end;
    at = e + end.size();
  }
  want += text.substr(at);
  EXPECT_GT(blocks, 40);
  EXPECT_EQ(CompareWithFile(want, path), "");
}

// At the prompt an error is shown with its line number and the session
// goes on; the prompt appears only on a terminal (or when asked for).
TEST(HostPrompt, TerminalSessionReportsErrorsAndGoesOn) {
  HostResult r = RunHostOnTerminal(
      {}, "create map 3 as m\nfrob\nset-root m 1\nappend m 2 x\nappend m 2 1\nshow m\nquit\n");
  EXPECT_EQ(r.status, 0) << r.output;
  std::string out = r.output;
  // The terminal turns line ends into CR LF.
  for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", at)) {
    out.erase(at, 1);
  }
  EXPECT_NE(out.find("type 'help' for the commands"), std::string::npos) << out;
  EXPECT_NE(out.find("rodarove> "), std::string::npos) << out;
  EXPECT_NE(out.find("#1 m = CreateComponent(114, 3)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("line 2: error: unknown command 'frob' (try 'help')\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("m.SetRoot(1) = 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("line 4: error: expected a number for PARENT, got 'x'\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("tree of m:\n1\n`-- 2\n"), std::string::npos) << out;
  // quit unloads the module, which reports the component left live.
  EXPECT_NE(out.find("Found leak Pavex components. Count:1"), std::string::npos) << out;
}

TEST(HostPrompt, StandardInputRunsAsAScriptUnlessInteractive) {
  const std::string input = "create array as a\nset-root a 0\nexists a\nset-root a 5\nroot a\n";
  HostResult r = RunHost({}, input);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.find("rodarove> "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("a.SetRoot(0) = 0 (refused)\nstdin:3: error: wrong number of arguments for "
                          "'exists': expected 'exists C ID'\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("a.SetRoot(5)"), std::string::npos);

  r = RunHost({"--interactive"}, input);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("rodarove> line 3: error: wrong number of arguments for 'exists'"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("a.GetRoot() = 1: 5\n"), std::string::npos) << r.output;

  std::string dir = MakeTempDir();
  r = RunHost({"-"}, "create array as a\nset-root a 1\nappend a 2 1\ndot a \"t r.dot\"\n", dir);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("wrote the tree of a to t r.dot\n"), std::string::npos) << r.output;
  std::string graph;
  EXPECT_TRUE(ReadFile(dir + "/t r.dot", &graph));
  EXPECT_EQ(graph, "digraph \"a\" {\n  node [shape=circle];\n  \"1\";\n  \"1\" -> \"2\";\n}\n");
  unlink((dir + "/t r.dot").c_str());
  rmdir(dir.c_str());

  r = RunHost({"-i"}, "help all\n");
  EXPECT_NE(r.output.find("  at-depth C DEPTH ID [CAP|null]"), std::string::npos) << r.output;
  r = RunHost({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("usage: rodarove-host"), std::string::npos);
}

// Random lines of commands and words, well formed or not, never crash the
// host: every line either runs or is reported, and the session ends well.
TEST(HostPrompt, RandomInputNeverCrashes) {
  unsigned seed = std::random_device{}();
  if (const char* s = std::getenv("RODAROVE_SEED")) seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
  int lines = 3000;
  if (const char* s = std::getenv("RODAROVE_MODEL_STEPS")) lines = std::atoi(s);
  std::printf("RODAROVE_SEED=%u RODAROVE_MODEL_STEPS=%d\n", seed, lines);
  std::mt19937 rng(seed);
  // Moves and array-class edits are left out: a move into its own subtree,
  // or an array insertion under a former descendant, breaks the callers'
  // contract of the tree classes, not the host's.
  const std::vector<std::string> commands = {
      "help", "echo", "create", "list", "show", "dot", "generate", "time", "id", "version",
      "release", "auto-free", "set-auto-free", "set-root", "is-leaf", "exists", "is-child",
      "append", "prepend", "insert-after", "insert-before", "clear", "remove", "root", "parent",
      "last-child", "first-child", "prev-sibling", "next-sibling", "path-from-root",
      "path-to-root", "siblings", "leaves", "all-nodes", "on-final-release", "registry",
      "siblings-with-self", "descendants", "at-depth", "component-ids", "set-registry",
      "can-unload", "free-map", "set-dll-safe", "frob", "\"show\"", "#", "", "expect",
      "expect-list", "limit", "append-children", "save", "load", "source"};
  const std::vector<std::string> words = {
      "m", "m", "m", "z", "1", "2", "3", "4", "5", "7", "0", "-1", "12", "0x10", "-0x3",
      "2147483647", "2147483648", "-2147483649", "4294967295", "99999999999999999999", "null",
      "none", "as", "map", "114", "\"m\"", "\"a b\"", "\"", "x", "g.dot", "#c", "+", "-", "0x",
      "--all", "all", "exists", "\"1 2\""};
  const std::vector<std::string> readOnly = {"show", "exists", "parent", "leaves", "at-depth",
                                             "all-nodes", "descendants", "root", "is-child"};
  std::string input = "create map as m\ncreate array as a\nset-root a 1\nappend a 2 1\n";
  for (int i = 0; i < lines; ++i) {
    std::string line;
    std::string command = commands[rng() % commands.size()];
    if (rng() % 8 == 0) {
      line = readOnly[rng() % readOnly.size()] + " a";
    } else {
      line = command;
    }
    int n = static_cast<int>(rng() % 5);
    for (int k = 0; k < n; ++k) line += " " + words[rng() % words.size()];
    if (command == "generate" || command == "time") line = "generate m 20 2";
    input += line + "\n";
    if (rng() % 200 == 0) input += "create map as m\n";
  }
  std::string dir = MakeTempDir();
  HostResult r = RunHost({"-i"}, input, dir);
  EXPECT_EQ(r.status, 0) << "seed " << seed;
  EXPECT_EQ(r.output.find("[timed out]"), std::string::npos) << "seed " << seed;
  // Every error names its line.
  std::istringstream out(r.output);
  std::string line;
  while (std::getline(out, line)) {
    size_t at = line.find("error: ");
    if (at == std::string::npos) continue;
    EXPECT_NE(line.rfind("line ", at), std::string::npos) << line << " (seed " << seed << ")";
  }
  unlink((dir + "/g.dot").c_str());
  rmdir(dir.c_str());
}

}  // namespace
}  // namespace rodarove_test
