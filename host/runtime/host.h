// The host application's side of the function table: console, message boxes, documents,
// registration and dialog windows. Tests and the pelterra application drive plug-ins with it.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_gui.h"
#include "c4d_os.h"
#include "runtime/registry.h"

namespace hostrt {

// A message box as it was shown and answered.
struct MessageRecord {
  Int32 flags = 0;
  String text;
  GEMB_R answer = GEMB_R_UNDEFINED;
  bool defaulted = false;  // nobody had queued an answer
};

// A file selector as it was shown and answered.
struct FileSelectRecord {
  Int32 type = 0, flags = 0;
  String title;
  String offered;  // the name the selector offered first
  String answer;   // the chosen path; empty when cancelled
  bool defaulted = false;
};

// One call to the status bar: a bar (percent), a text, or clearing it.
struct StatusRecord {
  enum Kind { Bar, Text, Clear } kind = Clear;
  Int32 percent = 0;
  String text;
};

// A dialog window the host has open.
struct OpenWindow {
  GeDialog* dialog = nullptr;
  Int32 type = 0, pluginId = 0, x = 0, y = 0, w = 0, h = 0, subId = 0;
};

class Host : public C4DOS {
 public:
  explicit Host(Int32 version = C4D_API_VERSION);
  ~Host() override;

  // Console lines, in order; echo (when set) sees each line as it is printed.
  const std::vector<String>& Console() const { return console_; }
  void ClearConsole() { console_.clear(); }
  std::function<void(const String&)> echo;

  // Message boxes. Queued answers are used in order; without one an OK box answers OK and a
  // question answers no (cancel when it offers cancel).
  void QueueAnswer(GEMB_R answer) { answers_.push_back(answer); }
  size_t PendingAnswers() const { return answers_.size(); }
  const std::vector<MessageRecord>& Messages() const { return messages_; }
  std::function<void(const MessageRecord&)> onMessage;

  // File selectors. Queued answers are used in order (an empty path cancels); without one
  // the selector is cancelled.
  void QueueFile(const String& path) { files_.push_back(path); }
  size_t PendingFiles() const { return files_.size(); }
  const std::vector<FileSelectRecord>& FileSelects() const { return fileSelects_; }
  std::function<void(const FileSelectRecord&)> onFileSelect;

  // Documents; the host owns them. The first one is active until another is chosen.
  BaseDocument* NewDocument();
  void SetActiveDocument(BaseDocument* doc) { active_ = doc; }
  BaseDocument* ActiveDocument() const { return active_; }
  // Frees every document, as the host does before it unloads its plug-ins: their tags and
  // tracks may hold plug-in data whose code lives in a module.
  void FreeDocuments();
  Int32 EventCount() const { return events_; }

  // Registrations asked for, accepted or not.
  Int32 RegistrationCount() const { return registrations_; }

  // Windows.
  const std::vector<OpenWindow>& Windows() const { return windows_; }
  const OpenWindow* FindWindow(const GeDialog* dlg) const;
  // The user closes the window: AskClose may refuse; otherwise DestroyWindow runs.
  bool UserClose(GeDialog* dlg);
  // A modal window is open: the handler acts on it as the user would (fill fields, press the
  // button that accepts, or close it). A window still open afterwards is closed as cancelled.
  std::function<void(GeDialog*)> modalHandler;
  Int32 ModalDefaults() const { return modalDefaults_; }
  // Time passes: every open window with a running timer gets one Timer call.
  void RunTimers();
  // Closes every window without asking (host shutdown).
  void CloseAllWindows();

  // C4DOS
  Bool RegisterPlugin(PluginEntry entry, const Filename& resFolder) override;
  Int32 NewDescriptionId() override;
  Bool RegisterDescription(Int32 id, const String& name, const Filename& resFolder) override;
  void Print(const String& line) override;
  GEMB_R OutString(const String& text, Int32 flags) override;
  BaseDocument* GetActiveDocument() override { return active_; }
  void EventAdd(Int32 flags) override;
  void StopAllThreads() override {}
  void CallCommand(Int32 id, Int32 subid) override;
  // Commands run through CallCommand, in order.
  const std::vector<Int32>& Commands() const { return commands_; }
  Bool FileSelect(Filename& name, Int32 type, Int32 flags, const String& title,
                  const String& forceSuffix) override;
  Bool OpenDialog(GeDialog* dlg, Int32 type, Int32 pluginid, Int32 x, Int32 y, Int32 w, Int32 h,
                  Int32 subid) override;
  Bool RestoreDialogLayout(GeDialog* dlg, Int32 pluginid, Int32 subid, void* secret) override;
  Bool CloseDialog(GeDialog* dlg) override;
  Bool LoadDialogResource(GeDialog* dlg, const GeResource& res, Int32 id,
                          String& error) override;
  // The mouse cursor, and every change of it in order.
  void ShowMouse(Int32 cursor) override { cursors_.push_back(cursor); }
  Int32 Cursor() const { return cursors_.empty() ? MOUSE_NORMAL : cursors_.back(); }
  const std::vector<Int32>& Cursors() const { return cursors_; }
  // Immediate redraws asked for, with their flags, in order.
  Bool DrawViews(Int32 flags) override {
    redraws_.push_back(flags);
    return true;
  }
  const std::vector<Int32>& Redraws() const { return redraws_; }
  // The status bar's calls, in order; onStatus (when set) draws each as it comes.
  void StatusSetBar(Int32 percent) override { Status({StatusRecord::Bar, percent, String()}); }
  void StatusSetText(const String& text) override { Status({StatusRecord::Text, 0, text}); }
  void StatusClear() override { Status({StatusRecord::Clear, 0, String()}); }
  const std::vector<StatusRecord>& Statuses() const { return statuses_; }
  std::function<void(const StatusRecord&)> onStatus;

 private:
  std::vector<String> console_;
  std::deque<GEMB_R> answers_;
  std::vector<MessageRecord> messages_;
  std::deque<String> files_;
  std::vector<FileSelectRecord> fileSelects_;
  std::vector<std::unique_ptr<BaseDocument>> docs_;
  BaseDocument* active_ = nullptr;
  Int32 events_ = 0;
  std::vector<Int32> commands_;
  Int32 registrations_ = 0;
  std::vector<OpenWindow> windows_;
  Int32 modalDefaults_ = 0;  // modal windows nobody acted on
  std::vector<Int32> cursors_;
  std::vector<Int32> redraws_;
  std::vector<StatusRecord> statuses_;

  void Status(StatusRecord r) {
    if (onStatus) onStatus(r);
    statuses_.push_back(std::move(r));
  }
};

}  // namespace hostrt
