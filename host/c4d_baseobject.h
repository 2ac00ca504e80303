// Objects: BaseObject with tags, tracks and children; PointObject; PolygonObject with n-gons.
#pragma once

#include <vector>

#include "c4d_baselist.h"
#include "c4d_baseselect.h"
#include "c4d_basetag.h"
#include "ge_math.h"

class CTrack;
class DescID;
class PolygonObject;

class BaseObject;

namespace hostrt {
// The UV editor's UV point selection of a polygon object (UV polygons share GetPolygonS).
BaseSelect* UVPointSelection(PolygonObject* op);
// Builds op's generator cache when it has none or op's data changed since it was built
// (GetDirty); true when it built one. Objects that generate nothing answer false.
bool UpdateCache(BaseObject* op);
}  // namespace hostrt

enum : Int32 {
  Opolygon = 5100,
  Onull = 5140,
  Obase = 5155,
  Oplane = 5168,
};

// Object parameters kept in every object's container.
enum : Int32 {
  ID_BASEOBJECT_USECOLOR = 900,      // Int32, one of ID_BASEOBJECT_USECOLOR_...
  ID_BASEOBJECT_COLOR = 901,         // Vector, 0..1 per channel
  ID_BASEOBJECT_XRAY = 902,          // Bool
  ID_BASEOBJECT_REL_POSITION = 903,  // Vector, the local matrix's offset
};
enum : Int32 {
  ID_BASEOBJECT_USECOLOR_OFF = 0,
  ID_BASEOBJECT_USECOLOR_AUTOMATIC = 1,
  ID_BASEOBJECT_USECOLOR_ALWAYS = 2,
  ID_BASEOBJECT_USECOLOR_LAYER = 3,
};

// An object's display colour: when it is used, the colour, and whether it is drawn see-through.
struct ObjectColorProperties {
  Int32 usecolor = ID_BASEOBJECT_USECOLOR_OFF;
  Vector color{0.8, 0.8, 0.8};
  Bool xray = false;
};

// Point indices of one polygon; c == d marks a triangle.
struct CPolygon {
  Int32 a = 0, b = 0, c = 0, d = 0;
  CPolygon() = default;
  CPolygon(Int32 ta, Int32 tb, Int32 tc) : a(ta), b(tb), c(tc), d(tc) {}
  CPolygon(Int32 ta, Int32 tb, Int32 tc, Int32 td) : a(ta), b(tb), c(tc), d(td) {}
  Bool IsTriangle() const { return c == d; }
  Int32& operator[](Int32 i) { return i == 0 ? a : i == 1 ? b : i == 2 ? c : d; }
  Int32 operator[](Int32 i) const { return i == 0 ? a : i == 1 ? b : i == 2 ? c : d; }
  bool operator==(const CPolygon& o) const { return a == o.a && b == o.b && c == o.c && d == o.d; }
};

class BaseObject : public BaseList2D {
 public:
  // An object of a host type: polygon object, plane, null or a plain object.
  static BaseObject* Alloc(Int32 type);
  static void Free(BaseObject*& op);

  Bool IsInstanceOf(Int32 type) const override { return type == Obase || type == GetType(); }

  BaseObject* GetNext() const { return Cast(GeListNode::GetNext()); }
  BaseObject* GetPred() const { return Cast(GeListNode::GetPred()); }
  // The parent object; nullptr at the top of the document.
  BaseObject* GetUp() const {
    GeListNode* up = GeListNode::GetUp();
    return up && !up->IsListHead() ? Cast(up) : nullptr;
  }
  BaseObject* GetDown() const { return Cast(GeListNode::GetDown()); }

  // Local matrix (relative to the parent) and global matrix.
  const Matrix& GetMl() const { return ml_; }
  void SetMl(const Matrix& m) { ml_ = m; }
  Matrix GetMg() const;
  void SetMg(const Matrix& m);

  // Half the bounding box size, and its centre, in object space.
  virtual Vector GetRad() const { return Vector(); }
  virtual Vector GetMp() const { return Vector(); }

  // The display colour, read from and written to the parameters ID_BASEOBJECT_USECOLOR, _COLOR
  // and _XRAY.
  void GetColorProperties(ObjectColorProperties* co) const;
  void SetColorProperties(ObjectColorProperties* co);

  // ID_BASEOBJECT_REL_POSITION is the local matrix's offset; the rest lives in the container.
  Bool GetParameter(Int32 id, GeData& t_data) const override;
  Bool SetParameter(Int32 id, const GeData& t_data) override;

  BaseTag* GetFirstTag() const { return static_cast<BaseTag*>(tags_.GetFirst()); }
  // The nr-th tag of that type, or nullptr.
  BaseTag* GetTag(Int32 type, Int32 nr = 0) const;
  // Inserts after pred, or first when pred is nullptr.
  void InsertTag(BaseTag* tag, BaseTag* pred = nullptr);
  BaseTag* MakeTag(Int32 type, BaseTag* pred = nullptr);
  void KillTag(Int32 type, Int32 nr = 0);
  GeListHead* GetTagHead() { return &tags_; }

  GeListHead* GetCTrackRoot() { return &tracks_; }
  CTrack* GetFirstCTrack() const;
  // The object's track for description identifier id, or nullptr.
  CTrack* FindCTrack(const DescID& id) const;
  // Inserts a track (in no list) among the object's tracks in order of their identifiers,
  // after the tracks with the same one.
  void InsertTrackSorted(CTrack* track);

