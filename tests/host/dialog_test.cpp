// Dialog windows: the text view, user actions through the driver, the host's window life cycle
// and dialog layouts built from resource files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "c4d_customgui.h"
#include "c4d_gui.h"
#include "c4d_resource.h"
#include "runtime/dialog_driver.h"
#include "runtime/dialog_resource.h"
#include "runtime/dialog_view.h"
#include "runtime/host.h"

namespace fs = std::filesystem;
using hostrt::Choose;
using hostrt::Click;
using hostrt::CloseWindow;
using hostrt::Tick;
using hostrt::Type;

namespace {

// Menu entries, controls, groups (IDG_) and entries of the test dialog.
constexpr Int32 IDM_RESET = 100, IDM_ABOUT = 101, IDC_HELP = 200, IDC_TABS = 300, TAB_MAIN = 1,
                TAB_MORE = 2, IDC_BAR = 310, IDC_ICON = 320, IDC_TOGGLE = 321, IDG_MAIN = 400,
                IDG_MORE = 401, IDC_SECRET = 402, IDG_OFF = 410, IDC_INNER = 411, IDC_SNAP = 500,
                IDC_MODE = 501, MODE_FAST = 1, MODE_EXACT = 2, IDC_AXIS = 502, AXIS_U = 10,
                AXIS_V = 11, IDC_SCALE = 503, IDC_ANGLE = 504, IDC_BLEND = 505, IDC_COUNT = 506,
                IDC_NAME = 507, IDC_NOTES = 508, IDC_APPLY = 509, IDC_LOCKED = 510;

const String kSource = PELTERRA_SOURCE_DIR;

// A window with one control of each kind; it records what the host and the user send it.
class TestDialog : public GeDialog {
 public:
  std::vector<Int32> commands;
  std::vector<Int32> messageIds;
  std::function<void(Int32)> onCommand;
  int timers = 0, asked = 0, destroyed = 0;
  bool refuseClose = false;
  QuickTabCustomGui* tabs = nullptr;
  QuickTabCustomGui* bar = nullptr;
  bool iconLoaded = true;

  Bool CreateLayout() override {
    SetTitle("UV Test");
    MenuFlushAll();
    MenuSubBegin("Edit");
    MenuAddString(IDM_RESET, "Reset");
    MenuSubEnd();
    MenuAddString(IDM_ABOUT, "About");
    MenuFinished();
    GroupBeginInMenuLine();
    AddButton(IDC_HELP, BFH_RIGHT, 0, 0, "?");
    GroupEnd();

    tabs = static_cast<QuickTabCustomGui*>(
        AddCustomGui(IDC_TABS, CUSTOMGUI_QUICKTAB, "", BFH_SCALEFIT, 0, 0, BaseContainer()));
    tabs->AppendString(TAB_MAIN, "Main", true);
    tabs->AppendString(TAB_MORE, "More", false);
    BaseContainer bc;
    bc.SetBool(QUICKTAB_BAR, true);
    bc.SetString(QUICKTAB_BARTITLE, "Details");
    bar = static_cast<QuickTabCustomGui*>(
        AddCustomGui(IDC_BAR, CUSTOMGUI_QUICKTAB, "", BFH_SCALEFIT, 0, 0, bc));
    bar->AppendString(1, "Details", true);
    auto* icon = static_cast<BitmapButtonCustomGui*>(
        AddCustomGui(IDC_ICON, CUSTOMGUI_BITMAPBUTTON, "Grid", 0, 32, 32, BaseContainer()));
    iconLoaded = icon->SetImage(Filename(kSource + "/res/NoSuchIcon.tif"));
    BaseContainer toggle;
    toggle.SetBool(BITMAPBUTTON_TOGGLE, true);
    static_cast<BitmapButtonCustomGui*>(
        AddCustomGui(IDC_TOGGLE, CUSTOMGUI_BITMAPBUTTON, "Lock", 0, 32, 32, toggle))
        ->SetImage(Filename(kSource + "/res/Pelterra.tif"));

    GroupBegin(IDG_MAIN, BFH_SCALEFIT, 2, 0, "Options", 0);
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
    GroupEnd();
    GroupBegin(IDG_MORE, BFH_SCALEFIT, 1, 0, "", 0);
    AddButton(IDC_SECRET, 0, 0, 0, "Secret");
    GroupEnd();
    GroupBegin(IDG_OFF, BFH_SCALEFIT, 1, 0, "", 0);
    AddButton(IDC_INNER, 0, 0, 0, "Inner");
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
    SetFloat(IDC_SCALE, 1.5, 0.0, 10.0);
    SetFloat(IDC_ANGLE, PI / 6, -PI / 2, PI / 2, 0.01, FORMAT_DEGREE);
    SetPercent(IDC_BLEND, 0.25);
    SetInt32(IDC_COUNT, 3, 1, 10);
    SetString(IDC_NAME, "grid");
    SetString(IDC_NOTES, "");
    HideElement(IDG_MORE, true);
    Enable(IDG_OFF, false);
    Enable(IDC_LOCKED, false);
    return true;
  }

