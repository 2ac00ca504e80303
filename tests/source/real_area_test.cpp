// Real area scaling: each connected part of a selected polygon sized to its 3D area or to a
// texture's pixel density, the exact neighbour carry, the refusals, undo, the dialog's real-area
// state, and the indexed run against the plain algorithm on random meshes.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "UVRealArea.h"
#include "c4d_general.h"
#include "c4d_symbols.h"
#include "runtime/commands.h"
#include "uv_scene.h"

namespace {

constexpr Float kInf = std::numeric_limits<Float>::infinity();
constexpr Float kNaN = std::numeric_limits<Float>::quiet_NaN();

// A unit square in 3D at height z on points first .. first + 3.
std::vector<Vector> Square(Float z = 0) {
  return {Vector(0, 0, z), Vector(1, 0, z), Vector(1, 1, z), Vector(0, 1, z)};
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

struct RealArea : UVScene {
  // A new active object from its points, polygons and UVs, with polygons sel selected.
  void Mesh(const std::vector<Vector>& points, const std::vector<CPolygon>& polys,
            const std::vector<UVWStruct>& uvs, std::initializer_list<Int32> sel,
            Int32 mode = Muvpolygons) {
    op = PolygonObject::Alloc(static_cast<Int32>(points.size()), static_cast<Int32>(polys.size()));
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (size_t i = 0; i < points.size(); ++i) op->GetPointW()[i] = points[i];
    for (size_t i = 0; i < polys.size(); ++i) {
      op->GetPolygonW()[i] = polys[i];
      tag->SetSlow(static_cast<Int32>(i), uvs[i]);
    }
    for (Int32 s : sel) op->GetPolygonS()->Select(s);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(mode);
  }
  // Quads on points of their own, each a unit square in 3D.
  void Squares(const std::vector<UVWStruct>& uvs, std::initializer_list<Int32> sel) {
    std::vector<Vector> points;
    std::vector<CPolygon> polys;
    for (size_t i = 0; i < uvs.size(); ++i) {
      const Int32 b = static_cast<Int32>(4 * i);
      for (const Vector& p : Square(static_cast<Float>(i))) points.push_back(p);
      polys.emplace_back(b, b + 1, b + 2, b + 3);
    }
    Mesh(points, polys, uvs, sel);
  }
  void Units(Float scale, DOCUMENT_UNIT unit) {
    UnitScaleData u;
    u.SetUnitScale(scale, unit);
    doc->SetUnitScale(u);
  }
  std::vector<Int32> Selected(Int32 limit = 64) {
    std::vector<Int32> out;
    for (Int32 i = 0; i < limit; ++i)
      if (op->GetPolygonS()->IsSelected(i)) out.push_back(i);
    return out;
  }
  // The unit choice is enabled only in texture mode, as for a user.
  void ChooseUnit(Int32 option) {
    Bool texture = false;
    dlg.GetBool(IDC_RA_TEXTURE_MODE, texture);
    Tick(IDC_RA_TEXTURE_MODE, true);
    Choose(IDC_RA_UNIT, option);
    Tick(IDC_RA_TEXTURE_MODE, texture);
  }
  TransformState& T() { return dlg.State<TransformState>(); }
  bool Checked(Int32 id) {
    Bool on = false;
    dlg.GetBool(id, on);
    return on;
  }
};

}  // namespace

TEST_F(RealArea, AreaModeAndTextureModeInMetres) {
  // 2 x 2 m in 3D; metres chosen, so k = 1000 * 0.001 = 1. UV area 0.25: s = 2 / 0.5 = 4 about
  // (0.5, 0.5).
  const std::vector<Vector> twoByTwo = {Vector(0, 0, 0), Vector(2, 0, 0), Vector(2, 2, 0),
                                        Vector(0, 2, 0)};
  Units(1, DOCUMENT_UNIT_M);
  Mesh(twoByTwo, {CPolygon(0, 1, 2, 3)}, {Quad(0.25, 0.25, 0.5)}, {0});
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  ChooseUnit(IDC_RA_UNIT_M);
  Click(IDC_RA_APPLY);
  ExpectUV(UV(0), Quad(-0.5, -0.5, 2), "both directions");

  // Only along U: v stays.
  Mesh(twoByTwo, {CPolygon(0, 1, 2, 3)}, {Quad(0.25, 0.25, 0.5)}, {0});
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  Tick(IDC_SCALE_V_ON, false);
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  Click(IDC_RA_APPLY);
  ExpectUV(UV(0), UVWStruct(V(-0.5, 0.25), V(1.5, 0.25), V(1.5, 0.75), V(-0.5, 0.75)), "u only");

  // Texture mode, 512 px and 128 px per metre: the 1 m edge a-b gets 128 / 512 = 0.25, so the
  // UV square of 0.5 halves about its centre.
  Mesh(Square(), {CPolygon(0, 1, 2, 3)}, {Quad(0.25, 0.25, 0.5)}, {0});
  EXPECT_FALSE(Enabled(IDC_RA_APPLY_TEXTURE)) << "texture apply needs texture mode";
  Tick(IDC_RA_TEXTURE_MODE, true);
  Click(IDC_RA_APPLY_TEXTURE);
  ExpectUV(UV(0), Quad(0.375, 0.375, 0.25), "texture");
  EXPECT_NEAR((UV(0).b - UV(0).a).GetLength(), 0.25, 1e-12);
}

TEST_F(RealArea, SceneUnitsConvertThroughMillimetres) {
  // An inch is 25.4001 mm: a 1 x 1 inch quad measured in mm has the side 25.4001, so the UV
  // square of 0.5 grows to 25.4001 (25.4 would be 1e-4 short).
  Units(1, DOCUMENT_UNIT_INCH);
  Squares({Quad(0, 0, 0.5)}, {0});
  EXPECT_TRUE(ApplyRealAreaButton(dlg.Tools()));
  EXPECT_NEAR(UV(0).b.x - UV(0).a.x, 25.4001, 1e-9);
  EXPECT_NEAR(UV(0).a.x, 0.25 - 0.25 * 50.8002, 1e-9);

  // 2.5 feet a unit, in metres: k = 2.5 * 304.8037 * 0.001; texture mode gives the 1-unit edge
  // k * 128 / 512 = 0.1905023125.
  Units(2.5, DOCUMENT_UNIT_FOOT);
  Squares({Quad(0, 0, 0.5)}, {0});
  EXPECT_TRUE(ApplyRealArea(
      1, true, true, true, 512, 128,
      MillimetresPerSceneUnit(2.5, DOCUMENT_UNIT_FOOT) * LengthUnitFactor(IDC_RA_UNIT_M)));
  EXPECT_NEAR(UV(0).b.x - UV(0).a.x, 0.1905023125, 1e-12);
  // Codes outside the table count as millimetres, another option as 1.
  EXPECT_EQ(MillimetresPerSceneUnit(3, 0), 3.0);
  EXPECT_EQ(MillimetresPerSceneUnit(3, 11), 3.0);
  EXPECT_EQ(LengthUnitFactor(0), 1.0);
}

TEST_F(RealArea, AConnectedPartIsScaledAsOneBlock) {
  // Three unit quads in a row sharing points (A3 = 3); 0 and 2 selected with far-apart UVs, 1
  // unselected. UV area 0.03, so s = sqrt(3 / 0.03) = 10 about the mean of the three centres
  // (0.05, 0.05), (0.45, 0.05), (0.85, 0.35): (0.45, 0.15).
  std::vector<Vector> points;
  for (Int32 i = 0; i < 8; ++i) points.emplace_back(i % 4, i / 4, 0);
  Units(1, DOCUMENT_UNIT_MM);
  Mesh(points, {CPolygon(0, 1, 5, 4), CPolygon(1, 2, 6, 5), CPolygon(2, 3, 7, 6)},
       {Quad(0, 0, 0.1), Quad(0.4, 0, 0.1), Quad(0.8, 0.3, 0.1)}, {0, 2});
  const Int32 undo = doc->GetUndoCount();
  EXPECT_TRUE(ApplyRealArea(1, true, true, false, 512, 128, 1));
  ExpectUV(UV(0), Quad(-4.05, -1.35, 1), "first");
  ExpectUV(UV(1), Quad(-0.05, -1.35, 1), "unselected neighbour");
  ExpectUV(UV(2), Quad(3.95, 1.65, 1), "second");
  EXPECT_EQ(Selected(), (std::vector<Int32>{0, 2}));
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);

