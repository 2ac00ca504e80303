// UV list saves and loads, the EPS export and the UV point listing on large meshes, the tools
// running through their real frame in a document of the host.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "UVEps.h"
#include "UVList.h"
#include "UVListing.h"
#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "runtime/host.h"

namespace {

namespace fs = std::filesystem;

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = InitOS(&host);
  (void)ready;
  return host;
}

// A document whose active object is a grid of quads that share their corners, as a real
// layout does.
void MakeActive(Int32 quads) {
  static std::map<Int32, BaseDocument*> docs;
  BaseDocument*& doc = docs[quads];
  if (!doc) {
    doc = TheHost().NewDocument();
    PolygonObject* op = PolygonObject::Alloc(4, quads);
    op->SetName("grid");
    UVWTag* tag = UVWTag::Alloc(quads);
    const Int32 side = 1000;
    const Float s = 1.0 / side;
    for (Int32 i = 0; i < quads; ++i) {
      const Float u = (i % side) * s, v = (i / side) * s;
      op->GetPolygonW()[i] = CPolygon(0, 1, 2, 3);
      tag->SetSlow(i, UVWStruct(Vector(u, v, 0), Vector(u + s, v, 0), Vector(u + s, v + s, 0),
                                Vector(u, v + s, 0)));
    }
    op->InsertTag(tag);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
  }
  TheHost().SetActiveDocument(doc);
}

std::string File(const char* name) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("pelterra_bench_" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return (dir / name).string();
}

void BM_SaveAscii(benchmark::State& state) {
  MakeActive(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    TheHost().QueueFile(File("b.uva"));
    benchmark::DoNotOptimize(SaveUVlistAscii());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveAscii)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_SaveBinary(benchmark::State& state) {
  MakeActive(static_cast<Int32>(state.range(0)));
  for (auto _ : state) {
    TheHost().QueueFile(File("b.uvb"));
    benchmark::DoNotOptimize(SaveUVlistBinary());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveBinary)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void Load(benchmark::State& state, const char* name, Bool (*save)()) {
  MakeActive(static_cast<Int32>(state.range(0)));
  TheHost().QueueFile(File(name));
  save();
  for (auto _ : state) {
    TheHost().QueueFile(File(name));
    benchmark::DoNotOptimize(LoadUVlist());
    state.PauseTiming();
    TheHost().ActiveDocument()->FlushUndoBuffer();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
void BM_LoadAscii(benchmark::State& state) {
  Load(state, "l.uva", SaveUVlistAscii);
}
void BM_LoadBinary(benchmark::State& state) {
  Load(state, "l.uvb", SaveUVlistBinary);
}
BENCHMARK(BM_LoadAscii)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBinary)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ExportEps(benchmark::State& state) {
  MakeActive(static_cast<Int32>(state.range(0)));
  const EpsSettings eps;
  for (auto _ : state) {
    TheHost().QueueFile(File("b.eps"));
    benchmark::DoNotOptimize(ExportUVlistEps(eps));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExportEps)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Every corner of a grid of quads: four entries meet at each inner grid point.
void BM_Listing(benchmark::State& state) {
  const Int32 quads = static_cast<Int32>(state.range(0));
  std::vector<UVPointEntry> entries;
  const Int32 side = 500;
  const Float s = 1.0 / side;
  for (Int32 i = 0; i < quads; ++i) {
    const Float u = (i % side) * s, v = (i / side) * s;
    const Vector c[4] = {{u, v, 0}, {u + s, v, 0}, {u + s, v + s, 0}, {u, v + s, 0}};
    for (Int32 k = 0; k < 4; ++k) entries.push_back({c[k], i, k});
  }
  for (auto _ : state) benchmark::DoNotOptimize(UVPointListing(entries).size());
  state.SetItemsProcessed(state.iterations() * static_cast<Int64>(entries.size()));
}
BENCHMARK(BM_Listing)->Arg(250'000)->Unit(benchmark::kMillisecond);

}  // namespace
