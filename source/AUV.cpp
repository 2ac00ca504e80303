#include "AUV.h"

#include "c4d_description.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"

Int32 keyDescriptionId = 0;

Bool RegisterAuvTrack() {
  keyDescriptionId = GetNewDescriptionId();
  if (keyDescriptionId != 0 && !RegisterDescription(keyDescriptionId, "CT_AUV")) return false;
  return RegisterCTrackPlugin(ID_AUVTRACK, GeLoadString(IDS_UVMORPH), 0, AuvTrack::Alloc,
                              "CTblinker", 0);
}
