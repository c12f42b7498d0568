#include "module/module_lifecycle.h"

#include "arraytree/array_tree_container.h"
#include "maptree/map_tree_container.h"
#include "module/component_registry.h"
#include "module/live_component_table.h"
#include "module/module_state.h"

namespace rodarove {

namespace {
bool g_initialized = false;  // the system loader serialises start-up
}  // namespace

void InitializeModule() {
  if (g_initialized) return;
  g_initialized = true;
  ConstructLiveTable();
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
