// The commands that call a component's slots, and create, which makes one.
#include <cstring>

#include "host/command_table.h"

namespace rodarove_host {

namespace {

// Runs call(buffer, capacity) the way the arguments ask: with the capacity
// given, with no buffer for null, or, without either, once to count and
// once with a buffer of that size. Returns the last result.
template <typename Entry, typename Call>
int32_t CallWithBuffer(bool automatic, bool isNull, int32_t* capacity, std::vector<Entry>* buffer,
                       Call call) {
  if (automatic) {
    int32_t count = call(nullptr, 0);
    if (count <= 0) {
      *capacity = 0;
      buffer->clear();
      return count;
    }
    *capacity = static_cast<int32_t>(count < kMaxCapacity ? count : kMaxCapacity);
  } else if (isNull) {
    buffer->clear();
    return call(nullptr, *capacity);
  }
  // A buffer is passed even for a capacity of 0 or less.
  buffer->assign(*capacity > 0 ? static_cast<size_t>(*capacity) : 1, Entry{});
  return call(buffer->data(), *capacity);
}

std::string BufferArgs(bool passed, int32_t capacity) {
  return passed ? "buffer, " + std::to_string(capacity) : "null, " + std::to_string(capacity);
}

// The entries a list query wrote into a buffer of capacity entries when it
// counted count of them.
size_t Written(bool passed, int32_t capacity, int64_t count) {
  if (!passed || count <= 0 || capacity <= 0) return 0;
  return static_cast<size_t>(count < capacity ? count : capacity);
}

// The meaning of a list query's count, and what the buffer could not hold.
std::string ListMeaning(const std::string& brief, bool passed, int32_t capacity, int64_t count) {
  std::string note;
  if (passed && count > 0 && count > capacity) {
    note = capacity > 0 ? "buffer holds " + std::to_string(capacity) : "nothing written";
  }
  if (brief.empty()) return note;
  return note.empty() ? brief : brief + "; " + note;
}

}  // namespace

bool Create(Session& s, const Args& args, std::string* error) {
  int32_t componentId = 0;
  const std::string& cls = args[0].text;
  if (cls == "map") {
    componentId = 114;
  } else if (cls == "array") {
    componentId = 837;
  } else if (!s.ReadInt32(args[0], "CLASS", &componentId, error)) {
    return false;
  }
  size_t i = 1;
  uint32_t creatorId = 0;
  if (i < args.size() && args[i].text != "as") {
    if (!s.ReadUint32(args[i], "CREATOR", &creatorId, error)) return false;
    ++i;
  }
  std::string name;
  if (i < args.size()) {
    if (args[i].text != "as" || i + 2 != args.size()) {
      *error = "expected 'create CLASS [CREATOR] [as NAME]'";
      return false;
    }
    name = args[i + 1].text;
    if (!IsName(name)) {
      *error = "a name begins with a letter and holds letters, digits, _ and -; got '" +
               ShortWord(name) + "'";
      return false;
    }
  }
  LoadTarget* load = s.mode().load;
  if (load != nullptr) {
    // A file being loaded makes exactly one component, under the load's name.
    if (load->made) {
      *error = "a file being loaded makes one component; this is a second";
      return false;
    }
    load->alias = name;
    name = load->name;
  }
  if (!name.empty() && s.FindByName(name) != nullptr) {
    *error = "a component named '" + name + "' exists already";
    return false;
  }
  std::string call =
      "CreateComponent(" + std::to_string(componentId) + ", " + std::to_string(creatorId) + ")";
  s.Flush();
  IComponent* object = s.exports().CreateComponent(componentId, creatorId);
  if (object == nullptr) {
    const std::string classes = s.RegisteredClasses();
    const std::string id = std::to_string(componentId);
    const bool registered = (", " + classes + ",").find(", " + id + ",") != std::string::npos;
    // The module's last message of a failed creation has no line end.
    s.Print("\n" + call + " = null (" +
            (registered ? "the class did not make one" : "not a class of the module") + ")\n");
    s.answer().kind = Answer::kNull;
    if (s.mode().expecting) return true;
    *error = "no component made; the module makes classes " + classes;
    return false;
  }
  Component& c = s.Add(name, componentId, creatorId,
                       static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(object)));
  if (load != nullptr) load->made = true;
  s.answer().kind = Answer::kComponent;
  s.Print("#" + std::to_string(c.number) + (name.empty() ? "" : " " + name) + " = " + call + "\n");
  return true;
}

bool ComponentSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  ITreeComponent* t = c->object;
  std::string head = s.Label(*c) + "." + s.mode().command->call + "(";
  switch (s.mode().command->slot) {
    case kSlotGetComponentID: s.PrintAnswer(head + ")", t->GetComponentID(), ""); break;
    case kSlotGetVersion: s.PrintAnswer(head + ")", t->GetVersion(), ""); break;
    case kSlotGetAutoFree: s.PrintAnswer(head + ")", t->GetAutoFree(), ""); break;
    default: {
      int32_t value = 0;
      if (!s.ReadInt32(args[1], "VALUE", &value, error)) return false;
      t->SetAutoFree(value);
      s.Print(head + std::to_string(value) + ")\n");
    }
  }
  return true;
}

