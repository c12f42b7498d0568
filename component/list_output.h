// The output of the list queries of both tree classes: a host passes a
// buffer of `capacity` entries (or none) and is told how many entries the
// answer has, so an entry past the buffer is counted but not written.
#ifndef RODAROVE_COMPONENT_LIST_OUTPUT_H_
#define RODAROVE_COMPONENT_LIST_OUTPUT_H_

#include <cstdint>

namespace rodarove {

// Writes entry k of a list answer when the buffer holds it.
inline void Put(int32_t* buffer, int32_t capacity, int32_t k, int32_t value) {
  if (buffer != nullptr && k < capacity) buffer[k] = value;
}

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_LIST_OUTPUT_H_