  Bool Command(Int32 id, const BaseContainer& msg) override {
    commands.push_back(id);
    messageIds.push_back(msg.GetId());
    if (onCommand) onCommand(id);
    return true;
  }
  Bool AskClose() override {
    ++asked;
    return refuseClose;
  }
  void Timer(const BaseContainer& msg) override { timers += msg.GetId() == BFM_TIMER_MESSAGE; }
  void DestroyWindow() override { ++destroyed; }

  const hostrt::DialogControl& Control(Int32 id) const { return *GetModel()->Find(id); }
};

// An open TestDialog in its own host.
struct OpenDialog : ::testing::Test {
  TestDialog dlg;  // declared first: the host closes its windows when it goes
  hostrt::Host host;
  void SetUp() override { ASSERT_TRUE(host.OpenDialog(&dlg, DLG_TYPE_ASYNC, 1, -1, -1, 0, 0, 0)); }
  String Line(Int32 id) const { return hostrt::RenderControl(dlg.Control(id)); }
};

bool HasLine(const String& text, const String& line) {
  std::istringstream in(text);
  for (String l; std::getline(in, l);)
    if (l == line) return true;
  return false;
}

}  // namespace

TEST_F(OpenDialog, ViewShowsMenuTreeValuesAndMarkers) {
  const String view = hostrt::RenderDialog(dlg);
  EXPECT_EQ(view.substr(0, view.find("  300 ")),
            "dialog \"UV Test\"\n"
            "  menu\n"
            "    submenu \"Edit\"\n"
            "      100 \"Reset\"\n"
            "    101 \"About\"\n"
            "  - menuline\n"
            "    200 button \"?\"\n");
  for (const char* line : {
           "  300 quicktab tabs: 1 \"Main\"*, 2 \"More\"",
           "  310 quicktab \"Details\" bar open",
           "  320 bitmapbutton \"Grid\" icon \"NoSuchIcon.tif\" (missing)",
#ifdef _WIN32
           // Built without libtiff: no icon is read.
           "  321 bitmapbutton \"Lock\" icon \"Pelterra.tif\" (missing)",
#else
           "  321 bitmapbutton \"Lock\" icon \"Pelterra.tif\"",
#endif
           "  400 group \"Options\" columns 2",
           "    500 checkbox \"Snap\" = off",
           "    501 combo = 1 \"Fast\"",
           "    502 radio columns 2 = 10 \"U\"",
           "    503 number = 1.5 range 0..10",
           "    504 number = 30\xC2\xB0 range -90\xC2\xB0..90\xC2\xB0",
           "    505 slider = 25% range 0%..100%",
           "    506 number = 3 range 1..10",
           "    507 edittext = \"grid\"",
           "  401 group hidden",
           "    402 button \"Secret\"",
           "  410 group disabled",
           "  - separator",
           "  510 button \"Locked\" disabled",
       })
    EXPECT_TRUE(HasLine(view, line)) << "missing line: " << line << "\nin:\n" << view;
  EXPECT_FALSE(dlg.iconLoaded);
}

