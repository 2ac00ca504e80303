#include "batch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "file_access.h"
#include "platform.h"
#include "progress.h"
#include "runtime/module_loader.h"
#include "scenes.h"
#include "session.h"

namespace fs = std::filesystem;

namespace pelterra {

const char* const kBatchHelp =
    "usage: pelterra batch SESSION FILES... [--jobs N] [--out DIR] [--report FILE]\n"
    "                      [--timeout S] [--keep-going | --fail-fast] [--strict] [--force]\n\n"
    "Checks SESSION once, then runs it on each file (OBJ files or builtin:NAME) in a process of\n"
    "its own, N at a time (default: the number of cores), as `pelterra run SESSION --scene FILE\n"
    "--out DIR/STEM` would. FILES may be patterns (\"meshes/*.obj\") or @LIST, a file with one\n"
    "name per line. What each run printed is in DIR/STEM.log. At the end a table shows each\n"
    "file's result, seconds and first error line.\n"
    "  --jobs N       runs at a time (1 to 256)\n"
    "  --out DIR      outputs go to DIR/STEM/ (default: the current folder)\n"
    "  --report FILE  FILE.xml: JUnit XML; FILE.json: JSON; may be given twice\n"
    "  --timeout S    a run that takes longer is killed with all it started (default 3600;\n"
    "                 0: no limit)\n"
    "  --keep-going   run every file whatever fails (the default)\n"
    "  --fail-fast    stop at the first run that does not pass\n"
    "  --strict, --force  passed on to each run (see pelterra run --help)\n"
    "Progress goes to stderr on a terminal; --progress=plain prints a line per 10 % instead.\n"
    "Exit code: 0 every run passed, 1 one did not, 2 nothing ran, 130 interrupted.\n"
    "docs/batch.md shows the same batch on GNU parallel, Slurm and render-farm managers.\n";

namespace {

constexpr size_t kOutputKept = 64 * 1024;     // of each run's output, in the reports
constexpr size_t kLogRead = 16 * 1024 * 1024;  // read of a log at most

bool IsPattern(const std::string& word) {
  return word.find_first_of("*?[") != std::string::npos;
}

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The start of a log (up to kLogRead bytes) and, when it is longer, its end.
std::string ReadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::string text(kLogRead, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string Tail(const std::string& text) {
  if (text.size() <= kOutputKept) return text;
  size_t from = text.size() - kOutputKept;
  const size_t nl = text.find('\n', from);
  if (nl != std::string::npos && nl + 1 < text.size()) from = nl + 1;
  return "[... " + std::to_string(from) + " bytes left out ...]\n" + text.substr(from);
}

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", std::isfinite(s) && s > 0 ? s : 0.0);
  return buf;
}

// Attribute values escape quotes and line breaks too; element text keeps its line breaks.
std::string Xml(std::string_view raw, bool attribute) {
  const std::string text = ReportText(raw);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#13;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      case '\'': out += attribute ? "&apos;" : "'"; break;
      case '\n': out += attribute ? "&#10;" : "\n"; break;
      case '\t': out += attribute ? "&#9;" : "\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::string XmlEscape(std::string_view raw) {
  return Xml(raw, true);
}

std::string XmlText(std::string_view raw) {
  return Xml(raw, false);
}

std::string JsonString(std::string_view raw) {
  const std::string text = ReportText(raw);
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

struct Running {
  size_t index;
  platform::Process process;
  double start;
};

// Fills in how a run that ended went.
void Finish(RunResult& r, const platform::Exit& e, double seconds) {
  r.seconds = seconds;
  r.exitCode = e.signaled ? -1 : e.code;
  r.signal = e.signaled ? e.signal : 0;
  const std::string log = ReadLog(r.log);
  r.output = Tail(log);
  if (e.signaled) {
    r.status = RunStatus::Crashed;
    r.error = "crashed: " + platform::SignalName(e.signal);
    const std::string line = FirstErrorLine(log);
    if (!line.empty()) r.error += "; " + line;
  } else if (e.code == 0) {
    r.status = RunStatus::Passed;
    r.error.clear();
  } else {
    r.status = RunStatus::Failed;
    r.error = FirstErrorLine(log);
    if (r.error.empty()) r.error = "exit code " + std::to_string(e.code);
  }
}

}  // namespace

bool CollectFiles(const std::vector<std::string>& words, std::vector<BatchInput>& files,
                  std::string& error) {
  std::vector<std::string> names;
  for (const std::string& word : words) {
    if (word.size() > 1 && word[0] == '@') {
      const std::string list = word.substr(1);
      std::string text;
      if (!ReadRegularFile(list, text, error)) return false;
      std::istringstream in(text);
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const size_t last = line.find_last_not_of(" \t");
        names.push_back(line.substr(first, last - first + 1));
      }
    } else if (IsPattern(word) && word.rfind("builtin:", 0) != 0) {
      std::vector<std::string> matches;
      std::string why;
      if (!platform::ExpandPattern(word, matches, why)) {
        error = word + ": " + why;
        return false;
      }
      if (matches.empty()) {
        error = word + ": no file matches";
        return false;
      }
      names.insert(names.end(), matches.begin(), matches.end());
    } else {
      names.push_back(word);
    }
  }
  if (names.empty()) {
    error = "no files to run on";
    return false;
  }
  std::map<std::string, std::string> byStem;
  files.clear();
  for (const std::string& name : names) {
    const std::string stem = SceneStem(name);
    if (stem.empty() || stem == "." || stem == "..") {
      error = name + ": no name for its output folder";
      return false;
    }
    auto [it, added] = byStem.emplace(stem, name);
    if (!added) {
      error = it->second + " and " + name + " would both write to the folder " + stem +
              "; rename one or run them in two batches";
      return false;
    }
    files.push_back({name, stem});
  }
  return true;
}

const char* RunStatusName(RunStatus status) {
  switch (status) {
    case RunStatus::Passed: return "passed";
    case RunStatus::Failed: return "failed";
    case RunStatus::Crashed: return "crashed";
    case RunStatus::TimedOut: return "timed out";
    case RunStatus::Cancelled: return "cancelled";
    case RunStatus::NotRun: return "not run";
  }
  return "?";
}

std::string FirstErrorLine(std::string_view output) {
  const std::string_view prefix = "pelterra: ";
  size_t at = 0;
  while (at < output.size()) {
    size_t end = output.find('\n', at);
    if (end == std::string_view::npos) end = output.size();
    std::string_view line = output.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with(prefix)) {
      line.remove_prefix(prefix.size());
      if (!line.starts_with("warning:")) return std::string(line);
    }
    at = end + 1;
  }
  return std::string();
}

