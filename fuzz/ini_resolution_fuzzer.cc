// Locating the factory module over ini files held in memory, in both path
// styles. The input is a header line
//   STYLE|HOSTDIR|INI|OUTSIZE|NAME|DIR|SIZE
// (STYLE P for POSIX paths, anything else Windows; INI, NAME and DIR are
// null when left out; OUTSIZE and SIZE are numbers, 260 and 16 when they
// are not), then files, each a line ">>PATH" followed by its text.
//
// LocateIniFile, FollowRedirect, ResolveFactoryDllPath and
// ResolveRelativeDllPath write into a buffer of OUTSIZE bytes with guards
// around it; their results must stay inside and be terminated. They must
// equal those of a plain model over std::string, and when some path or path
// value on the way was too long for its buffer, they must find nothing
// (answer 0, an empty result). The path operations (HostPath, SiblingPath,
// JoinPath, TrimBlanks and the tests) are compared with exact models at
// SIZE.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "factory/ini_resolution.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/ini_reader.h"
#include "tests/factory/ini_model.h"

namespace {

using namespace rodarove;
using rodarove_fuzz::Escape;
using rodarove_fuzz::Guarded;

constexpr size_t kPath = static_cast<size_t>(RODAROVE_PATH_SIZE);

// The files of the current input and the host directory.
std::map<std::string, std::string> g_files;
std::string g_host;
int g_reads = 0;

const rodarove_fuzz::ScratchFile& Scratch() {
  static const rodarove_fuzz::ScratchFile file;
  return file;
}

const char* HostDirectoryOfInput() { return g_host.c_str(); }

unsigned ReadFromMemory(const char* section, const char* key, const char* def, char* out,
                        unsigned size, const char* file) {
  FUZZ_CHECK(file != nullptr && std::strlen(file) < kPath, "read of a path too long or null");
  FUZZ_CHECK(++g_reads <= 2 * kMaxRedirections + 8, "%d reads for one resolution", g_reads);
  auto it = g_files.find(file);
  Scratch().Write(it != g_files.end() ? it->second : std::string());
  return platform::ReadIniString(section, key, def, out, size, Scratch().path().c_str());
}

int32_t ParseNumber(const std::string& text, int32_t fallback, int32_t low, int32_t high) {
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text[i] < '0' || text[i] > '9') return fallback;
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v <= high; ++i) {
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  return static_cast<int32_t>(v < low ? low : v > high ? high : v);
}

// ---- The plain model: unbounded strings; `cut` records that some path or
// path value would not have fitted the module's buffer, when the module
// must find nothing, and `unsure` that another value was cut, when no
// result is compared.

struct Model {
  PathStyle style;
  int32_t outSize;
  bool cut = false;
  bool unsure = false;

