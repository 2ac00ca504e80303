#include "runtime/registry.h"

#include <charconv>

#include "c4d_file.h"

namespace hostrt {

const char* PluginKindName(PluginKind k) {
  switch (k) {
    case PluginKind::Command:
      return "command";
    case PluginKind::Tag:
      return "tag";
    case PluginKind::Track:
      return "track";
  }
  return "?";
}

Registry& Registry::Get() {
  static Registry r;
  return r;
}

bool Registry::Add(PluginEntry entry) {
  if (Find(entry.id)) return false;
  entries_.push_back(std::make_unique<PluginEntry>(std::move(entry)));
  return true;
}

const PluginEntry* Registry::Find(Int32 id) const {
  for (const auto& e : entries_)
    if (e->id == id) return e.get();
  return nullptr;
}

bool Registry::AddDescription(const String& name, Int32 id, std::vector<DescEntry> entries) {
  descriptions_[name] = std::move(entries);
  if (id != 0) descriptionIds_[id] = name;
  return true;
}

const std::vector<DescEntry>* Registry::FindDescription(const String& name) const {
  auto it = descriptions_.find(name);
  return it == descriptions_.end() ? nullptr : &it->second;
}

const std::vector<DescEntry>* Registry::FindDescription(Int32 id, String* name) const {
  auto it = descriptionIds_.find(id);
  if (it == descriptionIds_.end()) return nullptr;
  if (name) *name = it->second;
  return FindDescription(it->second);
}

void Registry::Clear() {
  // Newest first, as plug-ins may refer to those registered before them.
  while (!entries_.empty()) entries_.pop_back();
  descriptions_.clear();
  descriptionIds_.clear();
}

namespace {

const std::map<String, Int32>& TypeKeywords() {
  static const std::map<String, Int32> k = {
      {"LONG", DTYPE_LONG},
      {"REAL", DTYPE_REAL},
      {"VECTOR", DTYPE_VECTOR},
      {"STRING", DTYPE_STRING},
      {"LINK", DTYPE_BASELISTLINK},
      {"BOOL", DTYPE_BOOL},
      {"SPLINE", CUSTOMDATATYPE_SPLINE},
      {"SEPARATOR", DTYPE_SEPARATOR},
      {"GROUP", DTYPE_GROUP},
  };
  return k;
}

bool ParseNumber(const ResToken& t, Float& v) {
  if (t.kind != ResToken::Number) return false;
  const char* b = t.text.data();
  const char* e = b + t.text.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e;
}

bool Walk(const ResNode& node, const std::map<String, Int32>& ids,
          const std::map<String, String>& labels, std::vector<DescEntry>& out, String& error,
          const String& file) {
  for (const ResNode& c : node.children) {
    if (c.keyword == "NAME" || c.keyword == "INCLUDE") continue;
    auto t = TypeKeywords().find(c.keyword);
    if (t == TypeKeywords().end()) {
      error = file + ":" + std::to_string(c.line) + ": unknown parameter type " + c.keyword;
      return false;
    }
    DescEntry e;
    e.type = t->second;
    if (!c.args.empty()) {
      e.ident = c.args[0].text;
      auto id = ids.find(e.ident);
      if (id == ids.end()) {
        // Groups of the host (ID_TAGPROPERTIES ...) need no identifier of their own.
        if (e.type != DTYPE_GROUP) {
          error = file + ":" + std::to_string(c.line) + ": unknown identifier " + e.ident;
          return false;
        }
      } else {
        e.id = id->second;
      }
      auto l = labels.find(e.ident);
      e.props.SetString(DESC_NAME, l == labels.end() ? e.ident : l->second);
      e.props.SetString(DESC_IDENT, e.ident);
    }
    for (const ResNode& p : c.children) {
      Float v = 0;
      if ((p.keyword == "MIN" || p.keyword == "MAX" || p.keyword == "STEP" ||
           p.keyword == "DEFAULT") &&
          p.args.size() == 1 && ParseNumber(p.args[0], v)) {
        Int32 key = p.keyword == "MIN"    ? DESC_MIN
                    : p.keyword == "MAX"  ? DESC_MAX
                    : p.keyword == "STEP" ? DESC_STEP
                                          : DESC_DEFAULT;
        e.props.SetFloat(key, v);
      } else if (p.keyword == "HIDDEN") {
        e.props.SetInt32(DESC_HIDE, 1);
      } else if (p.keyword == "ANIM" && !p.args.empty() && p.args[0].text == "OFF") {
        e.props.SetInt32(DESC_ANIMATE, 0);
      }
    }
    out.push_back(std::move(e));
    if (t->second == DTYPE_GROUP && !Walk(c, ids, labels, out, error, file)) return false;
  }
  return true;
}

}  // namespace

bool LoadDescriptionResource(const String& resFolder, const String& name,
                             std::vector<DescEntry>& out, String& error) {
  Filename dir = Filename(resFolder) + "description";
  String text;
  Filename header = dir + (name + ".h");
  String why;
  if (!ReadTextFile(header.GetString(), text, &why)) {
    error = header.GetString() + ": cannot be read: " + why;
    return false;
  }
  ResError err;
  auto ids = ParseSymbols(text, header.GetString(), err);
  if (!ids) {
    error = err.ToString();
    return false;
  }
  Filename resFile = dir + (name + ".res");
  auto nodes = ParseResourceFile(resFile.GetString(), err);
  if (!nodes) {
    error = err.ToString();
    return false;
  }
  std::map<String, String> labels;
  Filename strFile = Filename(resFolder) + "strings_us" + "description" + (name + ".str");
  if (GeFExist(strFile)) {
    auto st = ParseResourceFile(strFile.GetString(), err);
    if (!st) {
      error = err.ToString();
      return false;
    }
    for (const ResNode& table : *st)
      for (const ResNode& e : table.children)
        if (e.args.size() == 1 && e.args[0].kind == ResToken::Text)
          labels[e.keyword] = e.args[0].text;
  }
  for (const ResNode& c : *nodes) {
    if (c.keyword != "CONTAINER" || c.args.empty() || c.args[0].text != name) continue;
    out.clear();
    return Walk(c, *ids, labels, out, error, resFile.GetString());
  }
  error = resFile.GetString() + ": no CONTAINER " + name;
  return false;
}

}  // namespace hostrt

// --- Description ---

Bool Description::LoadDescription(const String& name) {
  const auto* d = hostrt::Registry::Get().FindDescription(name);
  if (!d) return false;
  SetEntries(name, *d);
  return true;
}

Bool Description::LoadDescription(Int32 id) {
  String name;
  const auto* d = hostrt::Registry::Get().FindDescription(id, &name);
  if (!d) return false;
  SetEntries(name, *d);
  return true;
}

BaseContainer* Description::GetParameterI(Int32 id) {
  for (DescEntry& e : entries_)
    if (e.id == id && e.type != DTYPE_GROUP) return &e.props;
  return nullptr;
}
