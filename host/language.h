// Reading the host's command language: words, numbers, names, and the way
// words are quoted back in messages.
#ifndef RODAROVE_HOST_LANGUAGE_H_
#define RODAROVE_HOST_LANGUAGE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rodarove_host {

struct Token {
  std::string text;  // with ${NAME} expanded
  std::string raw;   // as written, for what the host prints
  bool quoted = false;
};

// Splits a line into words. A double-quoted word may hold blanks and the
// escapes \" and \\; a word starting with # begins a comment.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error);

// Replaces ${NAME} by its value; a name without a value stays as written.
std::string Expand(const std::string& text, const std::map<std::string, std::string>& values);

// Parses an optionally signed decimal or 0x-hexadecimal integer; false when
// text is not one. Values too large for 64 bits saturate, so that callers
// can report them as out of range.
bool ParseInteger(const std::string& text, int64_t* value);

// True for a component name: a letter or _, then letters, digits, _ and -.
bool IsName(const std::string& text);

// text in double quotes, with " and \ escaped.
std::string Quote(const std::string& text);

// A word as messages quote it: control bytes escaped as \xNN, and a long
// word cut to its first characters with its length added, so that neither
// escape sequences nor pasted megabytes reach the screen.
std::string ShortWord(const std::string& word);

// "1,234,567".
std::string Grouped(int64_t value);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_LANGUAGE_H_
