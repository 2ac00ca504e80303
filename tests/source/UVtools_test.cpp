// The UV tools dialog: its layout, refresh rules, the registry it dispatches from, the copy-shape
// step machine, closing and reopening, the EPS size dialog and the timer.
#include "UVtools.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "UVEps.h"
#include "UVtoolsState.h"
#include "c4d_symbols.h"
#include "runtime/dialog_model.h"
#include "uv_scene.h"

namespace fs = std::filesystem;
using hostrt::ControlKind;
using hostrt::DialogControl;

namespace {

struct UVtoolsTest : UVScene {
  TransformState& T() { return dlg.State<TransformState>(); }
  void ExpectVisible(std::initializer_list<Int32> shown, std::initializer_list<Int32> hidden) {
    for (Int32 id : shown) EXPECT_TRUE(Visible(id)) << id;
    for (Int32 id : hidden) EXPECT_FALSE(Visible(id)) << id;
  }
};

// One line per control: kind, id, flags, layout, label, value with its range and format, and
// the state a user sees.
void Snapshot(const DialogControl& c, int depth, std::ostringstream& out) {
  out << std::string(static_cast<size_t>(depth) * 2, ' ') << hostrt::ControlKindName(c.kind);
  if (c.id) out << ' ' << c.id;
  if (c.flags) out << " f" << c.flags;
  if (c.kind == ControlKind::Group) {
    out << " c" << c.columns << " r" << c.rows;
    if (c.borderStyle) out << " border" << c.borderStyle;
    const Int32* b = c.borderSpace;
    if (b[0] || b[1] || b[2] || b[3]) out << " b" << b[0] << '/' << b[1] << '/' << b[2] << '/' << b[3];
    if (c.spaceX || c.spaceY) out << " s" << c.spaceX << '/' << c.spaceY;
  }
  if (c.kind == ControlKind::ScrollGroup) out << " scroll" << c.scrollFlags;
  if (c.kind == ControlKind::Separator) out << (c.vertical ? " v" : " h");
  if (c.initW || c.initH) out << " w" << c.initW << " h" << c.initH;
  if (!c.title.empty()) out << " \"" << c.title << '"';
  if (c.kind == ControlKind::QuickTab) {
    const BaseContainer& s = c.settings;
    if (s.GetBool(QUICKTAB_BAR))
      out << (s.GetBool(QUICKTAB_BARSUBGROUP) ? " bar sub" : " bar top");
    else
      out << " tabs ssgl" << s.GetBool(QUICKTAB_SHOWSINGLE) << " sprn"
          << s.GetBool(QUICKTAB_SPRINGINGFOLDERS) << " lycl" << s.GetBool(QUICKTAB_LAYOUTCOLLAPSE)
          << " noml" << s.GetBool(QUICKTAB_NOMULTISELECT);
    for (Int32 t : c.selectedTabs) out << " selected " << t;
  }
  if (c.kind == ControlKind::BitmapButton)
    out << ' ' << c.imageName << " brdr" << c.settings.GetInt32(BITMAPBUTTON_BORDER) << " butt"
        << c.settings.GetBool(BITMAPBUTTON_BUTTON) << (c.image ? "" : " no-image");
  for (const auto& e : c.entries) out << " [" << e.first << ' ' << e.second << ']';
  switch (c.valueKind) {
    case hostrt::ValueKind::Bool:
    case hostrt::ValueKind::Int:
      out << " = " << c.intValue;
      if (c.kind == ControlKind::NumberField) out << " (" << c.min << ".." << c.max << ")";
      break;
    case hostrt::ValueKind::Float:
    case hostrt::ValueKind::Percent:
    case hostrt::ValueKind::Degree:
      out << " = " << c.floatValue << " (" << c.min << ".." << c.max << " step " << c.step << ' ';
      for (int shift = 24; shift >= 0; shift -= 8) out << static_cast<char>(c.format >> shift);
      out << ')';
      break;
    default:
      break;
  }
  if (!c.enabled) out << " disabled";
  if (c.hidden) out << " hidden";
  out << '\n';
  for (const auto& child : c.children) Snapshot(*child, depth + 1, out);
}

}  // namespace

