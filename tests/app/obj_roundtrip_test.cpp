// Loaded OBJ files written back: statement for statement, with only UV data changed after a UV
// edit. The files in data/objs have the shapes of real exports. tinyobjloader reads both files
// independently of the application's reader.
#include <gtest/gtest.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "obj_io.h"
#include "printers.h"
#include "scenes.h"

namespace fs = std::filesystem;
using namespace pelterra;

namespace {

const fs::path kObjs = fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs";

struct DocPtr {
  BaseDocument* doc = BaseDocument::Alloc();
  ~DocPtr() { BaseDocument::Free(doc); }
  BaseDocument* operator->() const { return doc; }
  BaseDocument& operator*() const { return *doc; }
};

struct TempDir {
  fs::path path =
      fs::temp_directory_path() / ("pelterra_rt_" + std::to_string(getpid()) + "_" +
                                   testing::UnitTest::GetInstance()->current_test_info()->name());
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
};

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<PolygonObject*> Objects(BaseDocument& doc) {
  std::vector<PolygonObject*> r;
  for (BaseObject* op = doc.GetFirstObject(); op; op = op->GetNext())
    r.push_back(static_cast<PolygonObject*>(op));
  return r;
}

UVWTag* UVTag(PolygonObject* op) {
  return static_cast<UVWTag*>(op->GetTag(Tuvw));
}

// "name=polygons" of each group tag, in tag order.
std::vector<std::string> Groups(const PolygonObject& op) {
  std::vector<std::string> r;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tpolygonselection || !t->GetDataInstance()->GetBool(OBJ_GROUP)) continue;
    std::string s = t->GetName() + "=";
    for (Int32 p = 0; p < op.GetPolygonCount(); ++p)
      if (static_cast<SelectionTag*>(t)->GetBaseSelect()->IsSelected(p))
        s += std::to_string(p) + ",";
    r.push_back(s);
  }
  return r;
}

void Load(BaseDocument& doc, const fs::path& path) {
  std::string error;
  ASSERT_TRUE(LoadObj(path.string(), doc, error)) << error;
}

// One statement of a file, read as simply as possible, with v, vt and vn references resolved.
struct Stmt {
  std::string text, eol, key;
  std::vector<std::array<long, 3>> corners;  // f, l, p: 0-based v, vt, vn; -1 none
};

std::vector<Stmt> Statements(const std::string& bytes) {
  std::vector<Stmt> out;
  long counts[3] = {0, 0, 0};
  size_t pos = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    size_t next = end;
    if (next < bytes.size()) next += bytes.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    Stmt s{bytes.substr(pos, end - pos), bytes.substr(end, next - end), "", {}};
    std::istringstream words(s.text);
    words >> s.key;
    if (s.key == "v") ++counts[0];
    if (s.key == "vt") ++counts[1];
    if (s.key == "vn") ++counts[2];
    if (s.key == "f" || s.key == "l" || s.key == "p") {
      std::string w;
      while (words >> w) {
        std::array<long, 3> c{-1, -1, -1};
        size_t i = 0;
        for (int k = 0; k < 3 && i <= w.size(); ++k) {
          size_t slash = std::min(w.find('/', i), w.size());
          if (slash > i) {
            long idx = std::stol(w.substr(i, slash - i));
            c[size_t(k)] = idx > 0 ? idx - 1 : counts[k] + idx;
          }
          i = slash + 1;
        }
        s.corners.push_back(c);
      }
    }
    out.push_back(s);
    pos = next;
  }
  return out;
}