TEST(DialogView, NumbersPrintCompactlyInUserUnits) {
  EXPECT_EQ(hostrt::FormatNumber(0.1), "0.1");
  EXPECT_EQ(hostrt::FormatNumber(100000.0), "100000");
  EXPECT_EQ(hostrt::FormatNumber(-0.0), "0");
  EXPECT_EQ(hostrt::FormatNumber(1e20), "1e+20");
  EXPECT_EQ(hostrt::FormatNumber(1.0 / 3.0), "0.3333333333333333");

  hostrt::DialogControl c;
  c.id = 7;
  c.kind = hostrt::ControlKind::NumberField;
  c.valueKind = hostrt::ValueKind::Degree;
  c.floatValue = PI / 6;
  EXPECT_EQ(hostrt::RenderControl(c), "7 number = 30\xC2\xB0");
  c.valueKind = hostrt::ValueKind::Percent;
  c.floatValue = 0.29;
  c.min = -1.0;
  c.max = 1.0;
  EXPECT_EQ(hostrt::RenderControl(c), "7 number = 29% range -100%..100%");
  c.valueKind = hostrt::ValueKind::Int;
  c.intValue = -4;
  c.min = LIMIT_MIN;
  c.max = LIMIT_MAX;
  c.hidden = true;
  EXPECT_EQ(hostrt::RenderControl(c), "7 number = -4 hidden") << "the no-limit range is not shown";

  hostrt::DialogControl t;
  t.kind = hostrt::ControlKind::MultiLineText;
  t.valueKind = hostrt::ValueKind::String;
  t.text = "say \"hi\"\nbye";
  EXPECT_EQ(hostrt::RenderControl(t), "- multiline = \"say \\\"hi\\\"\\nbye\"");
  t.kind = hostrt::ControlKind::ComboBox;
  t.valueKind = hostrt::ValueKind::Int;
  t.intValue = 9;
  EXPECT_EQ(hostrt::RenderControl(t), "- combo = 9 (no entry)");
}

