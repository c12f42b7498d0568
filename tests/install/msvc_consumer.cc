// A host made by a Visual C++ toolchain (clang in MSVC mode, linked by
// lld-link) against the packaged import library rodarove.lib. It has no C
// runtime; its exit code says what went wrong, 0 when nothing did. It names
// every export, so that its import table shows what rodarove.lib gives the
// loader for each.
#include "rodarove/rodarove.h"

extern "C" unsigned long __stdcall RodaroveConsumerEntry(void*) {
  const void* volatile everyExport[] = {
      reinterpret_cast<const void*>(&CreateComponent),
      reinterpret_cast<const void*>(&GetComponentIDs),
      reinterpret_cast<const void*>(&SetDLLRegistry),
      reinterpret_cast<const void*>(&SetFactoryHandle),
      reinterpret_cast<const void*>(&PavexDllCanUnloadNow),
      reinterpret_cast<const void*>(&PavexDllFreeMap),
      reinterpret_cast<const void*>(&PavexSetDllSafe)};
  for (const void* e : everyExport) {
    if (e == nullptr) return 6;
  }
  int32_t ids[2];
  if (GetComponentIDs(ids, 2) != 2 || ids[0] != 114 || ids[1] != 837) return 1;
  IComponent* component = CreateComponent(837, 3);
  if (component == nullptr) return 2;
  ITreeComponent* tree = static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(component));
  if (tree->GetComponentID() != 837 || tree->SetRoot(1) != 1 || tree->AppendChild(2, 1) != 1) {
    return 3;
  }
  int32_t path[4];
  if (tree->GetPathToRoot(2, path, 4) != 2 || path[0] != 2 || path[1] != 1) return 4;
  tree->Release(0);
  return PavexDllCanUnloadNow() == 1 ? 0 : 5;
}
