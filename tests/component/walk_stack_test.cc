// WalkStack and WalkBlockCache against plain models: stacks of random
// limits, several alive at once over one cache, with allocations refused at
// random, must hold exactly what a vector holds, accept every push below
// their limit for which memory can be had, and the cache must keep the
// largest blocks it was given and hand them out largest first.
#include "component/walk_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "tests/support/alloc_failure.h"

namespace {

using rodarove::WalkBlockCache;
using rodarove::WalkStack;

unsigned Seed(const char* what) {
  const char* env = std::getenv("RODAROVE_SEED");
  const unsigned seed =
      env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : std::random_device{}();
  std::printf("%s: RODAROVE_SEED=%u\n", what, seed);
  return seed;
}

struct Wide {
  uint64_t a, b, c;
};

// One stack beside its model. Below its limit only a refused allocation may
// refuse a push, and only when the stack is full.
template <typename T, size_t kInline>
void Exercise(WalkBlockCache* cache, std::mt19937& rng, size_t limit, int steps,
              const std::function<T(uint32_t)>& make) {
  WalkStack<T, kInline> stack(cache);
  stack.Begin(limit);
  std::vector<uint32_t> model;
  size_t held = kInline;  // entries it has shown it can hold
  for (int step = 0; step < steps; ++step) {
    if (model.empty() || rng() % 3 != 0) {
      const uint32_t v = static_cast<uint32_t>(rng());
      const bool failing = rng() % 8 == 0;
      if (failing) rodarove_test::FailAllocation(1);
      const bool pushed = stack.Push(make(v));
      if (failing) rodarove_test::StopFailing();
      // Beyond the limit (which no walk goes) the stack may refuse.
      ASSERT_TRUE(pushed || (failing && model.size() >= held) || model.size() >= limit)
          << model.size() << " of " << limit;
      if (pushed) model.push_back(v);
      held = std::max(held, model.size());
    } else {
      const T top = stack.Pop();
      ASSERT_EQ(top.a, make(model.back()).a);
      model.pop_back();
    }
    ASSERT_EQ(stack.Empty(), model.empty());
  }
  while (!model.empty()) {
    ASSERT_EQ(stack.Pop().a, make(model.back()).a);
    model.pop_back();
  }
  ASSERT_TRUE(stack.Empty());
}

TEST(WalkStack, HoldsWhatAModelHoldsOverOneCache) {
  std::mt19937 rng(Seed("walk stacks"));
  const size_t liveBefore = rodarove_test::LiveBlocks();
  const std::function<Wide(uint32_t)> wide = [](uint32_t v) { return Wide{v, ~uint64_t{v}, 7}; };
  for (int round = 0; round < 300 && !::testing::Test::HasFailure(); ++round) {
    WalkBlockCache cache;
    // Each round's stacks one after another, so that a stack finds the
    // spares of those before it, too small for it or large enough.
    for (int turn = 0; turn < 3; ++turn) {
      // Small limits end growth at the limit, not at a doubling; now and
      // then no limit at all.
      const size_t limit = rng() % 10 == 0 ? static_cast<size_t>(-1) : 1 + rng() % 300;
      const int steps = static_cast<int>(rng() % 900);
      // Stacks alive together each take a spare, or none, and give theirs
      // back as they end, into a cache that may be full.
      const int nested = 1 + static_cast<int>(rng() % 6);
      std::function<void(int)> run = [&](int depth) {
        WalkStack<Wide, 4> outer(&cache);
        outer.Begin(1 + rng() % 64);
        const int pushes = static_cast<int>(rng() % 40);
        for (int i = 0; i < pushes; ++i) {
          if (!outer.Push(Wide{1, 2, 3})) break;
        }
        if (depth > 1) run(depth - 1);
        Exercise<Wide, 8>(&cache, rng, limit, steps, wide);
      };
      run(nested);
    }
  }
  EXPECT_EQ(rodarove_test::LiveBlocks(), liveBefore) << "the cache kept or lost a block";
}

TEST(WalkBlockCache, KeepsTheLargestAndGivesThemLargestFirst) {
  std::mt19937 rng(Seed("walk block cache"));
  for (int round = 0; round < 200; ++round) {
    WalkBlockCache cache;
    std::vector<size_t> kept;  // sizes, as the model keeps them
    const int gives = static_cast<int>(rng() % 12);
    for (int g = 0; g < gives; ++g) {
      const size_t bytes = 16 * (1 + rng() % 20);
      cache.Give(rodarove::NewWalkBlock(nullptr, 0, bytes), bytes);
      kept.push_back(bytes);
      std::sort(kept.rbegin(), kept.rend());
      if (kept.size() > WalkBlockCache::kSpares) kept.resize(WalkBlockCache::kSpares);
    }
    for (size_t want : kept) {
      size_t bytes = 0;
      void* block = cache.Take(&bytes);
      ASSERT_NE(block, nullptr);
      ASSERT_EQ(bytes, want);
      rodarove::FreeWalkBlock(block);
    }
    size_t bytes = 0;
    ASSERT_EQ(cache.Take(&bytes), nullptr);
  }
}

}  // namespace
