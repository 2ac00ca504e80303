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
  h->Fill();
  return h;
}

void TempUVHandle::Fill() {
  // One record per polygon, whatever the tag's own count.
  const Int32 n = op_->GetPolygonCount();
  // Copied as a block; records past the tag's own count read as zero, as UVWTag::Get gives them.
  ConstUVWHandle r = tag_->GetDataAddressR();
  const Int32 have = r.data ? std::max(0, std::min(r.count, n)) : 0;
  uvw_.clear();
  uvw_.reserve(static_cast<size_t>(n));
  uvw_.assign(r.data, r.data + have);
  uvw_.resize(static_cast<size_t>(n));
  handedOver_ = false;
}

UVWStruct* TempUVHandle::GetUVW() {
  if (handedOver_) Fill();
  return uvw_.data();
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
  // The tag's old records go to the undo step as they are, and the working copy becomes the
  // tag's data: at a million polygons that saves two copies of the records and their memory.
  const size_t n = uvw_.size();
  if (doc_ && !handedOver_ && uv == uvw_.data() && n > 0 && tag_->GetObject() == op_ &&
      n == static_cast<size_t>(GetPolyCount()) && n == static_cast<size_t>(tag_->GetDataCount()) &&
      !doc_->UndoSaved(tag_)) {
    std::unique_ptr<NodeState> old = tag_->ReplaceData(std::move(uvw_));
    if (old) {
      uvw_ = {};
      handedOver_ = true;
      // The step records the object, as any write-back's does; only the tag's part is taken
      // rather than copied.
      doc_->StartUndo();
      doc_->AddUndoState(op_, op_->SaveState(tag_, std::move(old)));
      doc_->EndUndo();
      return true;
    }
  }
  // A user of a UV editor undoes every write-back; nested in an open group it joins that group.
  if (doc_) {
    doc_->StartUndo();
    doc_->AddUndo(UNDOTYPE_CHANGE, op_);
    doc_->EndUndo();
  }
  UVWHandle w = tag_->GetDataAddressW();
  const Int32 count = w.data ? std::max(0, std::min(GetPolyCount(), w.count)) : 0;
  if (uv != w.data) std::copy(uv, uv + count, w.data);
  return true;
}

BaseSelect* TempUVHandle::GetUVPointSel() const {
  return hostrt::UVPointSelection(op_);
}
