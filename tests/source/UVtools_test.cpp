// The UV tools dialog: layout, initial values, refresh rules, dispatch and the step machine.
#include "UVtools.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "c4d_symbols.h"
#include "runtime/dialog_model.h"
#include "uv_scene.h"

namespace fs = std::filesystem;
using hostrt::ControlKind;
using hostrt::DialogControl;

namespace {

// Calls of the tool entries, as "Name arg arg ...", and the answers they give.
std::vector<std::string> g_calls;
std::map<std::string, std::vector<bool>> g_answers;  // consumed front first; default true

bool Answer(const std::string& name) {
  auto& q = g_answers[name];
  if (q.empty()) return true;
  bool a = q.front();
  q.erase(q.begin());
  return a;
}

bool Record(std::ostringstream& s) {
  g_calls.push_back(s.str());
  return Answer(s.str().substr(0, s.str().find(' ')));
}

template <typename... A>
bool Call(const char* name, A... args) {
  std::ostringstream s;
  s << name;
  ((s << ' ' << args), ...);
  return Record(s);
}

// Every entry replaced by a recorder.
void InstallRecorders(UVtoolsEntries& t) {
#define DIALOG_ONLY(name) t.name = [](UVtools&) { return Call(#name); }
#define NO_ARGS(name) t.name = [] { return Call(#name); }
  DIALOG_ONLY(MeasureTwoPointAngle);
  DIALOG_ONLY(ReadSelectedPointsCenter);
  DIALOG_ONLY(CapturePointCenter);
  DIALOG_ONLY(MeasureRealArea);
  DIALOG_ONLY(ApplyRealAreaButton);
  DIALOG_ONLY(QuickGrid);
  DIALOG_ONLY(SymmetryMirror);
  DIALOG_ONLY(CaptureStitchPoints);
  DIALOG_ONLY(MeasureArea);
  DIALOG_ONLY(SelectByArea);
  DIALOG_ONLY(SetUVW);
  DIALOG_ONLY(CaptureSize);
  DIALOG_ONLY(ApplyAnglePreset);
  DIALOG_ONLY(ListUVPoints);
  DIALOG_ONLY(StitchSelectedEdges);
  DIALOG_ONLY(ConnectUVPolygons);
  DIALOG_ONLY(ConnectUVPolygonsReversed);
  NO_ARGS(LoopSelectPolygons);
  NO_ARGS(SaveUVlistAscii);
  NO_ARGS(SaveUVlistBinary);
  NO_ARGS(LoadUVlist);
  NO_ARGS(CreateUVmesh);
#undef DIALOG_ONLY
#undef NO_ARGS
  t.ScaleIslands = [](Float u, Float v, Bool au, Bool av, Bool k) {
    return Call("ScaleIslands", u, v, au, av, k);
  };
  t.FitIslandsToSize = [](Float w, Float h, Bool k) { return Call("FitIslandsToSize", w, h, k); };
  t.RotateIslands = [](Float a, Bool k) { return Call("RotateIslands", a, k); };
  t.MoveIslandsTo = [](Float u, Float v, Bool k, Bool mu, Bool mv) {
    return Call("MoveIslandsTo", u, v, k, mu, mv);
  };
  t.CaptureIslandSnapshot = [](UVtools&, Int32 kind) {
    return Call("CaptureIslandSnapshot", kind);
  };
  t.LiveScaleIslands = [](Float u, Float v, Bool k, const std::vector<IslandSnapshotRecord>& r) {
    return Call("LiveScaleIslands", u, v, k, r.size());
  };
  t.LiveRotateIslands = [](Float a, Bool k, const std::vector<IslandSnapshotRecord>& r) {
    return Call("LiveRotateIslands", a, k, r.size());
  };
  t.AlignPoints = [](Vector&, Int32 mode, UInt32&, Bool g, Bool d, Bool r) {
    return Call("AlignPoints", mode, g, d, r);
  };
  t.StitchPoints = [](Int32 mode, UInt32 n, UInt32&, const std::vector<CapturedPointRecord>&) {
    return Call("StitchPoints", mode, n);
  };
  t.ProjectOnLine = [](UVtools&, Int32 axis) { return Call("ProjectOnLine", axis); };
  t.ShiftCorners = [](Int32 dir) { return Call("ShiftCorners", dir); };
  t.CopyShapePickPolygons = [](UVtools& d) {
    return Call("CopyShapePickPolygons", d.copyShapeStep);
  };
  t.CopyShapePickPoints = [](UVtools& d) { return Call("CopyShapePickPoints", d.copyShapeStep); };
  t.CopyShapeApply = [](UVtools& d) { return Call("CopyShapeApply", d.copyShapeStep); };
  t.CopyShapeClear = [](UVtools&) { Call("CopyShapeClear"); };
  t.ExportUVlistEps = [](const EpsSettings& s) {
    return Call("ExportUVlistEps", s.width, s.height);
  };
}

struct UVtoolsTest : UVScene {
  hostrt::DialogModel* model = nullptr;

