// The host at a terminal: line editing, history kept between sessions, and
// Ctrl-C, which drops the typed line or stops a long command and never ends
// the session. Also the host built without libedit.
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/host/host_run.h"

namespace rodarove_test {
namespace {

const char kUp[] = "\x1b[A";
const char kLeft[] = "\x1b[D";
const char kBackspace[] = "\x7f";
const char kCtrlC[] = "\x03";
const char kCtrlD[] = "\x04";

// Types a line and waits for what it should show, then for the next prompt.
#define RUN_LINE(session, keys, shown)                                      \
  do {                                                                      \
    (session).Type(keys);                                                   \
    ASSERT_TRUE((session).WaitFor(shown)) << (session).Last();              \
    ASSERT_TRUE((session).WaitFor("rodarove> ")) << (session).Last();       \
  } while (0)

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts a time of a billion runs, and stops it with Ctrl-C once it runs.
void StopALongTime(TerminalSession* s) {
  s->Type("time 1000000000 exists m 1\r");
  ASSERT_TRUE(s->WaitFor("m.Exists(1) = 1\n")) << s->Last();
  Pause(100);
  s->Type(kCtrlC);
  ASSERT_TRUE(s->WaitFor("time: stopped by Ctrl-C after ")) << s->Last();
  ASSERT_TRUE(s->WaitFor("rodarove> ")) << s->Last();
}

TEST(HostTerminal, LineEditingHistoryAndCtrlC) {
  const std::string home = MakeTempDir();
  {
    TerminalSession s(RODAROVE_HOST_PATH, home);
    ASSERT_TRUE(s.WaitFor("rodarove> ")) << s.Last();
    RUN_LINE(s, "create map as m\r", "#1 m = CreateComponent(114, 0)\n");
    RUN_LINE(s, "set-root m 1\r", "m.SetRoot(1) = 1\n");
    // Left arrow moves into the line: the 1 goes before the 7.
    RUN_LINE(s, std::string("exists m 7") + kLeft + "1\r", "m.Exists(17) = 0 (not a node)\n");
    RUN_LINE(s, std::string("exists m 9") + kBackspace + "1\r", "m.Exists(1) = 1\n");
    // Up twice recalls the line before the last.
    RUN_LINE(s, std::string(kUp) + kUp + "\r", "m.Exists(17) = 0 (not a node)\n");

    // Ctrl-C drops the line being typed.
    s.Type("append m 2");
    ASSERT_TRUE(s.WaitFor("append m 2")) << s.Last();
    s.Type(kCtrlC);
    ASSERT_TRUE(s.WaitFor("^C\nrodarove> ")) << s.Last();
    RUN_LINE(s, "append m 3 1\r", "m.AppendChild(3, 1) = 1\n");
    // Tab completes the command word.
    RUN_LINE(s, "desc\t m 1\r", "m.GetDescendants(1, buffer, 1) = 1: (3,1)\n");

    // Ctrl-C stops a long time and a long generate between calls.
    ASSERT_NO_FATAL_FAILURE(StopALongTime(&s));
    RUN_LINE(s, "create array as a\r", "#2 a = CreateComponent(837, 0)\n");
    s.Type("generate a 20000000\r");
    ASSERT_TRUE(s.WaitFor("generate a 20000000\n")) << s.Last();
    Pause(100);
    s.Type(kCtrlC);
    ASSERT_TRUE(s.WaitFor("a.SetRoot(1) = 1; AppendChild(k, (k-2)/2+1) for k = 2..20000000: "
                          "stopped by Ctrl-C before k = "))
        << s.Last();
    ASSERT_TRUE(s.WaitFor("rodarove> ")) << s.Last();

    // Every component lives on.
    RUN_LINE(s, "list\r", "#1 m: component 114, creator 0\n#2 a: component 837, creator 0\n");
    RUN_LINE(s, "all-nodes m\r", "m.GetAllNodes(root, buffer, 2) = 2: root 1 (3,1)\n");
    RUN_LINE(s, "expect 1 exists a 4096\r", "a.Exists(4096) = 1\n");
    RUN_LINE(s, "echo remembered\r", "remembered\n");
    s.Type("quit\r");
    EXPECT_EQ(s.Finish(), 0) << s.Output();
    EXPECT_NE(s.Output().find("Found leak Pavex components. Count:2"), std::string::npos)
        << s.Output();
  }
  std::string history;
  ASSERT_TRUE(ReadFile(home + "/.rodarove_history", &history));
  EXPECT_NE(history.find("remembered"), std::string::npos) << history;

  // The next session recalls the last one's lines; Ctrl-D ends it, and
  // ends the prompt's line.
  {
    TerminalSession s(RODAROVE_HOST_PATH, home);
    ASSERT_TRUE(s.WaitFor("rodarove> ")) << s.Last();
    RUN_LINE(s, std::string(kUp) + kUp + "\r", "remembered\n");
    s.Type(kCtrlD);
    EXPECT_EQ(s.Finish(), 0) << s.Output();
    const std::string out = s.Output();
    // The last prompt, then at most the terminal's echo of the key ("^D").
    const size_t prompt = out.rfind("rodarove> ");
    ASSERT_NE(prompt, std::string::npos) << out;
    EXPECT_TRUE(out.compare(prompt, std::string::npos, "rodarove> \n") == 0 ||
                out.compare(prompt, std::string::npos, "rodarove> ^D\n") == 0)
        << out;
  }
  unlink((home + "/.rodarove_history").c_str());
  rmdir(home.c_str());
}

// Built without libedit, the host reads what the terminal's own line
// discipline hands it: escape bytes are part of the line (and shown escaped
// in the error), Ctrl-C still drops the line and stops a long command.
TEST(HostTerminal, PromptWorksWithoutLibedit) {
  const std::string home = MakeTempDir();
  TerminalSession s(RODAROVE_PLAIN_HOST_PATH, home);
  ASSERT_TRUE(s.WaitFor("rodarove> ")) << s.Last();
  RUN_LINE(s, "create map as m\r", "#1 m = CreateComponent(114, 0)\n");
  RUN_LINE(s, std::string("exists m 7") + kLeft + "1\r",
           "line 2: error: expected a number for ID, got '7\\x1b[D1'\n");
  s.Type("set-root m 9");
  Pause(50);
  s.Type(kCtrlC);
  ASSERT_TRUE(s.WaitFor("rodarove> ")) << s.Last();
  RUN_LINE(s, "set-root m 1\r", "m.SetRoot(1) = 1\n");
  ASSERT_NO_FATAL_FAILURE(StopALongTime(&s));
  RUN_LINE(s, "root m\r", "m.GetRoot() = 1: 1\n");
  s.Type(kCtrlD);
  EXPECT_EQ(s.Finish(), 0) << s.Output();
  EXPECT_NE(s.Output().find("rodarove> \nPavex[Error]:"), std::string::npos) << s.Output();
  // Only the line-editing build keeps a history file.
  std::string history;
  EXPECT_FALSE(ReadFile(home + "/.rodarove_history", &history));
  rmdir(home.c_str());
}

}  // namespace
}  // namespace rodarove_test
