// OBJ load and save of generated meshes: a square grid of quads with a UV per point, loaded into
// a document, saved statement for statement (a loaded file) and from the host's data, and one
// face of 60 000 corners.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "c4d_basedocument.h"
#include "c4d_os.h"
#include "obj_io.h"
#include "peak.h"
#include "runtime/host.h"

namespace {

namespace fs = std::filesystem;

hostrt::Host& TheHost() {
  static hostrt::Host host;
  static const bool ready = InitOS(&host);
  (void)ready;
  return host;
}

// The folder for the generated files: PELTERRA_BENCH_DIR when set (kept, for peak-memory runs
// of the application on the same files), otherwise the process's own, removed when it ends.
fs::path Folder() {
  struct Scratch {
    fs::path dir;
    bool keep = false;
    Scratch() {
      const char* given = std::getenv("PELTERRA_BENCH_DIR");
      keep = given && *given;
      dir = keep ? fs::path(given)
                 : fs::temp_directory_path() / ("pelterra_obj_bench_" + std::to_string(::getpid()));
      fs::create_directories(dir);
    }
    ~Scratch() {
      std::error_code ec;
      if (!keep) fs::remove_all(dir, ec);
    }
  };
  static const Scratch scratch;
  return scratch.dir;
}

// A grid of side x side quads (side = sqrt(quads)), v and vt per point, written once per size.
std::string GridFile(Int64 quads) {
  static std::map<Int64, std::string> files;
  std::string& path = files[quads];
  if (!path.empty()) return path;
  const Int64 side = std::llround(std::sqrt(static_cast<double>(quads)));
  path = (Folder() / ("grid" + std::to_string(quads) + ".obj")).string();
  std::ofstream out(path, std::ios::binary);
  out << "# grid\no grid\n";
  for (Int64 r = 0; r <= side; ++r)
    for (Int64 c = 0; c <= side; ++c)
      out << "v " << c * 0.013 << ' ' << r * 0.0071 << ' ' << std::sin(0.37 * c + 0.11 * r) << '\n';
  for (Int64 r = 0; r <= side; ++r)
    for (Int64 c = 0; c <= side; ++c)
      out << "vt " << static_cast<double>(c) / side << ' ' << static_cast<double>(r) / side << '\n';
  for (Int64 r = 0; r < side; ++r)
    for (Int64 c = 0; c < side; ++c) {
      const Int64 a = r * (side + 1) + c + 1, b = a + 1, d = a + side + 1, e = d + 1;
      out << "f " << a << '/' << a << ' ' << b << '/' << b << ' ' << e << '/' << e << ' ' << d
          << '/' << d << '\n';
    }
  return path;
}

// One face of n corners around a circle.
std::string NgonFile(Int64 n) {
  const std::string path = (Folder() / ("ngon" + std::to_string(n) + ".obj")).string();
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  for (Int64 i = 0; i < n; ++i) {
    const double t = 6.283185307179586 * static_cast<double>(i) / static_cast<double>(n);
    out << "v " << std::cos(t) << ' ' << std::sin(t) << " 0\nvt " << 0.5 + 0.5 * std::cos(t) << ' '
        << 0.5 + 0.5 * std::sin(t) << '\n';
  }
  out << 'f';
  for (Int64 i = 1; i <= n; ++i) out << ' ' << i << '/' << i;
  out << '\n';
  return path;
}

void BM_ObjLoad(benchmark::State& state) {
  ResetPeakMemory();
  TheHost();
  const std::string path = GridFile(state.range(0));
  state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
  for (auto _ : state) {
    BaseDocument* doc = BaseDocument::Alloc();
    std::string error;
    if (!pelterra::LoadObj(path, *doc, error)) state.SkipWithError(error.c_str());
    state.PauseTiming();
    BaseDocument::Free(doc);
    state.ResumeTiming();
  }
  PeakMemory(state);
}

// keep: the document keeps the file (a statement-for-statement save); otherwise a polygon object
// is in the document first, so the file is written from the host's data. edit: every UV is
// moved first, as a tool that moves all islands does.
void Save(benchmark::State& state, const std::string& source, bool keep, bool edit = false) {
  ResetPeakMemory();
  TheHost();
  BaseDocument* doc = BaseDocument::Alloc();
  if (!keep) doc->InsertObject(PolygonObject::Alloc(0, 0), nullptr, nullptr);
  std::string error;
  if (!pelterra::LoadObj(source, *doc, error)) state.SkipWithError(error.c_str());
  if (edit)
    if (auto* op = static_cast<PolygonObject*>(doc->GetFirstObject()))
      if (auto* uvw = static_cast<UVWTag*>(op->GetTag(Tuvw))) {
        UVWHandle h = uvw->GetDataAddressW();
        for (Int32 p = 0; p < h.count; ++p)
          for (Int32 k = 0; k < 4; ++k) h.data[p][k] = h.data[p][k] * 0.5 + Vector(0.25, 0.25, 0);
      }
  const std::string path = (Folder() / "saved.obj").string();
  for (auto _ : state)
    if (!pelterra::SaveObj(*doc, path, error)) state.SkipWithError(error.c_str());
  BaseDocument::Free(doc);
  PeakMemory(state);
}

void BM_ObjSaveLoaded(benchmark::State& state) {
  Save(state, GridFile(state.range(0)), true);
}
void BM_ObjSaveEdited(benchmark::State& state) {
  Save(state, GridFile(state.range(0)), true, true);
}
void BM_ObjSaveFromHost(benchmark::State& state) {
  Save(state, GridFile(state.range(0)), false);
}
void BM_ObjSaveNgonFromHost(benchmark::State& state) {
  Save(state, NgonFile(state.range(0)), false);
}

}  // namespace

BENCHMARK(BM_ObjLoad)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjSaveLoaded)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjSaveEdited)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjSaveFromHost)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjSaveNgonFromHost)->Arg(15'000)->Arg(60'000)->Unit(benchmark::kMillisecond);
