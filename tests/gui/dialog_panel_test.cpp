// The dialog model as widgets: each control kind with its value, range, enabling and visibility;
// user actions through the same driver as session lines; refusals in both hosts.
#include "dialog_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "c4d_customgui.h"
#include "gui_fixture.h"
#include "runtime/dialog_driver.h"
#include "session.h"

namespace pelterra::gui {

namespace fs = std::filesystem;
namespace {

constexpr Int32 kPlugin = 990001;
constexpr Int32 IDM_RESET = 100, IDC_TABS = 300, TAB_MAIN = 1, TAB_MORE = 2, IDC_BAR = 310,
                IDC_ICON = 320, IDC_TOGGLE = 321, IDG_MAIN = 400, IDG_MORE = 401, IDC_SECRET = 402,
                IDG_OFF = 410, IDC_INNER = 411, IDC_SNAP = 500, IDC_MODE = 501, MODE_FAST = 1,
                MODE_EXACT = 2, IDC_AXIS = 502, AXIS_U = 10, AXIS_V = 11, IDC_SCALE = 503,
                IDC_ANGLE = 504, IDC_BLEND = 505, IDC_COUNT = 506, IDC_NAME = 507, IDC_NOTES = 508,
                IDC_APPLY = 509, IDC_LOCKED = 510, IDC_INFO = 511, IDC_HELP = 512, IDG_SCROLL = 513,
                IDC_SCROLLED = 514;

// One control of each kind. Ticking Snap unlocks, shows and changes other controls, as the
// plug-in's refresh does.
class KindsDialog : public GeDialog {
 public:
  std::vector<Int32> commands;

