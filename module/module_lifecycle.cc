#include "module/module_lifecycle.h"

#include "arraytree/array_tree_container.h"
#include "component/record_array.h"
#include "factory/factory_link.h"
#include "maptree/map_tree_container.h"
#include "module/component_registry.h"
#include "module/state/live_component_table.h"
#include "module/state/module_state.h"

namespace rodarove {

namespace {
bool g_initialized = false;  // the system loader serialises start-up

// The registry path as the factory is given it: a copy, taken for each
// notification, that outlives the call.
char g_notifiedRegistryPath[RODAROVE_PATH_SIZE] GUARDED_BY(ModuleLock);

// The idle handler: tells the factory module that this module is idle. The
// live table runs it under ModuleLock.
void NotifyFactory() REQUIRES(ModuleLock) {
  CopyRegistryPath(g_notifiedRegistryPath, RODAROVE_PATH_SIZE);
  NotifyFactoryOfIdleModule(g_notifiedRegistryPath, ModuleHandle.load(),
                            FactoryModuleHandle.load());
}
}  // namespace

void InitializeModule() {
  if (g_initialized) return;
  g_initialized = true;
  ConstructLiveTable();
  SetIdleHandler(&NotifyFactory);
  RegisterComponentClass(kMapTreeComponentId, CreateMapTreeContainer);
  RegisterComponentClass(kArrayTreeComponentId, CreateArrayTreeContainer);
}

void OnProcessAttach(platform::ModuleHandle self) {
  InitializeModule();
  ModuleHandle.store(self);
  InitModuleLock();
}

void OnProcessDetach() {
  if (ModuleLockInitialised()) {
    ReportLeaks();
    DeleteModuleLock();
  }
  DestroyLiveTable();
  ReleaseKeptRecordMemory();  // an unloaded DLL leaves no address space taken
  platform::CloseDebugOutput();
}

namespace {
// Runs with the other static initialisers, before the entry routine's
// process attach on Windows; InitializeModule makes the order irrelevant.
struct StaticInitializer {
  StaticInitializer() { InitializeModule(); }
} g_staticInitializer;
}  // namespace

}  // namespace rodarove
