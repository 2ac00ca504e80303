#include "scenes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "c4d_baseobject.h"
#include "obj_io.h"

namespace pelterra {

namespace {

// A mesh written as an OBJ file would hold it (right-handed, faces counter-clockwise seen from
// outside, texture v up), turned into a host object the way LoadObj does.
struct Mesh {
  ObjMesh obj;
  std::vector<Vector> uvs;

  Int32 Point(Float x, Float y, Float z) {
    obj.points.emplace_back(x, y, z);
    return static_cast<Int32>(obj.points.size() - 1);
  }
  // A face through points, with one UV (u, v) per corner, in the same order.
  void Face(std::initializer_list<Int32> points,
            std::initializer_list<std::pair<Float, Float>> uv) {
    auto p = points.begin();
    for (auto [u, v] : uv) {
      uvs.emplace_back(u, v, 0.0);
      obj.corners.push_back({*p++, static_cast<Int32>(uvs.size() - 1), -1});
    }
    obj.faceEnd.push_back(static_cast<Int32>(obj.corners.size()));
  }
  PolygonObject* Build(const char* name) {
    obj.name = name;
    obj.uvs = uvs;
    return BuildPolygonObject(obj);
  }
};

// A cube of side 2 about the origin; its faces unfold into a cross of 0.25 cells.
PolygonObject* Cube() {
  Mesh m;
  // Front (z = 1) corners 0-3, back corners 4-7, each counter-clockwise from the front.
  for (Float z : {1.0, -1.0}) {
    m.Point(-1, -1, z);
    m.Point(1, -1, z);
    m.Point(1, 1, z);
    m.Point(-1, 1, z);
  }
  // The cell in column col, row row (0 bottom) of the cross, corners bottom-left first.
  auto cell = [&](std::initializer_list<Int32> pts, int col, int row) {
    const Float s = 0.25, u = col * s, v = 0.125 + row * s;
    m.Face(pts, {{u, v}, {u + s, v}, {u + s, v + s}, {u, v + s}});
  };
  cell({0, 1, 2, 3}, 1, 1);  // front
  cell({1, 5, 6, 2}, 2, 1);  // right
  cell({5, 4, 7, 6}, 3, 1);  // back
  cell({4, 0, 3, 7}, 0, 1);  // left
  cell({3, 2, 6, 7}, 1, 2);  // top, above the front
  cell({4, 5, 1, 0}, 1, 0);  // bottom, below the front
  return m.Build("Cube");
}

// A 2 × 2 plane facing up, cols × rows quads; UVs tile the unit square.
PolygonObject* Grid(Int32 cols, Int32 rows) {
  Mesh m;
  m.obj.points.reserve(static_cast<size_t>(cols + 1) * static_cast<size_t>(rows + 1));
  for (Int32 j = 0; j <= rows; ++j)
    for (Int32 i = 0; i <= cols; ++i) m.Point(-1.0 + 2.0 * i / cols, 0.0, 1.0 - 2.0 * j / rows);
  // Seen from above, +x is right and -z is up: the row j + 1 lies above row j.
  for (Int32 j = 0; j < rows; ++j) {
    for (Int32 i = 0; i < cols; ++i) {
      const Int32 p = j * (cols + 1) + i;
      const Float u0 = Float(i) / cols, u1 = Float(i + 1) / cols;
      const Float v0 = Float(j) / rows, v1 = Float(j + 1) / rows;
      m.Face({p, p + 1, p + cols + 2, p + cols + 1}, {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}});
    }
  }
  return m.Build("Grid");
}

// Radius 1, height 2 about the y axis: 8 side quads unrolled into a strip across the top of
// the UV square, the caps as triangle fans laid out as two discs below it.
PolygonObject* Cylinder() {
  constexpr Int32 n = 8;
  // (sin a, cos a) for a = k * 45 degrees, exactly where the values are 0 or 1.
  const Float h = std::sqrt(0.5);
  const std::pair<Float, Float> ring[n] = {{0, 1},  {h, h},   {1, 0},  {h, -h},
                                           {0, -1}, {-h, -h}, {-1, 0}, {-h, h}};
  Mesh m;
  // Ring points at (sin a, y, cos a): a = 0 faces the front, a grows to the right.
  for (Float y : {-1.0, 1.0})
    for (auto [s, c] : ring) m.Point(s, y, c);
  const Int32 bottom = m.Point(0, -1, 0), top = m.Point(0, 1, 0);
  const Float v0 = 0.5625, v1 = 0.9375;
  for (Int32 k = 0; k < n; ++k) {
    const Int32 k1 = (k + 1) % n;
    const Float u0 = Float(k) / n, u1 = Float(k + 1) / n;
    m.Face({k, k1, n + k1, n + k}, {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}});
  }
  // Seen from above a ring point lies at (sin a, -cos a); seen from below at (sin a, cos a).
  const Float r = 0.1875;
  for (Int32 k = 0; k < n; ++k) {
    const Int32 k1 = (k + 1) % n;
    auto [sa, ca] = ring[k];
    auto [sb, cb] = ring[k1];
    m.Face({top, n + k, n + k1},
           {{0.25, 0.25}, {0.25 + r * sa, 0.25 - r * ca}, {0.25 + r * sb, 0.25 - r * cb}});
  }
  for (Int32 k = 0; k < n; ++k) {
    const Int32 k1 = (k + 1) % n;
    auto [sa, ca] = ring[k];
    auto [sb, cb] = ring[k1];
    m.Face({bottom, k1, k},
           {{0.75, 0.25}, {0.75 + r * sb, 0.25 + r * cb}, {0.75 + r * sa, 0.25 + r * ca}});
  }
  return m.Build("Cylinder");
}

