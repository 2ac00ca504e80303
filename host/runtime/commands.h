// The host's own commands that a plug-in runs by identifier with CallCommand.
#pragma once

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"

namespace hostrt {

// Select connected: the polygon selection grows to every polygon that shares a point with it.
constexpr Int32 kCommandSelectConnected = 12557;

// Grows op's polygon selection to every polygon connected to a selected one through shared
// point indices, chained. Point indices outside the object's points connect nothing.
void SelectConnectedPolygons(PolygonObject& op);

// Runs command id on doc's active object as the host's menu would; false when the command is
// unknown or does not apply (no polygon object, not in a polygon editing mode). Records no undo.
bool RunCommand(BaseDocument* doc, Int32 id, Int32 subid);

}  // namespace hostrt
