// The factory notification on Windows, end to end: rodarove.dll and
// PavFact.dll loaded with LoadLibraryA, "Pavex.ini" found beside this
// executable through GetModuleFileNameA, ini files read by
// GetPrivateProfileStringA, and the factory told the module handle that
// DllMain stored at process attach.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "pavfact/pavfact.h"
#include "tests/support/debug_capture.h"
#include "tests/support/module_loader.h"
#include "tests/support/slot_call.h"

namespace {

using rodarove_test::CallSlot;

const int kReleaseSlot = 2;

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }
std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

std::string HostDirectory() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(::GetModuleHandleA(nullptr), path, MAX_PATH);
  return DirectoryOf(path);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

class FactoryLinkWinTest : public testing::Test {
 protected:
  void SetUp() override {
    pavfactPath_ = WindowsPath(RODAROVE_PAVFACT_PATH);
    pavfact_ = ::LoadLibraryA(pavfactPath_.c_str());
    ASSERT_NE(pavfact_, nullptr) << pavfactPath_;
    getLog_ = reinterpret_cast<PavFactGetCallLogFn>(
        reinterpret_cast<void*>(::GetProcAddress(pavfact_, "PavFactGetCallLog")));
    resetLog_ = reinterpret_cast<PavFactResetCallLogFn>(
        reinterpret_cast<void*>(::GetProcAddress(pavfact_, "PavFactResetCallLog")));
    ASSERT_TRUE(getLog_ && resetLog_);
    module_ = rodarove_test::LoadModule(&e_);
    ASSERT_NE(module_, nullptr) << rodarove_test::BuiltModulePath();
    hostDir_ = HostDirectory();
    scratch_ = hostDir_ + "\\scratch";
    ::CreateDirectoryA(scratch_.c_str(), nullptr);
    ::CreateDirectoryA((hostDir_ + "\\sub").c_str(), nullptr);
    RemoveFiles();
  }

  void TearDown() override {
    RemoveFiles();
    if (e_.SetDLLRegistry != nullptr) e_.SetDLLRegistry(nullptr);
    // Both stay loaded: the module never unloads the factory either.
  }

  void RemoveFiles() {
    for (const std::string& f : {hostDir_ + "\\Pavex.ini", hostDir_ + "\\sub\\my.ini",
                                 scratch_ + "\\target.ini"}) {
      ::DeleteFileA(f.c_str());
    }
  }

  std::string Log() {
    char buf[4096];
    getLog_(buf, sizeof buf);
    return buf;
  }

  // The calls of a successful notification.
  std::string Success(const std::string& registryPath) {
    char handle[64];
    std::snprintf(handle, sizeof handle, "%p", module_);
    return "CreateComponent(361, 0)\nAcquireFactory(361, \"" + registryPath +
           "\")\nSetAutoFree(1)\nNotifyModuleIdle(" + handle + ")\n";
  }

  // Creates one component and releases it, the last live one; returns what
  // reached OutputDebugStringA meanwhile.
  std::string ReleaseLast() {
    IComponent* c = e_.CreateComponent(114, 7);
    EXPECT_NE(c, nullptr);
    if (c == nullptr) return "";
    resetLog_();
    rodarove_test::DebugCapture capture;
    CallSlot<void>(c, kReleaseSlot, int32_t{0});
    return capture.Take();
  }

  std::string pavfactPath_;
  HMODULE pavfact_ = nullptr;
  void* module_ = nullptr;
  rodarove_test::ModuleExports e_;
  std::string hostDir_;
  std::string scratch_;
  PavFactGetCallLogFn getLog_ = nullptr;
  PavFactResetCallLogFn resetLog_ = nullptr;
};

TEST_F(FactoryLinkWinTest, DefaultIniBesideTheExecutableAndTheHandleFromDllMain) {
  WriteFile(hostDir_ + "\\Pavex.ini", "[361]\r\nDLL=" + NameOf(pavfactPath_) +
                                          "\r\n[DefaultValue]\r\nDllPath=" +
                                          DirectoryOf(pavfactPath_) + "\r\n");
  std::string output = ReleaseLast();
  EXPECT_EQ(Log(), Success("")) << "the handle is the one LoadLibraryA returned";
  EXPECT_EQ(output.find("[Pavex_Error]"), std::string::npos) << output;
  EXPECT_EQ(output.rfind("[PavFact] Module idle: ", 0), 0u) << output;
  EXPECT_NE(output.find("rodarove.dll"), std::string::npos) << output;
  EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1);

  // Without the file there is no factory to load.
  ::DeleteFileA((hostDir_ + "\\Pavex.ini").c_str());
  EXPECT_EQ(ReleaseLast(), "[Pavex_Error] Load PavFact.dll Fail.\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(FactoryLinkWinTest, RelativeRegistryPathAndAbsoluteRedirectWithADriveColon) {
  // sub\my.ini is relative: taken beside the executable. Its redirect holds a
  // drive letter, so it is absolute and that file's own sections are read.
  WriteFile(scratch_ + "\\target.ini", "[361]\nDLL=" + pavfactPath_ + "\n");
  WriteFile(hostDir_ + "\\sub\\my.ini", "[Redirect]\nPath=" + scratch_ + "\\target.ini\n");
  e_.SetDLLRegistry("sub\\my.ini");
  ReleaseLast();
  EXPECT_EQ(Log(), Success("sub\\my.ini"));
}

TEST_F(FactoryLinkWinTest, ALeadingForwardSlashIsRelative) {
  // "/name" is not absolute: it goes under the default directory, and
  // Windows accepts the mixed separators of the joined path.
  WriteFile(scratch_ + "\\target.ini", "[361]\nDLL=/" + NameOf(pavfactPath_) +
                                           "\n[DefaultValue]\nDllPath=" +
                                           DirectoryOf(pavfactPath_) + "\n");
  e_.SetDLLRegistry((scratch_ + "\\target.ini").c_str());
  ReleaseLast();
  EXPECT_EQ(Log(), Success(scratch_ + "\\target.ini"));
}

}  // namespace
