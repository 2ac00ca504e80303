#include "workspace.h"

#include <filesystem>

#include "c4d_file.h"
#include "c4d_general.h"
#include "file_access.h"
#include "runtime/dialog_driver.h"

namespace pelterra::gui {

namespace fs = std::filesystem;

std::vector<std::string> GuiHost::TakeNoted() {
  std::vector<std::string> out;
  out.swap(noted_);
  return out;
}

const char* AnswerWord(GEMB_R answer) {
  switch (answer) {
    case GEMB_R_YES:
      return "yes";
    case GEMB_R_NO:
      return "no";
    case GEMB_R_CANCEL:
      return "cancel";
    default:
      return "ok";
  }
}

GEMB_R GuiHost::OutString(const String& text, Int32 flags) {
  // A line that queued an answer (a replayed "answer") takes it; otherwise the person answers.
  if (PendingAnswers() == 0 && askMessage) {
    GEMB_R answer = askMessage(text, flags);
    // Only the buttons the box has can be pressed; anything else is the box's way out.
    const Int32 buttons = flags & 0xF;
    const bool fits = buttons == GEMB_YESNO ? answer == GEMB_R_YES || answer == GEMB_R_NO
                      : buttons == GEMB_YESNOCANCEL
                          ? answer == GEMB_R_YES || answer == GEMB_R_NO || answer == GEMB_R_CANCEL
                      : buttons == GEMB_OKCANCEL ? answer == GEMB_R_OK || answer == GEMB_R_CANCEL
                                                 : answer == GEMB_R_OK;
    if (!fits)
      answer = buttons == GEMB_YESNO ? GEMB_R_NO : buttons == GEMB_OK ? GEMB_R_OK : GEMB_R_CANCEL;
    QueueAnswer(answer);
    Note(std::string("answer ") + AnswerWord(answer));
  }
  return Host::OutString(text, flags);
}

Bool GuiHost::FileSelect(Filename& name, Int32 type, Int32 flags, const String& title,
                         const String& forceSuffix) {
  if (PendingFiles() == 0 && askFile) {
    const std::optional<std::string> chosen =
        askFile({title, name.GetString(), flags == FILESELECT_SAVE});
    // Recorded with its full path: a replay from another folder reads and writes the same file.
    std::string path;
    if (chosen && !chosen->empty()) {
      std::error_code ec;
      path = fs::absolute(*chosen, ec).string();
      if (ec) path = *chosen;
    }
    QueueFile(path);
    Note(path.empty() ? std::string("file cancel") : "file " + QuoteWord(path));
  }
  return Host::FileSelect(name, type, flags, title, forceSuffix);
}

std::string QuoteWord(const std::string& word) {
  bool plain = !word.empty();
  for (char c : word)
    if (c == ' ' || c == '\t' || c == '\r' || c == '"' || c == '#' || c == '\\') plain = false;
  if (plain) return word;
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

Workspace::Workspace(GuiHost& host, std::shared_ptr<const Symbols> symbols)
    : host_(host), symbols_(std::move(symbols)) {
  SessionOptions options;
  options.symbols = symbols_;
  session_ = std::make_unique<Session>(host_, out_, options);
  // The session put its handler for queued "modal" lines in place; a person comes first.
  sessionModal_ = host_.modalHandler;
  host_.modalHandler = [this](GeDialog* dlg) {
    if (runModal)
      runModal(dlg);
    else if (sessionModal_)
      sessionModal_(dlg);
  };
}

Workspace::~Workspace() {
  host_.modalHandler = nullptr;
  host_.askMessage = nullptr;
  host_.askFile = nullptr;
}

Workspace::Result Workspace::Run(const std::string& line) {
  out_.str(std::string());
  host_.TakeNoted();
  Result r;
  r.ok = session_->RunLine(line, ++line_);
  r.output = out_.str();
  std::vector<std::string> noted = host_.TakeNoted();
  if (!r.ok) {
    r.error = session_->Error();
    // "session:N: " is the session's way of naming the line; the person knows which it was.
    const std::string prefix = "session:" + std::to_string(line_) + ": ";
    if (r.error.starts_with(prefix)) r.error.erase(0, prefix.size());
    return r;
  }
  recorded_.insert(recorded_.end(), noted.begin(), noted.end());
  recorded_.push_back(line);
  return r;
}

Workspace::Result Workspace::Peek(const std::string& line) {
  std::vector<std::string> words;
  std::string why;
  if (!SplitWords(line, words, why)) return {false, why, std::string()};
  if (words.empty() || (words[0] != "print" && words[0] != "expect" && words[0] != "echo"))
    return {false, "only print, expect and echo lines can run unrecorded", std::string()};
  out_.str(std::string());
  Result r;
  r.ok = session_->RunLine(line, 0);
  r.output = out_.str();
  if (!r.ok) r.error = session_->Error();
  return r;
}

Int32 Workspace::PluginOf(const GeDialog& dlg) const {
  const hostrt::OpenWindow* w = host_.FindWindow(&dlg);
  return w ? w->pluginId : 0;
}

Workspace::Result Workspace::RunOn(GeDialog& dlg, const std::string& line) {
  if (session_->CurrentDialog() != &dlg) {
    const Int32 plugin = PluginOf(dlg);
    if (plugin == 0) return {false, "the dialog is not open", std::string()};
    Result r = Run("dialog " + std::to_string(plugin));
    if (!r.ok) return r;
  }
  return Run(line);
}

std::string Workspace::ControlWord(Int32 id) const {
  if (symbols_) {
    const std::string name = symbols_->NameOf(id);
    // The name must lead back to this control, or the line would act on another.
    if (!name.empty() && symbols_->Find(name) == id) return name;
  }
  return std::to_string(id);
}

std::string Workspace::LineOf(const DialogAction& a) const {
  switch (a.verb) {
    case DialogAction::kClick:
      return "click " + ControlWord(a.id);
    case DialogAction::kTick:
      return "tick " + ControlWord(a.id) + (a.on ? " on" : " off");
    case DialogAction::kChoose:
      return "choose " + ControlWord(a.id) + " " + ControlWord(a.entry);
    case DialogAction::kType:
      return "type " + ControlWord(a.id) + " " + QuoteWord(a.text);
    case DialogAction::kClose:
      return "close";
  }
  return std::string();
}

hostrt::ActionResult Workspace::ModalAction(GeDialog& dlg, const DialogAction& a) {
  hostrt::ActionResult r;
  switch (a.verb) {
    case DialogAction::kClick:
      r = hostrt::Click(host_, dlg, a.id);
      break;
    case DialogAction::kTick:
      r = hostrt::Tick(host_, dlg, a.id, a.on);
      break;
    case DialogAction::kChoose:
      r = hostrt::Choose(host_, dlg, a.id, a.entry);
      break;
    case DialogAction::kType:
      r = hostrt::Type(host_, dlg, a.id, a.text);
      break;
    case DialogAction::kClose:
      r = hostrt::CloseWindow(host_, dlg);
      break;
  }
  if (r.ok) host_.Note("modal " + LineOf(a));
  return r;
}

bool Workspace::SaveSession(const std::string& path, std::string& error) const {
  std::string text = "# recorded by pelterra-gui; replay with: pelterra run FILE\n";
  for (const std::string& l : recorded_) text += l + "\n";
  std::string why;
  if (!ReplaceFile(path, text, {}, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace pelterra::gui