// Every statement of saved is the one of original, in the same order, except that vt lines may
// be rewritten or added and f and l lines may refer to other vt lines. Returns how many face
// corners refer to a vt line whose text differs from the one they referred to.
size_t ExpectOnlyUVDataDiffers(const std::string& original, const std::string& saved) {
  std::vector<Stmt> a = Statements(original), b = Statements(saved);
  EXPECT_EQ(original.starts_with("\xEF\xBB\xBF"), saved.starts_with("\xEF\xBB\xBF"));
  std::vector<const Stmt*> ra, rb, uvA, uvB;
  for (const Stmt& s : a) (s.key == "vt" ? uvA : ra).push_back(&s);
  for (const Stmt& s : b) (s.key == "vt" ? uvB : rb).push_back(&s);
  auto uvText = [](const std::vector<const Stmt*>& uvs, long i) {
    return i < 0 ? std::string("none") : uvs.at(size_t(i))->text;
  };
  EXPECT_EQ(ra.size(), rb.size()) << "statements other than vt lines were added or dropped";
  size_t differing = 0;
  for (size_t i = 0; i < std::min(ra.size(), rb.size()); ++i) {
    const Stmt& x = *ra[i];
    const Stmt& y = *rb[i];
    EXPECT_EQ(x.eol, y.eol) << "line end of: " << x.text;
    if (x.text != y.text) {
      EXPECT_TRUE(x.key == "f" || x.key == "l") << "changed: " << x.text << " -> " << y.text;
    }
    EXPECT_EQ(x.corners.size(), y.corners.size()) << y.text;
    for (size_t k = 0; k < std::min(x.corners.size(), y.corners.size()); ++k) {
      EXPECT_EQ(x.corners[k][0], y.corners[k][0]) << "position of " << y.text;
      EXPECT_EQ(x.corners[k][2], y.corners[k][2]) << "normal of " << y.text;
      differing += uvText(uvA, x.corners[k][1]) != uvText(uvB, y.corners[k][1]);
    }
  }
  return differing;
}

// What tinyobjloader reads: per face corner, position and normal values.
std::vector<std::vector<float>> TinyGeometry(const fs::path& file) {
  tinyobj::ObjReaderConfig config;
  config.triangulate = false;
  config.mtl_search_path = "/nonexistent/";
  tinyobj::ObjReader reader;
  EXPECT_TRUE(reader.ParseFromFile(file.string(), config)) << reader.Error();
  std::vector<std::vector<float>> faces;
  const auto& attrib = reader.GetAttrib();
  for (const auto& shape : reader.GetShapes()) {
    size_t at = 0;
    for (unsigned char n : shape.mesh.num_face_vertices) {
      std::vector<float> f;
      for (size_t k = 0; k < n; ++k) {
        const tinyobj::index_t idx = shape.mesh.indices[at + k];
        for (int c = 0; c < 3; ++c) {
          f.push_back(float(attrib.vertices[size_t(3 * idx.vertex_index + c)]));
          f.push_back(idx.normal_index < 0
                          ? -9.0f
                          : float(attrib.normals[size_t(3 * idx.normal_index + c)]));
        }
      }
      at += n;
      faces.push_back(f);
    }
  }
  return faces;
}

// UVs of every object, in object and polygon order.
std::vector<UVWStruct> AllUVs(BaseDocument& doc) {
  std::vector<UVWStruct> r;
  for (PolygonObject* op : Objects(doc))
    if (UVWTag* t = UVTag(op))
      for (Int32 i = 0; i < t->GetDataCount(); ++i) r.push_back(t->GetSlow(i));
  return r;
}

// Changes one UV corner of polygon p of op.
void SetUV(PolygonObject* op, Int32 p, Int32 corner, const Vector& uv) {
  UVWStruct s = UVTag(op)->GetSlow(p);
  s[corner] = uv;
  UVWTag::Set(UVTag(op)->GetDataAddressW(), p, s);
}

}  // namespace

TEST(ObjRoundTrip, UnchangedFilesComeBackByteForByte) {
  TempDir dir;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(kObjs)) files.push_back(e.path());
  for (const char* f : {"two_objects.obj", "hexagon.obj"}) files.push_back(kObjs.parent_path() / f);
  ASSERT_GE(files.size(), 5u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    DocPtr doc;
    Load(*doc, file);
    std::string error, note;
    const fs::path out = dir.path / "out.obj";
    ASSERT_TRUE(SaveObj(*doc, out.string(), error, &note)) << error;
    EXPECT_EQ(note, "");
    EXPECT_EQ(Read(out), Read(file));
  }
}

