#include "platform/posix/ini_reader.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace rodarove {
namespace platform {

namespace {

// Blanks as the Win32 reader sees them, with ^Z (an old end-of-file mark).
bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// [begin, end) equals [nameBegin, nameEnd), ignoring ASCII case.
bool EqualsIgnoringCase(const char* begin, const char* end, const char* nameBegin,
                        const char* nameEnd) {
  if (end - begin != nameEnd - nameBegin) return false;
  for (; begin < end; ++begin, ++nameBegin) {
    if (LowerAscii(*begin) != LowerAscii(*nameBegin)) return false;
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

// Copies a found value the way the Win32 reader does: a value that starts
// and ends with the same quote (' or ") loses the opening quote, is cut to
// size - 1 characters, and then loses its last character when size is at
// least the length without the opening quote. So the closing quote goes
// when the whole value fits, and a cut just before the closing quote costs
// one character more.
unsigned CopyValue(const char* text, size_t n, char* out, unsigned size) {
  const void* zero = std::memchr(text, '\0', n);
  if (zero != nullptr) n = static_cast<size_t>(static_cast<const char*>(zero) - text);
  bool quoted = n >= 2 && (text[0] == '"' || text[0] == '\'') && text[n - 1] == text[0];
  if (!quoted) return CopyOut(text, n, out, size);
  ++text;
  --n;
  unsigned copied = CopyOut(text, n, out, size);
  if (size >= n && copied > 0) out[--copied] = '\0';
  return copied;
}

// Reads one line (without its line end) into line; '\n' and '\r' each end
// a line. False at the end of the file when nothing was read.
bool ReadLine(std::FILE* f, std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n' || c == '\r') break;
    line->push_back(static_cast<char>(c));
  }
  return any;
}

// Looks key up in the first section named section. True with *value set
// (trimmed, quotes still on) when found. Lines before the first section
// header form a nameless section, which an empty section name finds first.
bool FindValue(std::FILE* f, const char* section, const char* key, std::string* value) {
  const char* sectionBegin = section;
  const char* sectionEnd = section + std::strlen(section);
  TrimRange(&sectionBegin, &sectionEnd);
  const char* wantedKeyBegin = key;
  const char* wantedKeyEnd = key + std::strlen(key);
  TrimRange(&wantedKeyBegin, &wantedKeyEnd);

  std::string line;
  bool inSection = sectionBegin == sectionEnd;
  bool firstLine = true;
  while (ReadLine(f, &line)) {
    const char* begin = line.data();
    const char* end = begin + line.size();
    if (firstLine && line.size() >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) begin += 3;
    firstLine = false;
    TrimRange(&begin, &end);
    if (begin == end) continue;
    if (*begin == '[') {
      // The name ends at the last ']' of the line; without one the line is
      // an ordinary key line.
      const char* close = end - 1;
      while (close > begin && *close != ']') --close;
      if (close > begin) {
        if (inSection) return false;  // the first section of that name ends
        const char* nameBegin = begin + 1;
        const char* nameEnd = close;
        TrimRange(&nameBegin, &nameEnd);
        inSection = EqualsIgnoringCase(nameBegin, nameEnd, sectionBegin, sectionEnd);
        continue;
      }
    }
    if (!inSection) continue;
    const char* equals = static_cast<const char*>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
    const char* keyBegin = begin;
    const char* keyEnd = equals != nullptr ? equals : end;
    TrimRange(&keyBegin, &keyEnd);
    if (!EqualsIgnoringCase(keyBegin, keyEnd, wantedKeyBegin, wantedKeyEnd)) continue;
    // A key without '=' has no value, and still hides later keys of its name.
    if (equals == nullptr) return false;
    const char* valueBegin = equals + 1;
    const char* valueEnd = end;
    TrimRange(&valueBegin, &valueEnd);
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
        if (found) copied = CopyValue(value.data(), value.size(), out, size);
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
