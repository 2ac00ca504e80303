#include "controls.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <set>

#include "c4d_customgui.h"
#include "c4d_gui.h"
#include "runtime/dialog_driver.h"
#include "runtime/dialog_view.h"
#include "runtime/module_loader.h"
#include "runtime/resource_file.h"
#include "words.h"

namespace fs = std::filesystem;

namespace pelterra {

namespace {

bool IsTitleBar(const hostrt::DialogControl& c) {
  return c.kind == hostrt::ControlKind::QuickTab && c.settings.GetBool(QUICKTAB_BAR);
}

bool IsTabRow(const hostrt::DialogControl& c) {
  return c.kind == hostrt::ControlKind::QuickTab && !c.settings.GetBool(QUICKTAB_BAR);
}

bool Fits(const hostrt::DialogControl& c, ControlUse use) {
  using hostrt::ControlKind;
  switch (use) {
    case ControlUse::kClick:
      return c.kind == ControlKind::Button || c.kind == ControlKind::BitmapButton || IsTitleBar(c);
    case ControlUse::kTick:
      return c.kind == ControlKind::Checkbox;
    case ControlUse::kChoose:
      return c.kind == ControlKind::ComboBox || c.kind == ControlKind::RadioGroup || IsTabRow(c);
    case ControlUse::kType:
      return c.kind == ControlKind::NumberField || c.kind == ControlKind::Slider ||
             c.kind == ControlKind::EditText || c.kind == ControlKind::MultiLineText;
    case ControlUse::kAny:
      return true;
  }
  return true;
}

const char* UseText(ControlUse use) {
  switch (use) {
    case ControlUse::kClick:
      return " that can be clicked";
    case ControlUse::kTick:
      return " that is a checkbox";
    case ControlUse::kChoose:
      return " with entries to choose";
    case ControlUse::kType:
      return " to type into";
    case ControlUse::kAny:
      break;
  }
  return "";
}

void Walk(const hostrt::DialogControl& c,
          const std::function<void(const hostrt::DialogControl&)>& f) {
  for (const auto& ch : c.children) {
    f(*ch);
    Walk(*ch, f);
  }
}

void WalkMenu(const std::vector<hostrt::MenuItem>& items,
              const std::function<void(const hostrt::MenuItem&)>& f) {
  for (const hostrt::MenuItem& m : items) {
    if (m.id != 0 && m.children.empty()) f(m);
    WalkMenu(m.children, f);
  }
}

std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

std::string Join(const std::vector<Int32>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i)
    out += (i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ") + std::to_string(ids[i]);
  return out;
}

bool NameRef(const Symbols* symbols, const std::string& name, Int32& id, std::string& error) {
  if (symbols)
    if (auto v = symbols->Find(name)) {
      id = *v;
      return true;
    }
  error = "unknown name " + name;
  if (!symbols) return false;
  const std::string near = symbols->Nearest(name);
  if (!near.empty()) error += " (did you mean " + near + "?)";
  error += "; put a label in quotes";
  return false;
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

std::shared_ptr<const Symbols> Symbols::FromPluginFolder(const std::string& pluginFolder) {
  auto s = std::make_shared<Symbols>();
  for (const String& module : hostrt::FindModules(pluginFolder)) {
    String text;
    const String header = (fs::path(module).parent_path() / "res" / "c4d_symbols.h").string();
    if (!hostrt::ReadTextFile(header, text)) continue;
    hostrt::ResError err;
    if (auto syms = hostrt::ParseSymbols(text, header, err)) s->Add(*syms);
  }
  return s;
}

std::shared_ptr<const Symbols> Symbols::FromText(const std::string& text) {
  auto s = std::make_shared<Symbols>();
  hostrt::ResError err;
  if (auto syms = hostrt::ParseSymbols(text, "c4d_symbols.h", err)) s->Add(*syms);
  return s;
}

void Symbols::Add(const std::map<String, Int32>& symbols) {
  for (const auto& [name, id] : symbols)
    if (byName_.emplace(name, id).second) byId_.emplace(id, name);
}

std::optional<Int32> Symbols::Find(const std::string& name) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return std::nullopt;
  return it->second;
}

std::string Symbols::NameOf(Int32 id) const {
  std::string other;
  auto [lo, hi] = byId_.equal_range(id);
  for (auto it = lo; it != hi; ++it) {
    const std::string& n = it->second;
    if (n.starts_with("IDC_")) return n;
    if (other.empty() && !n.starts_with("IDS_") && !n.starts_with("DLG_") && !n.starts_with("_"))
      other = n;
  }
  return other;
}

std::string Symbols::Nearest(const std::string& name) const {
  std::string best;
  size_t bestDistance = std::max<size_t>(2, name.size() / 4) + 1;
  for (const auto& [n, id] : byName_) {
    const size_t d = EditDistance(name, n);
    if (d < bestDistance) {
      bestDistance = d;
      best = n;
    }
  }
  return best;
}

bool CheckControlRef(const Symbols* symbols, const ControlRef& ref, std::string& error) {
  Int32 id = 0;
  if (ref.quoted || ToInt(ref.text, id)) return true;
  return NameRef(symbols, ref.text, id, error);
}

bool ResolveControl(const GeDialog& dlg, const Symbols* symbols, const ControlRef& ref,
                    ControlUse use, Int32& id, std::string& error) {
  if (!ref.quoted) {
    if (ToInt(ref.text, id)) return true;
    return NameRef(symbols, ref.text, id, error);
  }
  const hostrt::DialogModel* model = dlg.GetModel();
  if (!model) {
    error = "the dialog is not open";
    return false;
  }
  std::vector<Int32> found;
  auto add = [&](Int32 match) {
    if (match != 0 && std::find(found.begin(), found.end(), match) == found.end())
      found.push_back(match);
  };
  Walk(model->root, [&](const hostrt::DialogControl& c) {
    if (c.title == ref.text && Fits(c, use)) add(c.id);
  });
  if (use == ControlUse::kClick || use == ControlUse::kAny)
    WalkMenu(model->menu, [&](const hostrt::MenuItem& m) {
      if (m.label == ref.text) add(m.id);
    });
  if (found.size() == 1) {
    id = found[0];
    return true;
  }
  if (found.empty())
    error = "no control labelled " + Quote(ref.text) + UseText(use);
  else
    error = "the label " + Quote(ref.text) + " is ambiguous: controls " + Join(found) +
            " have it; use an identifier or a name";
  return false;
}

bool ResolveEntry(const hostrt::DialogControl& control, const Symbols* symbols,
                  const ControlRef& ref, Int32& entry, std::string& error) {
  if (!ref.quoted) {
    if (ToInt(ref.text, entry)) return true;
    return NameRef(symbols, ref.text, entry, error);
  }
  std::vector<Int32> found;
  for (const auto& [id, label] : control.entries)
    if (label == ref.text) found.push_back(id);
  if (found.size() == 1) {
    entry = found[0];
    return true;
  }
  const std::string what = std::to_string(control.id);
  if (found.empty())
    error = "control " + what + " has no entry labelled " + Quote(ref.text);
  else
    error = "the entry label " + Quote(ref.text) + " of control " + what +
            " is ambiguous: entries " + Join(found) + " have it";
  return false;
}

void ListControls(hostrt::Host& host, GeDialog& dlg, const Symbols* symbols, std::ostream& out) {
  hostrt::DialogModel* model = dlg.GetModel();
  if (!model) return;

  // Under which tabs each control shows: choose every tab of every tab row in turn.
  std::vector<std::pair<Int32, std::string>> tabs;  // tab identifier and label
  std::map<const hostrt::DialogControl*, std::set<size_t>> shownUnder;
  std::vector<const hostrt::DialogControl*> rows;
  Walk(model->root, [&](const hostrt::DialogControl& c) {
    if (IsTabRow(c) && c.id != 0 && !c.entries.empty()) rows.push_back(&c);
  });
  for (const hostrt::DialogControl* row : rows) {
    const Int32 rowId = row->id;
    const std::vector<Int32> before = row->selectedTabs;
    const std::vector<std::pair<Int32, String>> entries = row->entries;
    for (const auto& [tab, label] : entries) {
      if (!hostrt::Choose(host, dlg, rowId, tab)) continue;
      tabs.emplace_back(tab, label);
      Walk(dlg.GetModel()->root, [&](const hostrt::DialogControl& c) {
        if (c.IsVisible()) shownUnder[&c].insert(tabs.size() - 1);
      });
    }
    if (!before.empty()) hostrt::Choose(host, dlg, rowId, before.front());
  }
  model = dlg.GetModel();
  auto tabOf = [&](const hostrt::DialogControl& c) -> std::string {
    if (tabs.empty()) return "";
    for (const hostrt::DialogControl* p = &c; p; p = p->parent) {
      auto it = shownUnder.find(p);
      if (it == shownUnder.end() || it->second.empty()) continue;
      if (it->second.size() == tabs.size()) return "";
      std::string t;
      for (size_t i : it->second)
        t += (t.empty() ? "" : ", ") + std::to_string(tabs[i].first) + " " + Quote(tabs[i].second);
      return t;
    }
    return "";
  };
  auto rangeOf = [](const hostrt::DialogControl& c) -> std::string {
    if (!c.entries.empty() && !IsTitleBar(c)) {
      std::string r;
      for (const auto& [id, label] : c.entries)
        r += (r.empty() ? "" : ", ") + std::to_string(id) + " " + Quote(label);
      return r;
    }
    // The view's rendering has the range in the units the field shows.
    const std::string line = hostrt::RenderControl(c);
    const size_t at = line.find(" range ");
    if (at == std::string::npos) return "";
    const size_t end = line.find(' ', at + 7);
    return line.substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7);
  };

