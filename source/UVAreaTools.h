// Small tools of the Select Area, Set UVW and Scale groups: the UV area measure and selection by
// area, Set UVW, the size capture for fitting islands, and the rotation angle presets.
#pragma once

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// UV area of one polygon: triangle (a, b, c), plus triangle (a, c, d) for a quadrangle.
Float UVPolygonArea(const UVWStruct& uv, Bool quad);
// The UV area of the selected polygons, shown in the area field with a display scale.
Bool MeasureArea(ToolDialog& dlg, TransformState& state);
// Selects the polygons whose UV area is below the area field's value.
Bool SelectByArea(ToolDialog& dlg);
// Sets u and/or v of the selected UV points to the Set UVW fields.
Bool SetUVW(ToolDialog& dlg);
// Stores the UV area, width, height and centre of the selected polygons.
Bool CaptureSize(TransformState& state);
// Puts the chosen preset angle into the angle field.
Bool ApplyAnglePreset(ToolDialog& dlg);
