// The UV morph track on large meshes: filling a key with a snapshot, and evaluating the scene
// at a key and between two keys, through the host's evaluation.
#include <benchmark/benchmark.h>

#include <map>

#include "AUV.h"
#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "c4d_symbols.h"
#include "main.h"
#include "runtime/animation.h"
#include "runtime/host.h"
#include "runtime/registry.h"
#include "runtime/scene.h"

namespace {

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = [] {
    InitOS(&host);
    SetPluginPath(Filename(PELTERRA_PLUGIN_DIR));
    return RegisterAuvTrack();
  }();
  (void)ready;
  return host;
}

// A document with an object of n quads whose track has keys at frames 0 and 10 (25 fps).
struct Scene {
  BaseDocument* doc = nullptr;
  PolygonObject* op = nullptr;
  UVWTag* tag = nullptr;
  CTrack* track = nullptr;
};

void Layout(UVWTag* tag, Float scale) {
  const UVWHandle h = tag->GetDataAddressW();
  for (Int32 p = 0; p < h.count; ++p) {
    const Float u = (p % 1000) * 0.001 * scale, v = (p / 1000) * 0.001 * scale;
    UVWTag::Set(h, p,
                UVWStruct(Vector(u, v, 0), Vector(u + 0.001, v, 0), Vector(u + 0.001, v + 0.001, 0),
                          Vector(u, v + 0.001, 0)));
  }
}

Scene& SceneOf(Int32 quads) {
  static std::map<Int32, Scene> scenes;
  Scene& s = scenes[quads];
  if (s.doc) return s;
  s.doc = TheHost().NewDocument();
  s.doc->SetFps(25);
  s.op = PolygonObject::Alloc(4, quads);
  for (Int32 p = 0; p < quads; ++p) s.op->GetPolygonW()[p] = CPolygon(0, 1, 2, 3);
  s.tag = static_cast<UVWTag*>(s.op->MakeTag(Tuvw));
  s.doc->InsertObject(s.op, nullptr, nullptr);
  s.track = CTrack::Alloc(s.op, DescID(ID_AUVTRACK));
  s.op->InsertTrackSorted(s.track);
  CCurve* curve = s.track->GetCurve();
  Layout(s.tag, 1.0);
  FillMorphKey(curve->AddKey(BaseTime(0, 25)), s.op, s.tag);
  Layout(s.tag, 2.0);
  FillMorphKey(curve->AddKey(BaseTime(10, 25)), s.op, s.tag);
  return s;
}

void BM_FillKey(benchmark::State& state) {
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  CKey* key = CKey::Alloc();
  for (auto _ : state) benchmark::DoNotOptimize(FillMorphKey(key, s.op, s.tag));
  CKey::Free(key);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Evaluate(benchmark::State& state, Int32 frame) {
  Scene& s = SceneOf(static_cast<Int32>(state.range(0)));
  s.doc->SetTime(BaseTime(frame, 25));
  for (auto _ : state) {
    const hostrt::EvaluationReport r = hostrt::EvaluateScene(*s.doc);
    if (r.trackErrors) state.SkipWithError("the track failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EvaluateAtKey(benchmark::State& state) {
  Evaluate(state, 10);
}
void BM_EvaluateBetweenKeys(benchmark::State& state) {
  Evaluate(state, 5);
}

}  // namespace

BENCHMARK(BM_FillKey)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateAtKey)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateBetweenKeys)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
