#include "host/language.h"

#include <cstdio>

namespace rodarove_host {

namespace {

// Words up to this length are quoted whole.
constexpr size_t kShortWord = 32;
// A longer word shows this many of its characters.
constexpr size_t kWordPrefix = 24;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  tokens->reserve(8);
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n || line[i] == '#') return true;
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < n) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) c = line[i++];
        token.text += c;
      }
      if (!closed) {
        *error = "unterminated quoted text";
        return false;
      }
    } else {
      size_t start = i;
      while (i < n && !IsBlank(line[i])) ++i;
      token.text.assign(line, start, i - start);
    }
    tokens->push_back(std::move(token));
  }
}

std::string Expand(const std::string& text, const std::map<std::string, std::string>& values) {
  size_t start = text.find("${");
  if (start == std::string::npos) return text;
  std::string out;
  size_t i = 0;
  while (start != std::string::npos) {
    size_t end = text.find('}', start);
    if (end == std::string::npos) break;
    auto it = values.find(text.substr(start + 2, end - start - 2));
    out.append(text, i, start - i);
    if (it != values.end()) {
      out += it->second;
    } else {
      out.append(text, start, end - start + 1);
    }
    i = end + 1;
    start = text.find("${", i);
  }
  return out + text.substr(i);
}

bool ParseInteger(const std::string& text, int64_t* value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  uint64_t v = 0;
  const uint64_t cap = uint64_t{1} << 62;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (v < cap) v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (v > cap) v = cap;
  *value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

bool IsName(const std::string& text) {
  if (text.empty()) return false;
  char first = text[0];
  if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_')) {
    return false;
  }
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string ShortWord(const std::string& word) {
  const bool cut = word.size() > kShortWord;
  const size_t shown = cut ? kWordPrefix : word.size();
  std::string out;
  for (size_t i = 0; i < shown; ++i) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (c < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (cut) out += "... (" + Grouped(static_cast<int64_t>(word.size())) + " characters)";
  return out;
}

std::string Grouped(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

}  // namespace rodarove_host
