#include "UVFunction.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <unordered_set>

#include "c4d_basedocument.h"
#include "c4d_general.h"

namespace {

// --- grid of UV positions ---

// A query looks this far in u and in v, a little beyond the tolerance: a distance that rounds to
// just below the tolerance still has each component inside it. Cells are as wide, so a query
// touches at most three a side.
constexpr Float kReach = 1.1 * kUVPointTolerance;
constexpr Float kCellScale = 1.0 / kReach;
constexpr Float kCellLimit = 1073741824.0;  // 2^30: far corners share the outermost cells

// Cell of one coordinate. Monotonic in x, which is all a query's range needs.
Int32 CellOf(Float x) {
  const Float c = x * kCellScale;
  if (c <= -kCellLimit) return -1073741824;
  if (c >= kCellLimit) return 1073741824;
  // The floor of c through truncation: a few instructions where std::floor takes a dozen.
  const Int32 i = static_cast<Int32>(c);
  return i - (static_cast<Float>(i) > c ? 1 : 0);
}

UInt64 CellKey(Int32 cu, Int32 cv) {
  return (static_cast<UInt64>(static_cast<UInt32>(cu)) << 32) | static_cast<UInt32>(cv);
}

// A rectangle of cells.
struct CellBox {
  Int32 u0 = 0, u1 = -1, v0 = 0, v1 = -1;  // empty
  void Add(const Vector& p) {
    const Int32 cu = CellOf(p.x), cv = CellOf(p.y);
    if (u1 < u0) {
      u0 = u1 = cu;
      v0 = v1 = cv;
      return;
    }
    u0 = std::min(u0, cu);
    u1 = std::max(u1, cu);
    v0 = std::min(v0, cv);
    v1 = std::max(v1, cv);
  }
  Int64 Cells() const {
    return u1 < u0 ? 0 : (static_cast<Int64>(u1) - u0 + 1) * (static_cast<Int64>(v1) - v0 + 1);
  }
};

// The cells of finite positions, from their extremes (cells grow with the coordinate).
struct CellBoxOfRange {
  Float minU = 0, maxU = 0, minV = 0, maxV = 0;
  Bool any = false;
  void Add(const Vector& p) {
    if (!any) {
      minU = maxU = p.x;
      minV = maxV = p.y;
      any = true;
      return;
    }
    minU = std::min(minU, p.x);
    maxU = std::max(maxU, p.x);
    minV = std::min(minV, p.y);
    maxV = std::max(maxV, p.y);
  }
  CellBox Box() const {
    CellBox b;
    if (any) {
      b.Add(Vector(minU, minV, 0));
      b.Add(Vector(maxU, maxV, 0));
    }
    return b;
  }
};

// Items by the (u, v) cell of their position, each cell a list. A visit walks the cells that
// can hold a position within the tolerance of the query (w is left to the caller's test). The
// cells of a window where most items lie are a plain array; the others are found by hashing.
class CellGrid {
 public:
  // A cell's tag: the group of all its items, when they have one (see Insert).
  static constexpr Int32 kNoItems = -2, kMixed = -1;

  // expected: about how many items; box: where most of them will lie. With tagged, each cell
  // keeps the group its items belong to.
  void Reset(size_t expected, const CellBox& box, Bool tagged = false) {
    // Up to 16 cells an item and no more than 2^24 cells (64 MB of heads).
    const Int64 limit = std::clamp<Int64>(16 * static_cast<Int64>(expected), 4096, 1 << 24);
    window_ = box.Cells() > 0 && box.Cells() <= limit ? box : CellBox();
    // A tagged cell keeps its tag beside its head: one look at memory for both.
    tagged_ = tagged;
    stride_ = tagged ? 2 : 1;
    dense_.assign(static_cast<size_t>(window_.Cells()) * stride_, -1);
    blockRows_ = window_.Cells() > 0
                     ? ((static_cast<Int64>(window_.v1) - window_.v0) >> kBlockShift) + 1
                     : 0;
    const Int64 blockColumns =
        window_.Cells() > 0 ? ((static_cast<Int64>(window_.u1) - window_.u0) >> kBlockShift) + 1
                            : 0;
    blocks_.assign(static_cast<size_t>((blockColumns * blockRows_ + 63) / 64), 0);
    if (tagged)
      for (size_t i = 1; i < dense_.size(); i += 2) dense_[i] = kNoItems;
    size_t cap = 16;
    if (window_.Cells() == 0)
      while (cap < expected) cap *= 2;
    slots_.assign(cap, Slot{});
    taken_ = 0;
    nodes_.clear();
    nodes_.reserve(expected);
  }

  // Room for this many items in all, without growing.
  void Reserve(size_t items) { nodes_.reserve(items); }

