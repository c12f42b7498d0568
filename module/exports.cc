// The seven exported entry points. None of them lets an exception out.
#include "rodarove/rodarove.h"

#include "component/component_base.h"
#include "module/component_registry.h"
#include "module/state/live_component_table.h"
#include "module/state/module_state.h"

using namespace rodarove;

extern "C" {

IComponent* RODAROVE_CALL CreateComponent(int32_t componentId, uint32_t creatorId) {
  ComponentCreateFn create = FindCreateFunction(componentId);
  IComponent* component = nullptr;
  if (create == nullptr) {
    DebugPrint("Pavex[Error]: Can't find the factory method of Component\n");
  } else if ((component = create()) == nullptr) {
    DebugPrint("Pavex[Error]:CreateComponent method return NULL.\n");
  } else if (!InsertLiveComponent(component, componentId, creatorId)) {
    // Not recorded: destroy it again without touching the table. The base
    // Release would look for a record that is not there.
    DestroyUnrecordedComponent(component);
    component = nullptr;
    DebugPrint("Pavex[Error]:CreateComponent method return NULL.\n");
  }
  if (component == nullptr) {
    DebugPrint("Pavex[Error]: ComponentID=%d CreatorID=%u", static_cast<int>(componentId),
               static_cast<unsigned>(creatorId));
  }
  return component;
}

int32_t RODAROVE_CALL GetComponentIDs(int32_t* ids, uint32_t capacity) {
  return CopyComponentIDs(ids, capacity);
}

int32_t RODAROVE_CALL SetDLLRegistry(const char* path) {
  SetRegistryPath(path);
  return 0;
}

void* RODAROVE_CALL SetFactoryHandle(void* handle) {
  FactoryModuleHandle.store(handle);
  return handle;
}

int32_t RODAROVE_CALL PavexDllCanUnloadNow(void) { return LiveComponentCount() == 0 ? 1 : 0; }

void RODAROVE_CALL PavexDllFreeMap(void) { FreeAutoFreeComponents(); }

int32_t RODAROVE_CALL PavexSetDllSafe(int32_t safe) {
  DllSafe.store(safe);
  return safe;
}

}  // extern "C"