  // Columns: identifier, name, kind, tab, label, then the range or entries, which may be long.
  std::vector<std::array<std::string, 6>> table{{"ID", "NAME", "KIND", "TAB", "LABEL", "RANGE"}};
  auto name = [&](Int32 id) {
    const std::string n = symbols ? symbols->NameOf(id) : std::string();
    return n.empty() ? std::string("-") : n;
  };
  WalkMenu(model->menu, [&](const hostrt::MenuItem& m) {
    table.push_back({std::to_string(m.id), name(m.id), "menu entry", "-", Quote(m.label), ""});
  });
  Walk(model->root, [&](const hostrt::DialogControl& c) {
    if (c.id == 0) return;
    const std::string kind = IsTitleBar(c) ? "title bar"
                             : IsTabRow(c) ? "tab row"
                                           : hostrt::ControlKindName(c.kind);
    const std::string tab = tabOf(c);
    table.push_back({std::to_string(c.id), name(c.id), kind, tab.empty() ? "-" : tab,
                     c.title.empty() ? std::string("-") : Quote(c.title), rangeOf(c)});
  });
  std::array<size_t, 6> width{};
  for (const auto& r : table)
    for (size_t i = 0; i < 6; ++i) width[i] = std::max(width[i], r[i].size());
  for (const auto& r : table) {
    std::string line;
    for (size_t i = 0; i < 6; ++i) {
      line += r[i];
      if (i + 1 < 6) line += std::string(width[i] - r[i].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  }
}

}  // namespace pelterra
