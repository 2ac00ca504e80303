// User actions on an open dialog window: what a person at a real UI can do, and nothing more.
// An action that goes through sets the value as the UI would, calls the dialog's Command with
// the control's identifier and a BFM_ACTION container, and then lets time pass (one
// Host::RunTimers). A refused action changes nothing, sends nothing and says why.
#pragma once

#include "c4d_gui.h"
#include "runtime/dialog_model.h"
#include "runtime/host.h"

namespace hostrt {

struct ActionResult {
  bool ok = false;
  String error;    // why the action was refused; empty when ok
  String warning;  // what the UI did differently from what was asked (a clamped value)
  explicit operator bool() const { return ok; }
};

// Presses a button, a bitmap button (a toggle one flips its state), a collapsible title bar
// (flips the selection of its entries), or an entry of the menu bar.
ActionResult Click(Host& host, GeDialog& dlg, Int32 id);
// Ticks (on) or clears a checkbox; when it already is in that state nothing happens and no
// Command is sent.
ActionResult Tick(Host& host, GeDialog& dlg, Int32 id, bool on);
// Picks an entry of a combo box or radio group, or a tab of a quick-tab tab row (the tab then
// is the only one selected; Command gets the tab row's identifier).
ActionResult Choose(Host& host, GeDialog& dlg, Int32 id, Int32 entry);
// Types text into a number field, slider or text field. Numbers are read in the units the
// field shows (degrees, percent; "45°" and "50%" are accepted), must be whole for integer
// fields and are clamped to the field's range, as the real field does; the result's warning then
// says so ("-3 is below the minimum 0; set to 0").
ActionResult Type(Host& host, GeDialog& dlg, Int32 id, const String& text);
// Closes the window as with its close box (Host::UserClose): AskClose may refuse.
ActionResult CloseWindow(Host& host, GeDialog& dlg);

// Whether the user can reach control id: the dialog is open in host, the control exists, and
// neither it nor a group around it is hidden or disabled. On success *control is set.
ActionResult Reach(const Host& host, const GeDialog& dlg, Int32 id, DialogControl** control);
// The menu bar entry with that identifier (not a submenu), or nullptr.
const MenuItem* FindMenuEntry(const DialogModel& model, Int32 id);

}  // namespace hostrt
