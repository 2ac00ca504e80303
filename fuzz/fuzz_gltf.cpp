// The glTF reader on arbitrary bytes (a .glb when they start with its magic number, else a
// .gltf). A file that reads is saved without edits and must come back byte for byte; then its
// UVs are halved and saved again, which either is refused with a reason or reads back with the
// halved UVs. A file that is refused must leave the document empty.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "gltf_io.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::abort();
}

// A scratch folder of this process, in memory where possible, removed at exit.
const fs::path& Folder() {
  struct Scratch {
    fs::path dir;
    Scratch() {
      std::error_code ec;
      const fs::path shm("/dev/shm");
      dir = (fs::is_directory(shm, ec) ? shm : fs::temp_directory_path()) /
            ("pelterra_fuzz_gltf_" + std::to_string(getpid()));
      fs::create_directories(dir);
    }
    ~Scratch() {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  };
  static const Scratch scratch;
  return scratch.dir;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string suffix = bytes.rfind("glTF", 0) == 0 ? ".glb" : ".gltf";
  const std::string in = (Folder() / ("input" + suffix)).string();
  const std::string same = (Folder() / ("same" + suffix)).string();
  const std::string edited = (Folder() / ("edited" + suffix)).string();
  fs::remove(same);
  fs::remove(edited);
  std::ofstream(in, std::ios::binary | std::ios::trunc) << bytes;

  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  if (!pelterra::LoadGltf(in, *doc, error)) {
    if (error.empty()) Broken("a refused file gives no reason");
    if (doc->GetFirstObject()) Broken("a refused file changed the document");
    BaseDocument::Free(doc);
    return 0;
  }
  if (!pelterra::SaveGltf(*doc, same, error)) Broken("an unedited save failed: " + error);
  if (Read(same) != bytes) Broken("an unedited save changed the file");

  // Halve every UV, as a scale tool would.
  for (BaseObject* op = doc->GetFirstObject(); op; op = op->GetNext())
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
      if (t->GetType() != Tuvw) continue;
      auto* tag = static_cast<UVWTag*>(t);
      for (Int32 i = 0; i < tag->GetDataCount(); ++i) {
        UVWStruct s = tag->GetSlow(i);
        for (Int32 c = 0; c < 4; ++c) s[c] = Vector(s[c].x * 0.5, s[c].y * 0.5, s[c].z);
        tag->SetSlow(i, s);
      }
    }
  if (!pelterra::SaveGltf(*doc, edited, error)) {
    if (error.empty()) Broken("a refused save gives no reason");
    if (fs::exists(edited)) Broken("a refused save wrote a file");
  } else {
    BaseDocument* back = BaseDocument::Alloc();
    if (!pelterra::LoadGltf(edited, *back, error)) Broken("a saved file does not read: " + error);
    BaseObject* b = back->GetFirstObject();
    for (BaseObject* a = doc->GetFirstObject(); a; a = a->GetNext(), b = b->GetNext()) {
      if (!b) Broken("the saved file has fewer objects");
      for (Int32 n = 0; a->GetTag(Tuvw, n); ++n) {
        auto* u = static_cast<UVWTag*>(a->GetTag(Tuvw, n));
        auto* v = static_cast<UVWTag*>(b->GetTag(Tuvw, n));
        if (!v) Broken("the saved file lost a UVW tag");
        for (Int32 i = 0; i < u->GetDataCount(); ++i)
          for (Int32 c = 0; c < 3; ++c) {
            const Vector x = u->GetSlow(i)[c], y = v->GetSlow(i)[c];
            // Rounded to the component type: a float, or a step of a normalized integer.
            const double tol = 1e-7 * std::max(1.0, std::fabs(x.x) + std::fabs(x.y)) + 1.0 / 510;
            if (std::fabs(x.x - y.x) > tol || std::fabs(x.y - y.y) > tol)
              Broken("a saved UV reads back as another");
          }
      }
    }
    BaseDocument::Free(back);
  }
  BaseDocument::Free(doc);
  return 0;
}
