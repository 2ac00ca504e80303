// The UV morph track: keys hold UV snapshots that evaluation blends.
#pragma once

#include "c4d_trackdata.h"

// Host-given identifier of the key description "CT_AUV"; 0 until the host gives one.
extern Int32 keyDescriptionId;

class AuvTrack : public CTrackData {
 public:
  static NodeData* Alloc() { return new AuvTrack(); }
};
