#include "UVtools.h"

#include <algorithm>
#include <vector>

#include "UVEps.h"
#include "UVtoolsState.h"
#include "c4d_file.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// Bar and group of each collapsed flag, in flag order.
constexpr Int32 kCollapseBars[UVtools::kBarCount] = {
    IDC_BAR_SELECT_AREA, IDC_BAR_COPY_SHAPE,     IDC_BAR_MOVE_POINT_NUMBER, IDC_BAR_SYMMETRY,
    IDC_RA_BAR,          IDC_BAR_ALIGN,          IDC_BAR_STITCH_CONNECT,    IDC_BAR_LOOP_SELECT,
    IDC_BAR_SCALE,       IDC_BAR_ROTATE,         IDC_BAR_SET_UVW};
constexpr Int32 kCollapseGroups[UVtools::kBarCount] = {
    IDC_GROUP_SELECT_AREA, IDC_GROUP_COPY_SHAPE,     IDC_GROUP_MOVE_POINT_NUMBER,
    IDC_GROUP_SYMMETRY,    IDC_RA_GROUP,             IDC_GROUP_ALIGN,
    IDC_GROUP_STITCH_CONNECT, IDC_GROUP_LOOP_SELECT, IDC_GROUP_SCALE,
    IDC_GROUP_ROTATE,      IDC_GROUP_SET_UVW};

}  // namespace

UVtools::UVtools() {
  for (const ToolGroupEntry& g : ToolRegistry::Get().Groups()) {
    for (const auto& [type, make] : g.states) states_.Add(type, make);
    for (Int32 id : g.controls) commands_[id] = g.command;
  }
}

UVtools::~UVtools() = default;

void UVtools::AddBar(Int32 id, const String& title, Bool subgroup) {
  BaseContainer bc;
  bc.SetBool(QUICKTAB_BAR, true);
  bc.SetString(QUICKTAB_BARTITLE, title);
  bc.SetBool(QUICKTAB_BARSUBGROUP, subgroup);
  AddCustomGui(id, CUSTOMGUI_QUICKTAB, String(), BFH_SCALEFIT | BFV_TOP, 0, 0, bc);
}

void UVtools::AddBitmapButton(Int32 id, const String& icon) {
  BaseContainer bc;
  bc.SetInt32(BITMAPBUTTON_BORDER, 3);
  bc.SetBool(BITMAPBUTTON_BUTTON, true);
  bc.SetBool(BITMAPBUTTON_TOGGLE, false);
  bc.SetBool(BITMAPBUTTON_POPUP, false);
  bc.SetInt32(DESC_CUSTOMGUI, CUSTOMGUI_BITMAPBUTTON);
  auto* button = static_cast<BitmapButtonCustomGui*>(
      AddCustomGui(id, CUSTOMGUI_BITMAPBUTTON, String(), 0, 0, 0, bc));
  if (button) button->SetImage(GeGetPluginPath() + "res" + icon, true);
}

