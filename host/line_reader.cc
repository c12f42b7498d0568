#include "host/line_reader.h"

#include <cerrno>

#include "host/host_platform.h"

namespace rodarove_host {

namespace {

class StreamReader : public LineReader {
 public:
  StreamReader(std::FILE* file, const std::string& prompt, bool terminal)
      : file_(file), prompt_(prompt), terminal_(terminal) {}

  Result Read(std::string* line) override {
    if (!prompt_.empty()) {
      std::fputs(prompt_.c_str(), stdout);
      std::fflush(stdout);
    }
    line->clear();
    if (terminal_ && InterruptPending()) return Interrupted();
    for (;;) {
      int c = std::getc(file_);
      if (c == '\n') break;
      if (c != EOF) {
        *line += static_cast<char>(c);
        continue;
      }
      // At a terminal, Ctrl-C ends the read (POSIX: EINTR; Windows: the
      // console read fails); the typed text is gone.
      if (terminal_ && InterruptArrives(100)) return Interrupted();
      if (line->empty()) {
        if (!prompt_.empty()) std::fputs("\n", stdout);
        return Result::kEnd;
      }
      break;  // a last line without a line end
    }
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return Result::kLine;
  }

 private:
  // The terminal showed ^C; the prompt goes on a line of its own.
  Result Interrupted() {
    std::clearerr(file_);
    std::fputs("\n", stdout);
    std::fflush(stdout);
    return Result::kInterrupted;
  }

  std::FILE* file_;
  std::string prompt_;
  bool terminal_;
};

}  // namespace

std::unique_ptr<LineReader> NewStreamReader(std::FILE* file, const std::string& prompt) {
  return std::unique_ptr<LineReader>(new StreamReader(file, prompt, false));
}

std::unique_ptr<LineReader> NewPlainTerminalReader(const std::string& prompt) {
  return std::unique_ptr<LineReader>(new StreamReader(stdin, prompt, true));
}

}  // namespace rodarove_host
