// print redraws: the immediate redraws that tools asked the host for.
#include <ostream>
#include <string>

#include "c4d_general.h"
#include "session.h"

namespace pelterra {

namespace {

// The flags' names, for the reader of a session's output.
std::string DrawFlagsText(Int32 flags) {
  std::string t;
  const auto add = [&](Int32 bit, const char* name) {
    if (!(flags & bit)) return;
    t += t.empty() ? "" : ", ";
    t += name;
    flags &= ~bit;
  };
  add(DRAWFLAGS_ONLY_ACTIVE_VIEW, "active view only");
  add(DRAWFLAGS_NO_THREAD, "no thread");
  add(DRAWFLAGS_NO_ANIMATION, "no animation");
  if (flags != 0) t += (t.empty() ? "other " : ", other ") + std::to_string(flags);
  return t.empty() ? "none" : t;
}

}  // namespace

bool Session::PrintRedraws() {
  const std::vector<Int32>& redraws = host_.Redraws();
  if (redraws.empty()) out_ << "no redraws\n";
  for (size_t i = 0; i < redraws.size(); ++i)
    out_ << "redraw " << i + 1 << ": flags " << redraws[i] << " (" << DrawFlagsText(redraws[i])
         << ")\n";
  return true;
}

}  // namespace pelterra