Bool UVtools::CreateLayout() {
  if (!GeDialog::CreateLayout()) return false;
  // A layout that does not build leaves the dialog unopened rather than half empty.
  bool layouts = true;

  MenuFlushAll();
  MenuSubBegin("UV list");
  MenuSubBegin("Save");
  MenuAddString(IDC_MENU_SAVE_ASCII, "ASCII");
  MenuAddString(IDC_MENU_SAVE_BINARY, "Binary");
  MenuAddString(IDC_MENU_SAVE_EPS, "EPS");
  MenuSubEnd();
  MenuAddString(IDC_MENU_LOAD, "Load");
  MenuSubEnd();
  MenuFinished();

  GroupBeginInMenuLine();
  AddButton(IDC_EPS_SIZE, 0, 0, 0, EpsLabel(State<EpsState>()));
  GroupEnd();

  GroupBegin(0, 25, 1, 0, "Pelterra", 0);
  {
    BaseContainer bc;
    bc.SetBool(QUICKTAB_BAR, false);
    bc.SetBool(QUICKTAB_SHOWSINGLE, true);
    bc.SetBool(QUICKTAB_SPRINGINGFOLDERS, true);
    bc.SetBool(QUICKTAB_LAYOUTCOLLAPSE, true);
    bc.SetBool(QUICKTAB_NOMULTISELECT, false);
    tabRow = static_cast<QuickTabCustomGui*>(
        AddCustomGui(IDC_TABS, CUSTOMGUI_QUICKTAB, String(), 63, 0, 0, bc));
    if (tabRow) {
      tabRow->AppendString(IDC_TAB_FUNCTION1, "UV Function1", true);
      tabRow->AppendString(IDC_TAB_FUNCTION2, "UV Function2", false);
      tabRow->AppendString(IDC_TAB_SCALE_ROTATE, "Scale&Rotate", false);
    }
  }
  GroupEnd();

  ScrollGroupBegin(0, 63, 796);
  GroupBegin(IDC_GROUP_PAGES, 63, 1, 0, "ttt", 0);

  // Page 1: UV Function1.
  GroupBegin(IDC_PAGE_FUNCTION1, 57, 1, 0, String(), 0);
  AddBar(IDC_BAR_FUNCTION1, "UV Function1", false);
  AddBar(IDC_BAR_COPY_SHAPE, "Copy Shape", true);
  GroupBegin(IDC_GROUP_COPY_SHAPE, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  layouts = LoadDialogResource(DLG_COPYSHAPE, nullptr, 0) && layouts;
  GroupEnd();
  AddBar(IDC_BAR_MOVE_POINT_NUMBER, "Move UV PointNumber", true);
  GroupBegin(IDC_GROUP_MOVE_POINT_NUMBER, 9, 2, 0, String(), 0);
  GroupBorderSpace(10, 5, 0, 5);
  GroupBegin(0, 1, 2, 0, String(), 0);
  GroupBorderSpace(80, 0, 0, 15);
  GroupSpace(70, 0);
  AddBitmapButton(IDC_MOVE_POINT_LEFT, "MoveLeftPoly.tif");
  AddBitmapButton(IDC_MOVE_POINT_RIGHT, "MoveRightPoly.tif");
  GroupEnd();
  GroupEnd();
  AddBar(IDC_BAR_SYMMETRY, "UV Symmetry", true);
  GroupBegin(IDC_GROUP_SYMMETRY, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  AddCheckbox(IDC_SYMMETRY_KEEP, 0, 0, 0, "Keep Face Neighbors");
  GroupBegin(0, 1, 2, 0, String(), 0);
  GroupSpace(10, 10);
  AddButton(IDC_SYMMETRY_PICK, 0, 0, 0, "Select UVpoly");
  AddButton(IDC_SYMMETRY_RESET, 0, 0, 0, "Reset");
  GroupEnd();
  GroupEnd();
  AddBar(IDC_BAR_SELECT_AREA, "Select Area", true);
  GroupBegin(IDC_GROUP_SELECT_AREA, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  layouts = LoadDialogResource(DLG_SELECTAREA, nullptr, 0) && layouts;
  GroupEnd();
  GroupEnd();

  // Page 2: UV Function2.
  GroupBegin(IDC_PAGE_FUNCTION2, 63, 1, 0, String(), 0);
  AddBar(IDC_BAR_FUNCTION2, "UV Function2", false);
  AddBar(IDC_BAR_LOOP_SELECT, "Loop Select Poly", true);
  GroupBegin(IDC_GROUP_LOOP_SELECT, 57, 0, 1, String(), 0);
  GroupBorderSpace(23, 5, 0, 5);
  GroupSpace(10, 10);
  AddButton(IDC_LOOP_SELECT, 0, 150, 0, "Loop Select Poly");
  GroupEnd();
  AddBar(IDC_BAR_ALIGN, "Align", true);
  GroupBegin(IDC_GROUP_ALIGN, 57, 1, 0, String(), 0);
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBorderSpace(30, 5, 0, 5);
  GroupSpace(10, 10);
  GroupBegin(0, 9, 1, 0, String(), 0);
  AddButton(IDC_ALIGN_CAPTURE, 0, 150, 0, "Select UVpoints");
  GroupBegin(0, 7, 1, 0, String(), 0);
  GroupSpace(15, 5);
  AddCheckbox(IDC_ALIGN_DISTANCE, 0, 0, 0, "Distance fixation");
  AddCheckbox(IDC_ALIGN_GRID, 0, 0, 0, "Grid");
  AddCheckbox(IDC_ALIGN_RATE, 0, 0, 0, "UV Rate");
  GroupEnd();
  GroupEnd();
  AddSeparatorV(10);
  GroupBegin(0, 7, 1, 0, String(), 0);
  GroupSpace(15, 0);
  GroupBorderSpace(5, 0, 0, 0);
  GroupBegin(0, 0, 0, 1, String(), 0);
  GroupSpace(15, 0);
  GroupBorderSpace(0, 0, 0, 10);
  AddBitmapButton(IDC_ALIGN_U, "BtnU.tif");
  AddBitmapButton(IDC_ALIGN_V, "BtnV.tif");
  AddBitmapButton(IDC_ALIGN_UV, "BtnUV.tif");
  GroupEnd();
  GroupBegin(0, 0, 0, 1, String(), 0);
  GroupSpace(15, 0);
  AddBitmapButton(IDC_PROJECT_U, "UVLiner_U.tif");
  AddBitmapButton(IDC_PROJECT_V, "UVLiner_V.tif");
  GroupEnd();
  GroupEnd();
  GroupEnd();
  AddSeparatorH(0);
  GroupBegin(0, 15, 0, 1, String(), 0);
  AddCheckbox(IDC_GRID_SQUARE, 0, 120, 0, "Square");
  AddCheckbox(IDC_GRID_SIZE_FIT, 0, 150, 0, "Size Fit");
  GroupEnd();
  AddButton(IDC_QUICK_GRID, 0, 150, 0, "Quick Grid");
  GroupEnd();
  AddBar(IDC_BAR_STITCH_CONNECT, "Stichi&Connect", true);
  GroupBegin(IDC_GROUP_STITCH_CONNECT, 57, 1, 0, String(), 0);
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBegin(0, 0, 0, 1, "ConnectEdge", 0);
  GroupBorder(BORDER_GROUP_IN);
  AddComboBox(IDC_EDGE_STITCH_MODE, 0);
  AddChild(IDC_EDGE_STITCH_MODE, 0, "Point");
  AddChild(IDC_EDGE_STITCH_MODE, 1, "Polygon");
  AddBitmapButton(IDC_EDGE_STITCH, "StichiEdgePoly.tif");
  GroupEnd();
  GroupBegin(0, 0, 0, 1, "ConnectPoly", 0);
  GroupBorder(BORDER_GROUP_IN);
  AddBitmapButton(IDC_CONNECT, "ConnectUVPoly.tif");
  GroupEnd();
  GroupEnd();
  AddSeparatorH(0);
  GroupBegin(0, 9, 1, 0, String(), 0);
  AddButton(IDC_STITCH_CAPTURE, 0, 150, 0, "Select UVpoints");
  GroupEnd();
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBegin(0, 0, 1, 0, "Stichi PointSide", 0);
  GroupBorder(BORDER_GROUP_IN);
  GroupBegin(0, 0, 0, 1, String(), 0);
  AddBitmapButton(IDC_STITCH_U, "StichiU.tif");
  AddBitmapButton(IDC_STITCH_V, "StichiV.tif");
  GroupEnd();
  GroupEnd();
  AddSeparatorV(20);
  GroupBegin(0, 0, 1, 0, "Stichi PointCenter", 0);
  GroupBorder(BORDER_GROUP_IN);
  GroupBegin(0, 0, 0, 1, String(), 0);
  AddBitmapButton(IDC_STITCH_CENTER_U, "StichiCenterU.tif");
  AddBitmapButton(IDC_STITCH_CENTER_V, "StichiCenterV.tif");
  GroupEnd();
  GroupEnd();
  GroupEnd();
  GroupEnd();
  AddBar(IDC_BAR_SET_UVW, "Set UVW", true);
  GroupBegin(IDC_GROUP_SET_UVW, 63, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  layouts = LoadDialogResource(DLG_SETUVW, nullptr, 0) && layouts;
  GroupEnd();
  GroupEnd();

  // Page 3: Scale&Rotate.
  GroupBegin(IDC_PAGE_SCALE_ROTATE, 57, 1, 0, String(), 0);
  AddBar(IDC_BAR_SCALE, "Scale", false);
  GroupBegin(IDC_GROUP_SCALE, 63, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  layouts = LoadDialogResource(DLG_SCALE, nullptr, 0) && layouts;
  GroupEnd();
  AddBar(IDC_BAR_ROTATE, "Rotate", true);
  GroupBegin(IDC_GROUP_ROTATE, 9, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  AddCheckbox(IDC_ROTATE_KEEP, 0, 0, 0, "Keep Face Neighbors");
  GroupBegin(0, 9, 2, 0, String(), 0);
  AddComboBox(IDC_ANGLE_AXIS, 0, 40, 0);
  AddChild(IDC_ANGLE_AXIS, IDC_ANGLE_AXIS_U, "U");
  AddChild(IDC_ANGLE_AXIS, IDC_ANGLE_AXIS_V, "V");
  AddButton(IDC_TWO_POINT_ANGLE, 0, 200, 0, "Angle between two points");
  GroupEnd();
  layouts = LoadDialogResource(DLG_ROTATE, nullptr, 0) && layouts;
  GroupEnd();
  GroupBegin(IDC_GROUP_UVMESH, 57, 1, 0, String(), 0);
  AddSeparatorH(0, 56);
  AddButton(IDC_CREATE_UVMESH, 0, 150, 20, "Create UVmesh");
  GroupEnd();
  GroupEnd();

  GroupEnd();  // pages
  GroupEnd();  // scroll group

  SetTitle("Pelterra");
  return layouts;
}

Bool UVtools::InitValues() {
  StopAllThreads();
  states_.ForEach([](ToolState& s) { s.InitValues(); });
  SetInt32(IDC_CS_PAIRING, IDC_CS_PAIRING_CHAIN);
  SetFloatField(*this, IDC_SCALE_U, kScaleFactorField, 1.0);
  SetFloatField(*this, IDC_SCALE_V, kScaleFactorField, 1.0);
  SetFloatField(*this, IDC_SET_U, kUnitValueField, 1.0);
  SetFloatField(*this, IDC_SET_V, kUnitValueField, 1.0);
  SetBool(IDC_SET_U_ON, true);
  SetBool(IDC_SET_V_ON, true);
  SetFloatField(*this, IDC_AREA_VALUE, kAreaValueField, 0.0);
  SetFloatField(*this, IDC_ANGLE, kAngleField, 0.0);
  SetBool(IDC_SCALE_U_ON, true);
  SetBool(IDC_SCALE_V_ON, true);
  SetInt32(IDC_EDGE_STITCH_MODE, 0);
  SetBool(IDC_CS_NEIGHBORS, true);
  SetInt32(IDC_AREA_SCALE, IDC_AREA_SCALE_1);
  SetInt32(IDC_RA_UNIT, IDC_RA_UNIT_MM);
  SetInt32(IDC_RA_TEXTURE_SIZE, 512);
  SetInt32(IDC_RA_PIXELS_PER_UNIT, 128);
  SetFloatField(*this, IDC_RA_READOUT2, kReadoutField, 0.0);
  SetFloatField(*this, IDC_RA_READOUT1, kReadoutField, 0.0);
  SetInt32(IDC_ANGLE_AXIS, IDC_ANGLE_AXIS_U);
  SetFloatField(*this, IDC_MOVE_U, kMoveTargetField, 0.5);
  SetFloatField(*this, IDC_MOVE_V, kMoveTargetField, 0.5);
  SetInt32(IDC_SET_OR_MOVE, IDC_SET_OR_MOVE_SET);
  Refresh();
  // The refresh above ran before the probe: the listing group follows it from the next refresh.
  debugFileFound = GeFExist(GeGetPluginPath() + "res" + "debug.txt", false) ? 1 : 0;
  return true;
}

void UVtools::Refresh() {
  const Bool tab1 = tabRow && tabRow->IsSelected(IDC_TAB_FUNCTION1);
  const Bool tab2 = tabRow && tabRow->IsSelected(IDC_TAB_FUNCTION2);
  const Bool tab3 = tabRow && tabRow->IsSelected(IDC_TAB_SCALE_ROTATE);
  auto show = [this](Int32 id, Bool visible) { HideElement(id, !visible); };
  auto byFlag = [this, &show](Bar b) { show(kCollapseGroups[b], !IsCollapsed(b)); };

  if (tab1) {
    for (Int32 id : {IDC_BAR_FUNCTION1, IDC_BAR_SELECT_AREA, IDC_BAR_COPY_SHAPE,
                     IDC_BAR_MOVE_POINT_NUMBER, IDC_BAR_SYMMETRY, IDC_RA_BAR, IDC_GROUP_SYMMETRY})
      show(id, true);
    for (Bar b : {kSelectArea, kCopyShape, kMovePointNumber, kSymmetry, kRealArea}) byFlag(b);
    show(IDC_BAR_SET_UVW, false);
    show(IDC_GROUP_SET_UVW, false);
  } else {
    for (Int32 id : {IDC_BAR_FUNCTION1, IDC_BAR_MOVE_POINT_NUMBER, IDC_BAR_SELECT_AREA,
                     IDC_BAR_COPY_SHAPE, IDC_GROUP_SELECT_AREA, IDC_GROUP_COPY_SHAPE,
                     IDC_GROUP_MOVE_POINT_NUMBER, IDC_GROUP_SYMMETRY, IDC_BAR_SYMMETRY,
                     IDC_RA_BAR, IDC_RA_GROUP})
      show(id, false);
  }
  if (tab2) {
    for (Int32 id : {IDC_BAR_FUNCTION2, IDC_BAR_ALIGN, IDC_BAR_STITCH_CONNECT, IDC_BAR_LOOP_SELECT})
      show(id, true);
    for (Bar b : {kAlign, kStitchConnect, kLoopSelect}) byFlag(b);
    show(IDC_BAR_SET_UVW, true);
    byFlag(kSetUVW);
  } else {
    for (Int32 id : {IDC_BAR_FUNCTION2, IDC_BAR_ALIGN, IDC_BAR_STITCH_CONNECT, IDC_BAR_LOOP_SELECT,
                     IDC_GROUP_ALIGN, IDC_GROUP_STITCH_CONNECT, IDC_GROUP_LOOP_SELECT})
      show(id, false);
  }
  if (tab3) {
    show(IDC_BAR_SCALE, true);
    show(IDC_BAR_ROTATE, true);
    byFlag(kScale);
    byFlag(kRotate);
    show(IDC_BAR_SET_UVW, false);
    show(IDC_GROUP_SET_UVW, false);
  } else {
    for (Int32 id : {IDC_BAR_SCALE, IDC_BAR_ROTATE, IDC_GROUP_SCALE, IDC_GROUP_ROTATE})
      show(id, false);
  }
  show(IDC_GROUP_UVMESH, tab3);

  // The texture mode of the real-area tools enables its own controls.
  Bool textureMode = false;
  GetBool(IDC_RA_TEXTURE_MODE, textureMode);
  for (Int32 id : {IDC_RA_READOUT2, IDC_RA_READOUT1, IDC_RA_TEXTURE_SIZE, IDC_RA_PIXELS_PER_UNIT,
                   IDC_RA_UNIT, IDC_RA_LABEL1, IDC_RA_LABEL2, IDC_RA_LABEL3})
    Enable(id, textureMode);

  // Set UVW and the move share their row: the radio picks which pair of fields shows.
  Int32 setOrMove = 0;
  GetInt32(IDC_SET_OR_MOVE, setOrMove);
  const Bool setMode = setOrMove == IDC_SET_OR_MOVE_SET;
  for (Int32 id : {IDC_SET_LABEL, IDC_SET_U, IDC_SET_V}) show(id, setMode);
  for (Int32 id : {IDC_MOVE_LABEL, IDC_MOVE_U, IDC_MOVE_V}) show(id, !setMode);
  Bool setU = false, setV = false;
  GetBool(IDC_SET_U_ON, setU);
  GetBool(IDC_SET_V_ON, setV);
  Enable(IDC_SET_U, setU);
  Enable(IDC_MOVE_U, setU);
  Enable(IDC_SET_V, setV);
  Enable(IDC_MOVE_V, setV);

  show(IDC_LIST_GROUP, debugFileFound != 0);

  // Each group's own rules, in the order of their steps.
  std::vector<const ToolGroupEntry*> rules;
  for (const ToolGroupEntry& g : ToolRegistry::Get().Groups())
    if (g.refresh) rules.push_back(&g);
  std::stable_sort(rules.begin(), rules.end(), [](const ToolGroupEntry* a, const ToolGroupEntry* b) {
    return a->refreshOrder < b->refreshOrder;
  });
  for (const ToolGroupEntry* g : rules) g->refresh(tools_, states_);

  LayoutChanged(IDC_EPS_SIZE);
  LayoutChanged(IDC_GROUP_PAGES);
}

void UVtools::ReleaseStoredPicks() {
  states_.ForEach([](ToolState& s) { s.Release(); });
}

Bool UVtools::LayoutCommand(Int32 id) {
  switch (id) {
    case IDC_TABS:
    case IDC_SET_U_ON:
    case IDC_SET_V_ON:
    case IDC_RA_TEXTURE_MODE:
    case IDC_SET_OR_MOVE:
      Refresh();
      return true;
    default:
      break;
  }
  for (Int32 b = 0; b < kBarCount; ++b) {
    if (kCollapseBars[b] != id) continue;
    collapsed ^= 1u << b;
    Refresh();
    return true;
  }
  return false;
}

Bool UVtools::Command(Int32 id, const BaseContainer&) {
  // The dialog's controls lie in this range; anything else is not the dialog's to answer.
  if (id < IDC_CS_STEP || id > IDC_SET_OR_MOVE) return true;
  if (LayoutCommand(id)) return true;
  auto it = commands_.find(id);
  if (it != commands_.end() && it->second) it->second(tools_, states_, id);
  return true;
}

Bool UVtools::AskClose() {
  ReleaseStoredPicks();
  return false;
}

void UVtools::Timer(const BaseContainer&) {
  for (const ToolGroupEntry& g : ToolRegistry::Get().Groups())
    if (g.timer) g.timer(tools_, states_);
}

Int32 UVtools::Message(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() != BFM_ASK_CONTROL_PENDING) return GeDialog::Message(msg, result);
  result.SetBool(BFM_CONTROL_PENDING, ToolRegistry::Get().IsPending(msg.GetInt32(BFM_ACTION_ID)));
  return 1;
}

void UVtools::DestroyWindow() {
  tabRow = nullptr;
}
