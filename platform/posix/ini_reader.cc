#include "platform/posix/ini_reader.h"

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rodarove {
namespace platform {

namespace {

// Blanks as the Win32 reader sees them, with ^Z (an old end-of-file mark).
bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void TrimRange(const char** begin, const char** end) {
  while (*begin < *end && IsBlankChar(**begin)) ++*begin;
  while (*end > *begin && IsBlankChar((*end)[-1])) --*end;
}

// Copies the first n characters of text (no zero byte among them), cut to
// size - 1 characters, and terminates; size > 0.
unsigned CopyOut(const char* text, size_t n, char* out, unsigned size) {
  if (n > size - 1) n = size - 1;
  if (n > 0) std::memmove(out, text, n);
  out[n] = '\0';
  return static_cast<unsigned>(n);
}

// Compares a stream of characters with a name, ignoring ASCII case and the
// blanks around the streamed text, in constant memory: blanks are held back
// (as a count) until a later character shows whether they are inside the
// text or trailing.
class NameMatcher {
 public:
  NameMatcher(const char* begin, const char* end)
      : name_(begin), length_(static_cast<size_t>(end - begin)) {}

  void Reset() {
    started_ = false;
    failed_ = false;
    matched_ = 0;
    heldBlanks_ = 0;
    heldBlanksMatch_ = true;
  }

  void Feed(char c) {
    if (failed_) return;
    if (IsBlankChar(c)) {
      if (!started_) return;  // leading blanks
      size_t at = matched_ + heldBlanks_;
      if (at >= length_ || name_[at] != c) heldBlanksMatch_ = false;
      ++heldBlanks_;
      return;
    }
    started_ = true;
    if (heldBlanks_ > 0) {
      if (!heldBlanksMatch_) {
        failed_ = true;
        return;
      }
      matched_ += heldBlanks_;
      heldBlanks_ = 0;
    }
    if (matched_ >= length_ || LowerAscii(name_[matched_]) != LowerAscii(c)) {
      failed_ = true;
      return;
    }
    ++matched_;
  }

  // The text streamed so far, without its surrounding blanks, is the name.
  bool Matches() const { return !failed_ && matched_ == length_; }
  // No more text can make it the name.
  bool Failed() const { return failed_; }

 private:
  const char* name_;
  size_t length_;
  bool started_ = false;
  bool failed_ = false;
  size_t matched_ = 0;     // name characters matched by the text so far
  size_t heldBlanks_ = 0;  // blanks after the last other character
  bool heldBlanksMatch_ = true;
};

// The value of a matching key as it streams in: its first `size` characters
// go straight into the caller's buffer, and a few facts about the rest are
// kept (its length without trailing blanks, its first zero byte, the
// characters that decide whether it is quoted), so that the answer is that
// of the whole value however long it is.
class ValueCollector {
 public:
  ValueCollector(char* out, unsigned size) : out_(out), size_(size) {}

  void Reset() { *this = ValueCollector(out_, size_); }

  void Feed(char c) {
    if (!started_ && IsBlankChar(c)) return;  // leading blanks
    started_ = true;
    if (length_ < size_) out_[length_] = c;
    if (c == '\0' && !sawZero_) {
      sawZero_ = true;
      zeroAt_ = length_;
      beforeZero_ = last_;
    }
    if (!IsBlankChar(c)) {
      lastKept_ = length_ + 1;
      lastKeptChar_ = c;
    }
    if (length_ == 0) first_ = c;
    last_ = c;
    ++length_;
  }

  // Writes the answer into the buffer the way the Win32 reader does: a
  // value that starts and ends with the same quote (' or ") loses the
  // opening quote, is cut to size - 1 characters, and then loses its last
  // character when size is at least the length without the opening quote.
  // So the closing quote goes when the whole value fits, and a cut just
  // before the closing quote costs one character more. An embedded zero
  // byte ends the value first.
  unsigned Finish() {
    const size_t n = sawZero_ ? zeroAt_ : lastKept_;
    const char end = sawZero_ ? beforeZero_ : lastKeptChar_;
    const bool quoted = n >= 2 && (first_ == '"' || first_ == '\'') && end == first_;
    if (!quoted) return CopyOut(out_, n, out_, size_);  // the stored part suffices
    size_t copied = n - 1 < size_ - 1 ? n - 1 : size_ - 1;
    if (copied > 0) std::memmove(out_, out_ + 1, copied);
    out_[copied] = '\0';
    if (size_ >= n - 1 && copied > 0) out_[--copied] = '\0';
    return static_cast<unsigned>(copied);
  }

 private:
  char* out_;
  unsigned size_;
  bool started_ = false;
  size_t length_ = 0;    // characters since the first that is not blank
  size_t lastKept_ = 0;  // length without trailing blanks
  char lastKeptChar_ = 0;
  bool sawZero_ = false;
  size_t zeroAt_ = 0;
  char beforeZero_ = 0;
  char first_ = 0;
  char last_ = 0;
};

// Reads a file in blocks; the reader keeps no line whole.
class ByteSource {
 public:
  explicit ByteSource(std::FILE* f) : file_(f) {}

  // Skips a byte-order mark at the start of the file.
  void SkipByteOrderMark() {
    Fill();
    if (filled_ >= 3 && std::memcmp(block_, "\xEF\xBB\xBF", 3) == 0) at_ = 3;
  }

  // The next byte, or -1 at the end of the file or on an error.
  int Next() {
    if (at_ == filled_ && !Fill()) return -1;
    return static_cast<unsigned char>(block_[at_++]);
  }

  // Skips to the end of the line: the line end, or -1 at the end of the file.
  int SkipLine() {
    for (;;) {
      for (; at_ < filled_; ++at_) {
        if (block_[at_] == '\n' || block_[at_] == '\r') return block_[at_++];
      }
      if (!Fill()) return -1;
    }
  }

 private:
  bool Fill() {
    filled_ = std::fread(block_, 1, sizeof block_, file_);
    at_ = 0;
    return filled_ > 0;
  }

  std::FILE* file_;
  char block_[4096];
  size_t at_ = 0;
  size_t filled_ = 0;
};

bool IsLineEnd(int c) { return c == '\n' || c == '\r'; }

// Looks key up in the first section named section, one line at a time,
// keeping of each line only what its answer needs. True when found, with
// the value fed to *value. Lines before the first section header form a
// nameless section, which an empty section name finds first.
bool FindValue(ByteSource* in, const char* section, const char* key, ValueCollector* value) {
  const char* sectionBegin = section;
  const char* sectionEnd = section + std::strlen(section);
  TrimRange(&sectionBegin, &sectionEnd);
  const char* keyBegin = key;
  const char* keyEnd = key + std::strlen(key);
  TrimRange(&keyBegin, &keyEnd);
  NameMatcher sectionName(sectionBegin, sectionEnd);
  NameMatcher keyName(keyBegin, keyEnd);

  bool inSection = sectionBegin == sectionEnd;
  in->SkipByteOrderMark();
  for (int c = 0; c >= 0;) {
    // Blanks before the line's text; a line of blanks is skipped.
    while ((c = in->Next()) >= 0 && !IsLineEnd(c) && IsBlankChar(static_cast<char>(c))) {
    }
    if (c < 0 || IsLineEnd(c)) continue;
    // "[" starts a section header when a ']' follows it on the line: the
    // name ends at the line's last ']'. Otherwise the line is a key line,
    // "key=value" or a key alone; its key ends at the first '='.
    const bool bracket = c == '[';
    bool closed = false;
    bool nameMatchesAtClose = false;
    bool equals = false;
    bool keyMatches = false;
    sectionName.Reset();
    keyName.Reset();
    value->Reset();
    for (bool first = true; c >= 0 && !IsLineEnd(c); c = in->Next(), first = false) {
      const char ch = static_cast<char>(c);
      if (bracket && !first) {
        if (ch == ']') {
          closed = true;
          nameMatchesAtClose = sectionName.Matches();
        }
        sectionName.Feed(ch);
      }
      // The rest of a key line that cannot answer is not read byte by byte.
      if (!bracket && (!inSection || (equals ? !keyMatches : keyName.Failed()))) {
        c = in->SkipLine();
        break;
      }
      if (!inSection) continue;  // only a header matters there
      if (equals) {
        if (keyMatches) value->Feed(ch);
      } else if (ch == '=') {
        equals = true;
        keyMatches = keyName.Matches();
      } else {
        keyName.Feed(ch);
      }
    }
    if (bracket && closed) {
      if (inSection) return false;  // the first section of that name ends
      inSection = nameMatchesAtClose;
      continue;
    }
    if (!inSection) continue;
    // A key without '=' has no value, and still hides later keys of its name.
    if (!equals && keyName.Matches()) return false;
    if (keyMatches) return true;
  }
  return false;
}

// The file, when it is a regular one: a folder, a device or a pipe (which
// could keep a reader waiting for ever) counts as missing.
std::FILE* OpenRegularFile(const char* path) {
#if defined(_WIN32)
  struct _stat64 info;
  if (_stat64(path, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
  return std::fopen(path, "rb");
#else
  // O_NONBLOCK: opening a pipe must not wait for a writer.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  std::FILE* f = nullptr;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) f = ::fdopen(fd, "rb");
  if (f == nullptr) ::close(fd);
  return f;
#endif
}

}  // namespace

unsigned ReadIniString(const char* section, const char* key, const char* defaultValue,
                       char* out, unsigned size, const char* file) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  if (section == nullptr || key == nullptr) return 0;
  std::FILE* f = file != nullptr ? OpenRegularFile(file) : nullptr;
  if (f != nullptr) {
    ByteSource in(f);
    ValueCollector value(out, size);
    bool found = FindValue(&in, section, key, &value);
    std::fclose(f);
    if (found) return value.Finish();
  }
  const char* def = defaultValue != nullptr ? defaultValue : "";
  size_t n = std::strlen(def);
  while (n > 0 && def[n - 1] == ' ') --n;
  return CopyOut(def, n, out, size);
}

}  // namespace platform
}  // namespace rodarove
