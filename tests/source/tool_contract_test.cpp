// What every tool of the UV tools dialog promises, checked from one table: a refusal changes
// nothing in the document, and a success gives exactly the changes, undo steps, update message
// and redraw that the tool stands for. Every registered tool must have a row.
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "UVtoolsState.h"
#include "c4d_symbols.h"
#include "temp_folder.h"
#include "main.h"
#include "runtime/registry.h"
#include "uv_scene.h"

namespace {

struct ContractTest;

// What the use of one control promises.
struct Contract {
  Int32 id;
  Int32 tab;         // the tab that shows it
  Int32 mode;        // the editing mode it works in; 0 for a control that touches only the dialog
  bool uvs = false;  // a success changes UVs
  bool selection = false;  // a success changes the polygon selection
  Int32 undoSteps = 0;     // undo steps a success adds
  bool update = false;     // a success tells the object its data changed
  bool event = false;      // a success asks for a redraw
  // The user's action on the control (a click unless given) and what comes before it.
  std::function<void(ContractTest&)> act = nullptr;
  std::function<void(ContractTest&)> arm = nullptr;
  Int32 modeAfter = 0;  // the editing mode a success leaves; 0: the mode stays
  bool anyMode = false;  // works in every editing mode: only the missing object refuses it
  Int32 objects = 0;     // objects a success adds
};

// What a user can see of the document.
struct DocState {
  std::vector<UVWStruct> uvs;
  std::vector<Int32> polygons, points;
  Int32 undo = 0;
  UInt32 dirty = 0;
  Int32 events = 0;
  Int32 mode = 0;
  Int32 objects = 0;
};

Int32 CountObjects(BaseObject* op) {
  Int32 n = 0;
  for (; op; op = op->GetNext()) n += 1 + CountObjects(op->GetDown());
  return n;
}

std::vector<Int32> Indices(const BaseSelect* sel, Int32 limit) {
  std::vector<Int32> out;
  for (Int32 i = 0; i < limit; ++i)
    if (sel->IsSelected(i)) out.push_back(i);
  return out;
}

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

struct ContractTest : UVScene {
  TempFolder tmp;  // files the file tools write and read
  void AnswerFile(const char* name) { host.QueueFile(tmp.Path(name)); }
  // A dialog as the host run starts it, on two quads that share an edge and a small one apart;
  // the first two selected, and two distinct UV points of the first quad.
  void Build(Int32 mode) {
    // A file answer that a refusing tool left unused must not reach the next tool.
    while (host.PendingFiles() > 0) {
      Filename unused;
      host.FileSelect(unused, FILESELECTTYPE_ANYTHING, FILESELECT_LOAD, "", "");
    }
    host.CloseAllWindows();
    dlg.State<TransformState>() = TransformState();
    dlg.State<AlignCapture>() = AlignCapture();
    dlg.State<StitchCapture>() = StitchCapture();
    dlg.State<CopyShapeState>() = CopyShapeState();
    dlg.State<SymmetryState>() = SymmetryState();
    ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, ID_UVCOMMAND, -1, -1, 380, 500, 0));
    Scene({Quad(0.1, 0.1, 0.2), Quad(0.3, 0.1, 0.2), Quad(0.7, 0.7, 0.05)}, mode, 2);
    Points({0, 2});
  }
  DocState Now() {
    DocState s;
    s.uvs = All();
    s.polygons = Indices(op->GetPolygonS(), 3);
    s.points = Indices(hostrt::UVPointSelection(op), 12);
    s.undo = doc->GetUndoCount();
    s.dirty = op->GetDirty(DIRTYFLAGS_DATA);
    s.events = host.EventCount();
    s.mode = doc->GetMode();
    s.objects = CountObjects(doc->GetFirstObject());
    return s;
  }
  void Run(const Contract& c) {
    if (c.act)
      c.act(*this);
    else
      Click(c.id);
  }
};

