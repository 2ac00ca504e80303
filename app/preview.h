// PNG pictures of an object's UV layout.
#pragma once

#include <string>

#include "c4d_baseobject.h"

namespace pelterra {

struct PreviewOptions {
  int size = 1024;            // width and height in pixels
  bool selectedOnly = false;  // draw only the edges of the selected polygons
};

// Draws the UV layout of op's edited UVW tag (the first selected UVW tag, else the first one):
// the unit square with a light grid, the polygons' UV edges, the selected UV points highlighted.
// Written through a temporary file renamed into place.
bool WritePreview(PolygonObject& op, const std::string& path, const PreviewOptions& options,
                  std::string& error);

}  // namespace pelterra
