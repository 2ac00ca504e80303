// The island tools against a plain form of themselves on random meshes, bit for bit: islands by
// the pass-after-pass flood fill, each polygon moved through the host's matrices about the
// island centre (translation, matrix, inverse translation), and the carry as a walk of every
// unselected corner over the island's old corners.
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "UVIslandTools.h"
#include "uv_scene.h"

namespace {

// The islands of list, each ascending, in the order of their first entry.
std::vector<std::vector<Int32>> FloodIslands(const UVWStruct* uv, const std::vector<Int32>& list) {
  std::vector<std::uint8_t> visited(list.size(), 0);
  std::vector<std::vector<Int32>> out;
  BaseSelect working;
  for (size_t i = 0; i < list.size(); ++i) {
    if (visited[i]) continue;
    FloodIsland(uv, list, static_cast<Int32>(i), visited, working);
    out.push_back(SelectedPolygonList(&working, static_cast<Int32>(list.back()) + 1));
  }
  return out;
}

// One tool run the plain way. transform fills newer for one island (four per polygon) and
// answers whether it changed it.
using PlainTransform = std::function<bool(std::vector<UVWStruct>&, const std::vector<Int32>&,
                                          std::vector<Vector>&)>;
void PlainRun(std::vector<UVWStruct>& uv, const std::vector<Int32>& list, bool keep, bool exact,
              const PlainTransform& transform) {
  std::vector<std::uint8_t> selected(uv.size(), 0);
  for (Int32 p : list) selected[static_cast<size_t>(p)] = 1;
  for (const std::vector<Int32>& island : FloodIslands(uv.data(), list)) {
    std::vector<Vector> old, newer;
    for (Int32 p : island) AppendCorners(uv[static_cast<size_t>(p)], old);
    newer = old;
    if (!transform(uv, island, newer) || !keep) continue;
    for (size_t p = 0; p < uv.size(); ++p) {
      if (selected[p]) continue;
      for (Int32 c = 0; c < 4; ++c) {
        const Vector x = uv[p][c];
        for (size_t k = 0; k < old.size(); ++k) {
          const bool match = exact ? UVEqual(x, old[k]) : UVCoincident(x, old[k]);
          if (!match) continue;
          uv[p][c] = newer[k];
          break;
        }
      }
    }
  }
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(UVWStruct)) == 0;
}

struct IslandTransforms : UVScene {
  std::vector<CPolygon> polys;

  // Islands of 1 to 3 x 1 to 3 quads 0.05 wide on a loose grid, welded exactly, some corners
  // nudged by 0.004 (still on the island) or 0.004 off a neighbour's; a third of the polygons
  // triangles; now and then a corner at -0, with w, or so far out that a transform overflows.
  std::vector<UVWStruct> MakeMesh(std::mt19937& rng, Int32 quads) {
    std::uniform_real_distribution<Float> unit(0.0, 1.0);
    std::vector<UVWStruct> m;
    while (static_cast<Int32>(m.size()) < quads) {
      const Float u0 = (rng() % 8) * 0.2 - 0.4, v0 = (rng() % 8) * 0.2;
      const Int32 w = 1 + static_cast<Int32>(rng() % 3), h = 1 + static_cast<Int32>(rng() % 3);
      for (Int32 r = 0; r < h; ++r)
        for (Int32 c = 0; c < w; ++c) m.push_back(Quad(u0 + c * 0.05, v0 + r * 0.05, 0.05));
    }
    m.resize(static_cast<size_t>(quads));
    for (UVWStruct& s : m) {
      for (Int32 k = 0; k < 4; ++k) {
        switch (rng() % 24) {
          case 0:
            s[k].x += 0.004;
            break;
          case 1:
            s[k].x = -0.0;
            break;
          case 2:
            s[k].z = 0.25;
            break;
          case 3:
            if (rng() % 4 == 0) s[k].y = 1.5e308;
            break;
          default:
            break;
        }
      }
    }
    std::shuffle(m.begin(), m.end(), rng);
    return m;
  }

  void MakeScene(const std::vector<UVWStruct>& uvs, std::mt19937& rng) {
    const Int32 n = static_cast<Int32>(uvs.size());
    op = PolygonObject::Alloc(4 * n, n);
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    polys.clear();
    for (Int32 i = 0; i < n; ++i) {
      const bool triangle = rng() % 3 == 0;
      op->GetPolygonW()[i] = CPolygon(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + (triangle ? 2 : 3));
      polys.push_back(op->GetPolygonR()[i]);
      tag->SetSlow(i, uvs[static_cast<size_t>(i)]);
    }
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(Muvpolygons);
  }

  std::vector<Int32> SelectSome(std::mt19937& rng, Int32 n) {
    std::vector<Int32> list;
    for (Int32 i = 0; i < n; ++i)
      if (rng() % 4 != 0) list.push_back(i);
    SelectAscending(op->GetPolygonS(), list);
    return list;
  }

