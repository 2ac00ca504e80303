#include "UVCopyShape.h"

#include "c4d_symbols.h"

namespace {

const char* const kCopyShapeHints[4] = {"  Select UV Polygons ", "  Select UV Points   ",
                                        "  Select UV Polygons ", "  Select UV Points   "};

}  // namespace

// Not built yet: each answers false and changes nothing.
Bool CopyShapePickPolygons(ToolDialog&, CopyShapeState&, SymmetryState&) {
  return false;
}

Bool CopyShapePickPoints(ToolDialog&, CopyShapeState&) {
  return false;
}

Bool CopyShapeApply(ToolDialog&, CopyShapeState&) {
  return false;
}

Bool SymmetryMirror(ToolDialog&, SymmetryState&) {
  return false;
}

namespace {

// One press of the step button: pick, pick, pick, pick and apply. A failed step starts over.
void CopyShapeStep(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  Bool ok = false;
  switch (copy.step) {
    case 0:
    case 2:
      ok = CopyShapePickPolygons(dlg, copy, symmetry);
      break;
    case 1:
      ok = CopyShapePickPoints(dlg, copy);
      break;
    case 3:
      if (CopyShapePickPoints(dlg, copy)) CopyShapeApply(dlg, copy);
      copy.step = 0;
      dlg.Refresh();
      return;
    default:
      return;  // the symmetry pick is running
  }
  copy.step = ok ? copy.step + 1 : 0;
  dlg.Refresh();
}

// The first click picks the symmetry source (the copy-shape pick at step 4), the second
// mirrors it.
void SymmetryPick(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  if (symmetry.armed) {
    SymmetryMirror(dlg, symmetry);
    return;
  }
  copy.step = 4;
  const Bool ok = CopyShapePickPolygons(dlg, copy, symmetry);
  copy.step = 0;
  if (ok) {
    symmetry.armed = 1;
    dlg.Refresh();
  }
}

void CopyShapeCommand(ToolDialog& dlg, Int32 id, CopyShapeState& copy, SymmetryState& symmetry) {
  switch (id) {
    case IDC_CS_STEP:
      CopyShapeStep(dlg, copy, symmetry);
      break;
    case IDC_CS_CLEAR:
      copy.Release();
      copy.step = 0;
      copy.sourceCentre = copy.targetCentre = Vector();
      dlg.Refresh();
      break;
    case IDC_SYMMETRY_PICK:
      SymmetryPick(dlg, copy, symmetry);
      break;
    case IDC_SYMMETRY_RESET:
      symmetry.armed = 0;
      symmetry.Release();
      dlg.Refresh();
      break;
    default:
      break;
  }
}

// The step indicators and the hint show the next pick; step 4 leaves them as they are.
void CopyShapeRefresh(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  if (copy.step < 4) {
    for (UInt32 k = 0; k < 4; ++k)
      dlg.Enable(static_cast<Int32>(IDC_CS_STEP1 + k), k == copy.step);
    dlg.SetString(IDC_CS_HINT, kCopyShapeHints[copy.step]);
  }
  dlg.SetString(IDC_SYMMETRY_PICK, symmetry.armed ? "SetPoint 2 Symmetry" : "Select UV Poly");
}

const bool registered = RegisterToolGroup(ToolGroup<CopyShapeState, SymmetryState>{
    .name = "copy shape and symmetry",
    .controls = {IDC_CS_STEP, IDC_CS_CLEAR, IDC_SYMMETRY_PICK, IDC_SYMMETRY_RESET},
    .command = CopyShapeCommand,
    .refresh = CopyShapeRefresh,
    .refreshOrder = 7,
    .pending = {IDC_CS_STEP, IDC_SYMMETRY_PICK},
});

}  // namespace
