// The cost of PavexDllFreeMap over many live components, every other one
// auto-free (both classes, in turn), through the built module. One more
// component stays alive for the whole run, so that no walk empties the
// table and notifies the factory; its release at the end does (the last
// line, "[Pavex_Error] Load PavFact.dll Fail.", says that no factory module
// is installed).
#include <benchmark/benchmark.h>

#include <vector>

#include "rodarove/rodarove.h"

namespace {

IComponent* g_keeper = nullptr;

void FreeMap(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<IComponent*> kept;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < n; ++i) {
      IComponent* c = CreateComponent(i % 4 < 2 ? 114 : 837, 0);
      if (i % 2 == 1) {
        c->SetAutoFree(1);
      } else {
        kept.push_back(c);
      }
    }
    state.ResumeTiming();
    PavexDllFreeMap();
    state.PauseTiming();
    for (IComponent* c : kept) c->Release(0);
    kept.clear();
    state.ResumeTiming();
  }
}
BENCHMARK(FreeMap)->Arg(4000)->Arg(32000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_keeper = CreateComponent(114, 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_keeper->Release(0);
  return 0;
}
