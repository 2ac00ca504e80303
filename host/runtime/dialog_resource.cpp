#include "runtime/dialog_resource.h"

#include <charconv>
#include <string_view>

#include "c4d_customgui.h"

namespace hostrt {

namespace {

struct NamedValue {
  std::string_view name;
  Int32 value;
};

// Layout flags by their resource names; several statements combine by OR.
constexpr NamedValue kFlags[] = {
    {"ALIGN_LEFT", BFH_LEFT}, {"ALIGN_RIGHT", BFH_RIGHT},   {"CENTER_H", BFH_CENTER},
    {"FIT_H", BFH_FIT},       {"SCALE_H", BFH_SCALE},       {"SCALEFIT_H", BFH_SCALEFIT},
    {"ALIGN_TOP", BFV_TOP},   {"ALIGN_BOTTOM", BFV_BOTTOM}, {"CENTER_V", BFV_CENTER},
    {"FIT_V", BFV_FIT},       {"SCALE_V", BFV_SCALE},       {"SCALEFIT_V", BFV_SCALEFIT},
};

constexpr NamedValue kBorders[] = {{"BORDER_NONE", BORDER_NONE},
                                   {"BORDER_GROUP_IN", BORDER_GROUP_IN}};

const NamedValue* FindNamed(std::string_view name, const auto& table) {
  for (const NamedValue& f : table)
    if (f.name == name) return &f;
  return nullptr;
}

// Properties a statement's block may hold.
enum Prop : unsigned {
  P_NAME = 1u << 0,
  P_SIZE = 1u << 1,
  P_COLUMNS = 1u << 2,
  P_ROWS = 1u << 3,
  P_BORDERSTYLE = 1u << 4,
  P_BORDERSIZE = 1u << 5,
  P_SPACE = 1u << 6,
  P_VERTICAL = 1u << 7,
  P_SUBGROUP = 1u << 8,
  P_CHILDS = 1u << 9,
  P_RADIOGADGET = 1u << 10,
  P_FLAGS = 1u << 11,
  P_CONTENT = 1u << 12,  // controls and nested groups
};

constexpr NamedValue kProps[] = {
    {"NAME", P_NAME},
    {"SIZE", P_SIZE},
    {"COLUMNS", P_COLUMNS},
    {"ROWS", P_ROWS},
    {"BORDERSTYLE", P_BORDERSTYLE},
    {"BORDERSIZE", P_BORDERSIZE},
    {"SPACE", P_SPACE},
    {"VERTICAL", P_VERTICAL},
    {"SUBGROUP", P_SUBGROUP},
    {"CHILDS", P_CHILDS},
    {"RADIOGADGET", P_RADIOGADGET},
};

enum class IdRule { None, Optional, Required };

struct ControlRule {
  std::string_view keyword;
  IdRule id;
  unsigned props;
};

constexpr unsigned kField = P_SIZE | P_FLAGS;
constexpr ControlRule kControls[] = {
    {"GROUP", IdRule::Optional,
     P_NAME | P_COLUMNS | P_ROWS | P_BORDERSTYLE | P_BORDERSIZE | P_SPACE | P_FLAGS | P_CONTENT},
    {"BUTTON", IdRule::Required, P_NAME | kField},
    {"CHECKBOX", IdRule::Required, P_NAME | kField},
    {"STATICTEXT", IdRule::Optional, P_NAME | P_BORDERSTYLE | kField},
    {"EDITNUMBER", IdRule::Required, kField},
    {"EDITNUMBERARROWS", IdRule::Required, kField},
    {"EDITSLIDER", IdRule::Required, kField},
    {"EDITTEXT", IdRule::Required, kField},
    {"MULTILINEEDITTEXT", IdRule::Required, kField},
    {"COMBOBOX", IdRule::Required, P_CHILDS | kField},
    {"RADIOGROUP", IdRule::Required, P_COLUMNS | P_RADIOGADGET | P_FLAGS},
    {"SEPARATOR", IdRule::None, P_VERTICAL | kField},
    {"BAR", IdRule::Required, P_NAME | P_SUBGROUP | kField},
};

const ControlRule* FindControl(std::string_view keyword) {
  for (const ControlRule& r : kControls)
    if (r.keyword == keyword) return &r;
  return nullptr;
}

bool ParseInt(const String& s, Int32& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e;
}

// What a statement's block said.
struct Props {
  Int32 flags = 0;
  bool hasFlags = false;
  Int32 w = 0, h = 0;
  String name;
  Int32 columns = 1, rows = 0;
  Int32 border = 0;
  bool hasBorder = false;
  Int32 borderSize[4] = {0, 0, 0, 0};
  bool hasBorderSize = false;
  Int32 spaceX = 0, spaceY = 0;
  bool hasSpace = false;
  bool vertical = false;
  bool subgroup = false;
  const ResNode* childs = nullptr;
  std::vector<const ResNode*> gadgets;  // RADIOGADGET statements
  std::vector<const ResNode*> content;  // nested controls, in order
};

class Builder {
 public:
  Builder(GeDialog& dlg, const GeResource& res, const String& dialogName, const String& where)
      : dlg_(dlg), res_(res), dialogName_(dialogName), where_(where) {}

