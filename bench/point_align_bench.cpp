// The UV point tools on large meshes, through their real frame in a document of the host: the
// align with UV Rate and Grid on one row of a big grid, the stitch of two long rows, and the
// corner shift of every polygon.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "UVLineTools.h"
#include "UVpA.h"
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

// A square grid of quads (side x side) over shared points, UVs on a slightly wavy lattice shared
// by neighbours; the bottom row's UV points and mesh points selected.
struct Grid {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  std::vector<UVWStruct> uvs;
};

Grid& GridOf(Int32 quads) {
  static std::map<Int32, Grid> grids;
  Grid& g = grids[quads];
  TheHost();
  if (g.doc) {
    TheHost().SetActiveDocument(g.doc);
    return g;
  }
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(static_cast<Float>(quads))));
  const Int32 n = side * side, row = side + 1;
  g.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(g.doc);
  g.op = PolygonObject::Alloc(row * row, n);
  g.tag = UVWTag::Alloc(n);
  auto uvAt = [&](Int32 i, Int32 j) {
    const Float s = 1.0 / side;
    return Vector(i * s + 0.2 * s * std::sin(j * 0.7), j * s + 0.2 * s * std::cos(i * 1.3), 0);
  };
  for (Int32 j = 0; j < row; ++j)
    for (Int32 i = 0; i < row; ++i)
      g.op->GetPointW()[j * row + i] = Vector(i * (1.0 + 0.1 * (i % 3)), 0, j);
  g.uvs.resize(static_cast<size_t>(n));
  for (Int32 j = 0; j < side; ++j)
    for (Int32 i = 0; i < side; ++i) {
      const Int32 p = j * side + i, a = j * row + i;
      g.op->GetPolygonW()[p] = CPolygon(a, a + 1, a + row + 1, a + row);
      g.uvs[static_cast<size_t>(p)] =
          UVWStruct(uvAt(i, j), uvAt(i + 1, j), uvAt(i + 1, j + 1), uvAt(i, j + 1));
      g.tag->SetSlow(p, g.uvs[static_cast<size_t>(p)]);
    }
  BaseSelect* uvPoints = hostrt::UVPointSelection(g.op);
  for (Int32 i = 0; i < side; ++i) {
    uvPoints->Select(4 * i);
    uvPoints->Select(4 * i + 1);
  }
  g.op->GetPointS()->SelectAll(0, side);
  g.op->GetPolygonS()->SelectAll(0, n - 1);
  g.op->InsertTag(g.tag);
  g.doc->InsertObject(g.op, nullptr, nullptr);
  g.doc->SetActiveObject(g.op);
  g.doc->SetMode(Muvpoints);
  return g;
}

void Restore(Grid& g) {
  UVWHandle h = g.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, g.uvs[static_cast<size_t>(p)]);
  g.doc->FlushUndoBuffer();
}

void Align(benchmark::State& state, Bool grid, Bool rate) {
  Grid& g = GridOf(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    Vector centre;
    UInt32 captured = 0;
    if (!UVpointAlign().AlignPoints(centre, 2, captured, grid, false, rate))
      state.SkipWithError("the align refused");
    state.PauseTiming();
    Restore(g);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_AlignU(benchmark::State& state) {
  Align(state, false, false);
}
void BM_AlignUWithUVRate(benchmark::State& state) {
  Align(state, false, true);
}
// Every column of the grid is squared, up to the top.
void BM_AlignUWithGrid(benchmark::State& state) {
  Align(state, true, false);
}

// The bottom row stitched onto the top row of the grid.
void BM_StitchRows(benchmark::State& state) {
  Grid& g = GridOf(static_cast<Int32>(state.range(0)));
  const Int32 n = g.op->GetPolygonCount();
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(static_cast<Float>(n))));
  std::vector<CapturedPointRecord> top;
  for (Int32 i = 0; i < side; ++i) {
    const Int32 p = (side - 1) * side + i;
    top.push_back({4 * p + 3, g.uvs[static_cast<size_t>(p)].d});
    top.push_back({4 * p + 2, g.uvs[static_cast<size_t>(p)].c});
  }
  for (auto _ : state) {
    UInt32 captured = 1;
    if (!UVpointAlign().StitchPoints(4, static_cast<UInt32>(top.size()), captured, top))
      state.SkipWithError("the stitch refused");
    state.PauseTiming();
    Restore(g);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ShiftCornersOfAll(benchmark::State& state) {
  Grid& g = GridOf(static_cast<Int32>(state.range(0)));
  g.doc->SetMode(Muvpolygons);
  for (auto _ : state) {
    if (!ShiftCorners(1)) state.SkipWithError("the shift refused");
    state.PauseTiming();
    Restore(g);
    state.ResumeTiming();
  }
  g.doc->SetMode(Muvpoints);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_AlignU)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlignUWithUVRate)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlignUWithGrid)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StitchRows)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftCornersOfAll)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
