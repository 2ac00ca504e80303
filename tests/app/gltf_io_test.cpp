// glTF scenes as documents: what loads into the host, byte-identical saves without edits, UV
// edits written into the texture coordinates' own bytes, and refused files and edits. The
// Khronos validator checks every file written.
#include "gltf_io.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "gltf_scene.h"
#include "obj_io.h"
#include "run_program.h"
#include "shell.h"

namespace fs = std::filesystem;
using namespace pelterra;
using gltftest::Form;
using gltftest::Scene;
using gltftest::Validate;

namespace {

struct DocPtr {
  BaseDocument* doc = BaseDocument::Alloc();
  ~DocPtr() { BaseDocument::Free(doc); }
  BaseDocument& operator*() const { return *doc; }
  BaseDocument* operator->() const { return doc; }
};

struct TempDir {
  fs::path path = fs::temp_directory_path() /
                  ("pelterra_gltf_" + std::to_string(getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
  TempDir() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

std::string Read(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

PolygonObject* Object(BaseDocument& doc, int n = 0) {
  BaseObject* op = doc.GetFirstObject();
  while (op && n--) op = op->GetNext();
  return static_cast<PolygonObject*>(op);
}

UVWTag* Tag(PolygonObject* op, int n = 0) {
  return static_cast<UVWTag*>(op->GetTag(Tuvw, n));
}

// Applies f to every corner UV of the tag, as a UV tool would.
template <typename F>
void EditUVs(UVWTag* tag, F f) {
  for (Int32 i = 0; i < tag->GetDataCount(); ++i) {
    UVWStruct s = tag->GetSlow(i);
    for (Int32 c = 0; c < 4; ++c) s[c] = f(s[c]);
    tag->SetSlow(i, s);
  }
}

// Byte offsets where a and b differ (a and b of the same size).
std::vector<size_t> Diff(const std::string& a, const std::string& b) {
  std::vector<size_t> r;
  EXPECT_EQ(a.size(), b.size());
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) r.push_back(i);
  return r;
}

const Form kForms[] = {Form::kGlb, Form::kExternal, Form::kDataUri};

TEST(GltfLoad, TrianglesPointsAndUVsInTheHostsConvention) {
  TempDir dir;
  const std::string path = gltftest::Quad().Write(dir.path, "quad", Form::kGlb);
  ASSERT_EQ(Validate(path), "");
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  PolygonObject* op = Object(*doc);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->GetName(), "Node");  // the node's name before the mesh's
  ASSERT_EQ(op->GetPolygonCount(), 2);
  ASSERT_EQ(op->GetPointCount(), 4);
  // Triangle 0 1 2 in host order keeps its first corner and reverses the rest; z is negated.
  EXPECT_EQ(op->GetPolygonR()[0], CPolygon(0, 2, 1));
  EXPECT_EQ(op->GetPolygonR()[1], CPolygon(0, 3, 2));
  EXPECT_EQ(op->GetPointR()[2], Vector(1, 1, 0));
  // glTF's t counts from the top of the texture, like the host's v: it is taken as it is.
  const UVWStruct uv = Tag(op)->GetSlow(0);
  EXPECT_EQ(uv.a, Vector(0.25, 0.75, 0));
  EXPECT_EQ(uv.b, Vector(0.75, 0.25, 0));
  EXPECT_EQ(uv.c, Vector(0.75, 0.75, 0));
  EXPECT_EQ(uv.d, uv.c);
  EXPECT_EQ(GltfSourcePath(*doc), fs::absolute(path).lexically_normal().string());
}

TEST(GltfLoad, SameMeshAsObjGivesTheSameHostUVs) {
  // An exporter writes t = 1 - v for glTF and v for OBJ; both must land on the same host UVs.
  TempDir dir;
  const std::string gltf = gltftest::Quad().Write(dir.path, "quad", Form::kGlb);
  std::ofstream(dir / "quad.obj") << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                     "vt 0.25 0.25\nvt 0.75 0.25\nvt 0.75 0.75\nvt 0.25 0.75\n"
                                     "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n";
  DocPtr a, b;
  std::string error;
  ASSERT_TRUE(LoadGltf(gltf, *a, error)) << error;
  ASSERT_TRUE(LoadObj(dir / "quad.obj", *b, error)) << error;
  for (Int32 p = 0; p < 2; ++p) {
    EXPECT_EQ(Object(*a)->GetPolygonR()[p], Object(*b)->GetPolygonR()[p]);
    EXPECT_EQ(Tag(Object(*a))->GetSlow(p), Tag(Object(*b))->GetSlow(p)) << "polygon " << p;
  }
}

TEST(GltfLoad, IndexTypesNonIndexedAndOtherModes) {
  TempDir dir;
  Scene s;
  const std::vector<float> pos = {0, 0, 0, 1, 0, 0, 1, 1, 0};
  const std::vector<float> uv = {0, 0, 1, 0, 1, 1};
  const std::vector<std::uint8_t> i8 = {0, 1, 2, 0};
  const std::vector<std::uint32_t> i32 = {2, 1, 0};
  s.View(s.Put(pos), 36);
  s.View(s.Put(uv), 24);
  s.View(s.Put(i8), 3, 0, 34963);
  s.View(s.Put(i32), 12, 0, 34963);
  s.Accessor(0, 0, 5126, 3, "VEC3", ",\"min\":[0,0,0],\"max\":[1,1,0]");
  s.Accessor(1, 0, 5126, 3, "VEC2", ",\"min\":[0,0],\"max\":[1,1]");
  s.Accessor(2, 0, 5121, 3, "SCALAR");
  s.Accessor(3, 0, 5125, 3, "SCALAR");
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 2);      // UNSIGNED_BYTE indices
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 3);      // UNSIGNED_INT indices
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1");         // no indices
  s.Primitive("\"POSITION\":0", -1, 1);                   // lines
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", -1, 5);  // a strip
  const std::string path = s.Write(dir.path, "modes", Form::kGlb);
  ASSERT_EQ(Validate(path), "");
  DocPtr doc;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(LoadGltf(path, *doc, error, &warnings)) << error;
  ASSERT_NE(Object(*doc, 2), nullptr);
  EXPECT_EQ(Object(*doc, 3), nullptr);
  EXPECT_EQ(Object(*doc, 0)->GetName(), "Node");
  EXPECT_EQ(Object(*doc, 1)->GetName(), "Node.1");
  EXPECT_EQ(Object(*doc, 0)->GetPolygonR()[0], CPolygon(0, 2, 1));
  EXPECT_EQ(Object(*doc, 1)->GetPolygonR()[0], CPolygon(2, 0, 1));
  EXPECT_EQ(Object(*doc, 2)->GetPolygonR()[0], CPolygon(0, 2, 1));
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("primitive 3 is lines, not triangles"), std::string::npos)
      << warnings[0];
  EXPECT_NE(warnings[1].find("primitive 4 is a triangle strip"), std::string::npos) << warnings[1];
  // The other primitives stay in the file: an unedited save is the same file.
  ASSERT_TRUE(SaveGltf(*doc, dir / "copy.glb", error)) << error;
  EXPECT_EQ(Read(dir / "copy.glb"), Read(path));
}

