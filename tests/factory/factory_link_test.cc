// The factory notification as the module's own code runs it when a host
// releases the last live component: ini files in a temporary folder (and
// "Pavex.ini" beside this executable), the real loader, and the PavFact
// stand-in, which records the calls made on it.
#include "factory/factory_link.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "factory/ini_resolution.h"
#include "module/state/live_component_table.h"
#include "module/state/module_state.h"
#include "pavfact/pavfact.h"
#include "platform/platform.h"
#include "rodarove/rodarove.h"
#include "tests/component/probe_component.h"
#include "tests/factory/test_files.h"
#include "tests/support/debug_capture.h"

namespace {

using rodarove_test::DebugCapture;
using rodarove_test::TempFolder;

const std::string kLoadFail = "[Pavex_Error] Load PavFact.dll Fail.\n";
const std::string kCreateFail = "[Pavex_Error] Create ComponentFactory in PavFact.dll Fail\n";

std::string Base(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class FactoryLinkTest : public testing::Test {
 protected:
  void SetUp() override {
    rodarove_test::RegisterProbeComponent();
    ASSERT_EQ(PavexDllCanUnloadNow(), 1);
    pavfact_ = dlopen(RODAROVE_PAVFACT_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(pavfact_, nullptr) << dlerror();
    getLog_ = reinterpret_cast<PavFactGetCallLogFn>(dlsym(pavfact_, "PavFactGetCallLog"));
    resetLog_ = reinterpret_cast<PavFactResetCallLogFn>(dlsym(pavfact_, "PavFactResetCallLog"));
    setBehaviour_ =
        reinterpret_cast<PavFactSetBehaviourFn>(dlsym(pavfact_, "PavFactSetBehaviour"));
    ASSERT_TRUE(getLog_ && resetLog_ && setBehaviour_);
    resetLog_();
    setBehaviour_(kPavFactNormal);
    // The test program stands in for the module: its handle is what the
    // factory must receive.
    self_ = dlopen(nullptr, RTLD_NOW);
    savedHandle_ = rodarove::ModuleHandle.exchange(self_);
    // PavFact reached through folders of the temporary tree (symbolic links
    // to the one built library, so that its call log is shared).
    ASSERT_EQ(symlink(RODAROVE_PAVFACT_PATH, Link("bin").c_str()), 0);
    ASSERT_EQ(symlink(RODAROVE_PAVFACT_PATH, Link("").c_str()), 0);
    hostDir_ = rodarove::HostDirectory();
    // A run that stopped half-way may have left its files behind.
    RemoveHostFiles();
  }

  void RemoveHostFiles() {
    std::remove((hostDir_ + "/Pavex.ini").c_str());
    std::remove((hostDir_ + "/relative_registry.ini").c_str());
  }

  void TearDown() override {
    RemoveHostFiles();
    SetDLLRegistry(nullptr);
    SetFactoryHandle(nullptr);
    setBehaviour_(kPavFactNormal);
    rodarove::ModuleHandle.store(savedHandle_);
    EXPECT_EQ(PavexDllCanUnloadNow(), 1) << "the live table is empty afterwards";
    if (self_ != nullptr) dlclose(self_);
    // PavFact stays loaded: the module never unloads it either.
  }

  // tmp/<sub>/libPavFact.so, its folder made.
  std::string Link(const std::string& sub) {
    std::string folder = sub.empty() ? tmp_.path() : tmp_.Join(sub);
    std::string cmd = "mkdir -p '" + folder + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return folder + "/" + Base(RODAROVE_PAVFACT_PATH);
  }

  std::string Log() {
    char buf[4096];
    getLog_(buf, sizeof buf);
    return buf;
  }

  // The calls of a successful notification, for the given registry path.
  std::string Success(const std::string& registryPath) {
    char handle[64];
    std::snprintf(handle, sizeof handle, "%p", self_);
    return "CreateComponent(361, 0)\nAcquireFactory(361, \"" + registryPath +
           "\")\nSetAutoFree(1)\nNotifyModuleIdle(" + handle + ")\n";
  }
  const std::string kIdleLine = "[PavFact] Module idle: (main program)\n";

  // Creates one component and releases it, the last one; returns what
  // reached the debugger output meanwhile.
  std::string ReleaseLast() {
    IComponent* c = CreateComponent(rodarove_test::kProbeComponentId, 7);
    EXPECT_NE(c, nullptr);
    if (c == nullptr) return "";
    resetLog_();
    DebugCapture capture;
    c->Release(0);
    return capture.Take();
  }

  // Sets the registry path to an ini file of the temporary tree.
  std::string UseIni(const std::string& name, const std::string& text) {
    std::string path = tmp_.Write(name, text);
    SetDLLRegistry(path.c_str());
    return path;
  }

  TempFolder tmp_;
  std::string hostDir_;
  void* pavfact_ = nullptr;
  void* self_ = nullptr;
  void* savedHandle_ = nullptr;
  PavFactGetCallLogFn getLog_ = nullptr;
  PavFactResetCallLogFn resetLog_ = nullptr;
  PavFactSetBehaviourFn setBehaviour_ = nullptr;
};

TEST_F(FactoryLinkTest, DefaultIniBesideTheHostExecutable) {
  rodarove_test::WriteFile(hostDir_ + "/Pavex.ini",
                           "[361]\r\nDLL=" + Base(RODAROVE_PAVFACT_PATH) +
                               "\r\n[DefaultValue]\r\nDllPath=" + tmp_.Join("bin") + "\r\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success(""));

  // Without the file the module is not found.
  std::remove((hostDir_ + "/Pavex.ini").c_str());
  EXPECT_EQ(ReleaseLast(), kLoadFail);
  EXPECT_EQ(Log(), "");
}

TEST_F(FactoryLinkTest, RegistryPathRelativeToTheHostOrAbsolute) {
  rodarove_test::WriteFile(hostDir_ + "/relative_registry.ini",
                           "[361]\nDLL=" + Link("bin") + "\n");
  SetDLLRegistry("relative_registry.ini");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success("relative_registry.ini"));

  std::string ini = UseIni("cfg/abs.ini", "[361]\nDLL=../bin/" + Base(RODAROVE_PAVFACT_PATH) + "\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success(ini));
}

TEST_F(FactoryLinkTest, ARegistryPathThatWouldBeCutIsNotUsed) {
  // A relative name joined with the host's folder: 258 characters are
  // used; at 259 the joined path would lose its last character and name
  // another file, which exists here and names PavFact: it must not be read.
  if (hostDir_.size() > 200) GTEST_SKIP() << "the build folder is too deep for this test";
  const std::string dll = "[361]\nDLL=" + Link("bin") + "\n";
  for (size_t length : {258u, 259u}) {
    std::string name = "r" + std::string(length - hostDir_.size() - 2, 'x');
    std::string cut = name.substr(0, name.size() - 1);
    rodarove_test::WriteFile(hostDir_ + "/" + name, dll);
    rodarove_test::WriteFile(hostDir_ + "/" + cut, dll);
    SetDLLRegistry(name.c_str());
    EXPECT_EQ(ReleaseLast(), length == 258 ? kIdleLine : kLoadFail) << length;
    std::remove((hostDir_ + "/" + name).c_str());
    std::remove((hostDir_ + "/" + cut).c_str());
  }
}

TEST_F(FactoryLinkTest, DefaultDllPathRelativeAndAbsolute) {
  const std::string name = Base(RODAROVE_PAVFACT_PATH);
  std::string ini = UseIni("a.ini", "[361]\nDLL= " + name + " \n[DefaultValue]\nDllPath=bin\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success(ini));
  UseIni("a.ini", "[361]\nDLL=" + name + "\n[DefaultValue]\nDllPath=" + tmp_.Join("bin") + "\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  UseIni("a.ini", "[361]\nDLL=" + name + "\n[DefaultValue]\nDllPath=nowhere\n");
  EXPECT_EQ(ReleaseLast(), kLoadFail);
}

TEST_F(FactoryLinkTest, NotUseDefaultDllPathTakesTheIniFolder) {
  // PavFact lies beside the ini file, not under the default folder.
  const std::string tail = "\n[DefaultValue]\nDllPath=" + tmp_.Join("nowhere") + "\n";
  struct Case {
    const char* line;
    bool besideIni;
  } cases[] = {{"NotUseDefaultDllPath=1\n", true},   {"NotUseDefaultDllPath= \t1  \n", true},
               {"NotUseDefaultDllPath=10\n", true},  {"NotUseDefaultDllPath=0\n", false},
               {"NotUseDefaultDllPath=\n", false},   {"", false},
               {"NotUseDefaultDllPath=1234567890\n", false}};
  for (const Case& c : cases) {
    UseIni("n.ini", "[361]\nDLL=" + Base(RODAROVE_PAVFACT_PATH) + "\n" + c.line + tail);
    EXPECT_EQ(ReleaseLast(), c.besideIni ? kIdleLine : kLoadFail) << c.line;
  }
}

TEST_F(FactoryLinkTest, Redirections) {
  const std::string dll = "[361]\nDLL=" + Link("bin") + "\n";
  // Relative: the reached file's own [Redirect] is not read.
  tmp_.Write("cfg/real.ini", "[Redirect]\nPath=" + tmp_.Join("broken.ini") + "\n" + dll);
  tmp_.Write("broken.ini", "[361]\nDLL=missing.so\n");
  std::string ini = UseIni("start.ini", "[Redirect]\nPath=cfg/real.ini\n[361]\nDLL=missing.so\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success(ini)) << "the factory gets the registry path itself";

  // Absolute: read in turn, here on to a relative one.
  tmp_.Write("cfg/abs.ini", "[Redirect]\nPath=final.ini\n[361]\nDLL=missing.so\n");
  tmp_.Write("cfg/final.ini", dll);
  UseIni("start.ini", "[Redirect]\nPath=" + tmp_.Join("cfg/abs.ini") + "\n");
  EXPECT_EQ(ReleaseLast(), kIdleLine);

  // A cycle ends at the first file reached twice.
  tmp_.Write("b.ini", "[Redirect]\nPath=" + tmp_.Join("a.ini") + "\n[361]\nDLL=missing.so\n");
  UseIni("a.ini", "[Redirect]\nPath=" + tmp_.Join("b.ini") + "\n" + dll);
  EXPECT_EQ(ReleaseLast(), kIdleLine);
}

TEST_F(FactoryLinkTest, FactoryHandleIsUsedWithoutReadingFiles) {
  UseIni("h.ini", "[361]\nDLL=missing.so\n");
  SetFactoryHandle(pavfact_);
  EXPECT_EQ(ReleaseLast(), kIdleLine);
  EXPECT_EQ(Log(), Success(tmp_.Join("h.ini")));

  // The export is looked up in the module handed over.
  void* other = dlopen(RODAROVE_NO_EXPORT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(other, nullptr);
  UseIni("h.ini", "[361]\nDLL=" + Link("bin") + "\n");
  SetFactoryHandle(other);
  EXPECT_EQ(ReleaseLast(), "[Pavex_Error] Can't find CreateComponent().\n" + kCreateFail);
  EXPECT_EQ(Log(), "");
}

TEST_F(FactoryLinkTest, EachFailureGivesExactlyItsMessages) {
  // The factory module is not loaded.
  UseIni("f.ini", "[361]\nDLL=" + tmp_.Join("missing/libPavFact.so") + "\n");
  EXPECT_EQ(ReleaseLast(), kLoadFail);
  EXPECT_EQ(Log(), "");

  // No CreateComponent export.
  UseIni("f.ini", std::string("[361]\nDLL=") + RODAROVE_NO_EXPORT_LIBRARY_PATH + "\n");
  EXPECT_EQ(ReleaseLast(), "[Pavex_Error] Can't find CreateComponent().\n" + kCreateFail);

  // The export returns null.
  UseIni("f.ini", "[361]\nDLL=" + Link("bin") + "\n");
  setBehaviour_(kPavFactCreateReturnsNull);
  EXPECT_EQ(ReleaseLast(),
            "[Pavex_Error] CreateComponent(ComponentId=361) return null.\n" + kCreateFail);
  EXPECT_EQ(Log(), "CreateComponent(361, 0)\n");

  // AcquireFactory returns null: nothing printed, no SetAutoFree.
  setBehaviour_(kPavFactAcquireReturnsNull);
  EXPECT_EQ(ReleaseLast(), "");
  EXPECT_EQ(Log(), "CreateComponent(361, 0)\nAcquireFactory(361, \"" + tmp_.Join("f.ini") + "\")\n");

  // The factory throws: Release returns as usual, and nothing is printed.
  setBehaviour_(kPavFactNotifyThrows);
  EXPECT_EQ(ReleaseLast(), "");
  EXPECT_EQ(Log(), Success(tmp_.Join("f.ini")));
  setBehaviour_(kPavFactNormal);

  // A factory module path too long to use whole is not loaded.
  UseIni("f.ini", "[361]\nDLL=" + std::string(300, 'n') + "\n");
  EXPECT_EQ(ReleaseLast(), kLoadFail);
  EXPECT_EQ(Log(), "");
}

int FunctionOfThisProgram() { return 361; }

TEST(PlatformLoader, FindsOnlyWhatIsThere) {
  using namespace rodarove::platform;
  EXPECT_EQ(LoadModule(nullptr), nullptr);
  EXPECT_EQ(LoadModule(""), nullptr) << "not the main program, as dlopen would";
  ModuleHandle pavfact = LoadModule(RODAROVE_PAVFACT_PATH);
  ASSERT_NE(pavfact, nullptr);
  void* create = FindExport(pavfact, "CreateComponent");
  EXPECT_NE(create, nullptr);
  EXPECT_EQ(FindExport(pavfact, "NoSuchExport"), nullptr);
  EXPECT_EQ(FindExport(pavfact, nullptr), nullptr);
  EXPECT_EQ(FindExport(nullptr, "CreateComponent"), nullptr);

  EXPECT_EQ(ModuleContaining(create), pavfact);
  EXPECT_EQ(ModuleContaining(nullptr), nullptr);
  EXPECT_EQ(ModuleContaining(reinterpret_cast<const void*>(&FunctionOfThisProgram)), nullptr)
      << "the main program is no module LoadModule could load";

  char path[4096];
  const unsigned length = GetExecutablePath(path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(path).size(), length);
  EXPECT_EQ(Base(path), "factory_link_test");
  EXPECT_EQ(GetExecutablePath(path, length + 1), length) << "exactly fits";
  std::strcpy(path, "kept");
  EXPECT_EQ(GetExecutablePath(path, length), 0u) << "a cut path would name another file";
  EXPECT_STREQ(path, "");
  EXPECT_EQ(GetExecutablePath(nullptr, sizeof path), 0u);
  EXPECT_EQ(GetExecutablePath(path, 0), 0u);
}

TEST_F(FactoryLinkTest, OnlyTheLastReleaseNotifiesAndEachNotificationStartsAfresh) {
  std::string ini = UseIni("o.ini", "[361]\nDLL=" + Link("bin") + "\n");
  IComponent* a = CreateComponent(rodarove_test::kProbeComponentId, 1);
  IComponent* b = CreateComponent(rodarove_test::kProbeComponentId, 2);
  ASSERT_TRUE(a && b);
  resetLog_();
  {
    DebugCapture capture;
    a->Release(0);
    EXPECT_EQ(capture.Take(), "");
  }
  EXPECT_EQ(Log(), "");
  {
    DebugCapture capture;
    b->Release(0);
    EXPECT_EQ(capture.Take(), kIdleLine);
  }
  EXPECT_EQ(Log(), Success(ini));

  // An unknown address while the table is empty notifies as well; without
  // the flag it does not.
  resetLog_();
  int dummy = 0;
  IComponent* unknown = reinterpret_cast<IComponent*>(&dummy);
  {
    DebugCapture capture;
    rodarove::RemoveLiveComponent(unknown, 1);
    std::string out = capture.Take();
    EXPECT_EQ(out.find("Pavex[Error]: To remove a component not exist\n"), 0u);
    EXPECT_EQ(out.substr(out.size() - kIdleLine.size()), kIdleLine);
  }
  EXPECT_EQ(Log(), Success(ini));
  resetLog_();
  {
    DebugCapture capture;
    rodarove::RemoveLiveComponent(unknown, 0);
    EXPECT_EQ(capture.Take().find("[PavFact]"), std::string::npos);
  }
  EXPECT_EQ(Log(), "");
}

}  // namespace
