// Loads the rodarove module by path, the way a component framework does,
// builds a small tree through the slot table, queries it and releases it.
//   load_module [MODULE]    default: librodarove.so.1 (rodarove.dll on Windows)
#include <cstdio>

#include "rodarove/rodarove.h"

#if defined(_WIN32)
#include <windows.h>
static const char kModuleFile[] = "rodarove.dll";
static void* OpenModule(const char* path) { return reinterpret_cast<void*>(LoadLibraryA(path)); }
static void* FindExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
static void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
static void PrintLoadError(const char* path) {
  std::fprintf(stderr, "cannot load %s: error %lu\n", path, GetLastError());
}
#else
#include <dlfcn.h>
static const char kModuleFile[] = "librodarove.so.1";
static void* OpenModule(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* FindExport(void* module, const char* name) { return dlsym(module, name); }
static void CloseModule(void* module) { dlclose(module); }
static void PrintLoadError(const char* path) {
  std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
}
#endif

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : kModuleFile;
  void* module = OpenModule(path);
  if (module == nullptr) {
    PrintLoadError(path);
    return 1;
  }
  // The exports' undecorated names; rodarove.h has a pointer type for each,
  // with its calling convention.
  auto create = reinterpret_cast<RodaroveCreateComponentFn>(FindExport(module, "CreateComponent"));
  auto canUnload =
      reinterpret_cast<RodarovePavexDllCanUnloadNowFn>(FindExport(module, "PavexDllCanUnloadNow"));
  if (create == nullptr || canUnload == nullptr) {
    std::fprintf(stderr, "%s lacks the rodarove exports\n", path);
    CloseModule(module);
    return 1;
  }

  // 114 makes a map tree, 837 an array tree; the second number is yours.
  IComponent* component = create(114, 7);
  if (component == nullptr) {  // the module has told the debugger why
    CloseModule(module);
    return 1;
  }
  ITreeComponent* tree = RodaroveAsTree(component);  // the same object, all 35 slots
  tree->SetRoot(1);
  tree->AppendChild(2, 1);
  tree->AppendChild(3, 1);
  int32_t done = tree->AppendChild(4, 2);     // 1: done
  int32_t refused = tree->AppendChild(4, 3);  // 0: 4 is a node already
  int32_t parent = 0;
  int32_t noNode = tree->GetParent(99, &parent);  // -1: 99 is not a node

  int32_t path4[8];
  int32_t length = tree->GetPathToRoot(4, path4, 8);  // 3, and path4 = {4, 2, 1}
  int32_t leaves = tree->GetLeaves(1, nullptr, 0);    // counts only: 2
  std::printf("append: %d then %d; parent of 99: %d\n", done, refused, noNode);
  std::printf("path from 4 to the root (%d):", length);
  for (int32_t k = 0; k < length && k < 8; ++k) std::printf(" %d", path4[k]);
  std::printf("\nleaves below 1: %d\n", leaves);

  tree->Release(0);  // the only end of a component's life
  std::printf("can unload: %d\n", canUnload());
  CloseModule(module);
  return 0;
}
