#include "factory/factory_link.h"

namespace rodarove {

// The factory link is not built yet: the notification does nothing.
void NotifyFactoryOfIdleModule() {}

}  // namespace rodarove
