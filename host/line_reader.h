// Where the lines of a session come from: a script or a pipe, read as they
// come, or a terminal, with a prompt, line editing and history.
#ifndef RODAROVE_HOST_LINE_READER_H_
#define RODAROVE_HOST_LINE_READER_H_

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace rodarove_host {

class LineReader {
 public:
  enum class Result { kLine, kInterrupted, kEnd };
  virtual ~LineReader() = default;
  // The next line, without its line end. kInterrupted: Ctrl-C dropped the
  // line being typed; the caller clears the interrupt.
  virtual Result Read(std::string* line) = 0;
};

// The lines of file, which stays open and owned by the caller. A prompt
// that is not empty is written before each line, and a line end after the
// last. Ctrl-C ends a read only once CatchInterrupts has run.
std::unique_ptr<LineReader> NewStreamReader(std::FILE* file, const std::string& prompt);

// The lines typed at the terminal on standard input, with the terminal's
// own line editing (the Windows console keeps its history itself).
std::unique_ptr<LineReader> NewPlainTerminalReader(const std::string& prompt);

// The lines typed at the terminal, edited by the best means the build has:
// on POSIX with libedit, keeping history in the file historyPath (none when
// empty) and completing the first word of a line from commands with Tab;
// otherwise as NewPlainTerminalReader. CatchInterrupts must have run, so
// that Ctrl-C drops the line being typed. The end of input (Ctrl-D) ends
// the prompt's line.
std::unique_ptr<LineReader> NewTerminalReader(const std::string& prompt,
                                              const std::string& historyPath,
                                              const std::vector<std::string>& commands);

// Whether NewTerminalReader edits lines itself, for the program's messages.
bool EditsLines();

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_LINE_READER_H_
