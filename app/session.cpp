#include "session.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <map>
#include <ostream>
#include <sstream>

#include "c4d_basetime.h"
#include "c4d_commanddata.h"
#include "c4d_painter.h"
#include "obj_io.h"
#include "preview.h"
#include "runtime/dialog_driver.h"
#include "runtime/dialog_model.h"
#include "runtime/dialog_view.h"
#include "runtime/scene.h"
#include "scenes.h"

namespace fs = std::filesystem;

namespace pelterra {

namespace {

bool ToInt(const std::string& s, Int32& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ToFloat(const std::string& s, Float& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e && std::isfinite(v);
}

std::string Num(Float v) {
  return hostrt::FormatNumber(v);
}

struct ModeName {
  const char* name;
  Int32 mode;
};
constexpr ModeName kModes[] = {{"object", Mobject},        {"points", Mpoints},
                               {"edges", Medges},          {"polygons", Mpolygons},
                               {"model", Mmodel},          {"uvpoints", Muvpoints},
                               {"uvpolygons", Muvpolygons}};

std::string ModeText(Int32 mode) {
  for (const ModeName& m : kModes)
    if (m.mode == mode) return m.name;
  return std::to_string(mode);
}

// Index ranges as written: "0-3,7 9" (words already split at blanks).
bool ParseRanges(const std::vector<std::string>& words, size_t first,
                 std::vector<std::pair<Int32, Int32>>& out, std::string& error) {
  for (size_t i = first; i < words.size(); ++i) {
    std::stringstream parts(words[i]);
    std::string item;
    while (std::getline(parts, item, ',')) {
      if (item.empty()) continue;
      auto dash = item.find('-', 1);
      Int32 a = 0, b = 0;
      bool ok = dash == std::string::npos
                    ? ToInt(item, a) && ToInt(item, b)
                    : ToInt(item.substr(0, dash), a) && ToInt(item.substr(dash + 1), b);
      if (!ok || a < 0 || b < a) {
        error = "bad index or range \"" + item + "\"";
        return false;
      }
      out.emplace_back(a, b);
    }
  }
  return true;
}

std::string RangesText(const BaseSelect& s) {
  std::string t;
  for (Int32 seg = 0; seg < s.GetSegments(); ++seg) {
    Int32 a, b;
    if (!s.GetRange(seg, LIMIT_MAX, &a, &b)) continue;
    if (!t.empty()) t += ",";
    t += a == b ? std::to_string(a) : std::to_string(a) + "-" + std::to_string(b);
  }
  return t.empty() ? "none" : t;
}

std::string VecText(const Vector& v) {
  return "(" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + ")";
}

Int32 CornerIndex(const std::string& s) {
  if (s == "a") return 0;
  if (s == "b") return 1;
  if (s == "c") return 2;
  if (s == "d") return 3;
  Int32 v = -1;
  return ToInt(s, v) && v >= 0 && v < 4 ? v : -1;
}

}  // namespace

bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string w;
    if (c == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '\\' && i < line.size()) {
          w += line[i++];
        } else if (d == '"') {
          closed = true;
          break;
        } else {
          w += d;
        }
      }
      if (!closed) {
        error = "unterminated quote";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        w += line[i++];
    }
    words.push_back(w);
  }
  return true;
}

Session::Session(hostrt::Host& host, std::ostream& out, SessionOptions options)
    : host_(host), out_(out), options_(std::move(options)) {
  host_.onMessage = [this](const hostrt::MessageRecord& m) {
    out_ << "message: " << m.text;
    if (m.defaulted && (m.flags & 0xF) != GEMB_OK)
      out_ << " (no answer given: " << (m.answer == GEMB_R_NO ? "no" : "cancel") << ")";
    out_ << "\n";
  };
  host_.onFileSelect = [this](const hostrt::FileSelectRecord& r) {
    out_ << "file selector: " << r.title;
    if (r.defaulted)
      out_ << " (no answer given: cancel)";
    else
      out_ << " -> " << (r.answer.empty() ? "cancel" : r.answer);
    out_ << "\n";
  };
  host_.modalHandler = [this](GeDialog* dlg) {
    auto actions = std::move(modalActions_);
    modalActions_.clear();
    for (const auto& a : actions) {
      std::string why;
      if (!DialogAction(*dlg, a, 0, why)) {
        if (modalError_.empty()) modalError_ = "modal dialog: " + why;
        return;
      }
      if (!host_.FindWindow(dlg)) return;
    }
    if (host_.FindWindow(dlg)) out_ << "modal dialog closed without an answer\n";
  };
}

