// The UV set: the UV editor's view of the active object's UVs and UV selections.
#pragma once

#include <vector>

#include "c4d_baseobject.h"
#include "c4d_basetag.h"

class BaseDocument;

// Parts of the UV set to acquire (this host always provides all of them).
constexpr Int32 GETACTIVEUVSET_POINTSELECTION = 0x2;
constexpr Int32 GETACTIVEUVSET_UVWS = 0x20;
constexpr Int32 GETACTIVEUVSET_ALL = 0xFFFE;

class TempUVHandle {
 public:
  // Editing mode as the UV editor sees it: Mpolygons (7) in UV polygon mode, Mpoints (5) in UV
  // point mode, otherwise the document's mode.
  Int32 GetMode() const { return mode_; }
  BaseObject* GetBaseObject() const { return op_; }
  Int32 GetPolyCount() const { return op_->GetPolygonCount(); }
  const CPolygon* GetPoly() const { return op_->GetPolygonR(); }
  Int32 GetPointCount() const { return op_->GetPointCount(); }
  const Vector* GetPoint() const { return op_->GetPointR(); }
  // Working copy of the UVs, one record per polygon.
  UVWStruct* GetUVW();
  // Writes uv (one record per polygon) back into the tag, as one undo step of the document: it
  // joins an undo group the caller has open, otherwise it is a step of its own. The selection
  // flags are accepted for the SDK's signature; this host always writes every record.
  // A step of its own that writes the whole working copy hands the working copy itself to the
  // tag and the tag's old records to the undo step's record of the object, copying no records;
  // the next GetUVW() then starts a new working copy.
  Bool SetUVWFromTextureView(const UVWStruct* uv, Bool polySelection = false,
                             Bool pointSelection = false, Bool allPoints = true);
  // UV polygon selection (the object's polygon selection) and UV point selection.
  BaseSelect* GetPolySel() const { return op_->GetPolygonS(); }
  BaseSelect* GetUVPointSel() const;
  UVWTag* GetUVWTag() const { return tag_; }

 private:
  friend TempUVHandle* GetActiveUVSet(BaseDocument* doc, Int32 flags);
  friend void FreeActiveUVSet(TempUVHandle* handle);
  TempUVHandle() = default;
  // Copies the tag's records into the working copy.
  void Fill();
  BaseDocument* doc_ = nullptr;
  PolygonObject* op_ = nullptr;
  UVWTag* tag_ = nullptr;
  Int32 mode_ = 0;
  std::vector<UVWStruct> uvw_;
  Bool handedOver_ = false;  // the working copy went to the tag
};

// The UV set of the active polygon object's UVW tag (its first selected one, else its first);
// nullptr without a document, an active polygon object or a UVW tag.
TempUVHandle* GetActiveUVSet(BaseDocument* doc, Int32 flags);
void FreeActiveUVSet(TempUVHandle* handle);

// The UVW tag the UV editor shows: the first selected UVW tag, else the first UVW tag.
UVWTag* GetEditedUVWTag(BaseObject* op);
