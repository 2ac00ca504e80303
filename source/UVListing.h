// UV point listing: the selected UV points with their polygon and point numbers, as text in the
// dialog's listing field.
#pragma once

#include "UVtoolsRegistry.h"

Bool ListUVPoints(ToolDialog& dlg);
