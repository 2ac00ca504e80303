// Custom animation track plug-ins.
#pragma once

#include "c4d_nodedata.h"
#include "c4d_string.h"

class CTrack;
class CKey;
class BaseDocument;

class CTrackData : public NodeData {};

Bool RegisterCTrackPlugin(Int32 id, const String& str, Int32 info, DataAllocator g,
                          const String& description, Int32 disklevel);