  bool Dialog(const ResNode& d) {
    Props p;
    return ReadProps(d, P_CONTENT, p) && Content(p.content);
  }

  const String& Error() const { return error_; }

 private:
  bool Fail(const ResNode& n, const String& msg) {
    if (error_.empty()) error_ = where_ + ":" + std::to_string(n.line) + ": " + msg;
    return false;
  }

  // A symbol of c4d_symbols.h. GetSymbol answers a fallback for a missing name, so asking with
  // two different fallbacks tells a missing name from one whose value equals a fallback.
  bool Symbol(const String& name, Int32& out) const {
    out = res_.GetSymbol(name, -1);
    return out != -1 || res_.GetSymbol(name, -2) == -1;
  }

  bool Id(const ResNode& n, const ResToken& t, Int32& out) {
    if (t.kind == ResToken::Number) {
      if (ParseInt(t.text, out)) return true;
      return Fail(n, "bad identifier " + t.text);
    }
    if (t.kind == ResToken::Word) {
      if (Symbol(t.text, out)) return true;
      return Fail(n, "unknown symbol " + t.text);
    }
    return Fail(n, "expected an identifier, not the text \"" + t.text + "\"");
  }

  // A quoted text, or a symbol: the dialog's own string table first, then the global one.
  bool Text(const ResNode& n, const ResToken& t, String& out) {
    if (t.kind == ResToken::Text) {
      out = t.text;
      return true;
    }
    if (t.kind == ResToken::Word) {
      out = res_.LoadDialogString(dialogName_, t.text);
      if (!out.empty()) return true;
      Int32 sid;
      if (Symbol(t.text, sid) && res_.HasString(sid)) {
        out = res_.LoadString(sid);
        return true;
      }
      return Fail(n, "unknown text " + t.text + " (neither in the strings of " + dialogName_ +
                         " nor in the string table)");
    }
    return Fail(n, "expected a text, not the number " + t.text);
  }

  bool Ints(const ResNode& n, size_t count, Int32* out) {
    if (n.args.size() != count || n.hasBlock)
      return Fail(
          n, n.keyword + " takes " + std::to_string(count) + (count == 1 ? " number" : " numbers"));
    for (size_t i = 0; i < count; ++i) {
      if (n.args[i].kind != ResToken::Number || !ParseInt(n.args[i].text, out[i]))
        return Fail(n, n.keyword + ": expected a whole number, not " + n.args[i].text);
    }
    return true;
  }

  bool NoArgs(const ResNode& n) {
    if (!n.args.empty() || n.hasBlock) return Fail(n, n.keyword + " takes no arguments");
    return true;
  }