// The whole window as it opens, for a person to review: tests/source/data/uvtools_window.txt.
// PELTERRA_UPDATE_SNAPSHOTS=1 rewrites it after a deliberate change.
TEST_F(UVtoolsTest, WindowMatchesItsReviewedSnapshot) {
  std::ostringstream out;
  out << "title \"" << dlg.GetTitle() << "\"\nmenu";
  std::function<void(const hostrt::MenuItem&)> menu = [&](const hostrt::MenuItem& m) {
    out << ' ' << (m.id ? std::to_string(m.id) + ":" : std::string()) << m.label;
    if (m.id) return;
    out << " [";
    for (const auto& c : m.children) menu(c);
    out << " ]";
  };
  for (const auto& m : dlg.GetModel()->menu) menu(m);
  out << '\n';
  for (const auto& c : dlg.GetModel()->root.children) Snapshot(*c, 0, out);

  const fs::path file = fs::path(PELTERRA_SOURCE_DIR) / "tests/source/data/uvtools_window.txt";
  if (std::getenv("PELTERRA_UPDATE_SNAPSHOTS")) std::ofstream(file) << out.str();
  std::ifstream in(file);
  std::stringstream want;
  want << in.rdbuf();
#ifdef _WIN32
  // Built without libtiff, no bitmap button has its icon: the snapshot with each marked so.
  std::string noIcons;
  for (std::string line; std::getline(want, line);) {
    const size_t at = line.find(" butt1");
    if (line.find("bitmapbutton ") != std::string::npos && at != std::string::npos)
      line.insert(at + 6, " no-image");
    noIcons += line + "\n";
  }
  want.str(noIcons);
#endif
  EXPECT_EQ(out.str(), want.str()) << "the window changed; review it and update the snapshot";
}

TEST_F(UVtoolsTest, InitValuesResetsPicksButNotCollapsedOrEpsSize) {
  auto& align = dlg.State<AlignCapture>();
  align.centre = Vector(1, 2, 3);
  align.enabled = align.count = 5;
  align.line[1] = Vector(1, 1, 1);
  dlg.State<StitchCapture>().enabled = 1;
  dlg.State<StitchCapture>().count = 7;
  dlg.State<CopyShapeState>().step = 2;
  dlg.State<SymmetryState>().armed = 1;
  T().measuredArea = 3;
  T().capturedWidth = 0.5;
  T().kind = TransformKind::kRealArea;
  T().angleReady = 1;
  T().rotateRecord.resize(1);
  dlg.collapsed = 0x5;
  dlg.State<EpsState>().settings.width = 640;
  dlg.InitValues();
  EXPECT_EQ(align.centre, Vector());
  EXPECT_EQ(align.enabled + align.count, 0u);
  EXPECT_EQ(align.line[1], Vector());
  EXPECT_EQ(dlg.State<StitchCapture>().enabled, 0u);
  EXPECT_EQ(dlg.State<StitchCapture>().count, 7u) << "the stitch count is not reset";
  EXPECT_EQ(dlg.State<CopyShapeState>().step, 0u);
  EXPECT_EQ(dlg.State<SymmetryState>().armed, 0u);
  EXPECT_EQ(T().measuredArea, 0.0);
  EXPECT_EQ(T().capturedWidth, 0.5) << "the captured size stays";
  EXPECT_EQ(T().kind, TransformKind::kNone);
  EXPECT_EQ(T().angleReady, 1u);
  EXPECT_EQ(T().rotateRecord.size(), 1u);
  EXPECT_EQ(dlg.collapsed, 0x5u);
  EXPECT_EQ(C(IDC_EPS_SIZE).title, "EPS Size W:640px H:1024px");
}

TEST_F(UVtoolsTest, TabsShowTheirPages) {
  // The real-area bar belongs to the first tab.
  ExpectVisible({IDC_BAR_FUNCTION1, IDC_GROUP_COPY_SHAPE, IDC_RA_BAR},
                {IDC_BAR_FUNCTION2, IDC_GROUP_ALIGN, IDC_BAR_SET_UVW, IDC_BAR_SCALE,
                 IDC_GROUP_UVMESH});
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  ExpectVisible({IDC_BAR_ALIGN, IDC_GROUP_ALIGN, IDC_BAR_SET_UVW, IDC_GROUP_SET_UVW},
                {IDC_BAR_FUNCTION1, IDC_RA_GROUP, IDC_GROUP_UVMESH});
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  ExpectVisible({IDC_BAR_SCALE, IDC_GROUP_ROTATE, IDC_GROUP_UVMESH},
                {IDC_BAR_SET_UVW, IDC_GROUP_SET_UVW, IDC_BAR_ALIGN});
}