TEST(GltfRoundTrip, UneditedSavesAreByteIdenticalInEveryForm) {
  for (Form form : kForms) {
    TempDir dir;
    const std::string path = gltftest::Quad().Write(dir.path, "quad", form);
    ASSERT_EQ(Validate(path), "");
    const std::string before = Read(path), bin = Read(dir / "quad.bin");
    DocPtr doc;
    std::string error;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    const std::string copy = dir / (std::string("copy") + gltftest::Suffix(form));
    ASSERT_TRUE(SaveGltf(*doc, copy, error)) << error;
    EXPECT_EQ(Read(copy), before);
    // Saving over the source gives it back unchanged too.
    ASSERT_TRUE(SaveGltf(*doc, path, error, nullptr, true)) << error;
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(Read(dir / "quad.bin"), bin);
    EXPECT_EQ(Validate(copy), "");
  }
}

TEST(GltfRoundTrip, AnEditChangesOnlyTheTexCoordBytesAndTheirBounds) {
  for (Form form : kForms) {
    SCOPED_TRACE(static_cast<int>(form));
    TempDir dir;
    const Scene scene = gltftest::Quad();
    const std::string path = scene.Write(dir.path, "quad", form);
    std::string binBefore;
    const std::string before = scene.File(form, "quad.bin", &binBefore);
    DocPtr doc;
    std::string error;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    // Scale about (0.5, 0.5) by 1.5: u and t then span 0.125..0.875.
    EditUVs(Tag(Object(*doc)), [](const Vector& v) {
      return Vector(0.5 + (v.x - 0.5) * 1.5, 0.5 + (v.y - 0.5) * 1.5, 0);
    });
    // A .bin beside the source is rewritten over the source only.
    const std::string target =
        form == Form::kExternal ? path : dir / ("out" + std::string(gltftest::Suffix(form)));
    ASSERT_TRUE(SaveGltf(*doc, target, error, nullptr, true)) << error;
    ASSERT_EQ(Validate(target), "");
    const std::string after = Read(target);

    // The JSON is the old one with the new bounds (and, in a data URI, the new bytes).
    std::string json = after, binAfter;
    if (form == Form::kGlb) {
      gltf::GlbLayout l;
      std::string why;
      ASSERT_TRUE(gltf::ParseGlb(after, l, why)) << why;
      json = after.substr(l.chunks[0].begin, l.chunks[0].length);
      while (json.back() == ' ') json.pop_back();
      binAfter = after.substr(l.chunks[1].begin, l.chunks[1].length);
    } else if (form == Form::kExternal) {
      binAfter = Read(dir / "quad.bin");
    } else {
      const size_t b = json.find("base64,") + 7, e = json.find('"', b);
      ASSERT_TRUE(gltf::Base64Decode(json.substr(b, e - b), binAfter));
      json.replace(b, e - b, gltf::Base64Encode(binBefore));
    }
    std::string expected = scene.Json(form, "quad.bin");
    expected.replace(expected.find("\"min\":[0.25,0.25],\"max\":[0.75,0.75]"), 35,
                     "\"min\":[0.125,0.125],\"max\":[0.875,0.875]");
    EXPECT_EQ(json, expected);
    // In the buffer only the UVs differ: bytes 48..79, after 48 bytes of positions.
    const std::vector<size_t> diff = Diff(binBefore, binAfter);
    EXPECT_FALSE(diff.empty());
    for (size_t i : diff) EXPECT_TRUE(i >= 48 && i < 80) << "buffer byte " << i;
    float u0;
    std::memcpy(&u0, binAfter.data() + 48, 4);
    EXPECT_EQ(u0, 0.125f);

    // Read back, the edited UVs are there.
    DocPtr again;
    ASSERT_TRUE(LoadGltf(target, *again, error)) << error;
    EXPECT_EQ(Tag(Object(*again))->GetSlow(0).a, Vector(0.125, 0.875, 0));
  }
}

