#include "UVQuickGrid.h"

#include "c4d_symbols.h"

// Not built yet: answers false and changes nothing.
Bool QuickGrid(ToolDialog&) {
  return false;
}

namespace {

void GridCommand(ToolDialog& dlg, Int32) {
  QuickGrid(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "quick grid",
    .controls = {IDC_QUICK_GRID},
    .command = GridCommand,
    .pending = {IDC_QUICK_GRID},
});

}  // namespace
