// The shared UV functions: tolerance, UV point indices, selected-polygon lists, vector and matrix
// helpers, polygon centres and areas, and the transform of one UV polygon.
#include "UVFunction.h"

#include <gtest/gtest.h>

namespace {

void ExpectNear(const Vector& got, const Vector& want, Float eps = 1e-12) {
  EXPECT_NEAR((got - want).GetLength(), 0.0, eps) << got.x << ' ' << got.y << ' ' << got.z;
}

void ExpectIdentity(const Matrix& m, Float eps = 1e-12) {
  ExpectNear(m.off, Vector(0, 0, 0), eps);
  ExpectNear(m.v1, Vector(1, 0, 0), eps);
  ExpectNear(m.v2, Vector(0, 1, 0), eps);
  ExpectNear(m.v3, Vector(0, 0, 1), eps);
}

}  // namespace

TEST(UVFunction, ToleranceIsEuclideanOverUVW) {
  EXPECT_TRUE(UVCoincident(Vector(0.5, 0.5, 0), Vector(0.509, 0.5, 0)));
  EXPECT_FALSE(UVCoincident(Vector(0.5, 0.5, 0), Vector(0.511, 0.5, 0)));
  // 0.008 in u and 0.008 in w: 0.0113 apart.
  EXPECT_FALSE(UVCoincident(Vector(0, 0, 0), Vector(0.008, 0, 0.008)));
  EXPECT_TRUE(UVCoincident(Vector(0, 0, 0), Vector(0, 0, 0.0099)));
  // The test is strict: exactly 0.01 apart is two UV points.
  EXPECT_FALSE(UVCoincident(Vector(0, 0, 0), Vector(0.01, 0, 0)));
  EXPECT_FALSE(UVCoincident(Vector(0, 0.25, 0), Vector(0, 0.25, -0.01)));
  EXPECT_FALSE(UVEqual(Vector(0, 0, 0), Vector(0, 0, 1e-15)));
  EXPECT_TRUE(UVMatches(UVMatch::kTolerance, Vector(0, 0, 0), Vector(0.005, 0, 0)));
  EXPECT_FALSE(UVMatches(UVMatch::kExact, Vector(0, 0, 0), Vector(0.005, 0, 0)));
}

TEST(UVFunction, UVPointIndicesAndSelectedPolygons) {
  UVPointRef r;
  ASSERT_TRUE(DecodeUVPointIndex(9, 3, r));
  EXPECT_EQ(r.polygon, 2);
  EXPECT_EQ(r.corner, 1);
  EXPECT_FALSE(DecodeUVPointIndex(-1, 3, r));
  EXPECT_FALSE(DecodeUVPointIndex(-4, 3, r));
  EXPECT_FALSE(DecodeUVPointIndex(12, 3, r)) << "4 x the polygon count names no corner";
  ASSERT_TRUE(DecodeUVPointIndex(11, 3, r));
  EXPECT_EQ(r.polygon * 4 + r.corner, 11);
  EXPECT_FALSE(DecodeUVPointIndex(0, 0, r));
  EXPECT_FALSE(DecodeUVPointIndex(-2147483647 - 1, 3, r));

  BaseSelect sel;
  for (Int32 i : {1, 2, 3, 7, 9}) sel.Select(i);
  EXPECT_EQ(SelectedPolygonList(&sel, 8), (std::vector<Int32>{1, 2, 3, 7}));
  EXPECT_TRUE(SelectedPolygonList(nullptr, 8).empty());
  const std::vector<UVPointRef> points = SelectedUVPoints(&sel, 2);  // indices below 8
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[3].polygon, 1);
  EXPECT_EQ(points[3].corner, 3);
}

TEST(UVFunction, VectorAngleAndNormalizing) {
  EXPECT_EQ(VectorAngle(Vector(1, 0, 0), Vector(-1, 0, 0)), PI);
  EXPECT_EQ(VectorAngle(Vector(1, 0, 0), Vector(2, 0, 0)), 0.0);
  EXPECT_EQ(VectorAngle(Vector(0, 0, 0), Vector(3, 1, 0)), PI / 2);
  EXPECT_NEAR(VectorAngle(Vector(1, 1, 0), Vector(5, 0, 0)), PI / 4, 1e-15);

  Vector v(3, 4, 0);
  NormalizeVector(v);
  ExpectNear(v, Vector(0.6, 0.8, 0));
  Vector zero;
  NormalizeVector(zero);
  EXPECT_EQ(zero, Vector());
  ExpectNear(NormalizedCopy(Vector(0, 0, -2)), Vector(0, 0, -1));
  EXPECT_EQ(NormalizedCopy(Vector()), Vector());
}

