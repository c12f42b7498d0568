// ComponentBase: what both tree classes share. It implements slots 0-4, 15
// (GetRoot) and 31, declares slot 30 for the class, and carries the flags
// Release consults.
//
// Layout: ITreeComponent (slots 0-34) is the primary base, so its table is
// the object's main table; OwnedObjectHolder is the second base, and its
// virtual destructor is how Release deletes the object. Since every slot up
// to 34 is declared in the primary base, the destructor's entries can only
// come after slot 34 in the main table, with every compiler.
#ifndef RODAROVE_COMPONENT_COMPONENT_BASE_H_
#define RODAROVE_COMPONENT_COMPONENT_BASE_H_

#include <atomic>
#include <cstdint>

#include "component/owned_object_holder.h"
#include "module/state/component_services.h"
#include "factory/factory_interfaces.h"
#include "rodarove/tree_container.h"

namespace rodarove {

// The class-independent part of the base.
class ComponentBaseCore : public ITreeComponent, public OwnedObjectHolder {
 public:
  int32_t GetVersion() override { return 1; }
  void Release(int32_t force) override;
  int32_t GetAutoFree() override { return autoFree_.load(std::memory_order_relaxed); }
  // Hands the component to PavexDllFreeMap when value is nonzero.
  void SetAutoFree(int32_t value) override;
  int32_t GetRoot(int32_t* out) override;
  void GetDllRegistry(const char* path, char* buffer, int32_t capacity) override;

  // Finalises and deletes a component that was never recorded in the live
  // table (its recording failed); the table is not touched.
  void Discard();

 protected:
  ComponentBaseCore() = default;
  // Breaks into the debugger when the object was not finalised by Release.
  ~ComponentBaseCore() override;

  // Fields every tree class begins with; GetRoot reads them.
  int32_t hasRoot_ = 0;
  int32_t rootId_ = 0;

 private:
  // Calls OnFinalRelease and deletes the keyed objects, once.
  void Finalize();
  // Release's part under the module's lock, once its record is found.
  static ReleaseEnd FinishRelease(void* object, int32_t force);

  int32_t alive_ = 1;
  int32_t noSelfDelete_ = 0;
  int32_t requiresForce_ = 0;
  // Written under ModuleLock, which PavexDllFreeMap holds when it reads it
  // on whatever thread calls it: setting it hands the component over to
  // that thread, with everything its owner did before.
  std::atomic<int32_t> autoFree_{0};
};

// The base of one tree class; kComponentId is what slot 0 answers.
template <int32_t kComponentId>
class ComponentBase : public ComponentBaseCore {
 public:
  int32_t GetComponentID() override { return kComponentId; }
};

// Discard for an object made by a registered create function; every class
// this module registers derives from ComponentBaseCore.
inline void DestroyUnrecordedComponent(IComponent* component) {
  static_cast<ComponentBaseCore*>(component)->Discard();
}

// The create-function contract: a fully constructed object, or null when the
// allocation or the construction fails.
template <class T>
IComponent* CreateComponentObject() {
  try {
    return static_cast<ITreeContainer*>(new T());
  } catch (...) {
    return nullptr;
  }
}

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_COMPONENT_BASE_H_
