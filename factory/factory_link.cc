#include "factory/factory_link.h"

#include "factory/bounded_string.h"
#include "factory/ini_resolution.h"

namespace rodarove {

FactoryLink::FactoryLink(const char* registryPath, platform::ModuleHandle handedOver)
    : instance(nullptr), factory(nullptr) {
  LoadFactory(registryPath, handedOver);
  if (factory != nullptr) {
    instance = factory->lpVtbl->AcquireFactory(factory, kFactoryComponentId, registryPath);
    if (instance != nullptr) instance->lpVtbl->SetAutoFree(instance, 1);
  }
}

FactoryLink::~FactoryLink() = default;

void FactoryLink::LoadFactory(const char* iniName, platform::ModuleHandle handedOver) {
  platform::ModuleHandle module = LoadFactoryModule(iniName, handedOver);
  if (module == nullptr) {
    FactoryDebugPrint("[Pavex_Error] Load PavFact.dll Fail.\n");
    return;
  }
  // The factory module's CreateComponent makes component 361 only, which is
  // a ComponentFactory.
  factory = static_cast<ComponentFactory*>(CreateFactoryObject(module, kFactoryComponentId));
  if (factory == nullptr) {
    FactoryDebugPrint("[Pavex_Error] Create ComponentFactory in PavFact.dll Fail\n");
  }
}

void* FactoryLink::CreateFactoryObject(platform::ModuleHandle module, int32_t componentId) {
  auto create = reinterpret_cast<FactoryCreateComponentFn>(
      platform::FindExport(module, "CreateComponent"));
  if (create == nullptr) {
    FactoryDebugPrint("[Pavex_Error] Can't find CreateComponent().\n");
    return nullptr;
  }
  void* object = create(componentId, 0);
  if (object == nullptr) {
    FactoryDebugPrint("[Pavex_Error] CreateComponent(ComponentId=%u) return null.\n",
                      static_cast<unsigned>(componentId));
  }
  return object;
}

void NotifyFactoryOfIdleModule(const char* registryPath, platform::ModuleHandle self,
                               platform::ModuleHandle handedOver) {
  // Nothing of the factory's may escape to the component's Release.
  try {
    FactoryLink link(registryPath, handedOver);
    if (link.instance != nullptr) link.instance->lpVtbl->NotifyModuleIdle(link.instance, self);
  } catch (...) {
  }
}

}  // namespace rodarove
