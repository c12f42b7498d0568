#include "host/host_platform.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace rodarove_host {

namespace {

// Set from a signal handler (POSIX) or a console handler thread (Windows).
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the interrupt flag must be lock-free");
std::atomic<int> interruptFlag{0};

}  // namespace

bool InterruptPending() { return interruptFlag.load() != 0; }

void ClearInterrupt() { interruptFlag.store(0); }

#if defined(_WIN32)

void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr && error != nullptr) {
    *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void*>(module);
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string ExecutableDirectory() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".";
  return DirectoryOf(std::string(path, n));
}

std::string DefaultModulePath() { return ExecutableDirectory() + "\\rodarove.dll"; }

namespace {

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the length (terminator
// included) and the text; a vectored handler sees it before any debugger
// would, prints it and lets the caller go on.
LONG CALLBACK PrintDebuggerText(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
  const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  if (text != nullptr && length > 0) {
    std::fflush(stdout);
    std::fwrite(text, 1, strnlen(text, length), stderr);
    std::fflush(stderr);
  }
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void RelayDebuggerOutput() {
  static bool installed = false;
  if (!installed) {
    AddVectoredExceptionHandler(1, PrintDebuggerText);
    installed = true;
  }
}

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::string HomeDirectory() {
  const char* home = std::getenv("USERPROFILE");
  return home != nullptr ? home : "";
}

namespace {

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT) return FALSE;  // Ctrl-Break and closing still end the program
  interruptFlag.store(1);
  return TRUE;
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool InterruptArrives(int ms) {
  for (int waited = 0; !InterruptPending() && waited < ms; waited += 10) Sleep(10);
  return InterruptPending();
}

namespace {

std::string LastErrorText(DWORD code) {
  char text[256] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.'))
    text[--n] = '\0';
  return n > 0 ? std::string(text, n) : "error " + std::to_string(code);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string* why) {
  const std::string temp = path + ".new-" + std::to_string(GetCurrentProcessId());
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = LastErrorText(GetLastError());
    return false;
  }
  DWORD error = 0;
  size_t done = 0;
  while (error == 0 && done < text.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
      error = GetLastError();
      if (error == 0) error = ERROR_WRITE_FAULT;
    }
    done += written;
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  if (error == 0 && !MoveFileExA(temp.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != 0) {
    DeleteFileA(temp.c_str());
    *why = LastErrorText(error);
    return false;
  }
  return true;
}

bool IsAbsolutePath(const std::string& path) {
  return path.find(':') != std::string::npos || (!path.empty() && path[0] == '\\');
}

PathKind KindOfModulePath(const std::string& path) {
  const std::string full = IsAbsolutePath(path) ? path : ExecutableDirectory() + "\\" + path;
  DWORD attributes = GetFileAttributesA(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                          : PathKind::kOther;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kOther : PathKind::kFile;
}

#else

void* OpenLibrary(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "dlopen failed";
    // dlopen looks a name without a slash up on the library path only.
    if (path.find('/') == std::string::npos && access(path.c_str(), F_OK) == 0) {
      *error +=
          " (a name without a directory is looked up on the library path; for the file "
          "here, write './" +
          path + "')";
    }
  }
  return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

std::string ExecutableDirectory() {
  char path[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return ".";
  return DirectoryOf(std::string(path, static_cast<size_t>(n)));
}

std::string DefaultModulePath() {
  std::string directory = ExecutableDirectory();
  std::string beside = directory + "/librodarove.so";
#if defined(RODAROVE_INSTALLED_MODULE)
  if (access(beside.c_str(), F_OK) != 0) return directory + "/" RODAROVE_INSTALLED_MODULE;
#endif
  return beside;
}

void RelayDebuggerOutput() {}

bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

namespace {

void OnInterrupt(int) { interruptFlag.store(1); }

}  // namespace

void CatchInterrupts() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a waiting read returns
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptArrives(int) { return InterruptPending(); }

namespace {

// Writes all of text to fd; 0, or the errno of the failure.
int WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string* why) {
  std::string target = path;
  struct stat old;
  bool exists = stat(path.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    // Not a file (a device, a pipe, a directory): write in place, or fail.
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int err = fd < 0 ? errno : WriteAll(fd, text);
    if (fd >= 0 && close(fd) != 0 && err == 0) err = errno;
    if (err != 0) *why = std::strerror(err);
    return err == 0;
  }
  // A link to a file: the file is replaced, and the link stays.
  if (exists) {
    char* real = realpath(path.c_str(), nullptr);
    if (real != nullptr) {
      target = real;
      std::free(real);
    }
  }
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = target + ".new-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  if (exists) fchmod(fd, old.st_mode & 07777);
  int err = WriteAll(fd, text);
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    *why = std::strerror(err);
    return false;
  }
  return true;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

PathKind KindOfModulePath(const std::string& path) {
  const std::string full = IsAbsolutePath(path) ? path : ExecutableDirectory() + "/" + path;
  struct stat st;
  if (stat(full.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kOther;
  return S_ISREG(st.st_mode) ? PathKind::kFile : PathKind::kOther;
}

#endif

std::string DirectoryOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return ".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

}  // namespace rodarove_host