  UVtoolsTest() { InstallRecorders(dlg.tools); }
  void SetUp() override {
    g_calls.clear();
    g_answers.clear();
    UVScene::SetUp();
    model = dlg.GetModel();
  }
  void ExpectVisible(std::initializer_list<Int32> shown, std::initializer_list<Int32> hidden) {
    for (Int32 id : shown) EXPECT_TRUE(Visible(id)) << id;
    for (Int32 id : hidden) EXPECT_FALSE(Visible(id)) << id;
  }
  struct Row {
    Int32 id;
    const char* call;
  };
  // Each click reaches its tool entry, with these arguments.
  void Dispatch(std::initializer_list<Row> rows) {
    for (Row r : rows) {
      dlg.linerEnabled = 1;
      dlg.Refresh();
      Click(r.id);
      ASSERT_FALSE(g_calls.empty()) << r.id;
      EXPECT_EQ(g_calls.back(), r.call) << r.id;
    }
  }
};

// Compact form of the code-built part of the tree; resource layouts show as [resource].
void Compact(const DialogControl& c, int depth, std::ostringstream& out) {
  out << std::string(static_cast<size_t>(depth) * 2, ' ') << hostrt::ControlKindName(c.kind);
  if (c.id) out << ' ' << c.id;
  if (c.flags) out << " f" << c.flags;
  if (c.kind == ControlKind::Group) {
    out << " c" << c.columns << " r" << c.rows;
    if (c.borderStyle) out << " border" << c.borderStyle;
    if (c.borderSpace[0] || c.borderSpace[1] || c.borderSpace[2] || c.borderSpace[3])
      out << " b" << c.borderSpace[0] << '/' << c.borderSpace[1] << '/' << c.borderSpace[2] << '/'
          << c.borderSpace[3];
    if (c.spaceX || c.spaceY) out << " s" << c.spaceX << '/' << c.spaceY;
  }
  if (c.kind == ControlKind::ScrollGroup) out << " scroll" << c.scrollFlags;
  if (c.kind == ControlKind::Separator) out << (c.vertical ? " v" : " h");
  if (c.initW || c.initH) out << " w" << c.initW << " h" << c.initH;
  if (!c.title.empty()) out << " \"" << c.title << '"';
  if (c.kind == ControlKind::QuickTab && c.settings.GetBool(QUICKTAB_BAR))
    out << (c.settings.GetBool(QUICKTAB_BARSUBGROUP) ? " sub" : " top");
  if (c.kind == ControlKind::BitmapButton) out << ' ' << c.imageName;
  for (const auto& e : c.entries) out << " [" << e.first << ' ' << e.second << ']';
  out << '\n';
  const bool resource = c.id == 10086 || c.id == 10115 || c.id == 10175 || c.id == 10112;
  if (resource) {
    out << std::string(static_cast<size_t>(depth + 1) * 2, ' ') << "[resource]\n";
    return;
  }
  size_t n = c.children.size();
  if (c.id == 10113) n = 2;  // the rotate layout follows the code-built controls
  for (size_t i = 0; i < n && i < c.children.size(); ++i) Compact(*c.children[i], depth + 1, out);
}

// Menu entries as "label id", submenus as "label [entries]".
void Menu(const hostrt::MenuItem& m, std::ostream& out) {
  out << m.label << (m.id ? " " + std::to_string(m.id) : " [");
  for (const auto& c : m.children) Menu(c, out << (&c == &m.children[0] ? "" : ", "));
  out << (m.id ? "" : "]");
}

}  // namespace

