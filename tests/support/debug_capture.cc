#include "tests/support/debug_capture.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace rodarove_test {

DebugCapture::DebugCapture() {
  fflush(stderr);
  char path[] = "/tmp/rodarove-debug-XXXXXX";
  fileFd_ = mkstemp(path);
  if (fileFd_ < 0) return;
  unlink(path);
  savedFd_ = dup(STDERR_FILENO);
  dup2(fileFd_, STDERR_FILENO);
}

DebugCapture::~DebugCapture() { Stop(); }

void DebugCapture::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (fileFd_ < 0) return;
  fflush(stderr);
  dup2(savedFd_, STDERR_FILENO);
  close(savedFd_);
  lseek(fileFd_, 0, SEEK_SET);
  char chunk[4096];
  ssize_t n;
  while ((n = read(fileFd_, chunk, sizeof chunk)) > 0) text_.append(chunk, static_cast<size_t>(n));
  close(fileFd_);
}

std::string DebugCapture::Take() {
  Stop();
  return text_;
}

}  // namespace rodarove_test