void TypeTwo(ContractTest& t) {
  t.Type(IDC_SCALE_U, "2");
}
void ArmLiveScale(ContractTest& t) {
  t.Tick(IDC_LIVE_SCALE, true);
  t.Click(IDC_SCALE);
}
// A list that moves each quad's corners by 0.25 in u, and its answer for the load.
void ArmUVList(ContractTest& t) {
  std::ofstream f(t.tmp.Path("in.uva"), std::ios::binary);
  f << "UV_x\n";
  for (Int32 i = 0; i < 3; ++i)
    for (Int32 k = 0; k < 4; ++k) {
      const Vector p = t.UV(i)[k];
      f << i << ' ' << p.x + 0.25 << ' ' << p.y << " 0\n";
    }
}
void ShowListing(ContractTest& t) {
  t.dlg.debugFileFound = 1;
  t.dlg.Refresh();
}
void ArmLiveRotate(ContractTest& t) {
  t.Tick(IDC_LIVE_ROTATE, true);
  t.Click(IDC_ROTATE);
}
// The line through the two selected points, then the other two corners of the first quad.
void ArmLine(ContractTest& t) {
  t.Click(IDC_ALIGN_CAPTURE);
  t.Points({1, 3});
}
// The two selected points as the stitch row, then two points of the second quad.
void ArmStitch(ContractTest& t) {
  t.Click(IDC_STITCH_CAPTURE);
  t.Points({4, 6});
}
// Each quad a unit square in 3D on points of its own (a part of its own), in centimetres.
void GiveRealSize(ContractTest& t) {
  for (Int32 i = 0; i < t.op->GetPointCount(); ++i)
    t.op->GetPointW()[i] = Vector((i % 4 == 1 || i % 4 == 2) ? 1 : 0, i % 4 >= 2 ? 1 : 0, i / 4);
}

// Copy Shape's first three presses: polygon 0 with its edge (0.3, 0.1) - (0.3, 0.3), then
// polygon 2 with its edge (0.75, 0.7) - (0.75, 0.75). The fourth press copies.
void ArmCopyShape(ContractTest& t) {
  t.doc->SetMode(Muvpolygons);
  t.op->GetPolygonS()->DeselectAll();
  t.op->GetPolygonS()->Select(0);
  t.Click(IDC_CS_STEP);
  t.Points({1, 2});
  t.Click(IDC_CS_STEP);
  t.op->GetPolygonS()->DeselectAll();
  t.op->GetPolygonS()->Select(2);
  t.Click(IDC_CS_STEP);
  t.Points({9, 10});
}
// The symmetry's first click on polygon 0, then the line u = 0.3; polygon 1 across it is torn,
// so that the second click changes it.
void ArmSymmetry(ContractTest& t) {
  t.tag->SetSlow(1, UVWStruct(V(0.3, 0.1), V(0.6, 0.05), V(0.5, 0.35), V(0.3, 0.3)));
  t.doc->SetMode(Muvpolygons);
  t.op->GetPolygonS()->DeselectAll();
  t.op->GetPolygonS()->Select(0);
  t.Click(IDC_SYMMETRY_PICK);
  t.Points({1, 2});
}

// Polygon 1 shares polygon 0's side b-c (points 1 and 2) with its own a and d; its a is torn off
// polygon 0's b, and that side is the selected edge.
void ArmEdgeStitch(ContractTest& t) {
  t.op->GetPolygonW()[1] = CPolygon(1, 5, 6, 2);
  t.tag->SetSlow(1, UVWStruct(V(0.35, 0.12), V(0.5, 0.1), V(0.5, 0.3), V(0.3, 0.3)));
  t.op->GetEdgeS()->Select(1);
}
// The edge to join: two points of the selected quad 0; the target: two of the unselected quad 2.
void ArmConnect(ContractTest& t) {
  t.Points({0, 1, 8, 9});
}