Session::~Session() {
  host_.onMessage = nullptr;
  host_.onFileSelect = nullptr;
  host_.modalHandler = nullptr;
}

bool Session::Fail(const std::string& what) {
  error_ = name_ + ":" + std::to_string(line_) + ": " + what;
  return false;
}

std::string Session::InputPath(const std::string& p) const {
  fs::path path(p);
  return path.is_absolute() ? p : (fs::path(options_.baseDir) / path).string();
}

std::string Session::OutputPath(const std::string& p) const {
  fs::path path(p);
  return path.is_absolute() ? p : (fs::path(options_.outDir) / path).string();
}

bool Session::Run(std::istream& in, const std::string& name) {
  name_ = name;
  std::string text;
  int n = 0;
  while (std::getline(in, text)) {
    if (!RunLine(text, ++n)) return false;
  }
  return true;
}

bool Session::RunLine(const std::string& text, int line) {
  line_ = line;
  std::vector<std::string> w;
  std::string why;
  if (!SplitWords(text, w, why)) return Fail(why);
  if (w.empty()) return true;
  for (std::string& word : w) {
    // ${scene} and ${out} name the command line's scene and output folder.
    for (auto [key, value] :
         {std::pair<const char*, const std::string*>{"${scene}", &options_.scene},
          {"${out}", &options_.outDir}}) {
      for (size_t p = word.find(key); p != std::string::npos;
           p = word.find(key, p + value->size())) {
        if (key == std::string("${scene}") && value->empty())
          return Fail("no scene given (--scene FILE)");
        word.replace(p, std::string(key).size(), *value);
      }
    }
  }
  modalError_.clear();
  bool ok = Dispatch(w);
  if (ok && !modalError_.empty()) return Fail(modalError_);
  return ok;
}

bool Session::DialogAction(GeDialog& dlg, const std::vector<std::string>& w, size_t first,
                           std::string& error) {
  auto need = [&](size_t n) {
    if (w.size() - first == n) return true;
    error = "\"" + w[first] + "\" takes " + std::to_string(n - 1) + " argument(s)";
    return false;
  };
  const std::string& verb = w[first];
  Int32 id = 0;
  if (verb != "close" && (w.size() <= first + 1 || !ToInt(w[first + 1], id))) {
    error = "\"" + verb + "\" needs a control identifier";
    return false;
  }
  hostrt::ActionResult r;
  if (verb == "click") {
    if (!need(2)) return false;
    r = hostrt::Click(host_, dlg, id);
  } else if (verb == "tick") {
    if (!need(3)) return false;
    if (w[first + 2] != "on" && w[first + 2] != "off") {
      error = "tick takes on or off";
      return false;
    }
    r = hostrt::Tick(host_, dlg, id, w[first + 2] == "on");
  } else if (verb == "choose") {
    Int32 entry = 0;
    if (!need(3)) return false;
    if (!ToInt(w[first + 2], entry)) {
      error = "choose needs an entry identifier";
      return false;
    }
    r = hostrt::Choose(host_, dlg, id, entry);
  } else if (verb == "type") {
    if (!need(3)) return false;
    r = hostrt::Type(host_, dlg, id, w[first + 2]);
  } else if (verb == "close") {
    if (!need(1)) return false;
    r = hostrt::CloseWindow(host_, dlg);
  } else {
    error = "unknown dialog action \"" + verb + "\"";
    return false;
  }
  if (!r.ok) error = r.error;
  return r.ok;
}