TEST_F(UVtoolsTest, BarsCollapseTheirGroups) {
  Click(IDC_BAR_COPY_SHAPE);
  EXPECT_FALSE(Visible(IDC_GROUP_COPY_SHAPE));
  EXPECT_TRUE(Visible(IDC_BAR_COPY_SHAPE)) << "the bar stays";
  EXPECT_TRUE(dlg.IsCollapsed(UVtools::kCopyShape));
  Click(IDC_RA_BAR);
  EXPECT_FALSE(Visible(IDC_RA_GROUP));
  Click(IDC_BAR_COPY_SHAPE);
  EXPECT_TRUE(Visible(IDC_GROUP_COPY_SHAPE));
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  Click(IDC_BAR_SCALE);
  EXPECT_FALSE(Visible(IDC_GROUP_SCALE));
  EXPECT_TRUE(Visible(IDC_GROUP_ROTATE));
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  Click(IDC_BAR_SET_UVW);
  EXPECT_FALSE(Visible(IDC_GROUP_SET_UVW));
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  EXPECT_FALSE(Visible(IDC_RA_GROUP)) << "flags survive a tab change";
  EXPECT_EQ(dlg.collapsed, (1u << UVtools::kRealArea) | (1u << UVtools::kScale) |
                               (1u << UVtools::kSetUVW));
}

TEST_F(UVtoolsTest, EnablingFollowsTheState) {
  EXPECT_FALSE(Enabled(IDC_STITCH_U));
  EXPECT_FALSE(Enabled(IDC_PROJECT_U));
  dlg.State<StitchCapture>().enabled = 1;
  dlg.Refresh();
  for (Int32 id : {IDC_STITCH_U, IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V})
    EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(IDC_PROJECT_U)) << "the line projection follows the align capture";
  dlg.State<AlignCapture>().enabled = 1;
  dlg.Refresh();
  EXPECT_TRUE(Enabled(IDC_PROJECT_U) && Enabled(IDC_PROJECT_V));

  struct Case {
    TransformKind kind;
    bool fields, scale, capture, applyTexture;
  };
  for (Case c : {Case{TransformKind::kNone, true, true, true, false},
                 Case{TransformKind::kSizeCaptured, false, true, false, false},
                 Case{TransformKind::kRealArea, false, false, false, true},
                 Case{TransformKind::kLiveScale, true, false, false, false}}) {
    T().kind = c.kind;
    dlg.Refresh();
    const Int32 k = static_cast<Int32>(c.kind);
    for (Int32 id : {IDC_SCALE_U, IDC_SCALE_V, IDC_SCALE_U_ON, IDC_SCALE_V_ON})
      EXPECT_EQ(Enabled(id), c.fields) << k << ' ' << id;
    EXPECT_EQ(Enabled(IDC_SCALE), c.scale) << k;
    for (Int32 id : {IDC_SIZE_CAPTURE, IDC_RA_MEASURE, IDC_LIVE_SCALE})
      EXPECT_EQ(Enabled(id), c.capture) << k << ' ' << id;
    EXPECT_EQ(Enabled(IDC_RA_APPLY_TEXTURE), c.applyTexture) << k;
  }

  T().angleReady = 1;
  dlg.Refresh();
  for (Int32 id : {IDC_ROTATE, IDC_LIVE_ROTATE, IDC_TWO_POINT_ANGLE, IDC_ANGLE_AXIS})
    EXPECT_FALSE(Enabled(id)) << id;
  T().angleReady = 0;
  dlg.Refresh();
  EXPECT_TRUE(Enabled(IDC_TWO_POINT_ANGLE));
}

