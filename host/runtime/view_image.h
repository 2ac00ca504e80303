// A headless view: the document seen from the front, drawn into a PNG picture.
#pragma once

#include <string>

#include "c4d_basedocument.h"
#include "c4d_basedraw.h"

namespace hostrt {

// Draws doc's polygon objects (and the polygon caches of its generators) as their edges in
// world space seen from the front (x to the right, y up), and over them the lines recorded in
// view, each in its pen colour clamped to 0..1 per channel (pen (255, 255, 255) draws white),
// into a size × size PNG (16 to 8192 pixels) on a dark grey background. The picture frames
// everything drawn, centred, with a margin of a twentieth of its size. Edges and lines with a
// non-finite end are left out. The file is written to a temporary file beside it and renamed
// into place; false with error (and no file) when path does not end in .png or cannot be
// written.
bool WriteViewImage(BaseDocument& doc, const BaseDraw& view, const std::string& path, Int32 size,
                    std::string& error);

}  // namespace hostrt
