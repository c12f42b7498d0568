// The commands that call the module's exports.
#include "host/command_table.h"
#include "host/host_platform.h"
#include "host/interpreter.h"

namespace rodarove_host {

std::string Interpreter::RegisteredClasses() {
  int32_t ids[64] = {};
  Flush();
  int32_t n = exports_.GetComponentIDs(ids, 64);
  std::string out;
  for (int32_t i = 0; i < n && i < 64; ++i) out += (i > 0 ? ", " : "") + std::to_string(ids[i]);
  return out.empty() ? "none" : out;
}

bool Interpreter::ComponentIds(const Args& args, std::string* error) {
  bool isNull = false;
  uint32_t capacity = 16;
  if (!args.empty()) {
    if (args[0].text == "null" && !args[0].quoted) {
      isNull = true;
      capacity = 0;
    } else {
      if (!ReadUint32(args[0], "CAP", &capacity, error)) return false;
      if (capacity > kMaxCapacity) {
        *error = "CAP " + ShortWord(args[0].text) + " is more than this host allocates (" +
                 std::to_string(kMaxCapacity) + ")";
        return false;
      }
    }
  }
  std::vector<int32_t> ids(capacity > 0 ? capacity : 1, 0);
  Flush();
  int32_t r = exports_.GetComponentIDs(isNull ? nullptr : ids.data(), capacity);
  Entries entries;
  if (!isNull && r > 0) entries.count = static_cast<uint32_t>(r) < capacity ? r : capacity;
  entries.at = [&ids](size_t i) { return std::to_string(ids[i]); };
  const bool cut = !isNull && r > 0 && static_cast<uint32_t>(r) > capacity;
  PrintAnswer("GetComponentIDs(" + std::string(isNull ? "null, " : "ids, ") +
                  std::to_string(capacity) + ")",
              r, cut ? (capacity > 0 ? "ids holds " + std::to_string(capacity) : "nothing written") : "",
              &entries);
  return true;
}

bool Interpreter::SetRegistry(const Args& args, std::string*) {
  bool isNull = args[0].text == "null" && !args[0].quoted;
  Flush();
  int32_t r = exports_.SetDLLRegistry(isNull ? nullptr : args[0].text.c_str());
  // The module keeps paths of up to 259 characters and empties it otherwise.
  const char* meaning = isNull                       ? "path emptied"
                        : args[0].text.size() >= 260 ? "too long: path emptied"
                                                     : "path stored";
  PrintAnswer("SetDLLRegistry(" + (isNull ? std::string("null") : Quote(args[0].raw)) + ")", r,
              meaning);
  return true;
}

bool Interpreter::SetFactory(const Args& args, std::string* error) {
  void* handle = nullptr;
  std::string shown = "null";
  if (!(args[0].text == "none" && !args[0].quoted)) {
    std::string why;
    Flush();
    handle = OpenLibrary(args[0].text, &why);
    if (handle == nullptr) {
      *error = "cannot load '" + args[0].text + "': " + why;
      return false;
    }
    // The library stays loaded: the module may use it until the end.
    shown = "the handle of " + Quote(args[0].raw);
  }
  Flush();
  void* r = exports_.SetFactoryHandle(handle);
  Print("SetFactoryHandle(" + shown + ") = " +
        (r == handle ? (handle ? "the same handle" : "null") : "another handle") + "\n");
  return true;
}

bool Interpreter::CanUnload(const Args&, std::string*) {
  Flush();
  int32_t r = exports_.PavexDllCanUnloadNow();
  PrintAnswer("PavexDllCanUnloadNow()", r, BriefMeaning("PavexDllCanUnloadNow", 0, r));
  return true;
}

bool Interpreter::FreeMap(const Args&, std::string*) {
  // The module releases every live component whose auto-free value is not
  // 0, unless it is not dll-safe; those are gone from this host's table too.
  std::vector<int> freed;
  if (dllSafe_ != 0) {
    for (const auto& entry : components_) {
      if (entry.second.object->GetAutoFree() != 0) freed.push_back(entry.first);
    }
  }
  std::string names;
  for (int number : freed) names += " " + Label(components_[number]);
  Print("PavexDllFreeMap(); releases:" + (names.empty() ? std::string(" none") : names) + "\n");
  Flush();
  exports_.PavexDllFreeMap();
  for (int number : freed) Forget(number);
  return true;
}

bool Interpreter::SetDllSafe(const Args& args, std::string* error) {
  int32_t value = 0;
  if (!ReadInt32(args[0], "VALUE", &value, error)) return false;
  Flush();
  int32_t r = exports_.PavexSetDllSafe(value);
  dllSafe_ = value;
  PrintAnswer("PavexSetDllSafe(" + std::to_string(value) + ")", r,
              BriefMeaning("PavexSetDllSafe", 0, r));
  return true;
}

}  // namespace rodarove_host