bool Session::Dispatch(std::vector<std::string>& w) {
  const std::string& verb = w[0];
  auto args = [&](size_t lo, size_t hi) {
    if (w.size() - 1 >= lo && w.size() - 1 <= hi) return true;
    return Fail("\"" + verb + "\" takes " +
                (lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi)) +
                " argument(s), got " + std::to_string(w.size() - 1));
  };
  BaseDocument* doc = host_.ActiveDocument();
  auto activePoly = [&](std::string& why) -> PolygonObject* {
    BaseObject* op = doc ? doc->GetActiveObject() : nullptr;
    if (!op)
      why = "no active object";
    else if (op->GetType() != Opolygon)
      why = "the active object is not a polygon object";
    else
      return static_cast<PolygonObject*>(op);
    return nullptr;
  };
  std::string why;

  if (verb == "open") {
    if (!args(1, 1)) return false;
    BaseDocument* fresh = host_.NewDocument();
    std::vector<std::string> warnings;
    bool ok;
    if (w[1].rfind("builtin:", 0) == 0) {
      ok = LoadBuiltinScene(w[1].substr(8), *fresh, why);
    } else {
      const std::string path = InputPath(w[1]);
      ok = LoadObj(path, *fresh, why, &warnings);
      fresh->SetDocumentPath(fs::path(path).parent_path().string());
      fresh->SetDocumentName(fs::path(path).filename().string());
    }
    for (const std::string& warn : warnings) out_ << "warning: " << warn << "\n";
    if (!ok) return Fail(why);
    host_.SetActiveDocument(fresh);
    fresh->SetActiveObject(fresh->GetFirstObject());
    int n = 0;
    for (BaseObject* op = fresh->GetFirstObject(); op; op = op->GetNext()) ++n;
    out_ << "opened " << w[1] << ": " << n << " object(s)";
    if (fresh->GetActiveObject()) out_ << ", active " << fresh->GetActiveObject()->GetName();
    out_ << "\n";
    dialog_ = nullptr;
    return true;
  }
  if (!doc) return Fail("no document");

  if (verb == "object") {
    if (!args(1, 1)) return false;
    BaseObject* op = doc->SearchObject(w[1]);
    if (!op) return Fail("no object named \"" + w[1] + "\"");
    doc->SetActiveObject(op);
    return true;
  }
  if (verb == "tag") {
    // tag uvw N: the N-th UVW tag (from 0) becomes the selected one; tag none clears them.
    if (!args(1, 2)) return false;
    BaseObject* op = doc->GetActiveObject();
    if (!op) return Fail("no active object");
    Int32 nr = 0;
    if (w[1] == "none") {
      if (w.size() != 2) return Fail("\"tag none\" takes no index");
      nr = -1;
    } else if (w[1] != "uvw" || (w.size() == 3 && !ToInt(w[2], nr))) {
      return Fail("expected \"tag uvw [N]\" or \"tag none\"");
    }
    if (nr >= 0 && !op->GetTag(Tuvw, nr))
      return Fail("the active object has no UVW tag " + std::to_string(nr));
    Int32 k = 0;
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
      if (t->GetType() != Tuvw) continue;
      if (k++ == nr)
        t->SetBit(BIT_ACTIVE);
      else
        t->DelBit(BIT_ACTIVE);
    }
    return true;
  }
  if (verb == "mode") {
    if (!args(1, 1)) return false;
    for (const ModeName& m : kModes)
      if (w[1] == m.name) {
        doc->SetMode(m.mode);
        return true;
      }
    return Fail("unknown mode \"" + w[1] +
                "\" (object, points, edges, polygons, model, uvpoints, uvpolygons)");
  }
  if (verb == "select") return Select(w);

  if (verb == "command") {
    Int32 id = 0;
    if (!args(1, 1)) return false;
    if (!ToInt(w[1], id)) return Fail("command needs a plug-in identifier");
    const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(id);
    if (!e || !e->command) return Fail("no command " + w[1]);
    const size_t before = host_.Windows().size();
    if (!e->command->Execute(doc)) return Fail("command " + w[1] + " failed");
    for (const hostrt::OpenWindow& win : host_.Windows())
      if (win.pluginId == id) dialog_ = win.dialog;
    if (host_.Windows().size() > before) out_ << "opened dialog " << id << "\n";
    return true;
  }
  if (verb == "dialog") {
    Int32 id = 0;
    if (!args(1, 1)) return false;
    if (!ToInt(w[1], id)) return Fail("dialog needs a plug-in identifier");
    for (const hostrt::OpenWindow& win : host_.Windows())
      if (win.pluginId == id) {
        dialog_ = win.dialog;
        return true;
      }
    return Fail("no open dialog " + w[1]);
  }
  if (verb == "click" || verb == "tick" || verb == "choose" || verb == "type" || verb == "close") {
    if (!dialog_ || !host_.FindWindow(dialog_))
      return Fail("no open dialog (use \"command ID\" first)");
    if (!DialogAction(*dialog_, w, 0, why)) return Fail(why);
    return true;
  }
  if (verb == "modal") {
    if (w.size() < 2) return Fail("modal needs an action: type, click, tick, choose or close");
    std::vector<std::string> action(w.begin() + 1, w.end());
    const std::string& v = action[0];
    if (v != "type" && v != "click" && v != "tick" && v != "choose" && v != "close")
      return Fail("unknown modal action \"" + v + "\"");
    modalActions_.push_back(action);
    return true;
  }
  if (verb == "answer") {
    if (!args(1, 1)) return false;
    const std::map<std::string, GEMB_R> answers{
        {"yes", GEMB_R_YES}, {"no", GEMB_R_NO}, {"ok", GEMB_R_OK}, {"cancel", GEMB_R_CANCEL}};
    auto it = answers.find(w[1]);
    if (it == answers.end()) return Fail("answer yes, no, ok or cancel");
    host_.QueueAnswer(it->second);
    return true;
  }
  if (verb == "file") {
    if (!args(1, 1)) return false;
    host_.QueueFile(w[1] == "cancel" ? std::string() : OutputPath(w[1]));
    return true;
  }
  if (verb == "time" || verb == "frame" || verb == "fps") {
    if (!args(1, 1)) return false;
    Float v = 0;
    if (!ToFloat(w[1], v)) return Fail(verb + " needs a number");
    if (verb == "fps") {
      if (v < 1 || v > 1000 || v != std::floor(v))
        return Fail("fps must be a whole number from 1 to 1000");
      doc->SetFps(static_cast<Int32>(v));
    } else if (verb == "time") {
      doc->SetTime(BaseTime(v));
    } else {
      doc->SetTime(BaseTime(v, doc->GetFps()));
    }
    return true;
  }
  if (verb == "evaluate") {
    if (!args(0, 0)) return false;
    hostrt::EvaluationReport r = hostrt::EvaluateScene(*doc);
    out_ << "evaluated: " << r.tagsExecuted << " tag(s)";
    if (r.tagErrors) out_ << ", " << r.tagErrors << " with errors";
    out_ << "\n";
    return true;
  }
  if (verb == "draw") {
    if (!args(0, 0)) return false;
    BaseDraw view;
    Int32 drew = hostrt::DrawViews(*doc, view);
    out_ << "drew: " << drew << " tag(s), " << view.Lines().size() << " line(s)\n";
    return true;
  }
  if (verb == "undo" || verb == "redo") {
    if (!args(0, 0)) return false;
    if (!(verb == "undo" ? doc->DoUndo() : doc->DoRedo())) return Fail("nothing to " + verb);
    return true;
  }
  if (verb == "save" || verb == "export") {
    if (!args(1, 1)) return false;
    const std::string path = OutputPath(w[1]);
    bool ok;
    if (verb == "save") {
      ok = SaveObj(*doc, path, why);
    } else {
      // Only the active object, in a document of its own.
      BaseObject* op = doc->GetActiveObject();
      if (!op) return Fail("no active object to export");
      BaseDocument* tmp = BaseDocument::Alloc();
      tmp->InsertObject(static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_HIERARCHY, nullptr)),
                        nullptr, nullptr);
      ok = SaveObj(*tmp, path, why);
      BaseDocument::Free(tmp);
    }
    if (!ok) return Fail(why);
    written_.push_back(path);
    out_ << "wrote " << path << "\n";
    return true;
  }
  if (verb == "preview") {
    // preview FILE.png [size N] [selected]
    if (w.size() < 2) return Fail("preview needs a file name");
    PreviewOptions opt;
    for (size_t i = 2; i < w.size(); ++i) {
      if (w[i] == "selected") {
        opt.selectedOnly = true;
      } else if (w[i] == "size" && i + 1 < w.size()) {
        Int32 size = 0;
        if (!ToInt(w[++i], size)) return Fail("size needs a number of pixels");
        opt.size = size;
      } else {
        return Fail("unknown preview option \"" + w[i] + "\"");
      }
    }
    PolygonObject* op = activePoly(why);
    if (!op) return Fail(why);
    const std::string path = OutputPath(w[1]);
    if (!WritePreview(*op, path, opt, why)) return Fail(why);
    written_.push_back(path);
    out_ << "wrote " << path << "\n";
    return true;
  }
  if (verb == "print") return Print(w);
  if (verb == "expect") return Expect(w);
  if (verb == "echo") {
    for (size_t i = 1; i < w.size(); ++i) out_ << (i > 1 ? " " : "") << w[i];
    out_ << "\n";
    return true;
  }
  return Fail("unknown action \"" + verb + "\"");
}

