// The factory module's objects as this module reaches them: through their
// slot tables, the way a host reaches this module's components. They come
// from another module, maybe built by another compiler or written in C, so
// they are never taken for C++ objects of this module's types; only the
// slots named here are called, with the module's own conventions
// (rodarove.h: __thiscall for slots and __cdecl for the export on 32-bit
// Windows).
#ifndef RODAROVE_FACTORY_FACTORY_INTERFACES_H_
#define RODAROVE_FACTORY_FACTORY_INTERFACES_H_

#include <cstddef>
#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

// The factory's component ID, which also names its section of the ini
// file ("361").
constexpr int32_t kFactoryComponentId = 361;
constexpr char kFactorySection[] = "361";

struct FactoryInstance;

// ComponentFactory, component 361, made by the factory module's exported
// CreateComponent: slots 0-4 of every component, then AcquireFactory.
struct ComponentFactory {
  struct Table {
    void (*componentSlots[5])();  // 0-4, not called
    // Slot 5: the factory instance for componentId, or null.
    FactoryInstance*(RODAROVE_SLOTCALL* AcquireFactory)(ComponentFactory* self,
                                                        int32_t componentId,
                                                        const char* registryPath);
  };
  const Table* lpVtbl;
};

// The factory instance: SetAutoFree at slot 4, NotifyModuleIdle at slot 10.
struct FactoryInstance {
  struct Table {
    void (*componentSlots[4])();  // 0-3, not called
    void(RODAROVE_SLOTCALL* SetAutoFree)(FactoryInstance* self, int32_t value);  // slot 4
    void (*factorySlots[5])();    // 5-9, the factory's own
    // Slot 10: module holds no live components any more.
    int32_t(RODAROVE_SLOTCALL* NotifyModuleIdle)(FactoryInstance* self, void* module);
  };
  const Table* lpVtbl;
};

static_assert(offsetof(ComponentFactory::Table, AcquireFactory) == 5 * sizeof(void (*)()),
              "AcquireFactory is slot 5");
static_assert(offsetof(FactoryInstance::Table, SetAutoFree) == 4 * sizeof(void (*)()),
              "SetAutoFree is slot 4");
static_assert(offsetof(FactoryInstance::Table, NotifyModuleIdle) == 10 * sizeof(void (*)()),
              "NotifyModuleIdle is slot 10");

// The factory module's exported CreateComponent.
using FactoryCreateComponentFn = void*(RODAROVE_CALL*)(int32_t componentId, uint32_t creatorId);

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_FACTORY_INTERFACES_H_
