// RecordBlock against a plain byte vector: random growth and writes, with
// the heap, reservations and commits refused at random, must keep every
// byte written and read zeros everywhere else; and the platform's own
// reservations behave as the block expects of them.
#include "component/record_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>
#include <vector>

#include "platform/platform.h"

namespace {

using rodarove::RecordBlock;
using rodarove::RecordMemory;
using rodarove::recordMemory;

// The real functions, refusing a request with probability 1/refuse and any
// reservation larger than `largest`; counts what is live.
struct FakeSpace {
  static std::mt19937* random;
  static unsigned refuse;
  static size_t largest;
  static long liveBlocks;
  static long liveReservations;

  static bool Refused() { return refuse != 0 && (*random)() % refuse == 0; }
  static void* Resize(void* block, size_t bytes) {
    if (Refused()) return nullptr;
    void* fresh = std::realloc(block, bytes);
    if (block == nullptr && fresh != nullptr) ++liveBlocks;
    return fresh;
  }
  static void Free(void* block) {
    if (block != nullptr) --liveBlocks;
    std::free(block);
  }
  static void* Reserve(size_t bytes) {
    if (bytes > largest || Refused()) return nullptr;
    void* at = rodarove::platform::ReserveMemory(bytes);
    if (at != nullptr) ++liveReservations;
    return at;
  }
  static bool Commit(void* at, size_t bytes) {
    return !Refused() && rodarove::platform::CommitMemory(at, bytes);
  }
  static void Release(void* at, size_t bytes) {
    --liveReservations;
    rodarove::platform::ReleaseMemory(at, bytes);
  }
};
std::mt19937* FakeSpace::random = nullptr;
unsigned FakeSpace::refuse = 0;
size_t FakeSpace::largest = 0;
long FakeSpace::liveBlocks = 0;
long FakeSpace::liveReservations = 0;

class ScopedFakeSpace {
 public:
  explicit ScopedFakeSpace(std::mt19937* random) : saved_(recordMemory) {
    FakeSpace::random = random;
    recordMemory = RecordMemory{&FakeSpace::Resize, &FakeSpace::Free,
                                &FakeSpace::Reserve, &FakeSpace::Commit,
                                &rodarove::platform::DiscardMemory, &FakeSpace::Release};
  }
  ~ScopedFakeSpace() { recordMemory = saved_; }