TEST(GltfRoundTrip, BoundsFollowTheEdit) {
  TempDir dir;
  const std::string path = gltftest::Quad().Write(dir.path, "quad", Form::kGlb);
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  EditUVs(Tag(Object(*doc)), [](const Vector& v) { return Vector(v.x * 0.5, v.y + 0.125, 0); });
  ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error)) << error;
  const std::string after = Read(dir / "out.glb");
  EXPECT_NE(after.find("\"min\":[0.125,0.375],\"max\":[0.375,0.875]"), std::string::npos);
  EXPECT_EQ(Validate(dir / "out.glb"), "");

  // Shorter bounds: the JSON chunk keeps its length with blanks, the BIN chunk its place.
  DocPtr wide;
  ASSERT_TRUE(LoadGltf(path, *wide, error)) << error;
  EditUVs(Tag(Object(*wide)), [](const Vector& v) { return Vector(v.x * 2 - 0.5, v.y * 2 - 0.5, 0); });
  ASSERT_TRUE(SaveGltf(*wide, dir / "wide.glb", error)) << error;
  const std::string before = Read(path), widened = Read(dir / "wide.glb");
  EXPECT_NE(widened.find("\"min\":[0,0],\"max\":[1,1]"), std::string::npos);
  ASSERT_EQ(widened.size(), before.size());
  const std::vector<size_t> diff = Diff(before, widened);
  ASSERT_FALSE(diff.empty());
  gltf::GlbLayout l;
  std::string why;
  ASSERT_TRUE(gltf::ParseGlb(before, l, why));
  const size_t uvBegin = l.chunks[1].begin + 48, uvEnd = uvBegin + 32;
  const size_t bounds = before.find("\"min\":[0.25,0.25]");
  for (size_t i : diff)
    EXPECT_TRUE((i >= bounds && i < l.chunks[0].begin + l.chunks[0].length) ||
                (i >= uvBegin && i < uvEnd))
        << "byte " << i;
  EXPECT_EQ(Validate(dir / "wide.glb"), "");

  // A UV that is not a number refuses the save.
  UVWStruct s = Tag(Object(*wide))->GetSlow(0);
  s.a.x = std::nan("");
  Tag(Object(*wide))->SetSlow(0, s);
  EXPECT_FALSE(SaveGltf(*wide, dir / "nan.glb", error));
  EXPECT_NE(error.find("not a finite number"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "nan.glb"));
}

