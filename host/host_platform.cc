#include "host/host_platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>
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

#else

void* OpenLibrary(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "dlopen failed";
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

#endif

std::string DirectoryOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return ".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

}  // namespace rodarove_host
