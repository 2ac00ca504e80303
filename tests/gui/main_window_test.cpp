// The main window end to end: open a scene, select with the mouse, run a tool from its dialog,
// undo, and replay the recorded session headless to the same UVs, bit for bit.
#include "main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDoubleSpinBox>
#include <QImage>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <set>

#include "c4d_basedocument.h"
#include "c4d_painter.h"
#include "dialog_panel.h"
#include "gui_fixture.h"
#include "uv_view.h"

namespace pelterra::gui {

namespace fs = std::filesystem;
namespace {

using testing::ReadText;
using testing::RunHeadless;
using testing::UvBlock;
using testing::WriteText;

QAction* MenuAction(QMainWindow& win, const QString& menu, const QString& entry) {
  for (QAction* top : win.menuBar()->actions()) {
    if (top->text().remove('&') != menu || !top->menu()) continue;
    for (QAction* a : top->menu()->actions())
      if (a->text().remove('&') == entry) return a;
  }
  return nullptr;
}

// How many different colours a picture has: a blank one has one.
size_t Colours(const QImage& img) {
  std::set<QRgb> seen;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) seen.insert(img.pixel(x, y));
  return seen.size();
}

size_t Differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return size_t(-1);
  size_t n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

struct MainWindowTest : testing::HostFixture {
  std::unique_ptr<MainWindow> win;

  void SetUp() override {
    HostFixture::SetUp();
    win = std::make_unique<MainWindow>(host, Names());
    win->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
  }
  void TearDown() override {
    win.reset();
    HostFixture::TearDown();
  }
  PolygonObject* Active() {
    return static_cast<PolygonObject*>(host.ActiveDocument()->GetActiveObject());
  }
  // Where polygon i's UV centre is drawn.
  QPoint CentreOf(Int32 i) {
    UVWStruct s = GetEditedUVWTag(Active())->GetSlow(i);
    const double u = (s.a.x + s.b.x + s.c.x + s.d.x) / 4, v = (s.a.y + s.b.y + s.c.y + s.d.y) / 4;
    return win->View()->ToScreen(u, v).toPoint();
  }
  std::string Uvs() {
    const Workspace::Result r = win->GetWorkspace().Peek("print uvs");
    EXPECT_TRUE(r.ok) << r.error;
    return r.output;
  }
  void Trigger(const QString& menu, const QString& entry) {
    QAction* a = MenuAction(*win, menu, entry);
    ASSERT_NE(a, nullptr) << menu.toStdString() << " > " << entry.toStdString();
    a->trigger();
    ASSERT_EQ(win->LastError(), "") << entry.toStdString();
  }
  std::string Replay(const std::string& name) {
    const fs::path session = dir / name;
    EXPECT_TRUE(win->SaveSessionTo(session.string())) << win->LastError();
    WriteText(session, ReadText(session) + "print uvs\n");
    const testing::Run run = RunHeadless(session, dir);
    EXPECT_EQ(run.code, 0) << run.output;
    return UvBlock(run.output, "uv 0:");
  }
};

TEST_F(MainWindowTest, MouseSelectionToolUndoAndReplayGiveTheHeadlessUVs) {
  Trigger("File", "Open built-in scene");  // a submenu: nothing to run
  win->Act("open builtin:islands");
  ASSERT_EQ(win->LastError(), "");
  Trigger("Mode", "UV Polygons");
  const std::string original = Uvs();
  UvView* view = win->View();
  view->FrameAll();

  // Two polygons of different islands, by click and shift-click.
  QTest::mouseClick(view, Qt::LeftButton, {}, CentreOf(0));
  QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, CentreOf(2));
  const BaseSelect* sel = Active()->GetPolygonS();
  EXPECT_TRUE(sel->IsSelected(0));
  EXPECT_FALSE(sel->IsSelected(1));
  EXPECT_TRUE(sel->IsSelected(2));