 private:
  RecordMemory saved_;
};

TEST(RecordBlockTest, KeepsWhatWasWrittenAndReadsZerosElsewhere) {
  const uint32_t seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  ScopedFakeSpace space(&random);
  for (int round = 0; round < 12; ++round) {
    // Limits that the whole-limit reservation may or may not reach: the
    // smaller reservations and the moves between them are taken too.
    const uint64_t limit = round % 4 == 1 ? 1000 + random() % 4000 : uint64_t{1} << (17 + random() % 8);
    FakeSpace::largest = random() % 2 ? static_cast<size_t>(limit) * 2 : 256 * 1024;
    FakeSpace::refuse = round % 3 == 0 ? 0 : 6;
    RecordBlock block(limit);
    std::vector<uint8_t> model;  // the bytes that must be there
    size_t gone = 0;             // the front given up, never read again
    for (int step = 0; step < 300; ++step) {
      if (random() % 8 == 0 && model.size() > gone) {
        gone += random() % (model.size() - gone + 1);
        block.DiscardBelow(gone);
      }
      if (random() % 50 == 0) {
        // Empty again, every byte zero when it grows.
        block.Recycle();
        ASSERT_EQ(block.size(), 0u);
        model.clear();
        gone = 0;
      }
      const uint64_t wanted =
          random() % 4 == 0 ? limit + random() % 8 : model.size() + random() % (limit / 16 + 1);
      const size_t before = block.size();
      const bool grown = block.Grow(wanted);
      if (wanted > limit) {
        ASSERT_FALSE(grown);
      }
      if (grown) {
        ASSERT_GE(block.size(), wanted);
      } else {
        ASSERT_EQ(block.size(), before) << "a failed growth changes nothing";
      }
      if (block.size() > model.size()) model.resize(block.size(), 0);
      ASSERT_LE(block.size(), limit);
      // Every byte kept beyond the front given up, the new ones zero; then
      // write some.
      if (block.size() > gone) {
        for (int probe = 0; probe < 64; ++probe) {
          const size_t at = gone + random() % (block.size() - gone);
          ASSERT_EQ(static_cast<uint8_t>(block.data()[at]), model[at]) << "at " << at;
        }
        ASSERT_EQ(std::memcmp(block.data() + gone, model.data() + gone, block.size() - gone), 0);
      }
      for (int write = 0; write < 32 && block.size() > gone; ++write) {
        const size_t at = gone + random() % (block.size() - gone);
        model[at] = static_cast<uint8_t>(random());
        block.data()[at] = static_cast<char>(model[at]);
      }
    }
    block.Release();
    EXPECT_EQ(block.size(), 0u);
    EXPECT_EQ(FakeSpace::liveBlocks, 0);
    EXPECT_EQ(FakeSpace::liveReservations, 0);
  }
}

TEST(RecordBlockTest, ADiscardedFrontIsGivenBackAndTheRestStays) {
  RecordBlock small(1000);
  ASSERT_TRUE(small.Grow(1000));
  small.data()[999] = 7;
  small.DiscardBelow(1000);  // nothing to give back on the heap
  EXPECT_EQ(small.data()[999], 7);

  // Reservations of at most 8 MB: the block reserves exactly what it
  // needs, and moves when it grows beyond.
  std::mt19937 random(1);
  ScopedFakeSpace space(&random);
  FakeSpace::refuse = 0;
  FakeSpace::largest = 8 << 20;
  RecordBlock block(uint64_t{1} << 24);
  ASSERT_TRUE(block.Grow(4 << 20));
  std::memset(block.data(), 7, 4 << 20);
  block.DiscardBelow(20);  // within the first granule: nothing
  EXPECT_EQ(block.data()[15], 7);
  block.DiscardBelow((1 << 20) + 100);  // the whole granules below
  block.DiscardBelow(1 << 20);          // given back already: nothing
  // The granule that the call only partly covers keeps its bytes.
  EXPECT_EQ(block.data()[(1 << 20) + 100], 7);
  EXPECT_EQ(block.data()[(4 << 20) - 1], 7);
  // Moving on copies nothing of the front, and keeps the rest.
  ASSERT_TRUE(block.Grow(8 << 20));
  EXPECT_EQ(block.data()[(1 << 20)], 7);
  EXPECT_EQ(block.data()[(8 << 20) - 1], 0);
  block.DiscardBelow(1 << 24);  // beyond what is committed: all of it
  block.Release();
  ASSERT_TRUE(block.Grow(100));
  EXPECT_EQ(block.data()[99], 0);
}

// A recycled block of a 64-bit process keeps a reservation of its whole
// limit and grows in it again, all zeros; one that holds only part of the
// limit, or any in a 32-bit process, is given back.
TEST(RecordBlockTest, ARecycledBlockGrowsAgainInItsReservation) {
  static std::mt19937 random(1);
  ScopedFakeSpace space(&random);
  FakeSpace::refuse = 0;
  for (const size_t largest : {size_t{64} << 20, size_t{8} << 20}) {
    const bool whole = sizeof(void*) >= 8 && largest >= (size_t{1} << 24);
    FakeSpace::largest = largest;
    RecordBlock block(uint64_t{1} << 24);
    ASSERT_TRUE(block.Grow(4 << 20));
    std::memset(block.data(), 7, 4 << 20);
    block.DiscardBelow(1 << 20);
    const char* const range = block.data();
    block.Recycle();
    EXPECT_EQ(block.size(), 0u);
    EXPECT_EQ(FakeSpace::liveReservations, whole ? 1 : 0);
    ASSERT_TRUE(block.Grow(8 << 20));
    if (whole) {
      EXPECT_EQ(block.data(), range) << "the kept range";
    }
    for (size_t at = 0; at < (8 << 20); at += 4093) ASSERT_EQ(block.data()[at], 0) << "at " << at;
    block.Release();
    EXPECT_EQ(FakeSpace::liveReservations, 0);
  }
}

// A released reservation with little committed is kept for the next
// block that reserves as much, its pages zeroed; a few are kept, and the
// module's unload gives them back.
TEST(RecordBlockTest, ReleasedReservationsAreKeptForTheNext) {
  constexpr uint64_t kLimit = uint64_t{1} << 30;
  std::vector<char*> first;
  {
    RecordBlock blocks[6] = {RecordBlock(kLimit), RecordBlock(kLimit), RecordBlock(kLimit),
                             RecordBlock(kLimit), RecordBlock(kLimit), RecordBlock(kLimit)};
    for (RecordBlock& b : blocks) {
      ASSERT_TRUE(b.Grow(200000));
      std::memset(b.data(), 9, b.size());
      first.push_back(b.data());
    }
  }  // four kept, two given back
  RecordBlock again(kLimit);
  ASSERT_TRUE(again.Grow(100000));
  EXPECT_NE(std::find(first.begin(), first.end(), again.data()), first.end()) << "a kept one";
  for (size_t i = 0; i < again.size(); i += 4096) ASSERT_EQ(again.data()[i], 0) << i;
  again.Release();
  rodarove::ReleaseKeptRecordMemory();
  RecordBlock fresh(kLimit);
  ASSERT_TRUE(fresh.Grow(100000));
  EXPECT_EQ(fresh.data()[0], 0);
  fresh.Release();
  // Four kept and none given back, so no other block can be given their
  // ranges but by taking one: one of another size does not.
  rodarove::ReleaseKeptRecordMemory();
  std::vector<char*> kept;
  {
    RecordBlock blocks[4] = {RecordBlock(kLimit), RecordBlock(kLimit), RecordBlock(kLimit),
                             RecordBlock(kLimit)};
    for (RecordBlock& b : blocks) {
      ASSERT_TRUE(b.Grow(200000));
      kept.push_back(b.data());
    }
  }
  RecordBlock other(kLimit / 2);
  ASSERT_TRUE(other.Grow(100000));
  EXPECT_EQ(std::find(kept.begin(), kept.end(), other.data()), kept.end());
  other.Release();
  rodarove::ReleaseKeptRecordMemory();
}

TEST(RecordBlockTest, TheSystemRefusesAnImpossibleReservation) {
  // Half the address space, which the system keeps a part of for itself.
  EXPECT_EQ(rodarove::platform::ReserveMemory(static_cast<size_t>(-1) / 2 + 1), nullptr);
}

}  // namespace
