// Tags: BaseTag, VariableTag, UVWTag (one UVWStruct per polygon), NormalTag, TextureTag,
// SelectionTag.
#pragma once

#include <vector>

#include "c4d_baselist.h"
#include "c4d_baseselect.h"
#include "ge_math.h"

class BaseObject;
class BaseMaterial;

enum : Int32 {
  Tpoint = 5600,
  Tpolygon = 5604,
  Ttexture = 5616,
  Tuvw = 5671,
  Tpolygonselection = 5673,
  Tdisplay = 5693,
  Tnormal = 5711,
};

// UV corners a, b, c, d of one polygon; u, v, w in x, y, z.
struct UVWStruct {
  Vector a, b, c, d;
  UVWStruct() = default;
  UVWStruct(const Vector& ta, const Vector& tb, const Vector& tc, const Vector& td)
      : a(ta), b(tb), c(tc), d(td) {}
  Vector& operator[](Int32 corner) {
    return corner == 0 ? a : corner == 1 ? b : corner == 2 ? c : d;
  }
  const Vector& operator[](Int32 corner) const {
    return corner == 0 ? a : corner == 1 ? b : corner == 2 ? c : d;
  }
  bool operator==(const UVWStruct& o) const { return a == o.a && b == o.b && c == o.c && d == o.d; }
};

// Access to a UVW tag's records; the count guards every read and write.
struct ConstUVWHandle {
  const UVWStruct* data = nullptr;
  Int32 count = 0;
  explicit operator bool() const { return data != nullptr; }
};
struct UVWHandle {
  UVWStruct* data = nullptr;
  Int32 count = 0;
  explicit operator bool() const { return data != nullptr; }
  operator ConstUVWHandle() const { return {data, count}; }
};

class BaseTag : public BaseList2D {
 public:
  // A tag of a host type, or of a registered tag plug-in; nullptr for an unknown type.
  static BaseTag* Alloc(Int32 type);
  static void Free(BaseTag*& tag);

  BaseTag* GetNext() const { return static_cast<BaseTag*>(GeListNode::GetNext()); }
  BaseTag* GetPred() const { return static_cast<BaseTag*>(GeListNode::GetPred()); }
  // The object that carries the tag, or nullptr.
  BaseObject* GetObject() const;

  Bool Message(Int32 type, void* data = nullptr) override;

 protected:
  explicit BaseTag(Int32 type) : BaseList2D(type) {}
  BaseList2D* AllocSame() const override;
};

class VariableTag : public BaseTag {
 public:
  virtual Int32 GetDataCount() const = 0;

 protected:
  using BaseTag::BaseTag;
};

class UVWTag : public VariableTag {
 public:
  static UVWTag* Alloc(Int32 count);

  Int32 GetDataCount() const override { return static_cast<Int32>(uvw_.size()); }
  // Resizes to count records; new ones are zero.
  Bool Resize(Int32 count);

  ConstUVWHandle GetDataAddressR() const { return {uvw_.data(), GetDataCount()}; }
  UVWHandle GetDataAddressW() { return {uvw_.data(), GetDataCount()}; }

  // Record i; zero corners outside the tag.
  static void Get(ConstUVWHandle handle, Int32 i, UVWStruct& res);
  // Writes record i; ignored outside the tag.
  static void Set(UVWHandle handle, Int32 i, const UVWStruct& s);

  UVWStruct GetSlow(Int32 i) const;
  void SetSlow(Int32 i, const UVWStruct& s);

  // Our host: records becomes the tag's data. Gives back the state that restores the tag as it
  // was, which keeps the old records themselves instead of a copy (nullptr, the tag unchanged,
  // if it cannot).
  std::unique_ptr<NodeState> ReplaceData(std::vector<UVWStruct>&& records);

 protected:
  UVWTag() : VariableTag(Tuvw) {}
  BaseList2D* AllocSame() const override { return new UVWTag(); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  std::vector<UVWStruct> uvw_;
};

// Corner normals a, b, c, d of one polygon, each with a flag telling whether the corner has one.
struct NormalStruct {
  Vector a, b, c, d;
  Int32 flags = 0;  // bit i set: corner i has a normal
  Vector& operator[](Int32 corner) {
    return corner == 0 ? a : corner == 1 ? b : corner == 2 ? c : d;
  }
  const Vector& operator[](Int32 corner) const {
    return corner == 0 ? a : corner == 1 ? b : corner == 2 ? c : d;
  }
  Bool Has(Int32 corner) const { return corner >= 0 && corner < 4 && (flags >> corner & 1) != 0; }
  // Sets corner's normal and its flag.
  void Set(Int32 corner, const Vector& n) {
    if (corner < 0 || corner > 3) return;
    (*this)[corner] = n;
    flags |= 1 << corner;
  }
  bool operator==(const NormalStruct& o) const {
    return a == o.a && b == o.b && c == o.c && d == o.d && flags == o.flags;
  }
};

// Normals of a polygon object's corners, one NormalStruct per polygon.
class NormalTag : public VariableTag {
 public:
  static NormalTag* Alloc(Int32 count);

  Int32 GetDataCount() const override { return static_cast<Int32>(normals_.size()); }
  // Resizes to count records; new ones have no normals.
  Bool Resize(Int32 count);

  // Record i; no normals outside the tag.
  NormalStruct Get(Int32 i) const;
  // Writes record i; ignored outside the tag.
  void Set(Int32 i, const NormalStruct& s);

 protected:
  NormalTag() : VariableTag(Tnormal) {}
  BaseList2D* AllocSame() const override { return new NormalTag(); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  std::vector<NormalStruct> normals_;
};

class TextureTag : public BaseTag {
 public:
  static TextureTag* Alloc();
  // The material linked to the tag, while it exists in doc (nullptr: any document).
  BaseMaterial* GetMaterial(const BaseDocument* doc = nullptr) const;
  void SetMaterial(BaseMaterial* mat);

 protected:
  TextureTag() : BaseTag(Ttexture) {}
  BaseList2D* AllocSame() const override { return new TextureTag(); }
};

// Parameters of the display tag (Tdisplay): whether it overrides the object's shading, and
// the shading it uses then (Int32).
constexpr Int32 DISPLAYTAG_AFFECT_DISPLAYMODE = 1000;
constexpr Int32 DISPLAYTAG_SDISPLAYMODE = 1001;

constexpr Int32 TEXTURETAG_MATERIAL = 1010;
// Name of the selection tag the material is limited to (a string; empty: the whole object).
constexpr Int32 TEXTURETAG_RESTRICTION = 1011;

// A named selection of an object's elements; this host keeps polygon selections.
class SelectionTag : public BaseTag {
 public:
  // A selection tag of that type (Tpolygonselection), or nullptr for another type.
  static SelectionTag* Alloc(Int32 type = Tpolygonselection);

  BaseSelect* GetBaseSelect() { return &sel_; }
  const BaseSelect* GetBaseSelect() const { return &sel_; }

 protected:
  explicit SelectionTag(Int32 type) : BaseTag(type) {}
  BaseList2D* AllocSame() const override { return new SelectionTag(GetType()); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  BaseSelect sel_;
};