  // A generator's polygon object as scene evaluation last built it (hostrt::UpdateCache), in
  // the generator's space; nullptr for an object that generates nothing or before the first
  // evaluation. This host deforms nothing.
  BaseObject* GetCache() const { return cache_.get(); }
  BaseObject* GetDeformCache() const { return nullptr; }

  std::unique_ptr<NodeState> SaveState() const override;
  void RestoreState(const NodeState& state) override;
  // Our host: SaveState, with tagState standing for the saved data of tag (one of this object's
  // tags) instead of a copy taken now.
  std::unique_ptr<NodeState> SaveState(const BaseTag* tag,
                                       std::unique_ptr<NodeState> tagState) const;

  static BaseObject* Cast(GeListNode* n) { return static_cast<BaseObject*>(n); }

 protected:
  explicit BaseObject(Int32 type);
  BaseList2D* AllocSame() const override { return new BaseObject(GetType()); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;
  void CopyHierarchyTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  friend bool hostrt::UpdateCache(BaseObject* op);
  Matrix ml_;
  GeListHead tags_;
  GeListHead tracks_;
  std::unique_ptr<BaseObject> cache_;
  UInt32 cacheDirty_ = 0;  // GetDirty when the cache was built
};

class PointObject : public BaseObject {
 public:
  const Vector* GetPointR() const { return points_.data(); }
  Vector* GetPointW() { return points_.data(); }
  Int32 GetPointCount() const { return static_cast<Int32>(points_.size()); }
  BaseSelect* GetPointS() { return &pointSel_; }
  const BaseSelect* GetPointS() const { return &pointSel_; }

  Vector GetRad() const override;
  Vector GetMp() const override;

 protected:
  explicit PointObject(Int32 type) : BaseObject(type) {}
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;
  Bool ResizePoints(Int32 count);

 private:
  std::vector<Vector> points_;
  BaseSelect pointSel_;
};

class PolygonObject : public PointObject {
 public:
  static PolygonObject* Alloc(Int32 pcnt, Int32 vcnt);

  const CPolygon* GetPolygonR() const { return polys_.data(); }
  CPolygon* GetPolygonW() { return polys_.data(); }
  Int32 GetPolygonCount() const { return static_cast<Int32>(polys_.size()); }
  BaseSelect* GetPolygonS() { return &polySel_; }
  const BaseSelect* GetPolygonS() const { return &polySel_; }
  // Edge 4 * polygon + side (0 a-b, 1 b-c, 2 c-d, 3 d-a).
  BaseSelect* GetEdgeS() { return &edgeSel_; }
  const BaseSelect* GetEdgeS() const { return &edgeSel_; }

  // Resizes points and polygons; n-gons are dropped when the polygon count changes.
  Bool ResizeObject(Int32 pcnt, Int32 vcnt);

  // N-gons: groups of polygons that form one face, with the face's outline of point indices.
  struct Ngon {
    std::vector<Int32> polygons;
    std::vector<Int32> outline;
    bool operator==(const Ngon& o) const { return polygons == o.polygons && outline == o.outline; }
  };
  Int32 GetNgonCount() const { return static_cast<Int32>(ngons_.size()); }
  const std::vector<Ngon>& GetNgons() const { return ngons_; }
  // Polygon indices out of range are refused.
  Bool SetNgons(std::vector<Ngon> ngons);
  // polymap[p] = face of polygon p; every polygon outside an n-gon is a face of its own.
  Bool GetPolygonTranslationMap(Int32& ngoncnt, std::vector<Int32>& polymap) const;
  // ngons[f] = the polygons of face f, in ascending order.
  Bool GetNGonTranslationMap(Int32 ngoncnt, const std::vector<Int32>& polymap,
                             std::vector<std::vector<Int32>>& ngons) const;

 protected:
  PolygonObject() : PointObject(Opolygon) {}
  BaseList2D* AllocSame() const override { return new PolygonObject(); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  friend class TempUVHandle;
  friend BaseSelect* hostrt::UVPointSelection(PolygonObject* op);
  std::vector<CPolygon> polys_;
  BaseSelect polySel_;
  BaseSelect edgeSel_;
  BaseSelect uvPointSel_;  // UV editor's point selection, 4 * polygon + corner
  std::vector<Ngon> ngons_;
};

// Parameters of the plane primitive (Oplane), a generator: width and height (Float), segments
// each way (Int32, 1 to 1000), and the axis it faces (Int32, PRIM_AXIS_...). A new plane is 400
// by 400 with 20 segments each way, facing +Y.
constexpr Int32 PRIM_PLANE_WIDTH = 1230;
constexpr Int32 PRIM_PLANE_HEIGHT = 1231;
constexpr Int32 PRIM_PLANE_SUBW = 1232;
constexpr Int32 PRIM_PLANE_SUBH = 1233;
constexpr Int32 PRIM_AXIS = 1300;
enum : Int32 {
  PRIM_AXIS_XP = 0,
  PRIM_AXIS_XN = 1,
  PRIM_AXIS_YP = 2,
  PRIM_AXIS_YN = 3,
  PRIM_AXIS_ZP = 4,
  PRIM_AXIS_ZN = 5,  // in the XY plane, facing the front view
};
