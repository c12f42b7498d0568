// A small component class of the tests' own, on the module's ComponentBase.
// Every tree slot answers its own slot number, so a call by number shows
// which entry of the table it reached.
#ifndef RODAROVE_TESTS_COMPONENT_PROBE_COMPONENT_H_
#define RODAROVE_TESTS_COMPONENT_PROBE_COMPONENT_H_

#include <atomic>
#include <functional>

#include "component/component_base.h"

namespace rodarove_test {

constexpr int32_t kProbeComponentId = 5001;

class ProbeComponent final : public rodarove::ComponentBase<kProbeComponentId> {
 public:
  static std::atomic<int> liveObjects;
  static std::atomic<int> finalReleases;

  ProbeComponent() { ++liveObjects; }
  ~ProbeComponent() override { --liveObjects; }

  // Runs inside OnFinalRelease, e.g. to release other components.
  std::function<void()> onFinalRelease;

  void OnFinalRelease() override {
    ++finalReleases;
    if (onFinalRelease) onFinalRelease();
  }

  int32_t SetRoot(int32_t) override { return 5; }
  int32_t IsLeaf(int32_t) override { return 6; }
  int32_t Exists(int32_t) override { return 7; }
  int32_t IsChild(int32_t, int32_t) override { return 8; }
  int32_t AppendChild(int32_t, int32_t) override { return 9; }
  int32_t PrependChild(int32_t, int32_t) override { return 10; }
  int32_t InsertAfter(int32_t, int32_t, int32_t) override { return 11; }
  int32_t InsertBefore(int32_t, int32_t, int32_t) override { return 12; }
  int32_t Clear() override { return 13; }
  int32_t RemoveNode(int32_t) override { return 14; }
  int32_t GetParent(int32_t, int32_t*) override { return 16; }
  int32_t GetLastChild(int32_t, int32_t*) override { return 17; }
  int32_t GetFirstChild(int32_t, int32_t*) override { return 18; }
  int32_t GetPrevSibling(int32_t, int32_t*) override { return 19; }
  int32_t GetNextSibling(int32_t, int32_t*) override { return 20; }
  int32_t GetPathFromRoot(int32_t, int32_t*, int32_t) override { return 21; }
  int32_t GetPathToRoot(int32_t, int32_t*, int32_t) override { return 22; }
  int32_t GetSiblings(int32_t, int32_t*, int32_t) override { return 23; }
  int32_t GetLeaves(int32_t, int32_t*, int32_t) override { return 24; }
  int32_t GetAllNodes(int32_t*, NodePair*, int32_t) override { return 25; }
  int32_t MoveToFirstChild(int32_t, int32_t) override { return 26; }
  int32_t MoveToLastChild(int32_t, int32_t) override { return 27; }
  int32_t MoveBefore(int32_t, int32_t) override { return 28; }
  int32_t MoveAfter(int32_t, int32_t) override { return 29; }
  int32_t GetSiblingsWithSelf(int32_t, int32_t*, int32_t) override { return 32; }
  int32_t GetDescendants(int32_t, NodePair*, int32_t) override { return 33; }
  int32_t GetNodesAtDepth(int32_t, int32_t, int32_t*, int32_t) override { return 34; }

  // Gives the component an object to own, under a key or on its list.
  void OwnKeyed(int32_t key, rodarove::OwnedObject* object) { ownedById_[key] = object; }
  void OwnListed(rodarove::OwnedObject* object) { ownedList_.push_back(object); }

  // Sets the root fields GetRoot reads.
  void SetRootFields(int32_t hasRoot, int32_t rootId) {
    hasRoot_ = hasRoot;
    rootId_ = rootId;
  }
};

// Registers ProbeComponent under kProbeComponentId once.
void RegisterProbeComponent();

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_COMPONENT_PROBE_COMPONENT_H_
