// The VERSIONINFO resource of rodarove.dll, PavFact.dll and rodarove-host.exe,
// read back with GetFileVersionInfoA and VerQueryValueA as Windows' file
// properties read it: every field carries the project's one version.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "rodarove/version.h"
#include "tests/support/module_loader.h"

namespace {

class VersionInfo {
 public:
  explicit VersionInfo(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return;
    data_.resize(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) data_.clear();
  }

  bool Loaded() const { return !data_.empty(); }

  // The fixed part; null when absent.
  const VS_FIXEDFILEINFO* Fixed() const {
    return static_cast<const VS_FIXEDFILEINFO*>(Query("\\", nullptr));
  }

  // A string of the first language the resource lists; "(none)" when absent.
  std::string String(const char* name) const {
    UINT size = 0;
    const WORD* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &size));
    if (translation == nullptr || size < 2 * sizeof(WORD)) return "(none)";
    char key[128];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                  translation[1], name);
    const char* text = static_cast<const char*>(Query(key, &size));
    return text != nullptr && size > 0 ? std::string(text) : "(none)";
  }

 private:
  const void* Query(const char* block, UINT* size) const {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data_.data(), block, &value, &length)) return nullptr;
    if (size != nullptr) *size = length;
    return value;
  }

  std::vector<char> data_;
};

struct Binary {
  std::string path;
  const char* fileName;
  const char* internalName;
  DWORD fileType;
};

TEST(VersionResource, EveryShippedBinaryCarriesTheProjectVersion) {
  const Binary binaries[] = {
      {rodarove_test::BuiltModulePath(), "rodarove.dll", "rodarove", VFT_DLL},
      {RODAROVE_PAVFACT_PATH, "PavFact.dll", "PavFact", VFT_DLL},
      {RODAROVE_HOST_PATH, "rodarove-host.exe", "rodarove-host", VFT_APP},
  };
  const DWORD versionMS = MAKELONG(RODAROVE_VERSION_MINOR, RODAROVE_VERSION_MAJOR);
  const DWORD versionLS = MAKELONG(0, RODAROVE_VERSION_PATCH);
  for (const Binary& b : binaries) {
    std::string path = rodarove_test::NativePath(b.path);
    SCOPED_TRACE(path);
    VersionInfo info(path);
    ASSERT_TRUE(info.Loaded()) << "no version resource, error " << ::GetLastError();

    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLS);
    EXPECT_EQ(fixed->dwFileType, b.fileType);

    EXPECT_EQ(info.String("FileVersion"), RODAROVE_VERSION_STRING);
    EXPECT_EQ(info.String("ProductVersion"), RODAROVE_VERSION_STRING);
    EXPECT_EQ(info.String("ProductName"), "rodarove");
    EXPECT_EQ(info.String("OriginalFilename"), b.fileName);
    EXPECT_EQ(info.String("InternalName"), b.internalName);
    std::string description = info.String("FileDescription");
    EXPECT_TRUE(description != "(none)" && !description.empty()) << description;
  }
}

}  // namespace
