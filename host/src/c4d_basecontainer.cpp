#include "c4d_basecontainer.h"

#include "c4d_baselist.h"

void BaseLink::SetLink(BaseList2D* node) {
  serial_ = node ? node->GetSerial() : 0;
}

BaseList2D* BaseLink::ForceGetLink() const {
  return dynamic_cast<BaseList2D*>(GeListNode::FindBySerial(serial_));
}

BaseList2D* BaseLink::GetLink(const BaseDocument* doc) const {
  BaseList2D* node = ForceGetLink();
  if (!node || !doc) return node;
  return node->GetDocument() == doc ? node : nullptr;
}

GeData::GeData(const BaseContainer& v) : v_(std::make_unique<BaseContainer>(v)) {}

GeData::GeData(Int32 type, const CustomDataType& data) {
  if (data.GetTypeId() == type) v_ = Custom{data.Clone()};
}
GeData::~GeData() = default;

GeData::GeData(const GeData& o) {
  *this = o;
}

GeData& GeData::operator=(const GeData& o) {
  if (this == &o) return *this;
  if (const auto* c = std::get_if<Container>(&o.v_)) {
    v_ = *c ? std::make_unique<BaseContainer>(**c) : nullptr;
  } else if (const auto* m = std::get_if<BoxedMatrix>(&o.v_)) {
    v_ = std::make_unique<Matrix>(*m ? **m : Matrix());
  } else if (const auto* cd = std::get_if<Custom>(&o.v_)) {
    v_ = Custom{cd->data};
  } else {
    std::visit(
        [this](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (!std::is_same_v<T, Container> && !std::is_same_v<T, Custom> &&
                        !std::is_same_v<T, BoxedMatrix>)
            v_ = x;
        },
        o.v_);
  }
  return *this;
}

Int32 GeData::GetType() const {
  return std::visit(
      [](const auto& x) -> Int32 {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Int32>) return DA_LONG;
        if constexpr (std::is_same_v<T, Int64>) return DA_LLONG;
        if constexpr (std::is_same_v<T, Float>) return DA_REAL;
        if constexpr (std::is_same_v<T, Vector>) return DA_VECTOR;
        if constexpr (std::is_same_v<T, BoxedMatrix>) return DA_MATRIX;
        if constexpr (std::is_same_v<T, String>) return DA_STRING;
        if constexpr (std::is_same_v<T, BaseTime>) return DA_TIME;
        if constexpr (std::is_same_v<T, BaseLink>) return DA_ALIASLINK;
        if constexpr (std::is_same_v<T, Container>) return DA_CONTAINER;
        if constexpr (std::is_same_v<T, Custom>) return x.data ? x.data->GetTypeId() : DA_NIL;
        return DA_NIL;
      },
      v_);
}

Int32 GeData::GetInt32() const {
  if (const auto* p = std::get_if<Int32>(&v_)) return *p;
  if (const auto* p = std::get_if<Int64>(&v_)) return static_cast<Int32>(*p);
  if (const auto* p = std::get_if<Float>(&v_)) {
    // Out-of-range and non-finite values clamp rather than overflow.
    if (!(*p == *p)) return 0;
    if (*p >= 2147483647.0) return 2147483647;
    if (*p <= -2147483648.0) return -2147483647 - 1;
    return static_cast<Int32>(*p);
  }
  return 0;
}

Int64 GeData::GetInt64() const {
  if (const auto* p = std::get_if<Int64>(&v_)) return *p;
  return GetInt32();
}

Float GeData::GetFloat() const {
  if (const auto* p = std::get_if<Float>(&v_)) return *p;
  if (const auto* p = std::get_if<Int32>(&v_)) return *p;
  if (const auto* p = std::get_if<Int64>(&v_)) return static_cast<Float>(*p);
  return 0.0;
}

Vector GeData::GetVector() const {
  if (const auto* p = std::get_if<Vector>(&v_)) return *p;
  return Vector();
}

Matrix GeData::GetMatrix() const {
  if (const auto* p = std::get_if<BoxedMatrix>(&v_)) return *p ? **p : Matrix();
  return Matrix();
}

String GeData::GetString() const {
  if (const auto* p = std::get_if<String>(&v_)) return *p;
  return String();
}

BaseTime GeData::GetTime() const {
  if (const auto* p = std::get_if<BaseTime>(&v_)) return *p;
  return BaseTime();
}