  bool ReadProps(const ResNode& owner, unsigned allowed, Props& p) {
    for (const ResNode& n : owner.children) {
      if (const NamedValue* f = FindNamed(n.keyword, kFlags)) {
        if (!(allowed & P_FLAGS)) return Fail(n, n.keyword + " is not allowed in " + owner.keyword);
        if (!NoArgs(n)) return false;
        p.flags |= f->value;
        p.hasFlags = true;
        continue;
      }
      if (FindControl(n.keyword)) {
        if (!(allowed & P_CONTENT))
          return Fail(n, n.keyword + " is not allowed in " + owner.keyword);
        p.content.push_back(&n);
        continue;
      }
      const NamedValue* prop = FindNamed(n.keyword, kProps);
      if (!prop) return Fail(n, "unknown keyword " + n.keyword);
      if (!(allowed & unsigned(prop->value)))
        return Fail(n, n.keyword + " is not allowed in " + owner.keyword);
      switch (prop->value) {
        case P_NAME:
          if (n.args.size() != 1 || n.hasBlock) return Fail(n, "NAME takes one text");
          if (!Text(n, n.args[0], p.name)) return false;
          break;
        case P_SIZE: {
          Int32 v[2];
          if (!Ints(n, 2, v)) return false;
          p.w = v[0];
          p.h = v[1];
          break;
        }
        case P_COLUMNS:
          if (!Ints(n, 1, &p.columns)) return false;
          if (p.columns < 1) return Fail(n, "COLUMNS must be at least 1");
          break;
        case P_ROWS:
          if (!Ints(n, 1, &p.rows)) return false;
          if (p.rows < 0) return Fail(n, "ROWS must not be negative");
          break;
        case P_BORDERSTYLE:
          if (n.args.size() == 1 && n.args[0].kind == ResToken::Word && !n.hasBlock) {
            const NamedValue* b = FindNamed(n.args[0].text, kBorders);
            if (!b) return Fail(n, "unknown border style " + n.args[0].text);
            p.border = b->value;
          } else if (!Ints(n, 1, &p.border)) {
            return false;
          }
          p.hasBorder = true;
          break;
        case P_BORDERSIZE:
          if (!Ints(n, 4, p.borderSize)) return false;
          p.hasBorderSize = true;
          break;
        case P_SPACE: {
          Int32 v[2];
          if (!Ints(n, 2, v)) return false;
          p.spaceX = v[0];
          p.spaceY = v[1];
          p.hasSpace = true;
          break;
        }
        case P_VERTICAL:
          if (!NoArgs(n)) return false;
          p.vertical = true;
          break;
        case P_SUBGROUP:
          if (!NoArgs(n)) return false;
          p.subgroup = true;
          break;
        case P_CHILDS:
          if (!n.args.empty() || !n.hasBlock) return Fail(n, "CHILDS takes a block of entries");
          if (p.childs) return Fail(n, "CHILDS given twice");
          p.childs = &n;
          break;
        case P_RADIOGADGET:
          p.gadgets.push_back(&n);
          break;
        default:
          return Fail(n, "unknown keyword " + n.keyword);
      }
    }
    return true;
  }

  bool Content(const std::vector<const ResNode*>& statements) {
    for (const ResNode* n : statements)
      if (!Control(*n)) return false;
    return true;
  }

  bool Refused(const ResNode& n) { return Fail(n, "the dialog refused " + n.keyword); }

