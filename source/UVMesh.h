// UV mesh: a flat copy of the active object whose points are its UVs, with the transfer tag that
// writes edits back.
#pragma once

#include "UVtoolsRegistry.h"

Bool CreateUVmesh();
