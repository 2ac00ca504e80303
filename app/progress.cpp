#include "progress.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform.h"
#include "printable.h"

namespace pelterra {

namespace {

std::atomic<ProgressMode> g_mode{ProgressMode::Auto};

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int Percent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 0;
  if (done <= 0) return 0;
  if (done >= total) return 100;
  // Without overflow for totals near the limits of the type.
  return static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
}

}  // namespace

void SetProgressMode(ProgressMode mode) {
  g_mode.store(mode);
}

ProgressMode GetProgressMode() {
  return g_mode.load();
}

bool ParseProgressMode(std::string_view word, ProgressMode& mode) {
  if (word == "auto") mode = ProgressMode::Auto;
  else if (word == "plain") mode = ProgressMode::Plain;
  else if (word == "off") mode = ProgressMode::Off;
  else return false;
  return true;
}

ProgressOutput ProgressOutput::Stderr() {
  ProgressOutput out;
  out.mode = GetProgressMode();
  out.terminal = out.mode == ProgressMode::Auto && platform::StderrIsTerminal();
  out.write = [](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  out.seconds = SteadySeconds;
  return out;
}

// --- Progress ---

Progress::Progress(std::string what, std::int64_t total, ProgressOutput out)
    : what_(Printable(what)), total_(total), out_(std::move(out)) {}

Progress::~Progress() {
  if (shown_ && out_.Drawn()) out_.write("\r" + what_ + ": done\x1b[K\n");
}

void Progress::Update(std::int64_t done) {
  if (total_ <= 0 || !(out_.Drawn() || out_.Lines())) return;
  const int percent = Percent(done, total_);
  if (!started_) {
    started_ = true;
    if (percent >= 100) return;  // done before the first report: nothing worth showing
  }
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  if (out_.Drawn()) {
    if (shown_ && percent >= 100) return;  // the destructor writes "done"
    shown_ = true;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d%%", percent);
    out_.write("\r" + what_ + ": " + buf);
    return;
  }
  // One line for each tenth reached.
  const int tenth = percent / 10;
  if (tenth <= lastTenth_) return;
  lastTenth_ = tenth;
  shown_ = true;
  out_.write(what_ + ": " + std::to_string(tenth * 10) + "%\n");
}

// --- StatusDisplay ---

StatusDisplay::StatusDisplay(ProgressOutput out) : out_(std::move(out)) {}

StatusDisplay::~StatusDisplay() {
  End();
}

void StatusDisplay::End() {
  if (shown_ && out_.Drawn()) out_.write("\r" + text_ + ": done\x1b[K\n");
  shown_ = false;
  start_ = -1;
  percent_ = 0;
  lastTenth_ = 0;
}

void StatusDisplay::operator()(const hostrt::StatusRecord& r) {
  if (!(out_.Drawn() || out_.Lines())) return;
  switch (r.kind) {
    case hostrt::StatusRecord::Text:
      text_ = Printable(r.text);
      return;
    case hostrt::StatusRecord::Clear:
      End();
      text_.clear();
      return;
    case hostrt::StatusRecord::Bar:
      break;
  }
  const double now = out_.seconds();
  if (start_ < 0) start_ = now;
  percent_ = r.percent < 0 ? 0 : r.percent > 100 ? 100 : r.percent;
  if (now - start_ < kDelay) return;
  const std::string what = text_.empty() ? std::string("working") : text_;
  if (out_.Drawn()) {
    shown_ = true;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d%%", percent_);
    out_.write("\r" + what + ": " + buf);
    return;
  }
  const int tenth = percent_ / 10;
  if (tenth <= lastTenth_) return;
  lastTenth_ = tenth;
  shown_ = true;
  out_.write(what + ": " + std::to_string(tenth * 10) + "%\n");
}

// --- batches ---

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  if (seconds > 1e9) seconds = 1e9;
  const long long s = static_cast<long long>(seconds + 0.5);
  char buf[48];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", s / 3600, s % 3600 / 60);
  else if (s >= 60)
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", s / 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld s", s);
  return buf;
}

std::string BatchStatusText(int total, int done, int failed, int running, double elapsed) {
  std::string text = "batch: " + std::to_string(done) + "/" + std::to_string(total) + " done, " +
                     std::to_string(failed) + " failed, " + std::to_string(running) + " running";
  if (done >= total) return text;
  if (done <= 0 || !(elapsed > 0)) return text + ", estimating the time left";
  // Runs so far took elapsed for done of them; the rest go at the same pace.
  return text + ", about " + FormatDuration(elapsed / done * (total - done)) + " left";
}

BatchProgress::BatchProgress(int total, ProgressOutput out)
    : total_(total), out_(std::move(out)), start_(out_.seconds ? out_.seconds() : 0) {}

BatchProgress::~BatchProgress() {
  Finish();
}

void BatchProgress::Update(int done, int failed, int running) {
  if (!(out_.Drawn() || out_.Lines()) || total_ <= 0) return;
  const std::string text =
      BatchStatusText(total_, done, failed, running, out_.seconds() - start_);
  if (out_.Drawn()) {
    if (text == last_) return;
    std::string line = "\r" + text;
    if (text.size() < width_) line += std::string(width_ - text.size(), ' ');
    width_ = text.size();
    last_ = text;
    out_.write(line);
    return;
  }
  const int tenth = static_cast<int>(10LL * done / total_);
  if (tenth <= lastTenth_) return;
  lastTenth_ = tenth;
  out_.write(text + "\n");
}

void BatchProgress::Finish() {
  if (out_.Drawn() && width_ > 0) out_.write("\r" + std::string(width_, ' ') + "\r");
  width_ = 0;
  last_.clear();
}

}  // namespace pelterra
