// Selection walks as the tools do them on large meshes.
#include <benchmark/benchmark.h>

#include "c4d_baseselect.h"

static void BM_SelectEveryOtherThenWalk(benchmark::State& state) {
  const Int32 n = static_cast<Int32>(state.range(0));
  for (auto _ : state) {
    BaseSelect s;
    for (Int32 i = 0; i < n; i += 2) s.Select(i);
    Int64 sum = 0;
    Int32 a, b;
    for (Int32 seg = 0; s.GetRange(seg, n, &a, &b); ++seg) sum += b - a + 1;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * n / 2);
}
BENCHMARK(BM_SelectEveryOtherThenWalk)->Arg(10'000)->Arg(1'000'000);

static void BM_SelectAllThenDeselectScattered(benchmark::State& state) {
  const Int32 n = static_cast<Int32>(state.range(0));
  for (auto _ : state) {
    BaseSelect s;
    s.SelectAll(0, n - 1);
    for (Int32 i = n - 1; i >= 0; i -= 97) s.Deselect(i);
    benchmark::DoNotOptimize(s.GetCount());
  }
}
BENCHMARK(BM_SelectAllThenDeselectScattered)->Arg(10'000)->Arg(1'000'000);
