// What a component may use of the module that made it, and all it may use:
// the DllSafe switch, the registry path, and the two steps of its life that
// go through the live table (its hand-over to PavexDllFreeMap, and its
// end). module/state implements them; no other module/ header is for
// components.
#ifndef RODAROVE_MODULE_STATE_COMPONENT_SERVICES_H_
#define RODAROVE_MODULE_STATE_COMPONENT_SERVICES_H_

#include <atomic>
#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

// DllSafe: false while PavexSetDllSafe(0) is in force, when every Release
// does nothing at all.
bool ReleasesEnabled();

// The path given to SetDLLRegistry, into out (size bytes), cut to size - 1
// characters.
void CopyRegistryPath(char* out, int size);

// SetAutoFree: stores value into flag under ModuleLock, which
// PavexDllFreeMap holds when it reads the flag, so that everything the
// component's owner did before is visible to the thread that frees it. A
// PavexDllFreeMap running on this thread (from a release's notification)
// takes the component into its walk.
void PublishAutoFree(IComponent* component, std::atomic<int32_t>* flag, int32_t value);

// What the last step of a Release did with the object.
enum class ReleaseEnd {
  kStays,           // not deleted: its record stays
  kDeleted,         // deleted: its record goes
  kDeletedQuietly,  // deleted, and it was the factory's own component (361)
};
using FinishReleaseFn = ReleaseEnd (*)(void* object, int32_t force);

// Release's way out. Under ModuleLock: when component has a live record,
// finish(object, force) finalises and maybe deletes the object; then the
// record of a deleted one is erased, and when that empties the table the
// factory is told the module is idle (not after kDeletedQuietly). When
// component has no record (it was released already, say by PavexDllFreeMap
// on another thread while this Release waited for the lock), its address
// is reported and nothing of it is called or read.
void ReleaseLiveComponent(IComponent* component, FinishReleaseFn finish, void* object,
                          int32_t force);

}  // namespace rodarove

#endif  // RODAROVE_MODULE_STATE_COMPONENT_SERVICES_H_