// Positions and UVs interleaved in one view: 20 bytes per vertex.
Scene Interleaved(int uvType, bool normalized) {
  Scene s;
  const float pos[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const double uv[4][2] = {{0.25, 0.75}, {0.75, 0.75}, {0.75, 0.25}, {0.25, 0.25}};
  std::string v;
  for (int i = 0; i < 4; ++i) {
    v.append(reinterpret_cast<const char*>(pos[i]), 12);
    if (uvType == 5126) {
      const float f[2] = {static_cast<float>(uv[i][0]), static_cast<float>(uv[i][1])};
      v.append(reinterpret_cast<const char*>(f), 8);
    } else {
      const std::uint16_t q[2] = {static_cast<std::uint16_t>(uv[i][0] * 65535 + 0.5),
                                  static_cast<std::uint16_t>(uv[i][1] * 65535 + 0.5)};
      v.append(reinterpret_cast<const char*>(q), 4);
      v.append(4, '\0');
    }
  }
  const std::vector<std::uint16_t> idx = {0, 1, 2, 0, 2, 3};
  s.View(s.Put(v.data(), v.size()), v.size(), 20);
  s.View(s.Put(idx), 12, 0, 34963);
  s.Accessor(0, 0, 5126, 4, "VEC3", ",\"min\":[0,0,0],\"max\":[1,1,0]");
  if (uvType == 5126)
    s.Accessor(0, 12, 5126, 4, "VEC2", ",\"min\":[0.25,0.25],\"max\":[0.75,0.75]");
  else
    s.Accessor(0, 12, uvType, 4, "VEC2",
               std::string(normalized ? ",\"normalized\":true" : "") +
                   ",\"min\":[16384,16384],\"max\":[49151,49151]");
  s.Accessor(1, 0, 5123, 6, "SCALAR");
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 2);
  return s;
}

TEST(GltfRoundTrip, InterleavedAndNormalizedCoordinates) {
  for (int type : {5126, 5123}) {
    SCOPED_TRACE(type);
    TempDir dir;
    const std::string path = Interleaved(type, true).Write(dir.path, "i", Form::kGlb);
    ASSERT_EQ(Validate(path), "");
    DocPtr doc;
    std::string error;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    const Vector a = Tag(Object(*doc))->GetSlow(0).a;
    EXPECT_NEAR(a.x, 0.25, type == 5126 ? 0 : 1e-5);
    // Move only vertex 0 (corner a of both triangles) by 1/8.
    for (Int32 p = 0; p < 2; ++p) {
      UVWStruct s = Tag(Object(*doc))->GetSlow(p);
      s.a = Vector(s.a.x + 0.125, s.a.y, 0);
      Tag(Object(*doc))->SetSlow(p, s);
    }
    std::vector<std::string> notes;
    ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error, &notes)) << error;
    ASSERT_EQ(Validate(dir / "out.glb"), "");
    const std::string before = Read(path), after = Read(dir / "out.glb");
    gltf::GlbLayout l;
    std::string why;
    ASSERT_TRUE(gltf::ParseGlb(after, l, why));
    gltf::GlbLayout old;
    ASSERT_TRUE(gltf::ParseGlb(before, old, why));
    const std::string b0 = before.substr(old.chunks[1].begin), b1 = after.substr(l.chunks[1].begin);
    // Only vertex 0's u (bytes 12.. of the first 20) changed: positions and t untouched.
    for (size_t i : Diff(b0, b1)) EXPECT_TRUE(i >= 12 && i < 12 + (type == 5126 ? 4u : 2u)) << i;
    EXPECT_FALSE(Diff(b0, b1).empty());
    // 0.375 is no multiple of 1/65535: rounded, and said so; a float holds it exactly.
    EXPECT_EQ(notes.size(), type == 5126 ? 0u : 1u);
    DocPtr again;
    ASSERT_TRUE(LoadGltf(dir / "out.glb", *again, error)) << error;
    EXPECT_NEAR(Tag(Object(*again))->GetSlow(0).a.x, 0.375, type == 5126 ? 0 : 1.0 / 65535);
  }
}

TEST(GltfRoundTrip, NormalizedCoordinatesOutsideTheirRangeAreRefused) {
  TempDir dir;
  const std::string path = Interleaved(5123, true).Write(dir.path, "i", Form::kGlb);
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  EditUVs(Tag(Object(*doc)), [](const Vector& v) { return Vector(v.x * 3, v.y, 0); });
  EXPECT_FALSE(SaveGltf(*doc, dir / "out.glb", error));
  EXPECT_NE(error.find("2 edited value(s) fall outside 0..1"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "out.glb"));
}

