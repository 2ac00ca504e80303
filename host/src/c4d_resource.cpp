#include "c4d_resource.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "runtime/resource_file.h"

struct GeResource::Dialogs {
  std::map<Int32, std::pair<String, hostrt::ResNode>> byId;
};

GeResource::GeResource() : dialogs_(std::make_unique<Dialogs>()) {}
GeResource::~GeResource() = default;

namespace {

bool ToInt(const String& s, Int32& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::vector<String> FilesIn(const Filename& dir, const String& suffix) {
  std::vector<String> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir.GetString(), ec)) {
    if (e.is_regular_file() && e.path().extension() == suffix) out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

Bool GeResource::Init(const Filename& pluginFolder) {
  loaded_ = false;
  symbols_.clear();
  strings_.clear();
  dialogStrings_.clear();
  dialogs_->byId.clear();
  path_ = pluginFolder + "res";
  hostrt::ResError err;
  auto fail = [&](const String& msg) {
    error_ = msg;
    return false;
  };
  auto at = [](const String& file, Int32 line) { return file + ":" + std::to_string(line) + ": "; };
  if (!GeFExist(path_, true)) return fail(path_.GetString() + ": no resource folder");

  String text, why;
  Filename symFile = path_ + "c4d_symbols.h";
  if (!hostrt::ReadTextFile(symFile.GetString(), text, &why))
    return fail(symFile.GetString() + ": cannot be read: " + why);
  auto syms = hostrt::ParseSymbols(text, symFile.GetString(), err);
  if (!syms) return fail(err.ToString());
  symbols_ = std::move(*syms);

  // Global strings, keyed by symbol or number.
  Filename strFile = path_ + "strings_us" + "c4d_strings.str";
  auto table = hostrt::ParseResourceFile(strFile.GetString(), err);
  if (!table) return fail(err.ToString());
  for (const hostrt::ResNode& st : *table) {
    if (st.keyword != "STRINGTABLE" || !st.hasBlock)
      return fail(at(strFile.GetString(), st.line) + "expected STRINGTABLE { ... }, found " +
                  st.keyword);
    for (const hostrt::ResNode& e : st.children) {
      Int32 id = GetSymbol(e.keyword, -1);
      if (id < 0 && !ToInt(e.keyword, id))
        return fail(at(strFile.GetString(), e.line) + "unknown symbol " + e.keyword);
      if (e.args.size() != 1 || e.args[0].kind != hostrt::ResToken::Text)
        return fail(at(strFile.GetString(), e.line) + "expected one text");
      strings_[id] = e.args[0].text;
    }
  }

  // Dialog layouts and their string tables.
  for (const String& file : FilesIn(path_ + "dialogs", ".res")) {
    auto nodes = hostrt::ParseResourceFile(file, err);
    if (!nodes) return fail(err.ToString());
    if (nodes->empty()) return fail(file + ": no dialog layout in the file");
    for (hostrt::ResNode& d : *nodes) {
      if (d.keyword != "DIALOG" || d.args.size() != 1 || d.args[0].kind != hostrt::ResToken::Word)
        return fail(at(file, d.line) + "expected DIALOG NAME { ... }, found " + d.keyword);
      const String& name = d.args[0].text;
      Int32 id = GetSymbol(name, -1);
      if (id < 0) return fail(at(file, d.line) + "unknown dialog " + name);
      // A layout without controls would open a dialog with a hole where they belong.
      if (d.children.empty()) return fail(at(file, d.line) + "dialog " + name + " is empty");
      if (dialogs_->byId.count(id))
        return fail(at(file, d.line) + "dialog " + name + " is laid out twice");
      dialogs_->byId[id] = {name, std::move(d)};
    }
  }
  for (const String& file : FilesIn(path_ + "strings_us" + "dialogs", ".str")) {
    auto nodes = hostrt::ParseResourceFile(file, err);
    if (!nodes) return fail(err.ToString());
    for (const hostrt::ResNode& st : *nodes) {
      if (st.keyword != "DIALOGSTRINGS" || st.args.size() != 1 || !st.hasBlock)
        return fail(at(file, st.line) + "expected DIALOGSTRINGS NAME { ... }, found " + st.keyword);
      auto& map = dialogStrings_[st.args[0].text];
      for (const hostrt::ResNode& e : st.children) {
        if (e.args.size() != 1 || e.args[0].kind != hostrt::ResToken::Text)
          return fail(at(file, e.line) + "expected one text");
        map[e.keyword] = e.args[0].text;
      }
    }
  }
  error_.clear();
  loaded_ = true;
  return true;
}

String GeResource::LoadString(Int32 id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? String() : it->second;
}

String GeResource::LoadDialogString(const String& dialog, const String& key) const {
  auto d = dialogStrings_.find(dialog);
  if (d == dialogStrings_.end()) return String();
  auto it = d->second.find(key);
  return it == d->second.end() ? String() : it->second;
}

Int32 GeResource::GetSymbol(const String& name, Int32 fallback) const {
  auto it = symbols_.find(name);
  return it == symbols_.end() ? fallback : it->second;
}

const hostrt::ResNode* GeResource::GetDialog(Int32 id, String* name) const {
  auto it = dialogs_->byId.find(id);
  if (it == dialogs_->byId.end()) return nullptr;
  if (name) *name = it->second.first;
  return &it->second.second;
}