  // p must be finite. Answers whether the cell had no items before. In a tagged grid the cell's
  // tag becomes group when it had no items, and kMixed when they are of another group.
  Bool Insert(const Vector& p, Int32 item, Int32 group = kMixed) {
    const Int32 cu = CellOf(p.x), cv = CellOf(p.y);
    Int32* headAt;
    Int32* tagAt = nullptr;
    if (InWindow(cu, cv)) {
      const size_t i = DenseIndex(cu, cv);
      MarkBlock(cu, cv);
      headAt = &dense_[i];
      if (tagged_) tagAt = &dense_[i + 1];
    } else {
      headAt = &Head(cu, cv);
      if (tagged_) tagAt = &Tag(cu, cv);
    }
    Int32& head = *headAt;
    if (tagAt) *tagAt = *tagAt == kNoItems || *tagAt == group ? group : kMixed;
    const Bool first = head < 0;
    nodes_.push_back({head, item, group});
    head = static_cast<Int32>(nodes_.size() - 1);
    return first;
  }

  // Like Insert, unless one of the last few items put into p's cell is the same as item (same
  // says which): answers the item that stands for p in the cell.
  template <typename Same>
  Int32 InsertUnlessThere(const Vector& p, Int32 item, Same&& same) {
    Int32& head = Head(CellOf(p.x), CellOf(p.y));
    Int32 n = head;
    for (Int32 looked = 0; n >= 0 && looked < 48; ++looked, n = nodes_[static_cast<size_t>(n)].next)
      if (same(nodes_[static_cast<size_t>(n)].item)) return nodes_[static_cast<size_t>(n)].item;
    nodes_.push_back({head, item, kMixed});
    head = static_cast<Int32>(nodes_.size() - 1);
    return item;
  }

  // Calls keep(item), or keep(item, group), for the items of the cells near p (finite); an item
  // for which keep answers false is taken out of its cell. keep must not insert.
  template <typename F>
  void Visit(const Vector& p, F&& keep) {
    VisitCells(CellOf(p.x - kReach), CellOf(p.x + kReach), CellOf(p.y - kReach),
               CellOf(p.y + kReach), keep);
  }

  // The same for the one cell of p (finite).
  template <typename F>
  void VisitCell(const Vector& p, F&& keep) {
    const Int32 cu = CellOf(p.x), cv = CellOf(p.y);
    VisitCells(cu, cu, cv, cv, keep);
  }
  static Bool SameCell(const Vector& a, const Vector& b) {
    return CellOf(a.x) == CellOf(b.x) && CellOf(a.y) == CellOf(b.y);
  }
  // The tag of p's cell (a tagged grid): the group of every item in it, kMixed, or kNoItems.
  // Items taken out by a visit leave the tag as it was.
  Int32 TagAt(const Vector& p) {
    const Int32 cu = CellOf(p.x), cv = CellOf(p.y);
    if (InWindow(cu, cv)) return dense_[DenseIndex(cu, cv) + 1];
    if (taken_ == 0) return kNoItems;
    const Slot& sl = slots_[Probe(CellKey(cu, cv))];
    return sl.taken ? sl.tag : kNoItems;
  }

  // The same for the cells u0..u1 x v0..v1.
  template <typename F>
  void VisitCells(Int32 u0, Int32 u1, Int32 v0, Int32 v1, F&& keep) {
    if (InWindow(u0, v0) && InWindow(u1, v1) && !AnyBlock(u0, u1, v0, v1)) return;
    for (Int32 cu = u0; cu <= u1; ++cu) {
      for (Int32 cv = v0; cv <= v1; ++cv) {
        Int32* link = Find(cu, cv);
        if (!link) continue;
        while (*link >= 0) {
          Node& n = nodes_[static_cast<size_t>(*link)];
          Bool kept;
          if constexpr (std::is_invocable_v<F, Int32, Int32>)
            kept = keep(n.item, n.group);
          else
            kept = keep(n.item);
          if (kept)
            link = &n.next;
          else
            *link = n.next;
        }
      }
    }
  }

 private:
  struct Slot {
    UInt64 key = 0;
    Int32 head = -1;  // first item of the cell, -1 for none
    Int32 tag = kNoItems;
    Bool taken = false;
  };

  Bool InWindow(Int32 cu, Int32 cv) const {
    return cu >= window_.u0 && cu <= window_.u1 && cv >= window_.v0 && cv <= window_.v1;
  }
  size_t DenseIndex(Int32 cu, Int32 cv) const {
    const Int64 h = static_cast<Int64>(window_.v1) - window_.v0 + 1;
    return stride_ *
           static_cast<size_t>((static_cast<Int64>(cu) - window_.u0) * h + (cv - window_.v0));
  }
  Int32& Dense(Int32 cu, Int32 cv) { return dense_[DenseIndex(cu, cv)]; }
  // The tag of a cell that Head has made.
  Int32& Tag(Int32 cu, Int32 cv) {
    if (InWindow(cu, cv)) return dense_[DenseIndex(cu, cv) + 1];
    return slots_[Probe(CellKey(cu, cv))].tag;
  }