TEST_F(UVtoolsTest, CheckboxesAndRadioRefresh) {
  const std::initializer_list<Int32> texture = {
      IDC_RA_READOUT2, IDC_RA_READOUT1, IDC_RA_TEXTURE_SIZE, IDC_RA_PIXELS_PER_UNIT,
      IDC_RA_UNIT,     IDC_RA_LABEL1,   IDC_RA_LABEL2,       IDC_RA_LABEL3};
  for (Int32 id : texture) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(IDC_RA_APPLY_TEXTURE));
  Tick(IDC_RA_TEXTURE_MODE, true);
  for (Int32 id : texture) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(IDC_RA_APPLY_TEXTURE));

  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  ExpectVisible({IDC_SET_U, IDC_SET_LABEL}, {IDC_MOVE_U, IDC_MOVE_LABEL});
  Tick(IDC_SET_U_ON, false);
  EXPECT_FALSE(Enabled(IDC_SET_U) || Enabled(IDC_MOVE_U));
  EXPECT_TRUE(Enabled(IDC_SET_V));
  Choose(IDC_SET_OR_MOVE, IDC_SET_OR_MOVE_MOVE);
  ExpectVisible({IDC_MOVE_U, IDC_MOVE_V, IDC_MOVE_LABEL}, {IDC_SET_U, IDC_SET_V, IDC_SET_LABEL});
  Tick(IDC_SET_V_ON, false);
  EXPECT_FALSE(Enabled(IDC_MOVE_V));
}

TEST_F(UVtoolsTest, CopyShapeStepsAndSymmetryLabel) {
  auto& copy = dlg.State<CopyShapeState>();
  auto hint = [&] {
    String h;
    dlg.GetString(IDC_CS_HINT, h);
    return h;
  };
  for (UInt32 step = 0; step < 4; ++step) {
    copy.step = step;
    dlg.Refresh();
    for (UInt32 k = 0; k < 4; ++k)
      EXPECT_EQ(Enabled(static_cast<Int32>(IDC_CS_STEP1 + k)), k == step) << step;
    EXPECT_EQ(hint(), step % 2 == 0 ? "  Select UV Polygons " : "  Select UV Points   ");
  }
  copy.step = 4;
  dlg.Refresh();
  EXPECT_TRUE(Enabled(IDC_CS_STEP4)) << "step 4 leaves the indicators as they were";
  Click(IDC_CS_STEP);
  EXPECT_EQ(copy.step, 4u) << "the step button does nothing while the symmetry pick runs";

  // A pick that fails (nothing selected here) starts the machine over from any step.
  for (UInt32 step : {1u, 2u, 3u}) {
    copy.step = step;
    Click(IDC_CS_STEP);
    EXPECT_EQ(copy.step, 0u) << step;
    EXPECT_TRUE(Enabled(IDC_CS_STEP1)) << step;
    EXPECT_EQ(hint(), "  Select UV Polygons ");
  }

  EXPECT_EQ(C(IDC_SYMMETRY_PICK).title, "Select UV Poly");
  auto& symmetry = dlg.State<SymmetryState>();
  symmetry.armed = 1;
  symmetry.polygons.resize(2);
  copy.sourcePolygons.resize(1);
  dlg.Refresh();
  EXPECT_EQ(C(IDC_SYMMETRY_PICK).title, "SetPoint 2 Symmetry");
  Click(IDC_SYMMETRY_RESET);
  EXPECT_EQ(symmetry.armed, 0u);
  EXPECT_TRUE(symmetry.polygons.empty());
  EXPECT_EQ(copy.sourcePolygons.size(), 1u) << "the copy-shape picks stay";
  EXPECT_EQ(C(IDC_SYMMETRY_PICK).title, "Select UV Poly");
  Click(IDC_CS_CLEAR);
  EXPECT_TRUE(copy.sourcePolygons.empty());
}

TEST_F(UVtoolsTest, DebugFileShowsTheListingFromTheNextRefresh) {
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);  // the listing sits on the second tab
  fs::path marker = fs::path(PELTERRA_PLUGIN_DIR) / "res" / "debug.txt";
  fs::remove(marker);
  dlg.InitValues();
  EXPECT_FALSE(Visible(IDC_LIST_GROUP));
  std::ofstream(marker) << "on\n";
  dlg.InitValues();
  EXPECT_EQ(dlg.debugFileFound, 1u);
  EXPECT_FALSE(Visible(IDC_LIST_GROUP)) << "the refresh inside InitValues runs before the probe";
  dlg.Refresh();
  EXPECT_TRUE(Visible(IDC_LIST_GROUP));
  fs::remove(marker);
  fs::create_directory(marker);
  dlg.InitValues();
  EXPECT_EQ(dlg.debugFileFound, 0u) << "a folder named debug.txt is not the marker";
  fs::remove(marker);
}

