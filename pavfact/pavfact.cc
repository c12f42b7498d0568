#include "pavfact/pavfact.h"

#include "factory/factory_interfaces.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

using rodarove::kFactoryComponentId;

// PavFact's own classes for the two objects, with the slots the module
// calls where it calls them.
struct IFactoryInstance : IComponent {
  virtual int32_t RODAROVE_SLOTCALL FactorySlot5() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot6() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot7() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot8() = 0;
  virtual int32_t RODAROVE_SLOTCALL FactorySlot9() = 0;
  // Slot 10: the module holds no live components any more.
  virtual int32_t RODAROVE_SLOTCALL NotifyModuleIdle(void* module) = 0;
};

struct IComponentFactory : IComponent {
  // Slot 5: the factory instance for componentId, or null.
  virtual IFactoryInstance* RODAROVE_SLOTCALL AcquireFactory(int32_t componentId,
                                                              const char* registryPath) = 0;
};

std::atomic<int32_t> g_behaviour{kPavFactNormal};

std::mutex& LogMutex() {
  static std::mutex m;
  return m;
}
std::string& Log() {
  static std::string log;
  return log;
}

void Record(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

void Record(const char* format, ...) {
  char line[600];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  try {
    std::lock_guard<std::mutex> lock(LogMutex());
    Log() += line;
  } catch (...) {
    // A lost log line is better than an exception in the caller.
  }
}

void WriteDebugLine(const char* text) {
#if defined(_WIN32)
  ::OutputDebugStringA(text);
#else
  ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
#endif
}

// The file of a module handle, or a mark when there is none.
std::string ModuleName(void* module) {
  if (module == nullptr) return "(no module)";
#if defined(_WIN32)
  char path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
  if (n == 0) return "(unknown module)";
  return path;
#else
  struct link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return "(unknown module)";
  if (map->l_name == nullptr || map->l_name[0] == '\0') return "(main program)";
  return map->l_name;
#endif
}

// Slots 0-4 common to both objects.
template <typename Base>
class StaticComponent : public Base {
 public:
  int32_t GetComponentID() override { return kFactoryComponentId; }
  int32_t GetVersion() override { return 1; }
  void Release(int32_t) override {}
  int32_t GetAutoFree() override { return autoFree_.load(); }

 protected:
  std::atomic<int32_t> autoFree_{0};
};

class FactoryInstance final : public StaticComponent<IFactoryInstance> {
 public:
  void SetAutoFree(int32_t value) override {
    Record("SetAutoFree(%d)\n", static_cast<int>(value));
    autoFree_.store(value);
  }
  int32_t FactorySlot5() override { return 0; }
  int32_t FactorySlot6() override { return 0; }
  int32_t FactorySlot7() override { return 0; }
  int32_t FactorySlot8() override { return 0; }
  int32_t FactorySlot9() override { return 0; }
  int32_t NotifyModuleIdle(void* module) override {
    Record("NotifyModuleIdle(%p)\n", module);
    if (g_behaviour.load() == kPavFactNotifyThrows) throw std::runtime_error("NotifyModuleIdle");
    std::string line;
    try {
      line = "[PavFact] Module idle: " + ModuleName(module) + "\n";
    } catch (...) {
      return 0;
    }
    WriteDebugLine(line.c_str());
    return 1;
  }
};

class ComponentFactory final : public StaticComponent<IComponentFactory> {
 public:
  void SetAutoFree(int32_t value) override { autoFree_.store(value); }
  IFactoryInstance* AcquireFactory(int32_t componentId, const char* registryPath) override {
    Record("AcquireFactory(%d, \"%s\")\n", static_cast<int>(componentId),
           registryPath != nullptr ? registryPath : "(null)");
    if (g_behaviour.load() == kPavFactAcquireReturnsNull) return nullptr;
    if (componentId != kFactoryComponentId) return nullptr;
    return &instance_;
  }

 private:
  FactoryInstance instance_;
};

ComponentFactory& Factory() {
  static ComponentFactory factory;
  return factory;
}

}  // namespace

extern "C" {

IComponent* RODAROVE_CALL CreateComponent(int32_t componentId, uint32_t creatorId) {
  Record("CreateComponent(%d, %u)\n", static_cast<int>(componentId),
         static_cast<unsigned>(creatorId));
  if (g_behaviour.load() == kPavFactCreateReturnsNull) return nullptr;
  if (componentId != kFactoryComponentId) return nullptr;
  return &Factory();
}

int32_t RODAROVE_CALL PavFactGetCallLog(char* out, int32_t size) {
  std::lock_guard<std::mutex> lock(LogMutex());
  const std::string& log = Log();
  if (out != nullptr && size > 0) {
    size_t n = log.size() < static_cast<size_t>(size) ? log.size() : static_cast<size_t>(size) - 1;
    std::memcpy(out, log.data(), n);
    out[n] = '\0';
  }
  return static_cast<int32_t>(log.size());
}

void RODAROVE_CALL PavFactResetCallLog(void) {
  std::lock_guard<std::mutex> lock(LogMutex());
  Log().clear();
}

int32_t RODAROVE_CALL PavFactSetBehaviour(int32_t behaviour) { return g_behaviour.exchange(behaviour); }

}  // extern "C"