  Bool CreateLayout() override {
    SetTitle("Kinds");
    MenuFlushAll();
    MenuSubBegin("Edit");
    MenuAddString(IDM_RESET, "Reset");
    MenuSubEnd();
    MenuFinished();
    GroupBeginInMenuLine();
    AddButton(IDC_HELP, BFH_RIGHT, 0, 0, "?");
    GroupEnd();
    auto* tabs = static_cast<QuickTabCustomGui*>(
        AddCustomGui(IDC_TABS, CUSTOMGUI_QUICKTAB, "", BFH_SCALEFIT, 0, 0, BaseContainer()));
    tabs->AppendString(TAB_MAIN, "Main", true);
    tabs->AppendString(TAB_MORE, "More", false);
    BaseContainer bc;
    bc.SetBool(QUICKTAB_BAR, true);
    auto* bar = static_cast<QuickTabCustomGui*>(
        AddCustomGui(IDC_BAR, CUSTOMGUI_QUICKTAB, "", BFH_SCALEFIT, 0, 0, bc));
    bar->AppendString(1, "Details", true);
    static_cast<BitmapButtonCustomGui*>(
        AddCustomGui(IDC_ICON, CUSTOMGUI_BITMAPBUTTON, "Grid", 0, 32, 32, BaseContainer()))
        ->SetImage(Filename(String(PELTERRA_SOURCE_DIR) + "/res/Pelterra.tif"));
    BaseContainer toggle;
    toggle.SetBool(BITMAPBUTTON_TOGGLE, true);
    AddCustomGui(IDC_TOGGLE, CUSTOMGUI_BITMAPBUTTON, "Lock", 0, 32, 32, toggle);

    GroupBegin(IDG_MAIN, BFH_SCALEFIT, 2, 0, "Options", 0);
    GroupBorder(BORDER_GROUP_IN);
    AddCheckbox(IDC_SNAP, BFH_LEFT, 0, 0, "Snap");
    AddComboBox(IDC_MODE, BFH_LEFT);
    AddChild(IDC_MODE, MODE_FAST, "Fast");
    AddChild(IDC_MODE, MODE_EXACT, "Exact");
    AddRadioGroup(IDC_AXIS, BFH_LEFT, 2);
    AddChild(IDC_AXIS, AXIS_U, "U");
    AddChild(IDC_AXIS, AXIS_V, "V");
    AddEditNumberArrows(IDC_SCALE, BFH_LEFT);
    AddEditNumberArrows(IDC_ANGLE, BFH_LEFT);
    AddEditSlider(IDC_BLEND, BFH_SCALEFIT);
    AddEditNumberArrows(IDC_COUNT, BFH_LEFT);
    AddEditText(IDC_NAME, BFH_SCALEFIT);
    AddMultiLineEditText(IDC_NOTES, BFH_SCALEFIT, 0, 40);
    AddStaticText(IDC_INFO, BFH_LEFT, 0, 0, "Info", 0);
    GroupEnd();
    GroupBegin(IDG_MORE, BFH_SCALEFIT, 1, 0, "", 0);
    AddButton(IDC_SECRET, 0, 0, 0, "Secret");
    GroupEnd();
    GroupBegin(IDG_OFF, BFH_SCALEFIT, 1, 0, "", 0);
    AddButton(IDC_INNER, 0, 0, 0, "Inner");
    GroupEnd();
    ScrollGroupBegin(IDG_SCROLL, BFH_SCALEFIT, 0);
    AddStaticText(IDC_SCROLLED, BFH_LEFT, 0, 0, "Scrolled & shown", 0);
    AddSeparatorV(0);
    GroupEnd();
    AddSeparatorH(0);
    AddButton(IDC_APPLY, BFH_LEFT, 0, 0, "Apply");
    AddButton(IDC_LOCKED, BFH_LEFT, 0, 0, "Locked");
    return true;
  }
  Bool InitValues() override {
    SetBool(IDC_SNAP, false);
    SetInt32(IDC_MODE, MODE_FAST);
    SetInt32(IDC_AXIS, AXIS_U);
    SetFloat(IDC_SCALE, 1.5, 0.0, 10.0, 0.5);
    SetDegree(IDC_ANGLE, PI / 6, -PI / 2, PI / 2, PI / 180);
    SetPercent(IDC_BLEND, 0.25);
    SetInt32(IDC_COUNT, 3, 1, 10);
    SetString(IDC_NAME, "grid");
    SetString(IDC_NOTES, "line 1\nline 2");
    HideElement(IDG_MORE, true);
    Enable(IDG_OFF, false);
    Enable(IDC_LOCKED, false);
    return true;
  }
  Bool Command(Int32 id, const BaseContainer&) override {
    commands.push_back(id);
    if (id == IDC_SNAP) {
      Bool on = false;
      GetBool(IDC_SNAP, on);
      Enable(IDC_LOCKED, on);
      HideElement(IDG_MORE, !on);
      SetFloat(IDC_SCALE, on ? 3.0 : 1.5, 0.0, 10.0, 0.5);
      SetString(IDC_INFO, on ? "snapping" : "Info");
    }
    return true;
  }
};

struct DialogPanelTest : testing::HostFixture {
  KindsDialog dlg;
  std::unique_ptr<Workspace> ws;
  std::unique_ptr<DialogPanel> panel;
  Workspace::Result last;

  void SetUp() override {
    HostFixture::SetUp();
    ws = std::make_unique<Workspace>(host, nullptr);
    ASSERT_TRUE(host.OpenDialog(&dlg, DLG_TYPE_ASYNC, kPlugin, -1, -1, 0, 0, 0));
    panel = std::make_unique<DialogPanel>(dlg, [this](const DialogAction& a) {
      last = ws->RunOn(dlg, ws->LineOf(a));
      panel->Refresh();
    });
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
  }
  void TearDown() override {
    panel.reset();
    host.CloseAllWindows();
    ws.reset();
    HostFixture::TearDown();
  }
  template <class W>
  W* Widget(Int32 id) {
    W* w = dynamic_cast<W*>(panel->WidgetOf(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
  }
};

TEST_F(DialogPanelTest, EveryKindShowsItsValueRangeEnablingAndVisibility) {
  EXPECT_EQ(panel->windowTitle(), "Kinds");
  EXPECT_NE(panel->findChild<QMenuBar*>(), nullptr);
  auto* tabs = Widget<QTabBar>(IDC_TABS);
  ASSERT_TRUE(tabs);
  EXPECT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "Main");
  auto* bar = Widget<QToolButton>(IDC_BAR);
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->text(), "Details");
  EXPECT_EQ(bar->arrowType(), Qt::DownArrow);  // open
  auto* icon = Widget<QToolButton>(IDC_ICON);
  ASSERT_TRUE(icon);
  EXPECT_FALSE(icon->icon().isNull());  // the TIFF icon, read through libtiff
  EXPECT_FALSE(icon->isCheckable());
  EXPECT_TRUE(Widget<QToolButton>(IDC_TOGGLE)->isCheckable());
  auto* group = Widget<QGroupBox>(IDG_MAIN);
  ASSERT_TRUE(group);
  EXPECT_EQ(group->title(), "Options");