const std::vector<Contract>& Contracts() {
  static const std::vector<Contract> rows = {
      // Island tools: a change of the UVs, one undo step (the write-back), told and redrawn.
      {IDC_SCALE, IDC_TAB_SCALE_ROTATE, Muvpolygons, true, false, 1, true, true, nullptr, TypeTwo},
      {IDC_ROTATE, IDC_TAB_SCALE_ROTATE, Muvpolygons, true, false, 1, true, true, nullptr,
       [](ContractTest& t) { t.Type(IDC_ANGLE, "30"); }},
      {IDC_MOVE, IDC_TAB_FUNCTION2, Muvpolygons, true, false, 1, true, true, nullptr,
       [](ContractTest& t) { t.Choose(IDC_SET_OR_MOVE, IDC_SET_OR_MOVE_MOVE); }},
      // Live forms: each field change transforms again from the snapshot, one step each.
      {IDC_SCALE_U, IDC_TAB_SCALE_ROTATE, Muvpolygons, true, false, 1, true, true, TypeTwo,
       ArmLiveScale},
      {IDC_SCALE_V, IDC_TAB_SCALE_ROTATE, Muvpolygons, true, false, 1, true, true,
       [](ContractTest& t) { t.Type(IDC_SCALE_V, "0.5"); }, ArmLiveScale},
      {IDC_ANGLE, IDC_TAB_SCALE_ROTATE, Muvpolygons, true, false, 1, true, true,
       [](ContractTest& t) { t.Type(IDC_ANGLE, "45"); }, ArmLiveRotate},
      // Readouts write dialog fields only.
      {IDC_TWO_POINT_ANGLE, IDC_TAB_SCALE_ROTATE, Muvpoints},
      {IDC_POINTS_CENTER, IDC_TAB_FUNCTION2, Muvpoints},
      {IDC_SIZE_CAPTURE, IDC_TAB_SCALE_ROTATE, Muvpolygons},
      // Area tools.
      {IDC_AREA_MEASURE, IDC_TAB_FUNCTION1, Muvpolygons, false, false, 0, true, true},
      {IDC_AREA_SELECT, IDC_TAB_FUNCTION1, Muvpolygons, false, true, 0, true, true, nullptr,
       [](ContractTest& t) { t.Type(IDC_AREA_VALUE, "0.01"); }},
      {IDC_SET_UVW, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr,
       [](ContractTest& t) { t.Type(IDC_SET_U, "0.9"); }},
      // Align, line projection, corner shift and stitch: one undo step each.
      {IDC_ALIGN_U, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true},
      {IDC_ALIGN_V, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true},
      {IDC_ALIGN_UV, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true},
      {IDC_PROJECT_U, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr, ArmLine},
      {IDC_PROJECT_V, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr, ArmLine},
      {IDC_MOVE_POINT_LEFT, IDC_TAB_FUNCTION1, Muvpolygons, true, false, 1, true, true},
      {IDC_MOVE_POINT_RIGHT, IDC_TAB_FUNCTION1, Muvpolygons, true, false, 1, true, true},
      {IDC_STITCH_U, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr, ArmStitch},
      {IDC_STITCH_V, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr, ArmStitch},
      {IDC_STITCH_CENTER_U, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr,
       ArmStitch},
      {IDC_STITCH_CENTER_V, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr,
       ArmStitch},
      // Captures keep their points in the dialog.
      {IDC_ALIGN_CAPTURE, IDC_TAB_FUNCTION2, Muvpoints},
      {IDC_STITCH_CAPTURE, IDC_TAB_FUNCTION2, Muvpoints},
      // Real area: one undo step; the measure only sets the dialog's state and redraws.
      {IDC_RA_APPLY, IDC_TAB_FUNCTION1, Muvpolygons, true, false, 1, true, true, nullptr,
       GiveRealSize},
      {IDC_RA_APPLY_TEXTURE, IDC_TAB_FUNCTION1, Muvpolygons, true, false, 1, true, true, nullptr,
       [](ContractTest& t) {
         GiveRealSize(t);
         t.Tick(IDC_RA_TEXTURE_MODE, true);
       }},
      {IDC_RA_MEASURE, IDC_TAB_FUNCTION1, Muvpolygons, false, false, 0, false, true},
      // Loop select: the selection and the switch to UV polygons, without an undo step.
      {IDC_LOOP_SELECT, IDC_TAB_FUNCTION2, Muvpoints, false, true, 0, true, true, nullptr,
       [](ContractTest& t) {
         t.Points({0, 1});
       },
       Muvpolygons},
      // Quick Grid: one undo step. Polygon 1's rail edge is 3 long in 3D, so the grid moves it.
      {IDC_QUICK_GRID, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr,
       [](ContractTest& t) {
         GiveRealSize(t);
         t.op->GetPointW()[5].x = 3;
         t.Points({0, 1});
       }},
      // Controls of the dialog alone.
      {IDC_ANGLE_PRESET, IDC_TAB_SCALE_ROTATE, 0, false, false, 0, false, false,
       [](ContractTest& t) { t.Choose(IDC_ANGLE_PRESET, IDC_ANGLE_90); }},
      {IDC_SCALE_LINK, IDC_TAB_SCALE_ROTATE, 0, false, false, 0, false, false,
       [](ContractTest& t) { t.Tick(IDC_SCALE_LINK, true); }},
      {IDC_SCALE_RESET, IDC_TAB_SCALE_ROTATE, 0},
      {IDC_ANGLE_RESET, IDC_TAB_SCALE_ROTATE, 0},
      {IDC_EPS_SIZE, IDC_TAB_FUNCTION1, 0},
      // Files: the saves and the export change nothing; the load is one undo step.
      {IDC_MENU_SAVE_ASCII, IDC_TAB_FUNCTION1, Muvpolygons, false, false, 0, false, false,
       [](ContractTest& t) {
         t.AnswerFile("out.uva");
         t.Click(IDC_MENU_SAVE_ASCII);
       },
       nullptr, 0, true},
      {IDC_MENU_SAVE_BINARY, IDC_TAB_FUNCTION1, Muvpolygons, false, false, 0, false, false,
       [](ContractTest& t) {
         t.AnswerFile("out.uvb");
         t.Click(IDC_MENU_SAVE_BINARY);
       },
       nullptr, 0, true},
      {IDC_MENU_LOAD, IDC_TAB_FUNCTION1, Muvpolygons, true, false, 1, true, true,
       [](ContractTest& t) {
         t.AnswerFile("in.uva");
         t.Click(IDC_MENU_LOAD);
       },
       ArmUVList, 0, true},
      {IDC_MENU_SAVE_EPS, IDC_TAB_FUNCTION1, Muvpolygons, false, false, 0, false, false,
       [](ContractTest& t) {
         t.AnswerFile("out.eps");
         t.Click(IDC_MENU_SAVE_EPS);
       },
       nullptr, 0, true},
      // The listing writes its text field and redraws.
      {IDC_LIST, IDC_TAB_FUNCTION2, Muvpoints, false, false, 0, false, true, nullptr, ShowListing},
      // Copy Shape and UV Symmetry: the last press writes the UVs as one undo step and leaves
      // UV polygon mode.
      {IDC_CS_STEP, IDC_TAB_FUNCTION1, Muvpoints, true, false, 1, true, true, nullptr,
       ArmCopyShape, Muvpolygons},
      {IDC_SYMMETRY_PICK, IDC_TAB_FUNCTION1, Muvpoints, true, false, 1, true, true, nullptr,
       ArmSymmetry, Muvpolygons},
      // Edge stitch and polygon connect: one undo step; the connect's question is answered no.
      {IDC_EDGE_STITCH, IDC_TAB_FUNCTION2, Medges, true, false, 1, true, true, nullptr,
       ArmEdgeStitch},
      {IDC_CONNECT, IDC_TAB_FUNCTION2, Muvpoints, true, false, 1, true, true, nullptr, ArmConnect},
      {IDC_CS_CLEAR, IDC_TAB_FUNCTION1, 0},
      {IDC_SYMMETRY_RESET, IDC_TAB_FUNCTION1, 0},
      // Create UVmesh: a new object with its tag and plane in one undo step; the source stays.
      {IDC_CREATE_UVMESH, IDC_TAB_SCALE_ROTATE, Muvpolygons, false, false, 1, false, true, nullptr,
       [](ContractTest& t) {
         if (!hostrt::Registry::Get().Find(ID_TRANSFERTAG)) {
           ASSERT_TRUE(RegisterTransferTAG());
         }
         t.tag->SetBit(BIT_ACTIVE);
       },
       0, true, 2},
  };
  return rows;
}

}  // namespace

