#include "UVLineTools.h"

#include "c4d_symbols.h"

// Not built yet: each answers false and changes nothing.
Bool ProjectOnLine(ToolDialog&, AlignCapture&, Int32) {
  return false;
}

Bool ShiftCorners(Int32) {
  return false;
}

Bool CaptureStitchPoints(ToolDialog&, StitchCapture&) {
  return false;
}

namespace {

void LineCommand(ToolDialog& dlg, Int32 id, AlignCapture& line, StitchCapture& stitch) {
  switch (id) {
    case IDC_PROJECT_U:
    case IDC_PROJECT_V:
      ProjectOnLine(dlg, line, id == IDC_PROJECT_U ? 1 : 2);
      break;
    case IDC_MOVE_POINT_LEFT:
    case IDC_MOVE_POINT_RIGHT:
      ShiftCorners(id == IDC_MOVE_POINT_LEFT ? 1 : 2);
      break;
    case IDC_STITCH_CAPTURE:
      CaptureStitchPoints(dlg, stitch);
      break;
    default:
      break;
  }
}

const bool registered = RegisterToolGroup(ToolGroup<AlignCapture, StitchCapture>{
    .name = "line projection, corner shift, stitch capture",
    .controls = {IDC_PROJECT_U, IDC_PROJECT_V, IDC_MOVE_POINT_LEFT, IDC_MOVE_POINT_RIGHT,
                 IDC_STITCH_CAPTURE},
    .command = LineCommand,
    .pending = {IDC_PROJECT_U, IDC_PROJECT_V, IDC_MOVE_POINT_LEFT, IDC_MOVE_POINT_RIGHT,
                IDC_STITCH_CAPTURE},
});

}  // namespace
