// Create UVmesh, the transfer tag's model-mode evaluation and its rebuild on welded grids of
// 10k, 100k and 1M quads, in a document of the host.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "TransferTAG.h"
#include "UVMesh.h"
#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"
#include "runtime/host.h"
#include "runtime/registry.h"
#include "runtime/scene.h"

namespace {

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = [] {
    InitOS(&host);
    SetPluginPath(Filename(PELTERRA_PLUGIN_DIR));
    return g_resource.Init(GeGetPluginPath()) && RegisterTransferTAG() &&
           hostrt::Registry::Get().Find(ID_TRANSFERTAG) != nullptr;
  }();
  if (!ready) std::abort();
  return host;
}

struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* source = nullptr;
  PolygonObject* mesh = nullptr;  // made once, for the evaluation and the rebuild
};

// A k × k grid of quads on shared points, 2 wide in x, UVs tiling the unit square; its UV mesh.
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
  s.source = PolygonObject::Alloc((k + 1) * (k + 1), k * k);
  auto* tag = UVWTag::Alloc(k * k);
  for (Int32 r = 0; r <= k; ++r)
    for (Int32 c = 0; c <= k; ++c)
      s.source->GetPointW()[r * (k + 1) + c] = Vector(2.0 * c / k, 0, 2.0 * r / k);
  const UVWHandle uv = tag->GetDataAddressW();
  for (Int32 r = 0; r < k; ++r)
    for (Int32 c = 0; c < k; ++c) {
      const Int32 p = r * k + c, a = r * (k + 1) + c;
      s.source->GetPolygonW()[p] = CPolygon(a, a + 1, a + k + 2, a + k + 1);
      const Float u0 = Float(c) / k, u1 = Float(c + 1) / k, v0 = Float(r) / k,
                  v1 = Float(r + 1) / k;
      UVWTag::Set(
          uv, p,
          UVWStruct(Vector(u0, v0, 0), Vector(u1, v0, 0), Vector(u1, v1, 0), Vector(u0, v1, 0)));
    }
  s.source->InsertTag(tag);
  tag->SetBit(BIT_ACTIVE);
  s.doc->InsertObject(s.source, nullptr, nullptr);
  s.doc->SetActiveObject(s.source);
  if (!CreateUVmesh()) std::abort();
  s.mesh = static_cast<PolygonObject*>(s.source->GetNext());
  s.doc->FlushUndoBuffer();
  return s;
}

void BM_CreateUVmesh(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(CreateUVmesh());
    state.PauseTiming();
    s.doc->DoUndo();
    s.doc->FlushUndoBuffer();  // frees the mesh the undo took out
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * s.source->GetPolygonCount());
}

void BM_EvaluateModelMode(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  s.doc->SetMode(Mmodel);
  for (auto _ : state) benchmark::DoNotOptimize(hostrt::EvaluateScene(*s.doc).tagErrors);
  state.SetItemsProcessed(state.iterations() * s.source->GetPolygonCount());
}

void BM_EvaluatePointsMode(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  s.doc->SetMode(Mpoints);
  s.mesh->GetPointS()->DeselectAll();
  s.mesh->GetPointS()->SelectAll(0, s.mesh->GetPointCount() / 10);
  for (auto _ : state) benchmark::DoNotOptimize(hostrt::EvaluateScene(*s.doc).tagErrors);
  s.doc->SetMode(Mmodel);
  state.SetItemsProcessed(state.iterations() * s.source->GetPolygonCount());
}

void BM_Rebuild(benchmark::State& state) {
  Scene& s = GridScene(static_cast<Int32>(state.range(0)));
  auto* tag = static_cast<UVWTag*>(s.source->GetTag(Tuvw));
  for (auto _ : state) benchmark::DoNotOptimize(RebuildUVMesh(*s.mesh, *s.source, *tag, 2.0));
  state.SetItemsProcessed(state.iterations() * s.source->GetPolygonCount());
}

}  // namespace

BENCHMARK(BM_CreateUVmesh)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateModelMode)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluatePointsMode)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rebuild)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
