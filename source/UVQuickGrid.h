// Quick Grid: lays a region of quads out as an axis-aligned grid from one picked edge, with the
// cell sizes taken from the 3D edge lengths; "Square" straightens the grid's lines and "Size
// Fit" scales it into the unit square. Neighbouring UV points that lay on grid corners are
// carried along by worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "c4d_thread.h"

class BaseDocument;
class BaseObject;
class TempUVHandle;

// One polygon's UVs as the tool found them; the d corner of a triangle is zero.
struct PolyUvRecord {
  Int32 polygon = 0;
  Int32 cornerCount = 4;  // 3 for a triangle
  Vector a, b, c, d;
  const Vector& operator[](Int32 corner) const {
    return corner == 0 ? a : corner == 1 ? b : corner == 2 ? c : d;
  }
};

// The selected UV corners of one polygon: how many, the lowest one and the last one met (so
// the highest), with their UVs.
struct SelectedCorners {
  Int32 polygon = 0;
  Int32 count = 0;
  Int32 first = -1, second = -1;
  Vector firstUV, secondUV;
  Int32 triangle = 0;
};

// A placed polygon and two of its corners: along the rail (strip list), or its rail-side corner
// and that corner's side neighbour (first-column list).
struct StripEntry {
  Int32 polygon = 0, k = 0, m = 0;
};

// Where the tool's corners lie, for the walks and the carry: every corner of every polygon by
// the (u, v) cell of its position (opaque; see the unit).
class GridCornerIndex;

// The carry of neighbouring UV points: mode 0 moves the corners of the polygons that are not laid
// out yet and lay on a corner of a laid-out quad onto that corner's new place; mode 1 does the
// same for the triangles. Runs synchronously on the caller; its workers run on the host's pool.
class ControlThread : public C4DThread {
 public:
  ControlThread();
  ~ControlThread() override;

  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
  TempUVHandle* uvSet = nullptr;          // gives the polygon count and the polygons
  const PolyUvRecord* records = nullptr;  // the UVs before the tool, one per polygon
  Int32 recordCount = 0;
  std::uint8_t* flags = nullptr;           // laid-out flags, one per polygon
  UVWStruct* uvs = nullptr;                // the UVs the tool writes, one per polygon
  Int32 mode = 0;                          // 0: first run, 1: after "Square"
  const GridCornerIndex* index = nullptr;  // the corners of records; built here when none

  void Main() override;
  const Char* GetThreadName() override { return "SDK ControlThread"; }

  // Whether the last run's workers ran (false: the run could not start them and did nothing).
  Bool Carried() const { return carried_; }
  // How many workers the last run made.
  Int32 WorkerCount() const { return workerCount_; }

 private:
  Bool carried_ = false;
  Int32 workerCount_ = 0;
  std::unique_ptr<GridCornerIndex> ownIndex_;
};

// One worker of the carry: the polygons first .. end - 1.
class MPTest : public C4DThread {
 public:
  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
  Int32 first = 0, end = 0;
  Int32 mode = 0;
  const CPolygon* polys = nullptr;
  const PolyUvRecord* records = nullptr;
  Int32 recordCount = 0;
  std::uint8_t* flags = nullptr;               // written for this worker's polygons only
  const std::uint8_t* flagsAtStart = nullptr;  // the flags as the run began; all reads go here
  UVWStruct* uvs = nullptr;                    // written for this worker's polygons only
  const GridCornerIndex* index = nullptr;
  std::atomic<Int32>* done = nullptr;      // polygons looked at, for the status bar; optional
  std::atomic<Int32>* finished = nullptr;  // workers that returned; optional

  void Main() override;
  const Char* GetThreadName() override { return "SDK MpTest"; }
};

// The tool on the active object, with the two options.
Bool QuickGrid(Bool square, Bool sizeFit);
// The tool as the dialog's button runs it: the options from checkboxes 10210 and 10211.
Bool QuickGrid(ToolDialog& dlg);
