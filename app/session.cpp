#include "session.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <chrono>
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
#include "gltf_io.h"
#include "obj_io.h"
#include "preview.h"
#include "progress.h"
#include "runtime/dialog_model.h"
#include "runtime/dialog_view.h"
#include "runtime/scene.h"
#include "scenes.h"
#include "words.h"

namespace fs = std::filesystem;

namespace pelterra {

namespace {

// Which file stands at path, its size and its time; empty when there is none.
std::string FileStamp(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return {};
  const auto time = fs::last_write_time(path, ec);
  if (ec) return {};
  return std::to_string(size) + " " + std::to_string(time.time_since_epoch().count());
#else
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
         std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
#endif
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

// Length units of the document, by the names a session gives them.
struct UnitName {
  const char* name;
  DOCUMENT_UNIT unit;
};
constexpr UnitName kUnits[] = {{"km", DOCUMENT_UNIT_KM},   {"m", DOCUMENT_UNIT_M},
                               {"cm", DOCUMENT_UNIT_CM},   {"mm", DOCUMENT_UNIT_MM},
                               {"um", DOCUMENT_UNIT_UM},   {"nm", DOCUMENT_UNIT_NM},
                               {"mi", DOCUMENT_UNIT_MILE}, {"yd", DOCUMENT_UNIT_YARD},
                               {"ft", DOCUMENT_UNIT_FOOT}, {"in", DOCUMENT_UNIT_INCH}};

std::vector<std::string> UnitNames() {
  std::vector<std::string> names;
  for (const UnitName& u : kUnits) names.push_back(u.name);
  return names;
}

std::string ModeText(Int32 mode) {
  for (const ModeName& m : kModes)
    if (m.mode == mode) return m.name;
  return std::to_string(mode);
}

bool IsMode(const std::string& s) {
  return std::any_of(std::begin(kModes), std::end(kModes),
                     [&](const ModeName& m) { return s == m.name; });
}

const std::vector<std::string> kSelectionKinds = {"points", "edges", "polygons", "uvpoints",
                                                  "uvpolygons"};

bool IsSelectionKind(const std::string& s) {
  return std::find(kSelectionKinds.begin(), kSelectionKinds.end(), s) != kSelectionKinds.end();
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

// Index ranges as given, merged and in order; unlike a BaseSelect they keep the largest index.
std::string RangesText(std::vector<std::pair<Int32, Int32>> ranges) {
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<Int32, Int32>> merged;
  for (auto r : ranges)
    if (!merged.empty() &&
        static_cast<Int64>(r.first) <= static_cast<Int64>(merged.back().second) + 1)
      merged.back().second = std::max(merged.back().second, r.second);
    else
      merged.push_back(r);
  std::string t;
  for (auto [a, b] : merged)
    t += (t.empty() ? "" : ",") +
         (a == b ? std::to_string(a) : std::to_string(a) + "-" + std::to_string(b));
  return t.empty() ? "none" : t;
}

// A UTF-8 byte order mark at the start of a script is no part of its first line.
void SkipByteOrderMark(std::string& line) {
  if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
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

std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

// The word closest to w among known, when it is close enough to be a slip.
std::string Nearest(const std::string& w, const std::vector<std::string>& known) {
  std::string best;
  size_t bestDistance = std::max<size_t>(1, w.size() / 3) + 1;
  for (const std::string& k : known) {
    const size_t d = EditDistance(w, k);
    if (d < bestDistance) {
      bestDistance = d;
      best = k;
    }
  }
  return best;
}

std::string Unknown(const char* what, const std::string& w, const std::vector<std::string>& known) {
  std::string msg = std::string("unknown ") + what + " " + Quote(w);
  const std::string near = Nearest(w, known);
  if (!near.empty()) msg += "; did you mean " + Quote(near) + "?";
  return msg;
}

const std::vector<std::string> kPrints = {"dialog", "console", "messages", "uvs",    "selection",
                                          "tags",   "objects", "mode",     "points", "attributes",
                                          "lines",  "keys",    "redraws"};
const std::vector<std::string> kExpects = {
    "uv",    "selection", "control",  "message", "messages", "console",
    "mode",  "objects",   "polygons", "file",    "changed",  "unchanged",
    "point", "attribute", "lines",    "keys",    "tracks",  "overlaps", "flips"};
const std::vector<std::string> kDialogVerbs = {"click", "tick", "choose", "type", "close"};

bool IsDialogVerb(const std::string& v) {
  return std::find(kDialogVerbs.begin(), kDialogVerbs.end(), v) != kDialogVerbs.end();
}

bool Quoted(const std::vector<bool>& q, size_t i) {
  return i < q.size() && q[i];
}

// The dialog says that the tool behind control id is not built yet.
bool ControlPending(GeDialog& dlg, Int32 id) {
  BaseContainer ask(BFM_ASK_CONTROL_PENDING), answer;
  ask.SetInt32(BFM_ACTION_ID, id);
  return dlg.Message(ask, answer) != 0 && answer.GetBool(BFM_CONTROL_PENDING);
}

ControlUse UseOf(const std::string& verb) {
  return verb == "click"    ? ControlUse::kClick
         : verb == "tick"   ? ControlUse::kTick
         : verb == "choose" ? ControlUse::kChoose
         : verb == "type"   ? ControlUse::kType
                            : ControlUse::kAny;
}

}  // namespace

const std::vector<std::string>& SessionVerbs() {
  static const std::vector<std::string> verbs = {
      "open",     "object", "tag",  "mode",   "select", "time",   "frame",   "fps",
      "evaluate", "draw",   "undo", "redo",   "save",   "export", "preview", "command",
      "dialog",   "click",  "tick", "choose", "type",   "close",  "modal",   "answer",
      "file",     "print",  "echo", "expect", "units",  "move",   "point",   "add",
      "uv",       "set",    "play", "track",  "key",    "inspect"};
  return verbs;
}

bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error,
                std::vector<bool>* quoted) {
  words.clear();
  if (quoted) quoted->clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string w;
    const bool inQuotes = c == '"';
    if (inQuotes) {
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
    if (quoted) quoted->push_back(inQuotes);
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
    if (r.flags == FILESELECT_SAVE && !r.answer.empty())
      beforeSave_.emplace(r.answer.str(), FileStamp(r.answer.str()));
    out_ << "file selector: " << r.title;
    if (r.defaulted)
      out_ << " (no answer given: cancel)";
    else
      out_ << " -> " << (r.answer.empty() ? "cancel" : r.answer);
    out_ << "\n";
  };
  host_.modalHandler = [this](GeDialog* dlg) {
    auto actions = std::move(modalActions_);
    auto quoted = std::move(modalQuoted_);
    modalActions_.clear();
    modalQuoted_.clear();
    modalLines_.clear();
    for (size_t i = 0; i < actions.size(); ++i) {
      std::string why;
      hostrt::ActionResult result;
      Int32 id = 0;
      if (!DialogAction(*dlg, actions[i], quoted[i], 0, why, result, id)) {
        if (modalError_.empty()) modalError_ = "modal dialog: " + why;
        return;
      }
      if (!result.warning.empty())
        modalWarnings_.push_back("modal dialog: " + std::to_string(id) + ": " + result.warning);
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

// Prints a warning; with --strict it fails the line.
bool Session::Warn(const std::string& what) {
  if (options_.strict) return Fail(what + " (--strict)");
  out_ << "warning: " << what << "\n";
  return true;
}

std::string Session::InputPath(const std::string& p) const {
  fs::path path(p);
  return path.is_absolute() ? p : (fs::path(options_.baseDir) / path).string();
}

std::string Session::OutputPath(const std::string& p) const {
  fs::path path(p);
  return path.is_absolute() ? p : (fs::path(options_.outDir) / path).string();
}

// ${scene}, ${stem} and ${out} in every word.
bool Session::Expand(std::vector<std::string>& words, std::string& error) const {
  for (std::string& word : words) {
    std::string out;
    size_t i = 0;
    while (i < word.size()) {
      const size_t at = word.find("${", i);
      if (at == std::string::npos) {
        out.append(word, i);
        break;
      }
      out.append(word, i, at - i);
      const size_t end = word.find('}', at + 2);
      if (end == std::string::npos) {
        error = "unterminated variable in " + Quote(word);
        return false;
      }
      const std::string name = word.substr(at + 2, end - at - 2);
      if (name == "scene" || name == "stem") {
        if (options_.scene.empty()) {
          error = "${" + name + "} needs a scene (--scene FILE)";
          return false;
        }
        out += name == "scene" ? options_.scene : SceneStem(options_.scene);
      } else if (name == "out") {
        out += options_.outDir;
      } else {
        error = "unknown variable ${" + name + "}; known are ${scene}, ${stem} and ${out}";
        return false;
      }
      i = end + 1;
    }
    word = std::move(out);
  }
  return true;
}

bool Session::Check(std::istream& in, const std::string& name) {
  name_ = name;
  std::string text, problems;
  int n = 0;
  while (std::getline(in, text)) {
    if (++n == 1) SkipByteOrderMark(text);
    std::vector<std::string> w;
    std::vector<bool> q;
    std::string why;
    if (SplitWords(text, w, why, &q) && Expand(w, why) && !w.empty()) why = CheckWords(w, q);
    if (!why.empty()) problems += name_ + ":" + std::to_string(n) + ": " + why + "\n";
  }
  checkFailed_ = !problems.empty();
  if (checkFailed_) {
    problems.pop_back();
    error_ = problems;
  }
  return !checkFailed_;
}

bool Session::Run(std::istream& in, const std::string& name) {
  std::vector<std::string> lines;
  for (std::string text; std::getline(in, text);) lines.push_back(text);
  if (!lines.empty()) SkipByteOrderMark(lines[0]);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  std::istringstream check(all);
  if (!Check(check, name)) return false;
  for (size_t i = 0; i < lines.size(); ++i)
    if (!RunLine(lines[i], static_cast<int>(i + 1))) return false;
  return Finish();
}

bool Session::Finish() {
  // What is still queued is dropped with a warning each. Queues are first in, first out: what is
  // left are the last ones queued.
  const std::vector<Queued> answers = std::move(answers_), files = std::move(files_);
  std::vector<Queued> modal;
  for (size_t i = 0; i < modalActions_.size(); ++i) {
    std::string t = "modal";
    for (const std::string& w : modalActions_[i]) t += " " + w;
    modal.push_back({modalLines_[i], t});
  }
  answers_.clear();
  files_.clear();
  modalActions_.clear();
  modalQuoted_.clear();
  modalLines_.clear();
  auto unused = [&](const std::vector<Queued>& queued, size_t left, const char* what) {
    for (size_t i = queued.size() - std::min(left, queued.size()); i < queued.size(); ++i) {
      line_ = queued[i].line;
      if (!Warn(queued[i].text + " was never used: no " + what + " came up")) return false;
    }
    return true;
  };
  return unused(answers, host_.PendingAnswers(), "message box") &&
         unused(files, host_.PendingFiles(), "file selector") &&
         unused(modal, modal.size(), "modal dialog");
}

bool Session::RunLine(const std::string& text, int line) {
  line_ = line;
  std::vector<std::string> w;
  std::string why;
  if (!SplitWords(text, w, why, &quoted_)) return Fail(why);
  if (w.empty()) return true;
  if (!Expand(w, why)) return Fail(why);
  why = CheckWords(w, quoted_);
  if (!why.empty()) return Fail(why);
  modalError_.clear();
  modalWarnings_.clear();
  bool ok = Dispatch(w);
  if (ok && !modalError_.empty()) return Fail(modalError_);
  for (const std::string& warning : modalWarnings_)
    if (ok) ok = Warn(warning);
  return ok;
}

// The line's form without running it: verbs, word counts, numbers, names.
std::string Session::CheckWords(const std::vector<std::string>& w, const std::vector<bool>& q,
                                size_t first) const {
  const std::string& verb = w[first];
  const size_t n = w.size() - first - 1;  // words after the verb
  auto arg = [&](size_t i) -> const std::string& { return w[first + i]; };
  auto count = [&](size_t lo, size_t hi, const char* form) -> std::string {
    if (n >= lo && n <= hi) return "";
    return "\"" + verb + "\" takes " +
           (lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi)) +
           " argument(s), got " + std::to_string(n) + " (" + form + ")";
  };
  auto control = [&](size_t i) -> std::string {
    std::string why;
    return CheckControlRef(options_.symbols.get(), {arg(i), Quoted(q, first + i)}, why) ? "" : why;
  };
  auto number = [&](size_t i, const char* what) -> std::string {
    Float v = 0;
    return ToFloat(arg(i), v) ? "" : std::string(what) + " " + Quote(arg(i)) + " is not a number";
  };
  auto whole = [&](size_t i, const char* what) -> std::string {
    Int32 v = 0;
    return ToInt(arg(i), v) ? ""
                            : std::string(what) + " " + Quote(arg(i)) + " is not a whole number";
  };
  auto indices = [&](size_t from) -> std::string {
    std::vector<std::pair<Int32, Int32>> ranges;
    std::string why;
    if (!ParseRanges(w, first + from, ranges, why)) return why;
    return ranges.empty() ? "no indices given" : "";
  };
  auto plugin = [&](size_t i) -> std::string {
    Int32 v = 0;
    if (ToInt(arg(i), v)) return "";
    std::string why;
    return CheckControlRef(options_.symbols.get(), {arg(i), false}, why) ? "" : why;
  };
  std::string e;

  if (verb == "open" || verb == "object" || verb == "file") return count(1, 1, "NAME");
  if (verb == "echo") return "";
  if (verb == "evaluate" || verb == "undo" || verb == "redo" || verb == "close" ||
      verb == "inspect")
    return count(0, 0, "no arguments");
  if (verb == "tag") {
    if (!(e = count(1, 2, "uvw [N] or none")).empty()) return e;
    if (arg(1) == "none") return n == 1 ? "" : "\"tag none\" takes no index";
    if (arg(1) != "uvw") return "expected \"tag uvw [N]\" or \"tag none\"";
    if (n == 1) return "";
    if (!(e = whole(2, "tag index")).empty()) return e;
    Int32 nr = 0;
    ToInt(arg(2), nr);
    return nr >= 0 ? "" : "tag index " + Quote(arg(2)) + " is below 0 (the first UVW tag is 0)";
  }
  if (verb == "mode") {
    if (!(e = count(1, 1, "NAME")).empty()) return e;
    std::vector<std::string> names;
    for (const ModeName& m : kModes) names.push_back(m.name);
    return IsMode(arg(1)) ? "" : Unknown("mode", arg(1), names);
  }
  if (verb == "select") {
    if (n < 2) return "select KIND [add|remove] INDICES, or select KIND all|none";
    if (!IsSelectionKind(arg(1))) return Unknown("selection", arg(1), kSelectionKinds);
    if (arg(2) == "all" || arg(2) == "none")
      return n == 2 ? "" : "\"select KIND " + arg(2) + "\" takes nothing more";
    return indices(arg(2) == "add" || arg(2) == "remove" ? 3 : 2);
  }
  if (verb == "time" || verb == "frame" || verb == "fps") {
    if (!(e = count(1, 1, "NUMBER")).empty()) return e;
    if (!(e = number(1, verb.c_str())).empty()) return e;
    Float v = 0;
    ToFloat(arg(1), v);
    if (verb == "fps" && (v < 1 || v > 1000 || v != std::floor(v)))
      return "fps must be a whole number from 1 to 1000";
    return "";
  }
  if (verb == "save" || verb == "export") {
    if (!(e = count(1, 2, "FILE [overwrite]")).empty()) return e;
    return n == 1 || arg(2) == "overwrite" ? "" : "expected \"overwrite\" after the file name";
  }
  if (verb == "preview") {
    if (n < 1) return "preview needs a file name";
    std::string suffix = fs::path(arg(1)).extension().string();
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), ::tolower);
    if (suffix != ".png" && suffix != ".svg")
      return "a preview is a PNG picture or an SVG drawing: " + Quote(arg(1)) +
             " needs the suffix .png or .svg";
    for (size_t i = 2; i <= n; ++i) {
      if (arg(i) == "selected" || arg(i) == "fit" || arg(i) == "all") continue;
      if (arg(i) == "color") {
        HeatMode mode;
        if (i + 1 > n) return "color needs density, stretch, flips or overlaps";
        if (!ParseHeatMode(arg(++i), mode))
          return Unknown("color", arg(i), {"density", "stretch", "flips", "overlaps"});
        continue;
      }
      if (arg(i) == "size") {
        if (i + 1 > n) return "size needs a number of pixels";
        if (!(e = whole(++i, "size")).empty()) return e;
        continue;
      }
      return Unknown("preview option", arg(i), {"size", "selected", "fit", "all", "color"});
    }
    return "";
  }
  if (verb == "command" || verb == "dialog") {
    if (!(e = count(1, 1, "ID")).empty()) return e;
    return plugin(1);
  }
  if (verb == "click") return (e = count(1, 1, "CONTROL")).empty() ? control(1) : e;
  if (verb == "tick") {
    if (!(e = count(2, 2, "CONTROL on|off")).empty()) return e;
    if (arg(2) != "on" && arg(2) != "off") return "tick takes on or off";
    return control(1);
  }
  if (verb == "choose") {
    if (!(e = count(2, 2, "CONTROL ENTRY")).empty()) return e;
    if (!(e = control(1)).empty()) return e;
    std::string why;
    return CheckControlRef(options_.symbols.get(), {arg(2), Quoted(q, first + 2)}, why) ? "" : why;
  }
  if (verb == "type") return (e = count(2, 2, "CONTROL TEXT")).empty() ? control(1) : e;
  if (verb == "modal") {
    if (first > 0) return "a modal action cannot queue another";
    if (n < 1) return "modal needs an action: type, click, tick, choose or close";
    if (!IsDialogVerb(arg(1))) return Unknown("modal action", arg(1), kDialogVerbs);
    return CheckWords(w, q, first + 1);
  }
  if (verb == "answer") {
    if (!(e = count(1, 1, "yes|no|ok|cancel")).empty()) return e;
    return arg(1) == "yes" || arg(1) == "no" || arg(1) == "ok" || arg(1) == "cancel"
               ? ""
               : "answer yes, no, ok or cancel";
  }
  if (verb == "print") {
    if (n < 1) return "print dialog|console|messages|uvs|selection|tags|objects|mode|keys";
    const std::string& what = arg(1);
    if (what == "uvs") return n == 1 ? "" : indices(2);
    if (what == "selection") {
      if (n != 2) return "print selection KIND";
      return IsSelectionKind(arg(2)) ? "" : Unknown("selection", arg(2), kSelectionKinds);
    }
    if (what == "points" || what == "attributes" || what == "lines")
      return CheckMeshWords(w, first);
    if (std::find(kPrints.begin(), kPrints.end(), what) == kPrints.end())
      return Unknown("print", what, kPrints);
    return n == 1 ? "" : "\"print " + what + "\" takes nothing more";
  }
  if (verb == "expect") {
    if (n < 1) return "expect what?";
    const std::string& what = arg(1);
    if (what == "changed" || what == "unchanged")
      return n == 1 ? "" : "\"expect " + what + "\" takes nothing more";
    if (what == "uv") {
      const char* form = "expect uv POLY CORNER U V [W] [within TOLERANCE]";
      if (n < 5) return form;
      if (!(e = whole(2, "polygon")).empty()) return e;
      if (CornerIndex(arg(3)) < 0) return "corner " + Quote(arg(3)) + " is not a, b, c, d or 0-3";
      if (!(e = number(4, "u")).empty() || !(e = number(5, "v")).empty()) return e;
      size_t i = 6;
      if (i <= n && arg(i) != "within" && !(e = number(i++, "w")).empty()) return e;
      if (i <= n && (arg(i) != "within" || i + 1 != n))
        return "expected \"within TOLERANCE\" at the end";
      return i <= n ? number(i + 1, "tolerance") : "";
    }
    if (what == "selection") {
      if (n < 3) return "expect selection KIND INDICES|none";
      if (!IsSelectionKind(arg(2))) return Unknown("selection", arg(2), kSelectionKinds);
      return n == 3 && arg(3) == "none" ? "" : indices(3);
    }
    if (what == "control") {
      const char* form =
          "expect control CONTROL value X|enabled|disabled|visible|hidden|label TEXT";
      if (n < 3) return form;
      if (!(e = control(2)).empty()) return e;
      const std::string& prop = arg(3);
      if (prop == "enabled" || prop == "disabled" || prop == "visible" || prop == "hidden")
        return n == 3 ? "" : "too many words";
      if (prop != "value" && prop != "label")
        return Unknown("control property", prop,
                       {"value", "label", "enabled", "disabled", "visible", "hidden"});
      return n == 4 ? "" : "expect control CONTROL " + prop + " VALUE";
    }
    if (what == "message" || what == "console") return n == 2 ? "" : "expect " + what + " TEXT";
    if (what == "mode") {
      if (n != 2) return "expect mode NAME";
      std::vector<std::string> names;
      for (const ModeName& m : kModes) names.push_back(m.name);
      return IsMode(arg(2)) ? "" : Unknown("mode", arg(2), names);
    }
    if (what == "messages" || what == "objects" || what == "polygons" || what == "overlaps" ||
        what == "flips")
      return n == 2 ? whole(2, "count") : "expect " + what + " COUNT";
    if (what == "file") {
      if (n < 3) return "expect file PATH exists|missing|contains TEXT";
      if (arg(3) == "exists" || arg(3) == "missing") return n == 3 ? "" : "too many words";
      return arg(3) == "contains" && n == 4 ? "" : "expect file PATH exists|missing|contains TEXT";
    }
    if (what == "point" || what == "attribute" || what == "lines") return CheckMeshWords(w, first);
    if (what == "keys" || what == "tracks")
      return n == 2 ? whole(2, "count") : "expect " + what + " COUNT";
    return Unknown("expectation", what, kExpects);
  }
  if (verb == "units") {
    if (!(e = count(2, 2, "SCALE UNIT")).empty()) return e;
    Float scale = 0;
    if (!ToFloat(arg(1), scale) || !(scale > 0))
      return "scale " + Quote(arg(1)) + " is not above 0";
    for (const UnitName& u : kUnits)
      if (arg(2) == u.name) return "";
    return Unknown("unit", arg(2), UnitNames());
  }
  if (verb == "move" || verb == "point" || verb == "add" || verb == "uv" || verb == "set" ||
      verb == "draw")
    return CheckMeshWords(w, first);
  if (verb == "play" || verb == "track" || verb == "key") return CheckAnimation(w, first);
  return Unknown("action", verb, SessionVerbs());
}

bool Session::DialogAction(GeDialog& dlg, const std::vector<std::string>& w,
                           const std::vector<bool>& q, size_t first, std::string& error,
                           hostrt::ActionResult& result, Int32& id) {
  const std::string& verb = w[first];
  id = 0;
  if (verb == "close") {
    result = hostrt::CloseWindow(host_, dlg);
  } else {
    if (!ResolveControl(dlg, options_.symbols.get(), {w[first + 1], Quoted(q, first + 1)},
                        UseOf(verb), id, error))
      return false;
    if (verb == "click") {
      result = hostrt::Click(host_, dlg, id);
    } else if (verb == "tick") {
      result = hostrt::Tick(host_, dlg, id, w[first + 2] == "on");
    } else if (verb == "choose") {
      const hostrt::DialogControl* c = dlg.GetModel() ? dlg.GetModel()->Find(id) : nullptr;
      Int32 entry = 0;
      if (!c) {
        error = "no control " + std::to_string(id);
        return false;
      }
      if (!ResolveEntry(*c, options_.symbols.get(), {w[first + 2], Quoted(q, first + 2)}, entry,
                        error))
        return false;
      result = hostrt::Choose(host_, dlg, id, entry);
    } else if (verb == "type") {
      result = hostrt::Type(host_, dlg, id, w[first + 2]);
    } else {
      error = "unknown dialog action \"" + verb + "\"";
      return false;
    }
  }
  if (!result.ok) error = result.error;
  return result.ok;
}

// A user's action on the current dialog, with the line that says what it changed.
bool Session::UserAction(const std::vector<std::string>& w) {
  if (!dialog_ || !host_.FindWindow(dialog_))
    return Fail("no open dialog (use \"command ID\" first)");
  BaseDocument* doc = host_.ActiveDocument();
  const Snapshot before = TakeSnapshot(doc, dialog_);
  const size_t selectors = host_.FileSelects().size();
  beforeSave_.clear();
#ifdef _WIN32
  // The standard library reads file times in whole seconds here: compare at that resolution, or
  // a file written within the same second would not count as written.
  const auto started = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now());
#endif
  hostrt::ActionResult result;
  Int32 id = 0;
  std::string why;
  const bool ok = DialogAction(*dialog_, w, quoted_, 0, why, result, id);
  if (!ok) return Fail(why);
  GeDialog* open = host_.FindWindow(dialog_) ? dialog_ : nullptr;
  const Snapshot after = TakeSnapshot(host_.ActiveDocument(), open);
  ActionReport report = Describe(w[0], id, before, after, host_.ActiveDocument());
#ifdef _WIN32
  const auto finished = fs::file_time_type::clock::now();
#endif
  // A file written through a save selector is what the action did, though the document stays.
  for (size_t k = selectors; k < host_.FileSelects().size(); ++k) {
    const hostrt::FileSelectRecord& f = host_.FileSelects()[k];
    std::error_code ec;
    if (f.flags != FILESELECT_SAVE || f.answer.empty()) continue;
    // A save renames a new file into place, so another file stands at the path than when the
    // selector was answered. The file's time alone proves nothing: it comes from a coarse clock,
    // or another machine's, and may lie before the click or far after it.
    const std::string path = f.answer.str();
    const bool exists = fs::is_regular_file(path, ec);
    auto stamp = beforeSave_.find(path);
    bool wrote = exists && (stamp == beforeSave_.end() || stamp->second != FileStamp(path));
#ifdef _WIN32
    // No file identity here, and times in whole seconds: a save of the same size within the
    // second the last one took leaves the same stamp.
    const auto t = fs::last_write_time(path, ec);
    wrote = wrote || (exists && !ec && t >= started && t <= finished);
#endif
    if (wrote) {
      report.changes.push_back("wrote " + path);
      written_.push_back(path);
    }
  }
  if (!result.warning.empty()) report.warnings.push_back(report.subject + ": " + result.warning);
  if (ControlPending(*dialog_, id))
    report.warnings.push_back(report.subject + ": not available yet");
  auto own = after.controls.find(id);
  const std::string ownValue = own != after.controls.end() ? own->second.value : std::string();
  last_ = report;
  out_ << report.Line(ownValue) << "\n";
  for (const std::string& warning : report.warnings)
    if (!Warn(warning)) return false;
  if (options_.strict && report.NothingHappened())
    return Fail(report.subject + ": nothing changed (" + report.state + ") (--strict)");
  return true;
}

bool Session::Dispatch(std::vector<std::string>& w) {
  const std::string& verb = w[0];
  BaseDocument* doc = host_.ActiveDocument();
  std::string why;

  if (verb == "open") {
    BaseDocument* fresh = host_.NewDocument();
    std::vector<std::string> warnings;
    bool ok;
    if (w[1].rfind("builtin:", 0) == 0) {
      ok = LoadBuiltinScene(w[1].substr(8), *fresh, why);
    } else {
      const std::string path = InputPath(w[1]);
      std::error_code ec;
      const auto size = fs::file_size(path, ec);
      Progress progress("loading " + w[1], ec ? 0 : static_cast<std::int64_t>(size));
      ok = IsGltfPath(path) ? LoadGltf(path, *fresh, why, &warnings)
                            : LoadObj(path, *fresh, why, &warnings, &progress);
      fresh->SetDocumentPath(fs::path(path).parent_path().string());
      fresh->SetDocumentName(fs::path(path).filename().string());
    }
    for (const std::string& warn : warnings)
      if (warned_.insert(warn).second) out_ << "warning: " << warn << "\n";
    if (!ok) return Fail(why);
    // A file without faces (a text that is not OBJ at all, say) leaves nothing to edit.
    if (!fresh->GetFirstObject())
      return Fail(w[1] + ": no polygon object (the file has no faces); nothing to edit");
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
  if (verb == "echo") {
    for (size_t i = 1; i < w.size(); ++i) out_ << (i > 1 ? " " : "") << w[i];
    out_ << "\n";
    return true;
  }
  if (verb == "modal") {
    modalActions_.emplace_back(w.begin() + 1, w.end());
    modalQuoted_.emplace_back(quoted_.begin() + 1, quoted_.end());
    modalLines_.push_back(line_);
    return true;
  }
  if (verb == "answer") {
    const std::map<std::string, GEMB_R> answers{
        {"yes", GEMB_R_YES}, {"no", GEMB_R_NO}, {"ok", GEMB_R_OK}, {"cancel", GEMB_R_CANCEL}};
    host_.QueueAnswer(answers.at(w[1]));
    answers_.push_back({line_, "answer " + w[1]});
    return true;
  }
  if (verb == "file") {
    host_.QueueFile(w[1] == "cancel" ? std::string() : OutputPath(w[1]));
    files_.push_back({line_, "file " + w[1]});
    return true;
  }
  if (!doc) return Fail("no document");

  if (verb == "object") {
    BaseObject* op = doc->SearchObject(w[1]);
    if (!op) return Fail("no object named \"" + w[1] + "\"");
    doc->SetActiveObject(op);
    return true;
  }
  if (verb == "tag") {
    // tag uvw N: the N-th UVW tag (from 0) becomes the selected one; tag none clears them.
    BaseObject* op = doc->GetActiveObject();
    if (!op) return Fail("no active object");
    Int32 nr = -1;
    if (w[1] == "uvw") {
      nr = 0;
      if (w.size() == 3) ToInt(w[2], nr);
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
    for (const ModeName& m : kModes)
      if (w[1] == m.name) doc->SetMode(m.mode);
    return true;
  }
  if (verb == "select") return Select(w);

  if (verb == "command" || verb == "dialog") {
    Int32 id = 0;
    if (!ToInt(w[1], id)) {
      auto named = options_.symbols ? options_.symbols->Find(w[1]) : std::nullopt;
      if (!named) return Fail("unknown name " + w[1]);
      id = *named;
    }
    if (verb == "dialog") {
      for (const hostrt::OpenWindow& win : host_.Windows())
        if (win.pluginId == id) {
          dialog_ = win.dialog;
          return true;
        }
      return Fail("no open dialog " + w[1]);
    }
    const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(id);
    if (!e || !e->command) return Fail("no command " + w[1]);
    const size_t before = host_.Windows().size();
    if (!e->command->Execute(doc)) return Fail("command " + w[1] + " failed");
    for (const hostrt::OpenWindow& win : host_.Windows())
      if (win.pluginId == id) dialog_ = win.dialog;
    if (host_.Windows().size() > before) out_ << "opened dialog " << id << "\n";
    return true;
  }
  if (IsDialogVerb(verb)) return UserAction(w);
  if (verb == "time" || verb == "frame" || verb == "fps") {
    Float v = 0;
    ToFloat(w[1], v);
    if (verb != "fps") return SetTime(w);
    doc->SetFps(static_cast<Int32>(v));
    return true;
  }
  if (verb == "evaluate") {
    hostrt::EvaluationReport r = hostrt::EvaluateScene(*doc);
    out_ << "evaluated: " << r.tagsExecuted << " tag(s)";
    if (r.tagErrors) out_ << ", " << r.tagErrors << " with errors";
    if (r.cachesBuilt) out_ << ", " << r.cachesBuilt << " generator(s) rebuilt";
    if (r.tracksAnimated) out_ << ", " << r.tracksAnimated << " track(s)";
    out_ << "\n";
    if (r.trackErrors) return Warn(std::to_string(r.trackErrors) + " track(s) failed to evaluate");
    return true;
  }
  if (verb == "draw") return Draw(w);
  if (verb == "undo" || verb == "redo") {
    if (!(verb == "undo" ? doc->DoUndo() : doc->DoRedo())) return Fail("nothing to " + verb);
    return true;
  }
  if (verb == "save" || verb == "export") return Save(w);
  if (verb == "preview") return Preview(w);
  if (verb == "inspect") return InspectActive(w);
  if (verb == "print") return Print(w);
  if (verb == "expect") return Expect(w);
  if (verb == "units") return Units(w);
  if (verb == "move" || verb == "point" || verb == "add" || verb == "uv" || verb == "set")
    return MeshAction(w);
  if (verb == "play" || verb == "track" || verb == "key") return Animation(w);
  return Fail("unknown action \"" + verb + "\"");
}

bool Session::Units(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  if (!doc) return Fail("no document");
  Float scale = 1.0;
  ToFloat(w[1], scale);
  for (const UnitName& u : kUnits) {
    if (w[2] != u.name) continue;
    UnitScaleData units;
    units.SetUnitScale(scale, u.unit);
    doc->SetUnitScale(units);
    out_ << "units: 1 scene unit = " << Num(scale) << " " << u.name << "\n";
    return true;
  }
  return Fail("unknown unit " + Quote(w[2]));
}

bool Session::Save(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  const std::string path = OutputPath(w[1]);
  // Replacing the mesh a document came from is easy to do by mistake: it takes a word.
  const std::string gltfSource = GltfSourcePath(*doc);
  const std::string source = gltfSource.empty() ? SourcePath(*doc) : gltfSource;
  std::error_code ec;
  if (!source.empty() && fs::exists(path, ec) && fs::equivalent(path, source, ec) && w.size() < 3 &&
      !options_.force)
    return Fail(w[1] + " is the file this document was opened from; write \"" + w[0] + " " + w[1] +
                " overwrite\" or run with --force to replace it");
  std::string why, note;
  bool ok;
  std::vector<std::string> notes;
  if (w[0] == "save" && (!gltfSource.empty() || IsGltfPath(path))) {
    ok = SaveGltf(*doc, path, why, &notes, w.size() == 3 || options_.force);
  } else if (!gltfSource.empty() || IsGltfPath(path)) {
    return Fail("export writes an OBJ file of the active object; converting from or to glTF is "
                "not this tool's job");
  } else if (w[0] == "save") {
    ok = SaveObj(*doc, path, why, &note, w.size() == 3 || options_.force);
  } else {
    // Only the active object, in a document of its own.
    BaseObject* op = doc->GetActiveObject();
    if (!op) return Fail("no active object to export");
    BaseDocument* tmp = BaseDocument::Alloc();
    tmp->InsertObject(static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_HIERARCHY, nullptr)),
                      nullptr, nullptr);
    tmp->GetDataInstance()->SetString(OBJ_MTLLIB, doc->GetDataInstance()->GetString(OBJ_MTLLIB));
    ok = SaveObj(*tmp, path, why, nullptr, w.size() == 3 || options_.force);
    BaseDocument::Free(tmp);
  }
  if (!ok) return Fail(why);
  if (!note.empty()) out_ << "note: " << note << "\n";
  for (const std::string& n : notes) out_ << "note: " << n << "\n";
  written_.push_back(path);
  out_ << "wrote " << path << "\n";
  return true;
}

bool Session::Preview(const std::vector<std::string>& w) {
  // preview FILE.png|FILE.svg [size N] [selected] [fit] [all] [color MODE]
  PreviewOptions opt;
  bool all = false;
  for (size_t i = 2; i < w.size(); ++i) {
    if (w[i] == "selected") {
      opt.selected = true;
    } else if (w[i] == "fit") {
      opt.fit = true;
    } else if (w[i] == "all") {
      all = true;
    } else if (w[i] == "size") {
      ToInt(w[++i], opt.size);
    } else if (w[i] == "color") {
      ParseHeatMode(w[++i], opt.color);
    }
  }
  BaseDocument* doc = host_.ActiveDocument();
  std::vector<PolygonObject*> objects;
  if (all) {
    objects = ObjectsWithUVs(*doc);
    if (objects.empty()) return Fail("no object of the document has UVs");
  } else {
    BaseObject* op = doc->GetActiveObject();
    if (!op) return Fail("no active object");
    if (op->GetType() != Opolygon) return Fail("the active object is not a polygon object");
    objects.push_back(static_cast<PolygonObject*>(op));
  }
  const std::string path = OutputPath(w[1]);
#ifdef PELTERRA_NO_CAIRO
  // This build draws no PNG pictures: the line says so, and the session goes on with its UVs.
  // An SVG drawing needs no cairo and is written as in any build.
  std::string suffix = fs::path(path).extension().string();
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (suffix != ".svg") {
    out_ << "note: " << path
         << " is not drawn: PNG previews are not available in this build (it is built without "
            "cairo)\n";
    return true;
  }
#endif
  std::string why, note;
  if (!WritePreview(objects, path, opt, why, &note)) return Fail(why);
  if (!note.empty()) out_ << "note: " << note << "\n";
  written_.push_back(path);
  out_ << "wrote " << path << "\n";
  return true;
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
  if (w.size() < 2)
    return Fail("print dialog|console|messages|uvs|selection|tags|objects|mode|keys");
  BaseDocument* doc = host_.ActiveDocument();
  const std::string& what = w[1];
  std::string why;
  if (what == "points" || what == "attributes" || what == "lines") return PrintMesh(w);
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
        } else {
          out_ << ": " << ObjectTypeText(op->GetType());
        }
        out_ << NodeBitsText(*op) << "\n";
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
      if (t->GetType() == Tpolygonselection)
        out_ << " selection " << Quote(t->GetName())
             << (t->GetDataInstance()->GetBool(OBJ_GROUP) ? " (group)" : "");
      if (const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(t->GetType()))
        out_ << " " << e->name;
      if (t->GetBit(BIT_ACTIVE)) out_ << " (selected)";
      out_ << "\n";
    }
    for (GeListNode* n = obj->GetCTrackRoot()->GetFirst(); n; n = n->GetNext())
      out_ << "track " << static_cast<BaseList2D*>(n)->GetType() << "\n";
    return true;
  }
  if (what == "keys") return PrintKeys();
  if (what == "redraws") return PrintRedraws();
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
  if (what == "point" || what == "attribute" || what == "lines") return ExpectMesh(w);

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
    std::vector<std::pair<Int32, Int32>> ranges;
    if (!(w.size() == 4 && w[3] == "none")) {
      std::string why;
      if (!ParseRanges(w, 3, ranges, why)) return Fail(why);
      for (auto [a, b] : ranges) want.SelectAll(a, b);
    }
    if (!(want == *sel)) return mismatch(w[2] + " " + RangesText(ranges), RangesText(*sel));
    return true;
  }
  if (what == "control") {
    // expect control ID value X | enabled | disabled | visible | hidden | label TEXT
    Int32 id = 0;
    if (!dialog_ || !host_.FindWindow(dialog_)) return Fail("no open dialog");
    std::string why;
    if (!ResolveControl(*dialog_, options_.symbols.get(), {w[2], Quoted(quoted_, 2)},
                        ControlUse::kAny, id, why))
      return Fail(why);
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
        // The entry of a combo box or radio group may be named like a choice.
        const bool list = !c->entries.empty();
        if (list ? !ResolveEntry(*c, options_.symbols.get(), {w[4], Quoted(quoted_, 4)}, want, why)
                 : !ToInt(w[4], want))
          return Fail(list ? why : "expected a whole number");
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
  if (what == "changed" || what == "unchanged") {
    if (!last_) return Fail("expect " + what + " needs a dialog action before it");
    if (last_->Changed() == (what == "changed")) return true;
    return Fail("expected the last action (" + last_->verb + " " + last_->subject + ") to " +
                (what == "changed" ? "change something; nothing changed (" + last_->state + ")"
                                   : "change nothing; it changed: " + last_->Line("")));
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
  if (what == "keys" || what == "tracks") return ExpectAnimation(w);
  if (what == "overlaps" || what == "flips") return ExpectInspection(w);
  return Fail("unknown expectation \"" + what + "\"");
}

}  // namespace pelterra
