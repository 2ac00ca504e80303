// UV islands and the neighbour carry: hand-made cases, and the indexed forms against plain
// references (the pass-after-pass flood fill and the walk over the old list) on random meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "UVFunction.h"

namespace {

Vector V(Float u, Float v, Float w = 0) {
  return Vector(u, v, w);
}

// Quad of side s with corner a at (u, v).
UVWStruct Quad(Float u, Float v, Float s) {
  return UVWStruct(V(u, v), V(u + s, v), V(u + s, v + s), V(u, v + s));
}

bool Near(const Vector& a, const Vector& b) {
  return (a - b).GetLength() < 0.01;
}

bool Touch(const UVWStruct& p, const UVWStruct& q) {
  for (Int32 i = 0; i < 4; ++i)
    for (Int32 j = 0; j < 4; ++j)
      if (Near(p[i], q[j])) return true;
  return false;
}

// The plain flood fill: grow from the seed, then pass after pass from every visited entry.
std::vector<std::vector<Int32>> PlainIslands(const std::vector<UVWStruct>& uv,
                                             const std::vector<Int32>& list) {
  const size_t n = list.size();
  std::vector<char> visited(n, 0);
  std::vector<std::vector<Int32>> islands;
  for (size_t i = 0; i < n; ++i) {
    if (visited[i]) continue;
    std::vector<char> in(n, 0);
    auto grow = [&](size_t s) {
      int added = 0;
      for (size_t j = 0; j < n; ++j)
        if (!visited[j] &&
            Touch(uv[static_cast<size_t>(list[j])], uv[static_cast<size_t>(list[s])])) {
          visited[j] = in[j] = 1;
          ++added;
        }
      return added;
    };
    visited[i] = in[i] = 1;
    if (grow(i) > 0) {
      int added = 0;
      do {
        added = 0;
        for (size_t j = 0; j < n; ++j)
          if (visited[j]) added += grow(j);
      } while (added > 0);
    }
    std::vector<Int32> island;
    for (size_t j = 0; j < n; ++j)
      if (in[j]) island.push_back(static_cast<Int32>(j));
    islands.push_back(island);
  }
  return islands;
}

std::vector<std::vector<Int32>> Unpack(const UVIslands& islands) {
  std::vector<std::vector<Int32>> out;
  for (size_t k = 0; k < islands.Count(); ++k)
    out.emplace_back(islands.Island(k).begin(), islands.Island(k).end());
  return out;
}

// The plain carry: every corner walks the old list in order.
void PlainCarry(std::vector<UVWStruct>& uv, const std::vector<Vector>& old,
                const std::vector<Vector>& newer, bool exact, bool chain,
                const std::vector<std::uint8_t>& carried) {
  for (size_t p = 0; p < uv.size(); ++p) {
    if (!carried.empty() && !carried[p]) continue;
    for (Int32 c = 0; c < 4; ++c) {
      Vector x = uv[p][c];
      for (size_t k = 0; k < old.size(); ++k) {
        const bool match =
            exact ? (x.x == old[k].x && x.y == old[k].y && x.z == old[k].z) : Near(x, old[k]);
        if (!match) continue;
        x = newer[k];
        if (!chain) break;
      }
      uv[p][c] = x;
    }
  }
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(UVWStruct)) == 0;
}

