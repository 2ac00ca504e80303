// Animation tracks of an object.
#pragma once

#include "c4d_baselist.h"

class CTrack : public BaseList2D {
 public:
  CTrack* GetNext() const { return static_cast<CTrack*>(GeListNode::GetNext()); }

 protected:
  explicit CTrack(Int32 type) : BaseList2D(type) {}
};
