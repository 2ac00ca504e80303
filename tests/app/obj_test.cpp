// Reading and writing OBJ files; expected values are worked out by hand from the files.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <thread>
#include <tuple>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "obj_grid.h"
#include "obj_io.h"
#include "printers.h"
#include "scenes.h"

namespace fs = std::filesystem;
using namespace pelterra;
using namespace std::string_literals;

namespace {

const fs::path kData = fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data";

struct DocPtr {
  BaseDocument* doc = BaseDocument::Alloc();
  ~DocPtr() { BaseDocument::Free(doc); }
  BaseDocument* operator->() const { return doc; }
  BaseDocument& operator*() const { return *doc; }
};

// A fresh folder per test, removed afterwards.
struct TempDir {
  fs::path path =
      fs::temp_directory_path() / ("pelterra_obj_" + std::to_string(getpid()) + "_" +
                                   testing::UnitTest::GetInstance()->current_test_info()->name());
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
  std::string File(const std::string& name, const std::string& content) const {
    std::ofstream(path / name, std::ios::binary) << content;
    return (path / name).string();
  }
  size_t Count() const {
    return size_t(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
  }
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

std::vector<Vector> Points(const PolygonObject& op) {
  return {op.GetPointR(), op.GetPointR() + op.GetPointCount()};
}
std::vector<CPolygon> Polygons(const PolygonObject& op) {
  return {op.GetPolygonR(), op.GetPolygonR() + op.GetPolygonCount()};
}
std::vector<UVWStruct> UVs(const PolygonObject& op) {
  auto* tag = static_cast<UVWTag*>(op.GetTag(Tuvw));
  std::vector<UVWStruct> r;
  for (Int32 i = 0; tag && i < tag->GetDataCount(); ++i) r.push_back(tag->GetSlow(i));
  return r;
}
std::vector<NormalStruct> Normals(const PolygonObject& op) {
  auto* tag = static_cast<NormalTag*>(op.GetTag(Tnormal));
  std::vector<NormalStruct> r;
  for (Int32 i = 0; tag && i < tag->GetDataCount(); ++i) r.push_back(tag->Get(i));
  return r;
}
// "material:restriction=polygons" per texture tag, in tag order.
std::vector<std::string> MaterialTags(const PolygonObject& op, BaseDocument& doc) {
  std::vector<std::string> r;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Ttexture) continue;
    BaseMaterial* m = static_cast<TextureTag*>(t)->GetMaterial(&doc);
    std::string restriction = t->GetDataInstance()->GetString(TEXTURETAG_RESTRICTION);
    std::string s = (m ? m->GetName() : "?") + ":" + restriction + "=";
    for (BaseTag* u = op.GetFirstTag(); u; u = u->GetNext())
      if (u->GetType() == Tpolygonselection && u->GetName() == restriction)
        for (Int32 p = 0; p < op.GetPolygonCount(); ++p)
          if (static_cast<SelectionTag*>(u)->GetBaseSelect()->IsSelected(p))
            s += std::to_string(p) + ",";
    r.push_back(s);
  }
  return r;
}
std::vector<std::string> MaterialNames(BaseDocument& doc) {
  std::vector<std::string> r;
  for (BaseMaterial* m = doc.GetFirstMaterial(); m; m = static_cast<BaseMaterial*>(m->GetNext()))
    r.push_back(m->GetName());
  return r;
}

void Load(BaseDocument& doc, const fs::path& path) {
  std::string error;
  ASSERT_TRUE(LoadObj(path.string(), doc, error)) << error;
}
void Save(BaseDocument& doc, const fs::path& path) {
  std::string error;
  ASSERT_TRUE(SaveObj(doc, path.string(), error)) << error;
}

NormalStruct AllCorners(const Vector& n) {
  NormalStruct s;
  for (Int32 k = 0; k < 4; ++k) s.Set(k, n);
  return s;
}

std::vector<std::string> GroupNames(const PolygonObject& op) {
  std::vector<std::string> r;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext())
    if (t->GetDataInstance()->GetBool(OBJ_GROUP)) r.push_back(t->GetName());
  return r;
}

// Every property the round trip must keep.
void ExpectSameDocuments(BaseDocument& a, BaseDocument& b) {
  auto oa = Objects(a), ob = Objects(b);
  ASSERT_EQ(oa.size(), ob.size());
  for (size_t i = 0; i < oa.size(); ++i) {
    SCOPED_TRACE(oa[i]->GetName());
    EXPECT_EQ(oa[i]->GetName(), ob[i]->GetName());
    EXPECT_EQ(Points(*oa[i]), Points(*ob[i]));
    EXPECT_EQ(Polygons(*oa[i]), Polygons(*ob[i]));
    EXPECT_EQ(UVs(*oa[i]), UVs(*ob[i]));
    EXPECT_EQ(oa[i]->GetNgons(), ob[i]->GetNgons());
    EXPECT_EQ(Normals(*oa[i]), Normals(*ob[i]));
    EXPECT_EQ(MaterialTags(*oa[i], a), MaterialTags(*ob[i], b));
    EXPECT_EQ(GroupNames(*oa[i]), GroupNames(*ob[i]));
  }
  EXPECT_EQ(MaterialNames(a), MaterialNames(b));
  EXPECT_EQ(a.GetDataInstance()->GetString(OBJ_MTLLIB), b.GetDataInstance()->GetString(OBJ_MTLLIB));
}

}  // namespace

