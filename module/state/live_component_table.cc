#include "module/state/live_component_table.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <map>
#include <new>
#include <vector>

#include "module/state/module_state.h"

namespace rodarove {

namespace {

struct LiveComponentRecord {
  int32_t componentId;
  uint32_t creatorId;
  IComponent* component;
};

// Keys are addresses as unsigned numbers, so iteration is ascending.
using LiveMap = std::map<uintptr_t, LiveComponentRecord>;

// The map lives in static storage but is constructed and destroyed
// explicitly, so that its lifetime does not depend on the order in which
// static objects of different files are initialised or destroyed.
alignas(LiveMap) unsigned char g_tableStorage[sizeof(LiveMap)];
LiveMap* g_table GUARDED_BY(ModuleLock) PT_GUARDED_BY(ModuleLock) = nullptr;
std::atomic<int32_t> g_count{0};  // the table's size; read unlocked

IdleHandler g_idleHandler GUARDED_BY(ModuleLock) = nullptr;

// A PavexDllFreeMap in progress on the thread that holds ModuleLock: the
// records made, and the components marked auto-free, while it walks (the
// walk may have passed their keys already), and whether it has notified
// the factory.
struct FreeMapWalk {
  std::vector<uintptr_t> noted;
  bool notedLost = false;  // a key could not be kept: walk everything again
  bool notified = false;
};

// Only the thread that holds ModuleLock sets them, and the lock is held for
// the whole of a walk and of a notification, so a thread that finds them
// set is inside one of its own.
FreeMapWalk* g_walk GUARDED_BY(ModuleLock) PT_GUARDED_BY(ModuleLock) = nullptr;
bool g_notifying GUARDED_BY(ModuleLock) = false;

uintptr_t Key(IComponent* component) { return reinterpret_cast<uintptr_t>(component); }

void NoteForWalk(uintptr_t key) REQUIRES(ModuleLock) {
  if (g_walk == nullptr || g_walk->notedLost) return;
  try {
    g_walk->noted.push_back(key);
  } catch (...) {
    g_walk->notedLost = true;
  }
}

void ReportUnknown(IComponent* component) REQUIRES(ModuleLock) {
  DebugPrint("Pavex[Error]: To remove a component not exist\n");
  // The pointer as Windows' %p prints it: uppercase, zero-padded to the
  // pointer's width.
  DebugPrint("Pavex[Error]: IComponent* = 0x%0*" PRIXPTR "\n",
             static_cast<int>(2 * sizeof(void*)), Key(component));
}

// The module has become idle: tell the factory, unless the idle moment is
// the factory's own doing. That is so while its notification runs on this
// thread (it created and released a component of ours), and in a
// PavexDllFreeMap that has notified already (the walk released what the
// factory made during that notification): the factory hears once per walk.
void NotifyIdle() REQUIRES(ModuleLock) {
  if (g_notifying || g_idleHandler == nullptr) return;
  if (g_walk != nullptr) {
    if (g_walk->notified) return;
    g_walk->notified = true;
  }
  g_notifying = true;
  g_idleHandler();
  g_notifying = false;
}

// Erases component's record; when that empties the table and notifyFactory
// is nonzero, the module is idle. True when the table is empty afterwards.
bool RemoveRecord(IComponent* component, int32_t notifyFactory) REQUIRES(ModuleLock) {
  bool erased = g_table != nullptr && g_table->erase(Key(component)) == 1;
  if (erased) {
    g_count.store(static_cast<int32_t>(g_table->size()));
  } else {
    ReportUnknown(component);
  }
  if (g_count.load() != 0) return false;
  if (notifyFactory != 0) NotifyIdle();
  return true;
}

// Asks one component for its auto-free value and releases it when it is
// nonzero.
void FreeIfAutoFree(IComponent* component) {
  if (component->GetAutoFree() != 0) component->Release(0);
}

}  // namespace

void ConstructLiveTable() {
  ModuleLockGuard lock;
  if (g_table == nullptr) g_table = new (g_tableStorage) LiveMap();
}

// Runs at the very end of process detach, after the lock is gone: no other
// thread is left to race with, and there is no lock to take.
void DestroyLiveTable() NO_THREAD_SAFETY_ANALYSIS {
  if (g_table == nullptr) return;
  g_table->~LiveMap();
  g_table = nullptr;
  g_count.store(0);
}

bool InsertLiveComponent(IComponent* component, int32_t componentId, uint32_t creatorId) {
  ModuleLockGuard lock;
  if (g_table == nullptr) return false;
  try {
    (*g_table)[Key(component)] = LiveComponentRecord{componentId, creatorId, component};
  } catch (...) {
    return false;
  }
  g_count.store(static_cast<int32_t>(g_table->size()));
  NoteForWalk(Key(component));
  return true;
}

void SetIdleHandler(IdleHandler handler) {
  ModuleLockGuard lock;
  g_idleHandler = handler;
}

void ReleaseLiveComponent(IComponent* component, FinishReleaseFn finish, void* object,
                          int32_t force) {
  ModuleLockGuard lock;
  if (g_table == nullptr || g_table->count(Key(component)) == 0) {
    ReportUnknown(component);
    return;
  }
  ReleaseEnd end = finish(object, force);
  if (end != ReleaseEnd::kStays) RemoveRecord(component, end == ReleaseEnd::kDeleted ? 1 : 0);
}

void PublishAutoFree(IComponent* component, std::atomic<int32_t>* flag, int32_t value) {
  ModuleLockGuard lock;
  flag->store(value, std::memory_order_relaxed);
  if (value != 0) NoteForWalk(Key(component));
}

bool RemoveLiveComponent(IComponent* component, int32_t notifyFactory) {
  ModuleLockGuard lock;
  return RemoveRecord(component, notifyFactory);
}

void ReportLeaks() {
  ModuleLockGuard lock;
  if (g_table == nullptr || g_table->empty()) return;
  static const char kRule[] =
      "Pavex[Error]:=================================================================\n";
  DebugPrint("%s", kRule);
  DebugPrint("Pavex[Error]:Found leak Pavex components. Count:%d\n",
             static_cast<int>(g_table->size()));
  for (const auto& entry : *g_table) {
    const LiveComponentRecord& r = entry.second;
    DebugPrint("Pavex[Error]:ComponentID:0x%08x CreatorID:0x%08x Pointer:0x%08" PRIxPTR "\n",
               static_cast<unsigned>(r.componentId), static_cast<unsigned>(r.creatorId),
               Key(r.component));
  }
  DebugPrint("%s", kRule);
}

void FreeAutoFreeComponents() {
  ModuleLockGuard lock;
  if (g_table == nullptr) return;
  FreeMapWalk walk;
  FreeMapWalk* outer = g_walk;  // a walk started from a notification nests
  g_walk = &walk;
  // First every record in key order, each looked up after the key of the
  // one before, so that the records a release erases or adds do not
  // matter; then the records noted meanwhile, until none is left. Each
  // release is one look-up, so the walk is O(n log n).
  // Nothing may leave the export: a slot that throws ends the walk.
  try {
    bool everything = true;
    while (everything || !walk.noted.empty()) {
      if (everything) {
        everything = false;
        for (auto it = g_table->begin(); it != g_table->end();) {
          uintptr_t key = it->first;
          FreeIfAutoFree(it->second.component);
          it = g_table->upper_bound(key);
        }
      } else {
        std::vector<uintptr_t> keys;
        keys.swap(walk.noted);
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (uintptr_t key : keys) {
          auto it = g_table->find(key);
          if (it != g_table->end()) FreeIfAutoFree(it->second.component);
        }
      }
      if (walk.notedLost) {
        walk.notedLost = false;
        walk.noted.clear();
        everything = true;
      }
    }
  } catch (...) {
  }
  g_walk = outer;
}

int32_t LiveComponentCount() { return g_count.load(); }

}  // namespace rodarove