TEST(UVFunction, Matrices) {
  const Matrix move(Vector(1, 2, 3), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1));
  const Matrix twice = MatrixScale(Vector(2, 2, 2));
  // Scale first, then move; and the other way round.
  ExpectNear(MatrixMultiply(move, twice) * Vector(1, 1, 1), Vector(3, 4, 5));
  ExpectNear(MatrixMultiply(twice, move) * Vector(1, 1, 1), Vector(4, 6, 8));
  ExpectNear(MatrixRotZ(PI / 2) * Vector(1, 0, 0), Vector(0, -1, 0));
  ExpectNear(MatrixRotZ(PI / 2) * Vector(0, 1, 5), Vector(1, 0, 5));

  ExpectIdentity(MatrixInverse(Matrix(Vector(4, 5, 6), Vector(), Vector(), Vector())));
  // Third axis = first + second.
  ExpectIdentity(
      MatrixInverse(Matrix(Vector(1, 0, 0), Vector(1, 2, 0), Vector(0, 1, 1), Vector(1, 3, 1))));
  const Matrix m(Vector(1, 2, 3), Vector(2, 0, 0), Vector(1, 3, 0), Vector(0, 1, 4));
  const Matrix inv = MatrixInverse(m);
  ExpectIdentity(MatrixMultiply(m, inv));
  ExpectIdentity(MatrixMultiply(inv, m));
  // m maps (1, 1, 1) to (1+2+1+0, 2+0+3+1, 3+0+0+4).
  ExpectNear(inv * Vector(4, 6, 7), Vector(1, 1, 1));
}

TEST(UVFunction, PolygonNormalCentreAndArea) {
  const Vector pts[5] = {Vector(0, 0, 0), Vector(2, 0, 0), Vector(2, 2, 0), Vector(0, 2, 0),
                         Vector(4, 0, 0)};
  const CPolygon quad(0, 1, 2, 3), tri(0, 1, 3), flat(0, 1, 4), outside(0, 1, 9);
  ExpectNear(PolygonNormal(pts, 5, quad), Vector(0, 0, 1));
  ExpectNear(PolygonNormal(pts, 5, CPolygon(0, 3, 1)), Vector(0, 0, -1));
  ExpectNear(PolygonNormal(pts, 5, tri), Vector(0, 0, 1));
  EXPECT_EQ(PolygonNormal(pts, 5, flat), Vector()) << "three points on a line";
  EXPECT_EQ(PolygonNormal(pts, 5, outside), Vector());

  const CPolygon polys[2] = {quad, tri};
  ExpectNear(PolygonCenter3D(pts, 5, polys, 2, 0), Vector(1, 1, 0));
  ExpectNear(PolygonCenter3D(pts, 5, polys, 2, 1), Vector(2.0 / 3, 2.0 / 3, 0));
  EXPECT_EQ(PolygonCenter3D(pts, 5, polys, 2, 2), Vector());

  // Triangle with base 2 (p0..p2 along y) and p1 at distance 3: area 3.
  EXPECT_NEAR(PolygonArea(Vector(0, 0, 0), Vector(3, 1, 0), Vector(0, 2, 0), Vector(), tri), 3.0,
              1e-12);
  EXPECT_NEAR(PolygonArea(pts[0], pts[1], pts[2], pts[3], quad), 4.0, 1e-12);
  // Trapezoid (0,0) (4,0) (3,1) (1,1): 3.
  EXPECT_NEAR(PolygonArea(Vector(0, 0, 0), Vector(4, 0, 0), Vector(3, 1, 0), Vector(1, 1, 0), quad),
              3.0, 1e-12);
  EXPECT_EQ(PolygonArea(pts[0], pts[1], pts[0], pts[0], tri), 0.0) << "p0 = p2";
}

TEST(UVFunction, SelectionCenterUV) {
  const UVWStruct uv[2] = {
      UVWStruct(Vector(0, 0, 0), Vector(3, 0, 0), Vector(0, 3, 0), Vector(9, 9, 0)),  // triangle
      UVWStruct(Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(0, 1, 0))};
  const CPolygon polys[2] = {CPolygon(0, 1, 2), CPolygon(0, 1, 2, 3)};
  BaseSelect sel;
  EXPECT_EQ(SelectionCenterUV(uv, &sel, polys, 2), Vector()) << "empty selection";
  sel.Select(1);
  ExpectNear(SelectionCenterUV(uv, &sel, polys, 2), Vector(0.5, 0.5, 0));
  sel.Select(0);
  sel.Select(7);  // beyond the polygons
  // Triangle centre (1, 1) ignores the spare d; mean with (0.5, 0.5).
  ExpectNear(SelectionCenterUV(uv, &sel, polys, 2), Vector(0.75, 0.75, 0));
}

TEST(UVFunction, TransformPolygonUV) {
  UVWStruct uv[2] = {UVWStruct(), UVWStruct(Vector(0.4, 0.4, 0), Vector(0.6, 0.4, 0),
                                            Vector(0.6, 0.6, 0.1), Vector())};
  std::vector<Vector> out;
  EXPECT_TRUE(TransformPolygonUV(uv, 1, Vector(0.5, 0.5, 0), MatrixScale(Vector(2, 2, 1)), out, 1));
  ASSERT_EQ(out.size(), 8u);
  ExpectNear(uv[1].b, Vector(0.7, 0.3, 0));
  ExpectNear(uv[1].c, Vector(0.7, 0.7, 0.1));
  ExpectNear(uv[1].d, Vector(-0.5, -0.5, 0));
  for (Int32 k = 0; k < 4; ++k) EXPECT_EQ(out[4 + static_cast<size_t>(k)], uv[1][k]);
}
