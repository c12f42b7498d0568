// Calls a component's operation by its slot number, as a host that knows
// only the slot table does: read the object's table, take entry `slot`, call
// it with the slot calling convention (the object first, or in ECX on 32-bit
// Windows).
#ifndef RODAROVE_TESTS_SUPPORT_SLOT_CALL_H_
#define RODAROVE_TESTS_SUPPORT_SLOT_CALL_H_

#include "rodarove/tree_container.h"

namespace rodarove_test {

template <typename R, typename... Args>
R CallSlot(void* object, int slot, Args... args) {
  using Fn = R(RODAROVE_SLOTCALL*)(void*, Args...);
  void** table = *static_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot])(object, args...);
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_SUPPORT_SLOT_CALL_H_