// Every control of every group reaches its group, and only those in range reach anything.
TEST_F(UVtoolsTest, RegistryDispatchesEachControlToItsGroup) {
  const ToolRegistry& reg = ToolRegistry::Get();
  EXPECT_TRUE(reg.Clashes().empty()) << "a control claimed by two groups";
  std::set<Int32> seen;
  for (const ToolGroupEntry& g : reg.Groups()) {
    EXPECT_TRUE(g.command) << g.name;
    for (Int32 id : g.controls) {
      EXPECT_TRUE(seen.insert(id).second) << id;
      EXPECT_EQ(reg.Find(id), &g) << id;
      EXPECT_TRUE(id >= IDC_CS_STEP && id <= IDC_SET_OR_MOVE) << id << " is never dispatched";
    }
    for (Int32 id : g.pending)
      EXPECT_NE(std::find(g.controls.begin(), g.controls.end(), id), g.controls.end()) << id;
    for (Int32 id : g.controls)
      EXPECT_EQ(reg.IsPending(id),
                std::find(g.pending.begin(), g.pending.end(), id) != g.pending.end())
          << id;
  }
  EXPECT_FALSE(reg.IsPending(IDC_SCALE));
  EXPECT_FALSE(reg.IsPending(IDC_CS_STEP1)) << "not a tool's control";

  std::vector<std::string> calls;
  for (const ToolGroupEntry& g : reg.Groups()) {
    const std::string name = g.name;
    for (Int32 id : g.controls)
      dlg.SetCommand(id, [&calls, name](ToolDialog&, ToolStates&, Int32 c) {
        calls.push_back(name + " " + std::to_string(c));
      });
  }
  for (Int32 id : seen) {
    calls.clear();
    dlg.Command(id, BaseContainer());
    ASSERT_EQ(calls.size(), 1u) << id;
    EXPECT_EQ(calls[0], std::string(reg.Find(id)->name) + " " + std::to_string(id));
  }
  calls.clear();
  for (Int32 id : {10017, 10227, 10009, 0, -5, 1024239, Int32(IDC_SCALE_U_ON), Int32(IDC_CS_STEP1)})
    dlg.Command(id, BaseContainer());
  EXPECT_TRUE(calls.empty()) << "unregistered or out-of-range identifiers reach no tool";
}

TEST_F(UVtoolsTest, LinkingTheScaleFactors) {
  Choose(IDC_TABS, IDC_TAB_SCALE_ROTATE);
  Tick(IDC_SCALE_LINK, true);
  dlg.SetFloat(IDC_SCALE_U, 2.0, 0.0, 10.0, 0.01);
  dlg.SetFloat(IDC_SCALE_V, 3.0, 0.0, 10.0, 0.01);
  Tick(IDC_SCALE_LINK, false);
  EXPECT_EQ(F(IDC_SCALE_U), 2.0) << "switching the link off changes no factor";
  EXPECT_EQ(F(IDC_SCALE_V), 3.0);
  Tick(IDC_SCALE_LINK, true);
  EXPECT_EQ(F(IDC_SCALE_U), 2.0) << "with U applied, both take U";
  EXPECT_EQ(F(IDC_SCALE_V), 2.0);

  Tick(IDC_SCALE_LINK, false);
  Type(IDC_SCALE_V, "3");
  Tick(IDC_SCALE_U_ON, false);
  Tick(IDC_SCALE_LINK, true);
  EXPECT_EQ(F(IDC_SCALE_U), 3.0) << "U not applied: both take V";

  Tick(IDC_SCALE_LINK, false);
  Type(IDC_SCALE_U, "4");
  Type(IDC_SCALE_V, "1.5");
  Tick(IDC_SCALE_V_ON, false);
  Tick(IDC_SCALE_LINK, true);
  EXPECT_EQ(F(IDC_SCALE_U), 4.0) << "neither applied: both take the larger";
  EXPECT_EQ(F(IDC_SCALE_V), 4.0);
  EXPECT_EQ(C(IDC_SCALE_V).max, 10.0);

  Type(IDC_SCALE_V, "5");
  EXPECT_EQ(F(IDC_SCALE_U), 5.0) << "while linked, a changed factor carries the other";
  Type(IDC_SCALE_U, "0.5");
  EXPECT_EQ(F(IDC_SCALE_V), 0.5);
}