// A random mesh whose corners sit on anchors: repeated exactly, 0.009 or 0.011 away (in
// u, v or w), now and then anywhere near; d repeats c in a third of them and lies anywhere in
// the others (the spare corner of a triangle counts like any other); a few corners are not
// finite, zeros come with either sign. Kind 1 spreads the anchors wide and kind 2 adds corners
// very far out: both are indexed by hashing rather than by a window of cells.
std::vector<UVWStruct> MakeMesh(std::mt19937& rng, size_t n, int kind) {
  const Float spread = kind == 1 ? 1e4 : 1.0;
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::vector<Vector> anchors;  // half on a 0.05 grid, half anywhere
  for (size_t i = 0; i < n; ++i)
    anchors.push_back(
        i % 2 ? V(unit(rng), unit(rng)) * spread
              : V(std::round(unit(rng) * 20) * 0.05, std::round(unit(rng) * 20) * 0.05));
  auto corner = [&]() {
    Vector p = anchors[rng() % anchors.size()];
    const Float offsets[2] = {0.009, 0.011};
    switch (rng() % 10) {
      case 0:
      case 1:
        p.x += offsets[rng() % 2];
        break;
      case 2:
        p.y -= offsets[rng() % 2];
        break;
      case 3:
        p.z += offsets[rng() % 2];
        break;
      case 4:
        p += V(unit(rng) * 0.03, unit(rng) * 0.03);
        break;
      default:
        break;
    }
    if (rng() % 200 == 0) p.y = std::numeric_limits<Float>::quiet_NaN();
    if (kind == 2 && rng() % 100 == 0) p.x = rng() % 2 ? 1e300 : -3e12;
    if (p.x == 0 && rng() % 2) p.x = -0.0;
    return p;
  };
  std::vector<UVWStruct> m;
  for (size_t i = 0; i < n; ++i) {
    m.emplace_back(corner(), corner(), corner(), corner());
    if (rng() % 3 == 0) m.back().d = m.back().c;
  }
  return m;
}

// Layouts the cell index treats differently, at sizes the plain flood fill still manages:
//   0: packed, quads 0.001 to 0.004 wide heaped in a 0.06 square, some with another w;
//   1: grids of quads 0.02 wide with gaps of 0.0099, 0.01 or 0.0101 between them, in u, v or
//      both, some rows welded exactly, in shuffled order;
//   2: sparse: each quad alone, corners repeated exactly or 0.0099 to 0.0101 apart;
//   3: the same about the fast path's limit 2^20 and out at 1e12 and 1e300.
std::vector<UVWStruct> MakeLayout(std::mt19937& rng, size_t n, int kind) {
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  const Float gaps[3] = {0.0099, 0.01, 0.0101};
  std::vector<UVWStruct> m;
  if (kind == 0) {
    for (size_t i = 0; i < n; ++i) {
      const Float s = 0.001 + 0.003 * unit(rng), u = 0.06 * unit(rng), v = 0.06 * unit(rng);
      const Float ws[4] = {0.004, 0.0099, 0.5, 0.5099};  // the heap at w 0.5 stays apart
      const Float w = rng() % 5 == 0 ? ws[rng() % 4] : 0.0;
      m.emplace_back(V(u, v, w), V(u + s, v, w), V(u + s, v + s, w), V(u, v + s, w));
      if (rng() % 4 == 0) m.back().d = m.back().c;
    }
  } else if (kind == 1) {
    Float u0 = 0.0;
    while (m.size() < n) {
      const Int32 side = 1 + static_cast<Int32>(rng() % 4);
      const Float v0 = rng() % 2 ? 0.0 : side * 0.02 + gaps[rng() % 3];
      for (Int32 r = 0; r < side; ++r)
        for (Int32 c = 0; c < side; ++c) m.push_back(Quad(u0 + c * 0.02, v0 + r * 0.02, 0.02));
      u0 += side * 0.02 + (rng() % 5 == 0 ? 0.0 : gaps[rng() % 3]);
    }
    std::shuffle(m.begin(), m.end(), rng);
  } else {
    const Float bases[4] = {0.3, 1048576.0 - 0.004, -1e12, 1e300};
    for (size_t i = 0; i < n; ++i) {
      const Float base = kind == 2 ? bases[0] : bases[rng() % 4];
      const Float u = base + (rng() % 40) * 0.0033, v = (rng() % 40) * 0.0101;
      Vector a = V(u, v);
      Vector c = V(u + gaps[rng() % 3], v + (rng() % 2) * gaps[rng() % 3]);
      if (rng() % 3 == 0) c = a;  // exact repeat
      m.emplace_back(a, V(unit(rng) * 40, unit(rng) * 40), c, V(-0.0, unit(rng)));
      if (rng() % 3 == 0) m.back().d = m.back().c;
    }
  }
  m.resize(n);
  return m;
}

}  // namespace

