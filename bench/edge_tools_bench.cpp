// The edge stitch of every edge of a welded grid of 10k to 1M quads, in "Point" and in "Polygon"
// mode, and a polygon connect that moves every quad of a grid, through the UV tools dialog in a
// document of the host; and the edge hash alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "UVEdgeTools.h"
#include "UVtools.h"
#include "c4d_basedocument.h"
#include "c4d_neighbor.h"
#include "c4d_os.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "runtime/host.h"

namespace {

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = [] {
    InitOS(&host);
    SetPluginPath(Filename(PELTERRA_PLUGIN_DIR));
    return g_resource.Init(GeGetPluginPath());
  }();
  if (!ready) std::abort();
  return host;
}

UVtools& Dialog() {
  static UVtools* dlg = [] {
    TheHost();
    auto* d = new UVtools();
    if (!d->Open(DLG_TYPE_ASYNC, 1024239, -1, -1, 380, 500, 0)) std::abort();
    return d;
  }();
  return *dlg;
}

struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  std::vector<UVWStruct> uvs;
};

// k × k quads on shared points; each quad's UVs a cell of the unit square, shrunk a little
// about its centre so that every seam is torn and every stitch has work to do.
Scene& GridScene(Int32 quads) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[quads];
  if (s.doc) {
    TheHost().SetActiveDocument(s.doc);
    return s;
  }
  const Int32 k = static_cast<Int32>(std::lround(std::sqrt(Float(quads))));
  s.doc = TheHost().NewDocument();
  TheHost().SetActiveDocument(s.doc);
  s.op = PolygonObject::Alloc((k + 1) * (k + 1), k * k);
  s.tag = UVWTag::Alloc(k * k);
  const Float cell = 1.0 / k, in = 0.1 * cell;
  for (Int32 r = 0; r < k; ++r)
    for (Int32 c = 0; c < k; ++c) {
      const Int32 p = r * k + c, a = r * (k + 1) + c;
      s.op->GetPolygonW()[p] = CPolygon(a, a + 1, a + k + 2, a + k + 1);
      const Float u0 = c * cell + in, u1 = (c + 1) * cell - in;
      const Float v0 = r * cell + in, v1 = (r + 1) * cell - in;
      s.uvs.emplace_back(Vector(u0, v0, 0), Vector(u1, v0, 0), Vector(u1, v1, 0),
                         Vector(u0, v1, 0));
      s.tag->SetSlow(p, s.uvs.back());
    }
  s.op->InsertTag(s.tag);
  s.doc->InsertObject(s.op, nullptr, nullptr);
  s.doc->SetActiveObject(s.op);
  return s;
}

void Restore(Scene& s) {
  UVWHandle h = s.tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) UVWTag::Set(h, p, s.uvs[static_cast<size_t>(p)]);
  s.doc->FlushUndoBuffer();
}

void Stitch(benchmark::State& state, Int32 combo) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  UVtools& dlg = Dialog();
  ToolDialog tools(dlg);
  const Int32 n = s.op->GetPolygonCount();
  s.doc->SetMode(Medges);
  s.op->GetPolygonS()->SelectAll(0, n - 1);
  s.op->GetEdgeS()->SelectAll(0, 4 * n - 1);
  dlg.SetInt32(IDC_EDGE_STITCH_MODE, combo);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
    if (!StitchSelectedEdges(tools)) state.SkipWithError("the stitch refused");
  }
  state.counters["quads"] = n;
}

void BM_StitchEveryEdgePoint(benchmark::State& state) {
  Stitch(state, 0);
}
void BM_StitchEveryEdgePolygon(benchmark::State& state) {
  Stitch(state, 1);
}

// Quad 0's edge a-b is the target; the last quad's edge a-b is the joined edge; every quad but
// quad 0 is selected and moves.
void BM_ConnectEveryQuad(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  UVtools& dlg = Dialog();
  ToolDialog tools(dlg);
  const Int32 n = s.op->GetPolygonCount();
  s.doc->SetMode(Muvpoints);
  s.op->GetPolygonS()->DeselectAll();
  s.op->GetPolygonS()->SelectAll(1, n - 1);
  BaseSelect* points = hostrt::UVPointSelection(s.op);
  points->DeselectAll();
  for (Int32 i : {0, 1, 4 * (n - 1), 4 * (n - 1) + 1}) points->Select(i);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(s);
    state.ResumeTiming();
    if (!ConnectUVPolygons(tools, dlg.State<ConnectState>())) state.SkipWithError("refused");
  }
  dlg.SetTimer(0);
  state.counters["quads"] = n;
}

void BM_NeighborBuild(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    Neighbor nb;
    benchmark::DoNotOptimize(nb.Init(s.op->GetPointCount(), s.op->GetPolygonR(),
                                     s.op->GetPolygonCount()));
  }
}

BENCHMARK(BM_StitchEveryEdgePoint)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StitchEveryEdgePolygon)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectEveryQuad)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NeighborBuild)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
