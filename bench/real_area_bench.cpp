// Real area scaling and loop select on large meshes, through their real frame in a document of
// the host.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "UVRealArea.h"
#include "UVpolySelect.h"
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

struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  std::vector<UVWStruct> uvs;
};

// Makes the object of a scene from its points, polygons and UVs, active in mode.
void Build(Scene& s, const std::vector<Vector>& points, const std::vector<CPolygon>& polys,
           Int32 mode) {
  s.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(s.doc);
  const Int32 n = static_cast<Int32>(polys.size());
  s.op = PolygonObject::Alloc(static_cast<Int32>(points.size()), n);
  s.tag = UVWTag::Alloc(n);
  for (size_t i = 0; i < points.size(); ++i) s.op->GetPointW()[i] = points[i];
  for (Int32 p = 0; p < n; ++p) {
    s.op->GetPolygonW()[p] = polys[static_cast<size_t>(p)];
    s.tag->SetSlow(p, s.uvs[static_cast<size_t>(p)]);
  }
  s.op->InsertTag(s.tag);
  s.doc->InsertObject(s.op, nullptr, nullptr);
  s.doc->SetActiveObject(s.op);
  s.doc->SetMode(mode);
}

void Restore(Scene& s) {
  UVWHandle h = s.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, s.uvs[static_cast<size_t>(p)]);
  s.doc->FlushUndoBuffer();
}

// 100 parts of m x m quads (their own points, 1 unit apart in 3D, 0.01 in UV), all selected, each
// with an unselected part of its own: a row of m quads welded in UV to the part's top edge, for
// the carry. About 100 (m^2 + m) quads.
Scene& PartsScene(Int32 quads) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[quads];
  if (s.doc) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  const Int32 m = static_cast<Int32>(std::lround(std::sqrt(quads / 100.0)));
  const Float q = 0.01, pitch = (m + 2) * q;
  std::vector<Vector> points;
  std::vector<CPolygon> polys;
  // Rows first .. first + rows of the lattice of an island at (u0, v0): every UV position is
  // computed from its lattice numbers alone, so that welded corners are exactly equal.
  auto grid = [&](Int32 first, Int32 rows, Float u0, Float v0, Float z) {
    const Int32 base = static_cast<Int32>(points.size());
    for (Int32 r = 0; r <= rows; ++r)
      for (Int32 c = 0; c <= m; ++c) points.emplace_back(c, r, z);
    auto at = [&](Int32 c, Int32 r) { return Vector(u0 + c * q, v0 + r * q, 0); };
    for (Int32 r = 0; r < rows; ++r)
      for (Int32 c = 0; c < m; ++c) {
        const Int32 b = base + c + (m + 1) * r;
        polys.emplace_back(b, b + 1, b + m + 2, b + m + 1);
        const Int32 row = first + r;
        s.uvs.emplace_back(at(c, row), at(c + 1, row), at(c + 1, row + 1), at(c, row + 1));
      }
  };
  std::vector<std::pair<Int32, Int32>> selected;
  for (Int32 i = 0; i < 100; ++i) {
    const Float u0 = (i % 10) * pitch, v0 = (i / 10) * pitch;
    const Int32 first = static_cast<Int32>(polys.size());
    grid(0, m, u0, v0, 3.0 * i);
    selected.emplace_back(first, static_cast<Int32>(polys.size()) - 1);
    grid(m, 1, u0, v0, 3.0 * i + 1.0);
  }
  Build(s, points, polys, Muvpolygons);
  for (auto [a, b] : selected) s.op->GetPolygonS()->SelectAll(a, b);
  return s;
}

// The last quad of the mesh is in the last unselected row: the carry moves its a.
bool Carried(Scene& s) {
  const Int32 last = s.op->GetPolygonCount() - 1;
  return !(s.tag->GetSlow(last).a == s.uvs[static_cast<size_t>(last)].a);
}

void BM_RealAreaAreaMode(benchmark::State& state) {
  Scene& s = PartsScene(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!ApplyRealArea(1.0, true, true, false, 512, 128, 0.015))
      state.SkipWithError("real area refused");
    state.PauseTiming();
    if (!Carried(s)) state.SkipWithError("nothing carried");
    Restore(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * s.op->GetPolygonCount());
}

void BM_RealAreaTextureMode(benchmark::State& state) {
  Scene& s = PartsScene(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!ApplyRealArea(1.0, true, true, true, 1024, 256, 0.015))
      state.SkipWithError("real area refused");
    state.PauseTiming();
    if (!Carried(s)) state.SkipWithError("nothing carried");
    Restore(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * s.op->GetPolygonCount());
}

// A ring of n quads in UV (polar, the last quad closing onto the first), in UV point mode with
// the two points of one edge selected.
Scene& RingScene(Int32 n) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[n];
  if (s.doc) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  auto at = [n](Int32 j, Float r) {
    const Float t = 2.0 * PI * (j % n) / n;
    return Vector(0.5 + r * std::cos(t), 0.5 + r * std::sin(t), 0);
  };
  std::vector<CPolygon> polys;
  for (Int32 j = 0; j < n; ++j) {
    polys.emplace_back(0, 1, 2, 3);
    s.uvs.emplace_back(at(j, 0.3), at(j + 1, 0.3), at(j + 1, 0.45), at(j, 0.45));
  }
  Build(s, {Vector(), Vector(), Vector(), Vector()}, polys, Muvpoints);
  hostrt::UVPointSelection(s.op)->Select(0);
  hostrt::UVPointSelection(s.op)->Select(3);
  return s;
}

// A grid of side x side quads with every UV point selected: four edges on every quad.
Scene& GridScene(Int32 n) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[n];
  if (s.doc) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  const Int32 side = static_cast<Int32>(std::lround(std::sqrt(static_cast<Float>(n))));
  const Float q = 1.0 / side;
  std::vector<CPolygon> polys;
  for (Int32 r = 0; r < side; ++r)
    for (Int32 c = 0; c < side; ++c) {
      polys.emplace_back(0, 1, 2, 3);
      s.uvs.emplace_back(Vector(c * q, r * q, 0), Vector((c + 1) * q, r * q, 0),
                         Vector((c + 1) * q, (r + 1) * q, 0), Vector(c * q, (r + 1) * q, 0));
    }
  Build(s, {Vector(), Vector(), Vector(), Vector()}, polys, Muvpoints);
  hostrt::UVPointSelection(s.op)->SelectAll(0, 4 * side * side - 1);
  return s;
}

template <Scene& (*Make)(Int32)>
void BM_LoopSelect(benchmark::State& state) {
  Scene& s = Make(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    if (!LoopSelectPolygons()) state.SkipWithError("loop select refused");
    state.PauseTiming();
    if (s.op->GetPolygonS()->GetCount() != s.op->GetPolygonCount())
      state.SkipWithError("the loop does not cover the mesh");
    s.op->GetPolygonS()->DeselectAll();
    s.doc->SetMode(Muvpoints);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * s.op->GetPolygonCount());
}

}  // namespace

BENCHMARK(BM_RealAreaAreaMode)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RealAreaTextureMode)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LoopSelect, RingScene)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LoopSelect, GridScene)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