TEST(ObjRoundTrip, ObjectsGroupsAndSharedPointsInTheHost) {
  DocPtr doc;
  Load(*doc, kObjs / "chair.obj");
  auto objects = Objects(*doc);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0]->GetName(), "Chair");
  EXPECT_EQ(objects[1]->GetName(), "Cushion");
  // Seat and back share points 3 and 4: one object, each shared point once, the unused one left
  // out of the host.
  EXPECT_EQ(objects[0]->GetPointCount(), 7);
  EXPECT_EQ(objects[0]->GetPolygonCount(), 4);
  EXPECT_EQ(Groups(*objects[0]), (std::vector<std::string>{"seat=0,3,", "back=1,2,3,"}));
  EXPECT_TRUE(Groups(*objects[1]).empty()) << "an o line ends the groups";
  // The quad whose corner repeats is a triangle for the host; its fourth corner keeps its own UV.
  const UVWStruct degenerate = UVTag(objects[0])->GetSlow(2);
  EXPECT_EQ(objects[0]->GetPolygonR()[2].c, objects[0]->GetPolygonR()[2].d);
  EXPECT_EQ(degenerate.d, Vector(0.75, 0.75, 0));
  EXPECT_EQ(degenerate.c, Vector(0.25, 0.9, 0));

  DocPtr table;
  Load(*table, kObjs / "table_crlf.obj");
  auto t = Objects(*table);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0]->GetName(), "table_crlf") << "a file without o: the file's stem";
  EXPECT_EQ(t[0]->GetPointCount(), 6);
  EXPECT_EQ(Groups(*t[0]), (std::vector<std::string>{"left=0,", "right=1,"}));
  EXPECT_EQ(table->GetDataInstance()->GetString(OBJ_MTLLIB), "my\\ lib.mtl")
      << "one library whose name has a blank";
}

// Each case edits UVs as a tool would, then the file is saved, compared statement by statement
// with the original and read back.
TEST(ObjRoundTrip, AfterAUVEditOnlyUVDataDiffers) {
  struct Case {
    const char* file;
    std::function<void(BaseDocument&)> edit;
    size_t changedCorners;  // face corners whose texture coordinate is another now
    size_t addedLines;      // vt lines added for corners that part from their line's others
  };
  const Case cases[] = {
      {"chair.obj",
       [](BaseDocument& doc) {
         PolygonObject* chair = Objects(doc)[0];
         for (Int32 k = 0; k < 4; ++k) {  // the seat moves right; its vt lines are shared
           UVWStruct s = UVTag(chair)->GetSlow(0);
           SetUV(chair, 0, k, s[k] + Vector(0.25, 0, 0));
         }
         SetUV(chair, 2, 3, Vector(0.3, 0.3, 0));  // the repeated corner of the degenerate quad
         // The pentagon's first corner, in each of its fan triangles.
         for (Int32 p = 0; p < 3; ++p) SetUV(Objects(doc)[1], p, 0, Vector(0.1, 0.2, 0));
       },
       6, 6},
      {"table_crlf.obj",
       [](BaseDocument& doc) {
         PolygonObject* op = Objects(doc)[0];
         for (Int32 k = 0; k < 4; ++k) {  // the right quad moves down
           UVWStruct s = UVTag(op)->GetSlow(1);
           SetUV(op, 1, k, s[k] + Vector(0, 0.5, 0));
         }
       },
       4, 2},
      {"spellings.obj",
       [](BaseDocument& doc) {
         PolygonObject* op = Objects(doc)[0];
         SetUV(op, 1, 0, Vector(0.5, 0.5, 0));  // faces without vt references get them
         SetUV(op, 2, 1, Vector(0.25, 0.75, 0.5));
       },
       2, 2},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    DocPtr doc;
    Load(*doc, kObjs / c.file);
    const std::vector<UVWStruct> before = AllUVs(*doc);
    c.edit(*doc);
    const std::vector<UVWStruct> edited = AllUVs(*doc);
    const fs::path out = dir.path / c.file;
    std::string error, note;
    ASSERT_TRUE(SaveObj(*doc, out.string(), error, &note)) << error;
    EXPECT_EQ(note, "");
    const std::string original = Read(kObjs / c.file), saved = Read(out);
    EXPECT_EQ(ExpectOnlyUVDataDiffers(original, saved), c.changedCorners) << saved;
    size_t vtLines = 0;
    for (const Stmt& s : Statements(original)) vtLines += s.key == "vt";
    for (const Stmt& s : Statements(saved)) vtLines -= s.key == "vt";
    EXPECT_EQ(-vtLines, c.addedLines) << saved;
    EXPECT_EQ(TinyGeometry(out), TinyGeometry(kObjs / c.file));

    // Read back: changed UVs as the host held them (up to the rounding of 1 - v), the others
    // bit for bit as first read.
    DocPtr back;
    Load(*back, out);
    const std::vector<UVWStruct> again = AllUVs(*back);
    ASSERT_EQ(again.size(), edited.size());
    for (size_t p = 0; p < again.size(); ++p)
      for (Int32 k = 0; k < 4; ++k) {
        if (edited[p][k] == before[p][k])
          EXPECT_EQ(again[p][k], before[p][k]) << "polygon " << p << " corner " << k;
        else
          EXPECT_LT((again[p][k] - edited[p][k]).GetLength(), 1e-15)
              << "polygon " << p << " corner " << k;
      }
  }
}

