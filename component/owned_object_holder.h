// A container of sub-objects a component owns. Keyed objects are deleted when
// the component is finalised, listed ones when it is destroyed.
#ifndef RODAROVE_COMPONENT_OWNED_OBJECT_HOLDER_H_
#define RODAROVE_COMPONENT_OWNED_OBJECT_HOLDER_H_

#include <cstdint>
#include <list>
#include <map>

namespace rodarove {

// What the holder can own: anything deleted through its virtual destructor.
class OwnedObject {
 public:
  virtual ~OwnedObject();
};

class OwnedObjectHolder {
 public:
  OwnedObjectHolder();
  OwnedObjectHolder(const OwnedObjectHolder&) = delete;
  OwnedObjectHolder& operator=(const OwnedObjectHolder&) = delete;

  // Deletes the listed objects in list order, then the keyed ones.
  virtual ~OwnedObjectHolder();

  // Deletes every keyed object in key order (null entries skipped), then
  // empties the map.
  void DeleteKeyedObjects();

 protected:
  std::map<int32_t, OwnedObject*> ownedById_;
  std::list<OwnedObject*> ownedList_;
};

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_OWNED_OBJECT_HOLDER_H_
