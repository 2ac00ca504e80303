// What the graphical host does, without any widget: every user action is a session line, run
// through the same Session as `pelterra run`, and recorded when it went through. The answers a
// person gives to message boxes, file selectors and modal dialogs while a line runs are recorded
// before it as the lines that give them, so the recording replays headless.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "controls.h"
#include "runtime/host.h"
#include "session.h"

namespace pelterra::gui {

// What a file selector asks.
struct FileQuestion {
  std::string title;
  std::string offered;  // the name it offers first
  bool save = false;
};

// The host with a person at it. A message box or file selector that no session line answered
// asks through the functions below; without them it takes the headless default. Each answer is
// noted as the session line that gives it.
class GuiHost : public hostrt::Host {
 public:
  std::function<GEMB_R(const String& text, Int32 flags)> askMessage;
  // The chosen path, or nullopt when cancelled.
  std::function<std::optional<std::string>(const FileQuestion&)> askFile;

  // Lines noted since the last call, oldest first.
  std::vector<std::string> TakeNoted();
  void Note(const std::string& line) { noted_.push_back(line); }

  GEMB_R OutString(const String& text, Int32 flags) override;
  Bool FileSelect(Filename& name, Int32 type, Int32 flags, const String& title,
                  const String& forceSuffix) override;

 private:
  std::vector<std::string> noted_;
};

// A word as a session line writes it: in double quotes (with \" and \\) when it needs them.
std::string QuoteWord(const std::string& word);
// The session word for an answer to a message box.
const char* AnswerWord(GEMB_R answer);

// A user action on a dialog control, as its widget reports it.
struct DialogAction {
  enum Verb { kClick, kTick, kChoose, kType, kClose } verb = kClick;
  Int32 id = 0;
  bool on = false;   // tick
  Int32 entry = 0;   // choose
  std::string text;  // type
};

class Workspace {
 public:
  struct Result {
    bool ok = false;
    std::string error;   // why the line failed
    std::string output;  // what the session printed for it
  };

  Workspace(GuiHost& host, std::shared_ptr<const Symbols> symbols);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // Runs one line; when it goes through, the answers given meanwhile and then the line itself
  // are recorded. A refused line records nothing.
  Result Run(const std::string& line);
  // A dialog action on dlg: "dialog ID" goes first when dlg is not the session's current
  // dialog. line is the action (click, tick, choose, type, close).
  Result RunOn(GeDialog& dlg, const std::string& line);

  // Runs a line that only reports (print, expect, echo) without recording it; other verbs are
  // refused, since what they did would be missing from the recording.
  Result Peek(const std::string& line);

  const std::vector<std::string>& Recorded() const { return recorded_; }
  // The recorded lines as a session file; written through a temporary file renamed into place.
  bool SaveSession(const std::string& path, std::string& error) const;

  // A modal window is up: runModal acts on it as the user does (through ModalAction). Without it
  // the session's own handler runs (queued "modal" lines, else closed as cancelled).
  std::function<void(GeDialog*)> runModal;
  // A user action on an open modal window, through the same driver; noted as a "modal" line
  // when it goes through.
  hostrt::ActionResult ModalAction(GeDialog& dlg, const DialogAction& action);

  // The session line of an action, naming controls and entries by their symbol names where
  // they have one, else by number.
  std::string LineOf(const DialogAction& action) const;
  std::string ControlWord(Int32 id) const;
  // The plug-in that has dlg open, or 0.
  Int32 PluginOf(const GeDialog& dlg) const;

  Session& GetSession() { return *session_; }
  GuiHost& GetHost() { return host_; }
  const Symbols* GetSymbols() const { return symbols_.get(); }

 private:
  GuiHost& host_;
  std::shared_ptr<const Symbols> symbols_;
  std::ostringstream out_;
  std::unique_ptr<Session> session_;
  std::function<void(GeDialog*)> sessionModal_;
  std::vector<std::string> recorded_;
  int line_ = 0;
};

}  // namespace pelterra::gui
