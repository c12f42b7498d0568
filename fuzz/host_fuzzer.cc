// The host's command language, in process: every line of the input is run
// by an Interpreter over the module's exports (the module's code is linked
// in), going on after errors as at the prompt and stopping at quit. Then
// every component the script made is released; none may stay live, and no
// script may crash or hang.
//
// The harness keeps scripts inside the process and a folder of its own,
// which is the working folder while a script runs and is emptied after it:
//  - set-factory lines are skipped (they load any library named);
//  - lines that name a file (dot, save, source, load) run only when no '/'
//    is in them, so they stay in that folder;
//  - generate, time and append-children run only with numbers below 1000
//    (generate builds up to 50 million nodes by design), time only once in
//    a line and never around a command that makes components, and at most
//    kMaxCreates lines make components, as each array tree's memory follows
//    its largest ID.
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
#include "module/state/live_component_table.h"
#include "rodarove/rodarove.h"

// Allocations beyond 256 MB fail (new(nothrow) gives null and the array
// tree refuses the ID) rather than ending the run; the host's own buffers
// stay below that.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

namespace {

constexpr int kMaxCreates = 4;

std::string g_folder;  // the working folder while a script runs
std::string g_home;    // the working folder before

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

int CountWord(const std::vector<std::string>& words, const char* name) {
  int count = 0;
  for (std::string w : words) {
    if (w.size() >= 2 && w.front() == '"') w = w.substr(1, w.size() - 2);
    if (w == name) ++count;
  }
  return count;
}

bool HasWord(const std::vector<std::string>& words, const char* name) {
  return CountWord(words, name) > 0;
}

// Why the harness does not run a line, or null to run it.
const char* SkipReason(const std::string& line, int* creates) {
  const std::vector<std::string> words = Words(line);
  if (HasWord(words, "set-factory")) return "loads a library";
  const bool names = HasWord(words, "dot") || HasWord(words, "save") ||
                     HasWord(words, "source") || HasWord(words, "load");
  if (names && line.find('/') != std::string::npos) return "a file elsewhere";
  const bool repeats = HasWord(words, "time");
  if ((repeats || HasWord(words, "generate") || HasWord(words, "append-children")) &&
      HasLargeNumber(line)) {
    return "builds a large tree";
  }
  const bool makes = HasWord(words, "create") || HasWord(words, "load") ||
                     HasWord(words, "source");
  if (repeats && (makes || CountWord(words, "time") > 1)) return "repeats too much";
  if (makes && ++*creates > kMaxCreates) return "one component too many";
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
  FUZZ_CHECK(chdir(g_folder.c_str()) == 0, "cannot enter %s", g_folder.c_str());
  {
    rodarove_host::Interpreter interpreter(Exports());
    size_t start = 0;
    while (start <= script.size()) {
      size_t end = script.find('\n', start);
      if (end == std::string::npos) end = script.size();
      std::string line = script.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (SkipReason(line, &creates) != nullptr) continue;
      std::string error;
      if (interpreter.Run(line, &error) == rodarove_host::Interpreter::Status::kQuit) break;
    }
    interpreter.ReleaseAll();
    interpreter.Flush();
  }
  FUZZ_CHECK(rodarove::LiveComponentCount() == 1,
             "%d components of the script stay live after their release",
             static_cast<int>(rodarove::LiveComponentCount()) - 1);
  FUZZ_CHECK(chdir(g_home.c_str()) == 0, "cannot return to %s", g_home.c_str());
  RemoveFilesInFolder();
  return 0;
}
