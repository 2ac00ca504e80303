// The UV model shared by the tools: UV point indices, the coincidence tolerance, selected-polygon
// lists, UV islands and the neighbour carry, the vector and matrix helpers, and the tool frame in
// which every tool opens and closes its access to the document and the UV data.
//
// The neighbour carry: with Keep Face Neighbors the island tools move the corners of unselected
// polygons that lie on an island's old corners to the matching new corners, each corner to its
// first matching old entry. The chaining walk (a corner moved on by later entries) stays
// available for tools that chain by design.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "c4d_baseobject.h"
#include "c4d_baseselect.h"
#include "c4d_basetag.h"
#include "c4d_painter.h"
#include "ge_math.h"

class BaseDocument;

// A selected UV corner: polygon * 4 + corner, and its UV.
struct CapturedPointRecord {
  Int32 index = 0;
  Vector position;
};

// A captured UV polygon: its index and its four UV corners (a triangle repeats c).
struct CapturedPolygon {
  Int32 index = 0;
  Vector uv[4];
  Bool triangle = false;  // c equals d in the polygon
};

// One polygon's UVs as stored for a live transform; d is zero for a triangle.
struct IslandSnapshotRecord {
  Int32 polygon = 0;
  Vector a, b, c, d;
  Int32 cornerCount = 4;  // 3 for a triangle
};

// --- UV points and coincidence ---

// Two UV positions are one UV point when their distance (over u, v and w) is below this.
constexpr Float kUVPointTolerance = 0.01;

// Distance over u, v and w below kUVPointTolerance.
Bool UVCoincident(const Vector& a, const Vector& b);
// u, v and w exactly equal.
Bool UVEqual(const Vector& a, const Vector& b);

// The test that decides whether a corner follows an island point.
enum class UVMatch { kTolerance, kExact };
Bool UVMatches(UVMatch test, const Vector& a, const Vector& b);

// A UV point index taken apart: index = polygon * 4 + corner (0 a, 1 b, 2 c, 3 d).
struct UVPointRef {
  Int32 polygon = 0;
  Int32 corner = 0;
};
// False for an index that names no corner of the first polygonCount polygons (negative ones too).
Bool DecodeUVPointIndex(Int32 index, Int32 polygonCount, UVPointRef& ref);
// The valid corners of a UV point selection, ascending.
std::vector<UVPointRef> SelectedUVPoints(const BaseSelect* sel, Int32 polygonCount);
// The indices of the selected polygons, ascending, range by range, below polygonCount.
std::vector<Int32> SelectedPolygonList(const BaseSelect* sel, Int32 polygonCount);

// --- vectors and matrices ---

// Angle between a and b in [0, pi]; pi/2 when either is zero.
Float VectorAngle(const Vector& a, const Vector& b);
// Scales v to length 1; a zero vector stays as it is.
void NormalizeVector(Vector& v);
Vector NormalizedCopy(const Vector& v);
// a * b: applies b first, then a.
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
// The inverse transform; the identity when the axes are singular.
Matrix MatrixInverse(const Matrix& m);
Matrix MatrixScale(const Vector& s);
// Maps (x, y, z) to (x cos t + y sin t, -x sin t + y cos t, z).
Matrix MatrixRotZ(Float t);
// Unit normal of one polygon of the object's points; zero for a degenerate polygon or a point
// index outside the pointCount points.
Vector PolygonNormal(const Vector* points, Int32 pointCount, const CPolygon& poly);
// Mean of the polygon's points (three for a triangle); zero for an index out of range.
Vector PolygonCenter3D(const Vector* points, Int32 pointCount, const CPolygon* polys,
                       Int32 polyCount, Int32 index);
// Area of triangle (p0, p1, p2), plus (p0, p3, p2) for a quad.
Float PolygonArea(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3,
                  const CPolygon& poly);

// --- UV polygons ---

// Centre of one UV polygon: the triangle centre, or for a quad the mean of the centres of
// (a, b, c) and (a, c, d).
Vector PolygonCenterUV(const UVWStruct& uv, const CPolygon& poly);
// Mean of the centres of the selected UV polygons below polyCount; zero when there are none.
Vector SelectionCenterUV(const UVWStruct* uv, const BaseSelect* sel, const CPolygon* polys,
                         Int32 polyCount);
// The same for a list of polygon indices.
Vector SelectionCenterUV(const UVWStruct* uv, std::span<const Int32> polygons,
                         const CPolygon* polys);

// Replaces the four corners of uv[polygon] by map(corner) and writes them to out[4*slot ..]. When
// a mapped corner is not finite the polygon is left unchanged (its current corners go to out)
// and the answer is false.
Bool MapPolygonUV(UVWStruct* uv, Int32 polygon, const std::function<Vector(const Vector&)>& map,
                  std::vector<Vector>& out, size_t slot);
// MapPolygonUV with c + m(p - c): translation(c), m and the inverse translation applied in turn.
Bool TransformPolygonUV(UVWStruct* uv, Int32 polygon, const Vector& c, const Matrix& m,
                        std::vector<Vector>& out, size_t slot);
