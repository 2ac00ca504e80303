// UV islands in time about linear in the corner count, whatever the layout.
//
// Corners at one position are mostly merged first (the corners of the entry before, then a small
// table of recent positions by their bits). The positions are then joined with union-find: positions within the tolerance of each
// other, and the corners of one polygon. Near positions are found through cells a little under
// tol/sqrt(2) wide, sorted by a radix sort: two positions of one cell are always within reach, so a
// cell is joined without a test, and of two neighbouring cells already joined nothing is tested.
// Islands are the connected parts, in the order of their first list entry: those of the plain flood
// fill.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "UVFunction.h"

namespace {

// The smallest squared distance whose root is not below the tolerance. The rounded square root
// never decreases, so a squared distance below this is exactly a distance below the tolerance.
Float SquaredTolerance() {
  Float s = kUVPointTolerance * kUVPointTolerance;
  while (std::sqrt(s) >= kUVPointTolerance) s = std::nextafter(s, 0.0);
  while (std::sqrt(s) < kUVPointTolerance) s = std::nextafter(s, 1.0);
  return s;
}
const Float kSquaredTolerance = SquaredTolerance();

// The distance test of the tool, sum of squares formed as the vector's length forms it.
inline Bool WithinReach(const Vector& a, const Vector& b) {
  const Float x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
  return x * x + y * y + z * z < kSquaredTolerance;
}

// Floor of x as an integer, for |x| < 2^62.
inline Int64 FloorToInt(Float x) {
  const Int64 i = static_cast<Int64>(x);
  return i - (static_cast<Float>(i) > x ? 1 : 0);
}

// Positions with |u| and |v| below this take the cell path: their cells are exact enough for the
// margin below. Others (and those close to the limit) are joined through a sorted grid of cells
// wider than the tolerance, testing every pair in reach.
constexpr Float kFastLimit = 1048576.0;  // 2^20
// Cells of the fast path: tol/sqrt(2) less a margin that covers the rounding of cells and
// distances, so that two positions with one w in one cell are always within reach.
constexpr Float kCellSide = kUVPointTolerance * 0.70710678118654752 * (1.0 - 1e-6);
constexpr Float kCellScale = 1.0 / kCellSide;
// Cells of the wide grid, a little wider than the tolerance.
constexpr Float kWideReach = 1.1 * kUVPointTolerance;
constexpr Float kWideScale = 1.0 / kWideReach;

struct DisjointSets {
  std::vector<Int32> parent;
  Int32 Add() {
    parent.push_back(static_cast<Int32>(parent.size()));
    return parent.back();
  }
  Int32 Find(Int32 x) {
    while (parent[static_cast<size_t>(x)] != x) {
      Int32& p = parent[static_cast<size_t>(x)];
      p = parent[static_cast<size_t>(p)];
      x = p;
    }
    return x;
  }
  // Joins the sets of two roots; answers the root of the whole.
  Int32 Link(Int32 a, Int32 b) {
    if (a == b) return a;
    if (a < b) {
      parent[static_cast<size_t>(b)] = a;
      return a;
    }
    parent[static_cast<size_t>(a)] = b;
    return b;
  }
  // Answers whether the two were apart.
  Bool Join(Int32 a, Int32 b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return false;
    if (a < b)
      parent[static_cast<size_t>(b)] = a;
    else
      parent[static_cast<size_t>(a)] = b;
    return true;
  }
};

// u, v and w exactly equal (-0 equals 0).
inline Bool Same(const Vector& a, const Vector& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Recent positions by their bits, -0 counted as 0: a direct-mapped table small enough to stay in
// the processor's cache. A hit gives the earlier position's id, a miss a new id that replaces the
// slot. A repeat the table has forgotten thus becomes a second position at the same place; the
// cells join it to the first like any two positions within reach, so the table only saves work
// and never changes an island.
class RecentPositions {
 public:
  RecentPositions() : slots_(kSlots) {}

  // The id of p (finite) in where; fresh tells whether p was added.
  Int32 Id(const Vector& p, std::vector<Vector>& where, bool& fresh) {
    Slot& sl = slots_[Hash(p)];
    fresh = !(sl.id >= 0 && Same(sl.p, p));
    if (!fresh) return sl.id;
    // Field by field: a whole Slot written through a temporary stalls the next read of it.
    sl.p = p;
    sl.id = static_cast<Int32>(where.size());
    where.push_back(p);
    return sl.id;
  }

 private:
  static constexpr int kBits = 13;
  static constexpr size_t kSlots = size_t{1} << kBits;
  struct Slot {
    Vector p;
    Int32 id = -1;
  };
  // The slot of p: the top bits of a multiplicative hash.
  static size_t Hash(const Vector& p) {
    // Adding +0 turns -0 into +0, so that equal values hash alike.
    const UInt64 u = std::bit_cast<UInt64>(p.x + 0.0), v = std::bit_cast<UInt64>(p.y + 0.0),
                 w = std::bit_cast<UInt64>(p.z + 0.0);
    const UInt64 h = (u * 0x9e3779b97f4a7c15ull ^ v) * 0xc2b2ae3d27d4eb4full ^ w;
    return static_cast<size_t>((h * 0x165667b19e3779f9ull) >> (64 - kBits));
  }
  std::vector<Slot> slots_;
};

// The positions of the fast path: a list of ids, or (no list) every position.
struct FastIds {
  const std::vector<Int32>* list = nullptr;
  size_t count = 0;
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  Int32 operator[](size_t i) const { return list ? (*list)[i] : static_cast<Int32>(i); }
};

template <typename Key>
struct Keyed {
  Key key;
  Int32 pos;
};

// Sorts by key (least significant digit first, 11 bits a pass); keys are below 2^bits.
template <typename Key>
void RadixSort(std::vector<Keyed<Key>>& items, Int32 bits) {
  std::vector<Keyed<Key>> other(items.size());
  for (Int32 shift = 0; shift < bits; shift += 11) {
    std::array<size_t, 2049> start{};
    for (const Keyed<Key>& k : items) ++start[((k.key >> shift) & 2047) + 1];
    if (std::find(start.begin(), start.end(), items.size()) != start.end()) continue;  // one digit
    for (size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
    for (const Keyed<Key>& k : items) other[start[(k.key >> shift) & 2047]++] = k;
    items.swap(other);
  }
}

void JoinSortedCells(const std::vector<Vector>& where, const FastIds& fast, Int32 u0, Int32 v0,
                     Int32 shift, Int32 bits, DisjointSets& sets);

// Joins the positions of the fast path that are within reach of each other.
void JoinByCells(const std::vector<Vector>& where, const FastIds& fast, DisjointSets& sets) {
  if (fast.empty()) return;
  // The cells of the extremes bound all cells: a cell never decreases with its coordinate.
  Float minU = where[static_cast<size_t>(fast[0])].x, maxU = minU;
  Float minV = where[static_cast<size_t>(fast[0])].y, maxV = minV;
  for (size_t i = 0; i < fast.size(); ++i) {
    const Vector& p = where[static_cast<size_t>(fast[i])];
    minU = std::min(minU, p.x);
    maxU = std::max(maxU, p.x);
    minV = std::min(minV, p.y);
    maxV = std::max(maxV, p.y);
  }
  const Int32 u0 = static_cast<Int32>(FloorToInt(minU * kCellScale)),
              u1 = static_cast<Int32>(FloorToInt(maxU * kCellScale)),
              v0 = static_cast<Int32>(FloorToInt(minV * kCellScale)),
              v1 = static_cast<Int32>(FloorToInt(maxV * kCellScale));
  // key = row << shift | column + 2: a neighbour two columns away never wraps into another row.
  const Int32 shift =
      static_cast<Int32>(std::bit_width(static_cast<UInt64>(static_cast<Int64>(v1) - v0 + 4)));
  const UInt64 maxKey = (static_cast<UInt64>(static_cast<Int64>(u1) - u0) << shift) |
                        static_cast<UInt64>(static_cast<Int64>(v1) - v0 + 2);
  JoinSortedCells(where, fast, u0, v0, shift, static_cast<Int32>(std::bit_width(maxKey)), sets);
}

// The rest of JoinByCells, with keys of 32 bits where they fit: half the memory to sort.
template <typename Key>
void JoinCellsKeyed(const std::vector<Vector>& where, const FastIds& fast, Int32 u0, Int32 v0,
                    Int32 shift, Int32 bits, DisjointSets& sets) {
  std::vector<Keyed<Key>> items(fast.size());
  for (size_t i = 0; i < fast.size(); ++i) {
    const Vector& p = where[static_cast<size_t>(fast[i])];
    const Int64 cu = FloorToInt(p.x * kCellScale), cv = FloorToInt(p.y * kCellScale);
    items[i] = {static_cast<Key>((static_cast<UInt64>(cu - u0) << shift) |
                                 static_cast<UInt64>(cv - v0 + 2)),
                fast[i]};
  }
  RadixSort(items, bits);

  // Cells: runs of one key.
  std::vector<Key> cellKey;
  std::vector<UInt32> cellBegin;  // fewer than 2^31 positions
  cellKey.reserve(items.size());
  cellBegin.reserve(items.size() + 1);
  for (size_t i = 0; i < items.size(); ++i) {
    if (i == 0 || items[i].key != items[i - 1].key) {
      cellKey.push_back(items[i].key);
      cellBegin.push_back(static_cast<UInt32>(i));
    }
  }
  const size_t cells = cellKey.size();
  cellBegin.push_back(static_cast<UInt32>(items.size()));

  // Inside a cell: one w throughout joins it whole (single: all its positions in one set);
  // otherwise every pair is tested.
  std::vector<std::uint8_t> single(cells, 1);
  for (size_t c = 0; c < cells; ++c) {
    const size_t b = cellBegin[c], e = cellBegin[c + 1];
    if (e - b < 2) continue;
    const Float w = where[static_cast<size_t>(items[b].pos)].z;
    Bool oneW = true;
    for (size_t i = b + 1; i < e && oneW; ++i)
      oneW = where[static_cast<size_t>(items[i].pos)].z == w;
    if (oneW) {
      for (size_t i = b + 1; i < e; ++i) sets.Join(items[b].pos, items[i].pos);
      continue;
    }
    single[c] = 0;
    for (size_t i = b; i < e; ++i)
      for (size_t k = i + 1; k < e; ++k)
        if (WithinReach(where[static_cast<size_t>(items[i].pos)],
                        where[static_cast<size_t>(items[k].pos)]))
          sets.Join(items[i].pos, items[k].pos);
  }

  auto joinCells = [&](size_t a, size_t b) {
    const size_t ab = cellBegin[a], ae = cellBegin[a + 1], bb = cellBegin[b], be = cellBegin[b + 1];
    const Bool whole = single[a] && single[b];
    if (whole && sets.Find(items[ab].pos) == sets.Find(items[bb].pos)) return;
    for (size_t i = ab; i < ae; ++i) {
      const Vector& p = where[static_cast<size_t>(items[i].pos)];
      for (size_t k = bb; k < be; ++k) {
        if (!WithinReach(p, where[static_cast<size_t>(items[k].pos)])) continue;
        sets.Join(items[i].pos, items[k].pos);
        if (whole) return;  // one pair joins both cells
      }
    }
  };

  // Cells whose positions may be within reach: up to two rows and two columns away (a margin
  // keeps the far corners of that square in). Each pair is met once, from its lower key; the
  // cursors into the next two rows only move forward.
  const UInt64 row = UInt64{1} << shift;
  size_t next1 = 0, next2 = 0;
  for (size_t c = 0; c < cells; ++c) {
    const UInt64 k = cellKey[c];
    for (size_t d = c + 1; d < cells && cellKey[d] <= k + 2; ++d) joinCells(c, d);
    const UInt64 lo1 = k + row - 2, lo2 = k + 2 * row - 2;
    while (next1 < cells && cellKey[next1] < lo1) ++next1;
    for (size_t d = next1; d < cells && cellKey[d] <= lo1 + 4; ++d) joinCells(c, d);
    while (next2 < cells && cellKey[next2] < lo2) ++next2;
    for (size_t d = next2; d < cells && cellKey[d] <= lo2 + 4; ++d) joinCells(c, d);
  }
}

void JoinSortedCells(const std::vector<Vector>& where, const FastIds& fast, Int32 u0, Int32 v0,
                     Int32 shift, Int32 bits, DisjointSets& sets) {
  if (bits <= 32)
    JoinCellsKeyed<UInt32>(where, fast, u0, v0, shift, bits, sets);
  else
    JoinCellsKeyed<UInt64>(where, fast, u0, v0, shift, bits, sets);
}

// The wide grid's cell of a coordinate; monotonic in x, which is all a query's range needs.
Int64 WideCell(Float x) {
  constexpr Float kLimit = 1099511627776.0;  // 2^40: far coordinates share the outermost cells
  const Float c = x * kWideScale;
  if (c >= kLimit) return static_cast<Int64>(kLimit);
  if (c <= -kLimit) return -static_cast<Int64>(kLimit);
  return FloorToInt(c);
}

// Joins the positions at or near the fast path's limit: every pair in the cells around each.
void JoinFar(const std::vector<Vector>& where, const std::vector<Int32>& far, DisjointSets& sets) {
  if (far.empty()) return;
  struct Cell {
    Int64 u, v;
    Int32 pos;
  };
  std::vector<Cell> cells;
  cells.reserve(far.size());
  for (Int32 p : far) {
    const Vector& x = where[static_cast<size_t>(p)];
    cells.push_back({WideCell(x.x), WideCell(x.y), p});
  }
  auto less = [](const Cell& a, const Cell& b) { return a.u != b.u ? a.u < b.u : a.v < b.v; };
  std::sort(cells.begin(), cells.end(), less);
  for (const Cell& c : cells) {
    const Vector& x = where[static_cast<size_t>(c.pos)];
    const Int64 v0 = WideCell(x.y - kWideReach), v1 = WideCell(x.y + kWideReach);
    for (Int64 u = WideCell(x.x - kWideReach), u1 = WideCell(x.x + kWideReach); u <= u1; ++u) {
      auto it = std::lower_bound(cells.begin(), cells.end(), Cell{u, v0, 0}, less);
      for (; it != cells.end() && it->u == u && it->v <= v1; ++it)
        if (it->pos != c.pos && WithinReach(x, where[static_cast<size_t>(it->pos)]))
          sets.Join(c.pos, it->pos);
    }
  }
}

}  // namespace

UVIslands BuildIslands(const UVWStruct* uv, const std::vector<Int32>& list) {
  UVIslands out;
  const size_t n = list.size();
  if (n == 0 || !uv) return out;

  // Finite positions, repeats mostly merged; the corners of a polygon are joined. A corner that
  // is not finite lies near nothing and is left out.
  std::vector<Vector> where;
  DisjointSets sets;
  std::vector<Int32> firstPos(n, -1);  // per entry: one of its positions, -1 for none
  {
    RecentPositions recent;
    where.reserve(n + n / 4);
    sets.parent.reserve(n + n / 4);
    // The corners of the entry before and their ids (-1: not finite): neighbouring polygons
    // mostly share corners, and this finds those without the table.
    const UVWStruct* before = nullptr;
    std::array<Int32, 4> beforeId{-1, -1, -1, -1};
    for (size_t j = 0; j < n; ++j) {
      const UVWStruct& s = uv[list[j]];
      Int32 first = -1, root = -1;  // root: the set of the corners so far
      std::array<Int32, 4> ids{-1, -1, -1, -1};
      for (Int32 k = 0; k < 4; ++k) {
        const Vector* x = &s[k];
        if (!Finite(*x)) continue;
        bool fresh = false;
        Int32 id = -1;
        for (Int32 i = 0; i < 4 && id < 0; ++i)
          if (beforeId[static_cast<size_t>(i)] >= 0 && Same((*before)[i], *x))
            id = beforeId[static_cast<size_t>(i)];
        if (id < 0) id = recent.Id(*x, where, fresh);
        ids[static_cast<size_t>(k)] = id;
        if (fresh) sets.Add();
        const Int32 set = fresh ? id : sets.Find(id);
        if (first < 0) {
          first = id;
          root = set;
        } else {
          root = sets.Link(root, set);
        }
      }
      firstPos[j] = first;
      before = &s;
      beforeId = ids;
    }
  }

  {
    // A position within reach of one past the limit is itself past limit - 1. Without such
    // positions every one takes the fast path, and no list of them is made.
    std::vector<Int32> fast, far;
    auto magnitude = [&](size_t i) {
      return std::max(std::fabs(where[i].x), std::fabs(where[i].y));
    };
    for (size_t i = 0; i < where.size(); ++i)
      if (magnitude(i) >= kFastLimit - 1.0) far.push_back(static_cast<Int32>(i));
    if (!far.empty()) {
      fast.reserve(where.size());
      for (size_t i = 0; i < where.size(); ++i)
        if (magnitude(i) < kFastLimit) fast.push_back(static_cast<Int32>(i));
    }
    JoinByCells(where, far.empty() ? FastIds{nullptr, where.size()} : FastIds{&fast, fast.size()},
                sets);
    JoinFar(where, far, sets);
  }

  // Islands by their first entry; members ascending.
  std::vector<Int32> islandOf(where.size(), -1);
  std::vector<Int32> entryIsland(n);
  std::vector<size_t> sizes;
  for (size_t j = 0; j < n; ++j) {
    Int32 k = -1;
    if (firstPos[j] >= 0) {
      Int32& slot = islandOf[static_cast<size_t>(sets.Find(firstPos[j]))];
      if (slot < 0) {
        slot = static_cast<Int32>(sizes.size());
        sizes.push_back(0);
      }
      k = slot;
    } else {
      k = static_cast<Int32>(sizes.size());
      sizes.push_back(0);
    }
    entryIsland[j] = k;
    ++sizes[static_cast<size_t>(k)];
  }
  out.offsets.resize(sizes.size() + 1);
  for (size_t k = 0; k < sizes.size(); ++k) out.offsets[k + 1] = out.offsets[k] + sizes[k];
  out.members.resize(n);
  std::vector<size_t> fill(out.offsets.begin(), out.offsets.end() - 1);
  for (size_t j = 0; j < n; ++j)
    out.members[fill[static_cast<size_t>(entryIsland[j])]++] = static_cast<Int32>(j);
  return out;
}
