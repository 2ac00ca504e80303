#include "UVpA.h"

#include "c4d_symbols.h"

// Not built yet: each answers false and changes nothing.
Bool CapturePointCenter(AlignCapture&) {
  return false;
}

Bool UVpointAlign::AlignPoints(Vector&, Int32, UInt32&, Bool, Bool, Bool) {
  return false;
}

Bool UVpointAlign::StitchPoints(Int32, UInt32, UInt32&, const std::vector<CapturedPointRecord>&) {
  return false;
}

namespace {

void AlignCommand(ToolDialog& dlg, Int32 id, AlignCapture& align, StitchCapture& stitch) {
  switch (id) {
    case IDC_ALIGN_CAPTURE: {
      const Bool ok = CapturePointCenter(align);
      dlg.SetString(IDC_ALIGN_CAPTURE, ok && align.enabled ? "Select:" + std::to_string(align.count)
                                                           : "Select UVpoints");
      dlg.Refresh();
      break;
    }
    case IDC_ALIGN_U:
    case IDC_ALIGN_V:
    case IDC_ALIGN_UV:
      // Modes 2, 3 and 4; the capture is used up whatever the result.
      UVpointAlign().AlignPoints(align.centre, id - IDC_ALIGN_U + 2, align.enabled,
                                 dlg.GetBool(IDC_ALIGN_GRID), dlg.GetBool(IDC_ALIGN_DISTANCE),
                                 dlg.GetBool(IDC_ALIGN_RATE));
      align.enabled = 0;
      align.centre = Vector();
      dlg.SetString(IDC_ALIGN_CAPTURE, "Select UVpoints");
      dlg.Refresh();
      break;
    case IDC_STITCH_U:
    case IDC_STITCH_V:
    case IDC_STITCH_CENTER_U:
    case IDC_STITCH_CENTER_V:
      // Modes 2 to 5; afterwards the dialog frees its stored picks, the stitch row among them.
      UVpointAlign().StitchPoints(id - IDC_STITCH_U + 2, stitch.count, stitch.enabled,
                                  stitch.points);
      dlg.Refresh();
      dlg.ReleaseStoredPicks();
      dlg.SetString(IDC_STITCH_CAPTURE, "Select UVpoints");
      break;
    default:
      break;
  }
}

// The captures enable the buttons that use them.
void AlignRefresh(ToolDialog& dlg, AlignCapture& align, StitchCapture& stitch) {
  for (Int32 id : {IDC_STITCH_U, IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V})
    dlg.Enable(id, stitch.enabled != 0);
  dlg.Enable(IDC_PROJECT_U, align.enabled != 0);
  dlg.Enable(IDC_PROJECT_V, align.enabled != 0);
}

const bool registered = RegisterToolGroup(ToolGroup<AlignCapture, StitchCapture>{
    .name = "align and stitch",
    .controls = {IDC_ALIGN_CAPTURE, IDC_ALIGN_U, IDC_ALIGN_V, IDC_ALIGN_UV, IDC_STITCH_U,
                 IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V},
    .command = AlignCommand,
    .refresh = AlignRefresh,
    .refreshOrder = 4,
    .pending = {IDC_ALIGN_CAPTURE, IDC_ALIGN_U, IDC_ALIGN_V, IDC_ALIGN_UV, IDC_STITCH_U,
                IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V},
});

}  // namespace
