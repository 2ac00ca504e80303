// What a dialog action did, found by comparing the document and the dialog before and after it:
// the one line a session prints per action ("10065: UVs of 12 polygons changed").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseselect.h"

class GeDialog;

namespace pelterra {

// The state an action can change, as far as a report tells it.
struct Snapshot {
  struct Object {
    UInt64 serial = 0;
    std::string name;
    Int32 tags = 0;
    UInt64 points = 0;                     // fingerprint of the point positions
    std::vector<std::vector<UInt64>> uvs;  // per UVW tag, a fingerprint per polygon
    BaseSelect polygons, uvPoints, points2, edges;
    Int32 tracks = 0, keys = 0;  // animation tracks and the keys of their curves
  };
  struct Control {
    std::string value, label;
    bool visible = false, enabled = false;
  };
  bool hasDocument = false;
  Int32 mode = 0;
  UInt64 active = 0;
  std::vector<Object> objects;  // depth first, document order
  bool dialogOpen = false;
  std::map<Int32, Control> controls;  // controls with an identifier; the first one of each
};

Snapshot TakeSnapshot(BaseDocument* doc, const GeDialog* dialog);

struct ActionReport {
  std::string verb;                   // click, tick, choose, type, close
  std::string subject;                // the control as the line names it: its identifier
  std::vector<std::string> changes;   // the control's own new value first, then the effects
  std::vector<std::string> warnings;  // things the user should know ("not available yet" ...)
  std::string state;  // for "nothing changed": "mode: model; selected UV polygons: 0"
  bool ownValueChanged = false;

  bool Changed() const { return !changes.empty(); }
  // A click that changed nothing did not do what it was meant to; a tick, choice or typing that
  // left the control as it was only stated its value.
  bool NothingHappened() const { return changes.empty() && verb == "click"; }
  // The line the session prints.
  std::string Line(const std::string& ownValue) const;
};

// Compares two snapshots around an action on control id (0: the window itself).
ActionReport Describe(const std::string& verb, Int32 id, const Snapshot& before,
                      const Snapshot& after, BaseDocument* doc);

}  // namespace pelterra