TEST(GltfRoundTrip, TwoTexCoordSetsAreTwoTags) {
  TempDir dir;
  Scene s = gltftest::Quad();
  const std::vector<float> uv1 = {0, 0, 1, 0, 1, 1, 0, 1};
  s.Accessor(s.View(s.Put(uv1), 32), 0, 5126, 4, "VEC2", ",\"min\":[0,0],\"max\":[1,1]");
  s.primitives[0] = "{\"attributes\":{\"POSITION\":0,\"TEXCOORD_1\":3,\"TEXCOORD_0\":1},\"indices\":2}";
  const std::string path = s.Write(dir.path, "two", Form::kGlb);
  ASSERT_EQ(Validate(path), "");
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  PolygonObject* op = Object(*doc);
  ASSERT_NE(Tag(op, 1), nullptr);
  EXPECT_EQ(Tag(op, 0)->GetName(), "TEXCOORD_0");
  EXPECT_EQ(Tag(op, 1)->GetName(), "TEXCOORD_1");
  EXPECT_EQ(Tag(op, 1)->GetSlow(0).b, Vector(1, 1, 0));
  // Editing the second set changes only its accessor's bytes (buffer bytes 92..123).
  EditUVs(Tag(op, 1), [](const Vector& v) { return Vector(v.x * 0.5, v.y * 0.5, 0); });
  ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error)) << error;
  ASSERT_EQ(Validate(dir / "out.glb"), "");
  gltf::GlbLayout l, old;
  std::string why;
  const std::string before = Read(path), after = Read(dir / "out.glb");
  ASSERT_TRUE(gltf::ParseGlb(after, l, why));
  ASSERT_TRUE(gltf::ParseGlb(before, old, why));
  const auto diff = Diff(before.substr(old.chunks[1].begin), after.substr(l.chunks[1].begin));
  EXPECT_FALSE(diff.empty());
  for (size_t i : diff) EXPECT_TRUE(i >= 92 && i < 124) << i;
}

// Two triangle primitives on one position and one TEXCOORD accessor.
Scene Shared(bool sameVertices) {
  Scene s;
  const std::vector<float> pos = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2, 1, 0};
  const std::vector<float> uv = {0, 1, 0.5f, 1, 0.5f, 0, 0, 0, 1, 1, 1, 0};
  const std::vector<std::uint16_t> a = {0, 1, 2}, b = sameVertices
                                                         ? std::vector<std::uint16_t>{0, 2, 3}
                                                         : std::vector<std::uint16_t>{4, 5, 3};
  s.View(s.Put(pos), pos.size() * 4);
  s.View(s.Put(uv), uv.size() * 4);
  s.View(s.Put(a), 6, 0, 34963);
  s.View(s.Put(b), 6, 0, 34963);
  s.Accessor(0, 0, 5126, 6, "VEC3", ",\"min\":[0,0,0],\"max\":[2,1,0]");
  s.Accessor(1, 0, 5126, 6, "VEC2", ",\"min\":[0,0],\"max\":[1,1]");
  s.Accessor(2, 0, 5123, 3, "SCALAR");
  s.Accessor(3, 0, 5123, 3, "SCALAR");
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 2);
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 3);
  return s;
}

TEST(GltfRoundTrip, SharedAccessorsSplitByAnEditAreRefused) {
  TempDir dir;
  const std::string path = Shared(true).Write(dir.path, "shared", Form::kGlb);
  ASSERT_EQ(Validate(path), "");
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  auto shift = [](const Vector& v) { return Vector(v.x, v.y - 0.25, 0); };
  EditUVs(Tag(Object(*doc, 0)), shift);
  EXPECT_FALSE(SaveGltf(*doc, dir / "out.glb", error));
  EXPECT_NE(error.find("a glTF vertex holds one UV"), std::string::npos) << error;
  EXPECT_NE(error.find("\"Node\""), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "out.glb"));
  // The same edit on both objects is one edit of the shared vertices.
  EditUVs(Tag(Object(*doc, 1)), shift);
  ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error)) << error;
  EXPECT_EQ(Validate(dir / "out.glb"), "");
}