TEST_F(OpenDialog, CodeSendsNoCommandAndEachActionSendsOne) {
  EXPECT_TRUE(dlg.SetBool(IDC_SNAP, true) && dlg.SetInt32(IDC_MODE, MODE_EXACT) &&
              dlg.SetFloat(IDC_SCALE, 4.0, 0.0, 10.0) && dlg.SetString(IDC_NAME, "x"));
  dlg.tabs->Select(TAB_MORE, true);
  EXPECT_TRUE(dlg.commands.empty()) << "values set from code";
  dlg.SetBool(IDC_SNAP, false);

  EXPECT_TRUE(Click(host, dlg, IDC_APPLY));
  EXPECT_TRUE(Tick(host, dlg, IDC_SNAP, true));
  EXPECT_TRUE(Choose(host, dlg, IDC_MODE, MODE_EXACT));
  EXPECT_TRUE(Choose(host, dlg, IDC_AXIS, AXIS_V));
  EXPECT_TRUE(Choose(host, dlg, IDC_TABS, TAB_MORE));
  EXPECT_TRUE(Type(host, dlg, IDC_NAME, "tile"));
  EXPECT_TRUE(Type(host, dlg, IDC_NOTES, "two\nlines"));
  EXPECT_TRUE(Click(host, dlg, IDM_RESET)) << "an entry of a submenu";
  EXPECT_TRUE(Click(host, dlg, IDM_ABOUT));
  EXPECT_TRUE(Click(host, dlg, IDC_HELP)) << "a button in the menu line";
  EXPECT_TRUE(Click(host, dlg, IDC_ICON)) << "a bitmap button whose icon is missing";
  EXPECT_TRUE(Click(host, dlg, IDC_TOGGLE));
  EXPECT_TRUE(Click(host, dlg, IDC_BAR));
  EXPECT_EQ(dlg.commands, (std::vector<Int32>{IDC_APPLY, IDC_SNAP, IDC_MODE, IDC_AXIS, IDC_TABS,
                                              IDC_NAME, IDC_NOTES, IDM_RESET, IDM_ABOUT, IDC_HELP,
                                              IDC_ICON, IDC_TOGGLE, IDC_BAR}));
  for (Int32 m : dlg.messageIds) EXPECT_EQ(m, BFM_ACTION);

  Bool b = false;
  Int32 i = 0;
  String s;
  EXPECT_TRUE(dlg.GetBool(IDC_SNAP, b) && b);
  EXPECT_TRUE(dlg.GetInt32(IDC_MODE, i) && i == MODE_EXACT);
  EXPECT_TRUE(dlg.GetInt32(IDC_AXIS, i) && i == AXIS_V);
  EXPECT_TRUE(dlg.tabs->IsSelected(TAB_MORE));
  EXPECT_FALSE(dlg.tabs->IsSelected(TAB_MAIN)) << "one tab at a time";
  EXPECT_TRUE(dlg.GetString(IDC_NAME, s) && s == "tile");
  EXPECT_TRUE(dlg.GetString(IDC_NOTES, s) && s == "two\nlines");
  EXPECT_TRUE(dlg.GetBool(IDC_TOGGLE, b) && b);
  EXPECT_FALSE(dlg.bar->IsSelected(1)) << "the open bar folded";
  EXPECT_EQ(Line(IDC_BAR), "310 quicktab \"Details\" bar folded");
  EXPECT_TRUE(Tick(host, dlg, IDC_SNAP, false));
  EXPECT_TRUE(dlg.GetBool(IDC_SNAP, b) && !b);
}

TEST_F(OpenDialog, TypingReadsUserUnitsAndClamps) {
  struct Case {
    Int32 id;
    const char* text;
    Float stored;
  };
  for (const Case& k :
       {Case{IDC_ANGLE, "45", PI / 4}, Case{IDC_ANGLE, " 60\xC2\xB0 ", PI / 3},
        Case{IDC_ANGLE, "120", PI / 2}, Case{IDC_ANGLE, "-1000", -PI / 2},
        Case{IDC_BLEND, "50", 0.5}, Case{IDC_BLEND, "75 %", 0.75}, Case{IDC_BLEND, "150%", 1.0},
        Case{IDC_BLEND, "-5", 0.0}, Case{IDC_SCALE, "+2.25", 2.25}, Case{IDC_SCALE, "11", 10.0},
        Case{IDC_COUNT, "7", 7.0}, Case{IDC_COUNT, "1e1", 10.0}, Case{IDC_COUNT, "99", 10.0},
        Case{IDC_COUNT, "-3", 1.0}}) {
    const size_t before = dlg.commands.size();
    EXPECT_TRUE(Type(host, dlg, k.id, k.text)) << k.text;
    Float v = 0.0;
    ASSERT_TRUE(dlg.GetFloat(k.id, v));
    EXPECT_NEAR(v, k.stored, 1e-12) << k.text;
    EXPECT_EQ(dlg.commands.size(), before + 1);
  }
  ASSERT_TRUE(Type(host, dlg, IDC_ANGLE, "30"));
  EXPECT_EQ(Line(IDC_ANGLE), "504 number = 30\xC2\xB0 range -90\xC2\xB0..90\xC2\xB0");
}

