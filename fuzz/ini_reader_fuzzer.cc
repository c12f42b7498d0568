// The ini reader on any file. The input is a header line
// "SIZE|SECTION|KEY|DEFAULT" and then the file's bytes; a field left out
// passes null (the last field takes the rest of the line), a SIZE that is no
// number means 64, and an input without a line end reads a file that does
// not exist. The answer must be the plain model's, terminated within SIZE
// bytes, with nothing written outside them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/posix/ini_reader.h"
#include "tests/factory/ini_model.h"

namespace {

using rodarove_fuzz::Escape;
using rodarove_fuzz::Guarded;

constexpr unsigned kMaxSize = 4096;

const rodarove_fuzz::ScratchFile& Scratch() {
  static const rodarove_fuzz::ScratchFile file;
  return file;
}

unsigned ParseSize(const std::string& text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return 64;
  unsigned size = 0;
  for (size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    size = size * 10 + static_cast<unsigned>(text[i] - '0');
    if (size > kMaxSize) return kMaxSize;
  }
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  const std::string input(reinterpret_cast<const char*>(data), length);
  const size_t eol = input.find('\n');
  const bool haveFile = eol != std::string::npos;
  const std::string text = haveFile ? input.substr(eol + 1) : std::string();
  std::vector<std::string> fields = rodarove_fuzz::SplitFields(input.substr(0, eol), 4);
  // What a C string of each field holds.
  for (std::string& field : fields) field = field.substr(0, field.find('\0'));
  const unsigned size = ParseSize(fields[0]);
  const char* section = fields.size() > 1 ? fields[1].c_str() : nullptr;
  const char* key = fields.size() > 2 ? fields[2].c_str() : nullptr;
  const char* def = fields.size() > 3 ? fields[3].c_str() : nullptr;

  std::string file = Scratch().path();
  if (haveFile) {
    Scratch().Write(text);
  } else {
    file += ".absent";
  }
  Guarded<char> out(size, '#');
  const unsigned n = rodarove::platform::ReadIniString(section, key, def, out.data(), size,
                                                       file.c_str());
  if (size == 0) {
    FUZZ_CHECK(n == 0 && out.UntouchedFrom(0), "size 0: returned %u or wrote", n);
    return 0;
  }
  if (section == nullptr || key == nullptr) {
    FUZZ_CHECK(n == 0 && out[0] == '\0' && out.UntouchedFrom(1),
               "null section or key: returned %u", n);
    return 0;
  }
  const std::string expected = rodarove_test::IniModelLookup(text, section, key, def, size);
  const void* end = std::memchr(out.data(), '\0', size);
  FUZZ_CHECK(end != nullptr, "no terminator within %u bytes", size);
  const std::string got(out.data(), static_cast<size_t>(static_cast<const char*>(end) - out.data()));
  FUZZ_CHECK(got == expected, "[%s] %s, size %u: got \"%s\", the model says \"%s\"",
             Escape(section).c_str(), Escape(key).c_str(), size, Escape(got).c_str(),
             Escape(expected).c_str());
  FUZZ_CHECK(n == expected.size(), "returned %u for \"%s\"", n, Escape(got).c_str());
  FUZZ_CHECK(out.UntouchedFrom(size), "wrote outside the %u bytes", size);
  return 0;
}