// TransformPolygonUV for each of polygons in turn, polygon k at slot k; out is resized to fit.
void TransformPolygonsUV(UVWStruct* uv, std::span<const Int32> polygons, const Vector& c,
                         const Matrix& m, std::vector<Vector>& out);

// --- islands ---

// The plain island growth: adds to working every unvisited entry of list that has a corner
// within the tolerance of a corner of list[seed]; answers how many it added.
Int32 GrowIsland(const UVWStruct* uv, const std::vector<Int32>& list, Int32 seed,
                 std::vector<std::uint8_t>& visited, BaseSelect& working);
// The plain flood fill: working ends up holding the polygons of list[i]'s island.
void FloodIsland(const UVWStruct* uv, const std::vector<Int32>& list, Int32 i,
                 std::vector<std::uint8_t>& visited, BaseSelect& working);

// Islands as list positions: island k is Island(k), ascending; islands come in the order of
// their first position.
struct UVIslands {
  std::vector<Int32> members;
  std::vector<size_t> offsets{0};
  size_t Count() const { return offsets.size() - 1; }
  std::span<const Int32> Island(size_t k) const {
    return {members.data() + offsets[k], offsets[k + 1] - offsets[k]};
  }
};
// The islands of the polygons list[0..] (the same membership the plain flood fill gives), found
// through a grid of the corners so that the cost grows about linearly with the polygon count.
UVIslands BuildIslands(const UVWStruct* uv, const std::vector<Int32>& list);

// Moves the corners of the neighbouring polygons with the island points they lie on. Keeps an
// index of the corners it may move, so that many islands can be carried one after the other.
class NeighbourCarry {
 public:
  // Indexes the corners of the polygons whose flag in carried is set (all of them when carried
  // is empty). groups, when given, puts each polygon in a group (0 and up), so that Apply can
  // leave a group's corners in place cheaply.
  NeighbourCarry(const UVWStruct* uv, Int32 polyCount, const std::vector<std::uint8_t>& carried,
                 std::span<const Int32> groups = {});
  ~NeighbourCarry();
  NeighbourCarry(const NeighbourCarry&) = delete;
  NeighbourCarry& operator=(const NeighbourCarry&) = delete;

  // For every indexed corner, old entries are tried in list order: a corner that matches old[k]
  // takes newer[k]. With chain the walk goes on past k with the moved value (so a later entry
  // may move the corner again); without, the first match is the only one.
  // The corners of the polygons of group stayGroup (see the constructor) are left where they
  // are.
  void Apply(UVWStruct* uv, const std::vector<Vector>& old, const std::vector<Vector>& newer,
             UVMatch test, Bool chain, Int32 stayGroup = -1);
  // The corners of these polygons were moved by something else: index them where they are now.
  void Moved(const UVWStruct* uv, std::span<const Int32> polygons);

 private:
  Int32 GroupOf(Int32 polygon) const;
  struct Index;
  std::unique_ptr<Index> index_;
};

// --- small helpers ---

// Mixes the bits of x for hash tables.
inline UInt64 MixBits(UInt64 x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}
// Hash and test of exact UV equality (u, v and w); -0 and +0 are equal and hash alike.
struct ExactUVHash {
  size_t operator()(const Vector& v) const {
    const Vector k = v + Vector();
    return static_cast<size_t>(
        MixBits(std::bit_cast<UInt64>(k.x) ^
                MixBits(std::bit_cast<UInt64>(k.y) ^ MixBits(std::bit_cast<UInt64>(k.z)))));
  }
};
struct ExactUVEqual {
  bool operator()(const Vector& a, const Vector& b) const {
    return a.x == b.x && a.y == b.y && a.z == b.z;
  }
};

// All three components are finite numbers.
inline Bool Finite(const Vector& v) {
  return v.IsFinite();
}
// Appends the corners of one polygon in corner order.
void AppendCorners(const UVWStruct& s, std::vector<Vector>& out);
// Selects exactly the polygons of an ascending list.
void SelectAscending(BaseSelect* sel, std::span<const Int32> polygons);

// Keeps the positions that equal no earlier one (u, v and w exactly), in their order, up to
// limit of them.
class DistinctPositions {
 public:
  explicit DistinctPositions(size_t limit = static_cast<size_t>(-1));
  ~DistinctPositions();
  void Add(const Vector& p);
  const std::vector<Vector>& List() const { return list_; }

 private:
  struct Seen;
  size_t limit_;
  std::vector<Vector> list_;
  std::unique_ptr<Seen> seen_;
};

// --- the tool frame ---

// What a tool needs before it changes anything. Every check is an option, so that a tool asks
// for exactly its own preconditions; they are made in the order written here. A failed check
// changes nothing (only the wrong-mode message, when one is given, is shown).
struct ToolNeeds {
  enum class Selection { kAny, kPolygons, kUVPoints };

