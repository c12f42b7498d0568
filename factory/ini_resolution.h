// Locating the factory module: the host's ini file (by default "Pavex.ini"
// beside the host's executable), redirections from one ini file to another,
// and the factory module's path read from section "361".
//
// The path operations take the path style as a parameter so that both rule
// sets can be checked on any system; the module itself uses the native one.
// Every operation works in the caller's fixed buffers through the bounded
// string operations, and leaves out what does not fit.
#ifndef RODAROVE_FACTORY_INI_RESOLUTION_H_
#define RODAROVE_FACTORY_INI_RESOLUTION_H_

#include <cstdint>

#include "platform/platform.h"
#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kLongValueSize = 1024;
// Redirections followed at most from one start file.
constexpr int kMaxRedirections = 32;

// kWindows: '\\' separates (the last '/' only where no '\\' exists); a path
// is absolute when it holds ':' anywhere or begins with '\\'.
// kPosix: '/' separates; a path is absolute exactly when it begins with '/'.
enum class PathStyle { kWindows, kPosix };

#if defined(_WIN32)
constexpr PathStyle kNativePathStyle = PathStyle::kWindows;
#else
constexpr PathStyle kNativePathStyle = PathStyle::kPosix;
#endif

// GetPrivateProfileStringA's contract.
using ProfileReader = unsigned (*)(const char* section, const char* key,
                                   const char* defaultValue, char* out, unsigned size,
                                   const char* file);

// What the resolution reads: the path style, the ini reader and the host
// directory. NativeIniEnvironment() is what the module uses.
struct IniEnvironment {
  PathStyle style;
  ProfileReader readProfile;
  const char* (*hostDirectory)();
};
const IniEnvironment& NativeIniEnvironment();

// 1 for null, empty, or only spaces and tabs.
int32_t IsBlank(const char* text);
// 1 for null and for every path that is not absolute under style.
int32_t IsRelativePath(const char* path, PathStyle style);
// Index of the last separator under style, or -1 when there is none.
int32_t FindLastSeparator(const char* path, PathStyle style);
// dst = src without leading and trailing spaces and tabs; empty when
// nothing is left or the rest does not fit in dstSize - 1 characters.
// 0 when it did not fit (or dst is null or dstSize not positive), else 1.
int32_t TrimBlanks(const char* src, char* dst, int32_t dstSize);

// The path operations answer 1 when the whole path was written, and 0 when
// it was not: refused, or cut or left partly out as described.
//
// buf = host directory, separator, name, cut to size - 2 characters.
// 0 (nothing written) when name or buf is null or size is below 2.
int32_t HostPath(const char* name, char* buf, int32_t size, const IniEnvironment& env);
// out = basePath up to and including its last separator (or basePath and a
// separator when it has none), then name, each part only if it fits whole.
// Out untouched when a pointer is null or outSize is not positive.
int32_t SiblingPath(const char* basePath, const char* name, char* out, int32_t outSize,
                    PathStyle style);
// out = name when dir is blank, else dir, separator, name, each part only if
// it fits whole. Nothing when out is null or outSize is not positive.
int32_t JoinPath(const char* dir, const char* name, char* out, int32_t outSize,
                 PathStyle style);

// Cuts an executable's path before its last separator (for kWindows: its
// last backslash only) into out; the whole path when it has none. Out is
// empty (and 0 answered) when that does not fit.
int32_t CutAtLastSeparator(const char* executablePath, char* out, int32_t outSize,
                           PathStyle style);
// The native host directory, computed on first use and kept; computed again
// while it is empty. Empty when the executable's path is unknown or its
// directory does not fit RODAROVE_PATH_SIZE bytes. Any thread may call it.
const char* HostDirectory();

// The resolution steps. Each answers 1 with a whole path in out, or 0 with
// out empty when some path or path value on the way would not fit its
// buffer (a cut path names some other file) or the host directory is not
// known; out untouched when it is null or outSize is not positive.
//
// The ini file to use for iniName (the value given to SetDLLRegistry).
int32_t LocateIniFile(const char* iniName, char* out, int32_t outSize,
                      const IniEnvironment& env);
// Follows "Redirect"/"Path" from iniPath: a relative value names the result
// beside iniPath; an absolute one is followed in turn, until a file is
// reached a second time or kMaxRedirections have been followed.
int32_t FollowRedirect(const char* iniPath, char* out, int32_t outSize,
                       const IniEnvironment& env);
// The factory module's path from "361"/"DLL" of iniPath.
int32_t ResolveFactoryDllPath(const char* iniPath, char* out, int32_t outSize,
                              const IniEnvironment& env);
// A relative factory module name placed beside iniPath or under the
// "DefaultValue"/"DllPath" directory.
int32_t ResolveRelativeDllPath(const char* iniPath, const char* name, char* out,
                               int32_t outSize, const IniEnvironment& env);

// given (a factory module the host handed over) when it is not null;
// otherwise the module found through the ini files of iniName, loaded (and
// never unloaded). Null when loading failed or a path on the way would not
// fit.
platform::ModuleHandle LoadFactoryModule(const char* iniName, platform::ModuleHandle given);

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_INI_RESOLUTION_H_