TEST(ObjLoad, ObjectsPointsPolygonsUVsNormalsAndMaterials) {
  DocPtr doc;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(LoadObj((kData / "two_objects.obj").string(), *doc, error, &warnings)) << error;
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("two_objects.obj:3: mtllib missing.mtl: not found"), std::string::npos)
      << warnings[0];
  EXPECT_EQ(doc->GetDataInstance()->GetString(OBJ_MTLLIB), "missing.mtl");

  auto objects = Objects(*doc);
  ASSERT_EQ(objects.size(), 2u);
  const PolygonObject& roof = *objects[0];
  EXPECT_EQ(roof.GetName(), "Roof");
  EXPECT_EQ(Points(roof),
            (std::vector<Vector>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, -1}}));
  // f 1 2 3 4 -> a 1, b 4, c 3, d 2; f 2 5 3 -> 2, 3, 5.
  EXPECT_EQ(Polygons(roof), (std::vector<CPolygon>{{0, 3, 2, 1}, {1, 2, 4}}));
  EXPECT_EQ(UVs(roof),
            (std::vector<UVWStruct>{{{0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}},
                                    {{1, 1, 0}, {1, 0, 0}, {0.5, 0.75, 0.75}, {0.5, 0.75, 0.75}}}));
  EXPECT_EQ(Normals(roof),
            (std::vector<NormalStruct>{AllCorners({0, 0, -1}), AllCorners({0, 1, 0})}));
  EXPECT_EQ(MaterialTags(roof, *doc), (std::vector<std::string>{"red:red=0,", "blue:blue=1,"}));

  const PolygonObject& floor = *objects[1];
  EXPECT_EQ(floor.GetName(), "Floor");
  EXPECT_EQ(Points(floor), (std::vector<Vector>{{0, 0, 0}, {1, 0, 0}, {5, 5, -5}}));
  EXPECT_EQ(Polygons(floor), (std::vector<CPolygon>{{2, 0, 1}}));
  EXPECT_EQ(floor.GetTag(Tuvw), nullptr) << "no corner has a texture coordinate";
  EXPECT_EQ(floor.GetTag(Tnormal), nullptr);
  EXPECT_EQ(MaterialTags(floor, *doc), (std::vector<std::string>{"blue:blue=0,"}))
      << "usemtl runs on into the next object";
  EXPECT_EQ(MaterialNames(*doc), (std::vector<std::string>{"red", "blue"}));
}

TEST(ObjLoad, NgonsAndSummary) {
  DocPtr doc;
  Load(*doc, kData / "hexagon.obj");
  Load(*doc, kData / "two_objects.obj");
  auto objects = Objects(*doc);
  ASSERT_EQ(objects.size(), 3u) << "the second file is appended";
  const PolygonObject& hex = *objects[0];
  EXPECT_EQ(hex.GetName(), "hexagon") << "no o line: the file's stem; g Hex is a group";
  // Host order 1 6 5 4 3 2, fanned from the first corner.
  EXPECT_EQ(Polygons(hex), (std::vector<CPolygon>{{0, 5, 4}, {0, 4, 3}, {0, 3, 2}, {0, 2, 1}}));
  EXPECT_EQ(hex.GetNgons(), (std::vector<PolygonObject::Ngon>{{{0, 1, 2, 3}, {0, 5, 4, 3, 2, 1}}}));
  EXPECT_EQ(UVs(hex)[0], UVWStruct({0.75, 0.75, 0}, {0.625, 1, 0}, {0.375, 1, 0}, {0.375, 1, 0}));

  auto sum = Summarize(*doc);
  ASSERT_EQ(sum.size(), 3u);
  auto row = [](const auto& r) {
    return std::tuple(r.name, r.points, r.triangles, r.quads, r.ngons, r.hasUVs);
  };
  // n-gon polygons are not counted as triangles.
  EXPECT_EQ(row(sum[0]), std::tuple("hexagon", 6, 0, 0, 1, true));
  EXPECT_EQ(row(sum[1]), std::tuple("Roof", 5, 1, 1, 0, true));
  EXPECT_EQ(row(sum[2]), std::tuple("Floor", 3, 1, 0, 0, false));
  EXPECT_EQ(sum[0].uvMin, Vector(0.25, 0.5, 0));
  EXPECT_EQ(sum[0].uvMax, Vector(0.75, 1, 0));
  EXPECT_EQ(sum[1].uvMax, Vector(1, 1, 0.75));
}