namespace {

// The selection a session names, with the number of elements it can hold.
BaseSelect* SelectionOf(const std::string& kind, PolygonObject* op, Int32& limit) {
  if (kind == "points") {
    limit = op->GetPointCount();
    return op->GetPointS();
  }
  if (kind == "polygons" || kind == "uvpolygons") {
    limit = op->GetPolygonCount();
    return op->GetPolygonS();
  }
  if (kind == "edges") {
    limit = 4 * op->GetPolygonCount();
    return op->GetEdgeS();
  }
  if (kind == "uvpoints") {
    limit = 4 * op->GetPolygonCount();
    return hostrt::UVPointSelection(op);
  }
  return nullptr;
}

}  // namespace

bool Session::Select(const std::vector<std::string>& w) {
  // select KIND [add|remove] LIST | select KIND all|none
  if (w.size() < 3) return Fail("select KIND [add|remove] INDICES, or select KIND all|none");
  BaseDocument* doc = host_.ActiveDocument();
  BaseObject* obj = doc->GetActiveObject();
  if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
  auto* op = static_cast<PolygonObject*>(obj);
  Int32 limit = 0;
  BaseSelect* sel = SelectionOf(w[1], op, limit);
  if (!sel)
    return Fail("unknown selection \"" + w[1] +
                "\" (points, edges, polygons, uvpoints, uvpolygons)");
  if (w.size() == 3 && (w[2] == "all" || w[2] == "none")) {
    sel->DeselectAll();
    if (w[2] == "all" && limit > 0) sel->SelectAll(0, limit - 1);
    return true;
  }
  size_t first = 2;
  std::string how = "replace";
  if (w[2] == "add" || w[2] == "remove") {
    how = w[2];
    first = 3;
  }
  std::vector<std::pair<Int32, Int32>> ranges;
  std::string why;
  if (!ParseRanges(w, first, ranges, why)) return Fail(why);
  if (ranges.empty()) return Fail("no indices given");
  for (auto [a, b] : ranges)
    if (b >= limit)
      return Fail("index " + std::to_string(b) + " is out of range: " + w[1] + " go from 0 to " +
                  std::to_string(limit - 1));
  if (how == "replace") sel->DeselectAll();
  for (auto [a, b] : ranges) {
    if (how == "remove")
      for (Int32 i = a; i <= b; ++i) sel->Deselect(i);
    else
      sel->SelectAll(a, b);
  }
  return true;
}

