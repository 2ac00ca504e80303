#include "runtime/attributes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_nodedata.h"
#include "runtime/dialog_view.h"

namespace hostrt {

namespace {

DescEntry Entry(Int32 id, Int32 type, const char* ident, const char* label, Float min = NAN,
                Float max = NAN) {
  DescEntry e;
  e.id = id;
  e.type = type;
  e.ident = ident;
  e.props.SetString(DESC_NAME, label);
  e.props.SetString(DESC_IDENT, ident);
  if (!std::isnan(min)) e.props.SetFloat(DESC_MIN, min);
  if (!std::isnan(max)) e.props.SetFloat(DESC_MAX, max);
  return e;
}

// The host's own descriptions of its objects and tags.
std::vector<DescEntry> HostDescription(const BaseList2D* node) {
  std::vector<DescEntry> d;
  if (dynamic_cast<const BaseObject*>(node)) {
    d.push_back(Entry(ID_BASEOBJECT_USECOLOR, DTYPE_LONG, "ID_BASEOBJECT_USECOLOR", "Use Color",
                      ID_BASEOBJECT_USECOLOR_OFF, ID_BASEOBJECT_USECOLOR_LAYER));
    d.push_back(Entry(ID_BASEOBJECT_COLOR, DTYPE_VECTOR, "ID_BASEOBJECT_COLOR", "Display Color"));
    d.push_back(Entry(ID_BASEOBJECT_XRAY, DTYPE_BOOL, "ID_BASEOBJECT_XRAY", "X-Ray"));
    d.push_back(
        Entry(ID_BASEOBJECT_REL_POSITION, DTYPE_VECTOR, "ID_BASEOBJECT_REL_POSITION", "Position"));
    if (node->GetType() == Oplane) {
      d.push_back(Entry(PRIM_PLANE_WIDTH, DTYPE_REAL, "PRIM_PLANE_WIDTH", "Width", 0.0));
      d.push_back(Entry(PRIM_PLANE_HEIGHT, DTYPE_REAL, "PRIM_PLANE_HEIGHT", "Height", 0.0));
      d.push_back(Entry(PRIM_PLANE_SUBW, DTYPE_LONG, "PRIM_PLANE_SUBW", "Width Segments", 1, 1000));
      d.push_back(
          Entry(PRIM_PLANE_SUBH, DTYPE_LONG, "PRIM_PLANE_SUBH", "Height Segments", 1, 1000));
      d.push_back(
          Entry(PRIM_AXIS, DTYPE_LONG, "PRIM_AXIS", "Orientation", PRIM_AXIS_XP, PRIM_AXIS_ZN));
    }
  } else if (node->GetType() == Tdisplay) {
    d.push_back(Entry(DISPLAYTAG_AFFECT_DISPLAYMODE, DTYPE_BOOL, "DISPLAYTAG_AFFECT_DISPLAYMODE",
                      "Use Shading Mode"));
    d.push_back(Entry(DISPLAYTAG_SDISPLAYMODE, DTYPE_LONG, "DISPLAYTAG_SDISPLAYMODE",
                      "Shading Mode", 0, 7));
  }
  return d;
}

bool ToInt(const String& s, Int32& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ToFloat(String s, Float& v) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '(')) s.erase(s.begin());
  while (!s.empty() && (s.back() == ' ' || s.back() == ')')) s.pop_back();
  const char* b = s.data();
  if (!s.empty() && *b == '+') ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return b != s.data() + s.size() && r.ec == std::errc() && r.ptr == s.data() + s.size() &&
         std::isfinite(v);
}

}  // namespace

bool AttributeView(BaseList2D* node, std::vector<AttributeRow>& rows, String& error) {
  rows.clear();
  if (!node) {
    error = "no such node";
    return false;
  }
  std::vector<DescEntry> entries;
  NodeData* data = node->GetNodeData();
  if (data) {
    auto desc = std::make_unique<Description>();
    DESCFLAGS_DESC flags = DESCFLAGS_DESC_0;
    if (!data->GetDDescription(node, desc.get(), flags)) {
      error = "the description of " +
              (node->GetName().empty() ? String("the node") : node->GetName()) +
              " could not be loaded";
      return false;
    }
    entries = desc->GetEntries();
  } else {
    entries = HostDescription(node);
  }
  for (const DescEntry& e : entries) {
    if (e.id == 0 || e.type == DTYPE_GROUP || e.type == DTYPE_SEPARATOR) continue;
    if (e.props.GetInt32(DESC_HIDE) != 0) continue;
    AttributeRow r;
    r.id = e.id;
    r.type = e.type;
    r.ident = e.ident;
    r.label = e.props.GetString(DESC_NAME, e.ident);
    r.props = e.props;
    if (!node->GetParameter(e.id, r.value) && e.props.GetDataPointer(DESC_DEFAULT))
      r.value = e.props.GetData(DESC_DEFAULT);
    if (data) r.enabled = data->GetDEnabling(node, e.id, r.value, 0, &e.props);
    rows.push_back(std::move(r));
  }
  return true;
}

