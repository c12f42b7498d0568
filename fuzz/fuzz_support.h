// What the fuzzers share: checks that print what went wrong and abort, so
// that libFuzzer keeps the input as a crash; buffers with guard entries on
// both sides for the "nothing written outside" checks; a scratch file for
// the ini reader, which reads files only.
#ifndef RODAROVE_FUZZ_FUZZ_SUPPORT_H_
#define RODAROVE_FUZZ_FUZZ_SUPPORT_H_

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace rodarove_fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const char* format, ...) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n  ", file, line, condition);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "\n");
  std::fflush(stderr);
  std::abort();
}

// text with bytes outside printable ASCII as \xNN, for
// failure messages.
inline std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

// A header line split at '|' into at most `count` fields, the last taking
// the rest of the line.
inline std::vector<std::string> SplitFields(const std::string& header, size_t count) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() + 1 < count) {
    size_t bar = header.find('|', start);
    if (bar == std::string::npos) break;
    fields.push_back(header.substr(start, bar - start));
    start = bar + 1;
  }
  fields.push_back(header.substr(start));
  return fields;
}

// Entries of a buffer of `size` with kGuard guard entries before and after
// it, all set to `fill` first.
template <typename T>
class Guarded {
 public:
  static constexpr size_t kGuard = 8;
  Guarded(size_t size, T fill) : entries_(size + 2 * kGuard, fill), size_(size), fill_(fill) {}
  T* data() { return entries_.data() + kGuard; }
  const T& operator[](size_t i) const { return entries_[kGuard + i]; }
  // True when the guards and the entries from `from` to the end of the
  // buffer hold the fill still.
  bool UntouchedFrom(size_t from) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
      bool outside = i < kGuard || i >= kGuard + size_ || i >= kGuard + from;
      if (outside && !Same(entries_[i], fill_)) return false;
    }
    return true;
  }

 private:
  static bool Same(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }
  std::vector<T> entries_;
  size_t size_;
  T fill_;
};

// A file of its own in $TMPDIR, or else in memory (/dev/shm) when there is
// such a folder, which is many times faster than a disk; removed at exit.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(dir) + "/rodarove-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) Fail(__FILE__, __LINE__, "mkstemp", "cannot make a file like %s", pattern.c_str());
    close(fd);
    path_ = name.data();
  }
  ~ScratchFile() { unlink(path_.c_str()); }
  const std::string& path() const { return path_; }
  void Write(const std::string& bytes) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0) {
      Fail(__FILE__, __LINE__, "write", "cannot write %s", path_.c_str());
    }
  }

 private:
  std::string path_;
};

}  // namespace rodarove_fuzz

#define FUZZ_CHECK(condition, ...)                                                   \
  do {                                                                               \
    if (!(condition)) rodarove_fuzz::Fail(__FILE__, __LINE__, #condition, __VA_ARGS__); \
  } while (0)

#endif  // RODAROVE_FUZZ_FUZZ_SUPPORT_H_