bool Release(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t force = 0;
  if (args.size() > 1 && !s.ReadInt32(args[1], "FORCE", &force, error)) return false;
  // The line comes first: what the module prints during the release (the
  // factory notification) belongs after it.
  std::string line = s.Label(*c) + ".Release(" + std::to_string(force) + ")";
  if (s.dllSafe() == 0) {
    // Release does nothing while the module is not dll-safe.
    s.Print(line + "; " + s.Label(*c) + " stays: dll-safe is 0\n");
  } else {
    s.Print(line + "\n");
  }
  s.Flush();
  ITreeComponent* object = c->object;
  if (s.dllSafe() != 0) s.Forget(c->number);
  object->Release(force);
  return true;
}

bool NodeSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  static const char* const kWhat[] = {"ID", "PARENT", "REF"};
  int32_t v[3] = {0, 0, 0};
  const int slot = s.mode().command->slot;
  for (size_t i = 1; i < args.size(); ++i) {
    const char* what = kWhat[i - 1];
    if (i == 1 && (slot >= kSlotAppendChild && slot <= kSlotInsertBefore)) what = "NEW";
    if (i == 2 && slot >= kSlotMoveToFirstChild) {
      what = slot <= kSlotMoveToLastChild ? "NEWPARENT" : "REF";
    }
    if (!s.ReadInt32(args[i], what, &v[i - 1], error)) return false;
  }
  ITreeComponent* t = c->object;
  int32_t r = 0;
  switch (slot) {
    case kSlotSetRoot: r = t->SetRoot(v[0]); break;
    case kSlotIsLeaf: r = t->IsLeaf(v[0]); break;
    case kSlotExists: r = t->Exists(v[0]); break;
    case kSlotIsChild: r = t->IsChild(v[0], v[1]); break;
    case kSlotAppendChild: r = t->AppendChild(v[0], v[1]); break;
    case kSlotPrependChild: r = t->PrependChild(v[0], v[1]); break;
    case kSlotInsertAfter: r = t->InsertAfter(v[0], v[1], v[2]); break;
    case kSlotInsertBefore: r = t->InsertBefore(v[0], v[1], v[2]); break;
    case kSlotClear: r = t->Clear(); break;
    case kSlotRemoveNode: r = t->RemoveNode(v[0]); break;
    case kSlotMoveToFirstChild: r = t->MoveToFirstChild(v[0], v[1]); break;
    case kSlotMoveToLastChild: r = t->MoveToLastChild(v[0], v[1]); break;
    case kSlotMoveBefore: r = t->MoveBefore(v[0], v[1]); break;
    case kSlotMoveAfter: r = t->MoveAfter(v[0], v[1]); break;
    default: break;
  }
  std::string line = s.Label(*c) + "." + s.mode().command->call + "(";
  for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? ", " : "") + std::to_string(v[i - 1]);
  line += ")";
  if (slot == kSlotOnFinalRelease) {
    t->OnFinalRelease();
    s.Print(line + "\n");
  } else {
    s.PrintAnswer(line, r, BriefMeaning(*s.mode().command, c->componentId, r));
  }
  return true;
}

bool GetRootSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t out = 0;
  int32_t r = c->object->GetRoot(&out);
  Entries entries;
  if (r == 1) entries.lead = std::to_string(out);
  s.PrintAnswer(s.Label(*c) + ".GetRoot()", r, BriefMeaning(*s.mode().command, c->componentId, r),
                &entries);
  return true;
}

bool LinkSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t id = 0;
  if (!s.ReadInt32(args[1], "ID", &id, error)) return false;
  ITreeComponent* t = c->object;
  int32_t out = 0;
  int32_t r = 0;
  switch (s.mode().command->slot) {
    case kSlotGetParent: r = t->GetParent(id, &out); break;
    case kSlotGetLastChild: r = t->GetLastChild(id, &out); break;
    case kSlotGetFirstChild: r = t->GetFirstChild(id, &out); break;
    case kSlotGetPrevSibling: r = t->GetPrevSibling(id, &out); break;
    default: r = t->GetNextSibling(id, &out); break;
  }
  Entries entries;
  if (r == 1) entries.lead = std::to_string(out);
  s.PrintAnswer(s.Label(*c) + "." + s.mode().command->call + "(" + std::to_string(id) + ")", r,
                BriefMeaning(*s.mode().command, c->componentId, r), &entries);
  return true;
}