TEST_F(UVtoolsTest, LayoutIsBuiltInCreationOrder) {
  std::ostringstream out;
  for (const auto& c : model->root.children) Compact(*c, 0, out);
  const char* expected = R"(menuline
  button 10120 "EPS Size W:1024px H:1024px"
group f25 c1 r0 "Pelterra"
  quicktab 10071 f63 [10072 UV Function1] [10073 UV Function2] [10074 Scale&Rotate]
scrollgroup f63 scroll796
  group 10087 f63 c1 r0 "ttt"
    group 10081 f57 c1 r0
      quicktab 10076 f57 "UV Function1" top
      quicktab 10089 f57 "Copy Shape" sub
      group 10086 f57 c1 r0 b20/5/0/5
        [resource]
      quicktab 10124 f57 "Move UV PointNumber" sub
      group 10127 f9 c2 r0 b10/5/0/5
        group f1 c2 r0 b80/0/0/15 s70/0
          bitmapbutton 10125 MoveLeftPoly.tif
          bitmapbutton 10126 MoveRightPoly.tif
      quicktab 10090 f57 "UV Symmetry" sub
      group 10114 f57 c1 r0 b20/5/0/5
        checkbox 10141 "Keep Face Neighbors"
        group f1 c2 r0 s10/10
          button 10139 "Select UV Poly"
          button 10140 "Reset"
      quicktab 10079 f57 "Select Area" sub
      group 10115 f57 c1 r0 b20/5/0/5
        [resource]
    group 10082 f63 c1 r0
      quicktab 10077 f57 "UV Function2" top
      quicktab 10123 f57 "Loop Select Poly" sub
      group 10121 f57 c0 r1 b23/5/0/5 s10/10
        button 10122 w150 h0 "Loop Select Poly"
      quicktab 10094 f57 "Align" sub
      group 10096 f57 c1 r0
        group f9 c0 r1 b30/5/0/5 s10/10
          group f9 c1 r0
            button 10093 w150 h0 "Select UVpoints"
            group f7 c1 r0 s15/5
              checkbox 10098 "Distance fixation"
              checkbox 10099 "Grid"
              checkbox 10159 "UV Rate"
          separator f3 v w0 h10
          group f7 c1 r0 b5/0/0/0 s15/0
            group c0 r1 b0/0/0/10 s15/0
              bitmapbutton 10100 BtnU.tif
              bitmapbutton 10101 BtnV.tif
              bitmapbutton 10102 BtnUV.tif
            group c0 r1 s15/0
              bitmapbutton 10161 UVLiner_U.tif
              bitmapbutton 10162 UVLiner_V.tif
        separator f24 h
        group f15 c0 r1
          checkbox 10210 w120 h0 "Square"
          checkbox 10211 w150 h0 "Size Fit"
        button 10109 w150 h0 "Quick Grid"
      quicktab 10095 f57 "Stichi&Connect" sub
      group 10097 f57 c1 r0
        group f9 c0 r1
          group c0 r1 border10 "ConnectEdge"
            combo 10156 [0 Point] [1 Polygon]
            bitmapbutton 10108 StichiEdgePoly.tif
          group c0 r1 border10 "ConnectPoly"
            bitmapbutton 10160 ConnectUVPoly.tif
        separator f24 h
        group f9 c1 r0
          button 10103 w150 h0 "Select UVpoints"
        group f9 c0 r1
          group c1 r0 border10 "Stichi PointSide"
            group c0 r1
              bitmapbutton 10104 StichiU.tif
              bitmapbutton 10105 StichiV.tif
          separator f3 v w0 h20
          group c1 r0 border10 "Stichi PointCenter"
            group c0 r1
              bitmapbutton 10106 StichiCenterU.tif
              bitmapbutton 10107 StichiCenterV.tif
      quicktab 10080 f57 "Set UVW" sub
      group 10175 f63 c1 r0 b5/0/0/0
        [resource]
    group 10083 f57 c1 r0
      quicktab 10110 f57 "Scale" top
      group 10112 f63 c1 r0 b5/0/0/0
        [resource]
      quicktab 10111 f57 "Rotate" sub
      group 10113 f9 c1 r0 b5/0/0/0
        checkbox 10152 "Keep Face Neighbors"
        group f9 c2 r0
          combo 10216 w40 h0 [10217 U] [10218 V]
          button 10053 w200 h0 "Angle between two points"
      group 10214 f57 c1 r0
        separator f56 h
        button 10212 w150 h20 "Create UVmesh"
)";
  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(dlg.GetTitle(), "Pelterra");
  std::ostringstream menu;
  for (const auto& m : model->menu) Menu(m, menu);
  EXPECT_EQ(menu.str(), "UV list [Save [ASCII 10116, Binary 10117, EPS 10119], Load 10118]");
}

