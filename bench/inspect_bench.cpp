// The UV layout inspection on grids of 10k, 100k and 1M quads: the overlap search alone, and the
// whole report (islands, flips, density, stretch, used share). Each grid is a square sheet of
// quads, wavy in 3D, whose UV cells are jittered a little, with one cell in 997 shifted half a
// cell over its neighbour, so the search has real overlaps to find. The all-pairs search, for
// comparison, on the smaller grids only.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "inspect.h"

namespace {

const pelterra::Layout& GridOf(Int32 side) {
  static std::map<Int32, pelterra::Layout> layouts;
  pelterra::Layout& l = layouts[side];
  if (!l.polygons.empty()) return l;
  const double cell = 1.0 / side;
  for (Int32 j = 0; j <= side; ++j)
    for (Int32 i = 0; i <= side; ++i)
      l.points.push_back(Vector(i + 0.1 * std::sin(0.7 * j), 0.2 * std::cos(0.3 * i), j));
  auto uv = [&](Int32 i, Int32 j) {
    return std::pair<double, double>((i + 0.2 * std::sin(1.3 * j)) * cell,
                                     (j + 0.2 * std::cos(0.9 * i)) * cell);
  };
  l.polygons.reserve(static_cast<size_t>(side) * side);
  for (Int32 j = 0; j < side; ++j)
    for (Int32 i = 0; i < side; ++i) {
      pelterra::LayoutPolygon p;
      const Int32 at[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
      for (int k = 0; k < 4; ++k) {
        p.point[static_cast<size_t>(k)] = at[k][1] * (side + 1) + at[k][0];
        auto [u, v] = uv(at[k][0], at[k][1]);
        if ((i * 7 + j * 13) % 997 == 0) u += 0.5 * cell;  // folded over its neighbour
        p.u[static_cast<size_t>(k)] = u;
        p.v[static_cast<size_t>(k)] = v;
      }
      l.polygons.push_back(p);
    }
  return l;
}

void BM_FindOverlaps(benchmark::State& state) {
  const pelterra::Layout& l = GridOf(static_cast<Int32>(state.range(0)));
  Int64 found = 0;
  for (auto _ : state) {
    const pelterra::OverlapResult r = pelterra::FindOverlaps(l);
    found = r.count;
    benchmark::DoNotOptimize(found);
  }
  state.counters["quads"] = static_cast<double>(l.polygons.size());
  state.counters["overlaps"] = static_cast<double>(found);
}
BENCHMARK(BM_FindOverlaps)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InspectWhole(benchmark::State& state) {
  const pelterra::Layout& l = GridOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    const pelterra::InspectReport r = pelterra::Inspect(l);
    benchmark::DoNotOptimize(r.overlaps.count);
  }
  state.counters["quads"] = static_cast<double>(l.polygons.size());
}
BENCHMARK(BM_InspectWhole)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OverlapsAllPairs(benchmark::State& state) {
  const pelterra::Layout& l = GridOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(pelterra::FindOverlapsAllPairs(l).count);
  state.counters["quads"] = static_cast<double>(l.polygons.size());
}
BENCHMARK(BM_OverlapsAllPairs)->Arg(32)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