  // Window cells are also marked in blocks of 8 x 8, small enough to stay in the processor's
  // cache: a query around a place with no items nearby looks at no head. Marks are never taken
  // back, so a block may be marked with no items left.
  static constexpr Int32 kBlockShift = 3;
  size_t BlockIndex(Int32 cu, Int32 cv) const {
    return static_cast<size_t>(((static_cast<Int64>(cu) - window_.u0) >> kBlockShift) * blockRows_ +
                               ((static_cast<Int64>(cv) - window_.v0) >> kBlockShift));
  }
  void MarkBlock(Int32 cu, Int32 cv) {
    const size_t b = BlockIndex(cu, cv);
    blocks_[b >> 6] |= UInt64{1} << (b & 63);
  }
  // Whether any block meeting the window cells u0..u1 x v0..v1 is marked.
  Bool AnyBlock(Int32 u0, Int32 u1, Int32 v0, Int32 v1) const {
    const Int64 bu1 = (static_cast<Int64>(u1) - window_.u0) >> kBlockShift;
    const Int64 bv0 = (static_cast<Int64>(v0) - window_.v0) >> kBlockShift;
    const Int64 bv1 = (static_cast<Int64>(v1) - window_.v0) >> kBlockShift;
    for (Int64 bu = (static_cast<Int64>(u0) - window_.u0) >> kBlockShift; bu <= bu1; ++bu)
      for (Int64 bv = bv0; bv <= bv1; ++bv) {
        const size_t b = static_cast<size_t>(bu * blockRows_ + bv);
        if ((blocks_[b >> 6] >> (b & 63)) & 1) return true;
      }
    return false;
  }

  // The head of a cell, made when missing.
  Int32& Head(Int32 cu, Int32 cv) {
    if (InWindow(cu, cv)) {
      MarkBlock(cu, cv);
      return Dense(cu, cv);
    }
    if (2 * (taken_ + 1) > slots_.size()) Grow();
    const UInt64 key = CellKey(cu, cv);
    Slot& s = slots_[Probe(key)];
    if (!s.taken) {
      s.taken = true;
      s.key = key;
      ++taken_;
    }
    return s.head;
  }

  // The head of a cell, or nullptr when the cell was never made.
  Int32* Find(Int32 cu, Int32 cv) {
    if (InWindow(cu, cv)) return &Dense(cu, cv);
    if (taken_ == 0) return nullptr;
    Slot& s = slots_[Probe(CellKey(cu, cv))];
    return s.taken ? &s.head : nullptr;
  }

  // The slot of key, or the free slot where it would go.
  size_t Probe(UInt64 key) const {
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(MixBits(key)) & mask;
    while (slots_[i].taken && slots_[i].key != key) i = (i + 1) & mask;
    return i;
  }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, Slot{});
    taken_ = 0;
    for (const Slot& s : old) {
      if (!s.taken || s.head < 0) continue;  // cells emptied by visits go
      slots_[Probe(s.key)] = s;
      ++taken_;
    }
  }

  CellBox window_;
  Bool tagged_ = false;
  size_t stride_ = 1;           // 2 in a tagged grid: head, tag
  std::vector<Int32> dense_;    // per cell of the window: its head (and tag)
  std::vector<UInt64> blocks_;  // marked blocks of window cells, a bit each
  Int64 blockRows_ = 0;
  std::vector<Slot> slots_;
  size_t taken_ = 0;
  // An item with its link and group side by side: a walk meets all three at one look.
  struct Node {
    Int32 next, item, group;
  };
  std::vector<Node> nodes_;
};

}  // namespace

// --- UV points and coincidence ---

Bool UVCoincident(const Vector& a, const Vector& b) {
  return (a - b).GetLength() < kUVPointTolerance;
}

Bool UVEqual(const Vector& a, const Vector& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

Bool UVMatches(UVMatch test, const Vector& a, const Vector& b) {
  return test == UVMatch::kExact ? UVEqual(a, b) : UVCoincident(a, b);
}

Bool DecodeUVPointIndex(Int32 index, Int32 polygonCount, UVPointRef& ref) {
  const Int32 polygon = index >> 2;
  const Int32 corner = index % 4;
  if (corner < 0 || corner > 3 || polygon < 0 || polygon >= polygonCount) return false;
  ref.polygon = polygon;
  ref.corner = corner;
  return true;
}

std::vector<UVPointRef> SelectedUVPoints(const BaseSelect* sel, Int32 polygonCount) {
  std::vector<UVPointRef> out;
  if (!sel || polygonCount <= 0) return out;
  const Int64 limit =
      std::min<Int64>(static_cast<Int64>(polygonCount) * 4, std::numeric_limits<Int32>::max());
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; sel->GetRange(seg, static_cast<Int32>(limit), &a, &b); ++seg) {
    for (Int64 i = a; i <= b; ++i) {
      UVPointRef r;
      if (DecodeUVPointIndex(static_cast<Int32>(i), polygonCount, r)) out.push_back(r);
    }
  }
  return out;
}

