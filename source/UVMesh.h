// UV mesh: a flat copy of the active object whose points are its UVs, with the transfer tag that
// writes edits back and a backdrop plane that shows the texture area.
#pragma once

#include "UVtoolsRegistry.h"
#include "c4d_baseobject.h"

// The edge length s of the unit UV square in a UV mesh of op: op's bounding-box width in x; for
// an object flat in x (or empty) its largest bounding-box side, or 1 when that is 0 too.
Float UVMeshSize(const BaseObject& op);

// Builds the UV mesh of the active polygon object from its selected UVW tag, in one undo step;
// false when it could not (nothing to build from, or the host failed a step).
Bool CreateUVmesh();