  EXPECT_FALSE(Widget<QCheckBox>(IDC_SNAP)->isChecked());
  EXPECT_EQ(Widget<QCheckBox>(IDC_SNAP)->text(), "Snap");
  auto* mode = Widget<QComboBox>(IDC_MODE);
  EXPECT_EQ(mode->count(), 2);
  EXPECT_EQ(mode->currentData().toInt(), MODE_FAST);
  const auto radios = Widget<QGroupBox>(IDC_AXIS)->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 2);
  EXPECT_TRUE(radios[0]->isChecked());
  EXPECT_FALSE(radios[1]->isChecked());

  auto* scale = Widget<QDoubleSpinBox>(IDC_SCALE);
  EXPECT_DOUBLE_EQ(scale->value(), 1.5);
  EXPECT_DOUBLE_EQ(scale->singleStep(), 0.5);
  EXPECT_DOUBLE_EQ(scale->property("rangeMin").toDouble(), 0.0);
  EXPECT_DOUBLE_EQ(scale->property("rangeMax").toDouble(), 10.0);
  auto* angle = Widget<QDoubleSpinBox>(IDC_ANGLE);
  EXPECT_NEAR(angle->value(), 30.0, 1e-6);  // degrees, as the field shows them
  EXPECT_EQ(angle->suffix(), QString::fromUtf8("\xC2\xB0"));
  EXPECT_NEAR(angle->property("rangeMin").toDouble(), -90.0, 1e-9);
  EXPECT_NEAR(angle->singleStep(), 1.0, 1e-9);
  QWidget* blendRow = panel->WidgetOf(IDC_BLEND);
  ASSERT_TRUE(blendRow);
  auto* blend = blendRow->findChild<QDoubleSpinBox*>();
  auto* slider = blendRow->findChild<QSlider*>();
  ASSERT_TRUE(blend && slider);
  EXPECT_NEAR(blend->value(), 25.0, 1e-9);
  EXPECT_EQ(blend->suffix(), "%");
  EXPECT_EQ(slider->value(), 250);  // a quarter of 0..100 %
  auto* count = Widget<QDoubleSpinBox>(IDC_COUNT);
  EXPECT_EQ(count->decimals(), 0);
  EXPECT_DOUBLE_EQ(count->value(), 3.0);
  EXPECT_DOUBLE_EQ(count->property("rangeMax").toDouble(), 10.0);
  EXPECT_EQ(Widget<QLineEdit>(IDC_NAME)->text(), "grid");
  auto* notes = Widget<QPlainTextEdit>(IDC_NOTES);
  EXPECT_EQ(notes->toPlainText(), "line 1\nline 2");
  EXPECT_TRUE(notes->isReadOnly());
  EXPECT_EQ(Widget<QLabel>(IDC_INFO)->text(), "Info");
  EXPECT_EQ(Widget<QPushButton>(IDC_HELP)->text(), "?");  // the group in the menu line
  auto* scroll = Widget<QScrollArea>(IDG_SCROLL);
  ASSERT_TRUE(scroll);
  EXPECT_EQ(Widget<QLabel>(IDC_SCROLLED)->text(), "Scrolled & shown");
  EXPECT_TRUE(scroll->isAncestorOf(panel->WidgetOf(IDC_SCROLLED)));
  int vertical = 0, horizontal = 0;
  for (QFrame* f : panel->findChildren<QFrame*>()) {
    vertical += f->frameShape() == QFrame::VLine;
    horizontal += f->frameShape() == QFrame::HLine;
  }
  EXPECT_EQ(vertical, 1);
  EXPECT_EQ(horizontal, 1);