const BaseContainer* GeData::GetContainer() const {
  if (const auto* p = std::get_if<Container>(&v_)) return p->get();
  return nullptr;
}

const BaseLink* GeData::GetBaseLink() const {
  return std::get_if<BaseLink>(&v_);
}

BaseList2D* GeData::GetLink(const BaseDocument* doc) const {
  const BaseLink* l = GetBaseLink();
  return l ? l->GetLink(doc) : nullptr;
}

const CustomDataType* GeData::GetCustomDataType(Int32 type) const {
  const auto* c = std::get_if<Custom>(&v_);
  return c && c->data && c->data->GetTypeId() == type ? c->data.get() : nullptr;
}

CustomDataType* GeData::GetCustomDataTypeWritable(Int32 type) {
  auto* c = std::get_if<Custom>(&v_);
  if (!c || !c->data || c->data->GetTypeId() != type) return nullptr;
  if (c->data.use_count() > 1) c->data = c->data->Clone();
  return c->data.get();
}

// --- BaseContainer ---

GeData* BaseContainer::Insert(Int32 id) {
  const auto [it, added] = index_.emplace(id, static_cast<UInt32>(entries_.size()));
  if (added) entries_.push_back({id, GeData()});
  return &entries_[it->second].data;
}

void BaseContainer::SetData(Int32 id, const GeData& d) {
  GeData copy(d);  // d may live in this container, which Insert may move
  *Insert(id) = std::move(copy);
}

void BaseContainer::SetData(Int32 id, GeData&& d) {
  *Insert(id) = std::move(d);
}

Bool BaseContainer::RemoveData(Int32 id) {
  const auto it = index_.find(id);
  if (it == index_.end()) return false;
  const UInt32 pos = it->second;
  index_.erase(it);
  entries_.erase(entries_.begin() + pos);
  for (auto& [key, at] : index_)
    if (at > pos) --at;
  return true;
}

void BaseContainer::FlushAll() {
  entries_.clear();
  index_.clear();
}

void BaseContainer::Reserve(Int32 count) {
  if (count <= 0) return;
  entries_.reserve(static_cast<size_t>(count));
  index_.reserve(static_cast<size_t>(count));
}

Int32 BaseContainer::GetIndexId(Int32 i) const {
  return i >= 0 && i < GetCount() ? entries_[static_cast<size_t>(i)].id : 0;
}

const GeData* BaseContainer::GetIndexData(Int32 i) const {
  return i >= 0 && i < GetCount() ? &entries_[static_cast<size_t>(i)].data : nullptr;
}

const GeData* BaseContainer::GetDataPointer(Int32 id) const {
  const auto it = index_.find(id);
  return it == index_.end() ? nullptr : &entries_[it->second].data;
}

GeData* BaseContainer::GetDataPointerW(Int32 id) {
  const auto it = index_.find(id);
  return it == index_.end() ? nullptr : &entries_[it->second].data;
}

GeData BaseContainer::GetData(Int32 id) const {
  const GeData* d = GetDataPointer(id);
  return d ? *d : GeData();
}

void BaseContainer::SetLink(Int32 id, BaseList2D* node) {
  BaseLink l;
  l.SetLink(node);
  SetData(id, GeData(l));
}

Bool BaseContainer::GetBool(Int32 id, Bool preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetBool() : preset;
}
Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetInt32() : preset;
}
Int64 BaseContainer::GetInt64(Int32 id, Int64 preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetInt64() : preset;
}
Float BaseContainer::GetFloat(Int32 id, Float preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetFloat() : preset;
}
Vector BaseContainer::GetVector(Int32 id, const Vector& preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetVector() : preset;
}
Matrix BaseContainer::GetMatrix(Int32 id) const {
  return GetData(id).GetMatrix();
}
String BaseContainer::GetString(Int32 id, const String& preset) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetString() : preset;
}
BaseTime BaseContainer::GetTime(Int32 id) const {
  return GetData(id).GetTime();
}
BaseContainer BaseContainer::GetContainer(Int32 id) const {
  const GeData* d = GetDataPointer(id);
  const BaseContainer* c = d ? d->GetContainer() : nullptr;
  return c ? *c : BaseContainer();
}
BaseList2D* BaseContainer::GetLink(Int32 id, const BaseDocument* doc) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetLink(doc) : nullptr;
}
