// The factory module's objects as this module calls them. Only the slots
// named here are used: the factory object's AcquireFactory (slot 5) and the
// factory instance's SetAutoFree (slot 4) and NotifyModuleIdle (slot 10).
// They are called as the module's own slots are, and the factory's export
// as the module's exports (rodarove.h: __thiscall and __cdecl on 32-bit
// Windows).
#ifndef RODAROVE_FACTORY_FACTORY_INTERFACES_H_
#define RODAROVE_FACTORY_FACTORY_INTERFACES_H_

#include <stdint.h>

#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kFactoryComponentId = 361;

// The factory instance: an IComponent (slots 0-4) with NotifyModuleIdle at
// slot 10. Slots 5-9 belong to the factory and are not called here.
struct IFactoryInstance : IComponent {
  virtual int32_t RODAROVE_SLOTCALL FactorySlot5() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot6() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot7() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot8() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot9() = 0;
  // Slot 10: module holds no live components any more.
  virtual int32_t RODAROVE_SLOTCALL NotifyModuleIdle(void* module) = 0;
};

// ComponentFactory, component 361, made by the factory module's exported
// CreateComponent.
struct IComponentFactory : IComponent {
  // Slot 5: the factory instance for componentId, or null.
  virtual IFactoryInstance* RODAROVE_SLOTCALL AcquireFactory(int32_t componentId,
                                                              const char* registryPath) = 0;
};

// The factory module's exported CreateComponent.
using FactoryCreateComponentFn = IComponent*(RODAROVE_CALL*)(int32_t componentId,
                                                        uint32_t creatorId);

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_FACTORY_INTERFACES_H_
