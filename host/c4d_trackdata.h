// Custom animation track plug-ins.
#pragma once

#include "c4d_basetime.h"
#include "c4d_nodedata.h"
#include "c4d_string.h"

class BaseContainer;
class BaseDocument;
class CKey;
class CTrack;
class DescID;
class Description;
class GeData;

// Flags of KeyGetDEnabling.
enum DESCFLAGS_ENABLE : Int32 { DESCFLAGS_ENABLE_0 = 0 };

// What the host hands a track when it evaluates it.
struct CAnimInfo {
  BaseDocument* doc = nullptr;
  BaseList2D* op = nullptr;  // the animated node
  BaseTime otime;            // the document time
  Float64 xtime = 0.0;       // the same in seconds
  Float64 rel = 0.0;         // where the time lies from k1 (0) to k2 (1)
  // The key at or before the time and the key after it. Before the first key both are the
  // first key, after the last both are the last; without keys both are nullptr.
  const CKey* k1 = nullptr;
  const CKey* k2 = nullptr;
};

class CTrackData : public NodeData {
 public:
  // Evaluates the track at info->otime; false reports a failure.
  virtual Bool Animate(CTrack* track, const CAnimInfo* info, Bool* chg, void* data) {
    (void)track;
    (void)info;
    (void)chg;
    (void)data;
    return true;
  }
  // Fills a key that the host has just made for node bl.
  virtual Bool FillKey(CTrack* track, BaseDocument* doc, BaseList2D* bl, CKey* key) {
    (void)track;
    (void)doc;
    (void)bl;
    (void)key;
    return true;
  }
  // The text the host shows for a key (set false) or a text the user typed (set true).
  virtual Bool TrackInformation(CTrack* track, BaseDocument* doc, CKey* key, String* str,
                                Bool set) {
    (void)track;
    (void)doc;
    (void)key;
    (void)str;
    (void)set;
    return false;
  }
  // The description of a key's attributes.
  virtual Bool KeyGetDDescription(CTrack* track, CKey* node, Description* description,
                                  DESCFLAGS_DESC& flags) {
    (void)track;
    (void)node;
    (void)description;
    (void)flags;
    return true;
  }
  // Whether a key's parameter can be edited.
  virtual Bool KeyGetDEnabling(CTrack* track, CKey* node, const DescID& id, const GeData& t_data,
                               DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc) {
    (void)track;
    (void)node;
    (void)id;
    (void)t_data;
    (void)flags;
    (void)itemdesc;
    return true;
  }
};

Bool RegisterCTrackPlugin(Int32 id, const String& str, Int32 info, DataAllocator g,
                          const String& description, Int32 disklevel);
