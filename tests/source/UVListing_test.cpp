// UV point listing: the text through the dialog, the grouping tolerance, entries listed in two
// groups, the messages, and the grid search against the plain comparison of every pair.
#include "UVListing.h"

#include <cmath>
#include <limits>
#include <random>

#include "UVFunction.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

const std::string kDashes = std::string(49, '-') + "\n";

struct ListingTest : UVScene {
  void ShowListing() {
    dlg.debugFileFound = 1;
    dlg.Refresh();
    Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  }
};

// The listing as the plain comparison of each unlisted entry with every later one gives it.
String PlainListing(const std::vector<UVPointEntry>& e) {
  const char* labels[4] = {"A:0 [", "B:1 [", "C:2 [", "D:3 ["};
  auto point = [&](const UVPointEntry& p) {
    return "Polygon No. " + FormatInt(p.polygon) + "\nPoint No. " + labels[p.corner] +
           " U=" + FormatFloat(p.uv.x) + " / V=" + FormatFloat(p.uv.y) + " ]\n";
  };
  std::vector<bool> listed(e.size());
  String out;
  for (size_t i = 0; i < e.size(); ++i) {
    if (listed[i]) continue;
    out += point(e[i]);
    for (size_t j = i + 1; j < e.size(); ++j) {
      if ((e[i].uv - e[j].uv).GetLength() < 0.01) {
        out += point(e[j]);
        listed[j] = true;
      }
    }
    out += kDashes;
    listed[i] = true;
  }
  return out;
}

}  // namespace

// Corners of two polygons that meet form one group, in the order of the UV point indices.
TEST_F(ListingTest, ListsTheSelectedPointsInGroups) {
  Scene({UVWStruct(V(0, 0), V(0.5, 0), V(0.5, 0.5, 0.25), V(0, 0.5)), Quad(0.5, 0, 0.5)},
        Muvpoints);
  Points({7, 0, 4, 2, 1});
  ShowListing();
  const Int32 undo = doc->GetUndoCount(), events = host.EventCount();
  Click(IDC_LIST);
  EXPECT_EQ(C(IDC_LIST_TEXT).text,
            "Polygon No. 0\nPoint No. A:0 [ U=0 / V=0 ]\n" + kDashes +
                "Polygon No. 0\nPoint No. B:1 [ U=0.5 / V=0 ]\n"
                "Polygon No. 1\nPoint No. A:0 [ U=0.5 / V=0 ]\n" +
                kDashes +
                // c of polygon 0 has w 0.25: 0.25 apart from d of polygon 1, no group.
                "Polygon No. 0\nPoint No. C:2 [ U=0.5 / V=0.5 ]\n" + kDashes +
                "Polygon No. 1\nPoint No. D:3 [ U=0.5 / V=0.5 ]\n" + kDashes);
  EXPECT_EQ(doc->GetUndoCount(), undo);
  EXPECT_EQ(host.EventCount(), events + 1);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ListingTest, ToleranceAndEntriesInTwoGroups) {
  // 0.0099 apart: one group; 0.01 apart: two.
  EXPECT_EQ(UVPointListing({{V(0.5, 0.25), 12, 0}, {V(0.5099, 0.25), 3, 3}}),
            "Polygon No. 12\nPoint No. A:0 [ U=0.5 / V=0.25 ]\n"
            "Polygon No. 3\nPoint No. D:3 [ U=0.5099 / V=0.25 ]\n" +
                kDashes);
  EXPECT_EQ(UVPointListing({{V(0, 0.25), 1, 1}, {V(0.01, 0.25), 2, 2}}),
            "Polygon No. 1\nPoint No. B:1 [ U=0 / V=0.25 ]\n" + kDashes +
                "Polygon No. 2\nPoint No. C:2 [ U=0.01 / V=0.25 ]\n" + kDashes);
  // C lies 0.0099 from A and from B, which are 0.0198 apart: C is listed under both.
  EXPECT_EQ(UVPointListing({{V(0, 0), 0, 0}, {V(0.0198, 0), 1, 0}, {V(0.0099, 0), 2, 0}}),
            "Polygon No. 0\nPoint No. A:0 [ U=0 / V=0 ]\n"
            "Polygon No. 2\nPoint No. A:0 [ U=0.0099 / V=0 ]\n" +
                kDashes +
                "Polygon No. 1\nPoint No. A:0 [ U=0.0198 / V=0 ]\n"
                "Polygon No. 2\nPoint No. A:0 [ U=0.0099 / V=0 ]\n" +
                kDashes);
}

TEST_F(ListingTest, MessagesAndRefusals) {
  Scene({Quad(0, 0, 0.5)}, Muvpolygons);
  Points({0});
  ShowListing();
  dlg.SetString(IDC_LIST_TEXT, "before");
  Click(IDC_LIST);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages().back().text, "Please change the UV point mode.");

  doc->SetMode(Muvpoints);
  Points({});
  Click(IDC_LIST);
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages().back().text, "Please select a UV point.");

  Points({0});
  op->KillTag(Tuvw);
  Click(IDC_LIST);
  EXPECT_EQ(host.Messages().size(), 2u) << "no UVW tag: silently nothing";
  EXPECT_EQ(C(IDC_LIST_TEXT).text, "before");
}

// The grid finds exactly the pairs the plain comparison finds, in the same order: clustered
// points around the tolerance, w differences, points far out and points that are not numbers.
TEST_F(ListingTest, GridListsLikeThePlainComparison) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> cell(0, 30);
  std::uniform_real_distribution<Float> jitter(-0.006, 0.006);
  for (int round = 0; round < 20; ++round) {
    std::vector<UVPointEntry> entries;
    for (Int32 i = 0; i < 400; ++i) {
      Vector p(cell(rng) * 0.0075 + jitter(rng), cell(rng) * 0.0075 + jitter(rng),
               (i % 7 == 0) ? jitter(rng) : 0.0);
      if (i % 97 == 5) p.x = std::nan("");
      if (i % 89 == 7) p.y = std::numeric_limits<Float>::infinity();
      if (i % 83 == 9) p = Vector(1e300, -1e300, 0);
      if (i % 83 == 10) p = Vector(1e300, -1e300, 0.005);
      entries.push_back({p, i / 4, i % 4});
    }
    ASSERT_EQ(UVPointListing(entries), PlainListing(entries)) << "round " << round;
  }
}
