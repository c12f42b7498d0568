// The interpreter run in process, the way a program that embeds it (a
// fuzzer, a test) runs it: lines in, statuses out, nothing read from
// standard input, no exit on quit, and every component released at the end.
#include "host/interpreter.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/host_platform.h"
#include "host/module_exports.h"
#include "tests/support/module_loader.h"

namespace rodarove_test {
namespace {

using rodarove_host::Interpreter;
using Status = rodarove_host::Interpreter::Status;

// Sends standard output to a file while it lives; Text() reads it back.
class CapturedOutput {
 public:
  CapturedOutput() {
    std::fflush(stdout);
    char path[] = "/tmp/rodarove-interpreter-XXXXXX";
    fd_ = mkstemp(path);
    path_ = path;
    saved_ = dup(1);
    dup2(fd_, 1);
  }
  ~CapturedOutput() { Restore(); }
  std::string Text() {
    Restore();
    std::string text;
    char buf[4096];
    lseek(fd_, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    unlink(path_.c_str());
  }
  int fd_ = -1;
  int saved_ = -1;
  std::string path_;
};

TEST(InterpreterInProcess, RunsLinesAndReleasesEverything) {
  rodarove_host::ModuleExports exports;
  std::string why;
  void* module = rodarove_host::LoadModule(BuiltModulePath(), &exports, &why);
  ASSERT_NE(module, nullptr) << why;
  // Standard input holds a line that nothing may read.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  ASSERT_EQ(write(pipeFds[1], "quit\n", 5), 5);
  const int savedInput = dup(0);
  dup2(pipeFds[0], 0);

  std::string output;
  {
    Interpreter interpreter(exports);
    std::string error;
    CapturedOutput captured;
    EXPECT_EQ(interpreter.Run("create map as m", &error), Status::kOk);
    EXPECT_EQ(interpreter.Run("set-root m 1", &error), Status::kOk);
    EXPECT_EQ(interpreter.Run("frob", &error), Status::kError);
    EXPECT_EQ(error, "unknown command 'frob' (try 'help')");
    EXPECT_EQ(interpreter.Run("expect 2 exists m 1", &error), Status::kError);
    EXPECT_EQ(error, "expected 2, got 1 from 'exists m 1'");
    EXPECT_EQ(interpreter.Run("quit", &error), Status::kQuit);
    // After quit the caller decides: the session can go on.
    EXPECT_EQ(interpreter.Run("create array as a", &error), Status::kOk);
    EXPECT_EQ(interpreter.Run("set-dll-safe 0", &error), Status::kOk);
    EXPECT_EQ(interpreter.Run("release a", &error), Status::kOk);
    output = captured.Text();
    EXPECT_EQ(exports.PavexDllCanUnloadNow(), 0);
    // ReleaseAll makes Release work again first.
    EXPECT_EQ(interpreter.ReleaseAll(), 2);
    EXPECT_EQ(exports.PavexDllCanUnloadNow(), 1);
    EXPECT_EQ(interpreter.ReleaseAll(), 0);
    EXPECT_EQ(interpreter.Run("root m", &error), Status::kError);
    EXPECT_EQ(error, "component 'm' was released already");
  }
  EXPECT_EQ(output,
            "#1 m = CreateComponent(114, 0)\nm.SetRoot(1) = 1\nm.Exists(1) = 1\n"
            "#2 a = CreateComponent(837, 0)\nPavexSetDllSafe(0) = 0 (Release does nothing now)\n"
            "a.Release(0); a stays: dll-safe is 0\n");

  // Nothing read standard input.
  pollfd p{0, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 0), 1);
  char buf[8] = {};
  EXPECT_EQ(read(0, buf, sizeof buf), 5);
  EXPECT_EQ(std::string(buf), "quit\n");
  dup2(savedInput, 0);
  close(savedInput);
  close(pipeFds[0]);
  close(pipeFds[1]);
  rodarove_host::CloseLibrary(module);
}

}  // namespace
}  // namespace rodarove_test
