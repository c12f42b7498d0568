#include "tests/factory/test_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace rodarove_test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = ".";
  std::random_device device;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("rodarove_factory_" + std::to_string(device()) + "_" +
                                 std::to_string(counter++));
    if (fs::create_directory(candidate, ec) && !ec) {
      path_ = candidate.generic_string();
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  std::string full = Join(name);
  std::error_code ec;
  fs::create_directories(fs::path(full).parent_path(), ec);
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
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int ModelSteps(int fallback) {
  const char* text = std::getenv("RODAROVE_MODEL_STEPS");
  if (text != nullptr && text[0] != '\0') return std::atoi(text);
  return fallback;
}

}  // namespace rodarove_test
