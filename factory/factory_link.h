// The one-shot link to the framework's factory module, made when this
// module's last live component has been released.
#ifndef RODAROVE_FACTORY_FACTORY_LINK_H_
#define RODAROVE_FACTORY_FACTORY_LINK_H_

#include <cstdint>

#include "factory/factory_interfaces.h"
#include "platform/platform.h"

namespace rodarove {

// Built for one notification: construction loads the factory module (the
// one handed over, or the one the ini files of registryPath name), creates
// ComponentFactory through the module's own CreateComponent and obtains the
// factory instance, already set to auto-free; the factory is given
// registryPath, which must outlive the link. Owns nothing: the destructor
// releases neither object and leaves the module loaded.
class FactoryLink {
 public:
  FactoryLink(const char* registryPath, platform::ModuleHandle handedOver);
  virtual ~FactoryLink();
  FactoryLink(const FactoryLink&) = delete;
  FactoryLink& operator=(const FactoryLink&) = delete;

  // Sets factory from handedOver, or else from the module found for iniName.
  void LoadFactory(const char* iniName, platform::ModuleHandle handedOver);

  // The object made by module's exported CreateComponent(componentId, 0),
  // or null after its message.
  static void* CreateFactoryObject(platform::ModuleHandle module, int32_t componentId);

  FactoryInstance* instance;  // null unless obtained
  ComponentFactory* factory;  // null unless created
};

// Tells the factory instance, if one is obtained, that the module self is
// idle: a FactoryLink of registryPath and handedOver (a factory module the
// host handed over, or null), then its NotifyModuleIdle(self). Reports its
// failures to the debugger output and never fails towards its caller.
void NotifyFactoryOfIdleModule(const char* registryPath, platform::ModuleHandle self,
                               platform::ModuleHandle handedOver);

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_FACTORY_LINK_H_
