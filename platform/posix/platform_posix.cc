// POSIX side of the platform layer.
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace rodarove {
namespace platform {

static_assert(sizeof(pthread_mutex_t) <= sizeof(CriticalSection::storage),
              "CriticalSection storage too small for pthread_mutex_t");

static pthread_mutex_t* AsMutex(CriticalSection* cs) {
  return reinterpret_cast<pthread_mutex_t*>(cs->storage);
}

void InitializeCriticalSection(CriticalSection* cs) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(AsMutex(cs), &attr);
  pthread_mutexattr_destroy(&attr);
}

// The analysis takes the annotations of these two at their word; their
// bodies are the system's lock, which it cannot see.
void EnterCriticalSection(CriticalSection* cs) NO_THREAD_SAFETY_ANALYSIS {
  pthread_mutex_lock(AsMutex(cs));
}

void LeaveCriticalSection(CriticalSection* cs) NO_THREAD_SAFETY_ANALYSIS {
  pthread_mutex_unlock(AsMutex(cs));
}

void DeleteCriticalSection(CriticalSection* cs) { pthread_mutex_destroy(AsMutex(cs)); }

namespace {

// Where RODAROVE_DEBUG_OUTPUT sends the debugger output: "stderr" (also
// when unset, empty or unknown), "none", or "file:PATH", appended to; a
// file that cannot be opened leaves it on standard error. -1 for none.
int OpenDebugOutput() {
  const char* where = std::getenv("RODAROVE_DEBUG_OUTPUT");
  if (where == nullptr) return STDERR_FILENO;
  if (std::strcmp(where, "none") == 0) return -1;
  if (std::strncmp(where, "file:", 5) == 0 && where[5] != '\0') {
    int fd = ::open(where + 5, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd >= 0) return fd;
  }
  return STDERR_FILENO;
}

// Decided at the first message and kept; the file is closed at unload.
std::atomic<int> g_debugOutput{-2};  // -2: not decided yet
std::once_flag g_debugOutputOnce;

int DebugOutput() {
  std::call_once(g_debugOutputOnce, [] { g_debugOutput.store(OpenDebugOutput()); });
  return g_debugOutput.load();
}

}  // namespace

void CloseDebugOutput() {
  int fd = g_debugOutput.exchange(-1);
  if (fd > STDERR_FILENO) ::close(fd);
}

void OutputDebugString(const char* text) {
  if (text == nullptr) return;
  const int fd = DebugOutput();
  if (fd < 0) return;
  size_t left = std::strlen(text);
  // One write for the whole message; loop only if the kernel takes less.
  while (left > 0) {
    ssize_t n = ::write(fd, text, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text += n;
    left -= static_cast<size_t>(n);
  }
}

// A debugger is attached when /proc/self/status names a tracer.
static bool DebuggerAttached() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return false;
  char line[256];
  bool traced = false;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      traced = std::strtol(line + 10, nullptr, 10) != 0;
      break;
    }
  }
  std::fclose(f);
  return traced;
}

void DebugBreak() {
  if (DebuggerAttached()) std::raise(SIGTRAP);
}

int VFormat(char* buf, size_t count, const char* format, va_list args) {
  // vsnprintf needs room for its terminator; _vsnprintf writes at most count
  // characters and terminates only a text shorter than count. Format into a
  // buffer one longer, then copy what _vsnprintf would have left.
  char stack[1025];
  char* tmp = count + 1 <= sizeof stack ? stack : new (std::nothrow) char[count + 1];
  if (tmp == nullptr) return -1;
  int needed = std::vsnprintf(tmp, count + 1, format, args);
  int result;
  if (needed < 0) {
    result = -1;
  } else if (static_cast<size_t>(needed) <= count) {
    std::memcpy(buf, tmp, static_cast<size_t>(needed));
    if (static_cast<size_t>(needed) < count) buf[needed] = '\0';
    result = needed;
  } else {
    std::memcpy(buf, tmp, count);
    result = -1;
  }
  if (tmp != stack) delete[] tmp;
  return result;
}

}  // namespace platform
}  // namespace rodarove