std::vector<Int32> SelectedPolygonList(const BaseSelect* sel, Int32 polygonCount) {
  std::vector<Int32> out;
  if (!sel || polygonCount <= 0) return out;
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; sel->GetRange(seg, polygonCount, &a, &b); ++seg)
    for (Int64 i = std::max(a, 0); i <= b; ++i) out.push_back(static_cast<Int32>(i));
  return out;
}

// --- vectors and matrices ---

Float VectorAngle(const Vector& a, const Vector& b) {
  const Float q = a.GetSquaredLength() * b.GetSquaredLength();
  const Float f = q == 0.0 ? 0.0 : 1.0 / std::sqrt(q);
  const Float c = Dot(a, b) * f;
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return PI;
  return std::acos(c);
}

void NormalizeVector(Vector& v) {
  const Float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len == 0.0) return;
  v *= 1.0 / len;
}

Vector NormalizedCopy(const Vector& v) {
  Vector r = v;
  NormalizeVector(r);
  return r;
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
  return Matrix(a * b.off, a.TransformVector(b.v1), a.TransformVector(b.v2),
                a.TransformVector(b.v3));
}

Matrix MatrixInverse(const Matrix& m) {
  const Vector& x = m.v1;
  const Vector& y = m.v2;
  const Vector& z = m.v3;
  const Float det = Dot(x, Cross(y, z));
  if (det == 0.0) return Matrix();
  const Float inv = 1.0 / det;
  // Rows of the inverted 3x3 part (its columns are the axes).
  const Vector r1 = Cross(y, z) * inv;
  const Vector r2 = Cross(z, x) * inv;
  const Vector r3 = Cross(x, y) * inv;
  Matrix r(Vector(), Vector(r1.x, r2.x, r3.x), Vector(r1.y, r2.y, r3.y), Vector(r1.z, r2.z, r3.z));
  r.off = -Vector(Dot(r1, m.off), Dot(r2, m.off), Dot(r3, m.off));
  return r;
}

Matrix MatrixScale(const Vector& s) {
  return Matrix(Vector(), Vector(s.x, 0, 0), Vector(0, s.y, 0), Vector(0, 0, s.z));
}

Matrix MatrixRotZ(Float t) {
  const Float c = std::cos(t), s = std::sin(t);
  return Matrix(Vector(), Vector(c, -s, 0), Vector(s, c, 0), Vector(0, 0, 1));
}

Vector PolygonNormal(const Vector* points, Int32 pointCount, const CPolygon& p) {
  if (!points) return Vector();
  for (Int32 i = 0; i < 4; ++i)
    if (p[i] < 0 || p[i] >= pointCount) return Vector();
  const Vector &a = points[p.a], &b = points[p.b], &c = points[p.c], &d = points[p.d];
  const Vector n = p.c != p.d ? Cross(b - d, c - a) : Cross(b - a, c - a);
  return NormalizedCopy(n);
}

Vector PolygonCenter3D(const Vector* points, Int32 pointCount, const CPolygon* polys,
                       Int32 polyCount, Int32 index) {
  if (!points || !polys || index < 0 || index >= polyCount) return Vector();
  const CPolygon& p = polys[index];
  for (Int32 i = 0; i < 4; ++i)
    if (p[i] < 0 || p[i] >= pointCount) return Vector();
  if (p.c != p.d) return (points[p.a] + points[p.b] + points[p.c] + points[p.d]) * 0.25;
  return (points[p.a] + points[p.b] + points[p.c]) * (1.0 / 3.0);
}

namespace {
// 0.5 * |p2 - p0| * distance of p1 from the line through p0 and p2; zero when p0 = p2.
Float TriangleArea(const Vector& p0, const Vector& p1, const Vector& p2) {
  const Vector base = p2 - p0;
  const Float len = base.GetLength();
  if (len == 0.0) return 0.0;
  const Float height = Cross(p1 - p0, base).GetLength() / len;
  return 0.5 * len * height;
}
}  // namespace

Float PolygonArea(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3,
                  const CPolygon& poly) {
  Float area = TriangleArea(p0, p1, p2);
  if (poly.c != poly.d) area += TriangleArea(p0, p3, p2);
  return area;
}

// --- UV polygons ---

Vector PolygonCenterUV(const UVWStruct& uv, const CPolygon& poly) {
  const Vector abc = (uv.a + uv.b + uv.c) / 3.0;
  if (poly.c == poly.d) return abc;
  return (abc + (uv.a + uv.c + uv.d) / 3.0) * 0.5;
}

Vector SelectionCenterUV(const UVWStruct* uv, const BaseSelect* sel, const CPolygon* polys,
                         Int32 polyCount) {
  if (!uv || !polys) return Vector();
  const std::vector<Int32> list = SelectedPolygonList(sel, polyCount);
  return SelectionCenterUV(uv, list, polys);
}

