// The UV transfer tag: writes a UV mesh's point positions back into the source UVs.
#pragma once

#include "TransferUV.h"
#include "c4d_tagdata.h"

class TransferTAG : public TagData {
 public:
  static NodeData* Alloc() { return new TransferTAG(); }
  Bool Init(GeListNode* node) override;
  Bool GetDDescription(GeListNode* node, Description* description, DESCFLAGS_DESC& flags) override;
  Bool GetDEnabling(GeListNode* node, Int32 id, const GeData& t_data, Int32 flags,
                    const BaseContainer* itemdesc) override;
};
