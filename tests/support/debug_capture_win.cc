// Windows side of DebugCapture. OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C (parameters: length with terminator, string) before
// it does anything else; a vectored handler sees that exception first, in
// the thread that printed, for every module of the process. The handler
// copies the text and lets OutputDebugStringA go on as usual. (Under a
// debugger the debugger takes the exception first and nothing is captured;
// leak_report_debugger_test is the test that plays the debugger.) The
// handler never allocates: an exception cannot leave it, and tests that fail
// allocations on purpose must not see its own. It appends into the room
// reserved when the capture starts and drops what does not fit.
#include <windows.h>

#include <cstring>
#include <mutex>

#include "tests/support/debug_capture.h"

#ifndef DBG_PRINTEXCEPTION_C
#define DBG_PRINTEXCEPTION_C 0x40010006L
#endif

namespace rodarove_test {

namespace {
std::mutex g_mutex;
std::string* g_sink = nullptr;  // the active capture's text; guarded by g_mutex
PVOID g_handler = nullptr;      // installed once, kept for the process
constexpr size_t kCaptureRoom = 1 << 16;  // more than any test prints

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  if (static_cast<DWORD>(r->ExceptionCode) != static_cast<DWORD>(DBG_PRINTEXCEPTION_C) ||
      r->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  size_t limit = static_cast<size_t>(r->ExceptionInformation[0]);
  const char* text = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
  if (text != nullptr) {
    size_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_sink != nullptr) {
      const size_t room = g_sink->capacity() - g_sink->size();
      g_sink->append(text, n < room ? n : room);
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

DebugCapture::DebugCapture() {
  text_.reserve(kCaptureRoom);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_handler == nullptr) g_handler = ::AddVectoredExceptionHandler(1, OnException);
  g_sink = &text_;
}

DebugCapture::~DebugCapture() { Stop(); }

void DebugCapture::Stop() {
  if (stopped_) return;
  stopped_ = true;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_sink == &text_) g_sink = nullptr;
}

std::string DebugCapture::Take() {
  Stop();
  std::lock_guard<std::mutex> lock(g_mutex);
  return text_;
}

}  // namespace rodarove_test