TEST_F(UVtoolsTest, CustomGuiSettings) {
  const DialogControl& tabs = C(10071);
  EXPECT_EQ(tabs.customGuiId, 1000495);
  EXPECT_FALSE(tabs.settings.GetBool(0x00626172, true));  // 'bar'
  EXPECT_TRUE(tabs.settings.GetBool(0x7373676C));         // 'ssgl'
  EXPECT_TRUE(tabs.settings.GetBool(0x7370726E));         // 'sprn'
  EXPECT_TRUE(tabs.settings.GetBool(0x6C79636C));         // 'lycl'
  EXPECT_FALSE(tabs.settings.GetBool(0x6E6F6D6C, true));  // 'noml'
  EXPECT_EQ(tabs.selectedTabs, std::vector<Int32>{10072}) << "first tab selected at opening";
  const DialogControl& bar = C(10089);
  EXPECT_TRUE(bar.settings.GetBool(0x00626172));
  EXPECT_EQ(bar.settings.GetString(0x62746974), "Copy Shape");  // 'btit'
  const DialogControl& bmp = C(10100);
  EXPECT_EQ(bmp.customGuiId, 1000479);
  EXPECT_EQ(bmp.settings.GetInt32(0x62726472), 3);  // 'brdr'
  EXPECT_TRUE(bmp.settings.GetBool(0x62757474));    // 'butt'
  EXPECT_FALSE(bmp.settings.GetBool(0x746F6767, true));
  EXPECT_FALSE(bmp.settings.GetBool(0x706F7075, true));
  EXPECT_EQ(bmp.settings.GetInt32(21), 1000479);
  EXPECT_NE(bmp.image, nullptr) << "icon loaded from the plug-in's res folder";
}

TEST_F(UVtoolsTest, InitialValuesAndRanges) {
  auto expectFloat = [&](Int32 id, Float v, Float mn, Float mx, Float step, Int32 format) {
    const DialogControl& c = C(id);
    EXPECT_DOUBLE_EQ(c.floatValue, v) << id;
    EXPECT_DOUBLE_EQ(c.min, mn) << id;
    EXPECT_DOUBLE_EQ(c.max, mx) << id;
    EXPECT_DOUBLE_EQ(c.step, step) << id;
    EXPECT_EQ(c.format, format) << id;
  };
  auto intOf = [&](Int32 id) {
    Int32 v = -1;
    EXPECT_TRUE(dlg.GetInt32(id, v)) << id;
    return v;
  };
  const Int32 frea = FourCC("frea"), fdgr = FourCC("fdgr"), fpct = FourCC("fpct");
  for (auto [id, v] : std::map<Int32, Int32>{{10013, 10014},
                                             {10170, 1},
                                             {10172, 1},
                                             {10059, 1},
                                             {10060, 1},
                                             {10156, 0},
                                             {10026, 1},
                                             {10132, 10133},
                                             {10202, 10203},
                                             {10197, 512},
                                             {10196, 128},
                                             {10216, 10217},
                                             {10226, 10227}})
    EXPECT_EQ(intOf(id), v) << id;
  EXPECT_EQ(C(10197).min, -2147483648.0) << "integer fields are unbounded";
  for (Int32 id : {10062, 10063}) expectFloat(id, 1.0, 0.0, 10.0, 0.01, frea);
  for (Int32 id : {10171, 10173}) expectFloat(id, 1.0, 0.0, 1.0, 0.01, frea);
  expectFloat(10031, 0.0, 0.0, 1.0, 0.001, frea);
  expectFloat(10050, 0.0, -2 * PI, 2 * PI, PI / 1800, fdgr);
  for (Int32 id : {10200, 10199}) expectFloat(id, 0.0, 0.0, 10.0, 0.01, fpct);
  for (Int32 id : {10176, 10177}) expectFloat(id, 0.5, 0.0, 1.0, 0.01, fpct);
  EXPECT_EQ(dlg.transformKind, -1);
}

TEST_F(UVtoolsTest, InitValuesResetsPicksButNotCollapsedOrEpsSize) {
  dlg.pickCenter = Vector(1, 2, 3);
  dlg.linerEnabled = dlg.pickCount = dlg.stitchEnabled = 5;
  dlg.copyShapeStep = 2;
  dlg.symmetryArmed = 1;
  dlg.measuredArea = 3;
  dlg.pickVectors[1] = Vector(1, 1, 1);
  dlg.transformKind = 2;
  dlg.collapsed = 0x5;
  dlg.epsSettings.width = 640;
  dlg.angleReady = 1;
  dlg.InitValues();
  EXPECT_EQ(dlg.pickCenter, Vector());
  EXPECT_EQ(dlg.linerEnabled + dlg.pickCount + dlg.stitchEnabled, 0u);
  EXPECT_EQ(dlg.copyShapeStep, 0u);
  EXPECT_EQ(dlg.symmetryArmed, 0u);
  EXPECT_EQ(dlg.measuredArea, 0.0);
  EXPECT_EQ(dlg.pickVectors[1], Vector());
  EXPECT_EQ(dlg.transformKind, -1);
  EXPECT_EQ(dlg.collapsed, 0x5u);
  EXPECT_EQ(dlg.epsSettings.width, 640);
  EXPECT_EQ(dlg.angleReady, 1u);
  EXPECT_EQ(C(10120).title, "EPS Size W:640px H:1024px");
}