// One quad and one triangle, spelled in the ways files in the wild spell them.
TEST(ObjLoad, SpellingsOfOneMeshLoadAlike) {
  const std::string pts = "o Mesh\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0.25\n";
  const std::string vts = "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
  const std::string quad = "f 1/1 2/2 3/3 4/4\n", plain = pts + vts + quad + "f 4/4 3/4 5/4\n";
  std::string crOnly = plain;
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  const std::vector<std::pair<const char*, std::string>> spellings = {
      {"plain", plain},
      {"crlf_tabs_spaces",
       "o Mesh\r\nv\t0   0\t\t0\r\n  v 1 0 0  \r\nv 1 1 0\r\nv 0 1 0\r\nv 0.5 2 0.25\r\n"
       "vt 0 0\r\nvt 1 0\r\nvt 1 1\r\nvt 0 1\r\n\r\nf  1/1\t2/2 3/3   4/4 \r\nf 4/4 3/4 5/4\r\n"},
      {"cr_only", crOnly},
      {"relative", pts + vts + "f -5/-4 -4/-3 -3/-2 -2/-1\nf -2/-1 -3/-1 -1/-1\n"},
      {"number_forms",
       "o Mesh\nv -0.000000 0.000000 -0.000000\nv 1.000000 +0 0e0\nv 1. 1 -0\nv .0 1E0 0\n"
       "v 5e-1 2.0 0.250000\nvt 0.0 -0.0\nvt 1 0\nvt 1 1.000\nvt 0 1\n" +
           quad + "f 4/4 3/4 5/4\n"},
      {"no_final_newline", plain.substr(0, plain.size() - 1)},
      {"vt_with_w", pts + "vt 0 0 0\nvt 1 0 0\nvt 1 1 0\nvt 0 1 0\n" + quad + "f 4/4 3/4 5/4\n"},
      {"triangle_without_vt", pts + vts + quad + "f 4 3 5\n"},
      {"utf8_mark_comments_missing_mtllib",
       "\xEF\xBB\xBF# exported\nmtllib gone.mtl\ns 1\n" + plain},
  };
  const std::vector<Vector> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 2, -0.25}};
  const std::vector<CPolygon> polygons = {{0, 3, 2, 1}, {3, 4, 2}};
  const std::vector<UVWStruct> uvs = {{{0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {}};
  TempDir dir;
  for (const auto& [name, text] : spellings) {
    SCOPED_TRACE(name);
    DocPtr doc;
    Load(*doc, dir.File(std::string(name) + ".obj", text));
    auto objects = Objects(*doc);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]->GetName(), "Mesh");
    EXPECT_EQ(Points(*objects[0]), points);
    EXPECT_EQ(Polygons(*objects[0]), polygons);
    EXPECT_EQ(UVs(*objects[0]), uvs);
  }
}

TEST(ObjLoad, NamesAndMaterialRuns) {
  TempDir dir;
  std::string path = dir.File("lonely tri.obj",
                              "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nusemtl a\nf 1 2 3\n"
                              "usemtl b\nf 1 2 3\nf 1 2 3 3 2\nusemtl a\nf 1 2 3\n"
                              "usemtl (null)\nf 1 2 3\no Empty\ng  Two  Words \nf 3 2 1\n");
  DocPtr doc;
  Load(*doc, path);
  Load(*doc, path);
  auto objects = Objects(*doc);
  ASSERT_EQ(objects.size(), 4u);
  EXPECT_EQ(objects[0]->GetName(), "lonely tri") << "faces before any o: the file's stem";
  EXPECT_EQ(objects[1]->GetName(), "Empty");
  // "g  Two  Words": the face is in two groups.
  std::vector<std::string> groups;
  for (BaseTag* t = objects[1]->GetFirstTag(); t; t = t->GetNext())
    if (t->GetDataInstance()->GetBool(OBJ_GROUP)) groups.push_back(t->GetName());
  EXPECT_EQ(groups, (std::vector<std::string>{"Two", "Words"}));
  EXPECT_EQ(MaterialNames(*doc), (std::vector<std::string>{"a", "b"})) << "one per name";
  // One selection per material, however many runs; the pentagon is polygons 3 to 5.
  for (PolygonObject* op : {objects[0], objects[2]})
    EXPECT_EQ(MaterialTags(*op, *doc), (std::vector<std::string>{"a:a=1,6,", "b:b=2,3,4,5,"}));
  EXPECT_TRUE(MaterialTags(*objects[1], *doc).empty()) << "after usemtl (null)";

  // Group runs that come back, the pentagon (polygons 2 to 4) among them, and "g" for none.
  DocPtr grouped;
  Load(*grouped, dir.File("groups.obj",
                          "v 0 0 0\nv 1 0 0\nv 0 1 0\ng x\nf 1 2 3\ng y x\nf 1 2 3\n"
                          "f 1 2 3 3 2\ng\nf 1 2 3\ng y\nf 1 2 3\n"));
  std::vector<std::string> selected;
  for (BaseTag* t = Objects(*grouped)[0]->GetFirstTag(); t; t = t->GetNext())
    if (t->GetDataInstance()->GetBool(OBJ_GROUP)) {
      std::string line = t->GetName() + "=";
      for (Int32 p = 0; p < 7; ++p)
        if (static_cast<SelectionTag*>(t)->GetBaseSelect()->IsSelected(p))
          line += std::to_string(p) + ",";
      selected.push_back(line);
    }
  EXPECT_EQ(selected, (std::vector<std::string>{"x=0,1,2,3,4,", "y=1,2,3,4,6,"}));
}