  std::string Sep() const { return style == PathStyle::kWindows ? "\\" : "/"; }
  bool Relative(const std::string& p) const {
    if (style == PathStyle::kWindows) return p.find(':') == std::string::npos && p[0] != '\\';
    return p[0] != '/';
  }
  static bool Blank(const std::string& t) { return t.find_first_not_of(" \t") == std::string::npos; }
  static std::string Trim(const std::string& t) {
    size_t b = t.find_first_not_of(" \t");
    return b == std::string::npos ? "" : t.substr(b, t.find_last_not_of(" \t") - b + 1);
  }
  // The path must fit a buffer of `size` bytes.
  std::string Fit(const std::string& p, size_t size) {
    if (p.size() >= size) cut = true;
    return p;
  }
  // A path value must fit whole; another is only read, cut or not.
  std::string Read(const std::string& file, const char* section, const char* key,
                   const char* def, unsigned size, bool path = true) {
    auto it = g_files.find(file);
    const std::string text = it != g_files.end() ? it->second : std::string();
    std::string full = rodarove_test::IniModelLookup(text, section, key, def, 1u << 20);
    if (path && full.size() >= size) cut = true;
    if (!path && rodarove_test::IniModelLookup(text, section, key, def, size) != full) {
      unsure = true;
    }
    return full;
  }
  std::string Sibling(const std::string& base, const std::string& name, size_t size) {
    size_t sep = style == PathStyle::kWindows ? base.find_last_of('\\') : base.rfind('/');
    if (style == PathStyle::kWindows && sep == std::string::npos) sep = base.rfind('/');
    std::string r = sep != std::string::npos ? base.substr(0, sep + 1) : base + Sep();
    return Fit(r + name, size);
  }
  std::string Locate(const char* iniName) {
    std::string start;
    if ((iniName == nullptr || iniName[0] == '\0' || Relative(iniName)) && g_host.empty()) {
      cut = true;  // the host's folder is not known
    }
    if (iniName == nullptr || iniName[0] == '\0') {
      start = Fit(g_host + Sep() + "Pavex.ini", kPath - 1);
    } else if (Relative(iniName)) {
      start = Fit(g_host + Sep() + iniName, kPath - 1);
    } else {
      start = Fit(iniName, kPath);
    }
    return Follow(start);
  }
  std::string Follow(const std::string& start) {
    std::vector<std::string> reached{Fit(start, kPath)};
    for (;;) {
      const std::string current = reached.back();
      std::string value = Read(current, "Redirect", "Path", "", RODAROVE_PATH_SIZE);
      if (Blank(value)) return Fit(current, static_cast<size_t>(outSize));
      if (Relative(value)) return Sibling(current, value, static_cast<size_t>(outSize));
      bool seen = false;
      for (const std::string& r : reached) seen = seen || r == value;
      reached.push_back(value);
      if (seen || reached.size() == static_cast<size_t>(kMaxRedirections) + 1) {
        return Fit(value, static_cast<size_t>(outSize));
      }
    }
  }
  std::string Resolve(const std::string& ini) {
    std::string name = Fit(Trim(Read(ini, "361", "DLL", "", kLongValueSize)), kPath);
    if (Relative(name)) return ResolveRelative(ini, name);
    return Fit(name, static_cast<size_t>(outSize));
  }
  std::string ResolveRelative(const std::string& ini, const std::string& name) {
    std::string flag = Trim(Read(ini, "361", "NotUseDefaultDllPath", "0", kLongValueSize, false));
    if (flag.size() < 10 && flag[0] == '1') return Sibling(ini, name, static_cast<size_t>(outSize));
    std::string dir = Read(ini, "DefaultValue", "DllPath", "", RODAROVE_PATH_SIZE);
    std::string joined = Fit(Blank(dir) ? name : dir + Sep() + name, kPath);
    if (Relative(joined)) return Sibling(ini, joined, static_cast<size_t>(outSize));
    return Fit(joined, static_cast<size_t>(outSize));
  }
};

// Runs one of the four resolution steps into a guarded, zero-filled buffer
// (the module's callers zero-fill theirs) and checks it against the model.
template <typename Step>
void CheckStep(const char* what, int32_t outSize, const std::string& expected,
               const Model& model, Step step) {
  const size_t size = outSize > 0 ? static_cast<size_t>(outSize) : 0;
  Guarded<char> out(size, '#');
  std::memset(out.data(), 0, size);
  g_reads = 0;
  const int32_t found = step(out.data());
  FUZZ_CHECK(out.UntouchedFrom(size), "%s wrote outside its %d bytes", what, outSize);
  if (size == 0) {
    FUZZ_CHECK(found == 0, "%s found a path without a buffer", what);
    return;
  }
  const void* end = std::memchr(out.data(), '\0', size);
  FUZZ_CHECK(end != nullptr, "%s left no terminator within %d bytes", what, outSize);
  if (model.unsure) return;
  const std::string got(out.data());
  const std::string want = model.cut ? std::string() : expected;
  FUZZ_CHECK(found == (model.cut ? 0 : 1) && got == want,
             "%s gave %d, \"%s\"; the model says \"%s\"%s", what, found, Escape(got).c_str(),
             Escape(expected).c_str(), model.cut ? ", which does not fit" : "");
}

// ---- Exact models of the path operations at a given size.

