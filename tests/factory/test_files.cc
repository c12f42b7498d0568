#include "tests/factory/test_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace rodarove_test {

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") +
                        "/rodarove_factory_XXXXXX";
  char* made = mkdtemp(&pattern[0]);
  if (made != nullptr) path_ = made;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::string cmd = "rm -rf '" + path_ + "'";
  int ignored = std::system(cmd.c_str());
  (void)ignored;
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  std::string full = Join(name);
  for (size_t slash = full.find('/', path_.size() + 1); slash != std::string::npos;
       slash = full.find('/', slash + 1)) {
    mkdir(full.substr(0, slash).c_str(), 0700);
  }
  WriteFile(full, bytes);
  return full;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

uint64_t TestSeed() {
  const char* text = std::getenv("RODAROVE_SEED");
  if (text != nullptr && text[0] != '\0') return std::strtoull(text, nullptr, 0);
  return static_cast<uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
}

int ModelSteps(int fallback) {
  const char* text = std::getenv("RODAROVE_MODEL_STEPS");
  if (text != nullptr && text[0] != '\0') return std::atoi(text);
  return fallback;
}

}  // namespace rodarove_test