TEST_F(OpenDialog, InvalidTextIsRefused) {
  for (const char* text : {"abc", "", "  ", "1.5x", "inf", "nan", "1e400", "%"}) {
    for (Int32 id : {IDC_SCALE, IDC_ANGLE, IDC_BLEND, IDC_COUNT}) {
      hostrt::ActionResult r = Type(host, dlg, id, text);
      EXPECT_FALSE(r) << id << " took " << text;
      EXPECT_NE(r.error.find("number"), String::npos) << r.error;
    }
  }
  hostrt::ActionResult r = Type(host, dlg, IDC_COUNT, "2.5");
  EXPECT_NE(r.error.find("whole number"), String::npos) << r.error;
  EXPECT_FALSE(Type(host, dlg, IDC_NAME, "two\nlines")) << "a single-line field";
  EXPECT_TRUE(dlg.commands.empty());
  EXPECT_EQ(Line(IDC_SCALE), "503 number = 1.5 range 0..10");
  EXPECT_EQ(Line(IDC_COUNT), "506 number = 3 range 1..10");
}

TEST_F(OpenDialog, UnreachableOrUnfittingControlsAreRefused) {
  dlg.Enable(IDC_SNAP, false);
  dlg.HideElement(IDC_MODE, true);
  struct Case {
    hostrt::ActionResult result;
    const char* error;
  };
  for (const Case& k : {
           Case{Click(host, dlg, IDC_LOCKED), "button 510 is disabled"},
           Case{Click(host, dlg, IDC_INNER), "button 411 is inside disabled group 410"},
           Case{Click(host, dlg, IDC_SECRET), "button 402 is inside hidden group 401"},
           Case{Tick(host, dlg, IDC_SNAP, true), "checkbox 500 is disabled"},
           Case{Choose(host, dlg, IDC_MODE, MODE_EXACT), "combo 501 is hidden"},
           Case{Click(host, dlg, 9999), "no control or menu entry 9999"},
           Case{Type(host, dlg, 9999, "1"), "no control 9999"},
           Case{Click(host, dlg, IDC_SCALE), "number 503 cannot be clicked"},
           Case{Tick(host, dlg, IDC_APPLY, true), "button 509 is not a checkbox"},
           Case{Choose(host, dlg, IDC_AXIS, 42), "radio 502 has no entry 42"},
           Case{Choose(host, dlg, IDC_BAR, 1), "quicktab 310 has no entries to choose"},
           Case{Type(host, dlg, IDC_APPLY, "1"), "button 509 takes no typing"},
       }) {
    EXPECT_FALSE(k.result.ok) << k.error;
    EXPECT_EQ(k.result.error.rfind(k.error, 0), 0u) << k.result.error;
  }
  dlg.Enable(IDC_SNAP, true);
  EXPECT_TRUE(Tick(host, dlg, IDC_SNAP, false)) << "already off: nothing to do";
  EXPECT_TRUE(dlg.commands.empty()) << "and no Command for it";
  EXPECT_EQ(Line(IDC_AXIS), "502 radio columns 2 = 10 \"U\"");
}

TEST_F(OpenDialog, ClosingAsksAndDestroys) {
  dlg.refuseClose = true;
  hostrt::ActionResult r = CloseWindow(host, dlg);
  EXPECT_FALSE(r);
  EXPECT_NE(r.error.find("AskClose"), String::npos);
  EXPECT_EQ(dlg.asked, 1);
  EXPECT_NE(host.FindWindow(&dlg), nullptr);
  EXPECT_EQ(dlg.destroyed, 0);

  dlg.refuseClose = false;
  EXPECT_TRUE(CloseWindow(host, dlg));
  EXPECT_EQ(host.FindWindow(&dlg), nullptr);
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.asked, 2);
  EXPECT_EQ(dlg.destroyed, 1);
  for (const hostrt::ActionResult& closed :
       {CloseWindow(host, dlg), Click(host, dlg, IDC_APPLY), Tick(host, dlg, IDC_SNAP, true),
        Choose(host, dlg, IDC_MODE, MODE_FAST), Type(host, dlg, IDC_SCALE, "1")})
    EXPECT_EQ(closed.error, "the dialog is not open");
  EXPECT_TRUE(dlg.commands.empty());
  EXPECT_EQ(dlg.asked, 2) << "a closed window is not asked";
}