// A flat hexagon (an n-gon of 4 triangles) with a quad on its right-hand edge, facing up.
PolygonObject* Ngon() {
  Mesh m;
  // Plan coordinates (x, y) seen from above are OBJ (x, 0, -y); UVs are the plan scaled into
  // the unit square.
  auto point = [&](Float x, Float y) { return m.Point(x, 0.0, -y); };
  auto uv = [](Float x, Float y) {
    return std::pair<Float, Float>(0.125 + (x + 1) * 0.1875, 0.125 + (y + 2) * 0.1875);
  };
  const Float hex[6][2] = {{1, 1}, {0, 2}, {-1, 1}, {-1, -1}, {0, -2}, {1, -1}};
  const Float quad[2][2] = {{3, -1}, {3, 1}};
  Int32 h[6];
  for (Int32 k = 0; k < 6; ++k) h[k] = point(hex[k][0], hex[k][1]);
  const Int32 q1 = point(quad[0][0], quad[0][1]), q2 = point(quad[1][0], quad[1][1]);
  auto at = [&](const Float* p) { return uv(p[0], p[1]); };
  m.Face({h[0], h[1], h[2], h[3], h[4], h[5]},
         {at(hex[0]), at(hex[1]), at(hex[2]), at(hex[3]), at(hex[4]), at(hex[5])});
  m.Face({h[5], q1, q2, h[0]}, {at(hex[5]), at(quad[0]), at(quad[1]), at(hex[0])});
  return m.Build("Ngon");
}

// Three unit quads facing up: 0 and 2 side by side sharing an edge, in space and in UVs; 1 apart
// in both.
PolygonObject* Islands() {
  Mesh m;
  auto point = [&](Float x, Float y) { return m.Point(x, 0.0, -y); };
  const Int32 a0 = point(0, 0), a1 = point(1, 0), a2 = point(1, 1), a3 = point(0, 1);
  const Int32 b0 = point(3, 0), b1 = point(4, 0), b2 = point(4, 1), b3 = point(3, 1);
  const Int32 c1 = point(2, 0), c2 = point(2, 1);
  m.Face({a0, a1, a2, a3}, {{0.125, 0.125}, {0.375, 0.125}, {0.375, 0.375}, {0.125, 0.375}});
  m.Face({b0, b1, b2, b3}, {{0.625, 0.625}, {0.875, 0.625}, {0.875, 0.875}, {0.625, 0.875}});
  m.Face({a1, c1, c2, a2}, {{0.375, 0.125}, {0.625, 0.125}, {0.625, 0.375}, {0.375, 0.375}});
  return m.Build("Islands");
}

// A cylinder of 16 x 4 side quads whose side strip waves in UV (for Quick Grid), with two
// triangle-fan caps laid out as discs below the strip.
PolygonObject* WavyCylinder() {
  constexpr Int32 n = 16, rows = 4;
  Mesh m;
  for (Int32 r = 0; r <= rows; ++r)
    for (Int32 k = 0; k < n; ++k) {
      const Float a = 2.0 * PI * k / n;
      m.Point(std::sin(a), -1.0 + 2.0 * r / rows, std::cos(a));
    }
  const Int32 bottom = m.Point(0, -1, 0), top = m.Point(0, 1, 0);
  auto ring = [&](Int32 r, Int32 k) { return r * n + k % n; };
  auto u = [&](Int32 k) { return 0.02 + 0.96 * k / n; };
  auto v = [&](Int32 r, Int32 k) { return 0.4 + 0.12 * r + 0.03 * std::sin(2.0 * PI * k / 8); };
  for (Int32 r = 0; r < rows; ++r)
    for (Int32 k = 0; k < n; ++k)
      m.Face({ring(r, k), ring(r, k + 1), ring(r + 1, k + 1), ring(r + 1, k)},
             {{u(k), v(r, k)},
              {u(k + 1), v(r, k + 1)},
              {u(k + 1), v(r + 1, k + 1)},
              {u(k), v(r + 1, k)}});
  // Seen from above a ring point lies at (sin a, -cos a); seen from below at (sin a, cos a).
  const Float rad = 0.15, cv = 0.18;
  for (Int32 k = 0; k < n; ++k) {
    const Float a = 2.0 * PI * k / n, b = 2.0 * PI * (k + 1) / n;
    m.Face({top, ring(rows, k), ring(rows, k + 1)},
           {{0.25, cv},
            {0.25 + rad * std::sin(a), cv - rad * std::cos(a)},
            {0.25 + rad * std::sin(b), cv - rad * std::cos(b)}});
  }
  for (Int32 k = 0; k < n; ++k) {
    const Float a = 2.0 * PI * k / n, b = 2.0 * PI * (k + 1) / n;
    m.Face({bottom, ring(0, k + 1), ring(0, k)},
           {{0.75, cv},
            {0.75 + rad * std::sin(b), cv + rad * std::cos(b)},
            {0.75 + rad * std::sin(a), cv + rad * std::cos(a)}});
  }
  return m.Build("WavyCylinder");
}

