// The UV transfer tag: writes a UV mesh's point positions back into the source UVs, rebuilds the
// mesh when the source's polygons change, draws the unit UV square and passes the mesh's colour
// to its backdrop plane.
#pragma once

#include <span>
#include <vector>

#include "TransferUV.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_tagdata.h"

class TransferTAG : public TagData {
 public:
  static NodeData* Alloc() { return new TransferTAG(); }
  Bool Init(GeListNode* node) override;
  Bool Message(GeListNode* node, Int32 type, void* data) override;
  Bool GetDDescription(GeListNode* node, Description* description, DESCFLAGS_DESC& flags) override;
  Bool GetDEnabling(GeListNode* node, Int32 id, const GeData& t_data, Int32 flags,
                    const BaseContainer* itemdesc) override;
  Bool Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) override;
  EXECUTIONRESULT Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt,
                          Int32 priority, Int32 flags) override;
};

// A UV as a point of the UV mesh of size s: (s × u, s × (1 − v), s × w with w, else 0). A size
// that is not finite counts as 0; a coordinate that comes out not finite is 0.
Vector UVToMeshPoint(const Vector& uv, Float s, Bool withW);

// A point of the UV mesh of size s as a UV: (x / s, 1 − y / s, 0), or (0, 1, 0) when s is 0 or
// not finite. False when the UV would not be finite (the corner then keeps its UV).
Bool MeshPointToUV(const Vector& p, Float s, Vector& uv);

// For every point of a mesh, the polygon corners that take its position: in each polygon that
// uses the point, its first corner at it (d only for a quad), as 4 × polygon + corner, polygons
// ascending. On a mesh of quads with points of their own, point j gives corner j % 4 of polygon
// j / 4.
class PointCornerIndex {
 public:
  void Build(const CPolygon* polys, Int32 polyCount, Int32 pointCount);
  // Empty for an index outside the points.
  std::span<const Int32> Of(Int32 point) const;

 private:
  std::vector<Int32> start_, corners_;
};

// Whether the UV mesh still mirrors the source's polygons: the same polygon count and, when the
// source has n-gons, the same n-gons, each with the same polygons.
Bool SameStructure(const PolygonObject& mesh, const PolygonObject& source);

// Rebuilds mesh from the source's UVs in sourceTag: polygon i of the mesh gets points of its own
// at the mesh positions of the UVs of polygon i (four for a quad, three for a triangle, as the
// source polygon is), the source's n-gons and, in its first UVW tag, a copy of the source UVs.
// False when the modelling kernel fails; what was done before stays.
Bool RebuildUVMesh(PolygonObject& mesh, const PolygonObject& source, const UVWTag& sourceTag,
                   Float s);

// Writes the mesh's point positions, as UVs, into the records of the elements that the editing
// mode names (points, edges, polygons; every polygon in model and object mode).
void TransferMeshUVs(Int32 mode, PolygonObject& mesh, UVWTag& meshTag, UVWTag& sourceTag, Float s);
