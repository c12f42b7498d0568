// ComponentBase through a probe class of the tests' own, created by the
// module's CreateComponent and called by slot number as a host does.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "module/state/live_component_table.h"
#include "module/state/module_state.h"
#include "rodarove/rodarove.h"
#include "tests/component/probe_component.h"
#include "tests/support/debug_capture.h"
#include "tests/support/slot_call.h"

namespace {

using rodarove_test::CallSlot;
using rodarove_test::DebugCapture;
using rodarove_test::kProbeComponentId;
using rodarove_test::ProbeComponent;

class ComponentBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rodarove_test::RegisterProbeComponent();
    ASSERT_EQ(PavexDllCanUnloadNow(), 1);
  }
  void TearDown() override {
    PavexSetDllSafe(1);
    SetDLLRegistry(nullptr);
    EXPECT_EQ(PavexDllCanUnloadNow(), 1);
  }

  // Created by the module, as a host gets it.
  IComponent* Create(uint32_t creator = 1) {
    IComponent* c = CreateComponent(kProbeComponentId, creator);
    EXPECT_NE(c, nullptr);
    return c;
  }
};

TEST_F(ComponentBaseTest, EverySlotSitsAtItsNumber) {
  IComponent* c = Create();
  EXPECT_EQ(CallSlot<int32_t>(c, 0), kProbeComponentId);
  EXPECT_EQ(CallSlot<int32_t>(c, 1), 1);
  EXPECT_EQ(CallSlot<int32_t>(c, 3), 0);
  CallSlot<void>(c, 4, int32_t{5});
  EXPECT_EQ(CallSlot<int32_t>(c, 3), 5) << "autoFree is stored unchanged";
  // Slots 5-29 and 32-34 of the probe answer their own numbers; the
  // arguments do not matter to it.
  for (int slot = 5; slot <= 34; ++slot) {
    if (slot == 15 || slot == 30 || slot == 31) continue;
    EXPECT_EQ((CallSlot<int32_t>(c, slot, int32_t{0}, nullptr, int32_t{0}, int32_t{0})), slot)
        << "slot " << slot;
  }
  // Slot 15 is the base's GetRoot.
  int32_t out = 77;
  EXPECT_EQ(CallSlot<int32_t>(c, 15, &out), 0);
  EXPECT_EQ(out, 77);
  static_cast<ProbeComponent*>(static_cast<ITreeContainer*>(c))->SetRootFields(1, -9);
  EXPECT_EQ(CallSlot<int32_t>(c, 15, &out), 1);
  EXPECT_EQ(out, -9);
  EXPECT_EQ(CallSlot<int32_t>(c, 15, static_cast<int32_t*>(nullptr)), 1);
  // Slot 30 is OnFinalRelease, slot 31 GetDllRegistry.
  int before = ProbeComponent::finalReleases;
  CallSlot<void>(c, 30);
  EXPECT_EQ(ProbeComponent::finalReleases, before + 1);
  char buffer[16] = "untouched";
  CallSlot<void>(c, 31, "abc", buffer, int32_t{16});
  EXPECT_STREQ(buffer, "abc");
  // Slot 2 is Release.
  int live = ProbeComponent::liveObjects;
  CallSlot<void>(c, 2, int32_t{0});
  EXPECT_EQ(ProbeComponent::liveObjects, live - 1);
}

TEST_F(ComponentBaseTest, ReleaseFinalisesOnceDeletesAndUnregisters) {
  IComponent* a = Create();
  IComponent* b = Create();
  EXPECT_EQ(PavexDllCanUnloadNow(), 0);
  EXPECT_EQ(rodarove::LiveComponentCount(), 2);
  int finals = ProbeComponent::finalReleases;
  int live = ProbeComponent::liveObjects;
  DebugCapture capture;
  a->Release(0);
  EXPECT_EQ(ProbeComponent::finalReleases, finals + 1);
  EXPECT_EQ(ProbeComponent::liveObjects, live - 1);
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  b->Release(1);
  EXPECT_EQ(rodarove::LiveComponentCount(), 0);
  // Only the last release notifies the factory, which no ini file names here.
  EXPECT_EQ(capture.Take(), "[Pavex_Error] Load PavFact.dll Fail.\n")
      << "a known component leaves no message";
}

