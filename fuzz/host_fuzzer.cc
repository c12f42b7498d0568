// The host's command language, in process: every line of the input is run
// by an Interpreter over the module's exports (the module's code is linked
// in), going on after errors as at the prompt and stopping at quit. Then
// every component the script made is released; none may stay live, and no
// script may crash or hang.
//
// The harness keeps scripts inside the process and its own folder:
//  - set-factory lines are skipped (they load any library named);
//  - dot runs only with a file name without '/', and in a temporary folder
//    of the harness (the working folder while it runs), emptied after every
//    input;
//  - generate runs only with numbers below 1000 (it builds up to 50 million
//    nodes by design), and at most kMaxCreates lines create components, as
//    each array tree's memory follows its largest ID.
// A component of the harness's own stays live throughout, so that the
// module never looks for the factory module (which reads ini files and
// loads a library) when a script releases its last component.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/interpreter.h"
#include "module/live_component_table.h"
#include "rodarove/rodarove.h"

// Allocations beyond 256 MB fail (new(nothrow) gives null and the array
// tree refuses the ID) rather than ending the run; the host's own buffers
// stay below that.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

namespace {

constexpr int kMaxCreates = 4;

std::string g_folder;  // where dot writes
std::string g_home;    // the working folder otherwise

void RemoveFilesInFolder() {
  DIR* dir = opendir(g_folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") unlink((g_folder + "/" + name).c_str());
  }
  closedir(dir);
}

void RemoveFolder() {
  RemoveFilesInFolder();
  rmdir(g_folder.c_str());
}

// The words of a line, split at blanks as the interpreter splits them,
// quotes left on.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool HasWord(const std::vector<std::string>& words, const char* name) {
  for (std::string w : words) {
    if (w.size() >= 2 && w.front() == '"') w = w.substr(1, w.size() - 2);
    if (w == name) return true;
  }
  return false;
}

// A number of four digits or more, or a hexadecimal one, anywhere.
bool HasLargeNumber(const std::string& line) {
  if (line.find("0x") != std::string::npos || line.find("0X") != std::string::npos) return true;
  int run = 0;
  for (char c : line) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    if (run >= 4) return true;
  }
  return false;
}

// Why the harness does not run a line, or null to run it. *writes tells
// that the line may write a file.
const char* SkipReason(const std::string& line, int* creates, bool* writes) {
  const std::vector<std::string> words = Words(line);
  *writes = HasWord(words, "dot");
  if (HasWord(words, "set-factory")) return "loads a library";
  if (*writes && line.find('/') != std::string::npos) return "writes elsewhere";
  if (HasWord(words, "generate") && HasLargeNumber(line)) return "builds a large tree";
  if (HasWord(words, "create") && ++*creates > kMaxCreates) return "one component too many";
  return nullptr;
}

const rodarove_host::ModuleExports& Exports() {
  static const rodarove_host::ModuleExports exports{
      &CreateComponent,      &GetComponentIDs, &SetDLLRegistry, &SetFactoryHandle,
      &PavexDllCanUnloadNow, &PavexDllFreeMap, &PavexSetDllSafe};
  return exports;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = std::getenv("TMPDIR");
  if (base == nullptr || *base == '\0') base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/rodarove-host-fuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FUZZ_CHECK(mkdtemp(name.data()) != nullptr, "cannot make a folder like %s", pattern.c_str());
  g_folder = name.data();
  std::vector<char> home(4096);
  FUZZ_CHECK(getcwd(home.data(), home.size()) != nullptr, "no working folder");
  g_home = home.data();
  std::atexit(RemoveFolder);
  // What the interpreter prints is not looked at.
  FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence stdout");
  static IComponent* keeper = CreateComponent(114, 0);
  FUZZ_CHECK(keeper != nullptr, "no keeper component");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  PavexSetDllSafe(1);
  SetDLLRegistry(nullptr);
  SetFactoryHandle(nullptr);
  int creates = 0;
  {
    rodarove_host::Interpreter interpreter(Exports());
    size_t start = 0;
    while (start <= script.size()) {
      size_t end = script.find('\n', start);
      if (end == std::string::npos) end = script.size();
      std::string line = script.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      bool writes = false;
      if (SkipReason(line, &creates, &writes) != nullptr) continue;
      if (writes) FUZZ_CHECK(chdir(g_folder.c_str()) == 0, "cannot enter %s", g_folder.c_str());
      std::string error;
      auto status = interpreter.Run(line, &error);
      if (writes) FUZZ_CHECK(chdir(g_home.c_str()) == 0, "cannot return to %s", g_home.c_str());
      if (status == rodarove_host::Interpreter::Status::kQuit) break;
    }
    // Components are numbered from 1, at most one for each line that says
    // create.
    std::string error;
    interpreter.Run("set-dll-safe 1", &error);
    for (int number = 1; number <= creates; ++number) {
      interpreter.Run("release " + std::to_string(number), &error);
    }
    interpreter.Flush();
  }
  FUZZ_CHECK(rodarove::LiveComponentCount() == 1,
             "%d components of the script stay live after their release",
             static_cast<int>(rodarove::LiveComponentCount()) - 1);
  RemoveFilesInFolder();
  return 0;
}