bool ListSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  const int slot = s.mode().command->slot;
  const bool atDepth = slot == kSlotGetNodesAtDepth;
  size_t next = 1;
  int32_t depth = 0;
  int32_t id = 0;
  if (atDepth && !s.ReadInt32(args[next++], "DEPTH", &depth, error)) return false;
  if (!s.ReadInt32(args[next++], "ID", &id, error)) return false;
  bool isNull = false;
  int32_t capacity = 0;
  bool automatic = args.size() <= next;
  if (!automatic && !s.ReadBuffer(args[next], &isNull, &capacity, error)) return false;
  ITreeComponent* t = c->object;
  std::vector<int32_t> buffer;
  int32_t r = CallWithBuffer(automatic, isNull, &capacity, &buffer, [&](int32_t* b, int32_t n) {
    switch (slot) {
      case kSlotGetPathFromRoot: return t->GetPathFromRoot(id, b, n);
      case kSlotGetPathToRoot: return t->GetPathToRoot(id, b, n);
      case kSlotGetSiblings: return t->GetSiblings(id, b, n);
      case kSlotGetLeaves: return t->GetLeaves(id, b, n);
      case kSlotGetNodesAtDepth: return t->GetNodesAtDepth(depth, id, b, n);
      default: return t->GetSiblingsWithSelf(id, b, n);
    }
  });
  const bool passed = !buffer.empty();
  Entries entries;
  entries.count = Written(passed, capacity, r);
  entries.at = [&buffer](size_t i) { return std::to_string(buffer[i]); };
  s.PrintAnswer(
      s.Label(*c) + "." + s.mode().command->call + "(" +
          (atDepth ? std::to_string(depth) + ", " : std::string()) + std::to_string(id) + ", " +
          BufferArgs(passed, capacity) + ")",
      r, ListMeaning(BriefMeaning(*s.mode().command, c->componentId, r), passed, capacity, r),
      &entries);
  return true;
}

bool PairSlot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  const bool all = s.mode().command->slot == kSlotGetAllNodes;
  size_t next = 1;
  int32_t id = 0;
  if (!all && !s.ReadInt32(args[next++], "ID", &id, error)) return false;
  bool isNull = false;
  int32_t capacity = 0;
  bool automatic = args.size() <= next;
  if (!automatic && !s.ReadBuffer(args[next], &isNull, &capacity, error)) return false;
  ITreeComponent* t = c->object;
  std::vector<NodePair> pairs;
  int32_t root = 0;
  int32_t r = 0;
  if (all) {
    r = CallWithBuffer(automatic, isNull, &capacity, &pairs,
                       [&](NodePair* p, int32_t n) { return t->GetAllNodes(&root, p, n); });
  } else {
    r = CallWithBuffer(automatic, isNull, &capacity, &pairs,
                       [&](NodePair* p, int32_t n) { return t->GetDescendants(id, p, n); });
  }
  const bool passed = !pairs.empty();
  const int64_t count = all ? int64_t{r} - 1 : r;
  Entries entries;
  if (all && r > 0) entries.lead = "root " + std::to_string(root);
  entries.count = Written(passed, capacity, count);
  entries.at = [&pairs](size_t i) {
    return "(" + std::to_string(pairs[i].id) + "," + std::to_string(pairs[i].parent) + ")";
  };
  s.PrintAnswer(
      s.Label(*c) + "." + s.mode().command->call + "(" +
          (all ? std::string("root, ") : std::to_string(id) + ", ") + BufferArgs(passed, capacity) +
          ")",
      r, ListMeaning(BriefMeaning(*s.mode().command, c->componentId, r), passed, capacity, count),
      &entries);
  return true;
}

bool Registry(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  const char* path = nullptr;
  std::string shownPath = "null";
  if (args.size() > 1 && !(args[1].text == "null" && !args[1].quoted)) {
    path = args[1].text.c_str();
    shownPath = Quote(args[1].raw);
  }
  int32_t capacity = RODAROVE_PATH_SIZE;
  if (args.size() > 2) {
    if (!s.ReadInt32(args[2], "CAP", &capacity, error)) return false;
    if (capacity > 65536) {
      *error = "CAP " + ShortWord(args[2].text) + " is more than this host allocates (65536)";
      return false;
    }
  }
  // Filled with a byte no copy leaves, so an untouched buffer shows.
  std::vector<char> buffer(capacity > 0 ? static_cast<size_t>(capacity) : 1, '\x7f');
  c->object->GetDllRegistry(path, buffer.data(), capacity);
  std::string line =
      s.Label(*c) + ".GetDllRegistry(" + shownPath + ", buffer, " + std::to_string(capacity) + ")";
  const char* end = static_cast<const char*>(std::memchr(buffer.data(), '\0', buffer.size()));
  if (end == nullptr || capacity <= 0) {
    line += ": buffer untouched";
  } else {
    line += ": " + Quote(std::string(buffer.data(), static_cast<size_t>(end - buffer.data())));
  }
  s.Print(line + "\n");
  return true;
}

}  // namespace rodarove_host
