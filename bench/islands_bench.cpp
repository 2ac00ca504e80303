// Island building, island scaling with the neighbour carry and island rotation on large meshes,
// the tools running through their real frame in a document of the host.
#include <benchmark/benchmark.h>

#include <cmath>
#include <tuple>

#include "UVFunction.h"
#include "UVIslandTools.h"
#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "peak.h"
#include "runtime/host.h"

namespace {

constexpr Int32 kSide = 10;    // quads per island side
constexpr Float kQuad = 0.02;  // quad side in UV
constexpr Float kGap = 0.02;   // between islands
constexpr Float kPitch = kSide * kQuad + kGap;

// A document whose active object is a grid of islands of 10 x 10 quads in UV polygon mode, each
// island a grid of points of its own. The top row of every island is left unselected: welded
// neighbours for the carry.
struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  Int32 perRow = 0, side = 0;
  Float quad = 0.0, pitch = 0.0;

  // Polygon p's UVs as laid out: a corner's UV from its row and column in the island, so that
  // the corners neighbouring quads share are exactly equal, as those of one vt line in a file are.
  UVWStruct At(Int32 p) const {
    const Int32 i = p / (side * side), r = (p / side) % side, c = p % side;
    auto at = [&](Int32 row, Int32 col) {
      return Vector((i % perRow) * pitch + col * quad, (i / perRow) * pitch + row * quad, 0);
    };
    return UVWStruct(at(r, c), at(r, c + 1), at(r + 1, c + 1), at(r + 1, c));
  }
};

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = InitOS(&host);
  (void)ready;
  return host;
}

// The scene of a size and layout; one at a time, so that a benchmark's peak holds only its own.
Scene& SceneOf(Int32 quads, Float quad = kQuad, Float pitch = kPitch, Int32 side = kSide) {
  using Key = std::tuple<Int32, Float, Int32>;
  static Key key{-1, 0.0, 0};
  static Scene s;
  if (s.doc && key == Key{quads, quad, side}) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  TheHost().FreeDocuments();
  key = {quads, quad, side};
  s = Scene();
  s.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(s.doc);
  const Int32 islands = quads / (side * side);
  s.op = PolygonObject::Alloc(islands * (side + 1) * (side + 1), quads);
  s.tag = UVWTag::Alloc(quads);
  s.perRow = static_cast<Int32>(std::ceil(std::sqrt(static_cast<Float>(islands))));
  s.side = side;
  s.quad = quad;
  s.pitch = pitch;
  for (Int32 p = 0; p < quads; ++p) {
    const Int32 i = p / (side * side), r = (p / side) % side, c = p % side;
    const Int32 a = i * (side + 1) * (side + 1) + r * (side + 1) + c;
    s.op->GetPolygonW()[p] = CPolygon(a, a + 1, a + side + 2, a + side + 1);
    s.tag->SetSlow(p, s.At(p));
  }
  BaseSelect* sel = s.op->GetPolygonS();
  for (Int32 i = 0; i < islands; ++i)
    sel->SelectAll(i * side * side, i * side * side + (side - 1) * side - 1);
  s.op->InsertTag(s.tag);
  s.doc->InsertObject(s.op, nullptr, nullptr);
  s.doc->SetActiveObject(s.op);
  s.doc->SetMode(Muvpolygons);
  return s;
}

void Restore(Scene& s) {
  // A session adds one undo step per tool run; kept over every run here, each step would take
  // memory the process never touched, which costs several times what reused memory costs.
  s.doc->FlushUndoBuffer();
  // Laid out again rather than copied back, so that no copy of the UVs raises the peak.
  UVWHandle h = s.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, s.At(p));
}

void BM_BuildIslands(benchmark::State& state) {
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  const std::vector<Int32> list = SelectedPolygonList(s.op->GetPolygonS(), s.op->GetPolygonCount());
  for (auto _ : state) {
    const UVIslands islands = BuildIslands(s.tag->GetDataAddressR().data, list);
    benchmark::DoNotOptimize(islands.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<Int64>(list.size()));
}

// The plain flood fill, pass after pass, for comparison (quadratic: small meshes only).
void BM_PlainFloodIslands(benchmark::State& state) {
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  const std::vector<Int32> list = SelectedPolygonList(s.op->GetPolygonS(), s.op->GetPolygonCount());
  for (auto _ : state) {
    std::vector<std::uint8_t> visited(list.size(), 0);
    BaseSelect working;
    Int32 islands = 0;
    for (size_t i = 0; i < list.size(); ++i) {
      if (visited[i]) continue;
      FloodIsland(s.tag->GetDataAddressR().data, list, static_cast<Int32>(i), visited, working);
      ++islands;
    }
    benchmark::DoNotOptimize(islands);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<Int64>(list.size()));
}

void BM_ScaleIslandsKeep(benchmark::State& state) {
  ResetPeakMemory();
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!ScaleIslands(1.5, 0.75, true, true, true)) state.SkipWithError("ScaleIslands refused");
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}

void BM_ScaleIslandsNoKeep(benchmark::State& state) {
  ResetPeakMemory();
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!ScaleIslands(1.5, 0.75, true, true, false)) state.SkipWithError("ScaleIslands refused");
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}

void BM_RotateIslandsKeep(benchmark::State& state) {
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!RotateIslands(0.3, true)) state.SkipWithError("RotateIslands refused");
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same islands packed into the unit square: quads far smaller than the tolerance, so that
// every corner has hundreds of others within reach.
void BM_BuildIslandsPacked(benchmark::State& state) {
  const Int32 quads = static_cast<Int32>(state.range(0));
  const Int32 perRow =
      static_cast<Int32>(std::ceil(std::sqrt(static_cast<Float>(quads / (kSide * kSide)))));
  const Float pitch = 1.0 / perRow;
  Scene& s = SceneOf(quads, pitch * 0.9 / kSide, pitch);
  const std::vector<Int32> list = SelectedPolygonList(s.op->GetPolygonS(), s.op->GetPolygonCount());
  for (auto _ : state) {
    const UVIslands islands = BuildIslands(s.tag->GetDataAddressR().data, list);
    benchmark::DoNotOptimize(islands.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<Int64>(list.size()));
}

// 100 large islands, each a square of quads 0.001 wide (corners far closer than the tolerance),
// 0.05 apart.
void BM_BuildIslandsLarge(benchmark::State& state) {
  const Int32 quads = static_cast<Int32>(state.range(0));
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(quads / 100.0)));
  Scene& s = SceneOf(100 * side * side, 0.001, side * 0.001 + 0.05, side);
  const std::vector<Int32> list = SelectedPolygonList(s.op->GetPolygonS(), s.op->GetPolygonCount());
  for (auto _ : state) {
    const UVIslands islands = BuildIslands(s.tag->GetDataAddressR().data, list);
    benchmark::DoNotOptimize(islands.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<Int64>(list.size()));
}

}  // namespace

BENCHMARK(BM_BuildIslandsLarge)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFloodIslands)->Arg(1'000)->Arg(4'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildIslands)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleIslandsKeep)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleIslandsNoKeep)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateIslandsKeep)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildIslandsPacked)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