  // A bow tie: two triangles that share one point are one part. A3 = 0.5 + 0.5, UV area
  // 0.005 + 0.005: s = 10; only the first is selected.
  Mesh({Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(2, 1, 0), Vector(2, 2, 0)},
       {CPolygon(0, 1, 2, 2), CPolygon(2, 3, 4, 4)},
       {Tri(V(0, 0), V(0.1, 0), V(0.1, 0.1)), Tri(V(0.5, 0.5), V(0.6, 0.5), V(0.6, 0.6))}, {0});
  EXPECT_TRUE(ApplyRealArea(1, true, true, false, 512, 128, 1));
  EXPECT_NEAR((UV(1).b - UV(1).a).GetLength(), 1.0, 1e-12) << "the unselected triangle";
  EXPECT_NEAR((UV(1).a - UV(0).a - V(5, 5)).GetLength(), 0.0, 1e-12);
}

TEST_F(RealArea, TextureModeMeasuresTheFirstPolygonOfTheLastRun) {
  // Polygons 0, 1 and 3 are one part, 2 is apart: the part's last run of indices is {3}. Its
  // edge a-b is 2 long in 3D and 0.25 in UV: s = 2 * 128 / (0.25 * 512) = 2. (Polygon 0 or 1
  // would give 1 * 128 / (0.1 * 512) = 2.5.)
  std::vector<Vector> points = Square();
  for (const Vector& p : {Vector(2, 0, 0), Vector(2, 1, 0)}) points.push_back(p);  // 4, 5
  for (const Vector& p : Square(7)) points.push_back(p);                           // 6 .. 9
  for (const Vector& p : {Vector(4, 0, 0), Vector(4, 1, 0)}) points.push_back(p);  // 10, 11
  const UVWStruct third(V(0.3, 0), V(0.55, 0), V(0.55, 0.1), V(0.3, 0.1));
  Mesh(points,
       {CPolygon(0, 1, 2, 3), CPolygon(1, 4, 5, 2), CPolygon(6, 7, 8, 9), CPolygon(4, 10, 11, 5)},
       {Quad(0, 0, 0.1), Quad(0.1, 0, 0.1), Quad(0.5, 0.5, 0.1), third}, {0});
  EXPECT_TRUE(ApplyRealArea(1, true, true, true, 512, 128, 1));
  EXPECT_NEAR((UV(3).b - UV(3).a).GetLength(), 0.5, 1e-12);
  EXPECT_NEAR((UV(0).b - UV(0).a).GetLength(), 0.2, 1e-12);
  EXPECT_EQ(UV(2), Quad(0.5, 0.5, 0.1)) << "another part";
}

