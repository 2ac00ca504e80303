#include "UVListing.h"

#include "c4d_symbols.h"

// Not built yet: answers false and changes nothing.
Bool ListUVPoints(ToolDialog&) {
  return false;
}

namespace {

void ListingCommand(ToolDialog& dlg, Int32) {
  ListUVPoints(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV point listing",
    .controls = {IDC_LIST},
    .command = ListingCommand,
    .pending = {IDC_LIST},
});

}  // namespace
