// Session scripts: one user action per line, run against the host as a user would act.
// docs/sessions.md describes the language.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "runtime/host.h"

class GeDialog;

namespace pelterra {

struct SessionOptions {
  std::string scene;          // ${scene}: the scene file given on the command line
  std::string outDir = ".";   // ${out}; files the session writes with a relative name go here
  std::string baseDir = ".";  // files the session reads with a relative name come from here
};

class Session {
 public:
  // host must have its plug-ins started; out receives what the session prints.
  Session(hostrt::Host& host, std::ostream& out, SessionOptions options);
  ~Session();

  // Runs every line of in; stops at the first line that fails. name labels error messages.
  bool Run(std::istream& in, const std::string& name);
  // Runs one line (line is its number, for messages).
  bool RunLine(const std::string& text, int line);

  // "name:line: what went wrong" after a failed Run or RunLine.
  const std::string& Error() const { return error_; }
  // Files the session wrote, in order.
  const std::vector<std::string>& Written() const { return written_; }
  GeDialog* CurrentDialog() const { return dialog_; }

 private:
  hostrt::Host& host_;
  std::ostream& out_;
  SessionOptions options_;
  std::string name_ = "session";
  int line_ = 0;
  std::string error_;
  std::vector<std::string> written_;
  GeDialog* dialog_ = nullptr;
  std::vector<std::vector<std::string>> modalActions_;
  std::string modalError_;

  bool Fail(const std::string& what);
  bool Dispatch(std::vector<std::string>& w);
  bool Expect(const std::vector<std::string>& w);
  bool Print(const std::vector<std::string>& w);
  bool Select(const std::vector<std::string>& w);
  bool DialogAction(GeDialog& dlg, const std::vector<std::string>& w, size_t first,
                    std::string& error);
  std::string InputPath(const std::string& p) const;
  std::string OutputPath(const std::string& p) const;
};

// Splits a line into words: blanks separate, "double quotes" group (with \" and \\), # starts a
// comment outside quotes. False with error for an unterminated quote.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

}  // namespace pelterra
