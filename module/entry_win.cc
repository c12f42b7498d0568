// The DLL's entry routine. The C runtime's startup code runs the static
// initialisers before the process-attach call and the static destructors
// after the process-detach call, which gives the module its order: static
// initialisation, attach; at detach the leak report, the lock, then the
// live table's storage.
//
// DllMain is declared with the plain types behind the Win32 names (BOOL,
// HINSTANCE, DWORD, LPVOID), so that no system header is needed here.
#include "module/module_lifecycle.h"

namespace {
constexpr unsigned long kProcessDetach = 0;  // DLL_PROCESS_DETACH
constexpr unsigned long kProcessAttach = 1;  // DLL_PROCESS_ATTACH
}  // namespace

// Reports success for every notification. Nothing may leave through the
// loader, so any exception stops here.
extern "C" int __stdcall DllMain(void* instance, unsigned long reason, void* /*reserved*/) {
  try {
    switch (reason) {
      case kProcessAttach:
        rodarove::OnProcessAttach(instance);
        break;
      case kProcessDetach:
        rodarove::OnProcessDetach();
        break;
      default:  // thread attach and detach: nothing
        break;
    }
  } catch (...) {
  }
  return 1;
}
