// The few operating-system services the host program needs: loading a
// library by path, finding a symbol in it, and keeping the module's
// debugger output visible in the program's own output.
#ifndef RODAROVE_HOST_HOST_PLATFORM_H_
#define RODAROVE_HOST_HOST_PLATFORM_H_

#include <string>

namespace rodarove_host {

// Loads the library at path; null with *error set when it does not load.
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

// On Windows, makes text sent to OutputDebugStringA appear on standard
// error; on POSIX the module writes there itself and this does nothing.
void RelayDebuggerOutput();

// True when standard input is a terminal.
bool InputIsTerminal();

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_HOST_PLATFORM_H_