TEST_F(UVtoolsTest, TabsShowTheirPages) {
  // 10193: the real-area bar belongs to the first tab.
  ExpectVisible({10076, 10086, 10193}, {10077, 10096, 10080, 10110, 10214});
  Choose(10071, 10073);
  ExpectVisible({10094, 10096, 10080, 10175}, {10076, 10194, 10214});
  Choose(10071, 10074);
  ExpectVisible({10110, 10113, 10214}, {10080, 10175, 10094});
}

TEST_F(UVtoolsTest, BarsCollapseTheirGroups) {
  Click(10089);
  EXPECT_FALSE(Visible(10086));
  EXPECT_TRUE(Visible(10089)) << "the bar stays";
  EXPECT_TRUE(dlg.IsCollapsed(UVtools::kCopyShape));
  Click(10193);
  EXPECT_FALSE(Visible(10194));
  Click(10089);
  EXPECT_TRUE(Visible(10086));
  Choose(10071, 10074);
  Click(10110);
  EXPECT_FALSE(Visible(10112));
  EXPECT_TRUE(Visible(10113));
  Choose(10071, 10072);
  EXPECT_FALSE(Visible(10194)) << "flags survive a tab change";
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(UVtoolsTest, EnablingFollowsTheState) {
  auto refresh = [&] { dlg.Refresh(); };
  EXPECT_FALSE(Enabled(10104));
  EXPECT_FALSE(Enabled(10161));
  dlg.stitchEnabled = 1;
  dlg.linerEnabled = 1;
  refresh();
  for (Int32 id : {10104, 10105, 10106, 10107, 10161, 10162}) EXPECT_TRUE(Enabled(id)) << id;

  struct Case {
    Int32 kind;
    bool fields, scale, capture, applyTexture;
  };
  for (Case c : {Case{-1, true, true, true, false}, Case{1, false, true, false, false},
                 Case{2, false, false, false, true}, Case{3, true, false, false, false}}) {
    dlg.transformKind = c.kind;
    refresh();
    for (Int32 id : {10062, 10063, 10059, 10060})
      EXPECT_EQ(Enabled(id), c.fields) << c.kind << ' ' << id;
    EXPECT_EQ(Enabled(10065), c.scale) << c.kind;
    for (Int32 id : {10070, 10191, 10220}) EXPECT_EQ(Enabled(id), c.capture) << c.kind << ' ' << id;
    EXPECT_EQ(Enabled(10195), c.applyTexture) << c.kind;
  }

  dlg.angleReady = 1;
  refresh();
  for (Int32 id : {10051, 10221, 10053, 10216}) EXPECT_FALSE(Enabled(id)) << id;
  dlg.angleReady = 0;
  refresh();
  EXPECT_TRUE(Enabled(10053));
}

TEST_F(UVtoolsTest, CheckboxesAndRadioRefresh) {
  for (Int32 id : {10200, 10199, 10197, 10196, 10202, 10207, 10208, 10209})
    EXPECT_FALSE(Enabled(id)) << id;
  Tick(10201, true);
  for (Int32 id : {10200, 10199, 10197, 10196, 10202, 10207, 10208, 10209})
    EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(10195));

  Choose(10071, 10073);
  ExpectVisible({10171, 10223}, {10176, 10225});
  Tick(10170, false);
  EXPECT_FALSE(Enabled(10171) || Enabled(10176));
  EXPECT_TRUE(Enabled(10173));
  Choose(10226, IDC_SET_OR_MOVE_MOVE);
  ExpectVisible({10176, 10177, 10225}, {10171, 10173, 10223});
}

TEST_F(UVtoolsTest, CopyShapeIndicatorsAndSymmetryLabel) {
  for (UInt32 step = 0; step < 4; ++step) {
    dlg.copyShapeStep = step;
    dlg.Refresh();
    for (UInt32 k = 0; k < 4; ++k) EXPECT_EQ(Enabled(static_cast<Int32>(10020 + k)), k == step);
    String hint;
    dlg.GetString(10025, hint);
    EXPECT_EQ(hint, step % 2 == 0 ? "  Select UV Polygons " : "  Select UV Points   ");
  }
  dlg.copyShapeStep = 4;
  dlg.Refresh();
  EXPECT_TRUE(Enabled(10023)) << "step 4 leaves the indicators as they were";

  EXPECT_EQ(C(10139).title, "Select UV Poly");
  dlg.symmetryArmed = 1;
  dlg.Refresh();
  EXPECT_EQ(C(10139).title, "SetPoint 2 Symmetry");
}

