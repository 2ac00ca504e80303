// Session scripts: one user action per line, run against the host as a user would act.
// docs/sessions.md describes the language.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "c4d_basedraw.h"
#include "controls.h"
#include "report.h"
#include "runtime/dialog_driver.h"
#include "runtime/host.h"

class GeDialog;

namespace pelterra {

struct SessionOptions {
  std::string scene;          // ${scene}: the scene file given on the command line
  std::string outDir = ".";   // ${out}; files the session writes with a relative name go here
  std::string baseDir = ".";  // files the session reads with a relative name come from here
  bool strict = false;        // warnings, and clicks that changed nothing, fail the session
  bool force = false;         // save and export may replace the file a document was opened from
  std::shared_ptr<const Symbols> symbols;  // control names; without them only numbers and labels
};

class Session {
 public:
  // host must have its plug-ins started; out receives what the session prints.
  Session(hostrt::Host& host, std::ostream& out, SessionOptions options);
  ~Session();

  // Checks every line of in first: when any is wrong, nothing runs and CheckFailed() is true.
  // Then runs the lines, stopping at the first that fails, and ends with Finish().
  bool Run(std::istream& in, const std::string& name);
  // Only the check of Run: unknown verbs, wrong word counts, bad numbers, unknown variables.
  bool Check(std::istream& in, const std::string& name);
  // Runs one line (line is its number, for messages).
  bool RunLine(const std::string& text, int line);
  // The end of the session: warns about answers that no message box, file selector or modal
  // dialog took.
  bool Finish();

  // "name:line: what went wrong" after a failure; after a failed check one such line per problem.
  const std::string& Error() const { return error_; }
  bool CheckFailed() const { return checkFailed_; }
  // Files the session wrote, in order.
  const std::vector<std::string>& Written() const { return written_; }
  GeDialog* CurrentDialog() const { return dialog_; }
  // What the last dialog action did.
  const std::optional<ActionReport>& LastReport() const { return last_; }

 private:
  struct Queued {
    int line;
    std::string text;
  };

  hostrt::Host& host_;
  std::ostream& out_;
  SessionOptions options_;
  std::string name_ = "session";
  int line_ = 0;
  std::string error_;
  bool checkFailed_ = false;
  std::vector<std::string> written_;
  // What each file a save selector named was before the plug-in could write it, by path.
  std::map<std::string, std::string> beforeSave_;
  GeDialog* dialog_ = nullptr;
  std::vector<std::vector<std::string>> modalActions_;
  std::vector<std::vector<bool>> modalQuoted_;
  std::vector<int> modalLines_;
  std::string modalError_;
  std::vector<std::string> modalWarnings_;
  std::vector<Queued> answers_, files_;
  std::set<std::string> warned_;  // warnings already printed
  std::optional<ActionReport> last_;
  std::vector<bool> quoted_;  // which words of the current line were in quotes

  bool Fail(const std::string& what);
  bool Warn(const std::string& what);
  bool Expand(std::vector<std::string>& words, std::string& error) const;
  std::string CheckWords(const std::vector<std::string>& w, const std::vector<bool>& q,
                         size_t first = 0) const;
  bool Dispatch(std::vector<std::string>& w);
  bool Expect(const std::vector<std::string>& w);
  bool Print(const std::vector<std::string>& w);
  bool Select(const std::vector<std::string>& w);
  bool Save(const std::vector<std::string>& w);
  bool Units(const std::vector<std::string>& w);
  bool Preview(const std::vector<std::string>& w);
  bool UserAction(const std::vector<std::string>& w);
  bool DialogAction(GeDialog& dlg, const std::vector<std::string>& w, const std::vector<bool>& q,
                    size_t first, std::string& error, hostrt::ActionResult& result, Int32& id);
  std::string InputPath(const std::string& p) const;
  std::string OutputPath(const std::string& p) const;

  // Geometry, attributes and the view (session_mesh.cpp): move, point, add, uv, set and draw;
  // print points, attributes and lines; expect point, attribute and lines.
  std::string CheckMeshWords(const std::vector<std::string>& w, size_t first) const;
  bool MeshAction(const std::vector<std::string>& w);
  bool PrintMesh(const std::vector<std::string>& w);
  bool ExpectMesh(const std::vector<std::string>& w);
  bool Draw(const std::vector<std::string>& w);
  std::vector<BaseDraw::Line> lines_;  // what the last draw drew
  bool drawn_ = false;
  // Animation (session_animation.cpp): the document's time, playing frames, tracks and keys.
  std::string CheckAnimation(const std::vector<std::string>& w, size_t first) const;
  bool Animation(const std::vector<std::string>& w);
  bool SetTime(const std::vector<std::string>& w);
  bool PrintKeys();
  // The immediate redraws the tools asked for, one line each, with their draw flags.
  bool PrintRedraws();
  bool ExpectAnimation(const std::vector<std::string>& w);
  // inspect: the layout report of the active object; expect overlaps|flips COUNT
  // (session_inspect.cpp).
  bool InspectActive(const std::vector<std::string>& w);
  bool ExpectInspection(const std::vector<std::string>& w);
  // A plug-in's identifier as a session names it: its number or its symbol name.
  bool PluginId(const std::string& word, Int32& id) const;
};

// Splits a line into words: blanks separate, "double quotes" group (with \" and \\), # starts a
// comment outside quotes. False with error for an unterminated quote. quoted, when given,
// receives per word whether it was written in quotes.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error,
                std::vector<bool>* quoted = nullptr);

// The verbs a session knows.
const std::vector<std::string>& SessionVerbs();

// How `print objects` names an object's type ("plane (5168)") and its node flags
// ("; node bits 63, 75", empty without any).
std::string ObjectTypeText(Int32 type);
std::string NodeBitsText(const BaseList2D& node);

}  // namespace pelterra
