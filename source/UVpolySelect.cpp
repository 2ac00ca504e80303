#include "UVpolySelect.h"

#include "c4d_symbols.h"

// Not built yet: answers false and changes nothing.
Bool LoopSelectPolygons() {
  return false;
}

namespace {

void LoopCommand(ToolDialog&, Int32) {
  LoopSelectPolygons();
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "loop select",
    .controls = {IDC_LOOP_SELECT},
    .command = LoopCommand,
    .pending = {IDC_LOOP_SELECT},
});

}  // namespace
