// The terminal's lines through libedit's readline interface: arrow keys and
// the usual editing keys, history kept in a file between sessions, and
// Ctrl-C dropping the line being typed.
//
// The callback interface is used rather than readline() itself: the host
// waits for input in pselect(), which Ctrl-C interrupts, so it can drop the
// line and prompt again instead of ending the program.
#include <editline/readline.h>
#include <signal.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_platform.h"
#include "host/line_reader.h"

namespace rodarove_host {

namespace {

// Lines of history kept in memory and in the file.
constexpr int kHistoryLines = 1000;

// The words Tab completes at the start of a line.
std::vector<std::string> completions;

// Gives the completions of text one by one, state 0 first, then null.
char* NextCompletion(const char* text, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  const size_t length = std::strlen(text);
  while (next < completions.size()) {
    const std::string& word = completions[next++];
    if (word.compare(0, length, text) == 0) return strdup(word.c_str());
  }
  return nullptr;
}

// The first word of a line completes to a command; the others to file
// names, as libedit does by default.
char** Complete(const char* text, int start, int) {
  if (start != 0) return nullptr;
  return rl_completion_matches(text, NextCompletion);
}

class EditReader : public LineReader {
 public:
  EditReader(const std::string& prompt, const std::string& historyPath,
             const std::vector<std::string>& commands)
      : prompt_(prompt), historyPath_(historyPath) {
    completions = commands;
    rl_readline_name = "rodarove-host";
    rl_attempted_completion_function = Complete;
    rl_instream = stdin;
    rl_outstream = stdout;
    using_history();
    stifle_history(kHistoryLines);
    if (!historyPath_.empty()) read_history(historyPath_.c_str());
  }

  ~EditReader() override {
    if (!historyPath_.empty() && write_history(historyPath_.c_str()) == 0) {
      history_truncate_file(historyPath_.c_str(), kHistoryLines);
    }
  }

  Result Read(std::string* line) override {
    std::fflush(stdout);
    reader_ = this;
    done_ = false;
    ended_ = false;
    // SIGINT is let through only while waiting, so that one arriving while
    // a key is handled is seen before the next wait, not after it.
    sigset_t interrupt;
    sigset_t original;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    sigprocmask(SIG_BLOCK, &interrupt, &original);
    Result result = Result::kLine;
    rl_callback_handler_install(prompt_.c_str(), &EditReader::OnLine);
    while (!done_) {
      if (InterruptPending()) {
        rl_replace_line("", 0);
        rl_callback_handler_remove();
        std::fputs("^C\n", stdout);
        std::fflush(stdout);
        result = Result::kInterrupted;
        break;
      }
      fd_set fds;
      FD_ZERO(&fds);
      FD_SET(STDIN_FILENO, &fds);
      int ready = pselect(STDIN_FILENO + 1, &fds, nullptr, nullptr, nullptr, &original);
      if (ready < 0 && errno != EINTR) {
        rl_callback_handler_remove();
        result = Result::kEnd;
        break;
      }
      if (ready > 0) rl_callback_read_char();
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);
    if (result != Result::kLine) return result;
    if (ended_) {
      // Ctrl-D at the prompt: what comes next starts on a line of its own.
      std::fputs("\n", stdout);
      std::fflush(stdout);
      return Result::kEnd;
    }
    *line = text_;
    Remember(text_);
    return Result::kLine;
  }

 private:
  // libedit calls this with the finished line, or null at the end of input.
  static void OnLine(char* text) {
    EditReader* self = reader_;
    rl_callback_handler_remove();
    self->done_ = true;
    self->ended_ = text == nullptr;
    if (text != nullptr) {
      self->text_ = text;
      std::free(text);
    }
  }

  // Adds a line to the history unless it is blank or repeats the last one.
  void Remember(const std::string& text) {
    if (text.find_first_not_of(" \t\r") == std::string::npos || text == last_) return;
    add_history(text.c_str());
    last_ = text;
  }

  static EditReader* reader_;
  std::string prompt_;
  std::string historyPath_;
  bool done_ = false;
  bool ended_ = false;
  std::string text_;
  std::string last_;
};

EditReader* EditReader::reader_ = nullptr;

}  // namespace

std::unique_ptr<LineReader> NewTerminalReader(const std::string& prompt,
                                              const std::string& historyPath,
                                              const std::vector<std::string>& commands) {
  return std::unique_ptr<LineReader>(new EditReader(prompt, historyPath, commands));
}

bool EditsLines() { return true; }

}  // namespace rodarove_host