TEST(GltfRoundTrip, SharedAccessorsWithSeparateVerticesEditApart) {
  TempDir dir;
  const std::string path = Shared(false).Write(dir.path, "shared", Form::kGlb);
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  // Object 0 uses vertices 0-2, object 1 vertices 3-5: either is edited alone.
  EditUVs(Tag(Object(*doc, 0)), [](const Vector& v) { return Vector(v.x, v.y * 0.5, 0); });
  ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error)) << error;
  EXPECT_EQ(Validate(dir / "out.glb"), "");
  DocPtr again;
  ASSERT_TRUE(LoadGltf(dir / "out.glb", *again, error)) << error;
  EXPECT_EQ(Tag(Object(*again, 0))->GetSlow(0).a, Vector(0, 0.5, 0));
  EXPECT_EQ(Tag(Object(*again, 1))->GetSlow(0), Tag(Object(*doc, 1))->GetSlow(0));
}

TEST(GltfRoundTrip, SparseCoordinatesLoadAndRefuseEdits) {
  TempDir dir;
  Scene s = gltftest::Quad();
  // Vertex 2's UV replaced by (1, 0) through sparse values.
  const std::vector<std::uint16_t> at = {2};
  const std::vector<float> value = {1, 0};
  const int iv = s.View(s.Put(at), 2, 0, 0);
  const int vv = s.View(s.Put(value), 8, 0, 0);
  s.accessors[1] = "{\"bufferView\":1,\"componentType\":5126,\"count\":4,\"type\":\"VEC2\","
                   "\"min\":[0.25,0],\"max\":[1,0.75],\"sparse\":{\"count\":1,\"indices\":"
                   "{\"bufferView\":" + std::to_string(iv) + ",\"componentType\":5123},"
                   "\"values\":{\"bufferView\":" + std::to_string(vv) + "}}}";
  const std::string path = s.Write(dir.path, "sparse", Form::kGlb);
  ASSERT_EQ(Validate(path), "");
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  EXPECT_EQ(Tag(Object(*doc))->GetSlow(0).b, Vector(1, 0, 0));  // host b is vertex 2
  ASSERT_TRUE(SaveGltf(*doc, dir / "same.glb", error)) << error;
  EXPECT_EQ(Read(dir / "same.glb"), Read(path));
  EditUVs(Tag(Object(*doc)), [](const Vector& v) { return Vector(v.x * 0.5, v.y, 0); });
  EXPECT_FALSE(SaveGltf(*doc, dir / "out.glb", error));
  EXPECT_NE(error.find("is sparse"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "out.glb"));
}

TEST(GltfRoundTrip, ChangesBeyondUVsAndConversionsAreRefused) {
  TempDir dir;
  const std::string path = gltftest::Quad().Write(dir.path, "quad", Form::kGlb);
  const std::string before = Read(path);
  std::string error;
  {
    DocPtr doc;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    EXPECT_FALSE(SaveGltf(*doc, dir / "quad.gltf", error));
    EXPECT_NE(error.find("not this tool's job"), std::string::npos) << error;
    EXPECT_FALSE(SaveGltf(*doc, dir / "quad.obj", error));
    Object(*doc)->GetPointW()[1] = Vector(5, 0, 0);
    EXPECT_FALSE(SaveGltf(*doc, path, error, nullptr, true));
    EXPECT_NE(error.find("its points changed"), std::string::npos) << error;
  }
  {
    DocPtr doc;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    Object(*doc)->GetPolygonW()[1] = CPolygon(0, 1, 3);
    EXPECT_FALSE(SaveGltf(*doc, path, error, nullptr, true));
    EXPECT_NE(error.find("its polygons changed"), std::string::npos) << error;
  }
  {
    // An edit that splits a vertex between the two triangles (a single corner moved).
    DocPtr doc;
    ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
    UVWStruct s = Tag(Object(*doc))->GetSlow(1);
    s.a = Vector(0, 0, 0);
    Tag(Object(*doc))->SetSlow(1, s);
    EXPECT_FALSE(SaveGltf(*doc, path, error, nullptr, true));
    EXPECT_NE(error.find("vertex 0 has different UVs"), std::string::npos) << error;
  }
  {
    DocPtr doc;  // a document that never was glTF
    EXPECT_FALSE(SaveGltf(*doc, dir / "new.glb", error));
  }
  EXPECT_EQ(Read(path), before);
  EXPECT_FALSE(fs::exists(dir / "quad.gltf"));
}

