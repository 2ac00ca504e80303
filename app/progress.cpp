#include "progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "printable.h"

namespace pelterra {

bool Progress::Enabled() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

Progress::Progress(std::string what, std::int64_t total) : what_(Printable(what)), total_(total) {}

Progress::~Progress() {
  if (shown_) std::fprintf(stderr, "\r%s: done%20s\n", what_.c_str(), "");
}

void Progress::Update(std::int64_t done) {
  if (total_ <= 0 || !Enabled()) return;
  int percent = static_cast<int>(100 * done / total_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  shown_ = true;
  std::fprintf(stderr, "\r%s: %3d%%", what_.c_str(), percent);
  std::fflush(stderr);
}

}  // namespace pelterra
