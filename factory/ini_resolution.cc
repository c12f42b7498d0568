#include "factory/ini_resolution.h"

#include <cstring>

#include "factory/bounded_string.h"
#include "module/module_state.h"

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

// Filled on first use; not under a lock of its own (callers hold ModuleLock).
char g_hostDirectory[kPathSize];

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

void TrimBlanks(const char* src, char* dst, int32_t dstSize) {
  if (dst == nullptr || dstSize <= 0) return;
  dst[0] = '\0';
  if (src == nullptr) return;
  const char* begin = src;
  while (*begin != '\0' && IsBlankChar(*begin)) ++begin;
  if (*begin == '\0') return;
  const char* end = begin + std::strlen(begin);
  while (IsBlankChar(end[-1])) --end;
  int64_t length = end - begin;
  if (length >= dstSize) return;
  CopyN(dst, dstSize, begin, static_cast<int32_t>(length));
}

int32_t HostPath(const char* name, char* buf, int32_t size, const IniEnvironment& env) {
  if (name == nullptr || buf == nullptr || size < 2) return 0;
  // The cut keeps size - 2 characters. The formatter refuses a count of 0,
  // so for size 2 the empty result is written here.
  buf[0] = '\0';
  if (size > 2) {
    if (env.style == PathStyle::kWindows) {
      FormatBounded(buf, size, size - 2, "%s\\%s", env.hostDirectory(), name);
    } else {
      FormatBounded(buf, size, size - 2, "%s/%s", env.hostDirectory(), name);
    }
  }
  buf[size - 1] = '\0';
  return 1;
}

int32_t SiblingPath(const char* basePath, const char* name, char* out, int32_t outSize,
                    PathStyle style) {
  if (basePath == nullptr || name == nullptr || out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  int32_t separator = FindLastSeparator(basePath, style);
  if (separator >= 0) {
    CopyN(out, outSize, basePath, separator + 1);
  } else {
    Copy(out, outSize, basePath);
    Append(out, outSize, SeparatorText(style));
  }
  Append(out, outSize, name);
  return 1;
}

void JoinPath(const char* dir, const char* name, char* out, int32_t outSize, PathStyle style) {
  if (out == nullptr || outSize <= 0) return;
  out[0] = '\0';
  if (IsBlank(dir)) {
    Copy(out, outSize, name);
    return;
  }
  Append(out, outSize, dir);
  Append(out, outSize, SeparatorText(style));
  Append(out, outSize, name);
}

void CutAtLastSeparator(const char* executablePath, char* out, int32_t outSize,
                        PathStyle style) {
  if (out == nullptr || outSize <= 0) return;
  out[0] = '\0';
  if (!Copy(out, outSize, executablePath)) return;
  char* cut = std::strrchr(out, SeparatorOf(style));
  if (cut != nullptr) *cut = '\0';
}

const char* HostDirectory() {
  if (g_hostDirectory[0] == '\0') {
    char executable[kPathSize] = {};
    if (platform::GetExecutablePath(executable, sizeof executable) > 0) {
      CutAtLastSeparator(executable, g_hostDirectory, kPathSize, kNativePathStyle);
    }
  }
  return g_hostDirectory;
}

void LocateIniFile(const char* iniName, char* out, int32_t outSize, const IniEnvironment& env) {
  char start[kPathSize] = {};
  if (iniName == nullptr || iniName[0] == '\0') {
    HostPath("Pavex.ini", start, kPathSize, env);
  } else if (IsRelativePath(iniName, env.style)) {
    HostPath(iniName, start, kPathSize, env);
  } else {
    Copy(start, kPathSize, iniName);
  }
  FollowRedirect(start, out, outSize, env);
}

void FollowRedirect(const char* iniPath, char* out, int32_t outSize, const IniEnvironment& env) {
  if (out == nullptr || outSize <= 0) return;
  // reached[0] is the start file, reached[k] the file of redirection k.
  char reached[kMaxRedirections + 1][kPathSize] = {};
  Copy(reached[0], kPathSize, iniPath);
  int redirections = 0;
  for (;;) {
    const char* current = reached[redirections];
    char value[kPathSize] = {};
    env.readProfile("Redirect", "Path", "", value, kPathSize, current);
    if (IsBlank(value)) {
      Copy(out, outSize, current);
      return;
    }
    if (IsRelativePath(value, env.style)) {
      // The [Redirect] of the file so reached is not read.
      SiblingPath(current, value, out, outSize, env.style);
      return;
    }
    ++redirections;
    Copy(reached[redirections], kPathSize, value);
    bool seenBefore = false;
    for (int k = 0; k < redirections && !seenBefore; ++k) {
      seenBefore = std::strcmp(reached[k], value) == 0;
    }
    if (seenBefore || redirections == kMaxRedirections) {
      Copy(out, outSize, value);
      return;
    }
  }
}

void ResolveFactoryDllPath(const char* iniPath, char* out, int32_t outSize,
                           const IniEnvironment& env) {
  char raw[kLongValueSize] = {};
  env.readProfile("361", "DLL", "", raw, kLongValueSize, iniPath);
  char name[kPathSize] = {};
  TrimBlanks(raw, name, kPathSize);
  if (IsRelativePath(name, env.style)) {
    ResolveRelativeDllPath(iniPath, name, out, outSize, env);
  } else {
    Copy(out, outSize, name);
  }
}

void ResolveRelativeDllPath(const char* iniPath, const char* name, char* out, int32_t outSize,
                            const IniEnvironment& env) {
  char raw[kLongValueSize] = {};
  env.readProfile("361", "NotUseDefaultDllPath", "0", raw, kLongValueSize, iniPath);
  char flag[10] = {};
  TrimBlanks(raw, flag, sizeof flag);
  if (flag[0] == '1') {
    SiblingPath(iniPath, name, out, outSize, env.style);
    return;
  }
  char dir[kPathSize] = {};
  env.readProfile("DefaultValue", "DllPath", "", dir, kPathSize, iniPath);
  char joined[kPathSize] = {};
  JoinPath(dir, name, joined, kPathSize, env.style);
  if (IsRelativePath(joined, env.style)) {
    SiblingPath(iniPath, joined, out, outSize, env.style);
  } else {
    Copy(out, outSize, joined);
  }
}

platform::ModuleHandle LoadFactoryModule(const char* iniName) {
  platform::ModuleHandle given = FactoryModuleHandle.load();
  if (given != nullptr) return given;
  const IniEnvironment& env = NativeIniEnvironment();
  char iniPath[kPathSize] = {};
  LocateIniFile(iniName, iniPath, kPathSize, env);
  char modulePath[kPathSize] = {};
  ResolveFactoryDllPath(iniPath, modulePath, kPathSize, env);
  return platform::LoadModule(modulePath);
}

}  // namespace rodarove
