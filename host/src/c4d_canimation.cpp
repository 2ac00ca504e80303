#include "c4d_canimation.h"

#include <new>

#include "c4d_trackdata.h"
#include "runtime/registry.h"

// --- CKey ---

CKey* CKey::Alloc() {
  return new (std::nothrow) CKey();
}

void CKey::Free(CKey*& key) {
  delete key;
  key = nullptr;
}

void CKey::SetTime(CCurve* seq, const BaseTime& t) {
  time_ = t;
  if (seq && GetCurve() == seq) {
    Remove();
    seq->InsertKey(this);
  }
}

CCurve* CKey::GetCurve() const {
  GeListHead* head = GetListHead();
  return head ? dynamic_cast<CCurve*>(head->GetMain()) : nullptr;
}

CTrack* CKey::GetTrack() const {
  CCurve* c = GetCurve();
  return c ? c->GetTrack() : nullptr;
}

void CKey::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  BaseList2D::CopyDataTo(dest, flags, trans);
  static_cast<CKey*>(dest)->time_ = time_;
}

// --- CCurve ---

CCurve::CCurve(CTrack* track) : BaseList2D(CSbase), track_(track), keys_(this) {}

CCurve::~CCurve() = default;

BaseDocument* CCurve::GetDocument() const {
  return track_ ? track_->GetDocument() : nullptr;
}

Int32 CCurve::GetKeyCount() const {
  Int32 n = 0;
  for (CKey* k = GetFirstKey(); k; k = k->GetNext()) ++n;
  return n;
}

CKey* CCurve::GetKey(Int32 index) const {
  if (index < 0) return nullptr;
  CKey* k = GetFirstKey();
  for (; k && index > 0; --index) k = k->GetNext();
  return k;
}

Bool CCurve::InsertKey(CKey* key) {
  if (!key || key->GetUp()) return false;
  // After every key at the key's time or earlier.
  CKey* pred = nullptr;
  for (CKey* k = GetFirstKey(); k && k->GetTime() <= key->GetTime(); k = k->GetNext()) pred = k;
  if (pred)
    key->InsertAfter(pred);
  else
    key->InsertUnder(&keys_);
  return true;
}

CKey* CCurve::AddKey(const BaseTime& time, Int32* nidx) {
  CKey* key = CKey::Alloc();
  if (!key) return nullptr;
  key->SetTime(nullptr, time);
  InsertKey(key);
  if (nidx) {
    Int32 i = 0;
    for (CKey* k = GetFirstKey(); k != key; k = k->GetNext()) ++i;
    *nidx = i;
  }
  return key;
}

CKey* CCurve::FindKey(const BaseTime& time, Int32* idx, FINDANIM match) const {
  CKey* found = nullptr;
  Int32 i = 0, at = -1;
  for (CKey* k = GetFirstKey(); k; k = k->GetNext(), ++i) {
    const BaseTime t = k->GetTime();
    bool take = false;
    switch (match) {
      case FINDANIM_EXACT:
        take = t == time;
        break;
      case FINDANIM_LEFT:
        take = t <= time;  // keys are in time order: the last one taken is the latest
        break;
      case FINDANIM_RIGHT:
        // The earliest time not before time, and of its keys the last one.
        take = t >= time && (!found || t == found->GetTime());
        break;
    }
    if (take) {
      found = k;
      at = i;
    }
  }
  if (idx) *idx = at;
  return found;
}

Bool CCurve::DelKey(Int32 index) {
  CKey* k = GetKey(index);
  if (!k) return false;
  k->Remove();
  CKey::Free(k);
  return true;
}

// --- CTrack ---

namespace {

// The track plug-in registered under id, or nullptr.
const hostrt::PluginEntry* TrackPlugin(Int32 id) {
  const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(id);
  return e && e->kind == hostrt::PluginKind::Track && e->allocator ? e : nullptr;
}

}  // namespace

CTrack::CTrack(Int32 type, const DescID& id) : BaseList2D(type), id_(id) {}

CTrack::~CTrack() = default;

CTrack* CTrack::Alloc(BaseList2D* bl, const DescID& id) {
  (void)bl;
  if (id.GetDepth() != 1) return nullptr;
  const hostrt::PluginEntry* entry = TrackPlugin(id[0].id);
  if (!entry) return nullptr;
  NodeData* data = entry->allocator();
  if (!data) return nullptr;
  auto* track = new (std::nothrow) CTrack(entry->id, id);
  if (!track) {
    delete data;
    return nullptr;
  }
  track->SetNodeData(std::unique_ptr<NodeData>(data));
  if (!data->Init(track)) {
    delete track;
    return nullptr;
  }
  return track;
}

void CTrack::Free(CTrack*& track) {
  delete track;
  track = nullptr;
}

CCurve* CTrack::GetCurve(CCURVE type, Bool bCreate) {
  if (type != CCURVE_CURVE) return nullptr;
  if (!curve_ && bCreate) curve_.reset(new (std::nothrow) CCurve(this));
  return curve_.get();
}

Bool CTrack::FillKey(BaseDocument* doc, BaseList2D* bl, CKey* key) {
  auto* data = dynamic_cast<CTrackData*>(GetNodeData());
  return data ? data->FillKey(this, doc, bl, key) : true;
}

Bool CTrack::TrackInformation(BaseDocument* doc, CKey* key, String* str, Bool set) {
  auto* data = dynamic_cast<CTrackData*>(GetNodeData());
  return data && data->TrackInformation(this, doc, key, str, set);
}

BaseList2D* CTrack::AllocSame() const {
  // Always a track, so that a copy of a track whose plug-in has gone is still a copy.
  auto* track = new CTrack(GetType(), id_);
  if (const hostrt::PluginEntry* entry = TrackPlugin(GetType()))
    if (NodeData* data = entry->allocator()) {
      track->SetNodeData(std::unique_ptr<NodeData>(data));
      data->Init(track);
    }
  return track;
}

void CTrack::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  BaseList2D::CopyDataTo(dest, flags, trans);
  static_cast<CTrack*>(dest)->id_ = id_;
}

void CTrack::CopyHierarchyTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  if (!curve_) return;
  auto* d = static_cast<CTrack*>(dest);
  CCurve* curve = d->GetCurve();
  if (!curve) return;
  curve->SetName(curve_->GetName());
  curve->SetData(curve_->GetData());
  for (CKey* k = curve_->GetFirstKey(); k; k = k->GetNext())
    if (auto* c = static_cast<CKey*>(k->GetClone(flags, trans)))
      c->InsertUnderLast(curve->GetKeyHead());
}
