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

// Runs the host on a pseudo-terminal, typing input; returns all it shows.
HostResult RunHostOnTerminal(const std::vector<std::string>& args, const std::string& input);

// Replaces the build directory of the module by ${MODULE_DIR} and the
// addresses of the leak report by a fixed text.
std::string Normalize(const std::string& output);

// A fresh empty directory for one test.
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& text);
bool ReadFile(const std::string& path, std::string* text);

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_HOST_HOST_RUN_H_