  // Hidden and disabled, with what is inside them.
  EXPECT_FALSE(panel->WidgetOf(IDG_MORE)->isVisible());
  EXPECT_FALSE(panel->WidgetOf(IDC_SECRET)->isVisible());
  EXPECT_FALSE(panel->WidgetOf(IDC_INNER)->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>(IDC_LOCKED)->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>(IDC_APPLY)->isEnabled());
}

TEST_F(DialogPanelTest, AnActionGoesThroughTheDriverAndTheRefreshShowsItsEffects) {
  Widget<QCheckBox>(IDC_SNAP)->click();
  ASSERT_TRUE(last.ok) << last.error << last.output;
  EXPECT_EQ(dlg.commands, (std::vector<Int32>{IDC_SNAP}));
  EXPECT_EQ(ws->Recorded(), (std::vector<std::string>{"dialog 990001", "tick 500 on"}));
  EXPECT_TRUE(Widget<QCheckBox>(IDC_SNAP)->isChecked());
  EXPECT_TRUE(Widget<QPushButton>(IDC_LOCKED)->isEnabled());
  EXPECT_TRUE(panel->WidgetOf(IDC_SECRET)->isVisible());
  EXPECT_DOUBLE_EQ(Widget<QDoubleSpinBox>(IDC_SCALE)->value(), 3.0);
  EXPECT_EQ(Widget<QLabel>(IDC_INFO)->text(), "snapping");

  // Combo, radio, tab, title bar, toggle and menu, each as its session line.
  QComboBox* mode = Widget<QComboBox>(IDC_MODE);
  emit mode->activated(1);
  Widget<QGroupBox>(IDC_AXIS)->findChildren<QRadioButton*>()[1]->click();
  QTabBar* tabs = Widget<QTabBar>(IDC_TABS);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  Widget<QToolButton>(IDC_BAR)->click();
  Widget<QToolButton>(IDC_TOGGLE)->click();
  panel->findChild<QMenuBar*>()->actions()[0]->menu()->actions()[0]->trigger();
  EXPECT_EQ(ws->Recorded(), (std::vector<std::string>{
                                "dialog 990001", "tick 500 on", "choose 501 2", "choose 502 11",
                                "choose 300 2", "click 310", "click 321", "click 100"}));
  EXPECT_EQ(mode->currentData().toInt(), MODE_EXACT);
  EXPECT_TRUE(Widget<QGroupBox>(IDC_AXIS)->findChildren<QRadioButton*>()[1]->isChecked());
  EXPECT_FALSE(Widget<QGroupBox>(IDC_AXIS)->findChildren<QRadioButton*>()[0]->isChecked());
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_EQ(Widget<QToolButton>(IDC_BAR)->arrowType(), Qt::RightArrow);  // folded
  EXPECT_TRUE(Widget<QToolButton>(IDC_TOGGLE)->isChecked());
  EXPECT_EQ(dlg.commands.back(), IDM_RESET);
}

TEST_F(DialogPanelTest, TypedValuesAreReadInTheirUnitsAndClampedByTheDriver) {
  QDoubleSpinBox* scale = Widget<QDoubleSpinBox>(IDC_SCALE);
  scale->selectAll();
  QTest::keyClicks(scale, "50");
  QTest::keyClick(scale, Qt::Key_Return);
  ASSERT_TRUE(last.ok) << last.error;
  EXPECT_NE(last.output.find("warning: 503: 50 is above the maximum 10; set to 10"),
            std::string::npos)
      << last.output;
  EXPECT_DOUBLE_EQ(Widget<QDoubleSpinBox>(IDC_SCALE)->value(), 10.0);
  EXPECT_EQ(ws->Recorded().back(), "type 503 50");

  QDoubleSpinBox* angle = Widget<QDoubleSpinBox>(IDC_ANGLE);
  angle->selectAll();
  QTest::keyClicks(angle, "45");
  QTest::keyClick(angle, Qt::Key_Return);
  Float radians = 0;
  ASSERT_TRUE(dlg.GetFloat(IDC_ANGLE, radians));
  EXPECT_NEAR(radians, PI / 4, 1e-12);
  EXPECT_EQ(ws->Recorded().back(), "type 504 45");

  QLineEdit* name = Widget<QLineEdit>(IDC_NAME);
  name->selectAll();
  QTest::keyClicks(name, "two words");
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_EQ(ws->Recorded().back(), "type 507 \"two words\"");
  String text;
  ASSERT_TRUE(dlg.GetString(IDC_NAME, text));
  EXPECT_EQ(text, "two words");
  // Leaving the field without a change sends nothing more.
  const size_t lines = ws->Recorded().size();
  emit name->editingFinished();
  EXPECT_EQ(ws->Recorded().size(), lines);
}

TEST_F(DialogPanelTest, DisabledAndHiddenControlsRefuseInBothHosts) {
  // The widget cannot be clicked: nothing reaches the dialog.
  QPushButton* locked = Widget<QPushButton>(IDC_LOCKED);
  QTest::mouseClick(locked, Qt::LeftButton, {}, locked->rect().center());
  locked->click();
  EXPECT_TRUE(dlg.commands.empty());
  EXPECT_TRUE(ws->Recorded().empty());
  // Sent anyway, as a widget event: the driver refuses it, as it refuses the session line.
  const Workspace::Result gui =
      ws->RunOn(dlg, ws->LineOf({DialogAction::kClick, IDC_LOCKED, false, 0, {}}));
  EXPECT_FALSE(gui.ok);
  EXPECT_EQ(gui.error, "button 510 is disabled");
  const Workspace::Result inner = ws->RunOn(dlg, "click 411");
  EXPECT_EQ(inner.error, "button 411 is inside disabled group 410");
  const Workspace::Result hidden = ws->RunOn(dlg, "click 402");
  EXPECT_EQ(hidden.error, "button 402 is inside hidden group 401");
  EXPECT_TRUE(dlg.commands.empty());
  // "dialog" went through and is recorded; the refused clicks are not.
  EXPECT_EQ(ws->Recorded(), (std::vector<std::string>{"dialog 990001"}));

  // The headless host, on the same window.
  std::ostringstream out;
  ws.reset();  // one session on a host at a time
  Session headless(host, out, SessionOptions{});
  ASSERT_TRUE(headless.RunLine("dialog 990001", 1)) << headless.Error();
  EXPECT_FALSE(headless.RunLine("click 510", 2));
  EXPECT_EQ(headless.Error(), "session:2: button 510 is disabled");
  EXPECT_TRUE(dlg.commands.empty());
}

TEST_F(DialogPanelTest, ACheckboxAlreadyInTheStateAskedSendsNothing) {
  const Workspace::Result r =
      ws->RunOn(dlg, ws->LineOf({DialogAction::kTick, IDC_SNAP, false, 0, {}}));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(dlg.commands.empty());
  EXPECT_NE(r.output.find("already off"), std::string::npos) << r.output;
}

TEST_F(DialogPanelTest, AWindowOpenedAnewIsBuiltAnewAndAClosedOneEmpties) {
  const int builds = panel->Builds();
  QWidget* before = panel->WidgetOf(IDC_APPLY);
  panel->Refresh();
  EXPECT_EQ(panel->Builds(), builds);  // same tree: updated in place
  EXPECT_EQ(panel->WidgetOf(IDC_APPLY), before);
  ASSERT_TRUE(host.CloseDialog(&dlg));
  panel->Refresh();
  EXPECT_EQ(panel->WidgetOf(IDC_APPLY), nullptr);
  ASSERT_TRUE(host.OpenDialog(&dlg, DLG_TYPE_ASYNC, kPlugin, -1, -1, 0, 0, 0));
  panel->Refresh();
  EXPECT_GT(panel->Builds(), builds + 1);
  ASSERT_NE(panel->WidgetOf(IDC_APPLY), nullptr);
  EXPECT_EQ(Widget<QLineEdit>(IDC_NAME)->text(), "grid");
}

}  // namespace
}  // namespace pelterra::gui
