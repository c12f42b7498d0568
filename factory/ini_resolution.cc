#include "factory/ini_resolution.h"

#include <cstring>

#include "factory/bounded_string.h"
#include "factory/factory_interfaces.h"

namespace rodarove {

namespace {

char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }
const char* SeparatorText(PathStyle style) { return style == PathStyle::kWindows ? "\\" : "/"; }

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

int32_t LastIndexOf(const char* text, char c) {
  const char* p = std::strrchr(text, c);
  return p == nullptr ? -1 : static_cast<int32_t>(p - text);
}

unsigned NativeReadProfile(const char* section, const char* key, const char* defaultValue,
                           char* out, unsigned size, const char* file) {
  return platform::GetProfileString(section, key, defaultValue, out, size, file);
}

// Filled once, on the first use that finds the directory, and never
// written again.
platform::Mutex g_hostDirectoryMutex;
char g_hostDirectory[RODAROVE_PATH_SIZE] GUARDED_BY(g_hostDirectoryMutex);

}  // namespace

const IniEnvironment& NativeIniEnvironment() {
  static const IniEnvironment env{kNativePathStyle, &NativeReadProfile, &HostDirectory};
  return env;
}

int32_t IsBlank(const char* text) {
  if (text == nullptr) return 1;
  for (; *text != '\0'; ++text) {
    if (!IsBlankChar(*text)) return 0;
  }
  return 1;
}

int32_t IsRelativePath(const char* path, PathStyle style) {
  if (path == nullptr) return 1;
  if (style == PathStyle::kWindows) {
    if (std::strchr(path, ':') != nullptr || path[0] == '\\') return 0;
    return 1;
  }
  return path[0] == '/' ? 0 : 1;
}

int32_t FindLastSeparator(const char* path, PathStyle style) {
  if (path == nullptr) return -1;
  if (style == PathStyle::kWindows) {
    int32_t backslash = LastIndexOf(path, '\\');
    return backslash >= 0 ? backslash : LastIndexOf(path, '/');
  }
  return LastIndexOf(path, '/');
}

int32_t TrimBlanks(const char* src, char* dst, int32_t dstSize) {
  if (dst == nullptr || dstSize <= 0) return 0;
  dst[0] = '\0';
  if (src == nullptr) return 1;
  const char* begin = src;
  while (*begin != '\0' && IsBlankChar(*begin)) ++begin;
  if (*begin == '\0') return 1;
  const char* end = begin + std::strlen(begin);
  while (IsBlankChar(end[-1])) --end;
  int64_t length = end - begin;
  if (length >= dstSize) return 0;
  return CopyN(dst, dstSize, begin, static_cast<int32_t>(length));
}

int32_t HostPath(const char* name, char* buf, int32_t size, const IniEnvironment& env) {
  if (name == nullptr || buf == nullptr || size < 2) return 0;
  // The cut keeps size - 2 characters. The formatter refuses a count of 0,
  // so for size 2 the empty result is written here.
  buf[0] = '\0';
  int32_t written = -1;
  if (size > 2) {
    written = FormatBounded(buf, size, size - 2, "%s%s%s", env.hostDirectory(),
                            SeparatorText(env.style), name);
  }
  buf[size - 1] = '\0';
  return written >= 0 ? 1 : 0;
}

int32_t SiblingPath(const char* basePath, const char* name, char* out, int32_t outSize,
                    PathStyle style) {
  if (basePath == nullptr || name == nullptr || out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  int32_t separator = FindLastSeparator(basePath, style);
  int32_t whole;
  if (separator >= 0) {
    whole = CopyN(out, outSize, basePath, separator + 1);
  } else {
    whole = Copy(out, outSize, basePath);
    whole &= Append(out, outSize, SeparatorText(style));
  }
  whole &= Append(out, outSize, name);
  return whole;
}

int32_t JoinPath(const char* dir, const char* name, char* out, int32_t outSize, PathStyle style) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (IsBlank(dir)) return Copy(out, outSize, name);
  int32_t whole = Append(out, outSize, dir);
  whole &= Append(out, outSize, SeparatorText(style));
  whole &= Append(out, outSize, name);
  return whole;
}

int32_t CutAtLastSeparator(const char* executablePath, char* out, int32_t outSize,
                           PathStyle style) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (executablePath == nullptr) return 0;
  const char* cut = std::strrchr(executablePath, SeparatorOf(style));
  size_t length = cut != nullptr ? static_cast<size_t>(cut - executablePath)
                                 : std::strlen(executablePath);
  if (length >= static_cast<size_t>(outSize)) return 0;
  if (length > 0) std::memcpy(out, executablePath, length);
  out[length] = '\0';
  return 1;
}

const char* HostDirectory() {
  platform::MutexLock lock(&g_hostDirectoryMutex);
  if (g_hostDirectory[0] == '\0') {
    // Room for a directory that fits RODAROVE_PATH_SIZE and a file name of at most
    // 255 characters: a longer path has a directory too long in any case.
    char executable[2 * RODAROVE_PATH_SIZE + 256] = {};
    if (platform::GetExecutablePath(executable, sizeof executable) > 0) {
      CutAtLastSeparator(executable, g_hostDirectory, RODAROVE_PATH_SIZE, kNativePathStyle);
    }
  }
  // Once filled the buffer does not change, so it may be read unlocked.
  return g_hostDirectory[0] != '\0' ? g_hostDirectory : "";
}

