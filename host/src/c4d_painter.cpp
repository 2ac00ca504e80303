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
  // Copied as a block; records past the tag's own count read as zero, as UVWTag::Get gives them.
  ConstUVWHandle r = tag->GetDataAddressR();
  const Int32 have = r.data ? std::max(0, std::min(r.count, n)) : 0;
  h->uvw_.reserve(static_cast<size_t>(n));
  h->uvw_.assign(r.data, r.data + have);
  h->uvw_.resize(static_cast<size_t>(n));
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
  const Int32 n = w.data ? std::max(0, std::min(GetPolyCount(), w.count)) : 0;
  std::copy(uv, uv + n, w.data);
  return true;
}

BaseSelect* TempUVHandle::GetUVPointSel() const {
  return hostrt::UVPointSelection(op_);
}
