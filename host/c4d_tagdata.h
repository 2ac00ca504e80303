// Tag plug-ins.
#pragma once

#include "c4d_nodedata.h"
#include "c4d_string.h"

class BaseTag;
class BaseObject;
class BaseDocument;
class BaseBitmap;
class BaseDraw;
class BaseDrawHelp;
class BaseThread;

// Tag info flags.
constexpr Int32 TAG_VISIBLE = 1;
constexpr Int32 TAG_MULTIPLE = 2;
constexpr Int32 TAG_EXPRESSION = 8;

enum EXECUTIONRESULT : Int32 {
  EXECUTIONRESULT_OK = 0,
  EXECUTIONRESULT_USERBREAK = 1,
  EXECUTIONRESULT_OUTOFMEMORY = 2,
};

class TagData : public NodeData {
 public:
  virtual Bool Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) {
    (void)tag;
    (void)op;
    (void)bd;
    (void)bh;
    return true;
  }
  virtual EXECUTIONRESULT Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt,
                                  Int32 priority, Int32 flags) {
    (void)tag;
    (void)doc;
    (void)op;
    (void)bt;
    (void)priority;
    (void)flags;
    return EXECUTIONRESULT_OK;
  }
};

Bool RegisterTagPlugin(Int32 id, const String& str, Int32 info, DataAllocator g,
                       const String& description, BaseBitmap* icon, Int32 disklevel);