bool Session::Print(const std::vector<std::string>& w) {
  if (w.size() < 2) return Fail("print dialog|console|messages|uvs|selection|tags|objects|mode");
  BaseDocument* doc = host_.ActiveDocument();
  const std::string& what = w[1];
  std::string why;
  if (what == "dialog") {
    if (!dialog_ || !host_.FindWindow(dialog_)) return Fail("no open dialog");
    out_ << hostrt::RenderDialog(*dialog_);
    return true;
  }
  if (what == "console") {
    for (const std::string& l : host_.Console()) out_ << l << "\n";
    return true;
  }
  if (what == "messages") {
    for (const auto& m : host_.Messages()) out_ << "message: " << m.text << "\n";
    return true;
  }
  if (what == "mode") {
    out_ << "mode " << ModeText(doc->GetMode()) << "\n";
    return true;
  }
  if (what == "objects") {
    std::function<void(BaseObject*, int)> walk = [&](BaseObject* op, int depth) {
      for (; op; op = op->GetNext()) {
        out_ << std::string(static_cast<size_t>(depth) * 2, ' ') << op->GetName();
        if (op == doc->GetActiveObject()) out_ << " (active)";
        if (op->GetType() == Opolygon) {
          auto* p = static_cast<PolygonObject*>(op);
          out_ << ": " << p->GetPointCount() << " points, " << p->GetPolygonCount() << " polygons";
        }
        out_ << "\n";
        walk(op->GetDown(), depth + 1);
      }
    };
    walk(doc->GetFirstObject(), 0);
    return true;
  }
  BaseObject* obj = doc->GetActiveObject();
  if (!obj) return Fail("no active object");
  if (what == "tags") {
    for (BaseTag* t = obj->GetFirstTag(); t; t = t->GetNext()) {
      out_ << "tag " << t->GetType();
      if (t->GetType() == Tuvw) out_ << " uvw";
      if (const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(t->GetType()))
        out_ << " " << e->name;
      if (t->GetBit(BIT_ACTIVE)) out_ << " (selected)";
      out_ << "\n";
    }
    for (GeListNode* n = obj->GetCTrackRoot()->GetFirst(); n; n = n->GetNext())
      out_ << "track " << static_cast<BaseList2D*>(n)->GetType() << "\n";
    return true;
  }
  if (obj->GetType() != Opolygon) return Fail("the active object is not a polygon object");
  auto* op = static_cast<PolygonObject*>(obj);
  if (what == "selection") {
    if (w.size() != 3) return Fail("print selection KIND");
    Int32 limit = 0;
    BaseSelect* sel = SelectionOf(w[2], op, limit);
    if (!sel) return Fail("unknown selection \"" + w[2] + "\"");
    out_ << w[2] << ": " << RangesText(*sel) << "\n";
    return true;
  }
  if (what == "uvs") {
    UVWTag* tag = GetEditedUVWTag(op);
    if (!tag) return Fail("the active object has no UVW tag");
    std::vector<std::pair<Int32, Int32>> ranges;
    if (w.size() > 2) {
      if (!ParseRanges(w, 2, ranges, why)) return Fail(why);
    } else if (op->GetPolygonCount() > 0) {
      ranges.emplace_back(0, op->GetPolygonCount() - 1);
    }
    for (auto [a, b] : ranges)
      for (Int32 i = a; i <= b && i < op->GetPolygonCount(); ++i) {
        UVWStruct s = tag->GetSlow(i);
        out_ << "uv " << i << ":";
        const Int32 corners = op->GetPolygonR()[i].IsTriangle() ? 3 : 4;
        for (Int32 k = 0; k < corners; ++k)
          out_ << " "
               << "abcd"[k] << VecText(s[k]);
        out_ << "\n";
      }
    return true;
  }
  return Fail("unknown print \"" + what + "\"");
}

