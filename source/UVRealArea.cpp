#include "UVRealArea.h"

#include "c4d_symbols.h"

// Not built yet: each answers false and changes nothing.
Bool MeasureRealArea(ToolDialog&) {
  return false;
}

Bool ApplyRealAreaButton(ToolDialog&) {
  return false;
}

namespace {

void RealAreaCommand(ToolDialog& dlg, Int32 id, TransformState& t) {
  if (id == IDC_RA_MEASURE) {
    if (MeasureRealArea(dlg)) {
      t.kind = TransformKind::kRealArea;
      dlg.SetBool(IDC_LIVE_SCALE, false);
      dlg.Refresh();
    }
    return;
  }
  ApplyRealAreaButton(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<TransformState>{
    .name = "real area",
    .controls = {IDC_RA_MEASURE, IDC_RA_APPLY, IDC_RA_APPLY_TEXTURE},
    .command = RealAreaCommand,
    .pending = {IDC_RA_MEASURE, IDC_RA_APPLY, IDC_RA_APPLY_TEXTURE},
});

}  // namespace