std::vector<RunResult> RunBatch(const std::vector<BatchInput>& files, const BatchOptions& options,
                                BatchProgress* progress) {
  std::vector<RunResult> results(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    RunResult& r = results[i];
    r.file = files[i].file;
    r.stem = files[i].stem;
    r.outDir = (fs::path(options.outDir) / files[i].stem).string();
    r.log = (fs::path(options.outDir) / (files[i].stem + ".log")).string();
  }
  const size_t jobs = static_cast<size_t>(std::max(1, options.jobs));
  std::vector<Running> running;
  size_t next = 0;
  int done = 0, failed = 0;
  bool stop = false;
  auto count = [&](const RunResult& r) {
    ++done;
    if (r.status != RunStatus::Passed) ++failed;
    if (r.status != RunStatus::Passed && options.failFast) stop = true;
  };
  auto cancelAll = [&](RunStatus as, const std::string& why) {
    const double now = Now();
    for (Running& run : running) {
      platform::KillProcessGroup(run.process);
      RunResult& r = results[run.index];
      platform::Exit e;
      e.ended = true;
      Finish(r, e, now - run.start);
      r.status = as;
      r.exitCode = -1;
      r.error = why;
    }
    running.clear();
  };
  if (progress) progress->Update(0, 0, 0);
  for (;;) {
    if (platform::Interrupted()) {
      stop = true;
      cancelAll(RunStatus::Cancelled, "cancelled: the batch was interrupted");
    }
    while (!stop && running.size() < jobs && next < files.size()) {
      RunResult& r = results[next];
      std::error_code ec;
      fs::create_directories(r.outDir, ec);
      std::vector<std::string> argv{options.program};
      argv.insert(argv.end(), options.global.begin(), options.global.end());
      argv.insert(argv.end(), {"run", options.session, "--scene", r.file, "--out", r.outDir});
      argv.insert(argv.end(), options.runFlags.begin(), options.runFlags.end());
      platform::Process process;
      std::string why;
      if (ec) {
        r.status = RunStatus::Failed;
        r.error = "cannot create " + r.outDir + ": " + ec.message();
        count(r);
      } else if (!platform::StartProcess(argv, r.log, process, why)) {
        r.status = RunStatus::Failed;
        r.error = why;
        count(r);
      } else {
        running.push_back({next, process, Now()});
      }
      ++next;
    }
    if (running.empty() && (stop || next >= files.size())) break;

    bool changed = false;
    for (size_t k = 0; k < running.size();) {
      Running& run = running[k];
      const platform::Exit e = platform::PollProcess(run.process);
      const double took = Now() - run.start;
      RunResult& r = results[run.index];
      if (e.ended) {
        Finish(r, e, took);
      } else if (options.timeout > 0 && took > options.timeout) {
        platform::KillProcessGroup(run.process);
        platform::Exit killed;
        killed.ended = true;
        Finish(r, killed, took);
        r.status = RunStatus::TimedOut;
        r.exitCode = -1;
        r.error = "timed out after " + FormatDuration(options.timeout) + "; killed";
      } else {
        ++k;
        continue;
      }
      count(r);
      changed = true;
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(k));
    }
    if (stop && options.failFast && !running.empty())
      cancelAll(RunStatus::Cancelled, "cancelled: an earlier run failed (--fail-fast)");
    if (progress) progress->Update(done, failed, static_cast<int>(running.size()));
    if (!changed && !running.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (size_t i = next; i < results.size(); ++i)
    results[i].error = platform::Interrupted() ? "not run: the batch was interrupted"
                                               : "not run: an earlier run failed (--fail-fast)";
  return results;
}

std::string ReportText(std::string_view text) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 15];
  };
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') escape(c);
      else if (c == 0x7f) escape(c);
      else out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The length of a well-formed sequence (no overlong forms, no surrogates, up to U+10FFFF).
    size_t len = 0;
    if (c >= 0xc2 && c <= 0xdf) len = 2;
    else if (c >= 0xe0 && c <= 0xef) len = 3;
    else if (c >= 0xf0 && c <= 0xf4) len = 4;
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) ok = (s[i + k] & 0xc0) == 0x80;
    if (ok && len == 3) {
      if (c == 0xe0 && s[i + 1] < 0xa0) ok = false;
      if (c == 0xed && s[i + 1] >= 0xa0) ok = false;
    }
    if (ok && len == 4) {
      if (c == 0xf0 && s[i + 1] < 0x90) ok = false;
      if (c == 0xf4 && s[i + 1] >= 0x90) ok = false;
    }
    // C1 controls (U+0080 to U+009F) are not allowed in XML either.
    if (ok && len == 2 && c == 0xc2 && s[i + 1] < 0xa0) ok = false;
    if (!ok) {
      escape(c);
      ++i;
      continue;
    }
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

