// Plug-in data attached to a host node (the base of TagData and CTrackData).
#pragma once

#include <memory>

#include "c4d_baselist.h"

class Description;

// Flags passed to GetDDescription.
enum DESCFLAGS_DESC : Int32 {
  DESCFLAGS_DESC_0 = 0,
  DESCFLAGS_DESC_LOADED = 2,
};

class NodeData {
 public:
  virtual ~NodeData() = default;
  virtual Bool Init(GeListNode* node) {
    (void)node;
    return true;
  }
  virtual void Free(GeListNode* node) { (void)node; }
  virtual Bool Message(GeListNode* node, Int32 type, void* data) {
    (void)node;
    (void)type;
    (void)data;
    return true;
  }
  virtual Bool GetDDescription(GeListNode* node, Description* description, DESCFLAGS_DESC& flags) {
    (void)node;
    (void)description;
    (void)flags;
    return true;
  }
  virtual Bool GetDEnabling(GeListNode* node, Int32 id, const GeData& t_data, Int32 flags,
                            const BaseContainer* itemdesc) {
    (void)node;
    (void)id;
    (void)t_data;
    (void)flags;
    (void)itemdesc;
    return true;
  }
  // Copies plug-in data into dest, a fresh instance of the same plug-in.
  virtual Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, Int32 flags,
                      AliasTrans* trans) const {
    (void)dest;
    (void)snode;
    (void)dnode;
    (void)flags;
    (void)trans;
    return true;
  }
};

// Creates the plug-in data of a registered node type.
using DataAllocator = NodeData* (*)();