TEST_F(ComponentBaseTest, DllSafeZeroMakesReleaseANoOp) {
  IComponent* c = Create();
  EXPECT_EQ(PavexSetDllSafe(0), 0);
  c->Release(1);
  c->Release(0);
  EXPECT_EQ(CallSlot<int32_t>(c, 1), 1) << "still answers";
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  PavexDllFreeMap();
  EXPECT_EQ(PavexSetDllSafe(3), 3) << "any nonzero value re-enables";
  c->Release(0);
  EXPECT_EQ(rodarove::LiveComponentCount(), 0);
}

TEST_F(ComponentBaseTest, GetDllRegistryCopiesWholeOrNothing) {
  IComponent* c = Create();
  auto* t = static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(c));
  char buffer[32];

  std::memset(buffer, 'x', sizeof buffer);
  t->GetDllRegistry(nullptr, buffer, 32);
  EXPECT_STREQ(buffer, "") << "empty registry path is copied as an empty string";

  SetDLLRegistry("C:\\cfg\\my.ini");
  t->GetDllRegistry("", buffer, 32);
  EXPECT_STREQ(buffer, "C:\\cfg\\my.ini");
  t->GetDllRegistry(nullptr, buffer, 32);
  EXPECT_STREQ(buffer, "C:\\cfg\\my.ini");

  std::strcpy(buffer, "keep");
  t->GetDllRegistry("0123456789", buffer, 10);
  EXPECT_STREQ(buffer, "keep") << "10 characters do not fit in 10 bytes";
  t->GetDllRegistry("0123456789", buffer, 11);
  EXPECT_STREQ(buffer, "0123456789");
  std::strcpy(buffer, "keep");
  t->GetDllRegistry("abc", buffer, 0);
  t->GetDllRegistry("abc", nullptr, 10);
  EXPECT_STREQ(buffer, "keep");

  std::string long259(259, 'p');
  EXPECT_EQ(SetDLLRegistry(long259.c_str()), 0);
  char big[300];
  t->GetDllRegistry(nullptr, big, 300);
  EXPECT_EQ(std::string(big), long259);
  std::string long260(260, 'q');
  EXPECT_EQ(SetDLLRegistry(long260.c_str()), 0);
  t->GetDllRegistry(nullptr, big, 300);
  EXPECT_STREQ(big, "") << "a path of 260 characters empties the stored one";
  SetDLLRegistry("x");
  EXPECT_EQ(SetDLLRegistry(nullptr), 0);
  t->GetDllRegistry(nullptr, big, 300);
  EXPECT_STREQ(big, "");
  c->Release(0);
}

TEST_F(ComponentBaseTest, FreeMapReleasesOnlyAutoFreeComponents) {
  IComponent* keep = Create(1);
  IComponent* go1 = Create(2);
  IComponent* go2 = Create(3);
  go1->SetAutoFree(1);
  go2->SetAutoFree(-4);
  PavexDllFreeMap();
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  EXPECT_EQ(PavexDllCanUnloadNow(), 0);
  EXPECT_EQ(keep->GetAutoFree(), 0);
  keep->SetAutoFree(1);
  PavexDllFreeMap();
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
}

