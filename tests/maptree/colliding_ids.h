// IDs chosen against a published hash: the map tree once hashed an ID by
// multiplying it by 0x9E3779B97F4A7C15 and keeping the top bits, so a host
// that knew the constant could pick IDs whose hashes all have their top 16
// bits zero, and every one of them landed in the same few buckets. Used by
// the store test and the per-class benchmark.
#ifndef RODAROVE_TESTS_MAPTREE_COLLIDING_IDS_H_
#define RODAROVE_TESTS_MAPTREE_COLLIDING_IDS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rodarove_test {

// The first `count` IDs (as unsigned, from 0 up) whose old hash has its top
// 16 bits zero; there are about 65,536 of them. The multiples of the
// constant return to that interval at gaps of at most three lengths, so each
// next ID is found by trying the gaps seen so far, and by counting up only
// when none of them fits.
inline std::vector<int32_t> IdsCollidingInOldHash(size_t count) {
  auto collides = [](uint64_t id) { return (id * 0x9E3779B97F4A7C15ull) >> 48 == 0; };
  std::vector<int32_t> ids;
  std::vector<uint64_t> gaps;
  for (uint64_t id = 0; id <= 0xFFFFFFFFu && ids.size() < count;) {
    ids.push_back(static_cast<int32_t>(static_cast<uint32_t>(id)));
    uint64_t next = 0;
    for (uint64_t gap : gaps) {
      if (collides(id + gap)) {
        next = id + gap;
        break;
      }
    }
    if (next == 0) {
      for (next = id + 1; next <= 0xFFFFFFFFu && !collides(next);) ++next;
      gaps.push_back(next - id);
      std::sort(gaps.begin(), gaps.end());  // the shortest gap that fits is the next ID
    }
    id = next;
  }
  return ids;
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_MAPTREE_COLLIDING_IDS_H_