String AttributeText(const AttributeRow& row, const BaseDocument* doc) {
  const GeData& v = row.value;
  switch (row.type) {
    case DTYPE_LONG:
      return std::to_string(v.GetInt32());
    case DTYPE_REAL:
      return FormatNumber(v.GetFloat());
    case DTYPE_BOOL:
      return v.GetBool() ? "on" : "off";
    case DTYPE_VECTOR: {
      const Vector p = v.GetVector();
      return "(" + FormatNumber(p.x) + ", " + FormatNumber(p.y) + ", " + FormatNumber(p.z) + ")";
    }
    case DTYPE_BASELISTLINK: {
      const BaseList2D* n = v.GetLink(doc);
      return n ? "\"" + n->GetName() + "\"" : String("none");
    }
    case DTYPE_STRING:
      return "\"" + v.GetString() + "\"";
    default:
      return String();
  }
}

bool SetAttribute(BaseDocument* doc, BaseList2D* node, Int32 id, const String& text, String& error,
                  String* warning) {
  std::vector<AttributeRow> rows;
  if (!AttributeView(node, rows, error)) return false;
  auto row =
      std::find_if(rows.begin(), rows.end(), [&](const AttributeRow& r) { return r.id == id; });
  if (row == rows.end()) {
    error = "parameter " + std::to_string(id) + " is not shown in the attribute view";
    return false;
  }
  if (!row->enabled) {
    error = "parameter " + std::to_string(id) + " (" + row->label + ") is disabled";
    return false;
  }
  auto clamp = [&](Float v) {
    const GeData* lo = row->props.GetDataPointer(DESC_MIN);
    const GeData* hi = row->props.GetDataPointer(DESC_MAX);
    Float c = v;
    if (lo && c < lo->GetFloat()) c = lo->GetFloat();
    if (hi && c > hi->GetFloat()) c = hi->GetFloat();
    if (c != v && warning)
      *warning = std::to_string(id) + ": " + FormatNumber(v) + " is " +
                 (c > v ? "below the minimum " : "above the maximum ") + FormatNumber(c) +
                 "; set to " + FormatNumber(c);
    return c;
  };
  GeData value;
  switch (row->type) {
    case DTYPE_LONG: {
      Int32 v = 0;
      if (!ToInt(text, v)) {
        error = "parameter " + std::to_string(id) + " takes a whole number, not \"" + text + "\"";
        return false;
      }
      value = GeData(static_cast<Int32>(clamp(v)));
      break;
    }
    case DTYPE_REAL: {
      Float v = 0;
      if (!ToFloat(text, v)) {
        error = "parameter " + std::to_string(id) + " takes a number, not \"" + text + "\"";
        return false;
      }
      value = GeData(clamp(v));
      break;
    }
    case DTYPE_BOOL:
      if (text == "on" || text == "1" || text == "true") {
        value = GeData(Int32(1));
      } else if (text == "off" || text == "0" || text == "false") {
        value = GeData(Int32(0));
      } else {
        error = "parameter " + std::to_string(id) + " is on or off, not \"" + text + "\"";
        return false;
      }
      break;
    case DTYPE_VECTOR: {
      std::vector<String> parts(1);
      for (char ch : text) {
        if (ch == ',')
          parts.emplace_back();
        else
          parts.back().push_back(ch);
      }
      Float c[3] = {0, 0, 0};
      bool ok = parts.size() == 3;
      for (size_t k = 0; ok && k < 3; ++k) ok = ToFloat(parts[k], c[k]);
      if (!ok) {
        error = "parameter " + std::to_string(id) + " takes three numbers \"x,y,z\", not \"" +
                text + "\"";
        return false;
      }
      value = GeData(Vector(c[0], c[1], c[2]));
      break;
    }
    case DTYPE_STRING:
      value = GeData(text);
      break;
    default:
      error = "parameter " + std::to_string(id) + " (" + row->label + ") cannot be typed";
      return false;
  }
  if (doc) {
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE, node);
  }
  const bool set = node->SetParameter(id, value);
  if (doc) doc->EndUndo();
  if (!set) {
    error = "parameter " + std::to_string(id) + " could not be set";
    return false;
  }
  if (auto* op = dynamic_cast<BaseObject*>(node)) {
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext())
      t->Message(MSG_DESCRIPTION_POSTSETPARAMETER);
  } else if (auto* tag = dynamic_cast<BaseTag*>(node)) {
    tag->Message(MSG_DESCRIPTION_POSTSETPARAMETER);
  }
  return true;
}

}  // namespace hostrt
