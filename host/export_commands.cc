// The commands that call the module's exports.
#include "host/command_table.h"
#include "host/host_platform.h"

namespace rodarove_host {

bool ComponentIds(Session& s, const Args& args, std::string* error) {
  bool isNull = false;
  uint32_t capacity = 16;
  if (!args.empty()) {
    if (args[0].text == "null" && !args[0].quoted) {
      isNull = true;
      capacity = 0;
    } else {
      if (!s.ReadUint32(args[0], "CAP", &capacity, error)) return false;
      if (capacity > kMaxCapacity) {
        *error = "CAP " + ShortWord(args[0].text) + " is more than this host allocates (" +
                 std::to_string(kMaxCapacity) + ")";
        return false;
      }
    }
  }
  std::vector<int32_t> ids(capacity > 0 ? capacity : 1, 0);
  s.Flush();
  int32_t r = s.exports().GetComponentIDs(isNull ? nullptr : ids.data(), capacity);
  Entries entries;
  if (!isNull && r > 0) entries.count = static_cast<uint32_t>(r) < capacity ? r : capacity;
  entries.at = [&ids](size_t i) { return std::to_string(ids[i]); };
  const bool cut = !isNull && r > 0 && static_cast<uint32_t>(r) > capacity;
  s.PrintAnswer(
      "GetComponentIDs(" + std::string(isNull ? "null, " : "ids, ") + std::to_string(capacity) +
          ")",
      r, cut ? (capacity > 0 ? "ids holds " + std::to_string(capacity) : "nothing written") : "",
      &entries);
  return true;
}

bool SetRegistry(Session& s, const Args& args, std::string*) {
  bool isNull = args[0].text == "null" && !args[0].quoted;
  const std::string& path = args[0].text;
  s.Flush();
  int32_t r = s.exports().SetDLLRegistry(isNull ? nullptr : path.c_str());
  // The module keeps any path shorter than its buffer and empties it
  // otherwise; it reads the file only when it next looks for the factory.
  std::string meaning;
  if (isNull) {
    meaning = "path emptied";
  } else if (path.size() >= RODAROVE_PATH_SIZE) {
    meaning = "too long: path emptied";
  } else {
    meaning = "path stored";
    switch (KindOfModulePath(path)) {
      case PathKind::kFile: break;
      case PathKind::kMissing:
        meaning += IsAbsolutePath(path) ? "; no such file" : "; no such file in the host's folder";
        break;
      case PathKind::kOther: meaning += "; not a file the module can read"; break;
    }
  }
  s.PrintAnswer("SetDLLRegistry(" + (isNull ? std::string("null") : Quote(args[0].raw)) + ")", r,
                meaning);
  return true;
}

bool SetFactory(Session& s, const Args& args, std::string* error) {
  void* handle = nullptr;
  std::string shown = "null";
  if (!(args[0].text == "none" && !args[0].quoted)) {
    std::string why;
    s.Flush();
    handle = OpenLibrary(args[0].text, &why);
    if (handle == nullptr) {
      *error = "cannot load '" + args[0].text + "': " + why;
      return false;
    }
    // The library stays loaded: the module may use it until the end.
    shown = "the handle of " + Quote(args[0].raw);
  }
  s.Flush();
  void* r = s.exports().SetFactoryHandle(handle);
  s.Print("SetFactoryHandle(" + shown +
          ") = " + (r == handle ? (handle ? "the same handle" : "null") : "another handle") + "\n");
  return true;
}

bool CanUnload(Session& s, const Args&, std::string*) {
  s.Flush();
  int32_t r = s.exports().PavexDllCanUnloadNow();
  s.PrintAnswer("PavexDllCanUnloadNow()", r, BriefMeaning(*s.mode().command, 0, r));
  return true;
}

bool FreeMap(Session& s, const Args&, std::string*) {
  // The module releases every live component whose auto-free value is not
  // 0, unless it is not dll-safe; those are gone from this host's table too.
  std::vector<int> freed;
  if (s.dllSafe() != 0) {
    for (const auto& entry : s.components()) {
      if (entry.second.object->GetAutoFree() != 0) freed.push_back(entry.first);
    }
  }
  std::string names;
  for (int number : freed) names += " " + s.Label(s.components().at(number));
  s.Print("PavexDllFreeMap(); releases:" + (names.empty() ? std::string(" none") : names) + "\n");
  s.Flush();
  s.exports().PavexDllFreeMap();
  for (int number : freed) s.Forget(number);
  return true;
}

bool SetDllSafe(Session& s, const Args& args, std::string* error) {
  int32_t value = 0;
  if (!s.ReadInt32(args[0], "VALUE", &value, error)) return false;
  s.Flush();
  int32_t r = s.exports().PavexSetDllSafe(value);
  s.set_dllSafe(value);
  s.PrintAnswer("PavexSetDllSafe(" + std::to_string(value) + ")", r,
                BriefMeaning(*s.mode().command, 0, r));
  return true;
}

}  // namespace rodarove_host
