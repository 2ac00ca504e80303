// Built-in scenes: their counts, their UV layouts and the winding the host expects.
#include "scenes.h"

#include <gtest/gtest.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "obj_io.h"
#include "printers.h"

namespace fs = std::filesystem;
using namespace pelterra;

namespace {

struct Scene {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = nullptr;
  explicit Scene(const std::string& name) {
    std::string error;
    if (LoadBuiltinScene(name, *doc, error))
      op = static_cast<PolygonObject*>(doc->GetFirstObject());
    else
      ADD_FAILURE() << error;
  }
  ~Scene() { BaseDocument::Free(doc); }
  UVWStruct UV(Int32 p) const { return static_cast<UVWTag*>(op->GetTag(Tuvw))->GetSlow(p); }
};

const char* const kScenes[] = {"cube",  "grid",    "grid:3x2",    "cylinder",
                                "ngon", "islands", "wavycylinder"};

// Twice the signed area of a polygon in the plane of its first two coordinates.
double Shoelace(const std::vector<std::pair<double, double>>& p) {
  double s = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const auto& [x0, y0] = p[i];
    const auto& [x1, y1] = p[(i + 1) % p.size()];
    s += x0 * y1 - x1 * y0;
  }
  return s;
}

}  // namespace

TEST(Scenes, CountsAndNames) {
  struct Expect {
    const char* scene;
    const char* name;
    Int32 points, triangles, quads, ngons;
  };
  const Expect table[] = {
      {"cube", "Cube", 8, 0, 6, 0},           {"grid", "Grid", 25, 0, 16, 0},
      {"grid:3x2", "Grid", 12, 0, 6, 0},      {"grid:1x1", "Grid", 4, 0, 1, 0},
      {"cylinder", "Cylinder", 18, 16, 8, 0}, {"ngon", "Ngon", 8, 0, 1, 1},
      {"broken", "Broken", 24, 0, 8, 0},
      {"islands", "Islands", 10, 0, 3, 0},
      {"wavycylinder", "WavyCylinder", 82, 32, 64, 0},
  };
  for (const Expect& e : table) {
    SCOPED_TRACE(e.scene);
    Scene s(e.scene);
    ASSERT_NE(s.op, nullptr);
    EXPECT_EQ(s.op->GetNext(), nullptr) << "one object";
    auto sum = Summarize(*s.doc);
    ASSERT_EQ(sum.size(), 1u);
    EXPECT_EQ(sum[0].name, e.name);
    EXPECT_EQ((std::vector<Int32>{sum[0].points, sum[0].triangles, sum[0].quads, sum[0].ngons}),
              (std::vector<Int32>{e.points, e.triangles, e.quads, e.ngons}));
    EXPECT_TRUE(sum[0].hasUVs);
    EXPECT_TRUE(sum[0].uvMin.x >= 0 && sum[0].uvMin.y >= 0) << sum[0].uvMin.x << sum[0].uvMin.y;
    EXPECT_TRUE(sum[0].uvMax.x <= 1 && sum[0].uvMax.y <= 1) << sum[0].uvMax.x << sum[0].uvMax.y;
  }
  Scene ngon("ngon");
  ASSERT_EQ(ngon.op->GetNgonCount(), 1);
  EXPECT_EQ(ngon.op->GetNgons()[0].polygons, (std::vector<Int32>{0, 1, 2, 3}));
  EXPECT_EQ(ngon.op->GetNgons()[0].outline.size(), 6u);
}