  bool Control(const ResNode& n) {
    const ControlRule* rule = FindControl(n.keyword);
    if (!rule) return Fail(n, "unknown keyword " + n.keyword);
    Int32 id = 0;
    switch (rule->id) {
      case IdRule::None:
        if (!n.args.empty()) return Fail(n, n.keyword + " takes no identifier");
        break;
      case IdRule::Optional:
        if (n.args.size() > 1) return Fail(n, n.keyword + " takes at most one identifier");
        if (n.args.size() == 1 && !Id(n, n.args[0], id)) return false;
        break;
      case IdRule::Required:
        if (n.args.size() != 1) return Fail(n, n.keyword + " takes one identifier");
        if (!Id(n, n.args[0], id)) return false;
        break;
    }
    Props p;
    if (!ReadProps(n, rule->props, p)) return false;

    const std::string_view kw = n.keyword;
    if (kw == "GROUP") {
      if (!dlg_.GroupBegin(id, p.flags, p.columns, p.rows, p.name, 0)) return Refused(n);
      bool ok = (!p.hasBorder || dlg_.GroupBorder(p.border)) &&
                (!p.hasBorderSize || dlg_.GroupBorderSpace(p.borderSize[0], p.borderSize[1],
                                                           p.borderSize[2], p.borderSize[3])) &&
                (!p.hasSpace || dlg_.GroupSpace(p.spaceX, p.spaceY));
      if (!ok) Refused(n);
      ok = ok && Content(p.content);
      // Closed even after a failure, so the groups of the dialog stay balanced.
      dlg_.GroupEnd();
      return ok;
    }
    bool ok = true;
    if (kw == "BUTTON") {
      ok = dlg_.AddButton(id, p.flags, p.w, p.h, p.name);
    } else if (kw == "CHECKBOX") {
      ok = dlg_.AddCheckbox(id, p.flags, p.w, p.h, p.name);
    } else if (kw == "STATICTEXT") {
      ok = dlg_.AddStaticText(id, p.flags, p.w, p.h, p.name, p.border);
    } else if (kw == "EDITNUMBER" || kw == "EDITNUMBERARROWS") {
      ok = dlg_.AddEditNumberArrows(id, p.flags, p.w, p.h);
    } else if (kw == "EDITSLIDER") {
      ok = dlg_.AddEditSlider(id, p.flags, p.w, p.h);
    } else if (kw == "EDITTEXT") {
      ok = dlg_.AddEditText(id, p.flags, p.w, p.h);
    } else if (kw == "MULTILINEEDITTEXT") {
      ok = dlg_.AddMultiLineEditText(id, p.flags, p.w, p.h, 0);
    } else if (kw == "COMBOBOX") {
      if (id == 0) return Fail(n, "COMBOBOX needs an identifier other than 0");
      if (!dlg_.AddComboBox(id, p.flags, p.w, p.h)) return Refused(n);
      return !p.childs || ComboEntries(id, *p.childs);
    } else if (kw == "RADIOGROUP") {
      if (id == 0) return Fail(n, "RADIOGROUP needs an identifier other than 0");
      if (!dlg_.AddRadioGroup(id, p.flags, p.columns, 0)) return Refused(n);
      for (const ResNode* g : p.gadgets)
        if (!RadioGadget(id, *g)) return false;
      return true;
    } else if (kw == "SEPARATOR") {
      ok = p.vertical ? dlg_.AddSeparatorV(p.h, p.hasFlags ? p.flags : BFV_FIT)
                      : dlg_.AddSeparatorH(p.w, p.hasFlags ? p.flags : BFH_FIT);
    } else if (kw == "BAR") {
      BaseContainer bc;
      bc.SetBool(QUICKTAB_BAR, true);
      bc.SetString(QUICKTAB_BARTITLE, p.name);
      bc.SetBool(QUICKTAB_BARSUBGROUP, p.subgroup);
      ok = dlg_.AddCustomGui(id, CUSTOMGUI_QUICKTAB, p.name, p.flags, p.w, p.h, bc) != nullptr;
    }
    return ok || Refused(n);
  }

  // CHILDS { SUBID, text; ... }: each statement's keyword is the entry's identifier.
  bool ComboEntries(Int32 id, const ResNode& childs) {
    for (const ResNode& e : childs.children) {
      Int32 sub;
      if (!ParseInt(e.keyword, sub) && !Symbol(e.keyword, sub))
        return Fail(e, "unknown symbol " + e.keyword);
      if (e.args.size() != 1 || e.hasBlock) return Fail(e, "expected SUBID, text;");
      String label;
      if (!Text(e, e.args[0], label)) return false;
      if (!dlg_.AddChild(id, sub, label)) return Refused(e);
    }
    return true;
  }

  bool RadioGadget(Int32 id, const ResNode& g) {
    if (g.args.size() != 1) return Fail(g, "RADIOGADGET takes one identifier");
    Int32 sub;
    if (!Id(g, g.args[0], sub)) return false;
    Props p;
    if (!ReadProps(g, P_NAME, p)) return false;
    if (!dlg_.AddChild(id, sub, p.name)) return Refused(g);
    return true;
  }

  GeDialog& dlg_;
  const GeResource& res_;
  String dialogName_;
  String where_;
  String error_;
};

}  // namespace

bool BuildDialogResource(GeDialog& dlg, const GeResource& res, Int32 id, String* error) {
  String name;
  const ResNode* d = res.GetDialog(id, &name);
  if (!d) {
    if (error)
      *error =
          "no dialog layout " + std::to_string(id) + " in " + res.GetResourcePath().GetString();
    return false;
  }
  // Layouts live one per file, named after the dialog; name the file when it is there.
  const Filename file = res.GetResourcePath() + "dialogs" + (name + ".res");
  Builder b(dlg, res, name, GeFExist(file) ? file.GetString() : String("DIALOG " + name));
  if (b.Dialog(*d)) return true;
  if (error) *error = b.Error();
  return false;
}

}  // namespace hostrt