TEST_F(RealArea, PartsThatCannotBeScaledStayAndTheRunGoesOn) {
  // 0: no UV area; 1: no 3D area; 2: UV area 0.25, s = 2 about (0.45, 0.45); 3: an infinite u.
  const UVWStruct flat(V(0.5, 0.5), V(0.5, 0.5), V(0.5, 0.5), V(0.5, 0.5));
  const UVWStruct endless(V(0, 0), V(kInf, 0), V(0.1, 0.1), V(0, 0.1));
  const std::vector<UVWStruct> uvs = {flat, Quad(0, 0, 0.1), Quad(0.2, 0.2, 0.5), endless};
  Squares(uvs, {0, 1, 2, 3});
  for (Int32 i = 4; i < 8; ++i) op->GetPointW()[i] = Vector(3, 3, 3);
  EXPECT_TRUE(ApplyRealArea(1, true, true, false, 512, 128, 1));
  const std::vector<UVWStruct> after = All();
  EXPECT_TRUE(SameBits({after[0], after[1], after[3]}, {flat, Quad(0, 0, 0.1), endless}));
  ExpectUV(after[2], Quad(-0.05, -0.05, 1), "scaled");
  for (const UVWStruct& s : after)
    for (Int32 k = 0; k < 4; ++k) EXPECT_FALSE(std::isnan(s[k].x) || std::isnan(s[k].y));

  // When no part can be scaled nothing at all changes: no UV, no selection, no undo step.
  auto unchanged = [&](bool result, const char* what) {
    const Int32 undo = doc->GetUndoCount();
    const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
    const std::vector<UVWStruct> before = All();
    const std::vector<Int32> sel = Selected();
    EXPECT_FALSE(result) << what;
    EXPECT_TRUE(SameBits(All(), before)) << what;
    EXPECT_EQ(Selected(), sel) << what;
    EXPECT_EQ(doc->GetUndoCount(), undo) << what;
    EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty) << what;
  };
  Squares(uvs, {0, 1, 3, 40});
  for (Int32 i = 4; i < 8; ++i) op->GetPointW()[i] = Vector(3, 3, 3);
  unchanged(ApplyRealArea(1, true, true, false, 512, 128, 1), "no part");
  Squares(uvs, {2});
  unchanged(ApplyRealArea(0, true, true, false, 512, 128, 1), "factor 0");
  unchanged(ApplyRealArea(kNaN, true, true, false, 512, 128, 1), "undefined factor");
  unchanged(ApplyRealArea(1, true, true, true, 0, 128, 1), "texture size 0");
  unchanged(ApplyRealArea(1, true, true, true, 512, -128, 1), "negative density");
  for (Float k : {0.0, -1.0, kNaN, kInf})
    unchanged(ApplyRealArea(1, true, true, false, 512, 128, k), "k");
  // A reference edge of no UV length.
  Squares({UVWStruct(V(0.2, 0.2), V(0.2, 0.2), V(0.4, 0.4), V(0.2, 0.4))}, {0});
  unchanged(ApplyRealArea(1, true, true, true, 512, 128, 1), "edge of length 0");
  // A unit scale of 0 or an undefined one, through the button.
  Squares(uvs, {2});
  for (Float scale : {0.0, kNaN, -2.0}) {
    Units(scale, DOCUMENT_UNIT_CM);
    unchanged(ApplyRealAreaButton(dlg.Tools()), "unit scale");
  }
}

