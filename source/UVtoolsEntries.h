// Entry functions of the tools that the UV tools dialog dispatches to. Each answers true when
// it ran and false when a precondition failed; the dispatch ignores the answer unless noted.
#pragma once

#include <vector>

#include "UVFunction.h"
#include "ge_math.h"

class UVtools;
struct EpsSettings;

// Island scale, rotate and move.
Bool ScaleIslands(Float sU, Float sV, Bool applyU, Bool applyV, Bool keep);
Bool FitIslandsToSize(Float width, Float height, Bool keep);
Bool RotateIslands(Float angle, Bool keep);
Bool MoveIslandsTo(Float u, Float v, Bool keep, Bool moveU, Bool moveV);
Bool MeasureTwoPointAngle(UVtools& dlg);
Bool ReadSelectedPointsCenter(UVtools& dlg);

// Live scaling and rotation.
Bool CaptureIslandSnapshot(UVtools& dlg, Int32 kind);
Bool LiveScaleIslands(Float sU, Float sV, Bool keep,
                      const std::vector<IslandSnapshotRecord>& snapshot);
Bool LiveRotateIslands(Float angle, Bool keep, const std::vector<IslandSnapshotRecord>& snapshot);

// UV point align and stitch.
Bool CapturePointCenter(UVtools& dlg);
namespace UVpointAlign {
Bool AlignPoints(Vector& centre, Int32 mode, UInt32& captured, Bool grid, Bool distanceFixation,
                 Bool uvRate);
Bool StitchPoints(Int32 mode, UInt32 count, UInt32& captured,
                  const std::vector<CapturedPointRecord>& points);
}  // namespace UVpointAlign

// Polygon loop selection.
Bool LoopSelectPolygons();

// Real area scaling.
Bool MeasureRealArea(UVtools& dlg);
Bool ApplyRealAreaButton(UVtools& dlg);

// Dialog tools: Quick Grid, symmetry, line projection, corner shift, stitch capture,
// copy shape, area selection, Set UVW, size capture, angle presets.
Bool QuickGrid(UVtools& dlg);
Bool SymmetryMirror(UVtools& dlg);
Bool ProjectOnLine(UVtools& dlg, Int32 axis);
Bool ShiftCorners(Int32 direction);
Bool CaptureStitchPoints(UVtools& dlg);
Bool CopyShapePickPolygons(UVtools& dlg);
Bool CopyShapePickPoints(UVtools& dlg);
Bool CopyShapeApply(UVtools& dlg);
void CopyShapeClear(UVtools& dlg);
Bool MeasureArea(UVtools& dlg);
Bool SelectByArea(UVtools& dlg);
Bool SetUVW(UVtools& dlg);
Bool CaptureSize(UVtools& dlg);
Bool ApplyAnglePreset(UVtools& dlg);

// UV lists, EPS export and the UV point listing.
Bool SaveUVlistAscii();
Bool SaveUVlistBinary();
Bool LoadUVlist();
Bool ExportUVlistEps(const EpsSettings& settings);
Bool ListUVPoints(UVtools& dlg);

// UV mesh, edge stitch and polygon connect.
Bool CreateUVmesh();
Bool StitchSelectedEdges(UVtools& dlg);
Bool ConnectUVPolygons(UVtools& dlg);
Bool ConnectUVPolygonsReversed(UVtools& dlg);

// The entries the dialog calls, by name; tests put recorders in their place.
struct UVtoolsEntries {
  decltype(&::ScaleIslands) ScaleIslands = &::ScaleIslands;
  decltype(&::FitIslandsToSize) FitIslandsToSize = &::FitIslandsToSize;
  decltype(&::RotateIslands) RotateIslands = &::RotateIslands;
  decltype(&::MoveIslandsTo) MoveIslandsTo = &::MoveIslandsTo;
  decltype(&::MeasureTwoPointAngle) MeasureTwoPointAngle = &::MeasureTwoPointAngle;
  decltype(&::ReadSelectedPointsCenter) ReadSelectedPointsCenter = &::ReadSelectedPointsCenter;
  decltype(&::CaptureIslandSnapshot) CaptureIslandSnapshot = &::CaptureIslandSnapshot;
  decltype(&::LiveScaleIslands) LiveScaleIslands = &::LiveScaleIslands;
  decltype(&::LiveRotateIslands) LiveRotateIslands = &::LiveRotateIslands;
  decltype(&::CapturePointCenter) CapturePointCenter = &::CapturePointCenter;
  decltype(&::LoopSelectPolygons) LoopSelectPolygons = &::LoopSelectPolygons;
  decltype(&::MeasureRealArea) MeasureRealArea = &::MeasureRealArea;
  decltype(&::ApplyRealAreaButton) ApplyRealAreaButton = &::ApplyRealAreaButton;
  decltype(&::QuickGrid) QuickGrid = &::QuickGrid;
  decltype(&::SymmetryMirror) SymmetryMirror = &::SymmetryMirror;
  decltype(&::ProjectOnLine) ProjectOnLine = &::ProjectOnLine;
  decltype(&::ShiftCorners) ShiftCorners = &::ShiftCorners;
  decltype(&::CaptureStitchPoints) CaptureStitchPoints = &::CaptureStitchPoints;
  decltype(&::CopyShapePickPolygons) CopyShapePickPolygons = &::CopyShapePickPolygons;
  decltype(&::CopyShapePickPoints) CopyShapePickPoints = &::CopyShapePickPoints;
  decltype(&::CopyShapeApply) CopyShapeApply = &::CopyShapeApply;
  decltype(&::CopyShapeClear) CopyShapeClear = &::CopyShapeClear;
  decltype(&::MeasureArea) MeasureArea = &::MeasureArea;
  decltype(&::SelectByArea) SelectByArea = &::SelectByArea;
  decltype(&::SetUVW) SetUVW = &::SetUVW;
  decltype(&::CaptureSize) CaptureSize = &::CaptureSize;
  decltype(&::ApplyAnglePreset) ApplyAnglePreset = &::ApplyAnglePreset;
  decltype(&::SaveUVlistAscii) SaveUVlistAscii = &::SaveUVlistAscii;
  decltype(&::SaveUVlistBinary) SaveUVlistBinary = &::SaveUVlistBinary;
  decltype(&::LoadUVlist) LoadUVlist = &::LoadUVlist;
  decltype(&::ExportUVlistEps) ExportUVlistEps = &::ExportUVlistEps;
  decltype(&::ListUVPoints) ListUVPoints = &::ListUVPoints;
  decltype(&::CreateUVmesh) CreateUVmesh = &::CreateUVmesh;
  decltype(&::StitchSelectedEdges) StitchSelectedEdges = &::StitchSelectedEdges;
  decltype(&::ConnectUVPolygons) ConnectUVPolygons = &::ConnectUVPolygons;
  decltype(&::ConnectUVPolygonsReversed) ConnectUVPolygonsReversed = &::ConnectUVPolygonsReversed;
  decltype(&UVpointAlign::AlignPoints) AlignPoints = &UVpointAlign::AlignPoints;
  decltype(&UVpointAlign::StitchPoints) StitchPoints = &UVpointAlign::StitchPoints;
};
