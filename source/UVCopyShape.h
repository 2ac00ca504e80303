// Copy Shape and UV Symmetry: the picks of the four-step copy of a source shape onto target
// polygons, and the mirror of a picked half across a chain of UV points.
#pragma once

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Stores the selected UV polygons: the source at step 0, the target at step 2, the symmetry
// source while the symmetry pick runs (step 4).
Bool CopyShapePickPolygons(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry);
// Stores the selected UV points: the source chain at step 1, the target chain at step 3.
Bool CopyShapePickPoints(ToolDialog& dlg, CopyShapeState& copy);
// Copies the source shape onto the target polygons.
Bool CopyShapeApply(ToolDialog& dlg, CopyShapeState& copy);
// Mirrors the picked symmetry source across the selected UV points.
Bool SymmetryMirror(ToolDialog& dlg, SymmetryState& symmetry);
