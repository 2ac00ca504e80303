// The main window of pelterra-gui: the UV view in the middle; the plug-ins' dialogs, the
// recorded session, the console, the objects and the time slider around it. Every menu entry,
// click and keystroke that changes something is run as a session line through the Workspace.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>

#include "workspace.h"

class QActionGroup;
class QDockWidget;
class QLabel;
class QPlainTextEdit;
class QSlider;
class QTimer;
class QTreeWidget;

namespace pelterra::gui {

class DialogPanel;
class UvView;

class MainWindow : public QMainWindow {
 public:
  // host must have its plug-ins started; pluginFolder gives the control names.
  MainWindow(GuiHost& host, std::shared_ptr<const Symbols> symbols, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Runs a line as the person's action: recorded when it goes through; a failure is shown in
  // the status bar and the console. Everything is refreshed afterwards.
  Workspace::Result Act(const std::string& line);
  // A dialog action, from a widget of a dialog's panel.
  Workspace::Result ActOn(GeDialog& dlg, const DialogAction& action);
  // Brings every view in line with the host: dialog windows, view, objects, session, mode, time.
  void RefreshAll();

  Workspace& GetWorkspace() { return *workspace_; }
  UvView* View() const { return view_; }
  // The panel of an open dialog window, or nullptr.
  DialogPanel* PanelOf(const GeDialog* dlg) const;
  QPlainTextEdit* SessionPanel() const { return sessionText_; }
  QPlainTextEdit* ConsolePanel() const { return consoleText_; }
  QTreeWidget* ObjectList() const { return objects_; }
  QSlider* TimeSlider() const { return time_; }
  // The last failure shown, empty after a line that went through.
  const std::string& LastError() const { return lastError_; }

  // File menu entries, as the menu runs them (tests call them with a path).
  void OpenFile(const std::string& path);
  void SaveAs(const std::string& path);
  void ExportActive(const std::string& path);
  bool SaveSessionTo(const std::string& path);

 private:
  void BuildMenus();
  void BuildDocks();
  void SyncDialogs();
  void RefreshObjects();
  void RefreshSession();
  void Console(const std::string& text);
  void RunModal(GeDialog* dlg);

  GuiHost& host_;
  std::unique_ptr<Workspace> workspace_;
  UvView* view_ = nullptr;
  QPlainTextEdit* sessionText_ = nullptr;
  QPlainTextEdit* consoleText_ = nullptr;
  QTreeWidget* objects_ = nullptr;
  QSlider* time_ = nullptr;
  QLabel* frameLabel_ = nullptr;
  QActionGroup* modes_ = nullptr;
  QTimer* timer_ = nullptr;
  std::map<const GeDialog*, QDockWidget*> docks_;
  std::map<const GeDialog*, DialogPanel*> panels_;
  size_t consoleSeen_ = 0;
  std::string lastError_;
  bool refreshing_ = false;
};

}  // namespace pelterra::gui
