// inspect and expect overlaps|flips: the UV layout report of the active object, so that a
// session can fix a layout and then prove that it is clean.
#include <ostream>
#include <string>

#include "inspect.h"
#include "session.h"
#include "words.h"

namespace pelterra {

namespace {

// The active object's layout; false with why when there is none.
bool ActiveLayout(hostrt::Host& host, Layout& layout, std::string& why) {
  BaseDocument* doc = host.ActiveDocument();
  BaseObject* obj = doc ? doc->GetActiveObject() : nullptr;
  if (!obj || obj->GetType() != Opolygon) {
    why = "no active polygon object";
    return false;
  }
  if (!LayoutOf(*static_cast<PolygonObject*>(obj), layout)) {
    why = "the active object has no UVW tag";
    return false;
  }
  return true;
}

}  // namespace

bool Session::InspectActive(const std::vector<std::string>&) {
  Layout layout;
  std::string why;
  if (!ActiveLayout(host_, layout, why)) return Fail(why);
  out_ << "inspect " << layout.name << ":\n" << ReportText(Inspect(layout));
  return true;
}

bool Session::ExpectInspection(const std::vector<std::string>& w) {
  Int32 want = 0;
  if (w.size() != 3 || !ToInt(w[2], want)) return Fail("expect " + w[1] + " COUNT");
  Layout layout;
  std::string why;
  if (!ActiveLayout(host_, layout, why)) return Fail(why);
  const InspectReport r = Inspect(layout);
  const bool overlaps = w[1] == "overlaps";
  const Int64 got = overlaps ? r.overlaps.count : r.flipped;
  if (got == want && (!overlaps || r.overlaps.complete)) return true;
  std::string detail;
  if (overlaps && !r.overlaps.first.empty())
    detail = " (first " + std::to_string(r.overlaps.first[0].first) + "/" +
             std::to_string(r.overlaps.first[0].second) + ")";
  return Fail("expected " + w[2] + " " + w[1] + ", got " + (overlaps && !r.overlaps.complete ? "at least " : "") +
              std::to_string(got) + detail);
}

}  // namespace pelterra
