// Attribute descriptions: the parameters a node shows, with their properties.
#pragma once

#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_string.h"

// Parameter data types.
enum : Int32 {
  DTYPE_GROUP = 1,
  DTYPE_LONG = 15,
  DTYPE_REAL = 19,
  DTYPE_VECTOR = 23,
  DTYPE_STRING = 130,
  DTYPE_BASELISTLINK = 133,
  DTYPE_SEPARATOR = 14,
  DTYPE_BOOL = 400006001,
  CUSTOMDATATYPE_SPLINE = 1009060,
};

// Property keys of a parameter's container.
enum : Int32 {
  DESC_NAME = 1,
  DESC_MIN = 5,
  DESC_MAX = 6,
  DESC_STEP = 8,
  DESC_HIDE = 15,
  DESC_DEFAULT = 23,
  DESC_ANIMATE = 28,
  DESC_IDENT = 30,
};

// One level of a parameter's identifier: the parameter, its data type and its creator.
struct DescLevel {
  Int32 id = 0;
  Int32 dtype = 0;
  Int32 creator = 0;
  DescLevel() = default;
  DescLevel(Int32 t_id, Int32 t_datatype = 0, Int32 t_creator = 0)
      : id(t_id), dtype(t_datatype), creator(t_creator) {}
  // Levels are the same parameter when their identifiers are.
  bool operator==(const DescLevel& o) const { return id == o.id; }
};

// A parameter's identifier: one level for a plain parameter, more for a part of one.
class DescID {
 public:
  DescID() = default;
  explicit DescID(Int32 id1) : levels_{DescLevel(id1)} {}
  explicit DescID(const DescLevel& l1) : levels_{l1} {}
  DescID(const DescLevel& l1, const DescLevel& l2) : levels_{l1, l2} {}

  Int32 GetDepth() const { return static_cast<Int32>(levels_.size()); }
  // Level i; an empty level outside the depth.
  DescLevel operator[](Int32 i) const {
    return i >= 0 && i < GetDepth() ? levels_[static_cast<size_t>(i)] : DescLevel();
  }
  bool operator==(const DescID& o) const { return levels_ == o.levels_; }
  bool operator!=(const DescID& o) const { return !(*this == o); }
  // Level by level by identifier; a shorter identifier that starts a longer one comes first.
  bool operator<(const DescID& o) const {
    for (size_t i = 0; i < levels_.size() && i < o.levels_.size(); ++i)
      if (levels_[i].id != o.levels_[i].id) return levels_[i].id < o.levels_[i].id;
    return levels_.size() < o.levels_.size();
  }

 private:
  std::vector<DescLevel> levels_;
};

struct DescEntry {
  Int32 id = 0;
  Int32 type = 0;  // DTYPE_..., or a custom data type
  String ident;    // symbol name
  BaseContainer props;
};

class Description {
 public:
  static Description* Alloc() { return new Description(); }
  static void Free(Description*& d) {
    delete d;
    d = nullptr;
  }
  // Loads a description registered with the host, by name or by identifier.
  Bool LoadDescription(const String& name);
  Bool LoadDescription(Int32 id);
  // The properties of parameter id, or nullptr.
  BaseContainer* GetParameterI(Int32 id);
  const std::vector<DescEntry>& GetEntries() const { return entries_; }
  const String& GetName() const { return name_; }
  void SetEntries(const String& name, std::vector<DescEntry> e) {
    name_ = name;
    entries_ = std::move(e);
  }

 private:
  String name_;
  std::vector<DescEntry> entries_;
};

class GeResource;
// Registers description name under id, read from res (the plug-in's own when nullptr).
Bool RegisterDescription(Int32 id, const String& name, GeResource* res = nullptr);
// A fresh description identifier from the host, or 0 when it gives none.
Int32 GetNewDescriptionId();
