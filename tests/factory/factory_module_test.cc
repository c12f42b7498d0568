// The factory notification through the built module, loaded as a host loads
// it: locally, globally (RODAROVE_LOAD_MODE=global), or after PavFact was
// loaded globally (RODAROVE_LOAD_MODE=pavfact-first). Both libraries export
// CreateComponent; each must keep reaching its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pavfact/pavfact.h"
#include "tests/factory/test_files.h"
#include "tests/support/debug_capture.h"
#include "tests/support/module_loader.h"
#include "tests/support/slot_call.h"

namespace {

using rodarove_test::CallSlot;
using rodarove_test::DebugCapture;

std::string LoadMode() {
  const char* mode = std::getenv("RODAROVE_LOAD_MODE");
  return mode != nullptr ? mode : "local";
}

class FactoryThroughModule : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string mode = LoadMode();
    std::printf("RODAROVE_LOAD_MODE=%s\n", mode.c_str());
    if (mode == "pavfact-first") rodarove_test::LoadLibraryAt(RODAROVE_PAVFACT_PATH, true);
    module_ = rodarove_test::LoadModule(&e_, rodarove_test::BuiltModulePath(), mode == "global");
    pavfact_ = rodarove_test::LoadLibraryAt(RODAROVE_PAVFACT_PATH);
  }

  void SetUp() override {
    ASSERT_NE(module_, nullptr);
    ASSERT_NE(pavfact_, nullptr);
    getLog_ = reinterpret_cast<PavFactGetCallLogFn>(rodarove_test::FindSymbol(pavfact_, "PavFactGetCallLog"));
    resetLog_ = reinterpret_cast<PavFactResetCallLogFn>(rodarove_test::FindSymbol(pavfact_, "PavFactResetCallLog"));
    ASSERT_TRUE(getLog_ && resetLog_);
    ASSERT_EQ(e_.PavexDllCanUnloadNow(), 1);
  }

  void TearDown() override {
    e_.SetDLLRegistry(nullptr);
    e_.SetFactoryHandle(nullptr);
    EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1) << "the live table is empty afterwards";
  }

  IComponent* Create() {
    IComponent* c = e_.CreateComponent(114, 0);
    EXPECT_NE(c, nullptr);
    if (c != nullptr) {
      EXPECT_EQ(CallSlot<int32_t>(c, 0), 114) << "the module's own component";
    }
    return c;
  }

  // Releases c, the last live component; returns the debugger output.
  std::string ReleaseLast(IComponent* c) {
    resetLog_();
    DebugCapture capture;
    CallSlot<void>(c, 2, int32_t{0});
    return capture.Take();
  }

  std::string Log() {
    char buf[4096];
    getLog_(buf, sizeof buf);
    return buf;
  }

  std::string Success(const std::string& registryPath) {
    char handle[64];
    std::snprintf(handle, sizeof handle, "%p", module_);
    return "CreateComponent(361, 0)\nAcquireFactory(361, \"" + registryPath +
           "\")\nSetAutoFree(1)\nNotifyModuleIdle(" + handle + ")\n";
  }
  std::string IdleLine() {
    return std::string("[PavFact] Module idle: ") + rodarove_test::BuiltModulePath() + "\n";
  }

  static rodarove_test::ModuleExports e_;
  static void* module_;
  static void* pavfact_;
  PavFactGetCallLogFn getLog_ = nullptr;
  PavFactResetCallLogFn resetLog_ = nullptr;
  rodarove_test::TempFolder tmp_;
};

rodarove_test::ModuleExports FactoryThroughModule::e_;
void* FactoryThroughModule::module_ = nullptr;
void* FactoryThroughModule::pavfact_ = nullptr;

TEST_F(FactoryThroughModule, IniFileNamesTheFactory) {
  std::string ini =
      tmp_.Write("p.ini", "[361]\nDLL=" + rodarove_test::NativePath(RODAROVE_PAVFACT_PATH) + "\n");
  e_.SetDLLRegistry(ini.c_str());
  IComponent* c = Create();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReleaseLast(c), IdleLine());
  EXPECT_EQ(Log(), Success(ini)) << "exactly these calls, with the module's own handle";

  // With PavFact loaded, each CreateComponent still answers for its own
  // library.
  IComponent* again = Create();
  ASSERT_NE(again, nullptr);
  auto pavCreate =
      reinterpret_cast<IComponent* (*)(int32_t, uint32_t)>(rodarove_test::FindSymbol(pavfact_, "CreateComponent"));
  ASSERT_NE(pavCreate, nullptr);
  EXPECT_EQ(pavCreate(114, 0), nullptr);
  IComponent* factory = pavCreate(361, 0);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(CallSlot<int32_t>(factory, 0), 361);
  EXPECT_EQ(ReleaseLast(again), IdleLine());
}