TEST_F(RealArea, TheCarryMovesOutsideCornersOnceAndUndoIsExact) {
  // A 4 x 4 grid, one part (3D 2 x 2 on 0.5 steps, UV the unit square on 0.25 steps): s = 2
  // about (0.5, 0.5), so u becomes 2u - 0.5 (0.25 -> 0, 0 -> -0.5). Polygon 16, a part of its
  // own, has its a on the old (0.25, 0.25) and its b on the old (0.75, 0.75): they go to (0, 0)
  // and (1, 1) once and no further (the old (1, 1), later in the list, went to (1.5, 1.5)),
  // while the grid's own corners are placed by the scaling alone.
  std::vector<Vector> points;
  for (Int32 i = 0; i < 25; ++i) points.emplace_back(0.5 * (i % 5), 0.5 * (i / 5), 0);
  for (const Vector& p : Square(5)) points.push_back(p);
  std::vector<CPolygon> polys;
  std::vector<UVWStruct> uvs;
  for (Int32 r = 0; r < 4; ++r)
    for (Int32 c = 0; c < 4; ++c) {
      const Int32 b = c + 5 * r;
      polys.emplace_back(b, b + 1, b + 6, b + 5);
      uvs.push_back(Quad(0.25 * c, 0.25 * r, 0.25));
    }
  polys.emplace_back(25, 26, 27, 28);
  uvs.emplace_back(V(0.25, 0.25), V(0.75, 0.75), V(3.25, 3), V(3, 3.25));
  Mesh(points, polys, uvs, {5, 40});
  const std::vector<UVWStruct> before = All();
  const Int32 undo = doc->GetUndoCount();

  EXPECT_TRUE(ApplyRealArea(1, true, true, false, 512, 128, 1));
  for (Int32 r = 0; r < 4; ++r)
    for (Int32 c = 0; c < 4; ++c)
      EXPECT_EQ(UV(c + 4 * r), Quad(0.5 * c - 0.5, 0.5 * r - 0.5, 0.5)) << r << " " << c;
  EXPECT_EQ(UV(16), UVWStruct(V(0, 0), V(1, 1), V(3.25, 3), V(3, 3.25)));
  EXPECT_EQ(Selected(), (std::vector<Int32>{5}));
  EXPECT_EQ(doc->GetUndoCount(), undo + 1);

  const std::vector<UVWStruct> after = All();
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_TRUE(SameBits(All(), before));
  EXPECT_EQ(Selected(), (std::vector<Int32>{5, 40}));
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_TRUE(SameBits(All(), after));
  EXPECT_EQ(Selected(), (std::vector<Int32>{5}));
}

