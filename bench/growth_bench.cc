// Growth of one tree, every insertion timed alone: a random tree of N
// nodes (node k appended under a uniformly random earlier node) built
// through the slots of the built module, for each class and ID
// distribution, beside a std::vector of five-link records (doubling) and a
// std::unordered_map of them doing the same work. Prints per case the
// median, the 99.99th percentile and the worst insertion (and where it
// came), the heap bytes per node that the allocator counts (blind to the
// stores' reserved memory), the resident bytes per node of the built tree,
// and the peak resident bytes per node while it grew. Each case runs in a
// process of its own, so that one case's memory does not show in the next.
// Last, the machine's own pauses over 10 s, which any worst call includes.
//
//   growth_bench [--huge] [--sizes=N,N,...] [--cases=NAME,NAME,...]
//
// Sizes 10^4 to 10^7 by default; --huge adds 10^8 (about 8 GB for the
// random IDs' lists and the timings besides the trees). Cases: 114-dense,
// 114-clustered, 114-random, 837-dense, 837-clustered, 837-random, vector,
// unordered_map. Linux only (it reads /proc).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/process_memory.h"
#include "rodarove/rodarove.h"

namespace {

using rodarove_bench::HeapBytesInUse;
using rodarove_bench::ResidentBytes;

const char* const kCases[] = {"114-dense", "114-clustered", "114-random", "837-dense",
                              "837-clustered", "837-random", "vector", "unordered_map"};

struct Links {
  int32_t parent, first, last, next, prev;
};

long PeakResidentBytes() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atol(line + 6);
  }
  std::fclose(f);
  return kb * 1024;
}

void ResetPeak() {
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (f == nullptr) return;
  std::fputs("5", f);
  std::fclose(f);
}

// The IDs of a case: 1..N; runs of 1,000 consecutive IDs at random places;
// or random distinct IDs (any 32-bit value but 0 for 114, 2..178,955,999
// for 837 and the others).
std::vector<int32_t> IdsOf(const std::string& name, size_t n, std::mt19937_64& rng) {
  std::vector<int32_t> ids;
  ids.reserve(n);
  const bool array = name.compare(0, 3, "837") == 0;
  const uint64_t top = array ? 178955999 : 0xFFFFFFFFu;
  if (name.find("dense") != std::string::npos || name == "vector" || name == "unordered_map") {
    for (size_t k = 0; k < n; ++k) ids.push_back(static_cast<int32_t>(k + 1));
    return ids;
  }
  std::unordered_set<uint32_t> seen;
  seen.reserve(n);
  const bool clustered = name.find("clustered") != std::string::npos;
  while (ids.size() < n) {
    if (clustered) {
      const uint64_t start = 2 + rng() % (top - 1000 - 2);
      for (uint64_t id = start; id < start + 1000 && ids.size() < n; ++id) {
        if (seen.insert(static_cast<uint32_t>(id)).second) ids.push_back(static_cast<int32_t>(id));
      }
    } else {
      const uint64_t id = array ? 2 + rng() % (top - 1) : 1 + rng() % top;
      if (seen.insert(static_cast<uint32_t>(id)).second) ids.push_back(static_cast<int32_t>(id));
    }
  }
  if (clustered) std::shuffle(ids.begin() + 1, ids.end(), rng);
  return ids;
}

// Appends child under parent in a plain container of links, as the slots do.
template <typename Find>
void Append(Find&& at, int32_t child, int32_t parent) {
  Links& p = at(parent);
  Links& c = at(child);
  c = Links{parent, 0, 0, 0, p.last};
  if (p.last != 0) {
    at(p.last).next = child;
  } else {
    p.first = child;
  }
  p.last = child;
}

