// The table of components handed out by CreateComponent and not yet
// released, keyed by address. It never owns the components.
#ifndef RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_
#define RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_

#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

// Constructs the table's storage (static initialisation) and frees it (the
// very end of process detach). Both are idempotent.
void ConstructLiveTable();
void DestroyLiveTable();

// Records component under its address, overwriting a record already there.
// Takes ModuleLock. Returns false when the record could not be stored.
bool InsertLiveComponent(IComponent* component, int32_t componentId, uint32_t creatorId);

// Erases the record of a component that Release has just destroyed (the
// pointer is only a key), reports an unknown one, and notifies the factory
// when the table is then empty and notifyFactory is nonzero. Takes ModuleLock.
void RemoveLiveComponent(IComponent* component, int32_t notifyFactory);

// The leak report of process detach: prints every record, ascending by
// address, and leaves them in place. Takes ModuleLock.
void ReportLeaks();

// Releases, under ModuleLock, every live component whose GetAutoFree is
// nonzero.
void FreeAutoFreeComponents();

// Number of records, read without the lock.
int32_t LiveComponentCount();

}  // namespace rodarove

#endif  // RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_