TEST_F(RealArea, MeasureEntersTheRealAreaStateAndTheRefreshFollows) {
  Squares({Quad(0, 0, 0.1)}, {0});
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  Tick(IDC_LIVE_SCALE, true);
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  SetFloatField(dlg, IDC_RA_READOUT1, kReadoutField, 0.5);
  SetFloatField(dlg, IDC_RA_READOUT2, kReadoutField, 0.5);
  EXPECT_TRUE(Enabled(IDC_SCALE_U));
  EXPECT_TRUE(Enabled(IDC_RA_MEASURE));
  EXPECT_FALSE(Enabled(IDC_RA_APPLY_TEXTURE));

  // A failed measure (UV points) says so and changes nothing.
  doc->SetMode(Muvpoints);
  const Int32 events = host.EventCount();
  Click(IDC_RA_MEASURE);
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages().back().text, String("Chenge UVpolygon Mode!"));
  EXPECT_EQ(T().kind, TransformKind::kNone);
  EXPECT_TRUE(Checked(IDC_LIVE_SCALE));
  EXPECT_EQ(host.EventCount(), events);

  // In area mode the readouts stay; the dialog takes the real-area state.
  doc->SetMode(Muvpolygons);
  Click(IDC_RA_MEASURE);
  EXPECT_EQ(T().kind, TransformKind::kRealArea);
  EXPECT_FALSE(Checked(IDC_LIVE_SCALE));
  EXPECT_EQ(F(IDC_RA_READOUT1), 0.5);
  EXPECT_GT(host.EventCount(), events);
  EXPECT_FALSE(Enabled(IDC_SCALE_U));
  EXPECT_FALSE(Enabled(IDC_RA_MEASURE));
  EXPECT_TRUE(Enabled(IDC_RA_APPLY_TEXTURE)) << "the real-area state enables it";
  EXPECT_TRUE(SameBits(All(), {Quad(0, 0, 0.1)})) << "the measure changes no UVs";

  // With texture mode on the measure clears the readouts.
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  Click(IDC_SCALE_RESET);  // back to no stored transform
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  Tick(IDC_RA_TEXTURE_MODE, true);
  Click(IDC_RA_MEASURE);
  EXPECT_EQ(F(IDC_RA_READOUT1), 0.0);
  EXPECT_EQ(F(IDC_RA_READOUT2), 0.0);
}

// --- the indexed run against the plain algorithm ---

namespace {

// The plain algorithm: the host's select connected per part, the list flags scanned, and the
// carry over every polygon outside the part (first exactly equal finite old corner, once).
bool PlainRealArea(hostrt::Host& host, PolygonObject* op, std::vector<UVWStruct>& uv, Float factor,
                   bool alongU, bool alongV, bool texture, Int32 size, Int32 ppu, Float k) {
  const Int32 n = op->GetPolygonCount();
  const CPolygon* polys = op->GetPolygonR();
  const Vector* points = op->GetPointR();
  const Int32 np = op->GetPointCount();
  BaseSelect* working = op->GetPolygonS();
  std::vector<Int32> list;
  for (Int32 i = 0; i < n; ++i)
    if (working->IsSelected(i)) list.push_back(i);
  std::vector<char> flag(list.size(), 0);
  bool any = false;
  for (size_t i = 0; i < list.size(); ++i) {
    if (flag[i]) continue;
    flag[i] = 1;
    working->DeselectAll();
    working->Select(list[i]);
    host.CallCommand(hostrt::kCommandSelectConnected, 0);
    std::vector<Int32> part;
    for (Int32 p = 0; p < n; ++p)
      if (working->IsSelected(p)) part.push_back(p);
    for (size_t j = 0; j < list.size(); ++j)
      if (working->IsSelected(list[j])) flag[j] = 1;

    Float s = 0;
    if (texture) {
      size_t f = part.size() - 1;
      while (f > 0 && part[f - 1] + 1 == part[f]) --f;
      const CPolygon& r = polys[part[f]];
      if (r.a < 0 || r.a >= np || r.b < 0 || r.b >= np) continue;
      s = ((points[r.b] - points[r.a]).GetLength() * k * ppu) /
          ((uv[part[f]].b - uv[part[f]].a).GetLength() * size);
    } else {
      s = std::sqrt(AreaOfSelection3D(part, polys, n, points, np, k)) * factor /
          std::sqrt(AreaOfSelectionUV(uv.data(), part, polys));
    }
    if (!std::isfinite(s) || s <= 0) continue;
    const Vector c = SelectionCenterUV(uv.data(), part, polys);
    if (!c.IsFinite()) continue;
    any = true;
    const Vector scale = texture ? Vector(s, s, 1) : Vector(alongU ? s : 1, alongV ? s : 1, 1);
    std::vector<Vector> old, newer(4 * part.size());
    for (Int32 p : part) AppendCorners(uv[static_cast<size_t>(p)], old);
    for (size_t j = 0; j < part.size(); ++j)
      TransformPolygonUV(uv.data(), part[j], c, MatrixScale(scale), newer, j);
    std::vector<char> in(static_cast<size_t>(n), 0);
    for (Int32 p : part) in[static_cast<size_t>(p)] = 1;
    for (Int32 p = 0; p < n; ++p) {
      if (in[static_cast<size_t>(p)]) continue;
      for (Int32 corner = 0; corner < 4; ++corner) {
        Vector& x = uv[static_cast<size_t>(p)][corner];
        for (size_t m = 0; m < old.size(); ++m)
          if (old[m].IsFinite() && UVEqual(x, old[m])) {
            x = newer[m];
            break;
          }
      }
    }
  }
  working->DeselectAll();
  for (Int32 p : list) working->Select(p);
  return any;
}

}  // namespace