  // The host's way: T * (M * (T^-1 * p)) through TransformPolygonUV.
  PlainTransform MatrixAboutCentre(const Matrix& m, const Vector* pivot = nullptr) {
    return [this, m, pivot](std::vector<UVWStruct>& uv, const std::vector<Int32>& island,
                            std::vector<Vector>& newer) {
      const Vector c = pivot ? *pivot : SelectionCenterUV(uv.data(), island, polys.data());
      for (size_t k = 0; k < island.size(); ++k)
        TransformPolygonUV(uv.data(), island[k], c, m, newer, k);
      return true;
    };
  }
};

}  // namespace

TEST_F(IslandTransforms, ScaleRotateMoveAndFitMatchThePlainFormBitForBit) {
  std::mt19937 rng(1919);
  const Float angle = 0.7;
  int carried = 0;
  for (int round = 0; round < 32; ++round) {
    const bool keep = round % 2 == 1;
    const int tool = (round / 2) % 4;
    const std::vector<UVWStruct> start = MakeMesh(rng, 60 + static_cast<Int32>(rng() % 140));
    MakeScene(start, rng);
    const std::vector<Int32> list = SelectSome(rng, static_cast<Int32>(start.size()));
    std::vector<UVWStruct> plain = start;
    bool ran = false;
    switch (tool) {
      case 0:
        ran = ScaleIslands(1.7, 0.45, true, round % 3 != 0, keep);
        PlainRun(plain, list, keep, false,
                 MatrixAboutCentre(MatrixScale(Vector(1.7, round % 3 != 0 ? 0.45 : 1.0, 1.0))));
        break;
      case 1: {
        // With one UV point selected every island turns about it.
        const bool pivot = round % 3 == 0;
        const Vector at = start[3].b;
        if (pivot) Points({3 * 4 + 1});
        ran = RotateIslands(angle, keep);
        PlainRun(plain, list, keep, true, MatrixAboutCentre(MatrixRotZ(angle), pivot ? &at : nullptr));
        break;
      }
      case 2:
        ran = MoveIslandsTo(0.25, 0.75, keep, true, round % 3 != 0);
        PlainRun(plain, list, keep, true,
                 [&](std::vector<UVWStruct>& uv, const std::vector<Int32>& island,
                     std::vector<Vector>& newer) {
                   const Vector c = SelectionCenterUV(uv.data(), island, polys.data());
                   const Vector d(0.25 - c.x, 0.75 - c.y, 0.0 - c.z);
                   const bool moveV = round % 3 != 0;
                   for (size_t k = 0; k < island.size(); ++k)
                     MapPolygonUV(
                         uv.data(), island[k],
                         [&](const Vector& p) {
                           return Vector(p.x + d.x, moveV ? p.y + d.y : p.y, p.z + d.z);
                         },
                         newer, k);
                   return true;
                 });
        break;
      default:
        ran = FitIslandsToSize(0.3, 0.2, keep);
        PlainRun(plain, list, keep, false,
                 [&](std::vector<UVWStruct>& uv, const std::vector<Int32>& island,
                     std::vector<Vector>& newer) {
                   // Extent over a, b, c and, for quads, d.
                   Float u0 = INFINITY, u1 = -INFINITY, v0 = INFINITY, v1 = -INFINITY;
                   for (Int32 p : island)
                     for (Int32 k = 0; k < (polys[static_cast<size_t>(p)].c ==
                                                    polys[static_cast<size_t>(p)].d
                                                ? 3
                                                : 4);
                          ++k) {
                       const Vector& x = uv[static_cast<size_t>(p)][k];
                       u0 = std::min(u0, x.x);
                       u1 = std::max(u1, x.x);
                       v0 = std::min(v0, x.y);
                       v1 = std::max(v1, x.y);
                     }
                   if (u1 - u0 == 0.0 || v1 - v0 == 0.0) return false;
                   return MatrixAboutCentre(
                       MatrixScale(Vector(0.3 / (u1 - u0), 0.2 / (v1 - v0), 1.0)))(uv, island,
                                                                                    newer);
                 });
        break;
    }
    ASSERT_TRUE(ran) << "round " << round;
    const std::vector<UVWStruct> got = All();
    ASSERT_TRUE(SameBits(got, plain)) << "round " << round << " tool " << tool;
    ASSERT_FALSE(SameBits(got, start)) << "round " << round << ": the tool must move something";
    // Count the runs where an unselected corner followed.
    if (keep) {
      std::vector<std::uint8_t> in(start.size(), 0);
      for (Int32 p : list) in[static_cast<size_t>(p)] = 1;
      for (size_t p = 0; p < start.size(); ++p)
        if (!in[p] && std::memcmp(&got[p], &start[p], sizeof(UVWStruct)) != 0) ++carried;
    }
  }
  EXPECT_GT(carried, 20) << "the carry must have been exercised";
}