TEST_F(ContractTest, EveryBuiltToolHasAContract) {
  std::set<Int32> rows;
  for (const Contract& c : Contracts()) EXPECT_TRUE(rows.insert(c.id).second) << c.id;
  for (const ToolGroupEntry& g : ToolRegistry::Get().Groups()) {
    for (Int32 id : g.controls) {
      if (ToolRegistry::Get().IsPending(id)) continue;
      EXPECT_TRUE(rows.count(id)) << g.name << ": control " << id << " has no contract";
    }
  }
}

TEST_F(ContractTest, SuccessGivesWhatTheToolPromises) {
  for (const Contract& c : Contracts()) {
    SCOPED_TRACE("control " + std::to_string(c.id));
    Build(c.mode ? c.mode : Muvpolygons);
    Choose(IDC_TABS, c.tab);
    if (c.arm) c.arm(*this);
    const DocState before = Now();
    Run(c);
    const DocState after = Now();
    EXPECT_EQ(!SameBits(after.uvs, before.uvs), c.uvs);
    EXPECT_EQ(after.polygons != before.polygons, c.selection);
    EXPECT_EQ(after.points, before.points);
    EXPECT_EQ(after.undo - before.undo, c.undoSteps);
    EXPECT_EQ(after.dirty != before.dirty, c.update);
    EXPECT_EQ(after.events != before.events, c.event);
    EXPECT_EQ(after.mode, c.modeAfter ? c.modeAfter : before.mode);
    EXPECT_EQ(after.objects - before.objects, c.objects);
  }
}