void WriteSummary(std::ostream& out, const std::vector<RunResult>& results) {
  size_t fileWidth = 4, resultWidth = 6;
  double total = 0;
  int passed = 0;
  for (const RunResult& r : results) {
    fileWidth = std::max(fileWidth, r.file.size());
    resultWidth = std::max(resultWidth, std::string(RunStatusName(r.status)).size());
    total += r.seconds;
    if (r.status == RunStatus::Passed) ++passed;
  }
  fileWidth = std::min<size_t>(fileWidth, 60);
  auto pad = [](std::string s, size_t w) {
    if (s.size() < w) s += std::string(w - s.size(), ' ');
    return s;
  };
  out << pad("file", fileWidth) << "  " << pad("result", resultWidth) << "  " << "seconds"
      << "  first error\n";
  for (const RunResult& r : results) {
    char secs[32];
    std::snprintf(secs, sizeof secs, "%7.1f", r.seconds);
    out << pad(r.file, fileWidth) << "  " << pad(RunStatusName(r.status), resultWidth) << "  "
        << secs << "  " << r.error << "\n";
  }
  out << passed << " of " << results.size() << " passed";
  if (passed != static_cast<int>(results.size()))
    out << ", " << results.size() - static_cast<size_t>(passed) << " did not";
  out << " (" << Seconds(total) << " s of runs)\n";
}

