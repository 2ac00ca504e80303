// Container values: each kind reports its type, reads as the others the way the host reads
// them, and survives copying.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "c4d_basecontainer.h"
#include "c4d_basetime.h"

namespace {

struct Spline : CustomDataType {
  Int32 knots = 3;
  Int32 GetTypeId() const override { return 1009060; }
  std::unique_ptr<CustomDataType> Clone() const override { return std::make_unique<Spline>(*this); }
};

}  // namespace

TEST(GeData, EachKindReportsItsType) {
  BaseContainer inner(7);
  inner.SetInt32(1, 2);
  const struct {
    GeData data;
    Int32 type;
  } cases[] = {
      {GeData(), DA_NIL},
      {GeData(Int32(5)), DA_LONG},
      {GeData(Int64(1) << 40), DA_LLONG},
      {GeData(0.5), DA_REAL},
      {GeData(Vector(1, 2, 3)), DA_VECTOR},
      {GeData(Matrix()), DA_MATRIX},
      {GeData("text"), DA_STRING},
      {GeData(BaseTime(2.0)), DA_TIME},
      {GeData(BaseLink()), DA_ALIASLINK},
      {GeData(inner), DA_CONTAINER},
      {GeData(Spline()), 1009060},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.data.GetType(), c.type);
    EXPECT_EQ(GeData(c.data).GetType(), c.type) << "a copy keeps the kind";
  }
  const GeData spline{Spline()};
  GeData copy = spline;
  ASSERT_NE(copy.GetCustomDataType(1009060), nullptr);
  EXPECT_EQ(static_cast<const Spline*>(copy.GetCustomDataType(1009060))->knots, 3);
  EXPECT_EQ(copy.GetCustomDataType(1009061), nullptr);
  EXPECT_EQ(GeData(inner).GetContainer()->GetInt32(1), 2);
}

TEST(GeData, NumbersReadAcrossKindsAndClamp) {
  EXPECT_EQ(GeData(std::nan("")).GetInt32(), 0) << "NaN reads as 0, not as garbage";
  EXPECT_EQ(GeData(std::numeric_limits<Float>::infinity()).GetInt32(), 2147483647);
  EXPECT_EQ(GeData(-1e300).GetInt32(), -2147483647 - 1);
  EXPECT_EQ(GeData(-2.7).GetInt32(), -2);
  EXPECT_TRUE(std::isnan(GeData(std::nan("")).GetFloat())) << "a float stays what it is";
  EXPECT_EQ(GeData(Int64(1) << 40).GetInt32(), 0) << "wraps like the host's 64-to-32 read";
  EXPECT_EQ(GeData(Int32(7)).GetFloat(), 7.0);
  EXPECT_EQ(GeData(Int32(7)).GetInt64(), 7);
  EXPECT_EQ(GeData("7").GetInt32(), 0) << "a text is no number";
  EXPECT_EQ(GeData(0.5).GetVector(), Vector());
  EXPECT_TRUE(GeData(Int32(2)).GetBool());
  EXPECT_FALSE(GeData().GetBool());
}

// Entries keep the order in which their identifiers were first set, negative ones included;
// setting an identifier again replaces the value where it stands.
TEST(BaseContainer, KeepsTheOrderOfFirstSetting) {
  BaseContainer bc;
  bc.SetString(-1, "UV_cube");
  bc.SetVector(0, Vector(0.5, 0.25, 0));
  bc.SetVector(1, Vector(1, 0, 0));
  bc.SetInt32(-2, 8);
  bc.SetVector(0, Vector(0.75, 0, 0));  // replaced in place
  ASSERT_EQ(bc.GetCount(), 4);
  const Int32 order[] = {-1, 0, 1, -2};
  for (Int32 i = 0; i < 4; ++i) EXPECT_EQ(bc.GetIndexId(i), order[i]) << i;
  EXPECT_EQ(bc.GetVector(0), Vector(0.75, 0, 0));
  EXPECT_EQ(bc.GetString(-1), "UV_cube");
  EXPECT_EQ(bc.GetInt32(-2), 8);
  EXPECT_EQ(bc.GetIndexData(4), nullptr);
  EXPECT_EQ(bc.GetIndexData(-1), nullptr);

  // Removing closes the gap; the others are still found.
  EXPECT_TRUE(bc.RemoveData(0));
  EXPECT_FALSE(bc.RemoveData(0));
  ASSERT_EQ(bc.GetCount(), 3);
  EXPECT_EQ(bc.GetIndexId(1), 1);
  EXPECT_EQ(bc.GetVector(1), Vector(1, 0, 0));
  EXPECT_EQ(bc.GetInt32(-2), 8);
  EXPECT_EQ(bc.GetDataPointer(0), nullptr);

  // A copy keeps the order; setting a value from an entry of the same container is safe even
  // when the container grows.
  BaseContainer copy = bc;
  for (Int32 i = 0; i < 200; ++i) copy.SetData(100 + i, *copy.GetDataPointer(-1));
  EXPECT_EQ(copy.GetIndexId(0), -1);
  EXPECT_EQ(copy.GetString(299), "UV_cube");
  copy.FlushAll();
  EXPECT_EQ(copy.GetCount(), 0);
  EXPECT_EQ(bc.GetCount(), 3) << "the original is its own";
}

TEST(GeData, MatrixSurvivesCopies) {
  const Matrix m(Vector(1, 2, 3), Vector(0, 1, 0), Vector(-1, 0, 0), Vector(0, 0, 2));
  GeData a(m);
  GeData b = a;
  a = GeData(Int32(1));
  EXPECT_EQ(b.GetMatrix(), m);
  EXPECT_EQ(b.GetType(), DA_MATRIX);
  EXPECT_EQ(a.GetMatrix(), Matrix()) << "no matrix: the identity";
}
