// A dialog window as text: its title, menu bar and control tree with values in user units.
// Only reads the dialog's DialogModel.
#pragma once

#include "c4d_gui.h"
#include "runtime/dialog_model.h"

namespace hostrt {

// One line per control, without indentation or children, for example
//   1004 number = 45° range -90°..90° disabled
String RenderControl(const DialogControl& c);

// A control's value as the view shows it, without the identifier: "on", "2.5", "45°",
// "10217 \"U\"", a text in quotes, the selected tabs of a tab row, "open" or "folded" for a
// title bar; empty for controls without a value.
String ValueText(const DialogControl& c);

// The whole window: 'dialog "Title"', then (indented) the menu bar, if any, and the control
// tree, one control per line, each level indented by two more spaces.
String RenderDialog(const GeDialog& dlg);

// A number as the view prints it: the shortest text that reads back as the same value, without
// an exponent for ordinary magnitudes.
String FormatNumber(Float v);

}  // namespace hostrt