  Int32 mode = 0;                         // the document's editing mode; 0: any
  const char* wrongMode = nullptr;        // message box shown when the mode is another
  Bool polygonObject = true;              // the active object is a polygon object
  Bool withPolygons = false;              // ... that has polygons
  Bool withPoints = false;                // ... and points
  Int32 uvParts = 0xFFFE;                 // parts of the UV set to acquire; 0: no UV set
  Int32 uvMode = 0;                       // the UV set's own mode (Mpolygons: UV polygons); 0: any
  Bool uvwTag = true;                     // the UVW tag the UV editor shows
  Selection selection = Selection::kAny;  // this selection holds a valid index
};

// One tool run: the document, the active object, its UV set and UVW tag, held while the scope
// lives. The UV set is released and an undo group begun here is closed on every exit.
class UVToolScope {
 public:
  explicit UVToolScope(const ToolNeeds& needs);
  ~UVToolScope();
  UVToolScope(const UVToolScope&) = delete;
  UVToolScope& operator=(const UVToolScope&) = delete;

  // Every check passed.
  Bool Ok() const { return ok_; }
  BaseDocument* Document() const { return doc_; }
  PolygonObject* Object() const { return op_; }
  TempUVHandle* UVSet() const { return uvset_; }
  UVWTag* Tag() const { return tag_; }
  Int32 PolygonCount() const;
  const CPolygon* Polygons() const;
  // The UV set's working copy of the UVs, one record per polygon; Commit writes it back.
  UVWStruct* UVs() const;
  BaseSelect* PolygonSelection() const;
  BaseSelect* UVPointSelection() const;
  // The selected polygons below the polygon count, ascending.
  const std::vector<Int32>& SelectedPolygons();
  // The selected UV corners of existing polygons, ascending.
  const std::vector<UVPointRef>& SelectedUVPoints();
  // The same with their positions, read through the UVW tag.
  std::vector<CapturedPointRecord> SelectedPointPositions();

  // Opens an undo group with a change entry for the object; it closes with the scope.
  void BeginUndo();
  // The tool changed the document: the UV array goes back into the tag (writeBack), the object
  // is told its data changed and the host redraws.
  void Commit(Bool writeBack = true);

 private:
  Bool ok_ = false;
  Bool undoOpen_ = false;
  BaseDocument* doc_ = nullptr;
  PolygonObject* op_ = nullptr;
  TempUVHandle* uvset_ = nullptr;
  UVWTag* tag_ = nullptr;
  std::vector<Int32> polygons_;
  std::vector<UVPointRef> points_;
  Bool polygonsRead_ = false, pointsRead_ = false;
};

// One island as the island tool frame hands it to a tool.
struct IslandWork {
  UVWStruct* uv = nullptr;  // working copy of the UVs, one record per polygon
  const CPolygon* polys = nullptr;
  Int32 polyCount = 0;
  std::vector<Int32> polygons;  // the island, ascending
  // Only when the neighbour carry runs (lists set): the corners before the tool, four per
  // polygon, and after it (starts as a copy of oldList).
  Bool lists = false;
  std::vector<Vector> oldList;
  std::vector<Vector> newList;
};

// Maps the four corners (d too) of every island polygon in place with map (a callable from the
// corner to its new place); a polygon with a corner that would not be finite keeps its corners.
// With lists, newList gets the corners as they end up.
template <typename Map>
void MapIsland(IslandWork& w, const Map& map) {
  for (size_t k = 0; k < w.polygons.size(); ++k) {
    UVWStruct& s = w.uv[w.polygons[k]];
    const Vector a = map(s.a), b = map(s.b), c = map(s.c), d = map(s.d);
    if (Finite(a) && Finite(b) && Finite(c) && Finite(d)) {
      s.a = a;
      s.b = b;
      s.c = c;
      s.d = d;
    }
    if (w.lists) {
      Vector* out = w.newList.data() + 4 * k;
      out[0] = s.a;
      out[1] = s.b;
      out[2] = s.c;
      out[3] = s.d;
    }
  }
}

// The island tool frame: the active object in UV polygon mode with a selection; each island of
// the selected polygons goes to transform, which answers whether it changed the island. With
// keep, the corners of the unselected polygons then follow the island points they lie on
// (test decides). prepare, when given, runs once before the islands and may refuse. Writes the
// UVs back, restores the polygon selection, sends MSG_UPDATE and asks for a redraw.
Bool RunIslandFrame(Bool keep, UVMatch test, const std::function<Bool(UVToolScope&)>& prepare,
                    const std::function<Bool(IslandWork&)>& transform);

// The neighbour carry of the island tools: moves only the corners of the polygons outside list
// (the selected ones are placed by their own island; carrying them too would move an island's
// corners a second time and tear regular islands apart). nullptr for an empty list.
std::unique_ptr<NeighbourCarry> MakeIslandCarry(const UVWStruct* uv, Int32 polyCount,
                                                const std::vector<Int32>& list);