TEST(ObjRoundTrip, NewUVLinesFollowTheFilesLineEndsAndRelativeIndices) {
  TempDir dir;
  DocPtr doc;
  Load(*doc, kObjs / "chair.obj");
  PolygonObject* cushion = Objects(*doc)[1];
  for (Int32 p = 0; p < cushion->GetPolygonCount(); ++p)
    for (Int32 k = 0; k < 4; ++k) SetUV(cushion, p, k, UVTag(cushion)->GetSlow(p)[k] * 0.5);
  PolygonObject* chair = Objects(*doc)[0];
  SetUV(chair, 0, 0, Vector(0.125, 0.5, 0));
  const fs::path out = dir.path / "chair.obj";
  std::string error;
  ASSERT_TRUE(SaveObj(*doc, out.string(), error)) << error;
  const std::string saved = Read(out);
  // The chair's new vt line follows its own vt lines, so the cushion's absolute references move
  // by one and its relative ones keep pointing at the lines just above the faces. Every cushion
  // vt line moved with all its users, so each is rewritten where it stands.
  EXPECT_NE(saved.find("vt 0.25 0.1\nvt 0.125 0.5\nvn 0 1 0\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\nf -5/-5 -4/-4 -3/-3 -1/-1 -2/-2\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\nf 9/10 10/11 13/14\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\nf 1/9/1 2/2/1 3/3/1 4/4/1\n"), std::string::npos) << saved;
  EXPECT_EQ(ExpectOnlyUVDataDiffers(Read(kObjs / "chair.obj"), saved), 9u);

  DocPtr table;
  Load(*table, kObjs / "table_crlf.obj");
  SetUV(Objects(*table)[0], 0, 3, Vector(0.5, 0.5, 0));  // shares its vt line with the right quad
  const fs::path crlf = dir.path / "table.obj";
  ASSERT_TRUE(SaveObj(*table, crlf.string(), error)) << error;
  const std::string t = Read(crlf);
  EXPECT_NE(t.find("vt 1 0.5\r\nvt 0.5 0.5\r\ng left\r\n"), std::string::npos) << t;
  EXPECT_EQ(t.find('\n'), t.find("\r\n") + 1) << "every line ends in CRLF";
  EXPECT_TRUE(t.ends_with("# done")) << "no line end is added at the end";
}