TEST(ObjLoad, BadFilesAreRefusedWithFileAndLine) {
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  // "v 1 2 3" in UTF-16, little and big endian.
  const std::string le("\xFF\xFEv\0 \0001\0 \0002\0 \0003\0\n\0", 18);
  const std::string be("\xFE\xFF\0v\0 \0001\0 \0002\0 \0003\0\n", 18);
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"v 1 2\n", 1, "v needs 3 to 7 numbers, found 2"},
      {"v 0 0 0\nv 1 2 abc\n", 2, "\"abc\" is not a number"},
      {"v 1e400 0 0\n", 1, "\"1e400\" is not a number"},
      {"vt 0.5 nan\n", 1, "\"nan\" is not a number"},
      {"vn 0 1\n", 1, "vn needs 3 numbers, found 2"},
      {tri + "f 1 2 4\n", 4, "position 4 does not exist (3 so far)"},
      {tri + "f 1 2 -4\n", 4, "position -4 does not exist"},
      {tri + "f 1 2 0\n", 4, "position index 0 is invalid"},
      {tri + "f 1 2\n", 4, "face has 2 corners"},
      {tri + "f 1 x 3\n", 4, "position index \"x\" is not a whole number"},
      {tri + "vt 0 0\nf 1/1 2/1 3/2\n", 5, "texture coordinate 2 does not exist (1 so far)"},
      {tri + "f 1//1 2//1 3//1\n", 4, "normal 1 does not exist (0 so far)"},
      {tri + "f 1/1/1/1 2 3\n", 4, "not of the form v, v/vt, v//vn or v/vt/vn"},
      {tri + "l 1 9\n", 4, "line corner 2: position 9 does not exist (3 so far)"},
      {tri + "p\n", 4, "point has 0 corners; a point needs at least 1"},
      // The lowest 64-bit index is read, not negated past the range; one above the highest is
      // not a whole number.
      {tri + "f 1 2 -9223372036854775808\n", 4,
       "face corner 3: position -9223372036854775808 does not exist (3 so far)"},
      {tri + "f 1 2 9223372036854775808\n", 4,
       "position index \"9223372036854775808\" is not a whole number"},
      {tri + "f 1 2 +-3\n", 4, "position index \"+-3\" is not a whole number"},
      // A lone CR ends line 4 and CRLF line 5.
      {tri + "f 1 2 3\rf 1 2 9\r\nf 1 2 3\n", 5, "position 9 does not exist (3 so far)"},
      {tri + "\n\n# fine so far\nf 1 2 3\nf 1 2 3 # comment\n", 8, "\"#\" is not a whole number"},
      {tri + "f 1 2 3\nv 0 0\0 0\n"s, 5, "NUL bytes"},
      {tri + "\0"s, 4, "NUL bytes"},
      {le, 0, "UTF-16"},
      {be, 0, "UTF-16"},
  };
  TempDir dir;
  for (const auto& [text, line, message] : cases) {
    SCOPED_TRACE(text);
    DocPtr doc;
    std::string error;
    ASSERT_TRUE(LoadBuiltinScene("cube", *doc, error));
    std::string path = dir.File("bad.obj", text);
    EXPECT_FALSE(LoadObj(path, *doc, error));
    std::string at = line ? ":" + std::to_string(line) + ": " : ": ";
    EXPECT_EQ(error.rfind(path + at, 0), 0u) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(Objects(*doc).size(), 1u) << "the document is unchanged";
    EXPECT_EQ(doc->GetFirstMaterial(), nullptr);
  }
  for (const fs::path& path : {dir.path / "absent.obj", dir.path}) {
    DocPtr doc;
    std::string error;
    EXPECT_FALSE(LoadObj(path.string(), *doc, error));
    EXPECT_EQ(error.rfind(path.string() + ": ", 0), 0u) << error;
  }
}

// Loads path on one thread and again with the text cut for the second reading thread at every
// byte: each cut gives the same document, warnings and error.
void ExpectEveryCutReadsAlike(const std::string& path) {
  DocPtr whole;
  std::string wholeError;
  std::vector<std::string> wholeWarnings;
  const bool ok =
      LoadObjSplit(path, *whole, wholeError, &wholeWarnings, nullptr, std::string::npos);
  const std::string text = Read(path);
  const size_t size = text.size();
  for (size_t cut = 1; cut <= size + 1; ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    DocPtr doc;
    std::string error;
    std::vector<std::string> warnings;
    bool twoThreads = false;
    ASSERT_EQ(LoadObjSplit(path, *doc, error, &warnings, nullptr, cut, &twoThreads), ok) << error;
    // A good file is read by both threads wherever a line starts after the cut; a bad one
    // again on one.
    EXPECT_EQ(twoThreads, ok && text.find('\n', cut - 1) != std::string::npos);
    EXPECT_EQ(error, wholeError);
    EXPECT_EQ(warnings, wholeWarnings);
    ExpectSameDocuments(*whole, *doc);
  }
}

