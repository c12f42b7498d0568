// Several threads create and release components while others free the
// auto-free ones and poll the count: afterwards the table must hold exactly
// the components still alive. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "module/state/live_component_table.h"
#include "rodarove/rodarove.h"
#include "tests/component/probe_component.h"
#include "tests/factory/test_files.h"

namespace {

using rodarove_test::kProbeComponentId;
using rodarove_test::ProbeComponent;

TEST(LiveComponentTableConcurrency, CountIsExactAfterRacingCreatesReleasesAndFreeMaps) {
  rodarove_test::RegisterProbeComponent();
  constexpr int kWorkers = 4;
  constexpr int kRounds = 3000;
  constexpr int kKeptPerWorker = 25;
  std::atomic<bool> stop{false};
  std::atomic<int> abandoned{0};
  std::vector<std::vector<IComponent*>> kept(kWorkers);

  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([w, &kept, &abandoned] {
      std::mt19937 rng(1234u + static_cast<unsigned>(w));
      std::vector<IComponent*> mine;
      for (int i = 0; i < kRounds; ++i) {
        IComponent* c = CreateComponent(kProbeComponentId, static_cast<uint32_t>(w));
        ASSERT_NE(c, nullptr);
        if (rng() % 8 == 0) {
          // Handed to the free-map threads: this thread never touches it again.
          c->SetAutoFree(1);
          ++abandoned;
          continue;
        }
        mine.push_back(c);
        if (mine.size() > 16) {
          size_t k = rng() % mine.size();
          mine[k]->Release(0);
          mine.erase(mine.begin() + static_cast<long>(k));
        }
      }
      while (mine.size() > kKeptPerWorker) {
        mine.back()->Release(0);
        mine.pop_back();
      }
      kept[static_cast<size_t>(w)] = mine;
    });
  }
  std::vector<std::thread> sweepers;
  std::atomic<long> polls{0};
  sweepers.emplace_back([&] {
    while (!stop) PavexDllFreeMap();
  });
  sweepers.emplace_back([&] {
    while (!stop) {
      int r = PavexDllCanUnloadNow();
      EXPECT_TRUE(r == 0 || r == 1);
      ++polls;
    }
  });
  for (auto& t : workers) t.join();
  stop = true;
  for (auto& t : sweepers) t.join();

  PavexDllFreeMap();  // whatever auto-free ones the sweeper did not reach
  size_t keptTotal = 0;
  for (auto& v : kept) keptTotal += v.size();
  EXPECT_EQ(rodarove::LiveComponentCount(), static_cast<int32_t>(keptTotal));
  EXPECT_EQ(ProbeComponent::liveObjects, static_cast<int>(keptTotal));
  EXPECT_GT(abandoned.load(), 0);
  for (auto& v : kept)
    for (IComponent* c : v) c->Release(0);
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
  EXPECT_EQ(ProbeComponent::liveObjects, 0);
}

// Owners on several threads build trees and mark them auto-free; another
// thread frees them. Marking hands a tree over with everything its owner
// did to it, which the destructor on the other thread reads: the race
// detectors (ThreadSanitizer, and valgrind's DRD on the plain build) must
// see the owner's edits ordered before it.
TEST(LiveComponentTableConcurrency, MarkingAutoFreeHandsTheTreeOverWithItsEdits) {
  constexpr int kOwners = 3;
  const int trees = rodarove_test::ModelSteps(60);
  std::atomic<int> owning{kOwners};
  std::vector<std::thread> owners;
  for (int w = 0; w < kOwners; ++w) {
    owners.emplace_back([w, trees, &owning] {
      for (int i = 0; i < trees; ++i) {
        IComponent* c = CreateComponent((i + w) % 2 == 0 ? 114 : 837, static_cast<uint32_t>(w));
        ASSERT_NE(c, nullptr);
        auto* tree = static_cast<ITreeContainer*>(c);
        tree->SetRoot(1);
        for (int32_t id = 2; id < 40; ++id) tree->AppendChild(id, id / 3 + 1);
        c->SetAutoFree(1);  // the last this thread does with it
      }
      --owning;
    });
  }
  std::thread freeing([&owning] {
    while (owning.load() > 0) PavexDllFreeMap();
    PavexDllFreeMap();
  });
  for (auto& t : owners) t.join();
  freeing.join();
  EXPECT_EQ(PavexDllCanUnloadNow(), 1);
}

}  // namespace
