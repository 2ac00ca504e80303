// Polygon neighbourhood: which polygon lies on the other side of an edge.
#pragma once

#include <cstdint>
#include <vector>

#include "c4d_baseobject.h"
#include "lib_modeling.h"

// Built once from a mesh's polygons; each query is answered from a hash of the edges, so
// building is linear in the polygon count and a query costs the number of polygons on its edge.
//
// An edge is an unordered pair of different points. A polygon carries the edges of its sides
// a-b, b-c, c-d and d-a; a triangle (c == d) carries a-b, b-c and c-a. A side whose two points
// are the same, or that names a point outside 0 .. point count - 1, carries no edge.
class Neighbor {
 public:
  Neighbor();
  ~Neighbor();
  Neighbor(const Neighbor&) = delete;
  Neighbor& operator=(const Neighbor&) = delete;

  // Indexes the edges of the vcnt polygons vadr over pcnt points; false (and an empty
  // neighbourhood) for negative counts or missing polygons.
  Bool Init(Int32 pcnt, const CPolygon* vadr, Int32 vcnt);

  // The polygon on the other side of edge (a, b) from poly, in either direction: of the
  // polygons that carry the edge, the first in index order other than poly. On an edge of
  // three or more polygons that is the lowest other index. NOTOK when there is none.
  Int32 GetNeighbor(Int32 a, Int32 b, Int32 poly) const;

  // The number of different edges.
  Int32 GetEdgeCount() const { return static_cast<Int32>(first_.size()) - 1; }

 private:
  // The slot of edge key in the table, or of the empty slot where it would go.
  size_t Slot(std::uint64_t key) const;

  std::vector<std::uint64_t> keys_;  // open addressing; kEmpty marks a free slot
  std::vector<Int32> ids_;           // edge id per slot
  std::vector<Int32> first_{0};      // the polygons of edge e are polys_[first_[e] .. first_[e+1])
  std::vector<Int32> polys_;         // ascending within each edge
};