Vector SelectionCenterUV(const UVWStruct* uv, std::span<const Int32> polygons,
                         const CPolygon* polys) {
  if (!uv || !polys || polygons.empty()) return Vector();
  Vector sum;
  for (Int32 p : polygons) sum += PolygonCenterUV(uv[p], polys[p]);
  return sum / static_cast<Float>(polygons.size());
}

namespace {
template <typename F>
Bool MapPolygonWith(UVWStruct* uv, Int32 polygon, F&& map, std::vector<Vector>& out, size_t slot) {
  if (out.size() < 4 * slot + 4) out.resize(4 * slot + 4);
  UVWStruct& s = uv[polygon];
  const UVWStruct moved(map(s.a), map(s.b), map(s.c), map(s.d));
  // A corner that overflowed or came out undefined would spoil the UVs: keep the polygon.
  const Bool ok = Finite(moved.a) && Finite(moved.b) && Finite(moved.c) && Finite(moved.d);
  if (ok) s = moved;
  for (Int32 k = 0; k < 4; ++k) out[4 * slot + static_cast<size_t>(k)] = s[k];
  return ok;
}
}  // namespace

Bool MapPolygonUV(UVWStruct* uv, Int32 polygon, const std::function<Vector(const Vector&)>& map,
                  std::vector<Vector>& out, size_t slot) {
  return MapPolygonWith(uv, polygon, map, out, slot);
}

Bool TransformPolygonUV(UVWStruct* uv, Int32 polygon, const Vector& c, const Matrix& m,
                        std::vector<Vector>& out, size_t slot) {
  const Matrix t(c, Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1));
  const Matrix back = MatrixInverse(t);
  // One matrix after the other: a product formed first could overflow in its offset where the
  // corners themselves stay finite.
  return MapPolygonWith(
      uv, polygon, [&](const Vector& p) { return t * (m * (back * p)); }, out, slot);
}

void TransformPolygonsUV(UVWStruct* uv, std::span<const Int32> polygons, const Vector& c,
                         const Matrix& m, std::vector<Vector>& out) {
  const Matrix t(c, Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1));
  const Matrix back = MatrixInverse(t);
  auto map = [&](const Vector& p) { return t * (m * (back * p)); };
  out.resize(4 * polygons.size());
  for (size_t k = 0; k < polygons.size(); ++k) MapPolygonWith(uv, polygons[k], map, out, k);
}

// --- islands ---

namespace {
Bool PolygonsTouch(const UVWStruct& p, const UVWStruct& q) {
  for (Int32 i = 0; i < 4; ++i)
    for (Int32 j = 0; j < 4; ++j)
      if (UVCoincident(p[i], q[j])) return true;
  return false;
}
}  // namespace

Int32 GrowIsland(const UVWStruct* uv, const std::vector<Int32>& list, Int32 seed,
                 std::vector<std::uint8_t>& visited, BaseSelect& working) {
  const Int32 before = working.GetCount();
  const UVWStruct& s = uv[list[static_cast<size_t>(seed)]];
  for (size_t j = 0; j < list.size(); ++j) {
    if (visited[j]) continue;
    if (PolygonsTouch(uv[list[j]], s)) {
      working.Select(list[j]);
      visited[j] = 1;
    }
  }
  return working.GetCount() - before;
}

void FloodIsland(const UVWStruct* uv, const std::vector<Int32>& list, Int32 i,
                 std::vector<std::uint8_t>& visited, BaseSelect& working) {
  working.DeselectAll();
  working.Select(list[static_cast<size_t>(i)]);
  visited[static_cast<size_t>(i)] = 1;
  if (GrowIsland(uv, list, i, visited, working) == 0) return;
  Int32 added = 0;
  do {
    added = 0;
    for (size_t j = 0; j < list.size(); ++j)
      if (visited[j]) added += GrowIsland(uv, list, static_cast<Int32>(j), visited, working);
  } while (added > 0);
}

// --- neighbour carry ---

struct NeighbourCarry::Index {
  CellGrid corners;  // polygon * 4 + corner, at each position the corner has had
  CellGrid olds;     // old list entries
  std::vector<UInt32> stamp;
  std::vector<std::uint8_t> indexed;  // per polygon: its corners are in corners
  std::vector<Int32> group;           // per polygon, when groups were given
  UInt32 epoch = 0;
  std::vector<Int32> candidates;
  std::vector<Int32> queries;                   // old entries to look for corners around
  std::vector<std::pair<Int32, size_t>> moves;  // corner, old entry it takes
};

