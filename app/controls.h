// Dialog controls by name and label: the symbol names of the plug-ins' res/c4d_symbols.h, the
// labels a dialog shows, and the listing of `pelterra controls`.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/dialog_model.h"
#include "runtime/host.h"

class GeDialog;

namespace pelterra {

// Symbol names of every plug-in module's res/c4d_symbols.h, read as resource files are.
class Symbols {
 public:
  // The modules found in the sub-folders of pluginFolder. Unreadable headers are skipped.
  static std::shared_ptr<const Symbols> FromPluginFolder(const std::string& pluginFolder);
  // One header's text (for tests).
  static std::shared_ptr<const Symbols> FromText(const std::string& text);

  std::optional<Int32> Find(const std::string& name) const;
  // The name to show for id: an IDC_ name when there is one, else another that is not a string,
  // dialog or plug-in name; empty without one.
  std::string NameOf(Int32 id) const;
  // The known name closest to a misspelt one, or empty.
  std::string Nearest(const std::string& name) const;

 private:
  std::map<std::string, Int32> byName_;
  std::multimap<Int32, std::string> byId_;
  void Add(const std::map<String, Int32>& symbols);
};

// How a session word names a control or entry: a number, a symbol name, or a label in quotes.
struct ControlRef {
  std::string text;
  bool quoted = false;
};

// What an action can act on, which narrows down a label.
enum class ControlUse { kAny, kClick, kTick, kChoose, kType };

// The identifier a reference names in dlg's window (labels are looked up among the controls
// that use can act on, and for kClick among the menu entries). False with error when it names
// nothing or, for a label, more than one control (error lists them).
bool ResolveControl(const GeDialog& dlg, const Symbols* symbols, const ControlRef& ref,
                    ControlUse use, Int32& id, std::string& error);
// An entry of a combo box, radio group or tab row: its identifier, symbol name or label.
bool ResolveEntry(const hostrt::DialogControl& control, const Symbols* symbols,
                  const ControlRef& ref, Int32& entry, std::string& error);
// Whether a reference can name a control at all without the dialog: a number, a known symbol
// name, or a label. error says why not.
bool CheckControlRef(const Symbols* symbols, const ControlRef& ref, std::string& error);

// Every control of dlg's open window with its identifier, name, label, kind, range and the tab
// under which it shows (found by choosing each tab of its tab rows as a user would).
void ListControls(hostrt::Host& host, GeDialog& dlg, const Symbols* symbols, std::ostream& out);

// Edit distance between two words, for suggestions.
size_t EditDistance(const std::string& a, const std::string& b);

}  // namespace pelterra
