// Start-up and shut-down of the module. The entry routine of each system
// (entry_win.cc: DllMain; entry_posix.cc: the shared library's load and
// unload routines) calls these.
#ifndef RODAROVE_MODULE_MODULE_LIFECYCLE_H_
#define RODAROVE_MODULE_MODULE_LIFECYCLE_H_

#include "platform/platform.h"

namespace rodarove {

// Static initialisation: constructs the live table, installs the factory
// notification as its idle handler, then registers component 114, then
// 837. Runs once; later calls do nothing.
void InitializeModule();

// Process attach: stores the module's own handle.
void OnProcessAttach(platform::ModuleHandle self);

// Process detach, in this order: the leak report, the lock is deleted, the
// live table's storage is freed (its components are not touched), a file
// the debugger output went to is closed.
void OnProcessDetach();

}  // namespace rodarove

#endif  // RODAROVE_MODULE_MODULE_LIFECYCLE_H_
