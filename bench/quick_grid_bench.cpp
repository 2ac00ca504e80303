// Quick Grid on square regions of 10k, 100k and 1M quads, the tool running through its real
// frame in a document of the host (UV set copied out, walks, threaded carry, write-back); and
// the plain pass-after-pass walk of the tests for comparison where it finishes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "../tests/source/quick_grid_reference.h"
#include "UVQuickGrid.h"
#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "runtime/host.h"

namespace {

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = InitOS(&host);
  (void)ready;
  return host;
}

// side x side quads, row by row. In 3D the rows wave in height and depth; in UV the cells are
// 0.02 apart and the grid waves by 0.004, so the tool has to straighten every cell.
struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  reference::Input input;
};

Scene& SceneOf(Int32 side) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[side];
  if (s.doc) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  const Int32 n = side * side, points = (side + 1) * (side + 1);
  s.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(s.doc);
  s.op = PolygonObject::Alloc(points, n);
  s.tag = UVWTag::Alloc(n);
  auto at = [&](Int32 i, Int32 j) { return j * (side + 1) + i; };
  auto uv = [](Int32 i, Int32 j) {
    return Vector(0.02 * i + 0.004 * std::sin(0.3 * j), 0.02 * j + 0.004 * std::cos(0.3 * i), 0);
  };
  for (Int32 j = 0; j <= side; ++j)
    for (Int32 i = 0; i <= side; ++i)
      s.op->GetPointW()[at(i, j)] =
          Vector(i, j * (1.0 + 0.3 * std::sin(0.1 * i)), 0.2 * std::sin(0.1 * j));
  for (Int32 j = 0; j < side; ++j)
    for (Int32 i = 0; i < side; ++i) {
      const Int32 p = j * side + i;
      s.op->GetPolygonW()[p] = CPolygon(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
      s.tag->SetSlow(p, UVWStruct(uv(i, j), uv(i + 1, j), uv(i + 1, j + 1), uv(i, j + 1)));
    }
  s.op->InsertTag(s.tag);
  s.doc->InsertObject(s.op, nullptr, nullptr);
  s.doc->SetActiveObject(s.op);
  s.doc->SetMode(Muvpoints);
  s.input.points.assign(s.op->GetPointR(), s.op->GetPointR() + points);
  s.input.polys.assign(s.op->GetPolygonR(), s.op->GetPolygonR() + n);
  for (Int32 p = 0; p < n; ++p) s.input.uvs.push_back(s.tag->GetSlow(p));
  return s;
}

void Restore(Scene& s) {
  UVWHandle h = s.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, s.input.uvs[static_cast<size_t>(p)]);
  s.doc->FlushUndoBuffer();
}

// Picks edge a-b of polygon first (the columns grow up, with the polygon order) or edge d-c of
// the last row's first polygon (they grow down, against it).
void Pick(Scene& s, Int32 side, bool downward) {
  BaseSelect* sel = hostrt::UVPointSelection(s.op);
  sel->DeselectAll();
  const Int32 p = downward ? (side - 1) * side : 0;
  sel->Select(4 * p + (downward ? 2 : 0));
  sel->Select(4 * p + (downward ? 3 : 1));
  s.input.selected = {4 * p + (downward ? 2 : 0), 4 * p + (downward ? 3 : 1)};
}

void Run(benchmark::State& state, bool square, bool downward) {
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(Float(state.range(0)))));
  Scene& s = SceneOf(side);
  Pick(s, side, downward);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
    if (!QuickGrid(square, false)) state.SkipWithError("Quick Grid refused");
  }
  state.counters["quads"] = Float(side) * side;
}

void BM_QuickGrid(benchmark::State& state) {
  Run(state, false, false);
}
void BM_QuickGridDownward(benchmark::State& state) {
  Run(state, false, true);
}
void BM_QuickGridSquare(benchmark::State& state) {
  Run(state, true, false);
}
void BM_PlainWalk(benchmark::State& state) {
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(Float(state.range(0)))));
  Scene& s = SceneOf(side);
  Pick(s, side, state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(reference::Run(s.input).ok);
}

BENCHMARK(BM_QuickGrid)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickGridDownward)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickGridSquare)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWalk)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

}  // namespace
