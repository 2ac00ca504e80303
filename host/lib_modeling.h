// The modelling kernel: a working copy of a polygon object's mesh that faces and points are
// deleted from and added to, written back into the object at once by Commit.
#pragma once

#include <memory>

#include "ge_math.h"

class BaseObject;

// The answer of a call that found nothing or failed.
constexpr Int32 NOTOK = -1;

// CreateNgon: a face of three or four points is one polygon with its corners in the order given
// (c == d for three). Faces of more points become a fan of triangles from their first point,
// kept as one n-gon with the points as its outline, with or without this flag.
constexpr Int32 MODELING_SETNGON_FLAG_FIXEDQUADS = 2;

// Commit: the object is also told that its data changed (MSG_UPDATE).
constexpr Int32 MODELING_COMMIT_NONE = 0;
constexpr Int32 MODELING_COMMIT_UPDATE = 1;

class Modeling {
 public:
  static Modeling* Alloc();
  static void Free(Modeling*& m);
  ~Modeling();

  // Takes a working copy of op's points, polygons and faces (an n-gon or a polygon outside
  // n-gons is one face); false when op is not a polygon object. Faces are numbered as the
  // object's polygon translation map numbers them: n-gons first, then the other polygons.
  Bool InitObject(BaseObject* op, Int32 flags = 0);

  // Writes the working copy into op (the object InitObject took; nullptr means that one):
  // deleted points and faces are gone, the others keep their order, added points follow the
  // kept ones and added faces follow the kept polygons, in the order they were made. UVW and
  // normal tags keep each kept polygon's record; added polygons get zero records. Selections
  // follow their elements. The kernel then holds the committed mesh as if newly set up.
  Bool Commit(BaseObject* op = nullptr, Int32 flags = MODELING_COMMIT_NONE,
              BaseObject* cobj = nullptr);

  // A new point; answers the index the kernel knows it by, or NOTOK.
  Int32 AddPoint(BaseObject* op, const Vector& p);
  // A new face through cnt points the kernel knows (not deleted); answers its face id, or NOTOK.
  Int32 CreateNgon(BaseObject* op, const Int32* padr, Int32 cnt, Int32 flags = 0);
  // Deletes face id; with points, also the points that no other face left uses. False when
  // there is no such face, or it was deleted already.
  Bool DeleteNgon(BaseObject* op, Int32 id, Bool points);

  // The two point indices of edge 4 × polygon + side of the mesh as InitObject took it, in the
  // polygon's own order: side 0 a to b, 1 b to c, 2 c to d, 3 d to a. A triangle's side 2 is
  // c to a (never c to c), the same edge as its side 3. False for an edge outside the mesh.
  Bool GetOriginalEdgePoints(BaseObject* op, Int32 edge, Int32& p1, Int32& p2) const;

 private:
  Modeling();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