TEST(ObjRoundTrip, MovedPointsRenamedObjectsAndAddedObjects) {
  TempDir dir;
  DocPtr doc;
  Load(*doc, kObjs / "table_crlf.obj");
  PolygonObject* op = Objects(*doc)[0];
  op->GetPointW()[1] = Vector(1, 0.5, 0);  // file point 2: y up, z negated back
  std::string error, note;
  DocPtr extra;
  ASSERT_TRUE(LoadBuiltinScene("cube", *extra, error));
  auto* cube = static_cast<BaseObject*>(extra->GetFirstObject()->GetClone(COPYFLAGS_0, nullptr));
  doc->InsertObject(cube, nullptr, op);
  const fs::path out = dir.path / "table.obj";
  ASSERT_TRUE(SaveObj(*doc, out.string(), error, &note)) << error;
  EXPECT_EQ(note, "");
  const std::string saved = Read(out);
  EXPECT_NE(saved.find("\r\nv 1 0.5 0 0.2 0.8 0.2\r\n"), std::string::npos)
      << "the moved point keeps its colour\n"
      << saved;
  // The added cube follows the file's statements, after a line end the file's last line lacked.
  EXPECT_NE(saved.find("# done\r\no Cube\r\n"), std::string::npos) << saved;
  DocPtr back;
  Load(*back, out);
  ASSERT_EQ(Objects(*back).size(), 2u);
  EXPECT_EQ(Objects(*back)[0]->GetPointR()[1], Vector(1, 0.5, 0));
  EXPECT_EQ(Objects(*back)[1]->GetPolygonCount(), 6);
  for (Int32 i = 0; i < 8; ++i)
    EXPECT_EQ(Objects(*back)[1]->GetPointR()[i], static_cast<PolygonObject*>(cube)->GetPointR()[i]);
  EXPECT_EQ(AllUVs(*back).back(), UVTag(static_cast<PolygonObject*>(cube))->GetSlow(5));

  // An object added between the file's objects (as a UV mesh is, right after its source)
  // follows the file's statements too.
  DocPtr chair;
  Load(*chair, kObjs / "chair.obj");
  auto* mesh = static_cast<BaseObject*>(cube->GetClone(COPYFLAGS_0, nullptr));
  chair->InsertObject(mesh, nullptr, Objects(*chair)[0]);
  ASSERT_TRUE(SaveObj(*chair, out.string(), error, &note)) << error;
  EXPECT_EQ(note, "");
  EXPECT_TRUE(Read(out).starts_with(Read(kObjs / "chair.obj") + "usemtl (null)\no Cube\n") ||
              Read(out).starts_with(Read(kObjs / "chair.obj") + "o Cube\n"))
      << Read(out);
  mesh->Remove();
  BaseObject::Free(mesh);
  // Objects of the file in another order cannot be written into its statements.
  BaseObject* cushion = Objects(*chair)[1];
  cushion->Remove();
  chair->InsertObject(cushion, nullptr, nullptr);
  ASSERT_TRUE(SaveObj(*chair, out.string(), error, &note)) << error;
  EXPECT_NE(note.find("no longer in the file's order"), std::string::npos) << note;
  cushion->Remove();
  chair->InsertObject(cushion, nullptr, Objects(*chair)[0]);

  // Nor can a changed face structure: the whole document is written from the host's data, and
  // the note says why.
  Objects(*chair)[0]->SetName("Armchair");
  ASSERT_TRUE(SaveObj(*chair, out.string(), error, &note)) << error;
  EXPECT_EQ(note, "");
  EXPECT_NE(Read(out).find("\no Armchair\nv 0 0 0\n"), std::string::npos) << Read(out);
  CPolygon* polys = Objects(*chair)[1]->GetPolygonW();
  std::swap(polys[0].a, polys[0].b);
  ASSERT_TRUE(SaveObj(*chair, out.string(), error, &note)) << error;
  EXPECT_NE(note.find("\"Cushion\" changed"), std::string::npos) << note;
  EXPECT_TRUE(Read(out).starts_with("# Pelterra\nmtllib chair.mtl\no Armchair\n")) << Read(out);
  DocPtr generic;
  Load(*generic, out);
  EXPECT_EQ(Groups(*Objects(*generic)[0]), Groups(*Objects(*chair)[0]))
      << "groups survive the host's own writing";
}

// Renaming alone rewrites the object's o line and nothing else, also when faces before the
// first o line make an object of their own, and when faces without vt lines share the file.
TEST(ObjRoundTrip, ARenameBehindFacesWithoutAnObjectRewritesOnlyItsLine) {
  TempDir dir;
  const std::string text =
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\nf 3 2 1\n"
      "o second\nf 1/1 2/2 3/3\no third\n  f 1 2 3\n";
  const fs::path in = dir.path / "blocks.obj";
  std::ofstream(in, std::ios::binary) << text;
  DocPtr doc;
  Load(*doc, in);
  ASSERT_EQ(Objects(*doc).size(), 3u);
  Objects(*doc)[1]->SetName("renamed");
  const fs::path out = dir.path / "out.obj";
  std::string error, note;
  ASSERT_TRUE(SaveObj(*doc, out.string(), error, &note)) << error;
  EXPECT_EQ(note, "");
  std::string want = text;
  want.replace(want.find("o second"), 8, "o renamed");
  EXPECT_EQ(Read(out), want);
}
