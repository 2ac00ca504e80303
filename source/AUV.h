// The UV morph track: keys hold UV snapshots that evaluation blends.
#pragma once

#include "c4d_baseobject.h"
#include "c4d_canimation.h"
#include "c4d_trackdata.h"

// Host-given identifier of the key description "CT_AUV"; 0 until the host gives one.
extern Int32 keyDescriptionId;

class AuvTrack : public CTrackData {
 public:
  static NodeData* Alloc() { return new AuvTrack(); }

  // Writes the snapshot of the key at the document time, or the blend of the keys around it,
  // into the UVW tag the keys link to.
  Bool Animate(CTrack* track, const CAnimInfo* info, Bool* chg, void* data) override;
  // Fills a new key with the UVs of bl's UVW tag and a link to that tag.
  Bool FillKey(CTrack* track, BaseDocument* doc, BaseList2D* bl, CKey* key) override;
  // A key's text: the animated object's name and " UVmorph".
  Bool TrackInformation(CTrack* track, BaseDocument* doc, CKey* key, String* str,
                        Bool set) override;
  Bool KeyGetDDescription(CTrack* track, CKey* node, Description* description,
                          DESCFLAGS_DESC& flags) override;
  // The snapshot and the tag link are shown read-only.
  Bool KeyGetDEnabling(CTrack* track, CKey* node, const DescID& id, const GeData& t_data,
                       DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc) override;
};

// The UVW tag a morph key records: the first selected UVW tag of op, else its first UVW tag;
// nullptr when op has none.
UVWTag* MorphTag(const BaseObject* op);

// Stores the UVs of tag, four knots per polygon of op, in key's snapshot and links key to tag.
// False when the host gives no spline data for the snapshot.
Bool FillMorphKey(CKey* key, const PolygonObject* op, UVWTag* tag);