TEST_F(OpenDialog, TimerTicksOnceAfterEachActionUntilStopped) {
  dlg.SetTimer(50);
  EXPECT_EQ(dlg.timers, 0) << "no time passes without a user event";
  EXPECT_TRUE(Click(host, dlg, IDC_APPLY));
  EXPECT_EQ(dlg.timers, 1);
  EXPECT_TRUE(Type(host, dlg, IDC_SCALE, "2"));
  EXPECT_EQ(dlg.timers, 2);
  EXPECT_FALSE(Click(host, dlg, IDC_LOCKED));
  EXPECT_EQ(dlg.timers, 2) << "a refused action is no event";
  dlg.onCommand = [&](Int32) { dlg.SetTimer(0); };
  EXPECT_TRUE(Click(host, dlg, IDC_APPLY));
  EXPECT_TRUE(Click(host, dlg, IDC_APPLY));
  EXPECT_EQ(dlg.timers, 2);
}

namespace {

// A scratch plug-in folder: the project's res/ without its dialogs, plus test layouts.
struct DialogResource : ::testing::Test {
  fs::path dir = fs::temp_directory_path() / ("pelterra_dlg_" + std::to_string(::getpid()));
  GeResource res;
  GeDialog dlg;
  std::unique_ptr<GeDialog> built;  // what the last BuildBad built
  String error;

  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(kSource + "/res", dir / "res", fs::copy_options::recursive);
    for (const char* sub : {"dialogs", "strings_us/dialogs"}) {
      fs::remove_all(dir / "res" / sub);
      fs::create_directories(dir / "res" / sub);
    }
    Append("c4d_symbols.h",
           "enum {\n  DLG_TST = 1900001,\n  DLG_TST_BAD = 1900002,\n  TST_GROUP = 1900010,\n"
           "  TST_OK = 1900011,\n  TST_SNAP = 1900012,\n  TST_MODE = 1900013,\n"
           "  TST_MODE_A = 1900014,\n  TST_MODE_B = 1900015,\n  TST_AXIS = 1900016,\n"
           "  TST_AXIS_U = 1900017,\n  TST_AXIS_V = 1900018,\n  TST_SIZE = 1900020,\n"
           "  TST_BLEND = 1900021,\n  TST_NOTES = 1900022,\n  TST_BAR = 1900025,\n"
           "  IDS_TST_BOTH = 1900100,\n  IDS_TST_TABLE = 1900101,\n};\n");
    Append("strings_us/c4d_strings.str",
           "STRINGTABLE { IDS_TST_BOTH \"from the string table\"; IDS_TST_TABLE \"Table\"; }\n");
    Append(
        "strings_us/dialogs/DLG_TST.str",
        "DIALOGSTRINGS DLG_TST { IDS_TST_BOTH \"from the dialog\"; IDS_TST_LOCAL \"Local\"; }\n");
    Append("dialogs/DLG_TST.res",
           "DIALOG DLG_TST\n"
           "{\n"
           "  GROUP TST_GROUP\n"
           "  {\n"
           "    NAME \"Settings\"; COLUMNS 2; ROWS 3; BORDERSTYLE BORDER_GROUP_IN;\n"
           "    BORDERSIZE 4, 2, 4, 2; SPACE 8, 6; SCALEFIT_H; ALIGN_TOP;\n"
           "    STATICTEXT { NAME IDS_TST_BOTH; ALIGN_LEFT; }\n"
           "    BUTTON TST_OK { NAME IDS_TST_TABLE; SIZE 100, 0; }\n"
           "    CHECKBOX TST_SNAP { NAME IDS_TST_LOCAL; }\n"
           "    EDITNUMBER TST_SIZE { SIZE 90, 0; SCALEFIT_H; }\n"
           "    EDITSLIDER TST_BLEND { SCALEFIT_H; }\n"
           "    EDITTEXT 1900030 { }\n"
           "    MULTILINEEDITTEXT TST_NOTES { SIZE 0, 40; }\n"
           "  }\n"
           "  COMBOBOX TST_MODE { CHILDS { TST_MODE_A, \"Fast\"; TST_MODE_B, IDS_TST_LOCAL; } }\n"
           "  RADIOGROUP TST_AXIS { COLUMNS 2; RADIOGADGET TST_AXIS_U { NAME \"U\"; }\n"
           "                        RADIOGADGET TST_AXIS_V { NAME \"V\"; } }\n"
           "  SEPARATOR;\n"
           "  SEPARATOR { VERTICAL; SIZE 0, 20; }\n"
           "  BAR TST_BAR { NAME \"More\"; SUBGROUP; }\n"
           "  EDITNUMBERARROWS 7 { }\n"
           "}\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  void Append(const String& rel, const String& text) {
    std::ofstream(dir / "res" / rel, std::ios::binary | std::ios::app) << text;
  }
  // Builds a dialog DLG_TST_BAD with that body (starting on line 2); false with error set.
  bool BuildBad(const String& body) {
    std::ofstream(dir / "res" / "dialogs" / "DLG_TST_BAD.res", std::ios::binary)
        << "DIALOG DLG_TST_BAD {\n"
        << body << "\n}\n";
    if (!res.Init(dir.string())) {
      error = res.GetLastError();
      return false;
    }
    built = std::make_unique<GeDialog>();
    const bool ok = hostrt::BuildDialogResource(*built, res, 1900002, &error);
    EXPECT_EQ(built->GetModel()->open.size(), 1u) << "groups left open";
    return ok;
  }
};

}  // namespace

