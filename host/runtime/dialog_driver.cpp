#include "runtime/dialog_driver.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "c4d_customgui.h"
#include "runtime/dialog_view.h"

namespace hostrt {

namespace {

ActionResult Done() {
  return {true, String(), String()};
}
ActionResult Refuse(const String& why) {
  return {false, why, String()};
}

String Describe(const DialogControl& c) {
  return String(ControlKindName(c.kind)) + " " + std::to_string(c.id);
}

bool IsTitleBar(const DialogControl& c) {
  return c.kind == ControlKind::QuickTab && c.settings.GetBool(QUICKTAB_BAR);
}

bool HasEntry(const DialogControl& c, Int32 entry) {
  return std::any_of(c.entries.begin(), c.entries.end(),
                     [entry](const auto& e) { return e.first == entry; });
}

// The dialog reacts to the action, then time passes.
void Send(Host& host, GeDialog& dlg, Int32 id) {
  BaseContainer msg(BFM_ACTION);
  dlg.Command(id, msg);
  host.RunTimers();
}

String Trim(const String& s) {
  const char* ws = " \t\r\n";
  const size_t b = s.find_first_not_of(ws);
  if (b == String::npos) return String();
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// Reads a number as typed, with an optional unit suffix ("°", "%").
bool ParseNumber(const String& typed, const String& suffix, Float& out, String& why) {
  String s = Trim(typed);
  if (!suffix.empty() && s.size() >= suffix.size() &&
      s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0)
    s = Trim(s.substr(0, s.size() - suffix.size()));
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, out);
  if (b == e || r.ptr != e || r.ec == std::errc::invalid_argument) {
    why = "not a number: \"" + typed + "\"";
    return false;
  }
  if (r.ec != std::errc() || !std::isfinite(out)) {
    why = "not a finite number: \"" + typed + "\"";
    return false;
  }
  return true;
}

Float Clamp(const DialogControl& c, Float v) {
  return c.min < c.max ? std::clamp(v, c.min, c.max) : v;
}

// The warning for a value typed as `typed` (in the units shown, scale times the stored value)
// that the field's range turned into `stored`; empty when it was kept.
String ClampWarning(Float typed, Float stored, Float scale) {
  const Float shown = std::round(stored * scale * 1e9) / 1e9;
  if (stored * scale == typed || shown == typed) return String();
  return FormatNumber(typed) +
         (typed < shown ? " is below the minimum " : " is above the maximum ") +
         FormatNumber(shown) + "; set to " + FormatNumber(shown);
}

}  // namespace

const MenuItem* FindMenuEntry(const DialogModel& model, Int32 id) {
  if (id == 0) return nullptr;
  std::vector<const std::vector<MenuItem>*> todo{&model.menu};
  while (!todo.empty()) {
    const std::vector<MenuItem>* items = todo.back();
    todo.pop_back();
    for (const MenuItem& m : *items) {
      if (m.id == id && m.children.empty()) return &m;
      todo.push_back(&m.children);
    }
  }
  return nullptr;
}

ActionResult Reach(const Host& host, const GeDialog& dlg, Int32 id, DialogControl** control) {
  if (!host.FindWindow(&dlg) || !dlg.GetModel()) return Refuse("the dialog is not open");
  DialogControl* c = dlg.GetModel()->Find(id);
  if (!c) return Refuse("no control " + std::to_string(id));
  for (const DialogControl* p = c; p; p = p->parent) {
    if (p->hidden)
      return Refuse(Describe(*c) + (p == c ? " is hidden" : " is inside hidden " + Describe(*p)));
    if (!p->enabled)
      return Refuse(Describe(*c) +
                    (p == c ? " is disabled" : " is inside disabled " + Describe(*p)));
  }
  if (control) *control = c;
  return Done();
}

ActionResult Click(Host& host, GeDialog& dlg, Int32 id) {
  if (!host.FindWindow(&dlg) || !dlg.GetModel()) return Refuse("the dialog is not open");
  const DialogModel& model = *dlg.GetModel();
  const DialogControl* found = model.Find(id);
  const bool clickable = found && (found->kind == ControlKind::Button ||
                                   found->kind == ControlKind::BitmapButton || IsTitleBar(*found));
  if (!clickable) {
    if (FindMenuEntry(model, id)) {
      Send(host, dlg, id);
      return Done();
    }
    if (found)
      return Refuse(Describe(*found) +
                    " cannot be clicked; Click takes a button, bitmap button, title bar or menu "
                    "entry");
    return Refuse("no control or menu entry " + std::to_string(id));
  }
  DialogControl* c = nullptr;
  if (ActionResult r = Reach(host, dlg, id, &c); !r) return r;
  if (c->kind == ControlKind::BitmapButton && c->settings.GetBool(BITMAPBUTTON_TOGGLE)) {
    c->valueKind = ValueKind::Bool;
    c->intValue = c->intValue ? 0 : 1;
  } else if (IsTitleBar(*c)) {
    // Folding: an open bar (any entry selected) closes, a closed one opens.
    if (c->selectedTabs.empty()) {
      for (const auto& e : c->entries) c->selectedTabs.push_back(e.first);
    } else {
      c->selectedTabs.clear();
    }
  }
  Send(host, dlg, id);
  return Done();
}

ActionResult Tick(Host& host, GeDialog& dlg, Int32 id, bool on) {
  DialogControl* c = nullptr;
  if (ActionResult r = Reach(host, dlg, id, &c); !r) return r;
  if (c->kind != ControlKind::Checkbox) return Refuse(Describe(*c) + " is not a checkbox");
  // Already in that state: nothing to click, so nothing happens.
  if (c->valueKind == ValueKind::Bool && (c->intValue != 0) == on) return Done();
  c->valueKind = ValueKind::Bool;
  c->intValue = on ? 1 : 0;
  Send(host, dlg, id);
  return Done();
}

ActionResult Choose(Host& host, GeDialog& dlg, Int32 id, Int32 entry) {
  DialogControl* c = nullptr;
  if (ActionResult r = Reach(host, dlg, id, &c); !r) return r;
  const bool list = c->kind == ControlKind::ComboBox || c->kind == ControlKind::RadioGroup;
  const bool tabs = c->kind == ControlKind::QuickTab && !IsTitleBar(*c);
  if (!list && !tabs)
    return Refuse(Describe(*c) +
                  " has no entries to choose; Choose takes a combo box, radio "
                  "group or tab row");
  if (!HasEntry(*c, entry)) return Refuse(Describe(*c) + " has no entry " + std::to_string(entry));
  if (list) {
    c->valueKind = ValueKind::Int;
    c->intValue = entry;
  } else {
    c->selectedTabs.assign(1, entry);
  }
  Send(host, dlg, id);
  return Done();
}

ActionResult Type(Host& host, GeDialog& dlg, Int32 id, const String& text) {
  DialogControl* c = nullptr;
  if (ActionResult r = Reach(host, dlg, id, &c); !r) return r;
  if (c->kind != ControlKind::NumberField && c->kind != ControlKind::Slider &&
      c->kind != ControlKind::EditText && c->kind != ControlKind::MultiLineText)
    return Refuse(Describe(*c) + " takes no typing");

  String why, warning;
  Float v = 0.0;
  switch (c->valueKind) {
    case ValueKind::String:
      if (c->kind != ControlKind::MultiLineText && text.find('\n') != String::npos)
        return Refuse(Describe(*c) + " is a single-line field");
      c->text = text;
      break;
    case ValueKind::Int:
      if (!ParseNumber(text, String(), v, why)) return Refuse(Describe(*c) + ": " + why);
      if (v != std::floor(v))
        return Refuse(Describe(*c) + ": not a whole number: \"" + text + "\"");
      c->intValue =
          static_cast<Int32>(std::clamp(Clamp(*c, v), Float(LIMIT_MIN), Float(LIMIT_MAX)));
      warning = ClampWarning(v, c->intValue, 1.0);
      break;
    case ValueKind::Float:
      if (!ParseNumber(text, String(), v, why)) return Refuse(Describe(*c) + ": " + why);
      c->floatValue = Clamp(*c, v);
      warning = ClampWarning(v, c->floatValue, 1.0);
      break;
    case ValueKind::Percent:
      if (!ParseNumber(text, "%", v, why)) return Refuse(Describe(*c) + ": " + why);
      c->floatValue = Clamp(*c, v / 100.0);
      warning = ClampWarning(v, c->floatValue, 100.0);
      break;
    case ValueKind::Degree:
      if (!ParseNumber(text, "\xC2\xB0", v, why)) return Refuse(Describe(*c) + ": " + why);
      c->floatValue = Clamp(*c, v * PI / 180.0);
      warning = ClampWarning(v, c->floatValue, 180.0 / PI);
      break;
    case ValueKind::None:
    case ValueKind::Bool:
      return Refuse(Describe(*c) + " holds no number or text");
  }
  Send(host, dlg, id);
  ActionResult done = Done();
  done.warning = warning;
  return done;
}

ActionResult CloseWindow(Host& host, GeDialog& dlg) {
  if (!host.FindWindow(&dlg)) return Refuse("the dialog is not open");
  if (!host.UserClose(&dlg)) return Refuse("the dialog refused to close (AskClose)");
  host.RunTimers();
  return Done();
}

}  // namespace hostrt