TEST(Islands, ToleranceAndSpareCorner) {
  // 0.009 apart: one island; 0.011 apart: two.
  std::vector<UVWStruct> uv = {Quad(0, 0, 0.1), Quad(0.109, 0, 0.1), Quad(0.5, 0, 0.1),
                               Quad(0.611, 0, 0.1)};
  EXPECT_EQ(Unpack(BuildIslands(uv.data(), {0, 1, 2, 3})),
            (std::vector<std::vector<Int32>>{{0, 1}, {2}, {3}}));
  // Exactly 0.01 apart is not coincident: two islands ((0, 0) and (0.01, 0)).
  uv = {Quad(-0.5, -0.5, 0.5), UVWStruct(V(0.01, 0), V(0.5, 0), V(0.5, 0.5), V(0.01, 0.5))};
  EXPECT_EQ(Unpack(BuildIslands(uv.data(), {0, 1})), (std::vector<std::vector<Int32>>{{0}, {1}}));

  // A triangle touches the first quad with a and the last one with its spare d, and so joins
  // the two; islands keep the order of their first entry.
  uv = {Quad(0.8, 0.8, 0.1), Quad(0.5, 0.5, 0.05),
        UVWStruct(V(0.8, 0.8), V(0.3, 0.2), V(0.25, 0.3), V(0.7, 0.9)), Quad(0.6, 0.8, 0.1)};
  EXPECT_EQ(Unpack(BuildIslands(uv.data(), {0, 1, 2, 3})),
            (std::vector<std::vector<Int32>>{{0, 2, 3}, {1}}));
  // Only the listed polygons count; without the first quad the triangle still joins the last.
  EXPECT_EQ(Unpack(BuildIslands(uv.data(), {1, 2, 3})),
            (std::vector<std::vector<Int32>>{{0}, {1, 2}}));

  // The plain flood fill agrees and leaves the island in the working selection.
  const std::vector<Int32> list = {0, 1, 2, 3};
  std::vector<std::uint8_t> visited(4, 0);
  BaseSelect working;
  FloodIsland(uv.data(), list, 3, visited, working);
  EXPECT_EQ(SelectedPolygonList(&working, 4), (std::vector<Int32>{0, 2, 3}));
  EXPECT_EQ(visited, (std::vector<std::uint8_t>{1, 0, 1, 1}));
}

TEST(Islands, IndexMatchesThePlainFloodOnRandomMeshes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const std::vector<UVWStruct> m = MakeMesh(rng, 60 + rng() % 300, round % 3);
    std::vector<Int32> list;
    for (size_t p = 0; p < m.size(); ++p)
      if (rng() % 5 != 0) list.push_back(static_cast<Int32>(p));
    const auto plain = PlainIslands(m, list);
    ASSERT_EQ(Unpack(BuildIslands(m.data(), list)), plain) << "round " << round;
    ASSERT_GT(list.size(), plain.size()) << "some islands must have several polygons";
  }
}