TEST_F(ComponentBaseTest, FreeMapSurvivesReleasesThatReleaseOthers) {
  // Each auto-free component releases two others from its final-release
  // hook, so records disappear under the walk; it re-enters ModuleLock too.
  constexpr int kGroups = 20;
  for (int g = 0; g < kGroups; ++g) {
    IComponent* owner = Create(100 + g);
    IComponent* x = Create(200 + g);
    IComponent* y = Create(300 + g);
    owner->SetAutoFree(1);
    static_cast<ProbeComponent*>(static_cast<ITreeContainer*>(owner))->onFinalRelease = [x, y] {
      x->Release(0);
      y->Release(0);
    };
  }
  IComponent* stay = Create(999);
  EXPECT_EQ(rodarove::LiveComponentCount(), 3 * kGroups + 1);
  int live = ProbeComponent::liveObjects;
  PavexDllFreeMap();
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  EXPECT_EQ(ProbeComponent::liveObjects, live - 3 * kGroups);
  stay->Release(0);
}

TEST_F(ComponentBaseTest, AReleaseWithoutARecordIsRefusedUntouched) {
  // What a second Release finds when the first one (PavexDllFreeMap's, on
  // another thread) went ahead while it waited for the lock: no record. The
  // record is erased here by hand, so that the object is still there to
  // show that nothing of it was run or freed.
  IComponent* c = Create();
  rodarove::RemoveLiveComponent(c, 0);
  int finals = ProbeComponent::finalReleases;
  int live = ProbeComponent::liveObjects;
  DebugCapture capture;
  c->Release(0);
  char address[32];
  std::snprintf(address, sizeof address, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<uintptr_t>(c));
  EXPECT_EQ(capture.Take(), std::string("Pavex[Error]: To remove a component not exist\n"
                                        "Pavex[Error]: IComponent* = 0x") +
                                address + "\n");
  EXPECT_EQ(ProbeComponent::finalReleases, finals);
  EXPECT_EQ(ProbeComponent::liveObjects, live);
  rodarove::DestroyUnrecordedComponent(c);
}

