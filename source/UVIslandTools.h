// The island tools of the Scale&Rotate and Set UVW groups: scale, fit, rotate and move the UV
// islands of the selected polygons, the two-point angle and mean-position readouts, and the live
// forms of scaling and rotation.
#pragma once

#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Each island of the selection scaled about its own centre; a direction that is not applied
// keeps factor 1.
Bool ScaleIslands(Float sU, Float sV, Bool applyU, Bool applyV, Bool keep);
// Each island scaled to width x height; an island of no width or height stays as it is.
Bool FitIslandsToSize(Float width, Float height, Bool keep);
// Each island turned by angle about the pivot of the selected UV points, or its own centre.
Bool RotateIslands(Float angle, Bool keep);
// Each island moved so that its centre lands on (u, v), in the directions asked for.
Bool MoveIslandsTo(Float u, Float v, Bool keep, Bool moveU, Bool moveV);
// Mean of the distinct selected UV points (read through the UVW tag); false when none is.
Bool RotationPivot(UVToolScope& scope, Vector& pivot);
// The angle of the line through the two selected UV points against U or V, into the angle field.
Bool MeasureTwoPointAngle(ToolDialog& dlg);
// The mean u and v of the selected UV points, into the Set UVW fields.
Bool ReadSelectedPointsCenter(ToolDialog& dlg);

enum class SnapshotKind { kScale = 1, kRotate = 2 };
// Stores the UVs of the selected polygons for the live form of kind and arms it.
Bool CaptureIslandSnapshot(ToolDialog& dlg, TransformState& state, SnapshotKind kind);
// The islands of the snapshot transformed again from their stored UVs.
Bool LiveScaleIslands(Float sU, Float sV, Bool keep,
                      const std::vector<IslandSnapshotRecord>& snapshot);
Bool LiveRotateIslands(Float angle, Bool keep, const std::vector<IslandSnapshotRecord>& snapshot);
