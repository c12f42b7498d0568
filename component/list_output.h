// What the answers of both tree classes share: the list queries' output (a
// host passes a buffer of `capacity` entries, or none, and is told how many
// entries the answer has, so an entry past the buffer is counted but not
// written), the single-link queries' write of their answer, and the places
// an insertion or a move puts a node at.
#ifndef RODAROVE_COMPONENT_LIST_OUTPUT_H_
#define RODAROVE_COMPONENT_LIST_OUTPUT_H_

#include <cstdint>

namespace rodarove {

// Writes entry k of a list answer when the buffer holds it.
inline void Put(int32_t* buffer, int32_t capacity, int32_t k, int32_t value) {
  if (buffer != nullptr && k < capacity) buffer[k] = value;
}

// Writes value to *out when `answer` is true and out is not null, else to
// a word of its own. No branch: whether a link is there follows no pattern
// a predictor could learn, and compilers keep bit operations on an address
// free of branches.
inline void WriteIf(bool answer, int32_t* out, int32_t value) {
  int32_t spare;
  const uintptr_t toOut = 0 - static_cast<uintptr_t>(answer && out != nullptr);
  int32_t* to = reinterpret_cast<int32_t*>((reinterpret_cast<uintptr_t>(out) & toOut) |
                                           (reinterpret_cast<uintptr_t>(&spare) & ~toOut));
  *to = value;
}

// Where an insertion or a move puts a node, beside its destination node.
enum class Place { kFirstChild, kLastChild, kBefore, kAfter };
inline constexpr bool BesideReference(Place place) {
  return place == Place::kBefore || place == Place::kAfter;
}

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_LIST_OUTPUT_H_
