// UV point align and stitch: the align capture, aligning selected UV points along U, along V or
// onto the captured centre, and stitching a selected row onto the captured stitch row.
#pragma once

#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// The centre and line points of the UV points selected now.
Bool CapturePointCenter(AlignCapture& capture);

// The align and stitch operations; the dialog makes one for each command.
class UVpointAlign {
 public:
  virtual ~UVpointAlign() = default;

  // Moves the selected UV points onto the line through centre (mode 2: same v, 3: same u) or
  // onto centre itself (4).
  Bool AlignPoints(Vector& centre, Int32 mode, UInt32& captured, Bool grid, Bool distanceFixation,
                   Bool uvRate);
  // Joins the selected row of UV points with the captured row: onto it (modes 2, 3) or onto
  // the midpoints between the rows (4, 5).
  Bool StitchPoints(Int32 mode, UInt32 count, UInt32& captured,
                    const std::vector<CapturedPointRecord>& points);
};
