// The few operating-system services the host program needs: loading a
// library by path, finding a symbol in it, and keeping the module's
// debugger output visible in the program's own output.
#ifndef RODAROVE_HOST_HOST_PLATFORM_H_
#define RODAROVE_HOST_HOST_PLATFORM_H_

#include <string>

namespace rodarove_host {

// Loads the library at path; null with *error set when it does not load.
// A bare name is looked up as the system's loader does; when that fails and
// the current directory holds a file of that name, *error says how to name
// it.
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);

// The directory of the running executable, without a trailing separator;
// "." when it cannot be found.
std::string ExecutableDirectory();

// The module beside the program, as the build places it; when there is
// none, the installed one (bin/../lib/librodarove.so.1 on POSIX; on Windows
// the DLL is installed beside the program).
std::string DefaultModulePath();

// The directory part of path ("." when it has none).
std::string DirectoryOf(const std::string& path);

// Writes text as the whole of the file at path: into a new file beside it,
// which then replaces it, so that a write that fails leaves the file as it
// was. A path that names something other than a file (a device, a pipe)
// is written in place. False with *why, the system's reason, on failure.
bool ReplaceFileContents(const std::string& path, const std::string& text, std::string* why);

// What the module finds at path, taken as it takes a relative path: in the
// folder of the executable. kFile for a file it can read.
enum class PathKind { kFile, kMissing, kOther };
// True for a path the module takes as it is, not in the executable's folder.
bool IsAbsolutePath(const std::string& path);
PathKind KindOfModulePath(const std::string& path);

// On Windows, makes text sent to OutputDebugStringA appear on standard
// error; on POSIX the module writes there itself and this does nothing.
void RelayDebuggerOutput();

// True when standard input is a terminal.
bool InputIsTerminal();

// The user's home directory; "" when it is not known.
std::string HomeDirectory();

// Ctrl-C. Once CatchInterrupts has run, Ctrl-C no longer ends the program:
// it sets a flag that InterruptPending reads and ClearInterrupt resets, and
// on POSIX a blocking read of standard input returns with EINTR. Before
// that, InterruptPending is always false.
void CatchInterrupts();
bool InterruptPending();
void ClearInterrupt();
// True when an interrupt is pending or arrives within ms milliseconds. On
// Windows a read of the console ends before the handler, which runs on a
// thread of its own, has set the flag.
bool InterruptArrives(int ms);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_HOST_PLATFORM_H_
