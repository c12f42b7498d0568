// The registration table, on its own executable since it fills the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/component_base.h"
#include "maptree/map_tree_container.h"
#include "module/component_registry.h"
#include "module/state/live_component_table.h"
#include "rodarove/rodarove.h"
#include "tests/component/probe_component.h"
#include "tests/support/alloc_failure.h"
#include "tests/support/debug_capture.h"

namespace {

using rodarove_test::DebugCapture;
using rodarove_test::ProbeComponent;

IComponent* CreateNothing() { return nullptr; }

TEST(ComponentRegistry, ListsTheBuiltInClassesInRegistrationOrder) {
  EXPECT_EQ(GetComponentIDs(nullptr, 0), 2);
  EXPECT_EQ(GetComponentIDs(nullptr, 5), 2);
  int32_t ids[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  EXPECT_EQ(GetComponentIDs(ids, 1), 2);
  EXPECT_EQ(ids[0], 114);
  EXPECT_EQ(ids[1], -1);
  EXPECT_EQ(GetComponentIDs(ids, 8), 2);
  EXPECT_EQ(ids[0], 114);
  EXPECT_EQ(ids[1], 837);
  EXPECT_EQ(ids[2], -1);
}

TEST(ComponentRegistry, CreateFunctionReturningNullIsReported) {
  rodarove::RegisterComponentClass(6001, CreateNothing);
  DebugCapture capture;
  EXPECT_EQ(CreateComponent(6001, 4294967295u), nullptr);
  EXPECT_EQ(capture.Take(),
            "Pavex[Error]:CreateComponent method return NULL.\n"
            "Pavex[Error]: ComponentID=6001 CreatorID=4294967295");
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
}

TEST(ComponentRegistry, FailureToRecordDestroysTheNewObject) {
  rodarove_test::RegisterProbeComponent();
  // Allocation 1 is the object itself, 2 the live table's record.
  int live = ProbeComponent::liveObjects;
  DebugCapture capture;
  IComponent* c;
  {
    rodarove_test::ScopedAllocationFailure fail(2);
    c = CreateComponent(rodarove_test::kProbeComponentId, 3);
  }
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(capture.Take(),
            "Pavex[Error]:CreateComponent method return NULL.\n"
            "Pavex[Error]: ComponentID=5001 CreatorID=3");
  EXPECT_EQ(ProbeComponent::liveObjects, live);
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
  {
    rodarove_test::ScopedAllocationFailure fail(1);
    c = CreateComponent(rodarove_test::kProbeComponentId, 3);
  }
  EXPECT_EQ(c, nullptr) << "a failed allocation of the object itself";
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
}

TEST(ComponentRegistry, AFreeMapReleasesWhatItsReleasesMakeWhicheverAllocationFails) {
  // An auto-free component whose final release makes three auto-free
  // components and releases the last again itself: PavexDllFreeMap
  // releases every one of them, also when any one allocation fails (an
  // object, its record, or the walk's note of it, after which the walk goes
  // over every record again).
  rodarove_test::RegisterProbeComponent();
  const int live = ProbeComponent::liveObjects;
  for (size_t failing = 1;; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
    IComponent* owner = CreateComponent(rodarove_test::kProbeComponentId, 1);
    ASSERT_NE(owner, nullptr);
    owner->SetAutoFree(1);
    static_cast<ProbeComponent*>(static_cast<ITreeContainer*>(owner))->onFinalRelease = [] {
      IComponent* made[3] = {};
      for (IComponent*& c : made) {
        c = CreateComponent(rodarove_test::kProbeComponentId, 2);
        if (c != nullptr) c->SetAutoFree(1);
      }
      if (made[2] != nullptr) made[2]->Release(0);
    };
    DebugCapture capture;  // the failed creations' messages
    rodarove_test::FailAllocation(failing);
    PavexDllFreeMap();
    const size_t allocations = rodarove_test::StopFailing();
    capture.Take();
    EXPECT_EQ(rodarove::LiveComponentCount(), 0);
    EXPECT_EQ(ProbeComponent::liveObjects, live);
    if (failing > allocations) break;
  }
}

TEST(ComponentRegistry, FirstRegistrationWinsAndTheTableStopsAt512) {
  rodarove_test::RegisterProbeComponent();
  int32_t before = GetComponentIDs(nullptr, 0);
  rodarove::RegisterComponentClass(0, CreateNothing);
  rodarove::RegisterComponentClass(7000, nullptr);
  EXPECT_EQ(GetComponentIDs(nullptr, 0), before) << "ID 0 and null create are ignored";

  // A second 114 is stored but never found.
  rodarove::RegisterComponentClass(114, CreateNothing);
  EXPECT_EQ(GetComponentIDs(nullptr, 0), before + 1);
  EXPECT_EQ(rodarove::FindCreateFunction(114), rodarove::CreateMapTreeContainer);

  for (int32_t id = 10000; GetComponentIDs(nullptr, 0) < 512; ++id) {
    rodarove::RegisterComponentClass(id, CreateNothing);
  }
  rodarove::RegisterComponentClass(99999, CreateNothing);
  EXPECT_EQ(GetComponentIDs(nullptr, 0), 512);
  EXPECT_EQ(rodarove::FindCreateFunction(99999), nullptr);
  std::vector<int32_t> ids(600, -1);
  EXPECT_EQ(GetComponentIDs(ids.data(), 600), 512);
  EXPECT_EQ(ids[0], 114);
  EXPECT_EQ(ids[1], 837);
  EXPECT_EQ(ids[511], 10000 + 511 - before - 1);
  EXPECT_EQ(ids[512], -1);
}

}  // namespace
