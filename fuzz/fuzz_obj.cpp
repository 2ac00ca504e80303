// The OBJ reader on arbitrary bytes. A file that reads is written from the host's data and read
// back: it must give the same objects (names, points, polygons, n-gons, UVs, normals). A file
// that is refused must leave the document as it was.
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
#include "c4d_basetag.h"
#include "obj_io.h"

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
            ("pelterra_fuzz_obj_" + std::to_string(getpid()));
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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Near(double a, double b) {
  // A UV written from the host goes through 1 - v twice and may move in its last bits.
  return a == b || std::fabs(a - b) <= 1e-12 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

bool NearV(const Vector& a, const Vector& b) {
  return Near(a.x, b.x) && Near(a.y, b.y) && Near(a.z, b.z);
}

// Corners the host uses: a triangle's d only repeats c (a file quad whose last two corners share
// a point is such a triangle, and its fourth UV is not part of the model).
Int32 Used(const PolygonObject* op, Int32 poly) {
  return op->GetPolygonR()[poly].IsTriangle() ? 3 : 4;
}

void Compare(BaseDocument& a, BaseDocument& b) {
  BaseObject* x = a.GetFirstObject();
  BaseObject* y = b.GetFirstObject();
  for (int i = 0; x || y; ++i, x = x->GetNext(), y = y->GetNext()) {
    const std::string at = "object " + std::to_string(i) + ": ";
    if (!x || !y) Broken(at + "object count differs");
    auto* p = static_cast<PolygonObject*>(x);
    auto* q = static_cast<PolygonObject*>(y);
    if (p->GetName() != q->GetName()) Broken(at + "name differs");
    if (p->GetPointCount() != q->GetPointCount()) Broken(at + "point count differs");
    for (Int32 k = 0; k < p->GetPointCount(); ++k)
      if (!(p->GetPointR()[k] == q->GetPointR()[k])) Broken(at + "point differs");
    if (p->GetPolygonCount() != q->GetPolygonCount()) Broken(at + "polygon count differs");
    for (Int32 k = 0; k < p->GetPolygonCount(); ++k)
      if (!(p->GetPolygonR()[k] == q->GetPolygonR()[k])) Broken(at + "polygon differs");
    if (!(p->GetNgons() == q->GetNgons())) Broken(at + "n-gons differ");
    auto* u = static_cast<UVWTag*>(p->GetTag(Tuvw));
    auto* v = static_cast<UVWTag*>(q->GetTag(Tuvw));
    if (!u != !v) Broken(at + "UVW tag present in one only");
    for (Int32 k = 0; u && k < p->GetPolygonCount(); ++k) {
      const UVWStruct s = u->GetSlow(k), t = v->GetSlow(k);
      for (Int32 c = 0; c < Used(p, k); ++c)
        if (!NearV(s[c], t[c])) Broken(at + "UV of polygon " + std::to_string(k) + " differs");
    }
    auto* m = static_cast<NormalTag*>(p->GetTag(Tnormal));
    auto* n = static_cast<NormalTag*>(q->GetTag(Tnormal));
    if (!m != !n) Broken(at + "normal tag present in one only");
    for (Int32 k = 0; m && k < p->GetPolygonCount(); ++k) {
      const NormalStruct s = m->Get(k), t = n->Get(k);
      for (Int32 c = 0; c < Used(p, k); ++c)
        if (s.Has(c) != t.Has(c) || (s.Has(c) && !NearV(s[c], t[c])))
          Broken(at + "normal of polygon " + std::to_string(k) + " differs");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string in = (Folder() / "input.obj").string();
  const std::string out = (Folder() / "output.obj").string();
  std::ofstream(in, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  const bool loaded = pelterra::LoadObj(in, *doc, error);
  // Read again on two threads, cut where the last byte says: the same document or error.
  {
    const size_t cut = size == 0 ? 1 : 1 + data[size - 1] * size / 256;
    BaseDocument* halves = BaseDocument::Alloc();
    std::string why;
    if (pelterra::LoadObjSplit(in, *halves, why, nullptr, nullptr, cut) != loaded)
      Broken("two reading threads disagree with one on whether the file reads");
    if (why != error) Broken("two reading threads give another error: " + why);
    if (loaded) Compare(*doc, *halves);
    BaseDocument::Free(halves);
  }
  if (!loaded) {
    if (error.empty()) Broken("a refused file gives no reason");
    if (doc->GetFirstObject() || doc->GetFirstMaterial() ||
        !doc->GetDataInstance()->GetString(pelterra::OBJ_MTLLIB).empty())
      Broken("a refused file changed the document");
    BaseDocument::Free(doc);
    return 0;
  }
  // From the host's data: a copy of each object in a document that was not loaded from a file.
  BaseDocument* copy = BaseDocument::Alloc();
  BaseObject* pred = nullptr;
  for (BaseObject* op = doc->GetFirstObject(); op; op = op->GetNext()) {
    auto* c = static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_HIERARCHY, nullptr));
    copy->InsertObject(c, nullptr, pred);
    pred = c;
  }
  if (!pelterra::SaveObj(*copy, out, error)) {
    // Only what the host cannot write may refuse: a number that is not finite.
    if (error.find("not a finite number") == std::string::npos) Broken("save failed: " + error);
  } else {
    // Lines formatted on two threads in small blocks: the same file.
    const std::string small = (Folder() / "blocks.obj").string();
    const size_t block = 1 + (size == 0 ? 0 : data[0] % 3);
    if (!pelterra::SaveObj(*copy, small, error, nullptr, false, block))
      Broken("a save in blocks failed: " + error);
    if (ReadFile(small) != ReadFile(out)) Broken("a save in blocks wrote another file");
    BaseDocument* back = BaseDocument::Alloc();
    if (!pelterra::LoadObj(out, *back, error)) Broken("a written file does not read: " + error);
    // Objects read from a file without o lines are named after it: compare by position.
    for (BaseObject *a = doc->GetFirstObject(), *b = back->GetFirstObject(); a && b;
         a = a->GetNext(), b = b->GetNext())
      if (a->GetName().empty()) b->SetName("");
    Compare(*doc, *back);
    BaseDocument::Free(back);
  }
  BaseDocument::Free(copy);
  BaseDocument::Free(doc);
  return 0;
}
