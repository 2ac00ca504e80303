// Real area UV scaling: UV islands scaled to their 3D size in a chosen unit, or to a texture's
// pixel density.
#pragma once

#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Checks that the real-area tools can run; the dialog then enters its real-area state.
Bool MeasureRealArea(ToolDialog& dlg);
// Scales each island of the selection to its real area (or texture size).
Bool ApplyRealAreaButton(ToolDialog& dlg);
