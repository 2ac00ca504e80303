// What the host does with tracks and keys for its user: the keys around a time that evaluation
// hands a track, adding tracks and keys as the timeline does, and a key's attributes as the
// attribute manager shows them.
#pragma once

#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_canimation.h"
#include "c4d_trackdata.h"

namespace hostrt {

// The key at or before t (k1) and the key after it (k2) on curve; of several keys at one time
// the last in the curve. Before the first key both are the first, after the last both are the
// last; without a curve or keys both are nullptr.
void KeysAround(const CCurve* curve, const BaseTime& t, const CKey*& k1, const CKey*& k2);

// What evaluation hands track, which animates op, at the document's time.
CAnimInfo AnimInfoAt(BaseDocument& doc, BaseList2D* op, CTrack& track);

// The user adds a track for id to op: inserted in sorted order, one undo step. nullptr with why
// when no track plug-in has that identifier or op already has such a track.
CTrack* AddTrack(BaseDocument& doc, BaseObject& op, const DescID& id, std::string& why);

// The user adds a key to track at time, as the host does: the key goes into the curve, the
// track fills it, and the new key is one undo step. A key the track does not fill (it answers
// false or takes the key out of its curve) is dropped and freed: nullptr with why.
CKey* AddKey(BaseDocument& doc, CTrack& track, const BaseTime& time, std::string& why);

// One attribute of a key as the attribute manager shows it.
struct KeyAttribute {
  Int32 id = 0;
  std::string name;
  std::string value;
  bool readOnly = false;
};

// A key's attributes: the description its track gives for keys, each parameter's value and
// whether the track lets it be edited. Empty when the track gives no description.
std::vector<KeyAttribute> KeyAttributes(BaseDocument& doc, CTrack& track, CKey& key);

// A track's keys as text, one line per key ("key 0 at frame 10 (0.4 s): Cube UVmorph") and one
// indented line per attribute ("  UV snapshot: 12 knots (read-only)").
std::string DescribeKeys(BaseDocument& doc, CTrack& track);

}  // namespace hostrt
