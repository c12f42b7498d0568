// The shared library's load and unload routines: process attach and detach.
#include "module/module_lifecycle.h"
#include "platform/platform.h"

namespace {

__attribute__((constructor)) void ProcessAttach() {
  rodarove::OnProcessAttach(
      rodarove::platform::ModuleContaining(reinterpret_cast<const void*>(&ProcessAttach)));
}

__attribute__((destructor)) void ProcessDetach() { rodarove::OnProcessDetach(); }

}  // namespace
