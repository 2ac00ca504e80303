// PNG pictures and SVG drawings of an object's UV layout.
#pragma once

#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "inspect.h"

namespace pelterra {

struct PreviewOptions {
  int size = 1024;        // width and height in pixels
  bool selected = false;  // the selection in front: unselected polygons drawn lighter
  bool fit = false;       // frame the UVs' bounds when they reach outside 0..1
  // Polygons filled by an inspection value, with a legend below the layout.
  HeatMode color = HeatMode::kNone;
};

// Draws the UV layouts of objects (each its edited UVW tag: the first selected one, else the
// first one) into one PNG: the unit square with a light grid, the polygons' UV edges (an n-gon's
// outline, not its fan), the selected polygons tinted and the selected UV points highlighted.
// Written through a temporary file renamed into place. note, when given, tells what the picture
// cannot show (a layout without area). Objects without a UVW tag are left out; none with one is
// an error. A path ending in .svg gets the same layout as an SVG drawing (WriteSvgPreview).
bool WritePreview(const std::vector<PolygonObject*>& objects, const std::string& path,
                  const PreviewOptions& options, std::string& error, std::string* note = nullptr);
bool WritePreview(PolygonObject& op, const std::string& path, const PreviewOptions& options,
                  std::string& error, std::string* note = nullptr);

// The layout as SVG, in UV units (v down): the unit square and grid in group "grid", one path per
// polygon in group "polygons", the selected ones in group "selected", the legend in "legend".
bool WriteSvgPreview(const std::vector<PolygonObject*>& objects, const std::string& path,
                     const PreviewOptions& options, std::string& error);

// The inspection of each object with UVs among objects, for a heatmap; empty for kNone.
std::vector<InspectReport> InspectForPreview(const std::vector<PolygonObject*>& objects,
                                             HeatMode mode);

// Per index below count: whether sel holds it.
std::vector<bool> SelectionMembers(const BaseSelect& sel, Int32 count);

// The polygon objects of doc that have a UVW tag, depth first in document order.
std::vector<PolygonObject*> ObjectsWithUVs(BaseDocument& doc);

}  // namespace pelterra
