// The UV model shared by the tools: UV point indices, records of captured UV data.
#pragma once

#include "c4d_baseobject.h"
#include "ge_math.h"

// A selected UV corner: polygon * 4 + corner, and its UV.
struct CapturedPointRecord {
  Int32 index = 0;
  Vector position;
};

// A captured UV polygon: its index and its four UV corners (a triangle repeats c).
struct CapturedPolygon {
  Int32 index = 0;
  Vector uv[4];
};

// One polygon's UVs as stored for a live transform; d is zero for a triangle.
struct IslandSnapshotRecord {
  Int32 polygon = 0;
  Vector a, b, c, d;
  Int32 cornerCount = 4;  // 3 for a triangle
};
