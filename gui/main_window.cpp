#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDialog>
#include <QDockWidget>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "c4d_basedocument.h"
#include "c4d_basetag.h"
#include "dialog_panel.h"
#include "obj_io.h"
#include "runtime/registry.h"
#include "scenes.h"
#include "uv_view.h"

namespace pelterra::gui {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

struct ModeEntry {
  const char* word;
  const char* label;
  Int32 mode;
};
constexpr ModeEntry kModes[] = {{"object", "Object", Mobject},
                                {"points", "Points", Mpoints},
                                {"edges", "Edges", Medges},
                                {"polygons", "Polygons", Mpolygons},
                                {"model", "Model", Mmodel},
                                {"uvpoints", "UV Points", Muvpoints},
                                {"uvpolygons", "UV Polygons", Muvpolygons}};

// A dialog's dock: its close box asks the dialog (AskClose may refuse) instead of hiding it.
class DialogDock : public QDockWidget {
 public:
  DialogDock(const QString& title, std::function<void()> onClose, QWidget* parent)
      : QDockWidget(title, parent), onClose_(std::move(onClose)) {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (onClose_) onClose_();
  }

 private:
  std::function<void()> onClose_;
};

// A tag as the object list shows it: its name, or what kind of tag it is.
std::string TagText(BaseTag& t) {
  const Int32 type = t.GetType();
  std::string kind;
  switch (type) {
    case Tuvw:
      kind = "UVW";
      break;
    case Ttexture:
      kind = "Texture";
      break;
    case Tpoint:
      kind = "Point";
      break;
    case Tpolygon:
      kind = "Polygon";
      break;
    default:
      if (const PluginEntry* e = hostrt::Registry::Get().Find(type)) kind = e->name;
      break;
  }
  if (kind.empty()) kind = "tag " + std::to_string(type);
  return t.GetName().empty() ? kind : t.GetName() + " (" + kind + ")";
}

GEMB_R AskWithBox(QWidget* parent, const String& text, Int32 flags) {
  QMessageBox box(parent);
  box.setWindowTitle(QStringLiteral("Pelterra"));
  box.setText(Q(text));
  const Int32 icon = flags & 0xF0;
  box.setIcon(icon == GEMB_ICONSTOP          ? QMessageBox::Critical
              : icon == GEMB_ICONQUESTION    ? QMessageBox::Question
              : icon == GEMB_ICONEXCLAMATION ? QMessageBox::Warning
                                             : QMessageBox::Information);
  switch (flags & 0xF) {
    case GEMB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case GEMB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case GEMB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return GEMB_R_YES;
    case QMessageBox::No:
      return GEMB_R_NO;
    case QMessageBox::Ok:
      return GEMB_R_OK;
    default:
      return GEMB_R_CANCEL;
  }
}

}  // namespace

MainWindow::MainWindow(GuiHost& host, std::shared_ptr<const Symbols> symbols, QWidget* parent)
    : QMainWindow(parent), host_(host) {
  workspace_ = std::make_unique<Workspace>(host_, std::move(symbols));
  setWindowTitle(QStringLiteral("Pelterra"));
  host_.askMessage = [this](const String& text, Int32 flags) {
    return AskWithBox(this, text, flags);
  };
  host_.askFile = [this](const FileQuestion& q) -> std::optional<std::string> {
    const QString title = Q(q.title);
    const QString start = Q(q.offered);
    const QString path = q.save ? QFileDialog::getSaveFileName(this, title, start)
                                : QFileDialog::getOpenFileName(this, title, start);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
  };
  workspace_->runModal = [this](GeDialog* dlg) { RunModal(dlg); };

  view_ = new UvView(host_, this);
  view_->onSelect = [this](const std::string& line) { Act(line); };
  setCentralWidget(view_);
  BuildDocks();
  BuildMenus();

  // The dialogs' timers: a window whose timer still runs after an action gets its ticks here.
  timer_ = new QTimer(this);
  timer_->setInterval(50);
  connect(timer_, &QTimer::timeout, this, [this] {
    bool ticking = false;
    for (const hostrt::OpenWindow& w : host_.Windows())
      ticking = ticking || w.dialog->GetTimer() > 0;
    if (!ticking) {
      timer_->stop();
      return;
    }
    host_.RunTimers();
    RefreshAll();
  });
  resize(1280, 860);
  RefreshAll();
}