NeighbourCarry::NeighbourCarry(const UVWStruct* uv, Int32 polyCount,
                               const std::vector<std::uint8_t>& carried,
                               std::span<const Int32> groups)
    : index_(std::make_unique<Index>()) {
  const size_t n = uv ? static_cast<size_t>(std::max(polyCount, 0)) : 0;
  auto isCarried = [&carried](size_t p) {
    return carried.empty() || (p < carried.size() && carried[p]);
  };
  size_t corners = 0;
  CellBoxOfRange range;
  for (size_t p = 0; p < n; ++p) {
    if (!isCarried(p)) continue;
    corners += 4;
    for (Int32 c = 0; c < 4; ++c)
      if (Finite(uv[p][c])) range.Add(uv[p][c]);
  }
  const CellBox box = range.Box();
  Index& ix = *index_;
  if (groups.size() >= n && n > 0)
    ix.group.assign(groups.begin(), groups.begin() + static_cast<std::ptrdiff_t>(n));
  ix.corners.Reset(corners, box, !ix.group.empty());
  // Room for each corner to be indexed again once (a tool that moves the corners it scales).
  ix.corners.Reserve(2 * corners);
  ix.indexed.assign(n, 0);
  for (size_t p = 0; p < n; ++p) {
    if (!isCarried(p)) continue;
    ix.indexed[p] = 1;
    for (Int32 c = 0; c < 4; ++c)
      if (Finite(uv[p][c]))
        ix.corners.Insert(uv[p][c], static_cast<Int32>(4 * p) + c, GroupOf(static_cast<Int32>(p)));
  }
}

Int32 NeighbourCarry::GroupOf(Int32 polygon) const {
  const std::vector<Int32>& g = index_->group;
  return static_cast<size_t>(polygon) < g.size() ? g[static_cast<size_t>(polygon)]
                                                 : CellGrid::kMixed;
}

NeighbourCarry::~NeighbourCarry() = default;

void NeighbourCarry::Moved(const UVWStruct* uv, std::span<const Int32> polygons) {
  Index& ix = *index_;
  if (!uv) return;
  for (Int32 p : polygons) {
    if (p < 0 || static_cast<size_t>(p) >= ix.indexed.size() || !ix.indexed[static_cast<size_t>(p)])
      continue;
    for (Int32 c = 0; c < 4; ++c)
      if (Finite(uv[p][c])) ix.corners.Insert(uv[p][c], 4 * p + c, GroupOf(p));
  }
}

void NeighbourCarry::Apply(UVWStruct* uv, const std::vector<Vector>& old,
                           const std::vector<Vector>& newer, UVMatch test, Bool chain,
                           Int32 stayGroup) {
  Index& ix = *index_;
  const size_t count = std::min(old.size(), newer.size());
  if (count == 0 || !uv) return;
  const Int32 none = static_cast<Int32>(count);
  if (ix.group.empty()) stayGroup = -1;
  auto stays = [&](Int32 item) { return stayGroup >= 0 && GroupOf(item >> 2) == stayGroup; };

  if (test == UVMatch::kExact && !chain) {
    // A corner takes the first entry that lies exactly where it is, and it lies in that entry's
    // cell: the entries ask their own cell in list order, and the first to find a corner is its
    // match. Entries of corners that have left a cell are dropped on the way.
    ix.moves.clear();
    for (size_t k = 0; k < count; ++k) {
      const Vector& o = old[k];
      if (!Finite(o)) continue;
      // An entry at the place of one shortly before it would only meet corners that one takes.
      Bool repeat = false;
      for (size_t e = k > 8 ? k - 8 : 0; e < k && !repeat; ++e) repeat = UVEqual(old[e], o);
      if (repeat) continue;
      // A cell that holds only corners that stay has nothing to carry.
      if (stayGroup >= 0 && ix.corners.TagAt(o) == stayGroup) continue;
      ix.corners.VisitCell(o, [&](Int32 item, Int32 group) {
        // The corners that stay are most of those met: passed over before their UV is read.
        if (stayGroup >= 0 && group == stayGroup) return true;
        const Vector& x = uv[item >> 2][item & 3];
        if (!Finite(x) || !ix.corners.SameCell(x, o)) return false;
        if (UVEqual(x, o)) ix.moves.emplace_back(item, k);
        return true;
      });
    }
    // A corner met through several entries (and through repeated index entries) takes the
    // first: sorted by corner, then entry.
    std::sort(ix.moves.begin(), ix.moves.end());
    ix.moves.erase(std::unique(ix.moves.begin(), ix.moves.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }),
                   ix.moves.end());
    for (const auto& [item, k] : ix.moves) {
      Vector& corner = uv[item >> 2][item & 3];
      corner = newer[k];
      if (Finite(corner)) ix.corners.Insert(corner, item, GroupOf(item >> 2));
    }
    return;
  }

  CellBoxOfRange range;
  for (size_t k = 0; k < count; ++k)
    if (Finite(old[k])) range.Add(old[k]);
  ix.olds.Reset(count, range.Box());
  // Entries at the place of one just before them need no query of their own.
  ix.queries.clear();
  for (size_t k = 0; k < count; ++k) {
    if (!Finite(old[k])) continue;
    const Int32 item = static_cast<Int32>(k);
    const Int32 there = ix.olds.InsertUnlessThere(old[k], item, [&](Int32 other) {
      return UVEqual(old[static_cast<size_t>(other)], old[k]);
    });
    // Without chain a corner takes the smallest entry that matches it, and an entry at the
    // place of an earlier one matches exactly when that one does: it can never be taken.
    if (there == item)
      ix.queries.push_back(item);
    else if (chain)
      ix.olds.Insert(old[k], item);
  }

  // Corners near any old entry, each once. A corner is found through the cell of its present
  // position; entries left behind by earlier moves only bring in corners that match nothing.
  if (ix.stamp.empty()) ix.stamp.assign(4 * ix.indexed.size(), 0);
  if (++ix.epoch == 0) {
    std::fill(ix.stamp.begin(), ix.stamp.end(), 0);
    ix.epoch = 1;
  }
  ix.candidates.clear();
  for (Int32 k : ix.queries) {
    ix.corners.Visit(old[static_cast<size_t>(k)], [&ix](Int32 item) {
      UInt32& st = ix.stamp[static_cast<size_t>(item)];
      if (st != ix.epoch) {
        st = ix.epoch;
        ix.candidates.push_back(item);
      }
      return true;
    });
  }

  // Each corner on its own: the smallest matching entry past the last one applied, which is
  // the entry the walk in list order would meet next.
  for (Int32 item : ix.candidates) {
    if (stays(item)) continue;
    Vector& corner = uv[item >> 2][item & 3];
    Vector x = corner;
    Int32 last = -1;
    Bool moved = false;
    while (Finite(x)) {
      Int32 best = none;
      ix.olds.Visit(x, [&](Int32 k) {
        if (k > last && k < best && UVMatches(test, x, old[static_cast<size_t>(k)])) best = k;
        return true;
      });
      if (best == none) break;
      x = newer[static_cast<size_t>(best)];
      last = best;
      moved = true;
      if (!chain) break;
    }
    if (!moved) continue;
    corner = x;
    if (Finite(x)) ix.corners.Insert(x, item, GroupOf(item >> 2));
  }
}