std::string JUnitReport(const std::string& session, const std::vector<RunResult>& results) {
  int failures = 0, skipped = 0;
  double total = 0;
  for (const RunResult& r : results) {
    if (r.status == RunStatus::NotRun) ++skipped;
    else if (r.status != RunStatus::Passed) ++failures;
    total += r.seconds;
  }
  const std::string suite = fs::path(session).stem().string();
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += "<testsuites name=\"pelterra batch\" tests=\"" + std::to_string(results.size()) +
       "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" skipped=\"" +
       std::to_string(skipped) + "\" time=\"" + Seconds(total) + "\">\n";
  x += "  <testsuite name=\"" + XmlEscape(suite) + "\" tests=\"" + std::to_string(results.size()) +
       "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" skipped=\"" +
       std::to_string(skipped) + "\" time=\"" + Seconds(total) + "\">\n";
  x += "    <properties>\n      <property name=\"session\" value=\"" + XmlEscape(session) +
       "\"/>\n    </properties>\n";
  for (const RunResult& r : results) {
    x += "    <testcase classname=\"" + XmlEscape("pelterra." + suite) + "\" name=\"" +
         XmlEscape(r.file) + "\" file=\"" + XmlEscape(r.file) + "\" time=\"" + Seconds(r.seconds) +
         "\"";
    if (r.status == RunStatus::Passed) {
      x += ">\n";
    } else if (r.status == RunStatus::NotRun) {
      x += ">\n      <skipped message=\"" + XmlEscape(r.error) + "\"/>\n";
    } else {
      x += ">\n      <failure type=\"" + XmlEscape(RunStatusName(r.status)) + "\" message=\"" +
           XmlEscape(r.error) + "\">" + XmlText(r.error) + "</failure>\n";
    }
    if (!r.output.empty()) x += "      <system-out>" + XmlText(r.output) + "</system-out>\n";
    x += "    </testcase>\n";
  }
  x += "  </testsuite>\n</testsuites>\n";
  return x;
}

std::string JsonReport(const std::string& session, const std::vector<RunResult>& results) {
  int passed = 0, notRun = 0;
  for (const RunResult& r : results) {
    if (r.status == RunStatus::Passed) ++passed;
    if (r.status == RunStatus::NotRun) ++notRun;
  }
  const int failed = static_cast<int>(results.size()) - passed - notRun;
  std::string j = "{\n  \"session\": " + JsonString(session) + ",\n  \"tests\": " +
                  std::to_string(results.size()) + ",\n  \"passed\": " + std::to_string(passed) +
                  ",\n  \"failed\": " + std::to_string(failed) + ",\n  \"not_run\": " +
                  std::to_string(notRun) + ",\n  \"runs\": [";
  for (size_t i = 0; i < results.size(); ++i) {
    const RunResult& r = results[i];
    j += i ? ",\n    {" : "\n    {";
    j += "\"file\": " + JsonString(r.file) + ", \"stem\": " + JsonString(r.stem) +
         ", \"result\": " + JsonString(RunStatusName(r.status)) + ", \"exit_code\": " +
         (r.status == RunStatus::Passed || r.status == RunStatus::Failed
              ? std::to_string(r.exitCode)
              : std::string("null")) +
         ", \"signal\": " + (r.signal ? std::to_string(r.signal) : std::string("null")) +
         ", \"seconds\": " + Seconds(r.seconds) + ", \"error\": " + JsonString(r.error) +
         ", \"out\": " + JsonString(r.outDir) + ", \"log\": " + JsonString(r.log) +
         ", \"output\": " + JsonString(r.output) + "}";
  }
  j += results.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return j;
}

int BatchExitCode(const std::vector<RunResult>& results) {
  for (const RunResult& r : results)
    if (r.status != RunStatus::Passed) return 1;
  return 0;
}

