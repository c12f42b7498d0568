// A minimal host for the leak report: loads the module, creates the
// components the command line names ("114:7" = component 114, creator 7),
// prints their addresses on stdout, and then unloads the module
// ("unload") or just exits with them alive ("exit").
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/module_loader.h"

// The probe leaks components on purpose; LeakSanitizer must not fail it.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: leak_probe MODULE unload|exit [ID:CREATOR...]\n");
    return 2;
  }
  rodarove_test::ModuleExports e;
  void* lib = rodarove_test::LoadModule(&e, argv[1]);
  if (lib == nullptr) return 3;
  for (int i = 3; i < argc; ++i) {
    int32_t id = static_cast<int32_t>(std::strtol(argv[i], nullptr, 10));
    const char* colon = std::strchr(argv[i], ':');
    uint32_t creator = colon ? static_cast<uint32_t>(std::strtoul(colon + 1, nullptr, 10)) : 0;
    IComponent* c = e.CreateComponent(id, creator);
    if (c == nullptr) return 4;
    std::printf("%" PRIxPTR "\n", reinterpret_cast<uintptr_t>(c));
  }
  std::fflush(stdout);
  if (std::strcmp(argv[2], "unload") == 0) rodarove_test::UnloadLibrary(lib);
  return 0;
}