MainWindow::~MainWindow() {
  host_.askMessage = nullptr;
  host_.askFile = nullptr;
  workspace_->runModal = nullptr;
}

void MainWindow::BuildDocks() {
  auto dock = [this](const QString& title, QWidget* w, Qt::DockWidgetArea area) {
    auto* d = new QDockWidget(title, this);
    d->setObjectName(title);
    d->setWidget(w);
    addDockWidget(area, d);
    return d;
  };
  // The recorded session, with its save button.
  auto* sessionBox = new QWidget(this);
  auto* sl = new QVBoxLayout(sessionBox);
  sl->setContentsMargins(2, 2, 2, 2);
  sessionText_ = new QPlainTextEdit(sessionBox);
  sessionText_->setReadOnly(true);
  sessionText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* save = new QPushButton(tr("Save session..."), sessionBox);
  connect(save, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save session"), QString(),
                                                      tr("Sessions (*.session)"));
    if (!path.isEmpty()) SaveSessionTo(path.toStdString());
  });
  sl->addWidget(sessionText_);
  sl->addWidget(save);
  dock(tr("Session"), sessionBox, Qt::BottomDockWidgetArea);

  consoleText_ = new QPlainTextEdit(this);
  consoleText_->setReadOnly(true);
  dock(tr("Console"), consoleText_, Qt::BottomDockWidgetArea);

  objects_ = new QTreeWidget(this);
  objects_->setHeaderLabels({tr("Object"), tr("Polygons")});
  connect(objects_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    if (refreshing_ || !item || item->parent()) return;  // tags are shown, not picked
    Act("object " + QuoteWord(item->text(0).toStdString()));
  });
  dock(tr("Objects"), objects_, Qt::LeftDockWidgetArea);

  auto* timeBox = new QWidget(this);
  auto* tl = new QHBoxLayout(timeBox);
  time_ = new QSlider(Qt::Horizontal, timeBox);
  time_->setRange(0, 100);
  time_->setObjectName(QStringLiteral("time"));
  frameLabel_ = new QLabel(QStringLiteral("0"), timeBox);
  frameLabel_->setMinimumWidth(40);
  tl->addWidget(new QLabel(tr("Frame"), timeBox));
  tl->addWidget(time_, 1);
  tl->addWidget(frameLabel_);
  // A frame change is one line and the evaluation that animates the morph track another.
  connect(time_, &QSlider::valueChanged, this, [this](int frame) {
    if (refreshing_) return;
    if (Act("frame " + std::to_string(frame)).ok) Act("evaluate");
  });
  dock(tr("Time"), timeBox, Qt::BottomDockWidgetArea);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  connect(file->addAction(tr("&Open OBJ...")), &QAction::triggered, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr("OBJ files (*.obj)"));
    if (!path.isEmpty()) OpenFile(path.toStdString());
  });
  QMenu* builtin = file->addMenu(tr("Open &built-in scene"));
  for (const BuiltinScene& s : BuiltinScenes()) {
    const std::string name = s.name;
    QAction* a = builtin->addAction(Q(name));
    a->setToolTip(Q(s.description));
    connect(a, &QAction::triggered, this, [this, name] { Act("open builtin:" + name); });
  }
  connect(file->addAction(tr("&Save")), &QAction::triggered, this, [this] {
    BaseDocument* doc = host_.ActiveDocument();
    const std::string source = doc ? SourcePath(*doc) : std::string();
    if (source.empty()) {
      const QString path =
          QFileDialog::getSaveFileName(this, tr("Save"), QString(), tr("OBJ files (*.obj)"));
      if (!path.isEmpty()) SaveAs(path.toStdString());
      return;
    }
    Act("save " + QuoteWord(source) + " overwrite");
  });
  connect(file->addAction(tr("Save &as...")), &QAction::triggered, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save as"), QString(), tr("OBJ files (*.obj)"));
    if (!path.isEmpty()) SaveAs(path.toStdString());
  });
  connect(file->addAction(tr("&Export active object...")), &QAction::triggered, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export"), QString(), tr("OBJ files (*.obj)"));
    if (!path.isEmpty()) ExportActive(path.toStdString());
  });
  file->addSeparator();
  connect(file->addAction(tr("Save session...")), &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save session"), QString(),
                                                      tr("Sessions (*.session)"));
    if (!path.isEmpty()) SaveSessionTo(path.toStdString());
  });
  file->addSeparator();
  connect(file->addAction(tr("&Quit")), &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* undo = edit->addAction(tr("&Undo"));
  undo->setShortcut(QKeySequence::Undo);
  connect(undo, &QAction::triggered, this, [this] { Act("undo"); });
  QAction* redo = edit->addAction(tr("&Redo"));
  redo->setShortcut(QKeySequence::Redo);
  connect(redo, &QAction::triggered, this, [this] { Act("redo"); });

  QMenu* mode = menuBar()->addMenu(tr("&Mode"));
  modes_ = new QActionGroup(this);
  for (const ModeEntry& m : kModes) {
    QAction* a = mode->addAction(tr(m.label));
    a->setCheckable(true);
    a->setData(m.mode);
    modes_->addAction(a);
    const std::string word = m.word;
    connect(a, &QAction::triggered, this, [this, word] { Act("mode " + word); });
  }

  QMenu* view = menuBar()->addMenu(tr("&View"));
  QAction* frame = view->addAction(tr("&Frame all"));
  frame->setShortcut(QKeySequence(Qt::Key_F));
  connect(frame, &QAction::triggered, this, [this] { view_->FrameAll(); });

  QMenu* plugins = menuBar()->addMenu(tr("&Plug-ins"));
  for (const auto& e : hostrt::Registry::Get().Entries()) {
    if (e->kind != PluginKind::Command) continue;
    const Int32 id = e->id;
    QAction* a = plugins->addAction(Q(e->name));
    a->setToolTip(Q(e->help));
    connect(a, &QAction::triggered, this, [this, id] { Act("command " + std::to_string(id)); });
  }
}

