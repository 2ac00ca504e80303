// Tags: BaseTag, VariableTag, UVWTag (one UVWStruct per polygon), TextureTag.
#pragma once

#include <vector>

#include "c4d_baselist.h"
#include "ge_math.h"

class BaseObject;
class BaseMaterial;

enum : Int32 {
  Tpoint = 5600,
  Tpolygon = 5604,
  Ttexture = 5616,
  Tuvw = 5671,
  Tdisplay = 5693,
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

 protected:
  UVWTag() : VariableTag(Tuvw) {}
  BaseList2D* AllocSame() const override { return new UVWTag(); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  std::vector<UVWStruct> uvw_;
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

constexpr Int32 TEXTURETAG_MATERIAL = 1010;
