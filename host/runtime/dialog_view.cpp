#include "runtime/dialog_view.h"

#include <charconv>
#include <cmath>

#include "c4d_customgui.h"

namespace hostrt {

namespace {

const char* const kDegreeSign = "\xC2\xB0";

String Quote(const String& s) {
  String out = "\"";
  for (char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
        break;
    }
  }
  return out + "\"";
}

// Stored value to what the field shows: degrees from radians, percent from fractions. Rounded
// to 1e-9 so that conversions print 30 and not 29.999999999999996.
Float UserUnits(Float v, ValueKind k) {
  if (k == ValueKind::Degree)
    v = v * 180.0 / PI;
  else if (k == ValueKind::Percent)
    v = v * 100.0;
  else
    return v;
  return std::round(v * 1e9) / 1e9;
}

String Suffix(ValueKind k) {
  if (k == ValueKind::Degree) return kDegreeSign;
  if (k == ValueKind::Percent) return "%";
  return String();
}

String ShowFloat(Float v, ValueKind k) {
  return FormatNumber(UserUnits(v, k)) + Suffix(k);
}

bool IsNumberKind(ValueKind k) {
  return k == ValueKind::Int || k == ValueKind::Float || k == ValueKind::Percent ||
         k == ValueKind::Degree;
}

// A range counts as set when it is not empty and not the host's "no limit" default.
bool HasRange(const DialogControl& c) {
  if (!(c.min < c.max)) return false;
  if (c.valueKind == ValueKind::Int) return !(c.min <= LIMIT_MIN && c.max >= LIMIT_MAX);
  return !(c.min <= -1e18 && c.max >= 1e18);
}

const String* EntryLabel(const DialogControl& c, Int32 id) {
  for (const auto& [eid, label] : c.entries)
    if (eid == id) return &label;
  return nullptr;
}

bool TabSelected(const DialogControl& c, Int32 id) {
  for (Int32 s : c.selectedTabs)
    if (s == id) return true;
  return false;
}

void RenderValue(const DialogControl& c, String& out) {
  switch (c.valueKind) {
    case ValueKind::None:
      return;
    case ValueKind::Bool:
      out += c.intValue ? " = on" : " = off";
      return;
    case ValueKind::Int:
      out += " = " + std::to_string(c.intValue);
      if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::RadioGroup) {
        const String* label = EntryLabel(c, c.intValue);
        out += label ? " " + Quote(*label) : String(" (no entry)");
      }
      return;
    case ValueKind::Float:
    case ValueKind::Percent:
    case ValueKind::Degree:
      out += " = " + ShowFloat(c.floatValue, c.valueKind);
      return;
    case ValueKind::String:
      out += " = " + Quote(c.text);
      return;
  }
}

void RenderMenu(const std::vector<MenuItem>& items, int depth, String& out) {
  for (const MenuItem& m : items) {
    out += String(size_t(depth) * 2, ' ');
    if (m.id == 0 && !m.children.empty())
      out += "submenu " + Quote(m.label) + "\n";
    else
      out += std::to_string(m.id) + " " + Quote(m.label) + "\n";
    RenderMenu(m.children, depth + 1, out);
  }
}

void RenderTree(const DialogControl& c, int depth, String& out) {
  for (const auto& ch : c.children) {
    out += String(size_t(depth) * 2, ' ') + RenderControl(*ch) + "\n";
    RenderTree(*ch, depth + 1, out);
  }
}

}  // namespace

String FormatNumber(Float v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0.0) return "0";  // also -0
  char buf[64];
  const Float a = std::fabs(v);
  auto r = a >= 1e-6 && a < 1e15 ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                                 : std::to_chars(buf, buf + sizeof buf, v);
  return String(buf, r.ptr);
}

String RenderControl(const DialogControl& c) {
  String out = c.id ? std::to_string(c.id) : String("-");
  out += " ";
  out += ControlKindName(c.kind);
  if (!c.title.empty()) out += " " + Quote(c.title);

  switch (c.kind) {
    case ControlKind::Group:
    case ControlKind::RadioGroup:
      if (c.columns > 1) out += " columns " + std::to_string(c.columns);
      if (c.rows > 0) out += " rows " + std::to_string(c.rows);
      break;
    case ControlKind::Separator:
      if (c.vertical) out += " vertical";
      break;
    case ControlKind::QuickTab:
      if (c.settings.GetBool(QUICKTAB_BAR)) {
        out += " bar";
        if (!c.entries.empty()) out += c.selectedTabs.empty() ? " folded" : " open";
      } else {
        out += " tabs:";
        bool first = true;
        for (const auto& [id, label] : c.entries) {
          out += first ? " " : ", ";
          first = false;
          out += std::to_string(id) + " " + Quote(label) + (TabSelected(c, id) ? "*" : "");
        }
      }
      break;
    case ControlKind::BitmapButton:
      if (!c.imageName.empty())
        out += " icon " + Quote(c.imageName) + (c.image ? "" : " (missing)");
      else if (c.image)
        out += " icon";
      break;
    default:
      break;
  }

  RenderValue(c, out);
  if (IsNumberKind(c.valueKind) && HasRange(c)) {
    if (c.valueKind == ValueKind::Int)
      out += " range " + FormatNumber(c.min) + ".." + FormatNumber(c.max);
    else
      out += " range " + ShowFloat(c.min, c.valueKind) + ".." + ShowFloat(c.max, c.valueKind);
  }
  if (!c.enabled) out += " disabled";
  if (c.hidden) out += " hidden";
  return out;
}

String ValueText(const DialogControl& c) {
  if (c.kind == ControlKind::QuickTab) {
    if (c.settings.GetBool(QUICKTAB_BAR))
      return c.entries.empty() ? String() : c.selectedTabs.empty() ? "folded" : "open";
    String out;
    for (const auto& [id, label] : c.entries)
      if (TabSelected(c, id))
        out += (out.empty() ? "" : ", ") + std::to_string(id) + " " + Quote(label);
    return out;
  }
  String out;
  RenderValue(c, out);
  return out.size() > 3 ? out.substr(3) : String();
}

String RenderDialog(const GeDialog& dlg) {
  String out = "dialog " + Quote(dlg.GetTitle()) + "\n";
  const DialogModel* m = dlg.GetModel();
  if (!m) return out;
  if (!m->menu.empty()) {
    out += "  menu\n";
    RenderMenu(m->menu, 2, out);
  }
  RenderTree(m->root, 1, out);
  return out;
}

}  // namespace hostrt
