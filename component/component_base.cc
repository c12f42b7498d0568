#include "component/component_base.h"

#include "factory/bounded_string.h"
#include "module/state/component_services.h"
#include "platform/platform.h"

namespace rodarove {

ComponentBaseCore::~ComponentBaseCore() {
  if (alive_ != 0 || noSelfDelete_ != 0) platform::DebugBreak();
}

void ComponentBaseCore::Release(int32_t force) {
  if (!ReleasesEnabled()) return;
  // The module runs the rest under its lock from the look-up of the record
  // through its removal: a component is released once, and no other thread
  // can be handed this address and record it in between.
  ReleaseLiveComponent(this, &ComponentBaseCore::FinishRelease, this, force);
}

ReleaseEnd ComponentBaseCore::FinishRelease(void* object, int32_t force) {
  auto* self = static_cast<ComponentBaseCore*>(object);
  if (self->requiresForce_ != 0 && force == 0) return ReleaseEnd::kStays;
  self->Finalize();
  if (self->noSelfDelete_ != 0) return ReleaseEnd::kStays;
  const bool factory = self->GetComponentID() == kFactoryComponentId;
  delete static_cast<OwnedObjectHolder*>(self);
  return factory ? ReleaseEnd::kDeletedQuietly : ReleaseEnd::kDeleted;
}

void ComponentBaseCore::SetAutoFree(int32_t value) { PublishAutoFree(this, &autoFree_, value); }

void ComponentBaseCore::Finalize() {
  if (alive_ == 0) return;
  OnFinalRelease();
  DeleteKeyedObjects();
  alive_ = 0;
}

void ComponentBaseCore::Discard() {
  Finalize();
  noSelfDelete_ = 0;
  delete static_cast<OwnedObjectHolder*>(this);
}

int32_t ComponentBaseCore::GetRoot(int32_t* out) {
  if (hasRoot_ == 0) return 0;
  if (out != nullptr) *out = rootId_;
  return 1;
}

void ComponentBaseCore::GetDllRegistry(const char* path, char* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  if (path != nullptr && path[0] != '\0') {
    BoundedStringTable.SafeCopy(buffer, capacity, path);
    return;
  }
  char registry[RODAROVE_PATH_SIZE];
  CopyRegistryPath(registry, RODAROVE_PATH_SIZE);
  BoundedStringTable.SafeCopy(buffer, capacity, registry);
}

}  // namespace rodarove
