// A plain model of the ini format the reader implements (the results of
// GetPrivateProfileStringA): lines split with std::string, names compared
// lower-cased. Slow and simple on purpose; the reader test and the reader's
// fuzzer compare the reader with it.
#ifndef RODAROVE_TESTS_FACTORY_INI_MODEL_H_
#define RODAROVE_TESTS_FACTORY_INI_MODEL_H_

#include <string>
#include <vector>

namespace rodarove_test {

inline std::string IniModelLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

inline std::string IniModelTrim(const std::string& s) {
  const char* ws = " \t\r\n\v\f\x1a";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// What the reader leaves in a buffer of `size` bytes (size >= 1) for key in
// section of a file holding `text`; def null means the empty default.
inline std::string IniModelLookup(const std::string& text, const std::string& section,
                                  const std::string& key, const char* def, unsigned size) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find_first_of("\r\n", start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  if (lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);
  std::string wantedSection = IniModelLower(IniModelTrim(section));
  std::string wantedKey = IniModelLower(IniModelTrim(key));
  bool in = wantedSection.empty();  // the nameless section before any header
  std::string fallback = def != nullptr ? def : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  auto cut = [size](std::string v) {
    v = v.substr(0, v.find('\0'));
    if (v.size() > size - 1) v.resize(size - 1);
    return v;
  };
  for (const std::string& raw : lines) {
    std::string line = IniModelTrim(raw);
    if (line.empty()) continue;
    size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string::npos && close > 0) {
      if (in) return cut(fallback);
      in = IniModelLower(IniModelTrim(line.substr(1, close - 1))) == wantedSection;
      continue;
    }
    if (!in) continue;
    size_t eq = line.find('=');
    if (IniModelLower(IniModelTrim(line.substr(0, eq))) != wantedKey) continue;
    if (eq == std::string::npos) return cut(fallback);
    std::string value = IniModelTrim(line.substr(eq + 1));
    value = value.substr(0, value.find('\0'));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      std::string inner = cut(value.substr(1));
      if (size >= value.size() - 1 && !inner.empty()) inner.pop_back();
      return inner;
    }
    return cut(value);
  }
  return cut(fallback);
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_FACTORY_INI_MODEL_H_
