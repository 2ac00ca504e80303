// The session's animation lines: the document's time, playing a range of frames, adding tracks
// and keys as the timeline does, and a track's keys as the attribute manager shows them.
#include <charconv>
#include <numeric>
#include <ostream>

#include "c4d_canimation.h"
#include "runtime/animation.h"
#include "runtime/dialog_view.h"
#include "runtime/scene.h"
#include "session.h"

namespace pelterra {

namespace {

// A play line evaluates at most this many frames.
constexpr Int64 kMaxPlayFrames = 100000;

bool WholeNumber(const std::string& s, Int32& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A decimal number as written, as an exact fraction n / d in lowest terms: "1.16" is 29 / 25.
// False for other forms (exponents) and for more digits than 64 bits hold.
bool DecimalFraction(const std::string& s, Int64& n, Int64& d) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  Int64 num = 0, den = 1;
  int digits = 0;
  bool point = false, any = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || ++digits > 18) return false;
    num = num * 10 + (c - '0');
    if (point) den *= 10;
    any = true;
  }
  if (!any) return false;
  const Int64 g = std::gcd(num, den);
  n = (negative ? -num : num) / g;
  d = den / g;
  return true;
}

// The time a session names: seconds, or frames at fps; exact for decimal numbers.
BaseTime TimeOf(const std::string& text, Int32 fps, bool frames) {
  Int64 n = 0, d = 1, den = 0;
  if (DecimalFraction(text, n, d) && !__builtin_mul_overflow(d, frames ? Int64(fps) : 1, &den) &&
      den > 0 && den <= (Int64(1) << 53) && n >= -(Int64(1) << 53) && n <= (Int64(1) << 53))
    return BaseTime(Float(n), Float(den));
  const Float v = std::strtod(text.c_str(), nullptr);
  return frames ? BaseTime(v, fps) : BaseTime(v);
}

// "3-5,8" for frames 3, 4, 5 and 8 (in ascending order).
std::string FramesText(const std::vector<Int32>& frames) {
  std::string t;
  for (size_t i = 0; i < frames.size();) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (!t.empty()) t += ",";
    t += std::to_string(frames[i]);
    if (j > i) t += "-" + std::to_string(frames[j]);
    i = j + 1;
  }
  return t;
}

std::string TimeText(const BaseTime& t, Int32 fps) {
  return "frame " + std::to_string(t.GetFrame(fps)) + " (" + hostrt::FormatNumber(t.Get()) + " s)";
}

Int32 KeyCount(CTrack* track) {
  CCurve* c = track->GetCurve(CCURVE_CURVE, false);
  return c ? c->GetKeyCount() : 0;
}

}  // namespace

bool Session::PluginId(const std::string& word, Int32& id) const {
  if (WholeNumber(word, id)) return true;
  auto named = options_.symbols ? options_.symbols->Find(word) : std::nullopt;
  if (!named) return false;
  id = *named;
  return true;
}

std::string Session::CheckAnimation(const std::vector<std::string>& w, size_t first) const {
  const std::string& verb = w[first];
  const size_t n = w.size() - first - 1;
  if (verb == "play") {
    Int32 from = 0, to = 0;
    if (n != 2) return "play takes 2 arguments, got " + std::to_string(n) + " (FROM TO)";
    if (!WholeNumber(w[first + 1], from) || !WholeNumber(w[first + 2], to))
      return "play FROM TO takes whole frame numbers";
    if (to < from)
      return "play goes from a frame to a later one (" + w[first + 1] + " to " + w[first + 2] + ")";
    if (Int64(to) - from >= kMaxPlayFrames)
      return "play covers at most " + std::to_string(kMaxPlayFrames) + " frames";
    return "";
  }
  // track add ID | key add ID
  if (n != 2 || w[first + 1] != "add") return verb + " add ID (a track plug-in's number or name)";
  Int32 id = 0;
  if (WholeNumber(w[first + 2], id)) return "";
  std::string why;
  return CheckControlRef(options_.symbols.get(), {w[first + 2], false}, why) ? "" : why;
}