// Four strips of two unit quads facing up, each strip a UV island with a fault of its own to
// find: 0 is sound (0.1875 UV units per unit), 1 is mirrored in u, 2 has half the density of the
// others, 3 overlaps island 0. UVs are multiples of 1/32, so every figure is exact.
PolygonObject* Broken() {
  Mesh m;
  auto strip = [&](Float x, Float u0, Float v0, Float cell, bool mirrored) {
    Int32 p[2][3];
    for (Int32 j = 0; j < 2; ++j)
      for (Int32 i = 0; i < 3; ++i) p[j][i] = m.Point(x + i, 0.0, -Float(j));
    for (Int32 i = 0; i < 2; ++i) {
      Float a = u0 + cell * i, b = u0 + cell * (i + 1);
      if (mirrored) {
        a = u0 + cell * (2 - i);
        b = u0 + cell * (1 - i);
      }
      m.Face({p[0][i], p[0][i + 1], p[1][i + 1], p[1][i]},
             {{a, v0}, {b, v0}, {b, v0 + cell}, {a, v0 + cell}});
    }
  };
  strip(0, 0.0625, 0.75, 0.1875, false);
  strip(3, 0.5625, 0.75, 0.1875, true);
  strip(6, 0.25, 0.125, 0.09375, false);
  strip(9, 0.125, 0.625, 0.1875, false);
  return m.Build("Broken");
}

// "NxM" with 1 <= N, M <= 2000.
bool ParseGridSize(std::string_view s, Int32& cols, Int32& rows) {
  size_t x = s.find('x');
  if (x == std::string_view::npos) return false;
  auto whole = [](std::string_view w, Int32& out) {
    auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return !w.empty() && r.ec == std::errc() && r.ptr == w.data() + w.size() && out >= 1 &&
           out <= 2000;
  };
  return whole(s.substr(0, x), cols) && whole(s.substr(x + 1), rows);
}

}  // namespace

std::vector<BuiltinScene> BuiltinScenes() {
  return {
      {"cube", "a cube unwrapped into a cross (8 points, 6 quads)"},
      {"grid", "a plane of 4x4 quads tiling the UV square; grid:NxM for N x M quads (1-2000)"},
      {"cylinder", "8 side quads unrolled into a strip, two triangle-fan caps as discs"},
      {"ngon", "a hexagon n-gon (4 triangles) beside a quad"},
      {"islands", "three quads: two form one UV island, the third an island of its own"},
      {"wavycylinder", "16 x 4 side quads whose UV strip waves, two triangle-fan caps as discs"},
      {"broken", "four UV islands: one sound, one mirrored, one at half density, one overlapping"},
  };
}

bool LoadBuiltinScene(const std::string& name, BaseDocument& doc, std::string& error) {
  PolygonObject* op = nullptr;
  if (name == "cube") {
    op = Cube();
  } else if (name == "grid") {
    op = Grid(4, 4);
  } else if (name.starts_with("grid:")) {
    Int32 cols = 0, rows = 0;
    if (!ParseGridSize(std::string_view(name).substr(5), cols, rows)) {
      error = "built-in scene " + name + ": expected grid:NxM with N and M from 1 to 2000";
      return false;
    }
    op = Grid(cols, rows);
  } else if (name == "cylinder") {
    op = Cylinder();
  } else if (name == "ngon") {
    op = Ngon();
  } else if (name == "islands") {
    op = Islands();
  } else if (name == "wavycylinder") {
    op = WavyCylinder();
  } else if (name == "broken") {
    op = Broken();
  } else {
    error = "unknown built-in scene \"" + name +
            "\" (cube, grid, grid:NxM, cylinder, ngon, islands, wavycylinder, broken)";
    return false;
  }
  if (!op) {
    error = "built-in scene " + name + ": could not be built";
    return false;
  }
  doc.InsertObject(op, nullptr, static_cast<BaseObject*>(doc.GetObjectHead()->GetLast()));
  return true;
}

std::string SceneStem(const std::string& scene) {
  if (scene.rfind("builtin:", 0) == 0) {
    std::string name = scene.substr(8);
    std::replace(name.begin(), name.end(), ':', '-');
    return name;
  }
  return std::filesystem::path(scene).stem().string();
}

}  // namespace pelterra
