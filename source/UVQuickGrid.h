// Quick Grid: lays a region of quads out as an axis-aligned grid from one picked edge.
#pragma once

#include "UVtoolsRegistry.h"

Bool QuickGrid(ToolDialog& dlg);