bool Session::Expect(const std::vector<std::string>& w) {
  if (w.size() < 2) return Fail("expect what?");
  BaseDocument* doc = host_.ActiveDocument();
  const std::string& what = w[1];
  auto mismatch = [&](const std::string& expected, const std::string& got) {
    return Fail("expected " + expected + ", got " + got);
  };

  if (what == "uv") {
    // expect uv POLY CORNER U V [W] [within TOL]
    if (w.size() < 6) return Fail("expect uv POLY CORNER U V [W] [within TOLERANCE]");
    Int32 poly = 0;
    const Int32 corner = CornerIndex(w[3]);
    Float u = 0, v = 0, ww = 0, tol = 1e-6;
    size_t i = 6;
    bool hasW = false;
    if (!ToInt(w[2], poly) || corner < 0 || !ToFloat(w[4], u) || !ToFloat(w[5], v))
      return Fail("expect uv POLY CORNER U V [W] [within TOLERANCE]");
    if (i < w.size() && w[i] != "within") {
      if (!ToFloat(w[i++], ww)) return Fail("bad w \"" + w[i - 1] + "\"");
      hasW = true;
    }
    if (i < w.size()) {
      if (w[i] != "within" || i + 2 != w.size() || !ToFloat(w[i + 1], tol) || tol < 0)
        return Fail("expected \"within TOLERANCE\" at the end");
    }
    BaseObject* obj = doc->GetActiveObject();
    if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
    auto* op = static_cast<PolygonObject*>(obj);
    UVWTag* tag = GetEditedUVWTag(op);
    if (!tag) return Fail("the active object has no UVW tag");
    if (poly < 0 || poly >= op->GetPolygonCount()) return Fail("no polygon " + w[2]);
    const Vector got = tag->GetSlow(poly)[corner];
    const bool ok = std::fabs(got.x - u) <= tol && std::fabs(got.y - v) <= tol &&
                    (!hasW || std::fabs(got.z - ww) <= tol);
    if (!ok) {
      std::string expected = "uv " + w[2] + "." + w[3] + " = (" + Num(u) + ", " + Num(v) +
                             (hasW ? ", " + Num(ww) : std::string()) + ") within " + Num(tol);
      return mismatch(expected, VecText(got));
    }
    return true;
  }
  if (what == "selection") {
    if (w.size() < 4) return Fail("expect selection KIND INDICES|none");
    BaseObject* obj = doc->GetActiveObject();
    if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
    Int32 limit = 0;
    BaseSelect* sel = SelectionOf(w[2], static_cast<PolygonObject*>(obj), limit);
    if (!sel) return Fail("unknown selection \"" + w[2] + "\"");
    BaseSelect want;
    if (!(w.size() == 4 && w[3] == "none")) {
      std::vector<std::pair<Int32, Int32>> ranges;
      std::string why;
      if (!ParseRanges(w, 3, ranges, why)) return Fail(why);
      for (auto [a, b] : ranges) want.SelectAll(a, b);
    }
    if (!(want == *sel)) return mismatch(w[2] + " " + RangesText(want), RangesText(*sel));
    return true;
  }
  if (what == "control") {
    // expect control ID value X | enabled | disabled | visible | hidden | label TEXT
    Int32 id = 0;
    if (w.size() < 4 || !ToInt(w[2], id))
      return Fail("expect control ID value|enabled|disabled|visible|hidden|label ...");
    if (!dialog_ || !host_.FindWindow(dialog_)) return Fail("no open dialog");
    const hostrt::DialogControl* c = dialog_->GetModel()->Find(id);
    if (!c) return Fail("no control " + w[2]);
    const std::string& prop = w[3];
    if (prop == "enabled" || prop == "disabled") {
      if (c->enabled != (prop == "enabled"))
        return mismatch("control " + w[2] + " " + prop, c->enabled ? "enabled" : "disabled");
      return w.size() == 4 || Fail("too many words");
    }
    if (prop == "visible" || prop == "hidden") {
      const bool visible = c->IsVisible();
      if (visible != (prop == "visible"))
        return mismatch("control " + w[2] + " " + prop, visible ? "visible" : "hidden");
      return w.size() == 4 || Fail("too many words");
    }
    if (w.size() != 5) return Fail("expect control ID " + prop + " VALUE");
    if (prop == "label") {
      if (c->title != w[4]) return mismatch("label \"" + w[4] + "\"", "\"" + c->title + "\"");
      return true;
    }
    if (prop != "value") return Fail("unknown control property \"" + prop + "\"");
    using hostrt::ValueKind;
    switch (c->valueKind) {
      case ValueKind::Bool: {
        const bool want = w[4] == "on" || w[4] == "true" || w[4] == "1";
        if (!want && w[4] != "off" && w[4] != "false" && w[4] != "0")
          return Fail("a checkbox is on or off");
        if ((c->intValue != 0) != want) return mismatch(w[4], c->intValue ? "on" : "off");
        return true;
      }
      case ValueKind::String:
        if (c->text != w[4]) return mismatch("\"" + w[4] + "\"", "\"" + c->text + "\"");
        return true;
      case ValueKind::Int: {
        Int32 want = 0;
        if (!ToInt(w[4], want)) return Fail("expected a whole number");
        if (c->intValue != want) return mismatch(w[4], std::to_string(c->intValue));
        return true;
      }
      default: {
        Float want = 0;
        if (!ToFloat(w[4], want)) return Fail("expected a number");
        // Compared in the units the field shows.
        const Float scale = c->valueKind == ValueKind::Degree    ? 180.0 / PI
                            : c->valueKind == ValueKind::Percent ? 100.0
                                                                 : 1.0;
        const Float got = c->floatValue * scale;
        if (std::fabs(got - want) > 1e-9 * std::max(1.0, std::fabs(want)))
          return mismatch(w[4], Num(got));
        return true;
      }
    }
  }
  if (what == "message") {
    if (w.size() != 3) return Fail("expect message TEXT");
    if (host_.Messages().empty()) return mismatch("message \"" + w[2] + "\"", "no message");
    const std::string& got = host_.Messages().back().text;
    if (got != w[2]) return mismatch("message \"" + w[2] + "\"", "\"" + got + "\"");
    return true;
  }
  if (what == "messages") {
    Int32 n = 0;
    if (w.size() != 3 || !ToInt(w[2], n)) return Fail("expect messages COUNT");
    if (static_cast<size_t>(n) != host_.Messages().size())
      return mismatch(w[2] + " message(s)", std::to_string(host_.Messages().size()));
    return true;
  }
  if (what == "console") {
    if (w.size() != 3) return Fail("expect console TEXT");
    for (const std::string& l : host_.Console())
      if (l.find(w[2]) != std::string::npos) return true;
    return mismatch("a console line with \"" + w[2] + "\"", "none");
  }
  if (what == "mode") {
    if (w.size() != 3) return Fail("expect mode NAME");
    if (ModeText(doc->GetMode()) != w[2]) return mismatch("mode " + w[2], ModeText(doc->GetMode()));
    return true;
  }
  if (what == "file") {
    // expect file PATH exists | missing | contains TEXT
    if (w.size() < 4) return Fail("expect file PATH exists|missing|contains TEXT");
    const std::string path = OutputPath(w[2]);
    std::error_code ec;
    const bool exists = fs::is_regular_file(path, ec);
    if (w[3] == "exists" || w[3] == "missing") {
      if (exists != (w[3] == "exists"))
        return mismatch(path + " " + w[3], exists ? "it exists" : "it is missing");
      return w.size() == 4 || Fail("too many words");
    }
    if (w[3] != "contains" || w.size() != 5) return Fail("expect file PATH contains TEXT");
    if (!exists) return mismatch(path + " to contain \"" + w[4] + "\"", "no such file");
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    if (s.str().find(w[4]) == std::string::npos)
      return mismatch(path + " to contain \"" + w[4] + "\"", "no such text in it");
    return true;
  }
  if (what == "polygons" || what == "objects") {
    Int32 n = 0;
    if (w.size() != 3 || !ToInt(w[2], n)) return Fail("expect " + what + " COUNT");
    Int32 got = 0;
    if (what == "objects") {
      for (BaseObject* op = doc->GetFirstObject(); op; op = op->GetNext()) ++got;
    } else {
      BaseObject* obj = doc->GetActiveObject();
      if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
      got = static_cast<PolygonObject*>(obj)->GetPolygonCount();
    }
    if (got != n) return mismatch(w[2] + " " + what, std::to_string(got));
    return true;
  }
  return Fail("unknown expectation \"" + what + "\"");
}

}  // namespace pelterra