TEST_F(UVtoolsTest, DebugFileShowsTheListingFromTheNextRefresh) {
  Choose(10071, 10073);  // the listing sits on the second tab
  fs::path marker = fs::path(PELTERRA_PLUGIN_DIR) / "res" / "debug.txt";
  fs::remove(marker);
  dlg.InitValues();
  EXPECT_FALSE(Visible(10198));
  std::ofstream(marker) << "on\n";
  dlg.InitValues();
  EXPECT_EQ(dlg.debugFileFound, 1u);
  EXPECT_FALSE(Visible(10198)) << "the refresh inside InitValues runs before the probe";
  dlg.Refresh();
  EXPECT_TRUE(Visible(10198));
  fs::remove(marker);
  fs::create_directory(marker);
  dlg.InitValues();
  EXPECT_EQ(dlg.debugFileFound, 0u) << "a folder named debug.txt is not the marker";
  fs::remove(marker);
}

TEST_F(UVtoolsTest, DispatchReachesEveryTool) {
  Choose(10071, 10072);
  dlg.stitchEnabled = 1;
  g_calls.clear();
  Dispatch({{10019, "CopyShapeClear"}, {10032, "SelectByArea"}, {10138, "MeasureArea"}});
  Choose(10071, 10073);
  Dispatch({{10093, "CapturePointCenter"},
            {10103, "CaptureStitchPoints"},
            {10108, "StitchSelectedEdges"},
            {10109, "QuickGrid"},
            {10122, "LoopSelectPolygons"},
            {10160, "ConnectUVPolygons"},
            {10161, "ProjectOnLine 1"},
            {10174, "SetUVW"},
            {10224, "ReadSelectedPointsCenter"},
            {10100, "AlignPoints 2 0 0 0"},
            {10116, "SaveUVlistAscii"},
            {10117, "SaveUVlistBinary"},
            {10118, "LoadUVlist"},
            {10119, "ExportUVlistEps 1024 1024"},
            {10162, "ProjectOnLine 2"}});
  Tick(10099, true);
  Click(10102);
  EXPECT_EQ(g_calls.back(), "AlignPoints 4 1 0 0");
  Click(10106);
  EXPECT_EQ(g_calls.back(), "StitchPoints 4 0");
  Choose(10226, IDC_SET_OR_MOVE_MOVE);
  Click(10178);
  EXPECT_EQ(g_calls.back(), "MoveIslandsTo 0.5 0.5 0 1 1");
  Choose(10071, 10074);
  Dispatch({{10051, "RotateIslands 0 0"},
            {10053, "MeasureTwoPointAngle"},
            {10065, "ScaleIslands 1 1 1 1 0"},
            {10070, "CaptureSize"},
            {10212, "CreateUVmesh"}});
  Choose(10040, 10044);
  EXPECT_EQ(g_calls.back(), "ApplyAnglePreset");
  Choose(10071, 10072);
  Click(10125);
  EXPECT_EQ(g_calls.back(), "ShiftCorners 1");
  Click(10126);
  EXPECT_EQ(g_calls.back(), "ShiftCorners 2");

  g_calls.clear();
  BaseContainer msg;
  for (Int32 id : {10017, 10227, 10009, 10013, 0, -5, 1024239}) dlg.Command(id, msg);
  EXPECT_TRUE(g_calls.empty()) << "identifiers outside 10018 .. 10226 are ignored";
}

TEST_F(UVtoolsTest, CapturesAndRealAreaSetTheTransformKind) {
  Choose(10071, 10074);
  Tick(10220, true);
  g_answers["CaptureSize"] = {false};
  Click(10070);
  EXPECT_EQ(dlg.transformKind, -1) << "a failed capture changes nothing";
  Click(10070);
  EXPECT_EQ(dlg.transformKind, 1);
  Bool live = true;
  dlg.GetBool(10220, live);
  EXPECT_FALSE(live);
  EXPECT_FALSE(Enabled(10062));
  Click(10065);
  EXPECT_EQ(g_calls.back(), "FitIslandsToSize 0 0 0")
      << "a captured size turns scaling into fitting";
  Click(10066);
  EXPECT_EQ(dlg.transformKind, -1);
  EXPECT_TRUE(Enabled(10062));

  Choose(10071, 10072);
  Click(10191);
  EXPECT_EQ(g_calls.back(), "MeasureRealArea");
  EXPECT_EQ(dlg.transformKind, 2);
  EXPECT_TRUE(Enabled(10195));
  Click(10195);
  EXPECT_EQ(g_calls.back(), "ApplyRealAreaButton");
}