TEST(ObjLoad, TwoReadingThreadsReadAsOne) {
  for (const auto& e : fs::recursive_directory_iterator(fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data"))
    if (e.path().extension() == ".obj") {
      SCOPED_TRACE(e.path().string());
      ExpectEveryCutReadsAlike(e.path().string());
    }
  TempDir dir;
  // Relative indices, objects, groups, materials, a missing library, lines and points, n-gons
  // and every line end, so that each kind of statement falls on both sides of a cut.
  const std::string mixed =
      "mtllib none.mtl\r\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
      "vn 0 0 1\no first\ng a b\nusemtl red\nf 1/1/1 2/2/1 3/3/1\rf -4/-3 -3/-2 -2/-1 -1/-1\n"
      "l 1 2 -1\np 3\nv 2 2 0\nusemtl (null)\ng\nf 5 1 2 3 4\n# comment\no\nusemtl blue\n"
      "f 1//1 2//1 5//1\n\n";
  ExpectEveryCutReadsAlike(dir.File("mixed.obj", mixed));
  // The first error wins wherever the cut falls: a bad index after the cut, a bad line after
  // it, and both.
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
  for (const std::string& bad :
       {tri + "f 1 2 3\nf 1 2 9\nv 0 0 1\nf 1 2 -5\n", tri + "f 1 2 3\nf 1/2 2/1 3/1\n",
        tri + "f 1 2 -4\nv 0 0\n", tri + "f 1 2 3\nv 0 0\nf 1 2 3\n", tri + "l 1 7\nf 1 2 x\n",
        tri + "f 1//1 2 3\n", tri + "f 1 2 3\nf 1 2 3000000000\n",
        tri + "f 1 2 3\nf 1/-3000000000 2 3\n", tri + "f 1 2 3\nv 0 0 1\nf 1 -1 -5\n"}) {
    SCOPED_TRACE(bad);
    ExpectEveryCutReadsAlike(dir.File("bad.obj", bad));
  }
}

TEST(ObjLoad, LargeFilesReadOnTwoThreadsAsOnOne) {
  // Above the size from which the file's halves are read on two threads.
  const int side = 260;
  std::string text = GridObjText(side);
  ASSERT_GT(text.size(), size_t{2} << 20);
  TempDir dir;
  const std::string path = dir.File("big.obj", text);
  DocPtr one, two;
  std::string e1, e2;
  ASSERT_TRUE(LoadObjSplit(path, *one, e1, nullptr, nullptr, std::string::npos)) << e1;
  bool twoThreads = false;
  ASSERT_TRUE(LoadObjSplit(path, *two, e2, nullptr, nullptr, 0, &twoThreads)) << e2;
  EXPECT_EQ(twoThreads, std::thread::hardware_concurrency() >= 2);
  ASSERT_EQ(Objects(*two).size(), 1u);
  EXPECT_EQ(Objects(*two)[0]->GetPolygonCount(), side * side);
  ExpectSameDocuments(*one, *two);
  // A bad index in the second half is found, with the line that a single walk names.
  text += "f 1 2 " + std::to_string((side + 1) * (side + 1) + 1) + "\n";
  const std::string badPath = dir.File("big_bad.obj", text);
  DocPtr three, four;
  EXPECT_FALSE(LoadObjSplit(badPath, *three, e1, nullptr, nullptr, std::string::npos));
  EXPECT_FALSE(LoadObjSplit(badPath, *four, e2, nullptr, nullptr, 0));
  EXPECT_EQ(e1, e2);
  EXPECT_NE(e2.find("does not exist"), std::string::npos) << e2;
}

// A loaded file larger than the pieces a save is written in: unedited it comes back byte for
// byte; one moved UV rewrites its vt line and nothing else; an object added since follows the
// file's statements, after a line end the file lacked.
TEST(ObjSave, LargeLoadedFilesAreWrittenInPiecesWithTheSameBytes) {
  std::string head = "# big\no big\n", vts, faces;
  const int side = 300;
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x) {
      head += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
      vts +=
          "vt " + std::to_string(x / double(side)) + " " + std::to_string(y / double(side)) + "\n";
    }
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int a = y * (side + 1) + x + 1, b = a + 1, c = a + side + 2, d = a + side + 1;
      faces += "f " + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(b) + "/" +
               std::to_string(b) + " " + std::to_string(c) + "/" + std::to_string(c) + " " +
               std::to_string(d) + "/" + std::to_string(d) + "\n";
    }
  faces.pop_back();  // no final line end
  const std::string text = head + vts + faces;
  ASSERT_GT(text.size(), size_t{4} << 20);
  TempDir dir;
  const std::string path = dir.File("big.obj", text);
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadObj(path, *doc, error)) << error;
  ASSERT_TRUE(SaveObj(*doc, (dir.path / "same.obj").string(), error)) << error;
  EXPECT_TRUE(Read(dir.path / "same.obj") == text);

  // Polygon 0 is face 1 (corners a, d, c, b in host order): its a is vt line 1, used by no
  // other face.
  PolygonObject* op = Objects(*doc)[0];
  auto* uvw = static_cast<UVWTag*>(op->GetTag(Tuvw));
  UVWStruct s = uvw->GetSlow(0);
  s.a = Vector(0.25, 1.0 - 0.5, 0.0);
  uvw->SetSlow(0, s);
  ASSERT_TRUE(SaveObj(*doc, (dir.path / "edited.obj").string(), error)) << error;
  const size_t firstVt = head.size();
  const std::string expected = head + "vt 0.25 0.5\n" + text.substr(text.find('\n', firstVt) + 1);
  EXPECT_TRUE(Read(dir.path / "edited.obj") == expected);

  PolygonObject* added = PolygonObject::Alloc(3, 1);
  added->SetName("extra");
  added->GetPointW()[1] = Vector(1, 0, 0);
  added->GetPointW()[2] = Vector(0, 1, 0);
  added->GetPolygonW()[0] = CPolygon(0, 1, 2);
  doc->InsertObject(added, nullptr, op);
  ASSERT_TRUE(SaveObj(*doc, (dir.path / "added.obj").string(), error)) << error;
  const std::string withAdded = Read(dir.path / "added.obj");
  ASSERT_TRUE(withAdded.starts_with(expected + "\no extra\n"));
  const Int64 points = Int64(side + 1) * (side + 1);
  EXPECT_NE(withAdded.find("\nf " + std::to_string(points + 1) + " " + std::to_string(points + 3) +
                           " " + std::to_string(points + 2) + "\n"),
            std::string::npos);
}