int RunCase(const std::string& name, size_t n) {
  std::mt19937_64 rng(20261210);
  const std::vector<int32_t> ids = IdsOf(name, n, rng);
  std::vector<uint32_t> parents(n);
  for (size_t k = 1; k < n; ++k) parents[k] = static_cast<uint32_t>(rng() % k);
  std::vector<float> took(n, 0.0f);
  using Clock = std::chrono::steady_clock;

  ResetPeak();
  const long residentBefore = ResidentBytes();
  const size_t heapBefore = HeapBytesInUse();
  long residentBuilt = 0;
  size_t heapBuilt = 0;
  ITreeComponent* tree = nullptr;
  if (name == "vector") {
    std::vector<Links> v(1, Links{});
    v.push_back(Links{});
    for (size_t k = 1; k < n; ++k) {
      const auto start = Clock::now();
      v.push_back(Links{});
      Append([&v](int32_t id) -> Links& { return v[static_cast<size_t>(id)]; }, ids[k],
             ids[parents[k]]);
      took[k] = std::chrono::duration<float, std::nano>(Clock::now() - start).count();
    }
    residentBuilt = ResidentBytes();
    heapBuilt = HeapBytesInUse();
  } else if (name == "unordered_map") {
    std::unordered_map<int32_t, Links> m;
    m[ids[0]] = Links{};
    for (size_t k = 1; k < n; ++k) {
      const auto start = Clock::now();
      Append([&m](int32_t id) -> Links& { return m[id]; }, ids[k], ids[parents[k]]);
      took[k] = std::chrono::duration<float, std::nano>(Clock::now() - start).count();
    }
    residentBuilt = ResidentBytes();
    heapBuilt = HeapBytesInUse();
  } else {
    IComponent* c = CreateComponent(std::atoi(name.c_str()), 0);
    if (c == nullptr) return 1;
    tree = RodaroveAsTree(c);
    tree->SetRoot(ids[0]);
    for (size_t k = 1; k < n; ++k) {
      const auto start = Clock::now();
      const int32_t done = tree->AppendChild(ids[k], ids[parents[k]]);
      took[k] = std::chrono::duration<float, std::nano>(Clock::now() - start).count();
      if (done != 1) {
        std::fprintf(stderr, "%s: insertion %zu refused\n", name.c_str(), k);
        return 1;
      }
    }
    residentBuilt = ResidentBytes();
    heapBuilt = HeapBytesInUse();
  }
  // Before the tree's release, whose idle notice may load the factory module.
  const long peak = PeakResidentBytes();
  if (tree != nullptr) tree->Release(0);
  const size_t worstAt = static_cast<size_t>(std::max_element(took.begin(), took.end()) - took.begin());
  const float worst = took[worstAt];
  std::sort(took.begin() + 1, took.end());
  const double perNode = 1.0 / static_cast<double>(n);
  std::printf("%-14s %11zu %9.0f %10.1f %10.2f %12zu %8.1f %8.1f %8.1f\n", name.c_str(), n,
              took[1 + (n - 1) / 2], took[1 + static_cast<size_t>((n - 1) * 0.9999)] / 1000.0,
              worst / 1e6, worstAt, static_cast<double>(heapBuilt - heapBefore) * perNode,
              static_cast<double>(residentBuilt - residentBefore) * perNode,
              static_cast<double>(peak - residentBefore) * perNode);
  return 0;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> out;
  size_t from = 0;
  while (from <= list.size()) {
    const size_t comma = list.find(',', from);
    const size_t end = comma == std::string::npos ? list.size() : comma;
    if (end > from) out.push_back(list.substr(from, end - from));
    from = end + 1;
  }
  return out;
}

// The machine's own pauses, against which a worst call is read: the
// longest gap between two reads of the same clock in an empty loop over
// `seconds`, and how many gaps exceeded 1 ms (a preempted or descheduled
// process shows them; the stores have no part in them).
void PrintClockGaps(int seconds) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  auto last = Clock::now();
  double longest = 0;
  int overOneMs = 0;
  for (auto now = last; now < end; last = now) {
    now = Clock::now();
    const double gap = std::chrono::duration<double, std::milli>(now - last).count();
    if (gap > longest) longest = gap;
    if (gap > 1) ++overOneMs;
  }
  std::printf("an empty loop reading the clock for %d s: longest gap %.2f ms, %d over 1 ms\n",
              seconds, longest, overOneMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--case") == 0) {
    return RunCase(argv[2], static_cast<size_t>(std::atoll(argv[3])));
  }
  std::vector<std::string> sizes = {"10000", "100000", "1000000", "10000000"};
  std::vector<std::string> cases(std::begin(kCases), std::end(kCases));
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--huge") {
      sizes.push_back("100000000");
    } else if (arg.compare(0, 8, "--sizes=") == 0) {
      sizes = Split(arg.substr(8));
    } else if (arg.compare(0, 8, "--cases=") == 0) {
      cases = Split(arg.substr(8));
    } else {
      std::fprintf(stderr, "usage: growth_bench [--huge] [--sizes=N,...] [--cases=NAME,...]\n");
      return 2;
    }
  }
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return 1;
  self[length] = '\0';
  std::printf("%-14s %11s %9s %10s %10s %12s %8s %8s %8s\n", "case", "nodes", "median/ns",
              "p99.99/us", "worst/ms", "at insertion", "heap B", "rss B", "peak B");
  std::fflush(stdout);
  int status = 0;
  for (const std::string& size : sizes) {
    for (const std::string& name : cases) {
      const std::string command = std::string("RODAROVE_DEBUG_OUTPUT=none '") + self + "' --case " +
                                  name + " " + size;
      if (std::system(command.c_str()) != 0) status = 1;
    }
  }
  PrintClockGaps(10);
  return status;
}