  // The UV tools from the Plug-ins menu, docked; Scale on its tab.
  const PluginEntry* tools = hostrt::Registry::Get().Find(1024239);
  ASSERT_NE(tools, nullptr);
  Trigger("Plug-ins", QString::fromStdString(tools->name));
  GeDialog* dlg = win->GetWorkspace().GetSession().CurrentDialog();
  ASSERT_NE(dlg, nullptr);
  DialogPanel* panel = win->PanelOf(dlg);
  ASSERT_NE(panel, nullptr);
  auto* tabs = dynamic_cast<QTabBar*>(panel->WidgetOf(10071));
  ASSERT_NE(tabs, nullptr);
  int scaleTab = -1;
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == "Scale&&Rotate") scaleTab = i;  // "&&" shows one "&"
  ASSERT_GE(scaleTab, 0);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(scaleTab).center());
  for (Int32 id : {10062, 10063}) {
    auto* field = dynamic_cast<QDoubleSpinBox*>(panel->WidgetOf(id));
    ASSERT_NE(field, nullptr);
    std::string rec;
    for (const std::string& l : win->GetWorkspace().Recorded()) rec += l + "; ";
    ASSERT_TRUE(field->isVisible()) << rec << win->LastError();
    field->selectAll();
    QTest::keyClicks(field, "2");
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(win->LastError(), "");
  }
  QApplication::processEvents();
  const QImage before = view->grab().toImage();
  auto* scale = dynamic_cast<QPushButton*>(panel->WidgetOf(10065));
  ASSERT_NE(scale, nullptr);
  QTest::mouseClick(scale, Qt::LeftButton);
  ASSERT_EQ(win->LastError(), "");
  const std::string scaled = Uvs();
  EXPECT_NE(scaled, original);
  // The view redrew the new layout, and the window is no blank picture.
  QApplication::processEvents();
  EXPECT_GT(Differing(before, view->grab().toImage()), 100u);
  EXPECT_GT(Colours(win->grab().toImage()), 20u);

  const std::vector<std::string> expected = {
      "open builtin:islands",    "mode uvpolygons",    "select uvpolygons 0",
      "select uvpolygons add 2", "command 1024239",    "choose IDC_TABS IDC_TAB_SCALE_ROTATE",
      "type IDC_SCALE_U 2",      "type IDC_SCALE_V 2", "click IDC_SCALE"};
  EXPECT_EQ(win->GetWorkspace().Recorded(), expected);
  EXPECT_EQ(win->SessionPanel()->toPlainText().count('\n'), 9);

  // The same by hand, headless.
  const fs::path byHand = dir / "by-hand.session";
  WriteText(byHand,
            "open builtin:islands\nmode uvpolygons\nselect uvpolygons 0,2\ncommand ID_UVCOMMAND\n"
            "choose IDC_TABS \"Scale&Rotate\"\ntype IDC_SCALE_U 2\ntype IDC_SCALE_V 2\n"
            "click IDC_SCALE\nprint uvs\n");
  const testing::Run headless = RunHeadless(byHand, dir);
  ASSERT_EQ(headless.code, 0) << headless.output;
  EXPECT_EQ(UvBlock(headless.output, "uv 0:"), scaled);
  EXPECT_EQ(Replay("scaled.session"), scaled);

  // Undo through the host's undo, then the replay of that too.
  Trigger("Edit", "Undo");
  EXPECT_EQ(Uvs(), original);
  EXPECT_EQ(win->GetWorkspace().Recorded().back(), "undo");
  EXPECT_EQ(Replay("undone.session"), original);
  Trigger("Edit", "Redo");
  EXPECT_EQ(Uvs(), scaled);
}

TEST_F(MainWindowTest, BoxDragModifiersAndEdgesSelectAsSelectLinesDo) {
  win->Act("open builtin:islands");
  win->Act("mode uvpoints");
  UvView* view = win->View();
  view->FrameAll();
  const Int32 polys = Active()->GetPolygonCount();
  ASSERT_EQ(polys, 3);
  // A box around everything takes every corner.
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, 1));
  QTest::mouseMove(view, QPoint(view->width() - 2, view->height() - 2));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() - 2, view->height() - 2));
  EXPECT_EQ(win->GetWorkspace().Recorded().back(), "select uvpoints 0-11");
  // Ctrl-click on corner a of polygon 2 takes it, and every corner drawn there, away.
  const UVWStruct s = GetEditedUVWTag(Active())->GetSlow(2);
  QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier,
                    view->ToScreen(s.a.x, s.a.y).toPoint());
  const BaseSelect* points = hostrt::UVPointSelection(Active());
  EXPECT_FALSE(points->IsSelected(8));
  EXPECT_LT(points->GetCount(), 12);
  EXPECT_TRUE(win->GetWorkspace().Recorded().back().starts_with("select uvpoints remove "));
  // A click on empty space clears the selection.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, view->height() - 2));
  EXPECT_EQ(points->GetCount(), 0);

  // Edges: the middle of polygon 2's first side.
  win->Act("mode edges");
  const QPointF mid = (view->ToScreen(s.a.x, s.a.y) + view->ToScreen(s.b.x, s.b.y)) / 2;
  QTest::mouseClick(view, Qt::LeftButton, {}, mid.toPoint());
  const std::string line = win->GetWorkspace().Recorded().back();
  ASSERT_TRUE(line.starts_with("select edges ")) << line;
  // The first side of polygon 2 is edge 8, unless polygon 2 shares that side with another.
  const Int32 edge = std::atoi(line.substr(13).c_str());
  EXPECT_TRUE(Active()->GetEdgeS()->IsSelected(edge));
  EXPECT_EQ(Active()->GetEdgeS()->GetCount(), 1);
}

