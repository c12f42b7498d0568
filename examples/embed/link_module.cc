// Links the rodarove module like any shared library: rodarove/rodarove.h
// declares the seven exports.
#include <cstdio>

#include "rodarove/rodarove.h"
#include "rodarove/version.h"

int main() {
  int32_t ids[4];
  int32_t classes = GetComponentIDs(ids, 4);
  std::printf("rodarove %s: %d classes, %d and %d\n", RODAROVE_VERSION_STRING, classes, ids[0],
              ids[1]);

  IComponent* component = CreateComponent(837, 1);
  if (component == nullptr) return 1;
  ITreeComponent* tree = RodaroveAsTree(component);
  tree->SetRoot(1);
  tree->AppendChild(2, 1);
  tree->AppendChild(3, 1);
  int32_t siblings[4];
  int32_t n = tree->GetSiblingsWithSelf(3, siblings, 4);  // 2: {2, 3}
  std::printf("children of 1: %d (%d %d)\n", n, siblings[0], siblings[1]);
  tree->Release(0);
  return PavexDllCanUnloadNow() == 1 ? 0 : 1;
}
