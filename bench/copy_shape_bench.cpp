// UV Symmetry and Copy Shape on big grids, through their real frame in a document of the host:
// the mirror of the left half of a grid across its middle line with Keep Face Neighbors, and the
// copy of the left half's shape onto the right half along their right-hand edges.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "UVCopyShape.h"
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

// A square grid of quads over shared points; UVs on a slightly wavy lattice with a straight
// middle column, shared by neighbours.
struct Grid {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  Int32 side = 0;
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
  const Int32 side = 2 * static_cast<Int32>(std::lround(std::sqrt(quads / 4.0)));
  const Int32 n = side * side, row = side + 1;
  g.side = side;
  g.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(g.doc);
  g.op = PolygonObject::Alloc(row * row, n);
  g.tag = UVWTag::Alloc(n);
  auto uvAt = [&](Int32 i, Int32 j) {
    const Float s = 1.0 / side;
    const Float wave = i == side / 2 ? 0.0 : 0.2 * s * std::sin(j * 0.7 + i);
    return Vector(i * s + wave, j * s + 0.2 * s * std::cos(i * 1.3), 0);
  };
  for (Int32 j = 0; j < row; ++j)
    for (Int32 i = 0; i < row; ++i) g.op->GetPointW()[j * row + i] = Vector(i, 0, j);
  g.uvs.resize(static_cast<size_t>(n));
  for (Int32 j = 0; j < side; ++j)
    for (Int32 i = 0; i < side; ++i) {
      const Int32 p = j * side + i, a = j * row + i;
      g.op->GetPolygonW()[p] = CPolygon(a, a + 1, a + row + 1, a + row);
      g.uvs[static_cast<size_t>(p)] =
          UVWStruct(uvAt(i, j), uvAt(i + 1, j), uvAt(i + 1, j + 1), uvAt(i, j + 1));
      g.tag->SetSlow(p, g.uvs[static_cast<size_t>(p)]);
    }
  g.op->InsertTag(g.tag);
  g.doc->InsertObject(g.op, nullptr, nullptr);
  g.doc->SetActiveObject(g.op);
  return g;
}

void Restore(Grid& g) {
  UVWHandle h = g.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, g.uvs[static_cast<size_t>(p)]);
  g.doc->FlushUndoBuffer();
}

// Polygons of columns [i0, i1) selected, in UV polygon mode.
void SelectColumns(Grid& g, Int32 i0, Int32 i1) {
  BaseSelect* sel = g.op->GetPolygonS();
  sel->DeselectAll();
  for (Int32 j = 0; j < g.side; ++j) sel->SelectAll(j * g.side + i0, j * g.side + i1 - 1);
  g.doc->SetMode(Muvpolygons);
}

// The UV points on the vertical line between columns i - 1 and i: the b and c corners of column
// i - 1, in UV point mode.
void SelectLine(Grid& g, Int32 i) {
  BaseSelect* sel = hostrt::UVPointSelection(g.op);
  sel->DeselectAll();
  for (Int32 j = 0; j < g.side; ++j) {
    const Int32 p = j * g.side + i - 1;
    sel->Select(4 * p + 1);
    sel->Select(4 * p + 2);
  }
  g.doc->SetMode(Muvpoints);
}

void BM_MirrorHalfWithKeep(benchmark::State& state) {
  Grid& g = GridOf(static_cast<Int32>(state.range(0)));
  SymmetryState symmetry;
  SelectColumns(g, 0, g.side / 2);
  if (CapturePolygons(symmetry.polygons, symmetry.centre) != PickResult::kDone)
    state.SkipWithError("the pick refused");
  for (auto _ : state) {
    state.PauseTiming();
    SelectLine(g, g.side / 2);
    state.ResumeTiming();
    if (MirrorPicked(symmetry, true) != PickResult::kDone)
      state.SkipWithError("the mirror refused");
    state.PauseTiming();
    Restore(g);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The left half's shape onto the right half: the source chain is the middle line, the target
// chain the right-hand edge, so each row's middle-line quad is copied onto its last quad.
void BM_CopyShapeHalf(benchmark::State& state) {
  Grid& g = GridOf(static_cast<Int32>(state.range(0)));
  CopyShapeState copy;
  SelectColumns(g, 0, g.side / 2);
  bool picked = CapturePolygons(copy.sourcePolygons, copy.sourceCentre) == PickResult::kDone;
  SelectLine(g, g.side / 2);
  picked = picked && CapturePoints(copy.sourcePoints) == PickResult::kDone;
  SelectColumns(g, g.side / 2, g.side);
  picked = picked && CapturePolygons(copy.targetPolygons, copy.targetCentre) == PickResult::kDone;
  SelectLine(g, g.side);
  picked = picked && CapturePoints(copy.targetPoints) == PickResult::kDone;
  if (!picked) state.SkipWithError("a pick refused");
  g.doc->SetMode(Muvpolygons);
  const CopyShapeState picks = copy;
  for (auto _ : state) {
    if (!CopyPickedShape(copy, true)) state.SkipWithError("the copy refused");
    state.PauseTiming();
    Restore(g);
    copy = picks;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) / 2);
}

}  // namespace

BENCHMARK(BM_MirrorHalfWithKeep)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyShapeHalf)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
