// UV polygon loop select: a ring of UV polygons selected from a UV edge.
#pragma once

#include "UVtoolsRegistry.h"

Bool LoopSelectPolygons();
