#include "TransferTAG.h"

#include "c4d_basebitmap.h"
#include "c4d_basetag.h"
#include "c4d_description.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"

Bool TransferTAG::Init(GeListNode* node) {
  auto* tag = static_cast<BaseTag*>(node);
  tag->GetDataInstance()->SetFloat(TRANSFERUV_SIZE, 1.0);
  return true;
}

Bool TransferTAG::GetDDescription(GeListNode* node, Description* description,
                                  DESCFLAGS_DESC& flags) {
  if (!description || !description->LoadDescription("TransferUV")) return false;
  if (BaseContainer* bc = description->GetParameterI(TRANSFERUV_PLANE)) bc->SetInt32(DESC_HIDE, 1);
  flags = static_cast<DESCFLAGS_DESC>(flags | DESCFLAGS_DESC_LOADED);
  return TagData::GetDDescription(node, description, flags);
}

Bool TransferTAG::GetDEnabling(GeListNode* node, Int32 id, const GeData& t_data, Int32 flags,
                               const BaseContainer* itemdesc) {
  if (id == TRANSFERUV_UVWTAG || id == TRANSFERUV_OBJECT || id == TRANSFERUV_SIZE) return false;
  return TagData::GetDEnabling(node, id, t_data, flags, itemdesc);
}

Bool RegisterTransferTAG() {
  String name = GeLoadString(IDS_TRANSFERUV);
  if (name.empty()) return true;  // no name, no tag; the start goes on
  return RegisterTagPlugin(ID_TRANSFERTAG, name, TAG_VISIBLE | TAG_MULTIPLE | TAG_EXPRESSION,
                           TransferTAG::Alloc, "TransferUV", AutoBitmap("UVsyncTag.tif", 1.0), 0);
}
