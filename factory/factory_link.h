// The one-shot link to the framework's factory module, made when this
// module's last live component has been released.
#ifndef RODAROVE_FACTORY_FACTORY_LINK_H_
#define RODAROVE_FACTORY_FACTORY_LINK_H_

namespace rodarove {

// Locates and loads the factory module, obtains the factory instance and
// tells it that this module is idle. Called under ModuleLock; reports its
// failures to the debugger output and never fails towards its caller.
void NotifyFactoryOfIdleModule();

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_FACTORY_LINK_H_
