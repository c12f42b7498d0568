// The table of components handed out by CreateComponent and not yet
// released, keyed by address. It never owns the components.
#ifndef RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_
#define RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_

#include <atomic>
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

// Whether component has a record. Takes ModuleLock; a caller that must act
// on the answer holds it already.
bool IsLiveComponent(IComponent* component);

// Reports a Release of a component without a record (released already):
// the messages of an unknown removal. Takes ModuleLock.
void RefuseUnknownRelease(IComponent* component);

// SetAutoFree: stores value into flag under ModuleLock, which
// PavexDllFreeMap holds when it reads the flag, so that everything the
// component's owner did before is visible to the thread that frees it.
void PublishAutoFree(IComponent* component, std::atomic<int32_t>* flag, int32_t value);

// Erases the record of a component that Release has just destroyed (the
// pointer is only a key), reports an unknown one, and notifies the factory
// when the table is then empty and notifyFactory is nonzero. No
// notification starts while one runs on the same thread, nor a second one
// within one PavexDllFreeMap: those idle moments are the factory's own
// doing. Takes ModuleLock.
void RemoveLiveComponent(IComponent* component, int32_t notifyFactory);

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

#endif  // RODAROVE_MODULE_LIVE_COMPONENT_TABLE_H_