TEST_F(ComponentBaseTest, OwnedObjectsGoKeyedAtTheFinalReleaseAndListedAtTheEnd) {
  // No class of the module owns objects; the base deletes them all the
  // same: the keyed ones in key order once the final-release hook has run,
  // then the listed ones in list order, skipping null entries.
  std::vector<std::string> deleted;
  struct Mark : rodarove::OwnedObject {
    Mark(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
    ~Mark() override { log->push_back(name); }
    std::vector<std::string>* log;
    const char* name;
  };
  IComponent* c = Create();
  auto* probe = static_cast<ProbeComponent*>(static_cast<ITreeContainer*>(c));
  probe->OwnListed(new Mark(&deleted, "listed 1"));
  probe->OwnListed(nullptr);
  probe->OwnListed(new Mark(&deleted, "listed 2"));
  probe->OwnKeyed(9, new Mark(&deleted, "key 9"));
  probe->OwnKeyed(4, nullptr);
  probe->OwnKeyed(-3, new Mark(&deleted, "key -3"));
  probe->onFinalRelease = [&deleted] { deleted.push_back("final release"); };
  c->Release(0);
  EXPECT_EQ(deleted, (std::vector<std::string>{"final release", "key -3", "key 9", "listed 1",
                                               "listed 2"}));
}

TEST_F(ComponentBaseTest, AFinalReleaseThatThrowsEndsTheFreeMapWalkAndNothingElse) {
  IComponent* thrower = Create(1);
  IComponent* other = Create(2);
  thrower->SetAutoFree(1);
  auto* probe = static_cast<ProbeComponent*>(static_cast<ITreeContainer*>(thrower));
  probe->onFinalRelease = [] { throw std::runtime_error("final release"); };
  PavexDllFreeMap();  // the exception stays inside the export
  EXPECT_EQ(rodarove::LiveComponentCount(), 2) << "the release that threw did not finish";
  // The walk left the lock and its own state as they were: the next one
  // finishes the release.
  probe->onFinalRelease = nullptr;
  PavexDllFreeMap();
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  other->Release(0);
}

TEST_F(ComponentBaseTest, AfterTheTableIsGoneCallsFindNoRecordAndChangeNothing) {
  // What a caller late in process exit meets, once process detach has
  // freed the table: both steps are idempotent, a release is refused as for
  // an unknown component, and nothing is recorded or reported as leaked.
  IComponent* c = Create();
  rodarove::DestroyLiveTable();
  rodarove::DestroyLiveTable();
  int live = ProbeComponent::liveObjects;
  DebugCapture capture;
  c->Release(0);
  EXPECT_TRUE(rodarove::RemoveLiveComponent(c, 0));
  PavexDllFreeMap();
  rodarove::ReportLeaks();
  EXPECT_EQ(CreateComponent(kProbeComponentId, 4), nullptr);
  EXPECT_EQ(ProbeComponent::liveObjects, live) << "the new object is not kept";
  char address[32];
  std::snprintf(address, sizeof address, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<uintptr_t>(c));
  const std::string unknown = std::string("Pavex[Error]: To remove a component not exist\n"
                                          "Pavex[Error]: IComponent* = 0x") +
                              address + "\n";
  EXPECT_EQ(capture.Take(), unknown + unknown +
                                "Pavex[Error]:CreateComponent method return NULL.\n"
                                "Pavex[Error]: ComponentID=5001 CreatorID=4");
  rodarove::ConstructLiveTable();
  rodarove::ConstructLiveTable();
  EXPECT_EQ(rodarove::LiveComponentCount(), 0);
  IComponent* d = Create();
  EXPECT_EQ(rodarove::LiveComponentCount(), 1);
  d->Release(0);
  rodarove::DestroyUnrecordedComponent(c);
}

TEST_F(ComponentBaseTest, AComponentDestroyedUnfinalisedStopsADebuggerOnly) {
  // No path of the module destroys a component that Release did not
  // finalise; one that did would stop in an attached debugger, and go on
  // without one.
  int live = ProbeComponent::liveObjects;
  delete new ProbeComponent();
  EXPECT_EQ(ProbeComponent::liveObjects, live);
#if !defined(_WIN32)
  // This process as the debugger of a child that does the same.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(2);
    delete new ProbeComponent();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "ptrace is not allowed here";
  ASSERT_TRUE(WIFSTOPPED(status)) << "status " << status;
  EXPECT_EQ(WSTOPSIG(status), SIGTRAP);
  ASSERT_EQ(ptrace(PTRACE_CONT, child, nullptr, nullptr), 0);  // the trap is not delivered
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

TEST(ModuleMessages, CreateComponentFailures) {
  rodarove_test::RegisterProbeComponent();
  {
    DebugCapture capture;
    EXPECT_EQ(CreateComponent(999, 7), nullptr);
    EXPECT_EQ(capture.Take(),
              "Pavex[Error]: Can't find the factory method of Component\n"
              "Pavex[Error]: ComponentID=999 CreatorID=7");
  }
  {
    DebugCapture capture;
    EXPECT_EQ(CreateComponent(-5, 4294967295u), nullptr);
    EXPECT_EQ(capture.Take(),
              "Pavex[Error]: Can't find the factory method of Component\n"
              "Pavex[Error]: ComponentID=-5 CreatorID=4294967295");
  }
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
}

TEST(ModuleMessages, RemovingAnUnknownComponent) {
  IComponent* bogus = reinterpret_cast<IComponent*>(uintptr_t{0xDEADBEEF});
  DebugCapture capture;
  rodarove::RemoveLiveComponent(bogus, 0);
  std::string expected =
      "Pavex[Error]: To remove a component not exist\n"
      "Pavex[Error]: IComponent* = 0x" +
      std::string(sizeof(void*) == 8 ? "00000000DEADBEEF" : "DEADBEEF") + "\n";
  EXPECT_EQ(capture.Take(), expected);
  EXPECT_EQ(rodarove::LiveComponentCount(), 0);
}

TEST(ModuleMessages, DebugPrintKeepsAtMost1023Characters) {
  std::string text(2000, 'm');
  DebugCapture capture;
  rodarove::DebugPrint("%s", text.c_str());
  EXPECT_EQ(capture.Take(), std::string(1023, 'm'));
}

}  // namespace
