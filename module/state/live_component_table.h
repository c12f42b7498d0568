// The table of components handed out by CreateComponent and not yet
// released, keyed by address. It never owns the components, and calls
// nothing above it: the components through their slots, and the idle
// notification through the handler the module installs.
#ifndef RODAROVE_MODULE_STATE_LIVE_COMPONENT_TABLE_H_
#define RODAROVE_MODULE_STATE_LIVE_COMPONENT_TABLE_H_

#include <cstdint>

#include "module/state/component_services.h"
#include "rodarove/tree_container.h"

namespace rodarove {

// Constructs the table's storage (static initialisation) and frees it (the
// very end of process detach). Both are idempotent.
void ConstructLiveTable();
void DestroyLiveTable();

// Tells the factory module that the module is idle. The live table calls
// it, under ModuleLock, when a removal leaves it empty; the module installs
// it at start-up (none: nobody is told).
using IdleHandler = void (*)();
void SetIdleHandler(IdleHandler handler);

// Records component under its address, overwriting a record already there.
// Takes ModuleLock. Returns false when the record could not be stored.
bool InsertLiveComponent(IComponent* component, int32_t componentId, uint32_t creatorId);

// Erases the record of a component that Release has just destroyed (the
// pointer is only a key), reports an unknown one, and runs the idle
// handler when the table is then empty and notifyFactory is nonzero. No
// notification starts while one runs on the same thread, nor a second one
// within one PavexDllFreeMap: those idle moments are the factory's own
// doing. Takes ModuleLock. True when the table is empty afterwards.
bool RemoveLiveComponent(IComponent* component, int32_t notifyFactory);

// The leak report of process detach: prints every record, ascending by
// address, and leaves them in place. Takes ModuleLock.
void ReportLeaks();

// Releases, under ModuleLock, every live component whose GetAutoFree is
// nonzero, including those made or marked while it runs (by a release's
// notification, say). O(n log n) in the live components.
void FreeAutoFreeComponents();

// Number of records, read without the lock.
int32_t LiveComponentCount();

}  // namespace rodarove

#endif  // RODAROVE_MODULE_STATE_LIVE_COMPONENT_TABLE_H_