// --- small helpers ---

void AppendCorners(const UVWStruct& s, std::vector<Vector>& out) {
  out.push_back(s.a);
  out.push_back(s.b);
  out.push_back(s.c);
  out.push_back(s.d);
}

void SelectAscending(BaseSelect* sel, std::span<const Int32> polygons) {
  sel->DeselectAll();
  size_t i = 0;
  while (i < polygons.size()) {
    size_t j = i;
    while (j + 1 < polygons.size() && polygons[j + 1] == polygons[j] + 1) ++j;
    sel->SelectAll(polygons[i], polygons[j]);
    i = j + 1;
  }
}

struct DistinctPositions::Seen {
  struct Hash {
    size_t operator()(const Vector& v) const {
      const Vector k = v + Vector();  // -0 + 0 = +0: equal values hash alike
      return static_cast<size_t>(
          MixBits(std::bit_cast<UInt64>(k.x) ^
              MixBits(std::bit_cast<UInt64>(k.y) ^ MixBits(std::bit_cast<UInt64>(k.z)))));
    }
  };
  struct Equal {
    bool operator()(const Vector& a, const Vector& b) const { return UVEqual(a, b); }
  };
  std::unordered_set<Vector, Hash, Equal> set;
};

DistinctPositions::DistinctPositions(size_t limit)
    : limit_(limit), seen_(std::make_unique<Seen>()) {}
DistinctPositions::~DistinctPositions() = default;

void DistinctPositions::Add(const Vector& p) {
  if (list_.size() < limit_ && seen_->set.insert(p).second) list_.push_back(p);
}

// --- the tool frame ---

UVToolScope::UVToolScope(const ToolNeeds& needs) {
  doc_ = GetActiveDocument();
  if (!doc_) return;
  if (needs.mode != 0 && doc_->GetMode() != needs.mode) {
    if (needs.wrongMode) MessageDialog(needs.wrongMode);
    return;
  }
  BaseObject* op = doc_->GetActiveObject();
  if (!op) return;
  if (needs.polygonObject && op->GetType() != Opolygon) return;
  auto* poly = op->GetType() == Opolygon ? static_cast<PolygonObject*>(op) : nullptr;
  if (needs.withPolygons && (!poly || poly->GetPolygonCount() == 0)) return;
  if (needs.withPoints && (!poly || poly->GetPointCount() == 0)) return;
  op_ = poly;
  if (needs.uvParts != 0) {
    uvset_ = GetActiveUVSet(doc_, needs.uvParts);
    if (!uvset_) return;
    if (needs.uvMode != 0 && uvset_->GetMode() != needs.uvMode) return;
    tag_ = uvset_->GetUVWTag();
  } else if (op_) {
    tag_ = GetEditedUVWTag(op_);
  }
  if (needs.uvwTag && !tag_) return;
  using Selection = ToolNeeds::Selection;
  if (needs.selection == Selection::kPolygons && SelectedPolygons().empty()) return;
  if (needs.selection == Selection::kUVPoints && SelectedUVPoints().empty()) return;
  ok_ = true;
}

