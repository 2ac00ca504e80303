// Copy Shape and UV Symmetry: the picks of the four-step copy of a source shape onto target
// polygons, and the mirror of a picked half across a chain of UV points.
#pragma once

#include <span>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Stores the selected UV polygons into the slot the copy-shape step names: the source at step 0,
// the target at step 2, the symmetry source at step 4. Then turns the polygon selection into a
// point selection and switches to UV point mode. An empty selection clears the copy-shape picks.
Bool CopyShapePickPolygons(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry);
// Stores the selected UV points, repeats within the tolerance merged, into the slot the step
// names (1 source chain, 3 target chain, 4 symmetry chain) and switches to UV polygon mode.
// Fewer than 2 distinct points clear the copy-shape picks.
Bool CopyShapePickPoints(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry);
// Copies the source shape onto the target polygons paired along the two chains.
Bool CopyShapeApply(ToolDialog& dlg, CopyShapeState& copy);
// The symmetry's second click: takes the selected chain and mirrors the picked polygons across it
// onto the polygons that face them.
Bool SymmetryMirror(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry);
// Frees the four copy-shape picks, zeroes both centres, goes back to step 0 and refreshes.
void CopyShapeClear(ToolDialog& dlg, CopyShapeState& copy);

// --- the tool steps, without the dialog ---

enum class PickResult {
  kDone,
  kRefused,    // a precondition failed, or the chain gave no mirror line: nothing changed
  kTooLittle,  // no polygon, or fewer than 2 distinct points: the dialog clears its picks
};
// The polygon capture into slot, with the centre of the polygons' UV bounding box.
PickResult CapturePolygons(std::vector<CapturedPolygon>& slot, Vector& centre);
// The point capture into slot.
PickResult CapturePoints(std::vector<Vector>& slot);
// The copy of the picked shape; false when it stopped before changing anything.
Bool CopyPickedShape(CopyShapeState& copy, Bool keep);
// The point capture into symmetry.points, then the mirror of symmetry.polygons across them.
PickResult MirrorPicked(SymmetryState& symmetry, Bool keep);

// --- the pieces, open to tests ---

// The points in chain order along the polygons' edges. The start is the shortest point that
// exactly one polygon corner lies on (a triangle's c counted once), else point 0. From the last
// chain point, the first unused polygon (pass after pass, in list order) with a corner exactly on
// it brings in the last point, not yet in the chain, within the tolerance of a corner next to
// that one. Points that never join are left out; fewer than 2 in the answer is a failure.
std::vector<Vector> OrderChain(std::span<const Vector> points,
                               std::span<const CapturedPolygon> polygons);

// Whether polygon uv (three corners for a triangle) has an edge from a corner within the
// tolerance of e0 to the next or previous corner within the tolerance of e1; k0 and k1 are
// those corners, the first such pair by k0, then next before previous.
Bool EdgeOnSegment(const Vector* uv, Bool triangle, const Vector& e0, const Vector& e1, Int32& k0,
                   Int32& k1);

// A source polygon paired with a target across or along chain segment `segment`.
struct ShapePair {
  Int32 segment = 0;
  Int32 source = 0;         // position in the source list
  Int32 target = 0;         // the symmetry: object polygon; Copy Shape: position in the target list
  Int32 sourceEnd[2] = {};  // the source's corners on the segment's ends
  Int32 targetEnd[2] = {};  // the target's
  bool operator==(const ShapePair&) const = default;
};

// The symmetry's pairs: for each segment of the chain, each unused stored polygon with an edge on
// it takes the first object polygon, in index order, with an edge on it that is neither stored
// (in range) nor taken yet.
std::vector<ShapePair> PairAcrossChain(std::span<const Vector> chain,
                                       std::span<const CapturedPolygon> stored, const UVWStruct* uv,
                                       const CPolygon* polys, Int32 polyCount);

// The copy's pairs: for each segment index both chains have, each unused source polygon with an
// edge on the source segment takes the first unused target polygon with an edge on the target
// segment.
std::vector<ShapePair> PairAlongChains(std::span<const Vector> sourceChain,
                                       std::span<const CapturedPolygon> sources,
                                       std::span<const Vector> targetChain,
                                       std::span<const CapturedPolygon> targets);

// The reflection of p across the line through c with direction (d.x, d.y): u and v reflected, w
// kept. d must not be zero in u and v.
Vector MirrorUV(const Vector& p, const Vector& c, const Vector& d);
