// Temporary folders and files for the factory tests.
#ifndef RODAROVE_TESTS_FACTORY_TEST_FILES_H_
#define RODAROVE_TESTS_FACTORY_TEST_FILES_H_

#include <cstdint>
#include <cstdlib>
#include <string>

namespace rodarove_test {

// A fresh folder under the system's temporary folder, removed with all it
// holds on destruction. path() has no trailing '/'.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // Writes bytes to path() + "/" + name (sub-folders are made) and returns
  // the file's full path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string Join(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes bytes to an absolute path.
void WriteFile(const std::string& path, const std::string& bytes);

// Seed of a randomized test: RODAROVE_SEED when set, else the time. The
// test prints it.
uint64_t TestSeed();
// RODAROVE_MODEL_STEPS when set, else fallback.
int ModelSteps(int fallback);

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_FACTORY_TEST_FILES_H_
