// The shared library's load and unload routines: process attach and detach.
#include <dlfcn.h>

#include "module/module_lifecycle.h"

namespace {

// This library's own handle: what a host's dlopen of the same file returns.
// RTLD_NOLOAD finds the loaded library without loading anything; the extra
// reference it takes is dropped at once.
void* OwnHandle() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&OwnHandle), &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle;
}

__attribute__((constructor)) void ProcessAttach() { rodarove::OnProcessAttach(OwnHandle()); }

__attribute__((destructor)) void ProcessDetach() { rodarove::OnProcessDetach(); }

}  // namespace
