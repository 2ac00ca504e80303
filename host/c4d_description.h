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
