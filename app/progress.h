// Progress of long work on stderr: redrawn in place on a terminal, one line per tenth for logs
// (--progress=plain), or nothing. Never on stdout, where it would mix with what a session prints.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/host.h"

namespace pelterra {

enum class ProgressMode {
  Auto,   // drawn in place when stderr is a terminal, left out of logs and pipes
  Plain,  // one line per 10 %, wherever stderr goes
  Off,
};

// The mode for the whole program (main sets it from --progress=auto|plain|off).
void SetProgressMode(ProgressMode mode);
ProgressMode GetProgressMode();
bool ParseProgressMode(std::string_view word, ProgressMode& mode);

// Where progress goes and what time it is; tests give their own.
struct ProgressOutput {
  ProgressMode mode = GetProgressMode();
  bool terminal = false;                          // the sink is a terminal (Auto draws)
  std::function<void(std::string_view)> write;    // default: stderr
  std::function<double()> seconds;                // default: a steady clock
  static ProgressOutput Stderr();
  bool Drawn() const { return mode == ProgressMode::Auto && terminal; }
  bool Lines() const { return mode == ProgressMode::Plain; }
};

// Progress of one piece of work measured in units (bytes, polygons). Work that is complete at
// its first report is never shown, so small files do not flash a line.
class Progress {
 public:
  Progress(std::string what, std::int64_t total, ProgressOutput out = ProgressOutput::Stderr());
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void SetTotal(std::int64_t total) { total_ = total; }
  // Reports done of total; cheap to call often.
  void Update(std::int64_t done);

 private:
  std::string what_;
  std::int64_t total_;
  ProgressOutput out_;
  int lastPercent_ = -1;
  int lastTenth_ = 0;
  bool started_ = false;
  bool shown_ = false;
};

// Draws the host's status bar (StatusSetText, StatusSetBar, StatusClear) as progress. A tool's
// bar shows only once it has run for half a second: quick tools stay quiet.
class StatusDisplay {
 public:
  explicit StatusDisplay(ProgressOutput out = ProgressOutput::Stderr());
  ~StatusDisplay();
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;
  void operator()(const hostrt::StatusRecord& r);
  static constexpr double kDelay = 0.5;

 private:
  void End();
  ProgressOutput out_;
  std::string text_;
  double start_ = -1;  // time of the first bar since the last clear; -1: none
  int percent_ = 0;
  int lastTenth_ = 0;
  bool shown_ = false;
};

// "1 h 02 min", "3 min 05 s", "42 s".
std::string FormatDuration(double seconds);

// The state of a batch on one line: "batch: 7/20 done, 1 failed, 4 running, about 2 min 10 s
// left". The estimate comes from the runs finished so far.
std::string BatchStatusText(int total, int done, int failed, int running, double elapsed);

// Progress of a batch: redrawn on each change on a terminal, a line per tenth of the runs done
// with --progress=plain.
class BatchProgress {
 public:
  BatchProgress(int total, ProgressOutput out = ProgressOutput::Stderr());
  ~BatchProgress();
  BatchProgress(const BatchProgress&) = delete;
  BatchProgress& operator=(const BatchProgress&) = delete;
  void Update(int done, int failed, int running);
  // Takes the line off a terminal, before the summary is printed.
  void Finish();

 private:
  int total_;
  ProgressOutput out_;
  double start_;
  int lastTenth_ = 0;
  size_t width_ = 0;  // of the line drawn last
  std::string last_;
};

}  // namespace pelterra