namespace {

// A step's result: out holds a whole path (1), or is emptied (0).
int32_t Whole(int32_t whole, char* out) {
  if (whole == 0) out[0] = '\0';
  return whole;
}

// Reads a value that must fit value whole. The reader cuts what does not
// fit, so it is asked with one byte more: a value that fills that byte is
// too long, and 0 is returned with value empty.
template <size_t kSize>
int32_t ReadWhole(const IniEnvironment& env, const char* section, const char* key,
                  const char* file, char (&value)[kSize]) {
  char read[kSize + 1] = {};
  env.readProfile(section, key, "", read, sizeof read, file);
  return Whole(Copy(value, static_cast<int32_t>(kSize), read), value);
}

}  // namespace

int32_t LocateIniFile(const char* iniName, char* out, int32_t outSize,
                      const IniEnvironment& env) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  char start[RODAROVE_PATH_SIZE] = {};
  int32_t whole;
  if (iniName != nullptr && iniName[0] != '\0' && !IsRelativePath(iniName, env.style)) {
    whole = Copy(start, RODAROVE_PATH_SIZE, iniName);
  } else {
    // Beside the host's executable, which must be known.
    const char* name = iniName == nullptr || iniName[0] == '\0' ? "Pavex.ini" : iniName;
    whole = env.hostDirectory()[0] != '\0' && HostPath(name, start, RODAROVE_PATH_SIZE, env);
  }
  if (!whole) return 0;
  return FollowRedirect(start, out, outSize, env);
}

int32_t FollowRedirect(const char* iniPath, char* out, int32_t outSize,
                       const IniEnvironment& env) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  // reached[0] is the start file, reached[k] the file of redirection k.
  char reached[kMaxRedirections + 1][RODAROVE_PATH_SIZE] = {};
  if (!Copy(reached[0], RODAROVE_PATH_SIZE, iniPath)) return 0;
  int redirections = 0;
  for (;;) {
    const char* current = reached[redirections];
    char value[RODAROVE_PATH_SIZE] = {};
    if (!ReadWhole(env, "Redirect", "Path", current, value)) return 0;
    if (IsBlank(value)) return Whole(Copy(out, outSize, current), out);
    if (IsRelativePath(value, env.style)) {
      // The [Redirect] of the file so reached is not read.
      return Whole(SiblingPath(current, value, out, outSize, env.style), out);
    }
    ++redirections;
    Copy(reached[redirections], RODAROVE_PATH_SIZE, value);
    bool seenBefore = false;
    for (int k = 0; k < redirections && !seenBefore; ++k) {
      seenBefore = std::strcmp(reached[k], value) == 0;
    }
    if (seenBefore || redirections == kMaxRedirections) {
      return Whole(Copy(out, outSize, value), out);
    }
  }
}

int32_t ResolveFactoryDllPath(const char* iniPath, char* out, int32_t outSize,
                              const IniEnvironment& env) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  char raw[kLongValueSize] = {};
  char name[RODAROVE_PATH_SIZE] = {};
  if (!ReadWhole(env, kFactorySection, "DLL", iniPath, raw) || !TrimBlanks(raw, name, RODAROVE_PATH_SIZE)) return 0;
  if (IsRelativePath(name, env.style)) {
    return ResolveRelativeDllPath(iniPath, name, out, outSize, env);
  }
  return Whole(Copy(out, outSize, name), out);
}

int32_t ResolveRelativeDllPath(const char* iniPath, const char* name, char* out,
                               int32_t outSize, const IniEnvironment& env) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (!Fits(name, RODAROVE_PATH_SIZE)) return 0;
  char raw[kLongValueSize] = {};
  env.readProfile(kFactorySection, "NotUseDefaultDllPath", "0", raw, kLongValueSize, iniPath);
  char flag[10] = {};
  TrimBlanks(raw, flag, sizeof flag);
  if (flag[0] == '1') return Whole(SiblingPath(iniPath, name, out, outSize, env.style), out);
  char dir[RODAROVE_PATH_SIZE] = {};
  if (!ReadWhole(env, "DefaultValue", "DllPath", iniPath, dir)) return 0;
  char joined[RODAROVE_PATH_SIZE] = {};
  if (!JoinPath(dir, name, joined, RODAROVE_PATH_SIZE, env.style)) return 0;
  if (IsRelativePath(joined, env.style)) {
    return Whole(SiblingPath(iniPath, joined, out, outSize, env.style), out);
  }
  return Whole(Copy(out, outSize, joined), out);
}

platform::ModuleHandle LoadFactoryModule(const char* iniName, platform::ModuleHandle given) {
  if (given != nullptr) return given;
  const IniEnvironment& env = NativeIniEnvironment();
  char iniPath[RODAROVE_PATH_SIZE] = {};
  char modulePath[RODAROVE_PATH_SIZE] = {};
  // A path that would be cut names some other file: it is not used.
  if (!LocateIniFile(iniName, iniPath, RODAROVE_PATH_SIZE, env) ||
      !ResolveFactoryDllPath(iniPath, modulePath, RODAROVE_PATH_SIZE, env)) {
    return nullptr;
  }
  return platform::LoadModule(modulePath);
}

}  // namespace rodarove
