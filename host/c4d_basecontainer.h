// GeData, a tagged value, and BaseContainer, an ordered id-to-value store.
#pragma once

#include <memory>
#include <unordered_map>
#include <variant>
#include <vector>

#include "c4d_basetime.h"
#include "c4d_string.h"
#include "ge_math.h"

class BaseDocument;
class BaseList2D;
class BaseContainer;

enum {
  DA_NIL = 0,
  DA_LONG = 15,
  DA_LLONG = 17,
  DA_REAL = 19,
  DA_TIME = 22,
  DA_VECTOR = 23,
  DA_MATRIX = 25,
  DA_STRING = 130,
  DA_CONTAINER = 131,
  DA_ALIASLINK = 133,
  DA_CUSTOMDATATYPE = 1000,
};

// Data of a registered custom type (spline data and the like).
class CustomDataType {
 public:
  virtual ~CustomDataType() = default;
  virtual Int32 GetTypeId() const = 0;
  virtual std::unique_ptr<CustomDataType> Clone() const = 0;
};

// Weak link to a node: stays valid (resolving to nothing) after the node is freed.
class BaseLink {
 public:
  static BaseLink* Alloc() { return new BaseLink(); }
  static void Free(BaseLink*& l) {
    delete l;
    l = nullptr;
  }
  void SetLink(BaseList2D* node);
  // The linked node, or nullptr when it is gone or, with doc given, not in doc.
  BaseList2D* GetLink(const BaseDocument* doc) const;
  BaseList2D* ForceGetLink() const;
  UInt64 GetSerial() const { return serial_; }
  bool operator==(const BaseLink& o) const { return serial_ == o.serial_; }

 private:
  UInt64 serial_ = 0;  // 0: empty
};

class GeData {
 public:
  GeData() = default;
  GeData(Int32 v) : v_(v) {}
  GeData(Int64 v) : v_(v) {}
  GeData(Float v) : v_(v) {}
  GeData(const Vector& v) : v_(v) {}
  GeData(const Matrix& v) : v_(std::make_unique<Matrix>(v)) {}
  GeData(const String& v) : v_(v) {}
  GeData(const char* v) : v_(String(v)) {}
  GeData(const BaseTime& v) : v_(v) {}
  GeData(const BaseLink& v) : v_(v) {}
  GeData(const BaseContainer& v);
  GeData(const CustomDataType& v) : v_(Custom{v.Clone()}) {}
  // Custom data of a type: nothing when data is not of that type.
  GeData(Int32 type, const CustomDataType& data);
  GeData(const GeData& o);
  GeData(GeData&&) noexcept = default;
  GeData& operator=(const GeData& o);
  GeData& operator=(GeData&&) noexcept = default;
  ~GeData();

  Int32 GetType() const;
  Int32 GetInt32() const;
  Int64 GetInt64() const;
  Float GetFloat() const;
  Bool GetBool() const { return GetInt32() != 0; }
  Vector GetVector() const;
  Matrix GetMatrix() const;
  String GetString() const;
  BaseTime GetTime() const;
  const BaseContainer* GetContainer() const;
  // The linked node, resolved in doc (nullptr: any document).
  BaseList2D* GetLink(const BaseDocument* doc = nullptr) const;
  const BaseLink* GetBaseLink() const;
  // Custom data of the given type, or nullptr.
  const CustomDataType* GetCustomDataType(Int32 type) const;
  // The same for writing; a value shared with copies is copied first.
  CustomDataType* GetCustomDataTypeWritable(Int32 type);

 private:
  // Copies share the custom data until one of them asks to write it, so reading a large value
  // (a UV snapshot of a million polygons) out of a container costs no copy.
  struct Custom {
    std::shared_ptr<CustomDataType> data;
  };
  using Container = std::unique_ptr<BaseContainer>;
  // A matrix is kept apart so that every value stays small (a container may hold millions).
  using BoxedMatrix = std::unique_ptr<Matrix>;
  std::variant<std::monostate, Int32, Int64, Float, Vector, BoxedMatrix, String, BaseTime, BaseLink,
               Container, Custom>
      v_;
};

// Values under signed identifiers. The entries keep the order in which their identifiers were
// first set; setting an identifier again replaces its value in place.
class BaseContainer {
 public:
  BaseContainer() = default;
  explicit BaseContainer(Int32 id) : id_(id) {}

  Int32 GetId() const { return id_; }
  void SetId(Int32 id) { id_ = id; }

  void SetData(Int32 id, const GeData& d);
  void SetData(Int32 id, GeData&& d);
  const GeData* GetDataPointer(Int32 id) const;
  GeData* GetDataPointerW(Int32 id);
  GeData GetData(Int32 id) const;
  Bool RemoveData(Int32 id);
  void FlushAll();
  Int32 GetCount() const { return static_cast<Int32>(entries_.size()); }
  // Entry i in order (0 .. GetCount() - 1): its identifier (0 outside) and value (nullptr
  // outside).
  Int32 GetIndexId(Int32 i) const;
  const GeData* GetIndexData(Int32 i) const;

  void SetBool(Int32 id, Bool v) { SetData(id, GeData(Int32(v ? 1 : 0))); }
  void SetInt32(Int32 id, Int32 v) { SetData(id, GeData(v)); }
  void SetInt64(Int32 id, Int64 v) { SetData(id, GeData(v)); }
  void SetFloat(Int32 id, Float v) { SetData(id, GeData(v)); }
  void SetVector(Int32 id, const Vector& v) { SetData(id, GeData(v)); }
  void SetMatrix(Int32 id, const Matrix& v) { SetData(id, GeData(v)); }
  void SetString(Int32 id, const String& v) { SetData(id, GeData(v)); }
  void SetTime(Int32 id, const BaseTime& v) { SetData(id, GeData(v)); }
  void SetContainer(Int32 id, const BaseContainer& v) { SetData(id, GeData(v)); }
  void SetLink(Int32 id, BaseList2D* node);

  Bool GetBool(Int32 id, Bool preset = false) const;
  Int32 GetInt32(Int32 id, Int32 preset = 0) const;
  Int64 GetInt64(Int32 id, Int64 preset = 0) const;
  Float GetFloat(Int32 id, Float preset = 0.0) const;
  Vector GetVector(Int32 id, const Vector& preset = Vector()) const;
  Matrix GetMatrix(Int32 id) const;
  String GetString(Int32 id, const String& preset = String()) const;
  BaseTime GetTime(Int32 id) const;
  BaseContainer GetContainer(Int32 id) const;
  BaseList2D* GetLink(Int32 id, const BaseDocument* doc) const;

  // Room for count entries without growing.
  void Reserve(Int32 count);

 private:
  struct Entry {
    Int32 id;
    GeData data;
  };
  GeData* Insert(Int32 id);

  Int32 id_ = 0;
  std::vector<Entry> entries_;               // in the order first set
  std::unordered_map<Int32, UInt32> index_;  // identifier to position in entries_
};
