// Line projection, corner shift and the stitch point capture.
#pragma once

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Moves the selected UV points onto the captured line, along u (axis 1) or v (axis 2), or with
// distance fixation onto the ray from its first point at their distance from it. Uses up the
// line, unless a line parallel to the axis stopped it.
Bool ProjectOnLine(ToolDialog& dlg, AlignCapture& line, Int32 axis);
// Turns the UVs of every selected polygon by one corner: left (1) or right (2).
Bool ShiftCorners(Int32 direction);
// Stores the selected UV points as the row the stitch buttons join to.
Bool CaptureStitchPoints(ToolDialog& dlg, StitchCapture& stitch);