TEST(ObjSave, LoadSaveLoadKeepsTheDocument) {
  TempDir dir;
  // Values tinyobjloader's own number reading gets wrong (0.3 -> 0.30000000000000004).
  std::string odd = dir.File("odd.obj",
                             "o Odd\nv 0.3 0.1 0.7\nv 1.1 0.2 -0.3\nv 0.123456789 2.7 1e-7\n"
                             "vt 0.3 0.7\nvt 0.1 0.9\nvt 0.33333333333333331 0.6\n"
                             "vn 0.6 0.8 0.0\nf 1/1/1 2/2/1 3/3/1\n");
  DocPtr first;
  for (const fs::path& p : {kData / "two_objects.obj", kData / "hexagon.obj", fs::path(odd)})
    Load(*first, p);
  EXPECT_EQ(Points(*Objects(*first)[3])[0], Vector(0.3, 0.1, -0.7));
  EXPECT_EQ(UVs(*Objects(*first)[3])[0].a, Vector(0.3, 1 - 0.7, 0));

  fs::path out = dir.path / "round.obj";
  Save(*first, out);
  // The first file's statements, then the hexagon as one face again, after the file's 6 points
  // and 5 UVs, in its group.
  EXPECT_TRUE(Read(out).starts_with(Read(kData / "two_objects.obj")));
  EXPECT_NE(Read(out).find("\ng Hex\nf 7/6 8/7 9/8 10/9 11/10 12/11\n"), std::string::npos)
      << Read(out);
  DocPtr second;
  Load(*second, out);
  ExpectSameDocuments(*first, *second);
  fs::path again = dir.path / "again.obj";
  Save(*second, again);
  EXPECT_EQ(Read(out), Read(again));
}

// A document written from the host's data alone (here: one that forgot its file), in the
// file's own corner order, and what tinyobjloader reads from it.
TEST(ObjSave, TinyObjLoaderReadsTheSameContent) {
  DocPtr doc;
  Load(*doc, kData / "two_objects.obj");
  doc->GetDataInstance()->RemoveData(OBJ_SOURCE);
  TempDir dir;
  fs::path out = dir.path / "out.obj";
  Save(*doc, out);
  EXPECT_EQ(Read(out), Read(kData / "two_objects.saved.obj"));

  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warn, err;
  ASSERT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err,
                               out.string().c_str(), dir.path.string().c_str(), false))
      << err;
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[0].name, "Roof");
  EXPECT_EQ(shapes[1].name, "Floor");
  EXPECT_EQ(shapes[0].mesh.num_face_vertices, (std::vector<unsigned char>{4, 3}));
  // The corners of the source file, position / texture coordinate / normal values.
  struct Corner {
    Vector v, vt, vn;
  };
  const std::vector<Corner> roof = {
      {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}, {{1, 0, 0}, {1, 0, 0}, {0, 0, 1}},
      {{1, 1, 0}, {1, 1, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 0}, {0, 0, 1}},
      {{1, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{2, 0, 1}, {0.5, 0.25, 0}, {0, 1, 0}},
      {{1, 1, 0}, {1, 1, 0}, {0, 1, 0}},
  };
  auto at = [](const std::vector<tinyobj::real_t>& a, int i, int n) {
    return Vector(a[size_t(n * i)], a[size_t(n * i + 1)], n == 3 ? a[size_t(n * i + 2)] : 0.0);
  };
  // tinyobjloader's number reading is not correctly rounded: compare closely, not exactly.
  auto near = [](const Vector& a, const Vector& b) { return (a - b).GetLength() < 1e-12; };
  ASSERT_EQ(shapes[0].mesh.indices.size(), roof.size());
  for (size_t i = 0; i < roof.size(); ++i) {
    const tinyobj::index_t& idx = shapes[0].mesh.indices[i];
    EXPECT_TRUE(near(at(attrib.vertices, idx.vertex_index, 3), roof[i].v)) << i;
    EXPECT_TRUE(near(at(attrib.texcoords, idx.texcoord_index, 2), roof[i].vt)) << i;
    EXPECT_TRUE(near(at(attrib.normals, idx.normal_index, 3), roof[i].vn)) << i;
  }
  const std::vector<Vector> floor = {{5, 5, 5}, {1, 0, 0}, {0, 0, 0}};
  ASSERT_EQ(shapes[1].mesh.indices.size(), floor.size());
  for (size_t i = 0; i < floor.size(); ++i) {
    EXPECT_TRUE(near(at(attrib.vertices, shapes[1].mesh.indices[i].vertex_index, 3), floor[i]));
    EXPECT_EQ(shapes[1].mesh.indices[i].texcoord_index, -1);
  }
}

