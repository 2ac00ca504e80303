// UV point listing: the selected UV points with their polygon and point numbers, as text in the
// dialog's listing field.
#pragma once

#include <vector>

#include "UVtoolsRegistry.h"

// One selected UV point.
struct UVPointEntry {
  Vector uv;
  Int32 polygon = 0;
  Int32 corner = 0;  // 0 a .. 3 d
};

// The listing of the entries, in groups: each entry not yet listed starts a group, followed by
// every later entry within the UV point tolerance of it, listed before or not; each group ends
// with a line of 49 minus signs. Found through a grid of the positions, in the order a plain
// comparison of every later entry gives.
String UVPointListing(const std::vector<UVPointEntry>& entries);

// Lists the selected UV points of the active object into the listing field. False (with a
// message box for the wrong mode and for an empty selection) when there is nothing to list.
Bool ListUVPoints(ToolDialog& dlg);
