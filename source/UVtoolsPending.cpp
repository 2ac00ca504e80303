// Tools that are not built yet. Each answers false and changes nothing; the unit that builds a
// tool takes its entry out of this file.
#include "UVtools.h"
#include "UVtoolsEntries.h"

Bool CapturePointCenter(UVtools&) {
  return false;
}
Bool UVpointAlign::AlignPoints(Vector&, Int32, UInt32&, Bool, Bool, Bool) {
  return false;
}
Bool UVpointAlign::StitchPoints(Int32, UInt32, UInt32&, const std::vector<CapturedPointRecord>&) {
  return false;
}

Bool LoopSelectPolygons() {
  return false;
}

Bool MeasureRealArea(UVtools&) {
  return false;
}
Bool ApplyRealAreaButton(UVtools&) {
  return false;
}

Bool QuickGrid(UVtools&) {
  return false;
}
Bool SymmetryMirror(UVtools&) {
  return false;
}
Bool ProjectOnLine(UVtools&, Int32) {
  return false;
}
Bool ShiftCorners(Int32) {
  return false;
}
Bool CaptureStitchPoints(UVtools&) {
  return false;
}
Bool CopyShapePickPolygons(UVtools&) {
  return false;
}
Bool CopyShapePickPoints(UVtools&) {
  return false;
}
Bool CopyShapeApply(UVtools&) {
  return false;
}

Bool SaveUVlistAscii() {
  return false;
}
Bool SaveUVlistBinary() {
  return false;
}
Bool LoadUVlist() {
  return false;
}
Bool ExportUVlistEps(const EpsSettings&) {
  return false;
}
Bool ListUVPoints(UVtools&) {
  return false;
}

Bool CreateUVmesh() {
  return false;
}
Bool StitchSelectedEdges(UVtools&) {
  return false;
}
Bool ConnectUVPolygons(UVtools&) {
  return false;
}
Bool ConnectUVPolygonsReversed(UVtools&) {
  return false;
}