TEST_F(UVtoolsTest, ClosingReleasesPicksAndKeepsLayoutState) {
  dlg.State<CopyShapeState>().sourcePoints.resize(3);
  dlg.State<SymmetryState>().polygons.resize(1);
  dlg.State<SymmetryState>().armed = 1;
  dlg.State<StitchCapture>().points.resize(2);
  T().scaleRecord.resize(1);
  T().rotateRecord.resize(1);
  T().angleReady = 1;
  T().kind = TransformKind::kLiveScale;
  Click(IDC_BAR_COPY_SHAPE);
  dlg.State<EpsState>().settings.height = 300;
  ASSERT_TRUE(hostrt::CloseWindow(host, dlg).ok);
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_TRUE(dlg.State<CopyShapeState>().sourcePoints.empty());
  EXPECT_TRUE(dlg.State<SymmetryState>().polygons.empty());
  EXPECT_TRUE(dlg.State<StitchCapture>().points.empty());
  EXPECT_TRUE(T().scaleRecord.empty() && T().rotateRecord.empty());
  EXPECT_EQ(T().angleReady, 0u);
  EXPECT_EQ(T().kind, TransformKind::kLiveScale) << "closing keeps the transform kind";
  EXPECT_EQ(dlg.tabRow, nullptr);

  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, ID_UVCOMMAND, -1, -1, 380, 500, 0));
  EXPECT_TRUE(dlg.State<CopyShapeState>().sourcePoints.empty()) << "reopening restores no picks";
  EXPECT_EQ(dlg.State<SymmetryState>().armed, 0u);
  EXPECT_FALSE(Visible(IDC_GROUP_COPY_SHAPE)) << "collapsed groups stay collapsed";
  EXPECT_EQ(C(IDC_EPS_SIZE).title, "EPS Size W:1024px H:300px");
  EXPECT_NE(dlg.tabRow, nullptr);
}

TEST_F(UVtoolsTest, EpsSizeDialogSetsTheSize) {
  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_WIDTH, "2048").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_HEIGHT, "512").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_LINE, "0.5").ok);
    EXPECT_TRUE(hostrt::Click(host, *modal, IDC_EPS_OK).ok);
  };
  Click(IDC_EPS_SIZE);
  const EpsSettings& s = dlg.State<EpsState>().settings;
  EXPECT_EQ(s.width, 2048);
  EXPECT_EQ(s.height, 512);
  EXPECT_EQ(s.lineWidth, 0.5);
  EXPECT_EQ(C(IDC_EPS_SIZE).title, "EPS Size W:2048px H:512px");

  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_WIDTH, "9").ok);
    EXPECT_TRUE(hostrt::CloseWindow(host, *modal).ok);
  };
  Click(IDC_EPS_SIZE);
  EXPECT_EQ(s.width, 2048) << "closing without accepting keeps the size";
}

TEST_F(UVtoolsTest, TimerAsksAboutTheReversalOnce) {
  dlg.State<ConnectState>().reverseData.resize(4);
  dlg.SetTimer(10);
  host.QueueAnswer(GEMB_R_YES);
  host.RunTimers();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages().back().text, "UV Revers ?");
  EXPECT_EQ(dlg.GetTimer(), 0);
  EXPECT_TRUE(dlg.State<ConnectState>().reverseData.empty());
  host.RunTimers();
  EXPECT_EQ(host.Messages().size(), 1u) << "the timer stopped";
}

TEST_F(PluginHost, BitmapButtonWithoutIconStillDispatches) {
#ifdef _WIN32
  GTEST_SKIP() << "icons are read with libtiff, which the Windows build does not have; every "
                  "button is one without its icon there";
#endif
  fs::path dir = fs::temp_directory_path() / ("pelterra_noicon_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy(fs::path(PELTERRA_PLUGIN_DIR) / "res", dir / "res", fs::copy_options::recursive);
  fs::remove(dir / "res" / "MoveLeftPoly.tif");
  SetPluginPath(Filename(dir.string()));
  UVtools dlg;
  Int32 reached = 0;
  dlg.SetCommand(IDC_MOVE_POINT_LEFT, [&](ToolDialog&, ToolStates&, Int32 id) { reached = id; });
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, ID_UVCOMMAND, -1, -1, 380, 500, 0));
  const DialogControl* c = dlg.GetModel()->Find(IDC_MOVE_POINT_LEFT);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->image, nullptr);
  EXPECT_NE(dlg.GetModel()->Find(IDC_MOVE_POINT_RIGHT)->image, nullptr);
  auto r = hostrt::Click(host, dlg, IDC_MOVE_POINT_LEFT);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(reached, IDC_MOVE_POINT_LEFT);
  host.CloseAllWindows();
  fs::remove_all(dir);
}
