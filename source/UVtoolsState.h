// What the UV tools dialog keeps between presses, one struct per tool group. A group's handlers
// are handed only the structs it registered with.
#pragma once

#include <array>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"

// Which stored transform the island scaling follows.
enum class TransformKind : Int32 {
  kNone = -1,
  kSizeCaptured = 1,  // the scale button fits islands to the captured size
  kRealArea = 2,      // the real-area measure ran
  kLiveScale = 3,     // scale fields transform the scale snapshot again
};

// Island transforms: the captured size, the real-area state and the live snapshots.
struct TransformState : ToolState {
  TransformKind kind = TransformKind::kNone;
  Float measuredArea = 0.0;  // UV area of the last measure or size capture
  Float capturedWidth = 0.0, capturedHeight = 0.0;
  Vector capturedCentre;  // centre of the captured size's box
  std::vector<IslandSnapshotRecord> scaleRecord, rotateRecord;
  UInt32 angleReady = 0;  // live rotation armed; disables the other rotate controls

  void InitValues() override {
    measuredArea = 0.0;
    kind = TransformKind::kNone;
  }
  void Release() override {
    angleReady = 0;
    std::vector<IslandSnapshotRecord>().swap(scaleRecord);
    std::vector<IslandSnapshotRecord>().swap(rotateRecord);
  }
};

// The align capture: a centre and two line points for aligning and projecting UV points.
struct AlignCapture : ToolState {
  Vector centre;
  UInt32 enabled = 0;  // captured; enables the line projection
  UInt32 count = 0;    // UV points captured
  std::array<Vector, 2> line{};

  void InitValues() override { *this = AlignCapture(); }
};

// The stitch capture: the row of UV points the stitch buttons join to.
struct StitchCapture : ToolState {
  UInt32 enabled = 0;  // captured; enables the stitch buttons
  UInt32 count = 0;
  std::vector<CapturedPointRecord> points;

  void InitValues() override { enabled = 0; }
  // Without its row a capture is none: the stitch buttons go off with it.
  void Release() override {
    enabled = 0;
    count = 0;
    std::vector<CapturedPointRecord>().swap(points);
  }
};

// The copy-shape picks: source and target polygons and point chains.
struct CopyShapeState : ToolState {
  UInt32 step = 0;  // 0 .. 3; 4 while the symmetry pick runs
  std::vector<CapturedPolygon> sourcePolygons, targetPolygons;
  std::vector<Vector> sourcePoints, targetPoints;
  Vector sourceCentre, targetCentre;

  void InitValues() override { step = 0; }
  void Release() override {
    std::vector<CapturedPolygon>().swap(sourcePolygons);
    std::vector<CapturedPolygon>().swap(targetPolygons);
    std::vector<Vector>().swap(sourcePoints);
    std::vector<Vector>().swap(targetPoints);
  }
};

// The symmetry source picked by the first click.
struct SymmetryState : ToolState {
  UInt32 armed = 0;
  std::vector<CapturedPolygon> polygons;
  std::vector<Vector> points;
  Vector centre;

  void InitValues() override { armed = 0; }
  void Release() override {
    std::vector<CapturedPolygon>().swap(polygons);
    std::vector<Vector>().swap(points);
  }
};

// One end of a connect's edges: a UV point and the polygon it belongs to.
struct ConnectEdgePoint {
  Vector uv;
  Int32 polygon = 0;
};

// The polygon connect's placements, kept for the reversal question. The window's opening and
// closing keep them; the timer's tick frees the edge points.
struct ConnectState : ToolState {
  Matrix transformA, transformB;  // the direct and the reversed placement
  std::vector<ConnectEdgePoint> reverseData;  // e0, e1 on the fixed polygon, e2, e3 on the moved
};
