// UV point align and stitch: the align capture, aligning selected UV points along U, along V or
// onto the captured centre (with distance fixation, re-spacing by 3D edge length and squaring of
// the neighbouring rows), and stitching a selected row onto the captured stitch row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// The centre and line points of the UV points selected now.
Bool CapturePointCenter(AlignCapture& capture);

// The align and stitch operations; the dialog makes one for each command.
class UVpointAlign {
 public:
  virtual ~UVpointAlign() = default;

  // Moves the selected UV points onto the line through centre (mode 2: same v, 3: same u) or
  // onto centre itself (4). Without a capture the centre becomes the mean of the selection.
  Bool AlignPoints(Vector& centre, Int32 mode, UInt32& captured, Bool grid, Bool distanceFixation,
                   Bool uvRate);
  // One point's aligned position. With distance fixation the point keeps its distance from
  // centre, on the side of centre it lies on (mode 4 leaves it).
  static Vector AlignPoint(const Vector& p, Int32 mode, const Vector& centre,
                           Bool distanceFixation);
  // Re-spaces the aligned points along u (mode 2) or v (3) in proportion to the 3D lengths of
  // the selected mesh edges between them. False when the pass cannot run; nothing changes then.
  Bool SpaceByEdgeLength(UVToolScope& scope, Int32 mode);
  // Squares the rows of quads next to the aligned row (mode 2 or 3).
  Bool StraightenGrid(UVToolScope& scope, Int32 mode);
  // Joins the selected row of UV points with the captured row: onto it (modes 2, 3) or onto
  // the midpoints between the rows (4, 5).
  Bool StitchPoints(Int32 mode, UInt32 count, UInt32& captured,
                    const std::vector<CapturedPointRecord>& points);
};

// --- the pieces, open to tests ---

// The positions to keep when repeated UV points are removed: walking in order, a position
// within the tolerance of an earlier kept one is dropped; with dropOrigin so is (0, 0, 0).
// Answers the indices of the kept positions, ascending, at most limit of them.
std::vector<size_t> DistinctUVPoints(std::span<const Vector> positions, Bool dropOrigin,
                                     size_t limit = std::numeric_limits<size_t>::max());

// One selected mesh edge of the UV Rate pass.
struct EdgeRecord {
  Int32 polygon = 0;
  Int32 side = 0;       // 0 a-b, 1 b-c, 2 c-d, 3 d-a
  Int32 point[2] = {};  // its point indices, in walking order once chained
  Bool shared[2] = {};  // another record has this end's point
  Int32 next = -1;      // the next record of the chain
  Vector uv[2];         // new UV positions of the ends
};

// The records of the selected edges (4 * polygon + side), ascending, without repeats of an edge
// (the same two points in either order).
std::vector<EdgeRecord> EdgeRecords(const BaseSelect* edges, const CPolygon* polys,
                                    Int32 polyCount);
// Flags the shared ends, picks the chain start, walks the chain and answers its records in
// order (turned as walked; next links them).
std::vector<Int32> ChainEdges(std::vector<EdgeRecord>& records);

// The grid squaring on a UV array: selected holds the selected corners, ascending.
Bool StraightenGridUVs(UVWStruct* uv, const CPolygon* polys, Int32 polyCount,
                       std::span<const UVPointRef> selected, Int32 mode);