// The lines of objects written from the host's data come out the same on two threads, in blocks
// of any size, as on one: material and group runs across block ends, the first face after the
// last object's material, UVs and normals numbered in first-come order, n-gons.
TEST(ObjSave, LinesFormattedOnTwoThreadsAreTheLinesOfOne) {
  TempDir dir;
  std::string text =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0.5 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
      "vt 0 1\nvn 0 0 1\nvn 0.6 0.8 0\no runs\n";
  const char* materials[] = {"red", "blue", "(null)"};
  unsigned seed = 7;
  auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int f = 0; f < 60; ++f) {
    if (next(3) == 0) text += "usemtl "s + materials[next(3)] + "\n";
    if (next(5) == 0) text += next(2) ? "g side\n" : "g\n";
    switch (next(4)) {
      case 0:
        text += "f 1/1/1 2/2/1 3/3/2\n";
        break;
      case 1:
        text += "f 1/2 2/3 3/4 4/1\n";
        break;
      case 2:
        text += "f 1/1/2 2/2/2 5/3/1 3/4/1 4/1/2\n";
        break;
      default:
        text += "f 2 5 3\n";
        break;
    }
  }
  DocPtr doc;
  Load(*doc, dir.File("runs.obj", text));
  Load(*doc, kData / "two_objects.obj");
  Load(*doc, kData / "hexagon.obj");
  doc->GetDataInstance()->RemoveData(OBJ_SOURCE);
  std::string error;
  const fs::path one = dir.path / "one.obj";
  ASSERT_TRUE(SaveObj(*doc, one.string(), error, nullptr, false, std::string::npos)) << error;
  ASSERT_GT(Read(one).size(), 2000u);
  for (size_t block : {1, 2, 3, 5, 64}) {
    SCOPED_TRACE(block);
    const fs::path two = dir.path / "two.obj";
    ASSERT_TRUE(SaveObj(*doc, two.string(), error, nullptr, false, block)) << error;
    EXPECT_EQ(Read(two), Read(one));
  }
  DocPtr back;
  Load(*back, one);
  ExpectSameDocuments(*doc, *back);
}

