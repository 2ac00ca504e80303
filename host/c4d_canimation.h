// Animation: an object's tracks, a track's curve and the curve's keys in time order.
#pragma once

#include <memory>

#include "c4d_baselist.h"
#include "c4d_basetime.h"
#include "c4d_description.h"

class BaseDocument;
class CCurve;
class CTrack;

// Node types of the animation system.
enum : Int32 {
  CTbase = 5350,
  CSbase = 5351,  // curve
  CKbase = 5352,  // key
};

enum CCURVE : Int32 { CCURVE_CURVE = 1 };

// Which key FindKey answers: the key at the time, the latest key not after it, or the earliest
// key not before it.
enum FINDANIM : Int32 { FINDANIM_EXACT = 0, FINDANIM_LEFT = 1, FINDANIM_RIGHT = 2 };

class CKey : public BaseList2D {
 public:
  static CKey* Alloc();
  static void Free(CKey*& key);

  CKey* GetNext() const { return static_cast<CKey*>(GeListNode::GetNext()); }
  CKey* GetPred() const { return static_cast<CKey*>(GeListNode::GetPred()); }

  BaseTime GetTime() const { return time_; }
  // Moves the key to time t; seq, the curve the key is in, stays in time order.
  void SetTime(CCurve* seq, const BaseTime& t);
  // The curve the key is in, and its track; nullptr for a key in none.
  CCurve* GetCurve() const;
  CTrack* GetTrack() const;

 protected:
  CKey() : BaseList2D(CKbase) {}
  BaseList2D* AllocSame() const override { return new CKey(); }
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  BaseTime time_;
};

class CCurve : public BaseList2D {
 public:
  ~CCurve() override;

  Int32 GetKeyCount() const;
  // Key index in time order, or nullptr.
  CKey* GetKey(Int32 index) const;
  CKey* GetFirstKey() const { return static_cast<CKey*>(keys_.GetFirst()); }
  GeListHead* GetKeyHead() { return &keys_; }

  // A new key at time, after the keys at that time or earlier; nidx receives its index.
  // nullptr when there is no memory for it.
  CKey* AddKey(const BaseTime& time, Int32* nidx = nullptr);
  // Inserts a key that is in no curve at its place in time order; false for a key in a curve.
  Bool InsertKey(CKey* key);
  // The key of match for time, or nullptr; of several keys at one time, the one added last
  // (the last in the curve). idx receives its index.
  CKey* FindKey(const BaseTime& time, Int32* idx = nullptr, FINDANIM match = FINDANIM_EXACT) const;
  // Removes and frees key index; false outside the curve.
  Bool DelKey(Int32 index);

  CTrack* GetTrack() const { return track_; }
  BaseDocument* GetDocument() const override;

 private:
  friend class CTrack;
  explicit CCurve(CTrack* track);

  CTrack* track_;
  GeListHead keys_;
};

class CTrack : public BaseList2D {
 public:
  // A track animating parameter id of bl. This host animates custom track plug-ins only: id's
  // first level is the identifier of a registered track plug-in, and the track gets that
  // plug-in's data; any other id makes no track (nullptr).
  static CTrack* Alloc(BaseList2D* bl, const DescID& id);
  static void Free(CTrack*& track);
  ~CTrack() override;

  CTrack* GetNext() const { return static_cast<CTrack*>(GeListNode::GetNext()); }
  const DescID& GetDescriptionID() const { return id_; }
  // The node the track animates (the owner of its track list), or nullptr.
  BaseList2D* GetObject() const { return GetMain(); }

  // The track's curve, made on first use when bCreate is set; nullptr for another type.
  CCurve* GetCurve(CCURVE type = CCURVE_CURVE, Bool bCreate = true);

  // Asks the track plug-in to fill a new key for node bl; true for a track without one.
  Bool FillKey(BaseDocument* doc, BaseList2D* bl, CKey* key);
  // The plug-in's information text for key; false when it gives none.
  Bool TrackInformation(BaseDocument* doc, CKey* key, String* str, Bool set);

 protected:
  CTrack(Int32 type, const DescID& id);
  BaseList2D* AllocSame() const override;
  void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;
  void CopyHierarchyTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const override;

 private:
  DescID id_;
  std::unique_ptr<CCurve> curve_;
};
