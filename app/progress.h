// Progress of long work on stderr, shown only when stderr is a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace pelterra {

class Progress {
 public:
  Progress(std::string what, std::int64_t total);
  ~Progress();
  // Reports done of total; cheap to call often.
  void Update(std::int64_t done);
  static bool Enabled();

 private:
  std::string what_;
  std::int64_t total_;
  int lastPercent_ = -1;
  bool shown_ = false;
};

}  // namespace pelterra