UVToolScope::~UVToolScope() {
  if (uvset_) FreeActiveUVSet(uvset_);
  if (undoOpen_) doc_->EndUndo();
}

Int32 UVToolScope::PolygonCount() const {
  return op_ ? op_->GetPolygonCount() : 0;
}

const CPolygon* UVToolScope::Polygons() const {
  return op_ ? op_->GetPolygonR() : nullptr;
}

UVWStruct* UVToolScope::UVs() const {
  return uvset_ ? uvset_->GetUVW() : nullptr;
}

BaseSelect* UVToolScope::PolygonSelection() const {
  return uvset_ ? uvset_->GetPolySel() : op_ ? op_->GetPolygonS() : nullptr;
}

BaseSelect* UVToolScope::UVPointSelection() const {
  return uvset_ ? uvset_->GetUVPointSel() : nullptr;
}

const std::vector<Int32>& UVToolScope::SelectedPolygons() {
  if (!polygonsRead_) {
    polygons_ = SelectedPolygonList(PolygonSelection(), PolygonCount());
    polygonsRead_ = true;
  }
  return polygons_;
}

const std::vector<UVPointRef>& UVToolScope::SelectedUVPoints() {
  if (!pointsRead_) {
    points_ = ::SelectedUVPoints(UVPointSelection(), PolygonCount());
    pointsRead_ = true;
  }
  return points_;
}

std::vector<CapturedPointRecord> UVToolScope::SelectedPointPositions() {
  std::vector<CapturedPointRecord> out;
  if (!tag_) return out;
  const ConstUVWHandle h = tag_->GetDataAddressR();
  for (const UVPointRef& r : SelectedUVPoints()) {
    UVWStruct s;
    UVWTag::Get(h, r.polygon, s);
    out.push_back({r.polygon * 4 + r.corner, s[r.corner]});
  }
  return out;
}

void UVToolScope::BeginUndo() {
  if (undoOpen_ || !doc_ || !op_) return;
  doc_->StartUndo();
  doc_->AddUndo(UNDOTYPE_CHANGE, op_);
  undoOpen_ = true;
}

void UVToolScope::Commit(Bool writeBack) {
  if (writeBack && uvset_) uvset_->SetUVWFromTextureView(uvset_->GetUVW());
  if (op_) op_->Message(MSG_UPDATE);
  EventAdd();
}

// --- the island tool frame ---

std::unique_ptr<NeighbourCarry> MakeIslandCarry(const UVWStruct* uv, Int32 polyCount,
                                                const std::vector<Int32>& list) {
  if (list.empty()) return nullptr;
  std::vector<std::uint8_t> carried(static_cast<size_t>(polyCount), 1);
  for (Int32 p : list) carried[static_cast<size_t>(p)] = 0;
  return std::make_unique<NeighbourCarry>(uv, polyCount, carried);
}

Bool RunIslandFrame(Bool keep, UVMatch test, const std::function<Bool(UVToolScope&)>& prepare,
                    const std::function<Bool(IslandWork&)>& transform) {
  UVToolScope scope({.uvMode = Mpolygons, .selection = ToolNeeds::Selection::kPolygons});
  if (!scope.Ok()) return false;
  if (prepare && !prepare(scope)) return false;
  UVWStruct* uv = scope.UVs();
  const Int32 polyCount = scope.PolygonCount();
  const std::vector<Int32>& list = scope.SelectedPolygons();
  {
    // The islands and the carry's index are freed before the write-back makes its undo copy,
    // which then reuses their memory instead of raising the peak.
    const UVIslands islands = BuildIslands(uv, list);
    std::unique_ptr<NeighbourCarry> carry = keep ? MakeIslandCarry(uv, polyCount, list) : nullptr;

    IslandWork work;
    work.uv = uv;
    work.polys = scope.Polygons();
    work.polyCount = polyCount;
    work.lists = carry != nullptr;
    for (size_t k = 0; k < islands.Count(); ++k) {
      work.polygons.clear();
      for (Int32 j : islands.Island(k)) work.polygons.push_back(list[static_cast<size_t>(j)]);
      if (work.lists) {
        work.oldList.clear();
        for (Int32 p : work.polygons) AppendCorners(uv[p], work.oldList);
        work.newList = work.oldList;
      }
      if (transform(work) && carry) carry->Apply(uv, work.oldList, work.newList, test, false);
    }
  }

  SelectAscending(scope.PolygonSelection(), list);
  scope.Commit();
  return true;
}