bool Session::SetTime(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  doc->SetTime(TimeOf(w[1], doc->GetFps(), w[0] == "frame"));
  return true;
}

bool Session::Animation(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  const Int32 fps = doc->GetFps();
  if (w[0] == "play") {
    Int32 from = 0, to = 0;
    WholeNumber(w[1], from);
    WholeNumber(w[2], to);
    Int32 evaluated = 0;
    std::vector<Int32> failed;
    for (Int64 f = from; f <= to; ++f) {
      doc->SetTime(BaseTime(Float(f), fps));
      const hostrt::EvaluationReport r = hostrt::EvaluateScene(*doc);
      evaluated += r.tracksAnimated;
      if (r.trackErrors) failed.push_back(static_cast<Int32>(f));
    }
    out_ << "played frames " << from << " to " << to << " at " << fps << " fps: " << evaluated
         << " track evaluation(s)\n";
    if (evaluated == 0) return Warn("nothing to play: no object has a track");
    if (!failed.empty())
      return Warn("a track failed to evaluate at frame(s) " + FramesText(failed));
    return true;
  }

  BaseObject* op = doc->GetActiveObject();
  if (!op) return Fail("no active object");
  Int32 id = 0;
  if (!PluginId(w[2], id)) return Fail("unknown name " + w[2]);
  std::string why;
  if (w[0] == "track") {
    if (op->FindCTrack(DescID(id)))
      return Warn(op->GetName() + " already has track " + std::to_string(id));
    if (!hostrt::AddTrack(*doc, *op, DescID(id), why)) return Fail(why);
    out_ << "track " << id << " added to " << op->GetName() << "\n";
    return true;
  }
  CTrack* track = op->FindCTrack(DescID(id));
  if (!track)
    return Fail(op->GetName() + " has no track " + w[2] + "; add one with \"track add " + w[2] +
                "\"");
  CKey* key = hostrt::AddKey(*doc, *track, doc->GetTime(), why);
  if (!key) return Warn("no key added: " + why);
  out_ << "key added to track " << id << " of " << op->GetName() << " at "
       << TimeText(key->GetTime(), fps) << "\n";
  return true;
}

bool Session::PrintKeys() {
  BaseDocument* doc = host_.ActiveDocument();
  BaseObject* op = doc->GetActiveObject();
  if (!op) return Fail("no active object");
  if (!op->GetFirstCTrack()) out_ << op->GetName() << " has no tracks\n";
  for (CTrack* t = op->GetFirstCTrack(); t; t = t->GetNext()) {
    out_ << "track " << t->GetType();
    if (const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(t->GetType()))
      out_ << " \"" << e->name << "\"";
    out_ << ": " << KeyCount(t) << " key(s)\n";
    const std::string keys = hostrt::DescribeKeys(*doc, *t);
    for (size_t i = 0; i < keys.size();) {
      const size_t end = keys.find('\n', i);
      out_ << "  " << keys.substr(i, end - i) << "\n";
      i = end == std::string::npos ? keys.size() : end + 1;
    }
  }
  return true;
}

bool Session::ExpectAnimation(const std::vector<std::string>& w) {
  Int32 want = 0;
  if (w.size() != 3 || !WholeNumber(w[2], want)) return Fail("expect " + w[1] + " COUNT");
  BaseObject* op = host_.ActiveDocument()->GetActiveObject();
  if (!op) return Fail("no active object");
  Int32 got = 0;
  for (CTrack* t = op->GetFirstCTrack(); t; t = t->GetNext())
    got += w[1] == "keys" ? KeyCount(t) : 1;
  if (got != want)
    return Fail("expected " + w[2] + " " + w[1] + " on " + op->GetName() + ", got " +
                std::to_string(got));
  return true;
}

}  // namespace pelterra
