// Real area UV scaling: each connected part of the mesh that holds a selected polygon is scaled
// in UV so that its UV area matches its 3D area in a chosen unit (area mode), or so that one
// reference edge gets the UV length a texture of given size and pixel density gives it
// (texture mode).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsRegistry.h"
#include "UVtoolsState.h"

// Length of one scene unit in millimetres: scale times the unit's factor (1 mm per unit for a
// unit code outside 1 .. 10).
Float MillimetresPerSceneUnit(Float scale, Int32 unit);
// Factor of a length-unit option (10203 mm .. 10206 km) applied to millimetres; 1 for another.
Float LengthUnitFactor(Int32 option);

// Scales the connected part of every selected polygon. k converts scene units into the chosen
// unit. Refuses (false, nothing changed) in the wrong mode (with a message), without a selection,
// with k not finite and above 0, or in texture mode with a texture size or pixel density not
// above 0. A part whose scale would not be finite and above 0 stays as it is; false when no part
// could be scaled. One undo step.
Bool ApplyRealArea(Float factor, Bool alongU, Bool alongV, Bool textureMode, Int32 textureSize,
                   Int32 pixelsPerUnit, Float k);
// The preconditions of ApplyRealArea; changes no UVs. With texture mode on it clears the two
// readouts.
Bool MeasureRealArea(ToolDialog& dlg);
// ApplyRealArea with the dialog's values and the document's unit scale.
Bool ApplyRealAreaButton(ToolDialog& dlg);

// 3D area of the polygons, each measured in a frame of its own (centre and normal) with every
// coordinate times k. A polygon that names a point outside the pointCount points counts 0.
Float AreaOfSelection3D(std::span<const Int32> polygons, const CPolygon* polys, Int32 polyCount,
                        const Vector* points, Int32 pointCount, Float k);
// UV area of the polygons (a, b, c and, for a quad, d).
Float AreaOfSelectionUV(const UVWStruct* uv, std::span<const Int32> polygons,
                        const CPolygon* polys);

// The connected parts of a mesh: polygons joined through shared point indices, chained (what
// the host's select connected gives). A polygon without a valid point index is a part alone.
struct MeshParts {
  std::vector<Int32> label;     // per polygon: its part
  std::vector<Int32> polygons;  // polygons by part, ascending within a part
  std::vector<size_t> offsets;  // part k is polygons[offsets[k] .. offsets[k + 1])
  std::span<const Int32> Part(Int32 k) const {
    return {polygons.data() + offsets[static_cast<size_t>(k)],
            offsets[static_cast<size_t>(k) + 1] - offsets[static_cast<size_t>(k)]};
  }
};
MeshParts LabelMeshParts(const CPolygon* polys, Int32 polyCount, Int32 pointCount);

// What ScaleIslandExact keeps from part to part of one run: the corners of all polygons indexed
// by position, grouped by part, and room for the old and new corners of a part.
struct ExactCarry {
  ExactCarry(const UVWStruct* uv, Int32 polyCount, std::span<const Int32> partOf)
      : carry(uv, polyCount, {}, partOf) {}
  NeighbourCarry carry;
  std::vector<Vector> old, newer;
};

// Scales the UVs of part number partId about their centre by scale; then every corner of the
// other polygons that lies exactly (u, v and w) on an old corner of the part takes the matching
// new corner: the first such old corner, once. False, with nothing changed, when the part's UVs
// have no finite centre.
Bool ScaleIslandExact(UVWStruct* uv, const CPolygon* polys, std::span<const Int32> part,
                      Int32 partId, const Vector& scale, ExactCarry& work);
