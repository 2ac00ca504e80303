// `pelterra batch`: one session over many meshes, each run in a process of its own, a few at a
// time, with a time limit per run, a summary and reports that CI systems read (JUnit XML, JSON).
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace pelterra {

class BatchProgress;

// A file of the batch and the name of its output folder.
struct BatchInput {
  std::string file;
  std::string stem;
};

// Files from the words of the command line: a word with * ? or [ is a pattern (its matches,
// sorted; one that matches nothing is an error), @FILE reads one name per line (blank lines and
// # comments skipped), anything else (builtin:NAME too) is taken as it is. Two files with one
// stem would write into one folder, which is refused. False with error.
bool CollectFiles(const std::vector<std::string>& words, std::vector<BatchInput>& files,
                  std::string& error);

enum class RunStatus { Passed, Failed, Crashed, TimedOut, Cancelled, NotRun };
// "passed", "failed", "crashed", "timed out", "cancelled", "not run".
const char* RunStatusName(RunStatus status);

struct RunResult {
  std::string file, stem;
  std::string outDir;  // DIR/stem
  std::string log;     // DIR/stem.log: what the run printed
  RunStatus status = RunStatus::NotRun;
  int exitCode = -1;  // when it exited
  int signal = 0;     // when a signal ended it
  double seconds = 0;
  std::string error;   // the first error line, or what ended the run; empty when it passed
  std::string output;  // what it printed (the end of it when long)
};

struct BatchOptions {
  std::string program;                // runs each file: this program
  std::vector<std::string> global;    // options before the command (--plugins DIR, --quiet)
  std::string session;
  std::vector<std::string> runFlags;  // options of each run (--strict, --force)
  std::string outDir = ".";
  int jobs = 1;
  double timeout = 0;  // seconds per run; 0: no limit
  bool failFast = false;
};

// Runs the session on each file, at most jobs at a time, and answers one result per file in the
// order given, whatever order they finished in. The first failure stops a fail-fast batch: runs
// still going are cancelled, the rest are not run. Ctrl-C does the same for every batch.
std::vector<RunResult> RunBatch(const std::vector<BatchInput>& files, const BatchOptions& options,
                                BatchProgress* progress = nullptr);

// The first line of a run's output that reports an error ("pelterra: ..." but no warning), without
// the program's name; empty when there is none.
std::string FirstErrorLine(std::string_view output);

// The table printed at the end: file, result, seconds and the first error line.
void WriteSummary(std::ostream& out, const std::vector<RunResult>& results);
// One test case per file; a failure element with the error line for each run that did not pass.
std::string JUnitReport(const std::string& session, const std::vector<RunResult>& results);
// The same as JSON.
std::string JsonReport(const std::string& session, const std::vector<RunResult>& results);
// 0 when every run passed, otherwise 1.
int BatchExitCode(const std::vector<RunResult>& results);

// Text as reports may hold it: valid UTF-8 without control characters other than tab, line feed
// and carriage return; any other byte is written \xHH.
std::string ReportText(std::string_view text);

// The command: `batch SESSION FILES... [options]` with its words after "batch". Exit codes: 0 all
// passed, 1 a run did not pass, 2 nothing ran (bad options, files or session), 130 interrupted.
int RunBatchCommand(const std::vector<std::string>& args, const std::string& pluginFolder,
                    bool quiet);

extern const char* const kBatchHelp;

}  // namespace pelterra