TEST_F(DialogResource, BuildsTheLayoutTree) {
  ASSERT_TRUE(res.Init(dir.string())) << res.GetLastError();
  ASSERT_TRUE(hostrt::BuildDialogResource(dlg, res, 1900001, &error)) << error;
  EXPECT_EQ(hostrt::RenderDialog(dlg),
            "dialog \"\"\n"
            "  1900010 group \"Settings\" columns 2 rows 3\n"
            "    - text \"from the dialog\"\n"
            "    1900011 button \"Table\"\n"
            "    1900012 checkbox \"Local\" = off\n"
            "    1900020 number = 0\n"
            "    1900021 slider = 0\n"
            "    1900030 edittext = \"\"\n"
            "    1900022 multiline = \"\"\n"
            "  1900013 combo = 0 (no entry)\n"
            "  1900016 radio columns 2 = 0 (no entry)\n"
            "  - separator\n"
            "  - separator vertical\n"
            "  1900025 quicktab \"More\" bar\n"
            "  7 number = 0\n");
  const hostrt::DialogModel& m = *dlg.GetModel();
  const hostrt::DialogControl& g = *m.Find(1900010);
  EXPECT_EQ(g.flags, BFH_SCALEFIT | BFV_TOP);
  EXPECT_EQ(g.borderStyle, BORDER_GROUP_IN);
  EXPECT_EQ(std::vector<Int32>(g.borderSpace, g.borderSpace + 4), (std::vector<Int32>{4, 2, 4, 2}));
  EXPECT_EQ(g.spaceX * 100 + g.spaceY, 806);
  EXPECT_EQ(m.Find(1900011)->initW, 100);
  EXPECT_EQ(m.Find(1900020)->flags, BFH_SCALEFIT);
  EXPECT_EQ(m.Find(1900013)->entries,
            (std::vector<std::pair<Int32, String>>{{1900014, "Fast"}, {1900015, "Local"}}));
  EXPECT_EQ(m.Find(1900016)->entries.at(1), (std::pair<Int32, String>{1900018, "V"}));
  EXPECT_EQ(m.root.children.at(3)->flags, BFH_FIT) << "a separator fits by default";
  EXPECT_EQ(m.root.children.at(4)->initH, 20);
  const hostrt::DialogControl& bar = *m.Find(1900025);
  EXPECT_TRUE(bar.settings.GetBool(QUICKTAB_BAR));
  EXPECT_TRUE(bar.settings.GetBool(QUICKTAB_BARSUBGROUP));
  EXPECT_EQ(bar.settings.GetString(QUICKTAB_BARTITLE), "More");
}

