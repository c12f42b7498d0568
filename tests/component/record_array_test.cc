// RecordBlock against a plain byte vector: random growth and writes, with
// the heap, reservations and commits refused at random, must keep every
// byte written and read zeros everywhere else; and the platform's own
// reservations behave as the block expects of them.
#include "component/record_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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
    const uint64_t limit = uint64_t{1} << (17 + random() % 8);
    FakeSpace::largest = random() % 2 ? static_cast<size_t>(limit) * 2 : 256 * 1024;
    FakeSpace::refuse = round % 3 == 0 ? 0 : 6;
    RecordBlock block(limit);
    std::vector<uint8_t> model;  // the bytes that must be there
    for (int step = 0; step < 300; ++step) {
      const uint64_t wanted =
          random() % 4 == 0 ? limit + random() % 8 : model.size() + random() % (limit / 16);
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
      // Every byte kept, the new ones zero; then write some.
      for (int probe = 0; probe < 64 && !model.empty(); ++probe) {
        const size_t at = random() % block.size();
        ASSERT_EQ(static_cast<uint8_t>(block.data()[at]), model[at]) << "at " << at;
      }
      if (block.size() != 0) {
        ASSERT_EQ(std::memcmp(block.data(), model.data(), block.size()), 0);
      }
      for (int write = 0; write < 32 && block.size() != 0; ++write) {
        const size_t at = random() % block.size();
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

TEST(RecordBlockTest, ADiscardedRangeIsGivenBackAndTheRestStays) {
  RecordBlock block(uint64_t{1} << 24);
  ASSERT_TRUE(block.Grow(4 << 20));
  std::memset(block.data(), 7, 4 << 20);
  block.Discard(100, (3 << 20) + 100);  // the whole granules within
  // The granule that the range only partly covers keeps its bytes.
  EXPECT_EQ(block.data()[100], 7);
  EXPECT_EQ(block.data()[(3 << 20) + 100], 7);
  EXPECT_EQ(block.data()[(4 << 20) - 1], 7);
  block.Release();
  ASSERT_TRUE(block.Grow(100));
  EXPECT_EQ(block.data()[99], 0);
}

}  // namespace
