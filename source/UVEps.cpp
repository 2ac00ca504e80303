#include "UVEps.h"

#include "c4d_symbols.h"

String EpsLabel(const EpsState& eps) {
  return "EPS Size W:" + std::to_string(eps.settings.width) +
         "px H:" + std::to_string(eps.settings.height) + "px";
}

Bool EPS_size::CreateLayout() {
  if (!GeModalDialog::CreateLayout()) return false;
  return LoadDialogResource(DLG_EPSSIZE, nullptr, 0);
}

Bool EPS_size::InitValues() {
  if (width_) SetInt32(IDC_EPS_WIDTH, *width_, LIMIT_MIN, LIMIT_MAX, 1);
  if (height_) SetInt32(IDC_EPS_HEIGHT, *height_, LIMIT_MIN, LIMIT_MAX, 1);
  if (lineWidth_) SetFloat(IDC_EPS_LINE, *lineWidth_, -1e18, 1e18, 1.0, FORMAT_FLOAT);
  return true;
}

Bool EPS_size::Command(Int32 id, const BaseContainer&) {
  if (id != IDC_EPS_OK) return true;
  if (width_) GetInt32(IDC_EPS_WIDTH, *width_);
  if (height_) GetInt32(IDC_EPS_HEIGHT, *height_);
  if (lineWidth_) GetFloat(IDC_EPS_LINE, *lineWidth_);
  Close(true);
  return true;
}

// Not built yet: answers false and changes nothing.
Bool ExportUVlistEps(const EpsSettings&) {
  return false;
}

namespace {

void EpsCommand(ToolDialog& dlg, Int32 id, EpsState& eps) {
  if (id == IDC_MENU_SAVE_EPS) {
    ExportUVlistEps(eps.settings);
    return;
  }
  // The size dialog edits the settings in place; the button's label follows.
  eps.dialog.Bind(&eps.settings.width, &eps.settings.height, &eps.settings.lineWidth);
  dlg.OpenModal(eps.dialog);
  dlg.Refresh();
}

void EpsRefresh(ToolDialog& dlg, EpsState& eps) {
  dlg.SetString(IDC_EPS_SIZE, EpsLabel(eps));
}

const bool registered = RegisterToolGroup(ToolGroup<EpsState>{
    .name = "EPS export",
    .controls = {IDC_MENU_SAVE_EPS, IDC_EPS_SIZE},
    .command = EpsCommand,
    .refresh = EpsRefresh,
    .refreshOrder = 16,
    .pending = {IDC_MENU_SAVE_EPS},
});

}  // namespace
