// The DLL's entry routine. The C runtime's startup code runs the static
// initialisers before the process-attach call and the static destructors
// after the process-detach call, which gives the module its order: static
// initialisation, attach; at detach the leak report, the lock, then the
// live table's storage.
#include <windows.h>

#include "module/module_lifecycle.h"

// Reports success for every notification. Nothing may leave through the
// loader, so any exception stops here.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        rodarove::OnProcessAttach(static_cast<rodarove::platform::ModuleHandle>(instance));
        break;
      case DLL_PROCESS_DETACH:
        rodarove::OnProcessDetach();
        break;
      default:  // thread attach and detach: nothing
        break;
    }
  } catch (...) {
  }
  return TRUE;
}