void CheckPathOperations(PathStyle style, const IniEnvironment& env, const char* base,
                         const char* name, const char* dir, int32_t size) {
  const std::string sep = style == PathStyle::kWindows ? "\\" : "/";
  auto str = [](const char* p) { return p != nullptr ? std::string(p) : std::string(); };
  const size_t n = size > 0 ? static_cast<size_t>(size) : 0;
  const size_t capacity = n;  // std::string sizes compared with the buffer's

  for (const char* text : {base, name, dir}) {
    if (text == nullptr) continue;
    std::string t = text;
    int32_t relative = style == PathStyle::kWindows
                           ? (t.find(':') == std::string::npos && t[0] != '\\')
                           : t[0] != '/';
    FUZZ_CHECK(IsRelativePath(text, style) == relative, "IsRelativePath(\"%s\")",
               Escape(t).c_str());
    size_t last = style == PathStyle::kWindows ? t.rfind('\\') : t.rfind('/');
    if (style == PathStyle::kWindows && last == std::string::npos) last = t.rfind('/');
    int32_t want = last == std::string::npos ? -1 : static_cast<int32_t>(last);
    FUZZ_CHECK(FindLastSeparator(text, style) == want, "FindLastSeparator(\"%s\")",
               Escape(t).c_str());
    FUZZ_CHECK(IsBlank(text) == (t.find_first_not_of(" \t") == std::string::npos),
               "IsBlank(\"%s\")", Escape(t).c_str());
  }

  {  // HostPath keeps size - 2 characters and always ends the buffer.
    Guarded<char> out(n, '#');
    int32_t r = HostPath(name, out.data(), size, env);
    if (name == nullptr || size < 2) {
      FUZZ_CHECK(r == 0 && out.UntouchedFrom(0), "HostPath at size %d wrote", size);
    } else {
      const std::string full = g_host + sep + name;
      std::string want = full.substr(0, n - 2);
      FUZZ_CHECK(r == (full.size() <= n - 2 ? 1 : 0) && std::memchr(out.data(), '\0', n) != nullptr &&
                     std::string(out.data()) == want && out[n - 1] == '\0',
                 "HostPath(\"%s\") at size %d: \"%s\", want \"%s\"", Escape(name).c_str(), size,
                 Escape(std::string(out.data(), strnlen(out.data(), n))).c_str(),
                 Escape(want).c_str());
      FUZZ_CHECK(out.UntouchedFrom(n), "HostPath wrote outside");
    }
  }
  {  // SiblingPath: each part whole or not at all.
    Guarded<char> out(n, '#');
    int32_t r = SiblingPath(base, name, out.data(), size, style);
    if (base == nullptr || name == nullptr || size <= 0) {
      FUZZ_CHECK(r == 0 && out.UntouchedFrom(0), "SiblingPath refused but wrote");
    } else {
      std::string b = base, want, full;
      int32_t last = FindLastSeparator(base, style);
      if (last >= 0) {
        full = b.substr(0, static_cast<size_t>(last) + 1);
        if (static_cast<size_t>(last) + 1 < capacity) want = full;
      } else {
        full = b + sep;
        if (b.size() < capacity) want = b;
        if (want.size() + 1 < capacity) want += sep;
      }
      full += name;
      if (want.size() + std::strlen(name) < capacity) want += name;
      FUZZ_CHECK(r == (want == full ? 1 : 0) && std::memchr(out.data(), '\0', n) != nullptr &&
                     std::string(out.data()) == want && out.UntouchedFrom(n),
                 "SiblingPath(\"%s\", \"%s\") at size %d, want \"%s\"", Escape(b).c_str(),
                 Escape(name).c_str(), size, Escape(want).c_str());
    }
  }
  {  // JoinPath: the name alone under a blank directory.
    Guarded<char> out(n, '#');
    int32_t r = JoinPath(dir, name, out.data(), size, style);
    if (size <= 0) {
      FUZZ_CHECK(r == 0 && out.UntouchedFrom(0), "JoinPath at size %d wrote", size);
    } else {
      std::string want;
      bool whole = name != nullptr;
      if (IsBlank(dir)) {
        if (name != nullptr && std::strlen(name) < capacity) want = name;
        whole = whole && want == name;
      } else {
        for (const std::string& part : {str(dir), sep, str(name)}) {
          if (want.size() + part.size() < capacity) {
            want += part;
          } else {
            whole = false;
          }
        }
      }
      FUZZ_CHECK(r == (whole ? 1 : 0) && std::memchr(out.data(), '\0', n) != nullptr && std::string(out.data()) == want &&
                     out.UntouchedFrom(n),
                 "JoinPath(\"%s\", \"%s\") at size %d, want \"%s\"", Escape(str(dir)).c_str(),
                 Escape(str(name)).c_str(), size, Escape(want).c_str());
    }
  }
  {  // TrimBlanks: whole or empty.
    Guarded<char> out(n, '#');
    int32_t r = TrimBlanks(dir, out.data(), size);
    if (size <= 0) {
      FUZZ_CHECK(r == 0 && out.UntouchedFrom(0), "TrimBlanks at size %d wrote", size);
    } else {
      std::string want = Model::Trim(str(dir));
      const bool fits = want.size() < capacity;
      if (!fits) want.clear();
      FUZZ_CHECK(r == (fits ? 1 : 0) && std::memchr(out.data(), '\0', n) != nullptr && std::string(out.data()) == want &&
                     out.UntouchedFrom(n),
                 "TrimBlanks(\"%s\") at size %d", Escape(str(dir)).c_str(), size);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  // Text up to a zero byte, as the C strings the functions take.
  std::string input(reinterpret_cast<const char*>(data), length);
  input = input.substr(0, input.find('\0'));
  const size_t eol = input.find('\n');
  std::vector<std::string> fields = rodarove_fuzz::SplitFields(input.substr(0, eol), 7);
  fields.resize(7, std::string(1, '\x01'));  // marks a field left out

  const PathStyle style = fields[0] == "P" ? PathStyle::kPosix : PathStyle::kWindows;
  auto field = [&](size_t i) -> const char* {
    return fields[i] == "\x01" ? nullptr : fields[i].c_str();
  };
  g_host = field(1) != nullptr ? fields[1]
                               : (style == PathStyle::kWindows ? "C:\\App" : "/opt/app");
  const char* iniName = field(2);
  const int32_t outSize = ParseNumber(fields[3], RODAROVE_PATH_SIZE, -4, 600);
  const char* name = field(4);
  const char* dir = field(5);
  const int32_t size = ParseNumber(fields[6], 16, -4, 600);

  g_files.clear();
  std::string firstFile;
  if (eol != std::string::npos) {
    std::string rest = "\n" + input.substr(eol + 1);
    size_t at = rest.find("\n>>");
    while (at != std::string::npos) {
      size_t pathEnd = rest.find('\n', at + 3);
      std::string path = rest.substr(at + 3, pathEnd == std::string::npos ? std::string::npos
                                                                          : pathEnd - at - 3);
      size_t next = pathEnd == std::string::npos ? std::string::npos : rest.find("\n>>", pathEnd);
      std::string text = pathEnd == std::string::npos
                             ? std::string()
                             : rest.substr(pathEnd + 1, next == std::string::npos
                                                            ? std::string::npos
                                                            : next - pathEnd - 1);
      if (firstFile.empty()) firstFile = path;
      g_files[path] = text;
      at = next;
    }
  }

  const IniEnvironment env{style, &ReadFromMemory, &HostDirectoryOfInput};
  Model model{style, outSize};
  const std::string located = model.Locate(iniName);
  CheckStep("LocateIniFile", outSize, located, model,
            [&](char* out) { return LocateIniFile(iniName, out, outSize, env); });

  // The rest start from the located file as the module finds it.
  char ini[RODAROVE_PATH_SIZE] = {};
  LocateIniFile(iniName, ini, RODAROVE_PATH_SIZE, env);
  Model follow{style, outSize};
  const std::string followed = follow.Follow(firstFile);
  CheckStep("FollowRedirect", outSize, followed, follow,
            [&](char* out) { return FollowRedirect(firstFile.c_str(), out, outSize, env); });
  Model resolve{style, outSize};
  const std::string resolved = resolve.Resolve(ini);
  CheckStep("ResolveFactoryDllPath", outSize, resolved, resolve,
            [&](char* out) { return ResolveFactoryDllPath(ini, out, outSize, env); });
  if (name != nullptr) {
    Model relative{style, outSize};
    const std::string placed = relative.ResolveRelative(ini, relative.Fit(name, kPath));
    CheckStep("ResolveRelativeDllPath", outSize, placed, relative,
              [&](char* out) { return ResolveRelativeDllPath(ini, name, out, outSize, env); });
  }

  CheckPathOperations(style, env, iniName, name, dir, size);
  return 0;
}