TEST_F(DialogResource, TextsComeFromTheDialogStringsThenTheStringTable) {
  EXPECT_TRUE(BuildBad("STATICTEXT { NAME IDS_TST_BOTH; } STATICTEXT { NAME IDS_PELTERRA; }"))
      << error;
  EXPECT_EQ(hostrt::RenderDialog(*built),
            "dialog \"\"\n  - text \"from the string table\"\n  - text \"Pelterra\"\n");
  Append("strings_us/dialogs/DLG_TST_BAD.str",
         "DIALOGSTRINGS DLG_TST_BAD { IDS_TST_BOTH \"own\"; IDS_PELTERRA \"own name\"; }\n");
  ASSERT_TRUE(res.Init(dir.string())) << res.GetLastError();
  GeDialog own;
  ASSERT_TRUE(hostrt::BuildDialogResource(own, res, 1900002, &error)) << error;
  EXPECT_EQ(hostrt::RenderDialog(own), "dialog \"\"\n  - text \"own\"\n  - text \"own name\"\n");
  GeDialog shared;
  ASSERT_TRUE(hostrt::BuildDialogResource(shared, res, 1900001, &error)) << error;
  EXPECT_EQ(shared.GetModel()->root.children.at(0)->children.at(0)->title, "from the dialog")
      << "another dialog's strings are not used";
}

TEST_F(DialogResource, ErrorsNameTheFileLine) {
  struct Case {
    const char* body;
    const char* error;
  };
  for (const Case& k : {
           Case{"GROUP {\n  BUTTON TST_NOPE { NAME \"x\"; }\n}", ":3: unknown symbol TST_NOPE"},
           Case{"\nSLIDER TST_SIZE;", ":3: unknown keyword SLIDER"},
           Case{"BUTTON TST_OK { NAME IDS_NOWHERE; }", ":2: unknown text IDS_NOWHERE"},
           Case{"BUTTON TST_OK {\n COLUMNS 2; }", ":3: COLUMNS is not allowed in BUTTON"},
           Case{"BUTTON \"Go\";", ":2: expected an identifier"},
           Case{"GROUP { GROUP { SPACE 1; } }", ":2: SPACE takes 2 numbers"},
           Case{"GROUP {\n  COLUMNS 0; }", ":3: COLUMNS must be at least 1"},
           Case{"COMBOBOX TST_MODE { CHILDS { TST_NOPE, \"x\"; } }", ":2: unknown symbol TST_NOPE"},
       }) {
    EXPECT_FALSE(BuildBad(k.body)) << k.body;
    const String file = (dir / "res" / "dialogs" / "DLG_TST_BAD.res").string();
    EXPECT_EQ(error.rfind(file + k.error, 0), 0u) << error;
  }
  ASSERT_TRUE(res.Init(dir.string()));
  EXPECT_FALSE(hostrt::BuildDialogResource(dlg, res, 123456, &error));
  EXPECT_EQ(error.rfind("no dialog layout 123456", 0), 0u) << error;
  EXPECT_FALSE(hostrt::BuildDialogResource(dlg, res, 123456)) << "no error text wanted";
  EXPECT_TRUE(dlg.GetModel()->root.children.empty());
}