namespace {

int Usage(const std::string& msg) {
  std::cerr << "pelterra: " << msg << " (see pelterra batch --help)\n";
  return 2;
}

bool WholeNumber(const std::string& text, long long lo, long long hi, long long& value) {
  try {
    size_t used = 0;
    value = std::stoll(text, &used);
    return used == text.size() && value >= lo && value <= hi;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, const std::string& pluginFolder,
                    bool quiet) {
  std::vector<std::string> positional, reports;
  std::string outDir = ".";
  long long jobs = std::max(1u, std::thread::hardware_concurrency());
  double timeout = 3600;
  bool failFast = false;
  std::vector<std::string> runFlags;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool valued = a == "--jobs" || a == "--out" || a == "--report" || a == "--timeout";
    if (valued && i + 1 >= args.size()) return Usage(a + " needs a value");
    if (a == "--jobs") {
      if (!WholeNumber(args[++i], 1, 256, jobs)) return Usage("--jobs needs a number from 1 to 256");
    } else if (a == "--out") {
      outDir = args[++i];
    } else if (a == "--report") {
      reports.push_back(args[++i]);
      const std::string ext = fs::path(reports.back()).extension().string();
      if (ext != ".xml" && ext != ".json")
        return Usage("--report " + reports.back() + ": the name must end in .xml or .json");
    } else if (a == "--timeout") {
      const std::string& t = args[++i];
      char* end = nullptr;
      timeout = std::strtod(t.c_str(), &end);
      if (t.empty() || *end != '\0' || !std::isfinite(timeout) || timeout < 0 || timeout > 1e7)
        return Usage("--timeout needs a number of seconds (0: no limit)");
    } else if (a == "--fail-fast") {
      failFast = true;
    } else if (a == "--keep-going") {
      failFast = false;
    } else if (a == "--strict" || a == "--force") {
      runFlags.push_back(a);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return Usage("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2) return Usage("batch needs a session and one or more files");
  const std::string session = positional[0];
  std::vector<BatchInput> files;
  std::string error;
  if (!CollectFiles({positional.begin() + 1, positional.end()}, files, error))
    return Usage(error);

  // The session is checked once, here, before any run starts.
  std::string text;
  if (!ReadRegularFile(session, text, error)) {
    std::cerr << "pelterra: " << error << "\n";
    return 2;
  }
  {
    hostrt::Host host;
    host.NewDocument();
    hostrt::PluginSystem plugins(host);
    if (!plugins.StartAll(pluginFolder, error)) {
      std::cerr << "pelterra: " << error << "\n";
      return 2;
    }
    SessionOptions opt;
    const std::string& first = files[0].file;
    opt.scene = first.rfind("builtin:", 0) == 0 ? first : fs::absolute(first).string();
    opt.outDir = (fs::path(outDir) / files[0].stem).string();
    opt.baseDir = fs::path(session).parent_path().string();
    if (opt.baseDir.empty()) opt.baseDir = ".";
    opt.strict = std::find(runFlags.begin(), runFlags.end(), "--strict") != runFlags.end();
    opt.force = std::find(runFlags.begin(), runFlags.end(), "--force") != runFlags.end();
    opt.symbols = Symbols::FromPluginFolder(pluginFolder);
    std::ostringstream ignored;
    Session check(host, ignored, opt);
    std::istringstream in(text);
    const bool ok = check.Check(in, session);
    plugins.EndAll();
    if (!ok) {
      std::cerr << check.Error() << "\n";
      std::cerr << "pelterra: the session has problems; nothing ran\n";
      return 2;
    }
  }
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec) {
    std::cerr << "pelterra: cannot create " << outDir << ": " << ec.message() << "\n";
    return 2;
  }

  BatchOptions options;
  // PELTERRA_BATCH_PROGRAM runs each file through another program, a wrapper that ends with
  // `exec pelterra "$@"` (a container, a debugger, a stand-in in the tests).
  const char* program = std::getenv("PELTERRA_BATCH_PROGRAM");
  options.program = program && *program ? program : platform::SelfPath();
  if (options.program.empty()) {
    std::cerr << "pelterra: cannot find this program's own file to run each file with\n";
    return 2;
  }
  options.global = {"--plugins", fs::absolute(pluginFolder).string()};
  if (quiet) options.global.push_back("--quiet");
  options.session = session;
  options.runFlags = runFlags;
  options.outDir = outDir;
  options.jobs = static_cast<int>(std::min<long long>(jobs, static_cast<long long>(files.size())));
  options.timeout = timeout;
  options.failFast = failFast;

  BatchProgress progress(static_cast<int>(files.size()));
  platform::CatchInterrupts();
  std::vector<RunResult> results = RunBatch(files, options, &progress);
  const bool interrupted = platform::Interrupted();
  platform::ReleaseInterrupts();
  progress.Finish();

  WriteSummary(std::cout, results);
  std::cout.flush();
  int rc = BatchExitCode(results);
  for (const std::string& report : reports) {
    const bool xml = fs::path(report).extension() == ".xml";
    const std::string content =
        xml ? JUnitReport(session, results) : JsonReport(session, results);
    std::string why;
    if (ReplaceFile(report, content, ReplaceOptions(), why)) {
      std::cout << "wrote " << report << "\n";
    } else {
      std::cerr << "pelterra: cannot write " << report << ": " << why << "\n";
      rc = std::max(rc, 1);
    }
  }
  return interrupted ? 130 : rc;
}

}  // namespace pelterra
