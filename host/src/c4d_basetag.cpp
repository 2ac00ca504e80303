#include "c4d_basetag.h"

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "runtime/registry.h"

BaseTag* BaseTag::Alloc(Int32 type) {
  switch (type) {
    case Tuvw:
      return UVWTag::Alloc(0);
    case Ttexture:
      return TextureTag::Alloc();
    case Tnormal:
      return NormalTag::Alloc(0);
    case Tpolygonselection:
      return SelectionTag::Alloc(type);
    case Tpoint:
    case Tpolygon:
    case Tdisplay:
      return new BaseTag(type);
    default:
      break;
  }
  const hostrt::PluginEntry* entry = hostrt::Registry::Get().Find(type);
  if (!entry || entry->kind != hostrt::PluginKind::Tag || !entry->allocator) return nullptr;
  NodeData* data = entry->allocator();
  if (!data) return nullptr;
  auto* tag = new BaseTag(type);
  tag->SetNodeData(std::unique_ptr<NodeData>(data));
  if (!data->Init(tag)) {
    delete tag;
    return nullptr;
  }
  return tag;
}

void BaseTag::Free(BaseTag*& tag) {
  delete tag;
  tag = nullptr;
}

BaseList2D* BaseTag::AllocSame() const {
  return BaseTag::Alloc(GetType());
}

BaseObject* BaseTag::GetObject() const {
  return dynamic_cast<BaseObject*>(GetMain());
}

Bool BaseTag::Message(Int32 type, void* data) {
  BaseList2D::Message(type, data);
  NodeData* nd = GetNodeData();
  return nd ? nd->Message(this, type, data) : true;
}

UVWTag* UVWTag::Alloc(Int32 count) {
  if (count < 0) return nullptr;
  auto* tag = new UVWTag();
  tag->uvw_.resize(static_cast<size_t>(count));
  return tag;
}

Bool UVWTag::Resize(Int32 count) {
  if (count < 0) return false;
  uvw_.resize(static_cast<size_t>(count));
  return true;
}

void UVWTag::Get(ConstUVWHandle handle, Int32 i, UVWStruct& res) {
  if (handle.data && i >= 0 && i < handle.count)
    res = handle.data[i];
  else
    res = UVWStruct();
}

void UVWTag::Set(UVWHandle handle, Int32 i, const UVWStruct& s) {
  if (handle.data && i >= 0 && i < handle.count) handle.data[i] = s;
}

UVWStruct UVWTag::GetSlow(Int32 i) const {
  UVWStruct r;
  Get(GetDataAddressR(), i, r);
  return r;
}

void UVWTag::SetSlow(Int32 i, const UVWStruct& s) {
  Set(GetDataAddressW(), i, s);
}

std::unique_ptr<NodeState> UVWTag::ReplaceData(std::vector<UVWStruct>&& records) {
  std::vector<UVWStruct> old;
  old.swap(uvw_);
  std::unique_ptr<NodeState> state = SaveState();  // all but the records, which are empty now
  auto* copy = static_cast<UVWTag*>(StateNode(*state));
  if (!copy) {
    uvw_.swap(old);
    return nullptr;
  }
  copy->uvw_ = std::move(old);
  uvw_ = std::move(records);
  return state;
}

void UVWTag::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  VariableTag::CopyDataTo(dest, flags, trans);
  static_cast<UVWTag*>(dest)->uvw_ = uvw_;
}

NormalTag* NormalTag::Alloc(Int32 count) {
  if (count < 0) return nullptr;
  auto* tag = new NormalTag();
  tag->normals_.resize(static_cast<size_t>(count));
  return tag;
}

Bool NormalTag::Resize(Int32 count) {
  if (count < 0) return false;
  normals_.resize(static_cast<size_t>(count));
  return true;
}

NormalStruct NormalTag::Get(Int32 i) const {
  return i >= 0 && i < GetDataCount() ? normals_[static_cast<size_t>(i)] : NormalStruct();
}

void NormalTag::Set(Int32 i, const NormalStruct& s) {
  if (i >= 0 && i < GetDataCount()) normals_[static_cast<size_t>(i)] = s;
}

void NormalTag::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  VariableTag::CopyDataTo(dest, flags, trans);
  static_cast<NormalTag*>(dest)->normals_ = normals_;
}

TextureTag* TextureTag::Alloc() {
  return new TextureTag();
}

BaseMaterial* TextureTag::GetMaterial(const BaseDocument* doc) const {
  return dynamic_cast<BaseMaterial*>(GetDataInstance()->GetLink(TEXTURETAG_MATERIAL, doc));
}

void TextureTag::SetMaterial(BaseMaterial* mat) {
  GetDataInstance()->SetLink(TEXTURETAG_MATERIAL, mat);
}

SelectionTag* SelectionTag::Alloc(Int32 type) {
  return type == Tpolygonselection ? new SelectionTag(type) : nullptr;
}

void SelectionTag::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  BaseTag::CopyDataTo(dest, flags, trans);
  sel_.CopyTo(&static_cast<SelectionTag*>(dest)->sel_);
}
