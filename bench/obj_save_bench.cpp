// Saving an OBJ file whose one face is a large n-gon: as the loaded file (statement for statement)
// and from the host's data (export). Both grow linearly with the corner count; Complexity reports
// the fit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "c4d_basedocument.h"
#include "c4d_basetag.h"
#include "obj_io.h"

namespace {

namespace fs = std::filesystem;

// A circle of n corners with UVs, as one face.
std::string NgonFile(Int64 n) {
  std::string text = "o disc\n";
  for (Int64 i = 0; i < n; ++i) {
    const double a = 2.0 * 3.141592653589793 * static_cast<double>(i) / static_cast<double>(n);
    text += "v " + std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " 0\n";
    text += "vt " + std::to_string(0.5 + 0.5 * std::cos(a)) + " " +
            std::to_string(0.5 + 0.5 * std::sin(a)) + "\n";
  }
  text += "f";
  for (Int64 i = 1; i <= n; ++i) text += " " + std::to_string(i) + "/" + std::to_string(i);
  return text + "\n";
}

// Loads the n-gon file once per size; each run saves it, after a UV edit when asked so that
// the writer has corners to compare and rewrite.
void SaveNgon(benchmark::State& state, bool fromHostData) {
  const Int64 n = state.range(0);
  const fs::path dir =
      fs::temp_directory_path() / ("pelterra_ngon_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string in = (dir / "ngon.obj").string(), out = (dir / "out.obj").string();
  std::ofstream(in, std::ios::binary) << NgonFile(n);
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  if (!pelterra::LoadObj(in, *doc, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto* op = static_cast<PolygonObject*>(doc->GetFirstObject());
  auto* uvw = static_cast<UVWTag*>(op->GetTag(Tuvw));
  UVWStruct first = uvw->GetSlow(0);
  first.a.x += 0.25;  // the n-gon's first corner, shared by every fan triangle
  for (Int32 p = 0; p < op->GetPolygonCount(); ++p) {
    UVWStruct s = uvw->GetSlow(p);
    s.a = first.a;
    uvw->SetSlow(p, s);
  }
  BaseDocument* save = doc;
  if (fromHostData) {  // a document of its own holds only a copy, as export does
    save = BaseDocument::Alloc();
    save->InsertObject(static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_HIERARCHY, nullptr)),
                       nullptr, nullptr);
  }
  for (auto _ : state)
    if (!pelterra::SaveObj(*save, out, error)) state.SkipWithError(error.c_str());
  state.SetComplexityN(n);
  if (save != doc) BaseDocument::Free(save);
  BaseDocument::Free(doc);
  fs::remove_all(dir);
}

void BM_SaveNgonAsLoaded(benchmark::State& state) {
  SaveNgon(state, false);
}
void BM_SaveNgonFromHostData(benchmark::State& state) {
  SaveNgon(state, true);
}

BENCHMARK(BM_SaveNgonAsLoaded)
    ->RangeMultiplier(2)
    ->Range(15'000, 240'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_SaveNgonFromHostData)
    ->RangeMultiplier(2)
    ->Range(15'000, 240'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