TEST_F(RealArea, IndexedRunMatchesThePlainAlgorithmOnRandomMeshes) {
  std::mt19937 rng(15);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  // Coordinates on a coarse lattice so that exact coincidences are common, with -0, NaN and inf.
  auto coord = [&]() -> Float {
    const int r = pick(150);
    if (r == 0) return -0.0;
    if (r == 1) return kNaN;
    if (r == 2) return kInf;
    return 0.25 * (pick(9) - 3);
  };
  int scaledRuns = 0;
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Int32 np = 6 + pick(30), n = 1 + pick(25);
    std::vector<Vector> points;
    for (Int32 i = 0; i < np; ++i)
      points.emplace_back(pick(4), pick(4), pick(3) == 0 ? 0 : pick(2));
    std::vector<CPolygon> polys;
    std::vector<UVWStruct> uvs;
    for (Int32 i = 0; i < n; ++i) {
      // Points from a window of the point list: parts that share points, some apart; now and
      // then a point that does not exist.
      const Int32 base = pick(np);
      auto pt = [&]() { return pick(60) == 0 ? np + pick(3) : (base + pick(4)) % np; };
      CPolygon p(pt(), pt(), pt(), pt());
      if (pick(4) == 0) p.d = p.c;  // a triangle
      polys.push_back(p);
      UVWStruct s;
      for (Int32 c = 0; c < 4; ++c) s[c] = Vector(coord(), coord(), pick(6) == 0 ? coord() : 0.0);
      // Copies of another polygon's corners: stacked and touching parts.
      if (i > 0 && pick(3) == 0) s = uvs[static_cast<size_t>(pick(i))];
      if (i > 0 && pick(3) == 0) s[pick(4)] = uvs[static_cast<size_t>(pick(i))][pick(4)];
      uvs.push_back(s);
    }
    const bool texture = pick(2) == 0;
    const Float factor = std::vector<Float>{0.0, 0.5, 1.0, 2.0}[static_cast<size_t>(pick(4))];
    const bool alongU = pick(3) != 0, alongV = pick(3) != 0;
    const Int32 size = 64 * (1 + pick(8)), ppu = 32 * (1 + pick(8));
    const Float k = pick(2) ? 1.0 : 0.1;

    Mesh(points, polys, uvs, {});
    for (Int32 i = 0; i < n; ++i)
      if (pick(3) == 0) op->GetPolygonS()->Select(i);
    if (op->GetPolygonS()->GetCount() == 0) op->GetPolygonS()->Select(pick(n));
    // The plain run works on a copy of the UVs but, through the host's command, on the object's
    // own selection; the selection is put back before the tool runs.
    BaseSelect* given = op->GetPolygonS()->GetClone();
    std::vector<UVWStruct> expected = All();
    const bool plain =
        PlainRealArea(host, op, expected, factor, alongU, alongV, texture, size, ppu, k);
    BaseSelect* plainSel = op->GetPolygonS()->GetClone();
    given->CopyTo(op->GetPolygonS());
    const bool got = ApplyRealArea(factor, alongU, alongV, texture, size, ppu, k);
    EXPECT_EQ(got, plain);
    EXPECT_TRUE(SameBits(All(), expected));
    if (got) {
      EXPECT_TRUE(*op->GetPolygonS() == *plainSel);
    }
    scaledRuns += got ? 1 : 0;
    BaseSelect::Free(given);
    BaseSelect::Free(plainSel);
  }
  EXPECT_GT(scaledRuns, 100) << "most rounds must scale something";
}