TEST_F(UVtoolsTest, LiveFormsRunOnFieldChanges) {
  Choose(10071, 10074);
  Tick(10220, true);
  Click(10065);
  EXPECT_EQ(g_calls.back(), "CaptureIslandSnapshot 1");
  g_calls.clear();
  Type(10062, "2");
  EXPECT_TRUE(g_calls.empty()) << "no live step without a snapshot";
  dlg.transformKind = 3;
  dlg.scaleRecord.resize(2);
  Type(10062, "2");
  EXPECT_EQ(g_calls.back(), "LiveScaleIslands 2 1 0 2");

  Tick(10221, true);
  Click(10051);
  EXPECT_EQ(g_calls.back(), "CaptureIslandSnapshot 2");
  dlg.angleReady = 1;
  dlg.rotateRecord.resize(3);
  Type(10050, "90");
  EXPECT_EQ(g_calls.back(), "LiveRotateIslands 1.5708 0 3");
}

TEST_F(UVtoolsTest, StepMachine) {
  Choose(10071, 10072);
  for (int press = 0; press < 4; ++press) Click(10018);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CopyShapePickPolygons 0", "CopyShapePickPoints 1",
                                               "CopyShapePickPolygons 2", "CopyShapePickPoints 3",
                                               "CopyShapeApply 3"}));
  EXPECT_EQ(dlg.copyShapeStep, 0u);
  EXPECT_TRUE(Enabled(10020));

  g_calls.clear();
  Click(10018);
  g_answers["CopyShapePickPoints"] = {false};
  Click(10018);
  EXPECT_EQ(dlg.copyShapeStep, 0u) << "a failed pick returns to step 0 at once";
  EXPECT_TRUE(Enabled(10020));
  EXPECT_FALSE(Enabled(10021));

  g_calls.clear();
  dlg.copyShapeStep = 3;
  g_answers["CopyShapePickPoints"] = {false};
  Click(10018);
  EXPECT_EQ(g_calls, std::vector<std::string>{"CopyShapePickPoints 3"})
      << "no apply after a failed pick";
  EXPECT_EQ(dlg.copyShapeStep, 0u);

  g_calls.clear();
  dlg.copyShapeStep = 4;
  Click(10018);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(dlg.copyShapeStep, 4u) << "step 4 does nothing";
}

TEST_F(UVtoolsTest, SymmetryPickAndReset) {
  g_answers["CopyShapePickPolygons"] = {false};
  Click(10139);
  EXPECT_EQ(g_calls.back(), "CopyShapePickPolygons 4") << "the pick runs at step 4";
  EXPECT_EQ(dlg.symmetryArmed, 0u);
  EXPECT_EQ(dlg.copyShapeStep, 0u);
  Click(10139);
  EXPECT_EQ(dlg.symmetryArmed, 1u);
  EXPECT_EQ(C(10139).title, "SetPoint 2 Symmetry");
  Click(10139);
  EXPECT_EQ(g_calls.back(), "SymmetryMirror");
  dlg.toolBuffers.polygons[4].resize(2);
  dlg.toolBuffers.points[4].resize(2);
  dlg.toolBuffers.polygons[0].resize(1);
  Click(10140);
  EXPECT_EQ(dlg.symmetryArmed, 0u);
  EXPECT_TRUE(dlg.toolBuffers.polygons[4].empty());
  EXPECT_TRUE(dlg.toolBuffers.points[4].empty());
  EXPECT_EQ(dlg.toolBuffers.polygons[0].size(), 1u) << "the copy-shape picks stay";
  EXPECT_EQ(C(10139).title, "Select UV Poly");
}

TEST_F(UVtoolsTest, LinkingTheScaleFactors) {
  Choose(10071, 10074);
  Tick(10056, true);
  dlg.SetFloat(10062, 2.0, 0.0, 10.0, 0.01);
  dlg.SetFloat(10063, 3.0, 0.0, 10.0, 0.01);
  Tick(10056, false);
  EXPECT_EQ(F(10062), 2.0) << "switching the link off changes no factor";
  EXPECT_EQ(F(10063), 3.0);
  Tick(10056, true);
  EXPECT_EQ(F(10062), 2.0) << "with U applied, both take U";
  EXPECT_EQ(F(10063), 2.0);

  Tick(10056, false);
  Type(10063, "3");
  Tick(10059, false);
  Tick(10056, true);
  EXPECT_EQ(F(10062), 3.0) << "U not applied: both take V";

  Tick(10056, false);
  Type(10062, "4");
  Type(10063, "1.5");
  Tick(10060, false);
  Tick(10056, true);
  EXPECT_EQ(F(10062), 4.0) << "neither applied: both take the larger";
  EXPECT_EQ(F(10063), 4.0);
  EXPECT_EQ(C(10063).max, 10.0);

  Type(10063, "5");
  EXPECT_EQ(F(10062), 5.0) << "while linked, a changed factor carries the other";
}

