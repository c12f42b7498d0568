// Collects what the code under test sends to the debugger output, as it
// really arrives there (standard error on POSIX).
#ifndef RODAROVE_TESTS_SUPPORT_DEBUG_CAPTURE_H_
#define RODAROVE_TESTS_SUPPORT_DEBUG_CAPTURE_H_

#include <string>

namespace rodarove_test {

// Captures from construction until Take() or destruction. Not nestable.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  // Everything captured so far; capturing stops.
  std::string Take();

 private:
  void Stop();
  int savedFd_ = -1;
  int fileFd_ = -1;
  std::string text_;
  bool stopped_ = false;
};

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_SUPPORT_DEBUG_CAPTURE_H_
