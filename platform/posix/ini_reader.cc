#include "platform/posix/ini_reader.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace rodarove {
namespace platform {

namespace {

bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// [begin, end) equals name, ignoring ASCII case.
bool EqualsIgnoringCase(const char* begin, const char* end, const char* name) {
  size_t n = std::strlen(name);
  if (static_cast<size_t>(end - begin) != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (LowerAscii(begin[i]) != LowerAscii(name[i])) return false;
  }
  return true;
}

void TrimRange(const char** begin, const char** end) {
  while (*begin < *end && IsBlankChar(**begin)) ++*begin;
  while (*end > *begin && IsBlankChar((*end)[-1])) --*end;
}

// Copies [text, text + n) cut at an embedded zero byte and at size - 1
// characters; size > 0.
unsigned CopyOut(const char* text, size_t n, char* out, unsigned size) {
  const void* zero = std::memchr(text, '\0', n);
  if (zero != nullptr) n = static_cast<size_t>(static_cast<const char*>(zero) - text);
  if (n > size - 1) n = size - 1;
  if (n > 0) std::memcpy(out, text, n);
  out[n] = '\0';
  return static_cast<unsigned>(n);
}

// Reads one line (without its '\n') into line. False at the end of the file
// when nothing was read.
bool ReadLine(std::FILE* f, std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  return any;
}

// Looks key up in the first section named section. True with *value set
// (trimmed, quotes removed) when found.
bool FindValue(std::FILE* f, const char* section, const char* key, std::string* value) {
  std::string line;
  bool inSection = false;
  bool firstLine = true;
  while (ReadLine(f, &line)) {
    const char* begin = line.data();
    const char* end = begin + line.size();
    if (firstLine && line.size() >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) begin += 3;
    firstLine = false;
    TrimRange(&begin, &end);
    if (begin == end || *begin == ';') continue;
    if (*begin == '[') {
      const char* close = static_cast<const char*>(std::memchr(begin + 1, ']', static_cast<size_t>(end - begin - 1)));
      if (close == nullptr) continue;  // not a section line
      if (inSection) return false;     // the first section of that name ends
      const char* nameBegin = begin + 1;
      const char* nameEnd = close;
      TrimRange(&nameBegin, &nameEnd);
      inSection = EqualsIgnoringCase(nameBegin, nameEnd, section);
      continue;
    }
    if (!inSection) continue;
    const char* equals = static_cast<const char*>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
    if (equals == nullptr) continue;
    const char* keyEnd = equals;
    const char* keyBegin = begin;
    TrimRange(&keyBegin, &keyEnd);
    if (!EqualsIgnoringCase(keyBegin, keyEnd, key)) continue;
    const char* valueBegin = equals + 1;
    const char* valueEnd = end;
    TrimRange(&valueBegin, &valueEnd);
    if (valueEnd - valueBegin >= 2 && (*valueBegin == '"' || *valueBegin == '\'') &&
        valueEnd[-1] == *valueBegin) {
      ++valueBegin;
      --valueEnd;
    }
    value->assign(valueBegin, valueEnd);
    return true;
  }
  return false;
}

}  // namespace

unsigned ReadIniString(const char* section, const char* key, const char* defaultValue,
                       char* out, unsigned size, const char* file) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  if (section == nullptr || key == nullptr) return 0;
  if (file != nullptr) {
    std::FILE* f = std::fopen(file, "rb");
    if (f != nullptr) {
      bool found = false;
      unsigned copied = 0;
      try {
        std::string value;
        found = FindValue(f, section, key, &value);
        if (found) copied = CopyOut(value.data(), value.size(), out, size);
      } catch (...) {
        // Out of memory on a huge line: the default, as for a missing key.
        found = false;
      }
      std::fclose(f);
      if (found) return copied;
    }
  }
  const char* def = defaultValue != nullptr ? defaultValue : "";
  size_t n = std::strlen(def);
  while (n > 0 && def[n - 1] == ' ') --n;
  return CopyOut(def, n, out, size);
}

}  // namespace platform
}  // namespace rodarove