TEST(Islands, CarryByHand) {
  // Old entries P, Q; new entries Q, R: a corner on P goes to Q, and on through Q to R when the
  // walk goes on.
  const Vector P = V(0.2, 0.2), Q = V(0.5, 0.5), R = V(0.9, 0.1);
  const std::vector<Vector> old = {P, Q}, newer = {Q, R};
  std::vector<UVWStruct> uv = {UVWStruct(P, V(0.205, 0.2), V(0.2, 0.2, 0.0095), V(0.7, 0.7))};
  std::vector<UVWStruct> chained = uv;
  NeighbourCarry(chained.data(), 1, {})
      .Apply(chained.data(), old, newer, UVMatch::kTolerance, true);
  EXPECT_EQ(chained[0], UVWStruct(R, R, R, V(0.7, 0.7)));
  std::vector<UVWStruct> once = uv;
  NeighbourCarry(once.data(), 1, {}).Apply(once.data(), old, newer, UVMatch::kTolerance, false);
  EXPECT_EQ(once[0], UVWStruct(Q, Q, Q, V(0.7, 0.7)));
  std::vector<UVWStruct> exact = uv;
  NeighbourCarry(exact.data(), 1, {}).Apply(exact.data(), old, newer, UVMatch::kExact, false);
  EXPECT_EQ(exact[0], UVWStruct(Q, V(0.205, 0.2), V(0.2, 0.2, 0.0095), V(0.7, 0.7)));
  // An entry before the applied one is not met again: old {Q, P}, new {R, Q} moves P to Q only.
  std::vector<UVWStruct> back = uv;
  NeighbourCarry(back.data(), 1, {}).Apply(back.data(), {Q, P}, {R, Q}, UVMatch::kExact, true);
  EXPECT_EQ(back[0].a, Q);
}

TEST(Islands, IndexedCarryMatchesThePlainWalk) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  for (int round = 0; round < 60; ++round) {
    const bool exact = round % 2 == 1;
    const bool chain = round % 4 < 2;
    const std::vector<UVWStruct> m = MakeMesh(rng, 40 + rng() % 200, round % 3);
    std::vector<std::uint8_t> carried;
    if (!chain) {  // the tools carry the unselected polygons only
      for (size_t p = 0; p < m.size(); ++p) carried.push_back(rng() % 3 != 0 ? 1 : 0);
    }
    std::vector<UVWStruct> fast = m, plain = m;
    NeighbourCarry carry(fast.data(), static_cast<Int32>(fast.size()), carried);
    // Three batches one after the other, as islands come one after the other.
    for (int batch = 0; batch < 3; ++batch) {
      std::vector<Vector> old, newer;
      for (size_t p = 0; p < m.size(); ++p) {
        if (rng() % 4 != 0) continue;
        for (Int32 c = 0; c < 4; ++c) old.push_back(plain[p][c]);
      }
      for (size_t k = 0; k < old.size(); ++k) {
        switch (rng() % 4) {
          case 0:  // onto a later entry's old place: a chain
            newer.push_back(old[k + rng() % (old.size() - k)]);
            break;
          case 1:
            newer.push_back(old[k] + V(0.004, -0.003));
            break;
          case 2:  // far out of the layout
            newer.push_back(V(unit(rng), unit(rng)) * 1e5);
            break;
          default:
            newer.push_back(V(unit(rng), unit(rng)));
            break;
        }
      }
      carry.Apply(fast.data(), old, newer, exact ? UVMatch::kExact : UVMatch::kTolerance, chain);
      PlainCarry(plain, old, newer, exact, chain, carried);
      ASSERT_TRUE(SameBits(fast, plain)) << "round " << round << " batch " << batch;
    }
    ASSERT_FALSE(SameBits(plain, m)) << "the carry must have moved something";
  }
}

TEST(Islands, CellIndexMatchesThePlainFloodInEveryLayout) {
  std::mt19937 rng(19);
  for (int round = 0; round < 48; ++round) {
    const int kind = round % 4;
    const std::vector<UVWStruct> m = MakeLayout(rng, 80 + rng() % 320, kind);
    std::vector<Int32> list;
    for (size_t p = 0; p < m.size(); ++p)
      if (rng() % 6 != 0) list.push_back(static_cast<Int32>(p));
    const auto plain = PlainIslands(m, list);
    ASSERT_EQ(Unpack(BuildIslands(m.data(), list)), plain) << "round " << round;
    ASSERT_GT(list.size(), plain.size()) << "round " << round << ": islands must join";
    ASSERT_GT(plain.size(), 1u) << "round " << round << ": and some must stay apart";
  }
}