TEST_F(MainWindowTest, ZoomKeepsThePointUnderTheCursorAndFrameAllShowsEverything) {
  win->Act("open builtin:islands");
  UvView* view = win->View();
  view->FrameAll();
  const QPointF at(100, 120);
  const QPointF uv = view->ToUv(at);
  view->ZoomAt(3.0, at);
  EXPECT_NEAR(view->ToUv(at).x(), uv.x(), 1e-9);
  EXPECT_NEAR(view->ToUv(at).y(), uv.y(), 1e-9);
  const QPointF s = view->ToScreen(0.5, 0.5);
  view->Pan(QPointF(15, -7));
  EXPECT_NEAR(view->ToScreen(0.5, 0.5).x(), s.x() + 15, 1e-9);
  view->ZoomAt(0.0, at);  // refused: no change
  view->ZoomAt(std::numeric_limits<double>::quiet_NaN(), at);
  EXPECT_NEAR(view->ToScreen(0.5, 0.5).y(), s.y() - 7, 1e-9);
  // Far away UVs: frame-all brings them and the unit square into the widget.
  win->Act("uv 0 0 5 9");
  view->FrameAll();
  const QRectF inside = QRectF(view->rect());
  EXPECT_TRUE(inside.contains(view->ToScreen(5, 9)));
  EXPECT_TRUE(inside.contains(view->ToScreen(0, 0)));
  EXPECT_TRUE(inside.contains(view->ToScreen(1, 1)));
}

TEST_F(MainWindowTest, ObjectListConsoleTimeAndFailuresShowWhatTheHostHas) {
  win->Act("open builtin:cube");
  ASSERT_GE(win->ObjectList()->topLevelItemCount(), 1);
  QTreeWidgetItem* cube = win->ObjectList()->topLevelItem(0);
  EXPECT_EQ(cube->text(0).toStdString(), Active()->GetName());
  EXPECT_GE(cube->childCount(), 1);  // its tags
  // The start-up banner reached the console panel.
  EXPECT_FALSE(win->ConsolePanel()->toPlainText().isEmpty());
  // A frame from the slider is a line, with the evaluation after it.
  win->TimeSlider()->setValue(12);
  const auto& rec = win->GetWorkspace().Recorded();
  ASSERT_GE(rec.size(), 2u);
  EXPECT_EQ(rec[rec.size() - 2], "frame 12");
  EXPECT_EQ(rec.back(), "evaluate");
  EXPECT_EQ(host.ActiveDocument()->GetTime().GetFrame(host.ActiveDocument()->GetFps()), 12);
  // A failure is shown and recorded nowhere.
  const size_t lines = rec.size();
  EXPECT_FALSE(win->Act("undo").ok);  // nothing to undo
  EXPECT_EQ(win->LastError(), "nothing to undo");
  EXPECT_EQ(win->GetWorkspace().Recorded().size(), lines);
  EXPECT_TRUE(win->ConsolePanel()->toPlainText().contains("nothing to undo"));
}

// Screenshots as the docs take them: a real X server (Xvfb), the window with its dialog, before
// and after a tool.
TEST_F(MainWindowTest, ScreenshotsUnderXvfbAreNotBlankAndShowTheTool) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const std::string start =
      "mode uvpolygons\nselect uvpolygons 0,2\ncommand ID_UVCOMMAND\n"
      "choose IDC_TABS \"Scale&Rotate\"\ntype IDC_SCALE_U 2\ntype IDC_SCALE_V 2\n";
  WriteText(dir / "a.session", start);
  WriteText(dir / "b.session", start + "click IDC_SCALE\n");
  auto shoot = [&](const char* session, const char* png) {
    // Under AddressSanitizer the D-Bus library's own leak at exit is no failure of ours.
    const std::string cmd = "env -u QT_QPA_PLATFORM LSAN_OPTIONS=suppressions=" PELTERRA_SOURCE_DIR
                            "/tests/gui/lsan.supp xvfb-run -a -s '-screen 0 1400x1000x24' '" +
                            std::string(PELTERRA_GUI_APP) + "' builtin:islands --run '" +
                            (dir / session).string() + "' --screenshot '" + (dir / png).string() +
                            "' >/dev/null 2>&1";
    return std::system(cmd.c_str());
  };
  ASSERT_EQ(shoot("a.session", "a.png"), 0);
  ASSERT_EQ(shoot("b.session", "b.png"), 0);
  const QImage a((dir / "a.png").string().c_str()), b((dir / "b.png").string().c_str());
  ASSERT_FALSE(a.isNull());
  ASSERT_FALSE(b.isNull());
  EXPECT_GT(Colours(a), 20u);
  EXPECT_GT(Differing(a, b), 100u);
}

}  // namespace
}  // namespace pelterra::gui
