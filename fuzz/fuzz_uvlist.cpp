// The UV list readers on arbitrary bytes, read as an ASCII list and as a binary list onto a
// quad, a triangle and a quad, once onto all of them and once with only the triangle selected.
// Whatever the bytes, a reader writes only finite corners, never a triangle's spare d, and never
// a polygon outside the selection.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "UVList.h"
#include "c4d_hyperfile.h"
#include "c4d_os.h"
#include "runtime/host.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::abort();
}

// A scratch file of this process, removed at exit.
const fs::path& ScratchFile() {
  struct Scratch {
    fs::path file;
    Scratch() {
      std::error_code ec;
      const fs::path shm("/dev/shm");
      file = (fs::is_directory(shm, ec) ? shm : fs::temp_directory_path()) /
             ("pelterra_fuzz_uvlist_" + std::to_string(getpid()));
    }
    ~Scratch() {
      std::error_code ec;
      fs::remove(file, ec);
    }
  };
  static const Scratch scratch;
  return scratch.file;
}

void Host() {
  static hostrt::Host host;
  static const bool ready = InitOS(&host);
  if (!ready) Broken("the host's function table did not start");
}

const CPolygon kPolys[3] = {CPolygon(0, 1, 2, 3), CPolygon(4, 5, 6, 6), CPolygon(7, 8, 9, 10)};
const Vector kSpareD(5, 5, 0);

std::vector<UVWStruct> Start() {
  return {UVWStruct(Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(0, 1, 0)),
          UVWStruct(Vector(0.25, 0, 0), Vector(0.5, 0, 0), Vector(0.5, 0.5, 0), kSpareD),
          UVWStruct(Vector(2, 2, 1), Vector(3, 2, 1), Vector(3, 3, 1), Vector(2, 3, 1))};
}

UVlistTarget Target(std::vector<UVWStruct>& uv, const BaseSelect* selection) {
  UVlistTarget target;
  target.polys = kPolys;
  target.count = 3;
  target.uv = uv.data();
  target.selection = selection;
  return target;
}

bool SameBits(const Vector& a, const Vector& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void Check(const std::vector<UVWStruct>& before, const std::vector<UVWStruct>& after,
           const BaseSelect* selection, const char* reader) {
  for (Int32 p = 0; p < 3; ++p) {
    const UVWStruct& was = before[static_cast<size_t>(p)];
    const UVWStruct& now = after[static_cast<size_t>(p)];
    const bool tri = kPolys[p].c == kPolys[p].d;
    for (Int32 k = 0; k < 4; ++k) {
      if (SameBits(was[k], now[k])) continue;
      if (selection && !selection->IsSelected(p))
        Broken(std::string(reader) + ": a polygon outside the selection changed");
      if (tri && k == 3) Broken(std::string(reader) + ": a triangle's spare d was written");
      if (!std::isfinite(now[k].x) || !std::isfinite(now[k].y) || !std::isfinite(now[k].z))
        Broken(std::string(reader) + ": a corner that is not a finite number was written");
    }
  }
}

void ReadBoth(const BaseSelect* selection) {
  const Filename name(ScratchFile().string());
  {
    std::vector<UVWStruct> uv = Start();
    UVlistTarget target = Target(uv, selection);
    BaseFile* file = BaseFile::Alloc();
    if (file->Open(name, FILEOPEN_READ, FILEDIALOG_NONE, BYTEORDER_INTEL)) {
      UVlistLineReader reader;
      reader.file = file;
      reader.length = file->GetLength();
      ReadUVlistAscii(target, reader);
      Check(Start(), uv, selection, "ASCII list");
    }
    BaseFile::Free(file);
  }
  {
    std::vector<UVWStruct> uv = Start();
    UVlistTarget target = Target(uv, selection);
    HyperFile* hf = HyperFile::Alloc();
    if (hf->Open(kUVlistIdent, name, FILEOPEN_READ, FILEDIALOG_IGNOREOPEN)) {
      ReadUVlistBinary(target, *hf);
      Check(Start(), uv, selection, "binary list");
    }
    HyperFile::Free(hf);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  Host();
  {
    std::ofstream out(ScratchFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) Broken("the scratch file could not be written");
  }
  ReadBoth(nullptr);
  BaseSelect* triangleOnly = BaseSelect::Alloc();
  triangleOnly->Select(1);
  ReadBoth(triangleOnly);
  BaseSelect::Free(triangleOnly);
  return 0;
}
