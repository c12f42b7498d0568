#include "module/live_component_table.h"

#include <atomic>
#include <cinttypes>
#include <map>
#include <new>

#include "factory/factory_link.h"
#include "module/module_state.h"

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
LiveMap* g_table = nullptr;           // guarded by ModuleLock
std::atomic<int32_t> g_count{0};      // the table's size; read unlocked

uintptr_t Key(IComponent* component) { return reinterpret_cast<uintptr_t>(component); }

}  // namespace

void ConstructLiveTable() {
  ModuleLockGuard lock;
  if (g_table == nullptr) g_table = new (g_tableStorage) LiveMap();
}

// Runs at the very end of process detach, after the lock is gone.
void DestroyLiveTable() {
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
  return true;
}

void RemoveLiveComponent(IComponent* component, int32_t notifyFactory) {
  ModuleLockGuard lock;
  bool erased = g_table != nullptr && g_table->erase(Key(component)) == 1;
  if (erased) {
    g_count.store(static_cast<int32_t>(g_table->size()));
  } else {
    DebugPrint("Pavex[Error]: To remove a component not exist\n");
    // The pointer as Windows' %p prints it: uppercase, zero-padded to the
    // pointer's width.
    DebugPrint("Pavex[Error]: IComponent* = 0x%0*" PRIXPTR "\n",
               static_cast<int>(2 * sizeof(void*)), Key(component));
  }
  if (g_count.load() == 0 && notifyFactory != 0) NotifyFactoryOfIdleModule();
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
  auto it = g_table->begin();
  while (it != g_table->end()) {
    uintptr_t key = it->first;
    IComponent* component = it->second.component;
    if (component->GetAutoFree() != 0) component->Release(0);
    // The release may have erased this record and others: look the key up
    // again, and start over from the smallest key after a removal.
    auto again = g_table->find(key);
    it = again == g_table->end() ? g_table->begin() : std::next(again);
  }
}

int32_t LiveComponentCount() { return g_count.load(); }

}  // namespace rodarove