Workspace::Result MainWindow::Act(const std::string& line) {
  Workspace::Result r = workspace_->Run(line);
  if (!r.output.empty()) Console(r.output);
  lastError_ = r.ok ? std::string() : r.error;
  if (r.ok)
    statusBar()->showMessage(Q(line), 4000);
  else {
    statusBar()->showMessage(Q(line + ": " + r.error));
    Console(line + ": " + r.error + "\n");
  }
  // A new document is framed whole.
  if (r.ok && line.starts_with("open ")) view_->FrameAll();
  RefreshAll();
  return r;
}

Workspace::Result MainWindow::ActOn(GeDialog& dlg, const DialogAction& action) {
  Workspace::Result r = workspace_->RunOn(dlg, workspace_->LineOf(action));
  if (!r.output.empty()) Console(r.output);
  lastError_ = r.ok ? std::string() : r.error;
  if (!r.ok) {
    statusBar()->showMessage(Q(workspace_->LineOf(action) + ": " + r.error));
    Console(workspace_->LineOf(action) + ": " + r.error + "\n");
  }
  RefreshAll();
  for (const hostrt::OpenWindow& w : host_.Windows())
    if (w.dialog->GetTimer() > 0 && !timer_->isActive()) timer_->start();
  return r;
}

void MainWindow::OpenFile(const std::string& path) {
  std::error_code ec;
  const std::string full = std::filesystem::absolute(path, ec).string();
  Act("open " + QuoteWord(ec ? path : full));
}

void MainWindow::SaveAs(const std::string& path) {
  Act("save " + QuoteWord(path) + " overwrite");
}

void MainWindow::ExportActive(const std::string& path) {
  Act("export " + QuoteWord(path) + " overwrite");
}

bool MainWindow::SaveSessionTo(const std::string& path) {
  std::string error;
  if (!workspace_->SaveSession(path, error)) {
    lastError_ = error;
    statusBar()->showMessage(Q(error));
    Console(error + "\n");
    return false;
  }
  statusBar()->showMessage(tr("Session saved to %1").arg(Q(path)), 4000);
  return true;
}

DialogPanel* MainWindow::PanelOf(const GeDialog* dlg) const {
  auto it = panels_.find(dlg);
  return it == panels_.end() ? nullptr : it->second;
}

void MainWindow::Console(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  if (!t.empty()) consoleText_->appendPlainText(Q(t));
}