TEST(Islands, RepeatsFarApartInTheListStillJoin) {
  // Quads 0.05 apart, each listed twice with the same corners, the second time after every
  // other quad: far more positions lie between the two than any small table of recent ones
  // keeps. Some sit out at 1e12, some at w 0.5, some carry a spare d. Each pair is one island,
  // in the order of the first entry.
  const Int32 n = 12000;
  std::vector<UVWStruct> uv;
  for (Int32 pass = 0; pass < 2; ++pass)
    for (Int32 i = 0; i < n; ++i) {
      const Float u = (i % 100) * 0.05 + (i % 7 == 0 ? 1e12 : 0.0), v = (i / 100) * 0.05;
      const Float w = i % 5 == 0 ? 0.5 : 0.0;
      uv.emplace_back(V(u, v, w), V(u + 0.02, v, w), V(u + 0.02, v + 0.02, w),
                      V(u, v + 0.02, w));
      if (i % 3 == 0) uv.back().d = uv.back().c;
    }
  std::vector<Int32> list(uv.size());
  for (size_t p = 0; p < list.size(); ++p) list[p] = static_cast<Int32>(p);
  std::vector<std::vector<Int32>> expected;
  for (Int32 i = 0; i < n; ++i) expected.push_back({i, i + n});
  EXPECT_EQ(Unpack(BuildIslands(uv.data(), list)), expected);
}

TEST(Islands, ReachAcrossWAndFarCoordinates) {
  // Islands are single corners here: quads collapsed to one point.
  auto at = [](const Vector& p) { return UVWStruct(p, p, p, p); };
  auto islands = [](const std::vector<UVWStruct>& uv) {
    std::vector<Int32> list;
    for (size_t p = 0; p < uv.size(); ++p) list.push_back(static_cast<Int32>(p));
    return Unpack(BuildIslands(uv.data(), list));
  };
  using Groups = std::vector<std::vector<Int32>>;
  // One (u, v) cell, three w: 0.0099 apart in w joins, 0.5 apart does not, whatever the cell.
  EXPECT_EQ(islands({at(V(0.001, 0.001, 0)), at(V(0.002, 0.001, 0.5)), at(V(0.003, 0.001, 0.5099)),
                     at(V(0.0015, 0.0012, 0.0099))}),
            (Groups{{0, 3}, {1, 2}}));
  // Diagonal pairs (A, A)-(B, B) and (A, -A)-(B, -B) with B - A = 0.0070710608: 0.0099999901
  // apart, so they join, though their cells lie two rows and two columns apart.
  const Float a = 0.0070710607, b = 0.0141421215;
  EXPECT_EQ(islands({at(V(a, a)), at(V(a, -a)), at(V(b, b)), at(V(b, -b))}),
            (Groups{{0, 2}, {1, 3}}));
  // Exactly 0.01 apart in w only: apart.
  EXPECT_EQ(islands({at(V(0.2, 0.2, 0.0)), at(V(0.2, 0.2, 0.01))}), (Groups{{0}, {1}}));
  // Across the fast path's limit 2^20 = 1048576 (spacing of doubles there 2^-32): 0.006 apart
  // joins, and -0 is 0.
  EXPECT_EQ(islands({at(V(1048575.999, -0.0)), at(V(5, 5)), at(V(1048576.005, 0.0))}),
            (Groups{{0, 2}, {1}}));
  // At 1e12 doubles are 2^-13 apart, so 2^-7 = 0.0078125 is exact: joins; 0.0101 does not.
  EXPECT_EQ(islands({at(V(1e12, 5)), at(V(1e12 + 0.0078125, 5)), at(V(1e12 + 0.0234375, 5)),
                     at(V(1e12 + 0.03125, 5))}),
            (Groups{{0, 1}, {2, 3}}));
  // Beyond 2^40 wide cells every far corner shares a cell; still only those in reach join.
  EXPECT_EQ(islands({at(V(1e300, 1e300)), at(V(-1e300, 1e300)), at(V(1e300, 1e300))}),
            (Groups{{0, 2}, {1}}));
}