TEST_F(FactoryThroughModule, HandedOverFactoryHandle) {
  e_.SetFactoryHandle(pavfact_);
  IComponent* c = Create();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReleaseLast(c), IdleLine());
  EXPECT_EQ(Log(), Success(""));
}

TEST_F(FactoryThroughModule, MissingFactoryPrintsOneLine) {
  std::string ini = tmp_.Write("m.ini", "[361]\nDLL=" + tmp_.Join("none/libPavFact.so") + "\n");
  e_.SetDLLRegistry(ini.c_str());
  IComponent* c = Create();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReleaseLast(c), "[Pavex_Error] Load PavFact.dll Fail.\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(FactoryThroughModule, FreeMapEmptyingTheTableNotifiesOnce) {
  e_.SetFactoryHandle(pavfact_);
  IComponent* a = Create();
  IComponent* b = e_.CreateComponent(837, 0);
  ASSERT_TRUE(a && b);
  CallSlot<void>(a, 4, int32_t{1});
  CallSlot<void>(b, 4, int32_t{1});
  resetLog_();
  DebugCapture capture;
  e_.PavexDllFreeMap();
  EXPECT_EQ(capture.Take(), IdleLine());
  EXPECT_EQ(Log(), Success(""));
}

// A factory written in C, handed over: its objects are reached through
// their slot tables, and what its notification does with the module is
// the module's to survive.
class CFactoryThroughModule : public FactoryThroughModule {
 protected:
  void SetUp() override {
    FactoryThroughModule::SetUp();
    cFactory_ = rodarove_test::LoadLibraryAt(RODAROVE_C_FACTORY_PATH);
    ASSERT_NE(cFactory_, nullptr);
    setMode_ = reinterpret_cast<void(RODAROVE_CALL*)(int32_t)>(
        rodarove_test::FindSymbol(cFactory_, "CFactorySetMode"));
    notifications_ = reinterpret_cast<int32_t(RODAROVE_CALL*)()>(
        rodarove_test::FindSymbol(cFactory_, "CFactoryNotifications"));
    deepest_ = reinterpret_cast<int32_t(RODAROVE_CALL*)()>(
        rodarove_test::FindSymbol(cFactory_, "CFactoryDeepestNesting"));
    ASSERT_TRUE(setMode_ && notifications_ && deepest_);
    e_.SetFactoryHandle(cFactory_);
  }

  void* cFactory_ = nullptr;
  void(RODAROVE_CALL* setMode_)(int32_t) = nullptr;
  int32_t(RODAROVE_CALL* notifications_)() = nullptr;
  int32_t(RODAROVE_CALL* deepest_)() = nullptr;
};

TEST_F(CFactoryThroughModule, ANotificationThatMakesTheModuleIdleIsNotNested) {
  // Mode 1: the notification creates a component of the module and
  // releases it. That idle moment is the factory's own; the next one the
  // host causes is heard again.
  setMode_(1);
  for (int round = 1; round <= 3; ++round) {
    IComponent* c = Create();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ReleaseLast(c), "");
    EXPECT_EQ(notifications_(), round);
    EXPECT_EQ(deepest_(), 1);
    EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1);
  }
}

TEST_F(CFactoryThroughModule, FreeMapReleasesWhatItsNotificationMakes) {
  // Modes 2 and 3: the notification that the walk's last release causes
  // makes an auto-free component, once or every time, likely at the
  // address just freed. The walk releases that one too, and the factory
  // hears once.
  for (int32_t mode : {2, 3}) {
    SCOPED_TRACE(mode);
    setMode_(mode);
    for (int i = 0; i < 5; ++i) {
      IComponent* c = Create();
      ASSERT_NE(c, nullptr);
      CallSlot<void>(c, 4, int32_t{1});
    }
    e_.PavexDllFreeMap();
    EXPECT_EQ(e_.PavexDllCanUnloadNow(), 1) << "nothing auto-free is left";
    EXPECT_EQ(notifications_(), 1);
  }
}

}  // namespace
