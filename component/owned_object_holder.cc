#include "component/owned_object_holder.h"

namespace rodarove {

OwnedObject::~OwnedObject() = default;

OwnedObjectHolder::OwnedObjectHolder() = default;

OwnedObjectHolder::~OwnedObjectHolder() {
  for (OwnedObject* object : ownedList_) delete object;
  DeleteKeyedObjects();
  ownedList_.clear();
}

void OwnedObjectHolder::DeleteKeyedObjects() {
  for (auto& entry : ownedById_) delete entry.second;
  ownedById_.clear();
}

}  // namespace rodarove