// In the other UV mode, and without an active object, a tool refuses and the document, its
// undo list, its update count and the redraw count stay as they were.
TEST_F(ContractTest, RefusalChangesNothing) {
  for (const Contract& c : Contracts()) {
    for (int context = c.anyMode ? 1 : 0; context < 2; ++context) {
      SCOPED_TRACE("control " + std::to_string(c.id) + (context ? ", no object" : ", wrong mode"));
      Build(c.mode ? c.mode : Muvpolygons);
      Choose(IDC_TABS, c.tab);
      if (c.arm) c.arm(*this);
      if (context == 0) doc->SetMode(c.mode == Muvpoints ? Muvpolygons : Muvpoints);
      if (context == 1) doc->SetActiveObject(nullptr);
      const DocState before = Now();
      Run(c);
      const DocState after = Now();
      EXPECT_TRUE(SameBits(after.uvs, before.uvs));
      EXPECT_EQ(after.polygons, before.polygons);
      EXPECT_EQ(after.points, before.points);
      EXPECT_EQ(after.undo, before.undo);
      EXPECT_EQ(after.dirty, before.dirty);
      EXPECT_EQ(after.events, before.events);
      EXPECT_EQ(after.mode, before.mode);
      EXPECT_EQ(after.objects, before.objects);
    }
  }
}

// A control whose tool is not built yet does nothing at all.
TEST_F(ContractTest, PendingToolsChangeNothing) {
  for (const ToolGroupEntry& g : ToolRegistry::Get().Groups()) {
    for (Int32 id : g.pending) {
      SCOPED_TRACE(std::string(g.name) + ": control " + std::to_string(id));
      for (Int32 mode : {Muvpolygons, Muvpoints}) {
        Build(mode);
        const DocState before = Now();
        dlg.Command(id, BaseContainer());
        const DocState after = Now();
        EXPECT_TRUE(SameBits(after.uvs, before.uvs));
        EXPECT_EQ(after.polygons, before.polygons);
        EXPECT_EQ(after.undo + after.events, before.undo + before.events);
        EXPECT_EQ(after.dirty, before.dirty);
      }
    }
  }
}