// Docks for the windows the host has open (modal ones run on their own), none for the others.
void MainWindow::SyncDialogs() {
  std::map<const GeDialog*, bool> open;
  for (const hostrt::OpenWindow& w : host_.Windows()) {
    if (w.type == DLG_TYPE_MODAL || w.type == DLG_TYPE_MODAL_RESIZEABLE) continue;
    open[w.dialog] = true;
    if (docks_.count(w.dialog)) continue;
    GeDialog* dlg = w.dialog;
    auto* panel = new DialogPanel(*dlg, [this, dlg](const DialogAction& a) { ActOn(*dlg, a); });
    auto* dock = new DialogDock(
        Q(dlg->GetTitle()),
        [this, dlg] {
          ActOn(*dlg, DialogAction{DialogAction::kClose, 0, false, 0, {}});
        },
        this);
    dock->setObjectName(QStringLiteral("dialog%1").arg(w.pluginId));
    dock->setWidget(panel);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->show();
    docks_[dlg] = dock;
    panels_[dlg] = panel;
  }
  for (auto it = docks_.begin(); it != docks_.end();) {
    if (open.count(it->first)) {
      ++it;
      continue;
    }
    // The window closed: its dock goes once the signal that closed it has returned.
    removeDockWidget(it->second);
    it->second->hide();
    it->second->deleteLater();
    panels_.erase(it->first);
    it = docks_.erase(it);
  }
  for (auto& [dlg, panel] : panels_) {
    panel->Refresh();
    docks_[dlg]->setWindowTitle(Q(dlg->GetTitle()));
  }
}

void MainWindow::RunModal(GeDialog* dlg) {
  QDialog window(this);
  window.setWindowTitle(Q(dlg->GetTitle()));
  auto* layout = new QVBoxLayout(&window);
  DialogPanel* panel = nullptr;
  panel = new DialogPanel(
      *dlg,
      [&, dlg](const DialogAction& a) {
        const hostrt::ActionResult r = workspace_->ModalAction(*dlg, a);
        if (!r.ok) statusBar()->showMessage(Q(r.error));
        if (!host_.FindWindow(dlg))
          window.accept();
        else
          panel->Refresh();
      },
      &window);
  layout->addWidget(panel);
  window.exec();
}

void MainWindow::RefreshObjects() {
  objects_->clear();
  BaseDocument* doc = host_.ActiveDocument();
  if (!doc) return;
  BaseObject* active = doc->GetActiveObject();
  std::function<void(BaseObject*, QTreeWidgetItem*)> add = [&](BaseObject* op,
                                                               QTreeWidgetItem* parent) {
    for (; op; op = op->GetNext()) {
      auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(objects_);
      item->setText(0, Q(op->GetName()));
      if (op->GetType() == Opolygon)
        item->setText(1, QString::number(static_cast<PolygonObject*>(op)->GetPolygonCount()));
      for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
        auto* tag = new QTreeWidgetItem(item);
        tag->setText(0, Q(TagText(*t)));
        tag->setForeground(0, QColor(110, 110, 110));
      }
      if (op == active) objects_->setCurrentItem(item);
      add(op->GetDown(), item);
    }
  };
  add(doc->GetFirstObject(), nullptr);
  objects_->expandAll();
}

void MainWindow::RefreshSession() {
  const auto& lines = workspace_->Recorded();
  QString text;
  for (const std::string& l : lines) text += Q(l) + "\n";
  if (sessionText_->toPlainText() != text) {
    sessionText_->setPlainText(text);
    sessionText_->moveCursor(QTextCursor::End);
  }
}

void MainWindow::RefreshAll() {
  if (refreshing_) return;
  refreshing_ = true;
  SyncDialogs();
  RefreshObjects();
  RefreshSession();
  // The host console: lines printed since the last refresh.
  const auto& console = host_.Console();
  for (; consoleSeen_ < console.size(); ++consoleSeen_)
    consoleText_->appendPlainText(Q(console[consoleSeen_]));
  BaseDocument* doc = host_.ActiveDocument();
  const Int32 mode = doc ? doc->GetMode() : 0;
  for (QAction* a : modes_->actions()) a->setChecked(a->data().toInt() == mode);
  if (doc) {
    const Int32 fps = std::max<Int32>(1, doc->GetFps());
    const int frame = doc->GetTime().GetFrame(fps);
    if (frame > time_->maximum()) time_->setMaximum(frame);
    time_->setValue(frame);
    frameLabel_->setText(QString::number(frame));
  }
  setWindowTitle(doc && !doc->GetDocumentName().empty()
                     ? QStringLiteral("Pelterra - %1").arg(Q(doc->GetDocumentName()))
                     : QStringLiteral("Pelterra"));
  view_->update();
  refreshing_ = false;
}

}  // namespace pelterra::gui
