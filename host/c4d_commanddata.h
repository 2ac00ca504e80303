// Command plug-ins: a menu or palette command that the user executes.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_string.h"

class BaseDocument;
class BaseBitmap;

// Command state word: enabled.
constexpr Int32 CMD_ENABLED = 0x40000000;

class CommandData {
 public:
  virtual ~CommandData() = default;
  virtual Bool Execute(BaseDocument* doc) {
    (void)doc;
    return false;
  }
  virtual Int32 GetState(BaseDocument* doc) {
    (void)doc;
    return CMD_ENABLED;
  }
  virtual Bool RestoreLayout(void* secret) {
    (void)secret;
    return false;
  }
  virtual Bool ExecuteSubID(BaseDocument* doc, Int32 subid) {
    (void)doc;
    (void)subid;
    return false;
  }
  virtual Bool ExecuteOptionID(BaseDocument* doc, Int32 plugid, Int32 subid) {
    (void)doc;
    (void)plugid;
    (void)subid;
    return false;
  }
  virtual Bool GetSubContainer(BaseDocument* doc, BaseContainer& submenu) {
    (void)doc;
    (void)submenu;
    return false;
  }
  virtual Bool GetScriptName() { return false; }
  virtual Bool Message(Int32 type, void* data) {
    (void)type;
    (void)data;
    return true;
  }
};

// Hands dat to the host, which owns it from then on (also when registration fails).
Bool RegisterCommandPlugin(Int32 id, const String& str, Int32 info, BaseBitmap* icon,
                           const String& help, CommandData* dat);
