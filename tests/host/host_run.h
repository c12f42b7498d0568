// Runs the host program as a child process and collects what it writes.
#ifndef RODAROVE_TESTS_HOST_HOST_RUN_H_
#define RODAROVE_TESTS_HOST_HOST_RUN_H_

#include <string>
#include <vector>

namespace rodarove_test {

struct HostResult {
  std::string output;  // standard output and standard error, on one pipe
  int status = -1;     // exit status; 128 + signal when killed
};

// Runs the host with args, standard input read from the text given, in the
// directory cwd (the current one when empty).
HostResult RunHost(const std::vector<std::string>& args, const std::string& input = "",
                   const std::string& cwd = "");

// The same with the host program at host.
HostResult RunHostAt(const std::string& host, const std::vector<std::string>& args,
                     const std::string& input = "", const std::string& cwd = "");

// Runs the host on a pseudo-terminal, typing input; returns all it shows.
HostResult RunHostOnTerminal(const std::vector<std::string>& args, const std::string& input);

// A host session on a pseudo-terminal, typed into step by step. The host
// runs with HOME set to home and a terminal type that line editing knows.
class TerminalSession {
 public:
  TerminalSession(const std::string& host, const std::string& home);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  void Type(const std::string& keys);
  // Reads what the host shows until text appears after what earlier waits
  // consumed; false after 20 seconds without it.
  bool WaitFor(const std::string& text);
  // Waits for the host to end (after a quit typed) and returns its status.
  int Finish();
  // All the host showed so far, its CR LF line ends made LF.
  std::string Output() const;
  // What it showed since the wait before the last.
  const std::string& Last() const { return last_; }

 private:
  int master_ = -1;
  int pid_ = -1;
  std::string output_;
  size_t consumed_ = 0;
  std::string last_;
};

// Replaces the build directory of the module by ${MODULE_DIR} and the
// addresses of the leak report by a fixed text.
std::string Normalize(const std::string& output);

// "" when got equals the text of the file at path; otherwise where they
// differ, and the whole of got. RODAROVE_UPDATE_EXPECTED=1 rewrites the
// file with got instead.
std::string CompareWithFile(const std::string& got, const std::string& path);

// A fresh empty directory for one test.
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& text);
bool ReadFile(const std::string& path, std::string* text);

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_HOST_HOST_RUN_H_
