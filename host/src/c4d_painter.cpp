#include "c4d_painter.h"

#include <algorithm>

#include "c4d_basedocument.h"

UVWTag* GetEditedUVWTag(BaseObject* op) {
  if (!op) return nullptr;
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext())
    if (t->GetType() == Tuvw && t->GetBit(BIT_ACTIVE)) return static_cast<UVWTag*>(t);
  return static_cast<UVWTag*>(op->GetTag(Tuvw));
}

TempUVHandle* GetActiveUVSet(BaseDocument* doc, Int32 flags) {
  (void)flags;
  if (!doc) return nullptr;
  BaseObject* op = doc->GetActiveObject();
  if (!op || op->GetType() != Opolygon) return nullptr;
  UVWTag* tag = GetEditedUVWTag(op);
  if (!tag) return nullptr;
  auto* h = new TempUVHandle();
  h->doc_ = doc;
  h->op_ = static_cast<PolygonObject*>(op);
  h->tag_ = tag;
  switch (doc->GetMode()) {
    case Muvpolygons:
      h->mode_ = Mpolygons;
      break;
    case Muvpoints:
      h->mode_ = Mpoints;
      break;
    default:
      h->mode_ = doc->GetMode();
      break;
  }
  // One record per polygon, whatever the tag's own count.
  const Int32 n = h->op_->GetPolygonCount();
  h->uvw_.resize(static_cast<size_t>(n));
  ConstUVWHandle r = tag->GetDataAddressR();
  for (Int32 i = 0; i < n; ++i) UVWTag::Get(r, i, h->uvw_[static_cast<size_t>(i)]);
  return h;
}

void FreeActiveUVSet(TempUVHandle* handle) {
  delete handle;
}

Bool TempUVHandle::SetUVWFromTextureView(const UVWStruct* uv, Bool polySelection,
                                         Bool pointSelection, Bool allPoints) {
  (void)polySelection;
  (void)pointSelection;
  (void)allPoints;
  if (!uv || !tag_) return false;
  // A user of a UV editor undoes every write-back; nested in an open group it joins that group.
  if (doc_) {
    doc_->StartUndo();
    doc_->AddUndo(UNDOTYPE_CHANGE, op_);
    doc_->EndUndo();
  }
  UVWHandle w = tag_->GetDataAddressW();
  const Int32 n = std::min(GetPolyCount(), w.count);
  for (Int32 i = 0; i < n; ++i) UVWTag::Set(w, i, uv[i]);
  return true;
}

BaseSelect* TempUVHandle::GetUVPointSel() const {
  return hostrt::UVPointSelection(op_);
}