TEST(ObjSave, ThreeHundredCornerFaceStaysOneFace) {
  std::string text = "o Disc\n";
  for (int i = 0; i < 300; ++i) {
    double a = 2 * std::numbers::pi * i / 300;
    text += "v " + std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " 0\n";
  }
  text += "f";
  for (int i = 1; i <= 300; ++i) text += " " + std::to_string(i);
  text += "\n";
  TempDir dir;
  DocPtr doc;
  Load(*doc, dir.File("disc.obj", text));
  const PolygonObject& disc = *Objects(*doc)[0];
  EXPECT_EQ(disc.GetPolygonCount(), 298);
  ASSERT_EQ(disc.GetNgonCount(), 1);
  const auto& ngon = disc.GetNgons()[0];
  EXPECT_EQ(ngon.polygons.size(), 298u);
  ASSERT_EQ(ngon.outline.size(), 300u);
  EXPECT_TRUE(ngon.outline[0] == 0 && ngon.outline[1] == 299 && ngon.outline[299] == 1);
  EXPECT_EQ(Summarize(*doc)[0].triangles, 0);

  fs::path out = dir.path / "out.obj";
  Save(*doc, out);
  std::ifstream in(out);
  std::vector<std::vector<int>> faces;
  tinyobj::callback_t cb;
  cb.index_cb = [](void* user, tinyobj::index_t* idx, int n) {
    auto& f = static_cast<std::vector<std::vector<int>>*>(user)->emplace_back();
    for (int i = 0; i < n; ++i) f.push_back(idx[i].vertex_index);
  };
  tinyobj::LoadObjWithCallback(in, cb, &faces);
  ASSERT_EQ(faces.size(), 1u);
  ASSERT_EQ(faces[0].size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(faces[0][size_t(i)], i + 1);
}

// Data a file cannot hold is refused before the file is touched, even when the target would
// fail too; a non-finite value the file does not hold (a triangle's d UV) is no refusal, and the
// file is the one written without it.
TEST(ObjSave, NonFiniteDataIsRefusedBeforeTheFileAndUnwrittenValuesAreNot) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  TempDir dir;
  const std::string old = "old content\n";
  const std::string target = dir.File("keep.obj", old);
  fs::create_directory(dir.path / "folder.obj");
  const std::string folder = (dir.path / "folder.obj").string();
  std::string error;
  {
    DocPtr doc;
    ASSERT_TRUE(LoadBuiltinScene("grid:4x4", *doc, error)) << error;
    PolygonObject* op = Objects(*doc)[0];
    op->GetPointW()[3] = Vector(1, nan, 0);
    for (const std::string& path : {target, folder}) {
      EXPECT_FALSE(SaveObj(*doc, path, error));
      EXPECT_NE(error.find("point 3 is not a finite number"), std::string::npos) << error;
    }
  }
  {
    DocPtr doc;
    ASSERT_TRUE(LoadBuiltinScene("grid:4x4", *doc, error)) << error;
    auto* uvw = static_cast<UVWTag*>(Objects(*doc)[0]->GetTag(Tuvw));
    UVWStruct s = uvw->GetSlow(5);
    s.b = Vector(nan, 0, 0);
    uvw->SetSlow(5, s);
    for (const std::string& path : {target, folder}) {
      EXPECT_FALSE(SaveObj(*doc, path, error));
      EXPECT_NE(error.find("a UV or normal is not a finite number"), std::string::npos) << error;
    }
  }
  EXPECT_EQ(Read(target), old);
  EXPECT_EQ(dir.Count(), 2u) << "no temporary file is left";

  DocPtr doc;
  ASSERT_TRUE(LoadBuiltinScene("grid:4x4", *doc, error)) << error;
  PolygonObject* op = Objects(*doc)[0];
  op->GetPolygonW()[2].d = op->GetPolygonR()[2].c;  // a triangle
  ASSERT_TRUE(SaveObj(*doc, (dir.path / "finite.obj").string(), error)) << error;
  auto* uvw = static_cast<UVWTag*>(op->GetTag(Tuvw));
  UVWStruct s = uvw->GetSlow(2);
  s.d = Vector(nan, nan, 0);
  uvw->SetSlow(2, s);
  ASSERT_TRUE(SaveObj(*doc, (dir.path / "unwritten.obj").string(), error)) << error;
  EXPECT_EQ(Read(dir.path / "unwritten.obj"), Read(dir.path / "finite.obj"));
}

TEST(ObjSave, FailedSavesLeaveTheOldFileAndNoTemporaryFile) {
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadBuiltinScene("grid:8x8", *doc, error));
  TempDir dir;
  const std::string old = "old content\n";
  std::string target = dir.File("keep.obj", old);

  std::string missing = (dir.path / "no such folder" / "x.obj").string();
  EXPECT_FALSE(SaveObj(*doc, missing, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;

  fs::create_directory(dir.path / "folder.obj");
  std::string folder = (dir.path / "folder.obj").string();
  EXPECT_FALSE(SaveObj(*doc, folder, error)) << "a folder cannot be replaced by the file";
  EXPECT_NE(error.find(folder), std::string::npos) << error;

#ifndef _WIN32
  {  // A write that runs into the file size limit.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = SaveObj(*doc, target, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(target), std::string::npos) << error;
  }
  EXPECT_EQ(Read(target), old);

  if (geteuid() != 0) {  // root writes into read-only folders anyway
    fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(SaveObj(*doc, target, error));
    fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Read(target), old);
  }
#else
  [] { GTEST_SKIP() << "file size limits and folder mode bits are Linux facilities"; }();
#endif
  EXPECT_EQ(dir.Count(), 2u) << "no temporary file is left";

  ASSERT_TRUE(SaveObj(*doc, target, error)) << error;
  EXPECT_NE(Read(target), old);
  EXPECT_EQ(dir.Count(), 2u);
}

TEST(ObjTags, NormalsAndSelectionsFollowCloneAndUndo) {
  DocPtr doc;
  Load(*doc, kData / "two_objects.obj");
  PolygonObject* roof = Objects(*doc)[0];
  auto* normals = static_cast<NormalTag*>(roof->GetTag(Tnormal));
  auto* sel = static_cast<SelectionTag*>(roof->GetTag(Tpolygonselection));
  ASSERT_TRUE(normals && sel);

  auto* clone = static_cast<PolygonObject*>(roof->GetClone(COPYFLAGS_0, nullptr));
  EXPECT_EQ(Normals(*clone), Normals(*roof));
  EXPECT_EQ(MaterialTags(*clone, *doc), MaterialTags(*roof, *doc));
  BaseObject* c = clone;
  BaseObject::Free(c);

  const auto before = Normals(*roof);
  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, roof);
  doc->EndUndo();
  normals->Set(0, NormalStruct());
  sel->GetBaseSelect()->Select(1);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(Normals(*roof), before);
  EXPECT_FALSE(sel->GetBaseSelect()->IsSelected(1));
}
