// The one-shot link to the framework's factory module, made when this
// module's last live component has been released.
#ifndef RODAROVE_FACTORY_FACTORY_LINK_H_
#define RODAROVE_FACTORY_FACTORY_LINK_H_

#include <cstdint>

#include "factory/factory_interfaces.h"
#include "platform/platform.h"

namespace rodarove {

// Built for one notification: construction loads the factory module,
// creates ComponentFactory through the module's own CreateComponent and
// obtains the factory instance, already set to auto-free. Owns nothing: the
// destructor releases neither object and leaves the module loaded.
// Construct only under ModuleLock.
class FactoryLink {
 public:
  FactoryLink();
  virtual ~FactoryLink();
  FactoryLink(const FactoryLink&) = delete;
  FactoryLink& operator=(const FactoryLink&) = delete;

  // Sets factory from the module found for iniName.
  void LoadFactory(const char* iniName);

  // The object made by module's exported CreateComponent(componentId, 0),
  // or null after its message.
  static void* CreateFactoryObject(platform::ModuleHandle module, int32_t componentId);

  FactoryInstance* instance;  // null unless obtained
  ComponentFactory* factory;  // null unless created
};

// Tells the factory instance, if one is obtained, that this module is idle.
// Called under ModuleLock; reports its failures to the debugger output and
// never fails towards its caller.
void NotifyFactoryOfIdleModule();

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_FACTORY_LINK_H_