TEST(GltfRoundTrip, ExternalBuffersAreRewrittenOnlyOverTheSource) {
  TempDir dir;
  const std::string path = gltftest::Quad().Write(dir.path, "quad", Form::kExternal);
  const std::string bin = Read(dir / "quad.bin");
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(path, *doc, error)) << error;
  EditUVs(Tag(Object(*doc)), [](const Vector& v) { return Vector(v.y, v.x, 0); });
  // Another name beside it would rewrite the .bin the source uses too.
  EXPECT_FALSE(SaveGltf(*doc, dir / "copy.gltf", error));
  EXPECT_NE(error.find("overwrite"), std::string::npos) << error;
  EXPECT_EQ(Read(dir / "quad.bin"), bin);
  // Another folder loses the files beside it.
  fs::create_directories(dir.path / "sub");
  EXPECT_FALSE(SaveGltf(*doc, dir / "sub/quad.gltf", error));
  EXPECT_NE(error.find("refers to files beside it"), std::string::npos) << error;
  ASSERT_TRUE(SaveGltf(*doc, path, error, nullptr, true)) << error;
  EXPECT_NE(Read(dir / "quad.bin"), bin);
  EXPECT_EQ(Validate(path), "");
}

// Each broken file is refused with its path in the message and leaves the document empty.
TEST(GltfBadFiles, AreRefusedWithoutChangingAnything) {
  TempDir dir;
  const Scene good = gltftest::Quad();
  const std::string glb = good.File(Form::kGlb, "");
  std::string json = good.Json(Form::kExternal, "quad.bin"), bin;
  good.File(Form::kExternal, "quad.bin", &bin);
  auto replace = [](std::string s, const std::string& a, const std::string& b) {
    const size_t at = s.find(a);
    EXPECT_NE(at, std::string::npos) << a;
    return at == std::string::npos ? s : s.replace(at, a.size(), b);
  };
  struct Case {
    std::string name, bytes, expect;
  };
  std::vector<Case> cases = {
      {"truncated.glb", glb.substr(0, glb.size() - 5), "truncated"},
      {"magic.glb", "GLTF" + glb.substr(4), "magic"},
      {"empty.glb", "", "truncated"},
      {"badjson.gltf", json.substr(0, json.size() / 2), ""},
      {"count.gltf", replace(json, "\"count\":4,\"type\":\"VEC2\"", "\"count\":400,\"type\":\"VEC2\""),
       ""},
      {"offset.gltf", replace(json, "\"byteOffset\":48,\"byteLength\":32", "\"byteOffset\":4800,\"byteLength\":32"),
       ""},
      {"missing.gltf", replace(json, "quad.bin", "nowhere.bin"), ""},
      {"index.gltf", replace(json, "\"indices\":2", "\"indices\":9"), ""},
  };
  // An index past the vertices, in the bytes themselves.
  std::string badIndex = bin;
  badIndex[80] = 9;
  std::ofstream(dir / "quad.bin", std::ios::binary) << bin;
  std::ofstream(dir / "badindex.bin", std::ios::binary) << badIndex;
  cases.push_back({"badindex.gltf", replace(json, "quad.bin", "badindex.bin"), "index 9"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir / c.name, std::ios::binary) << c.bytes;
    DocPtr doc;
    std::string error;
    EXPECT_FALSE(LoadGltf(dir / c.name, *doc, error));
    EXPECT_EQ(doc->GetFirstObject(), nullptr);
    EXPECT_EQ(error.rfind(dir / c.name, 0), 0u) << error;
    if (!c.expect.empty()) {
      EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    }
    EXPECT_EQ(Read(dir / c.name), c.bytes);
  }
  DocPtr doc;
  std::string error;
  EXPECT_FALSE(LoadGltf(dir / "folder.glb", *doc, error));  // does not exist
  fs::create_directories(dir.path / "dir.glb");
  EXPECT_FALSE(LoadGltf(dir / "dir.glb", *doc, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

// Runs the application with args; out receives what it printed. Its exit code.
int RunApp(const std::string& args, std::string& out) {
  const ShellResult r = Shell(ProgramPath(PELTERRA_APP) + " --quiet --plugins " +
                              PELTERRA_PLUGINS + " " + args + " 2>&1");
  out += r.out;
  return r.code;
}

TEST(GltfSession, InfoPreviewAndInspectReadGltf) {
  TempDir dir;
  std::ofstream(dir / "islands.glb", std::ios::binary) << DemoGlb();
  std::string out;
  ASSERT_EQ(RunApp("info " + (dir / "islands.glb"), out), 0) << out;
  EXPECT_NE(out.find("Islands: 12 points, 6 triangles, 0 quads, 0 n-gons, UVs u 0.0625..0.9375 v "
                     "0.0625..0.9375 (the file's t)"),
            std::string::npos)
      << out;
  out.clear();
#ifdef _WIN32
  EXPECT_EQ(RunApp("preview " + (dir / "islands.glb") + " " + (dir / "p.png"), out), 1) << out;
  EXPECT_NE(out.find("PNG previews are not available in this build"), std::string::npos) << out;
  EXPECT_EQ(RunApp("preview " + (dir / "islands.glb") + " " + (dir / "p.svg"), out), 0) << out;
  EXPECT_TRUE(fs::exists(dir / "p.svg"));
#else
  EXPECT_EQ(RunApp("preview " + (dir / "islands.glb") + " " + (dir / "p.png"), out), 0) << out;
  EXPECT_TRUE(fs::exists(dir / "p.png"));
#endif
  // inspect reads it too: three islands of two triangles, none overlapping or flipped; a
  // density spread limit below its spread fails it.
  out.clear();
  ASSERT_EQ(RunApp("inspect " + (dir / "islands.glb") + " --max-overlaps 0", out), 0) << out;
  EXPECT_NE(out.find("polygons: 6 in 3 islands"), std::string::npos) << out;
  EXPECT_NE(out.find("flipped: 0"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(RunApp("inspect " + (dir / "islands.glb") + " --max-density-spread 1.1", out), 1)
      << out;
  out.clear();
  std::ofstream(dir / "bad.glb", std::ios::binary) << "glTF";
  EXPECT_NE(RunApp("info " + (dir / "bad.glb"), out), 0);
  EXPECT_NE(out.find("bad.glb: truncated"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(RunApp("inspect " + (dir / "bad.glb"), out), 2);
  EXPECT_NE(out.find("bad.glb: truncated"), std::string::npos) << out;
}

// The whole way through the application: a session opens the scene, scales an island with the
// UV tools and saves it.
TEST(GltfSession, ScaleAnIslandAndSave) {
  TempDir dir;
  std::ofstream(dir / "islands.glb", std::ios::binary) << DemoGlb();
  ASSERT_EQ(Validate(dir / "islands.glb"), "");
  std::ofstream(dir / "s.session") << "open islands.glb\n"
                                      "mode uvpolygons\n"
                                      "select uvpolygons 2-3\n"
                                      "command ID_UVCOMMAND\n"
                                      "choose 10071 \"Scale&Rotate\"\n"
                                      "type IDC_SCALE_U 2\n"
                                      "type IDC_SCALE_V 2\n"
                                      "click IDC_SCALE\n"
                                      "expect uv 2 a 0.0625 1\n"
                                      "save out.glb\n"
                                      "save out.obj\n";
  std::string out;
  const int rc = RunApp("run " + (dir / "s.session") + " --out " + dir.path.string(), out);
  // The save as OBJ is a conversion: refused, and the session fails there.
  EXPECT_NE(rc, 0) << out;
  EXPECT_NE(out.find("not this tool's job"), std::string::npos) << out;
  ASSERT_TRUE(fs::exists(dir / "out.glb")) << out;
  EXPECT_FALSE(fs::exists(dir / "out.obj"));
  EXPECT_EQ(Validate(dir / "out.glb"), "");
  // Scaled by 2, the island reaches t = 1: the accessor's max changes, nothing else in the JSON.
  const std::string change = DescribeGltfChange(dir / "islands.glb", dir / "out.glb");
  EXPECT_NE(change.find("TEXCOORD_0"), std::string::npos) << change;
  const std::string after = Read(dir / "out.glb");
  EXPECT_NE(after.find("\"max\":[0.9375,1]"), std::string::npos);
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(dir / "out.glb", *doc, error)) << error;
  EXPECT_EQ(Tag(Object(*doc))->GetSlow(2).a, Vector(0.0625, 1, 0));
}

TEST(GltfSession, TheDemoChangesOnlyTexCoordBytes) {
  TempDir dir;
  std::ofstream(dir / "islands.glb", std::ios::binary) << DemoGlb();
  DocPtr doc;
  std::string error;
  ASSERT_TRUE(LoadGltf(dir / "islands.glb", *doc, error)) << error;
  EditUVs(Tag(Object(*doc)), [](const Vector& v) { return v.x > 0.5 && v.y > 0.5 ? Vector(v.x - 0.0625, v.y, 0) : v; });
  ASSERT_TRUE(SaveGltf(*doc, dir / "out.glb", error)) << error;
  const std::string change = DescribeGltfChange(dir / "islands.glb", dir / "out.glb");
  EXPECT_EQ(change.find("outside"), std::string::npos) << change;
  EXPECT_NE(change.find("accessor 1 (TEXCOORD_0 of mesh \"Islands\")"), std::string::npos) << change;
  EXPECT_EQ(DescribeGltfChange(dir / "islands.glb", dir / "islands.glb"),
            "the files are the same, byte for byte");
}

}  // namespace