TEST(Scenes, NamesAreListedAndUnknownOnesRefused) {
  std::set<std::string> listed;
  for (const BuiltinScene& s : BuiltinScenes()) listed.insert(s.name);
  EXPECT_EQ(listed, (std::set<std::string>{"cube", "grid", "cylinder", "ngon", "islands",
                                           "wavycylinder", "broken"}));

  for (const char* bad :
       {"sphere", "", "Cube", "grid:", "grid:4", "grid:0x4", "grid:4x0", "grid:2001x1",
        "grid:1x2001", "grid:-1x3", "grid:4x4x4", "grid:ax4", "grid:4x4 "}) {
    SCOPED_TRACE(bad);
    BaseDocument* doc = BaseDocument::Alloc();
    std::string error;
    EXPECT_FALSE(LoadBuiltinScene(bad, *doc, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(doc->GetFirstObject(), nullptr);
    BaseDocument::Free(doc);
  }
  Scene big("grid:2000x1");
  ASSERT_NE(big.op, nullptr);
  EXPECT_EQ(big.op->GetPolygonCount(), 2000);
}

// In the host (v down, host corner order) every UV polygon is positively oriented; saved, each
// face is counter-clockwise in its UVs (v up) and in space seen from outside.
TEST(Scenes, WindingFollowsTheHostConvention) {
  const fs::path dir = fs::temp_directory_path() / ("pelterra_scenes_" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const char* name : kScenes) {
    SCOPED_TRACE(name);
    Scene s(name);
    const CPolygon* polys = s.op->GetPolygonR();
    for (Int32 p = 0; p < s.op->GetPolygonCount(); ++p) {
      std::vector<std::pair<double, double>> corners;
      for (Int32 k = 0; k < (polys[p].IsTriangle() ? 3 : 4); ++k)
        corners.emplace_back(s.UV(p)[k].x, s.UV(p)[k].y);
      EXPECT_GT(Shoelace(corners), 0) << "polygon " << p;
    }
    std::string error, path = (dir / "scene.obj").string();
    ASSERT_TRUE(SaveObj(*s.doc, path, error)) << error;
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    ASSERT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(),
                                 dir.string().c_str(), false));
    ASSERT_EQ(shapes.size(), 1u);
    const auto& mesh = shapes[0].mesh;
    auto vertex = [&](int i) {
      return Vector(attrib.vertices[size_t(3 * i)], attrib.vertices[size_t(3 * i + 1)],
                    attrib.vertices[size_t(3 * i + 2)]);
    };
    Vector centre;
    for (size_t i = 0; i < attrib.vertices.size() / 3; ++i) centre += vertex(int(i));
    centre = centre / Float(attrib.vertices.size() / 3);
    const bool closed = std::string(name) == "cube" || std::string(name) == "cylinder" ||
                        std::string(name) == "wavycylinder";
    size_t start = 0;
    for (size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
      const size_t n = mesh.num_face_vertices[f];
      std::vector<std::pair<double, double>> uv;
      Vector normal, mid;  // Newell's normal of the face, and its centre
      for (size_t i = 0; i < n; ++i) {
        const auto& idx = mesh.indices[start + i];
        uv.emplace_back(attrib.texcoords[size_t(2 * idx.texcoord_index)],
                        attrib.texcoords[size_t(2 * idx.texcoord_index + 1)]);
        Vector a = vertex(idx.vertex_index),
               b = vertex(mesh.indices[start + (i + 1) % n].vertex_index);
        normal += Cross(a, b);
        mid += a / Float(n);
      }
      EXPECT_GT(Shoelace(uv), 0) << "face " << f;
      if (closed)
        EXPECT_GT(Dot(normal, mid - centre), 0) << "face " << f << " faces inwards";
      else
        EXPECT_GT(normal.y, 0) << "face " << f << " faces down";
      start += n;
    }
  }
  fs::remove_all(dir);
}

TEST(Scenes, UVLayouts) {
  auto corners = [](const Scene& s) {
    std::set<std::pair<double, double>> r;
    for (Int32 p = 0; p < s.op->GetPolygonCount(); ++p)
      for (Int32 k = 0; k < 4; ++k) r.emplace(s.UV(p)[k].x, s.UV(p)[k].y);
    return r;
  };
  // Cube: six 0.25 squares in a cross, which has 14 corners.
  Scene cube("cube");
  EXPECT_EQ(corners(cube).size(), 14u);
  for (Int32 p = 0; p < 6; ++p) {
    UVWStruct uv = cube.UV(p);
    EXPECT_EQ(std::abs(uv.c.x - uv.a.x), 0.25) << p;
    EXPECT_EQ(std::abs(uv.c.y - uv.a.y), 0.25) << p;
  }
  // Grid 3x2: corners at thirds and halves of the unit square.
  std::set<std::pair<double, double>> expected;
  for (double u : {0.0, 1.0 / 3, 2.0 / 3, 1.0})
    for (double v : {0.0, 0.5, 1.0}) expected.emplace(u, v);
  EXPECT_EQ(corners(Scene("grid:3x2")), expected);
  // Islands: quads 0 and 2 share one UV edge; quad 1 is well above both (host v down).
  Scene islands("islands");
  auto shared = [&](Int32 p, Int32 q) {
    Int32 n = 0;
    for (Int32 i = 0; i < 4; ++i)
      for (Int32 j = 0; j < 4; ++j) n += islands.UV(p)[i] == islands.UV(q)[j];
    return n;
  };
  EXPECT_EQ(shared(0, 2), 2);
  for (Int32 p : {0, 2})
    for (Int32 k = 0; k < 4; ++k)
      for (Int32 j = 0; j < 4; ++j) EXPECT_LT(islands.UV(1)[j].y + 0.2, islands.UV(p)[k].y);
}