TEST_F(UVtoolsTest, ClosingReleasesPicksAndKeepsLayoutState) {
  dlg.toolBuffers.polygons[0].resize(3);
  dlg.toolBuffers.stitch.resize(2);
  dlg.scaleRecord.resize(1);
  dlg.rotateRecord.resize(1);
  dlg.angleReady = 1;
  Click(10089);
  dlg.epsSettings.height = 300;
  ASSERT_TRUE(hostrt::CloseWindow(host, dlg).ok);
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_TRUE(dlg.toolBuffers.Empty());
  EXPECT_TRUE(dlg.scaleRecord.empty());
  EXPECT_TRUE(dlg.rotateRecord.empty());
  EXPECT_EQ(dlg.angleReady, 0u);
  EXPECT_EQ(dlg.tabRow, nullptr);
  for (auto* bar : dlg.barControls) EXPECT_EQ(bar, nullptr);

  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 1024239, -1, -1, 380, 500, 0));
  model = dlg.GetModel();
  EXPECT_TRUE(dlg.toolBuffers.Empty()) << "reopening restores no picks";
  EXPECT_FALSE(Visible(10086)) << "collapsed groups stay collapsed";
  EXPECT_EQ(C(10120).title, "EPS Size W:1024px H:300px");
  EXPECT_NE(dlg.tabRow, nullptr);
}

TEST_F(UVtoolsTest, EpsSizeDialogSetsTheSize) {
  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, 10164, "2048").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, 10166, "512").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, 10168, "0.5").ok);
    EXPECT_TRUE(hostrt::Click(host, *modal, 10167).ok);
  };
  Click(10120);
  EXPECT_EQ(dlg.epsSettings.width, 2048);
  EXPECT_EQ(dlg.epsSettings.height, 512);
  EXPECT_EQ(dlg.epsSettings.lineWidth, 0.5);
  EXPECT_EQ(C(10120).title, "EPS Size W:2048px H:512px");

  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, 10164, "9").ok);
    EXPECT_TRUE(hostrt::CloseWindow(host, *modal).ok);
  };
  Click(10120);
  EXPECT_EQ(dlg.epsSettings.width, 2048) << "closing without accepting keeps the size";
}

TEST_F(UVtoolsTest, TimerAsksAboutTheReversal) {
  dlg.reverseData.resize(4);
  dlg.SetTimer(10);
  host.QueueAnswer(GEMB_R_YES);
  host.RunTimers();
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages().back().text, "UV Revers ?");
  EXPECT_EQ(g_calls.back(), "ConnectUVPolygonsReversed");
  EXPECT_EQ(dlg.GetTimer(), 0);
  EXPECT_TRUE(dlg.reverseData.empty());

  g_calls.clear();
  dlg.SetTimer(10);
  host.RunTimers();  // unanswered: no
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(dlg.GetTimer(), 0);
  host.RunTimers();
  EXPECT_EQ(host.Messages().size(), 2u) << "the timer stopped";
}

TEST_F(PluginHost, BitmapButtonWithoutIconStillDispatches) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_noicon_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy(fs::path(PELTERRA_PLUGIN_DIR) / "res", dir / "res", fs::copy_options::recursive);
  fs::remove(dir / "res" / "MoveLeftPoly.tif");
  SetPluginPath(Filename(dir.string()));
  UVtools dlg;
  std::vector<std::string> seen;
  g_calls.clear();
  InstallRecorders(dlg.tools);
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 1024239, -1, -1, 380, 500, 0));
  const DialogControl* c = dlg.GetModel()->Find(10125);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->image, nullptr);
  EXPECT_NE(dlg.GetModel()->Find(10126)->image, nullptr);
  auto r = hostrt::Click(host, dlg, 10125);
  EXPECT_TRUE(r.ok) << r.error;
  ASSERT_FALSE(g_calls.empty());
  EXPECT_EQ(g_calls.back(), "ShiftCorners 1");
  host.CloseAllWindows();
  fs::remove_all(dir);
}
