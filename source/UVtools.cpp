#include "UVtools.h"

#include "UVtoolsEntries.h"
#include "c4d_file.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// Title bars, in the order of UVtools::barControls.
constexpr Int32 kBarIds[12] = {10076, 10089, 10077, 10090, 10079, 10123,
                               10094, 10095, 10110, 10111, 10124, 10080};

// Bar and group of each collapsed flag, in flag order.
constexpr Int32 kCollapseBars[UVtools::kBarCount] = {10079, 10089, 10124, 10090, 10193, 10094,
                                                     10095, 10123, 10110, 10111, 10080};
constexpr Int32 kCollapseGroups[UVtools::kBarCount] = {10115, 10086, 10127, 10114, 10194, 10096,
                                                       10097, 10121, 10112, 10113, 10175};

constexpr Float kAngleStep = PI / 1800.0;  // 0.1 degree

String EpsLabel(const EpsSettings& s) {
  return "EPS Size W:" + std::to_string(s.width) + "px H:" + std::to_string(s.height) + "px";
}

}  // namespace

const char* const kCopyShapeHints[4] = {"  Select UV Polygons ", "  Select UV Points   ",
                                        "  Select UV Polygons ", "  Select UV Points   "};

// --- EPS size dialog ---

Bool EPS_size::CreateLayout() {
  if (!GeModalDialog::CreateLayout()) return false;
  return LoadDialogResource(DLG_EPSSIZE, nullptr, 0);
}

Bool EPS_size::InitValues() {
  if (width_) SetInt32(IDC_EPS_WIDTH, *width_, LIMIT_MIN, LIMIT_MAX, 1);
  if (height_) SetInt32(IDC_EPS_HEIGHT, *height_, LIMIT_MIN, LIMIT_MAX, 1);
  if (lineWidth_) SetFloat(IDC_EPS_LINE, *lineWidth_, -1e18, 1e18, 1.0, FORMAT_FLOAT);
  return true;
}

Bool EPS_size::Command(Int32 id, const BaseContainer&) {
  if (id != IDC_EPS_OK) return true;
  if (width_) GetInt32(IDC_EPS_WIDTH, *width_);
  if (height_) GetInt32(IDC_EPS_HEIGHT, *height_);
  if (lineWidth_) GetFloat(IDC_EPS_LINE, *lineWidth_);
  Close(true);
  return true;
}

// --- stored picks ---

void ToolBuffers::Release() {
  for (auto& p : polygons) std::vector<CapturedPolygon>().swap(p);
  for (auto& p : points) std::vector<Vector>().swap(p);
  std::vector<CapturedPointRecord>().swap(stitch);
}

void ToolBuffers::ReleaseSymmetry() {
  std::vector<CapturedPolygon>().swap(polygons[4]);
  std::vector<Vector>().swap(points[4]);
}

bool ToolBuffers::Empty() const {
  for (const auto& p : polygons)
    if (!p.empty()) return false;
  for (const auto& p : points)
    if (!p.empty()) return false;
  return stitch.empty();
}

// --- dialog ---

UVtools::UVtools() = default;
UVtools::~UVtools() = default;

Int32 UVtools::BarId(Bar b) {
  return kCollapseBars[b];
}
Int32 UVtools::BarGroup(Bar b) {
  return kCollapseGroups[b];
}

void UVtools::AddBar(Int32 index, Int32 id, const String& title, Bool subgroup) {
  BaseContainer bc;
  bc.SetBool(QUICKTAB_BAR, true);
  bc.SetString(QUICKTAB_BARTITLE, title);
  bc.SetBool(QUICKTAB_BARSUBGROUP, subgroup);
  barControls[static_cast<size_t>(index)] = static_cast<QuickTabCustomGui*>(
      AddCustomGui(id, CUSTOMGUI_QUICKTAB, String(), BFH_SCALEFIT | BFV_TOP, 0, 0, bc));
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

  MenuFlushAll();
  MenuSubBegin("UV list");
  MenuSubBegin("Save");
  MenuAddString(10116, "ASCII");
  MenuAddString(10117, "Binary");
  MenuAddString(10119, "EPS");
  MenuSubEnd();
  MenuAddString(10118, "Load");
  MenuSubEnd();
  MenuFinished();

  GroupBeginInMenuLine();
  AddButton(10120, 0, 0, 0, EpsLabel(epsSettings));
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
        AddCustomGui(10071, CUSTOMGUI_QUICKTAB, String(), 63, 0, 0, bc));
    if (tabRow) {
      tabRow->AppendString(10072, "UV Function1", true);
      tabRow->AppendString(10073, "UV Function2", false);
      tabRow->AppendString(10074, "Scale&Rotate", false);
    }
  }
  GroupEnd();

  ScrollGroupBegin(0, 63, 796);
  GroupBegin(10087, 63, 1, 0, "ttt", 0);

  // Page 1: UV Function1.
  GroupBegin(10081, 57, 1, 0, String(), 0);
  AddBar(0, 10076, "UV Function1", false);
  AddBar(1, 10089, "Copy Shape", true);
  GroupBegin(10086, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  LoadDialogResource(DLG_COPYSHAPE, nullptr, 0);
  GroupEnd();
  AddBar(10, 10124, "Move UV PointNumber", true);
  GroupBegin(10127, 9, 2, 0, String(), 0);
  GroupBorderSpace(10, 5, 0, 5);
  GroupBegin(0, 1, 2, 0, String(), 0);
  GroupBorderSpace(80, 0, 0, 15);
  GroupSpace(70, 0);
  AddBitmapButton(10125, "MoveLeftPoly.tif");
  AddBitmapButton(10126, "MoveRightPoly.tif");
  GroupEnd();
  GroupEnd();
  AddBar(3, 10090, "UV Symmetry", true);
  GroupBegin(10114, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  AddCheckbox(10141, 0, 0, 0, "Keep Face Neighbors");
  GroupBegin(0, 1, 2, 0, String(), 0);
  GroupSpace(10, 10);
  AddButton(10139, 0, 0, 0, "Select UVpoly");
  AddButton(10140, 0, 0, 0, "Reset");
  GroupEnd();
  GroupEnd();
  AddBar(4, 10079, "Select Area", true);
  GroupBegin(10115, 57, 1, 0, String(), 0);
  GroupBorderSpace(20, 5, 0, 5);
  LoadDialogResource(DLG_SELECTAREA, nullptr, 0);
  GroupEnd();
  GroupEnd();

  // Page 2: UV Function2.
  GroupBegin(10082, 63, 1, 0, String(), 0);
  AddBar(2, 10077, "UV Function2", false);
  AddBar(5, 10123, "Loop Select Poly", true);
  GroupBegin(10121, 57, 0, 1, String(), 0);
  GroupBorderSpace(23, 5, 0, 5);
  GroupSpace(10, 10);
  AddButton(10122, 0, 150, 0, "Loop Select Poly");
  GroupEnd();
  AddBar(6, 10094, "Align", true);
  GroupBegin(10096, 57, 1, 0, String(), 0);
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBorderSpace(30, 5, 0, 5);
  GroupSpace(10, 10);
  GroupBegin(0, 9, 1, 0, String(), 0);
  AddButton(10093, 0, 150, 0, "Select UVpoints");
  GroupBegin(0, 7, 1, 0, String(), 0);
  GroupSpace(15, 5);
  AddCheckbox(10098, 0, 0, 0, "Distance fixation");
  AddCheckbox(10099, 0, 0, 0, "Grid");
  AddCheckbox(10159, 0, 0, 0, "UV Rate");
  GroupEnd();
  GroupEnd();
  AddSeparatorV(10);
  GroupBegin(0, 7, 1, 0, String(), 0);
  GroupSpace(15, 0);
  GroupBorderSpace(5, 0, 0, 0);
  GroupBegin(0, 0, 0, 1, String(), 0);
  GroupSpace(15, 0);
  GroupBorderSpace(0, 0, 0, 10);
  AddBitmapButton(10100, "BtnU.tif");
  AddBitmapButton(10101, "BtnV.tif");
  AddBitmapButton(10102, "BtnUV.tif");
  GroupEnd();
  GroupBegin(0, 0, 0, 1, String(), 0);
  GroupSpace(15, 0);
  AddBitmapButton(10161, "UVLiner_U.tif");
  AddBitmapButton(10162, "UVLiner_V.tif");
  GroupEnd();
  GroupEnd();
  GroupEnd();
  AddSeparatorH(0);
  GroupBegin(0, 15, 0, 1, String(), 0);
  AddCheckbox(10210, 0, 120, 0, "Square");
  AddCheckbox(10211, 0, 150, 0, "Size Fit");
  GroupEnd();
  AddButton(10109, 0, 150, 0, "Quick Grid");
  GroupEnd();
  AddBar(7, 10095, "Stichi&Connect", true);
  GroupBegin(10097, 57, 1, 0, String(), 0);
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBegin(0, 0, 0, 1, "ConnectEdge", 0);
  GroupBorder(BORDER_GROUP_IN);
  AddComboBox(10156, 0);
  AddChild(10156, 0, "Point");
  AddChild(10156, 1, "Polygon");
  AddBitmapButton(10108, "StichiEdgePoly.tif");
  GroupEnd();
  GroupBegin(0, 0, 0, 1, "ConnectPoly", 0);
  GroupBorder(BORDER_GROUP_IN);
  AddBitmapButton(10160, "ConnectUVPoly.tif");
  GroupEnd();
  GroupEnd();
  AddSeparatorH(0);
  GroupBegin(0, 9, 1, 0, String(), 0);
  AddButton(10103, 0, 150, 0, "Select UVpoints");
  GroupEnd();
  GroupBegin(0, 9, 0, 1, String(), 0);
  GroupBegin(0, 0, 1, 0, "Stichi PointSide", 0);
  GroupBorder(BORDER_GROUP_IN);
  GroupBegin(0, 0, 0, 1, String(), 0);
  AddBitmapButton(10104, "StichiU.tif");
  AddBitmapButton(10105, "StichiV.tif");
  GroupEnd();
  GroupEnd();
  AddSeparatorV(20);
  GroupBegin(0, 0, 1, 0, "Stichi PointCenter", 0);
  GroupBorder(BORDER_GROUP_IN);
  GroupBegin(0, 0, 0, 1, String(), 0);
  AddBitmapButton(10106, "StichiCenterU.tif");
  AddBitmapButton(10107, "StichiCenterV.tif");
  GroupEnd();
  GroupEnd();
  GroupEnd();
  GroupEnd();
  AddBar(11, 10080, "Set UVW", true);
  GroupBegin(10175, 63, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  LoadDialogResource(DLG_SETUVW, nullptr, 0);
  GroupEnd();
  GroupEnd();

  // Page 3: Scale&Rotate.
  GroupBegin(10083, 57, 1, 0, String(), 0);
  AddBar(8, 10110, "Scale", false);
  GroupBegin(10112, 63, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  LoadDialogResource(DLG_SCALE, nullptr, 0);
  GroupEnd();
  AddBar(9, 10111, "Rotate", true);
  GroupBegin(10113, 9, 1, 0, String(), 0);
  GroupBorderSpace(5, 0, 0, 0);
  AddCheckbox(10152, 0, 0, 0, "Keep Face Neighbors");
  GroupBegin(0, 9, 2, 0, String(), 0);
  AddComboBox(10216, 0, 40, 0);
  AddChild(10216, 10217, "U");
  AddChild(10216, 10218, "V");
  AddButton(10053, 0, 200, 0, "Angle between two points");
  GroupEnd();
  LoadDialogResource(DLG_ROTATE, nullptr, 0);
  GroupEnd();
  GroupBegin(10214, 57, 1, 0, String(), 0);
  AddSeparatorH(0, 56);
  AddButton(10212, 0, 150, 20, "Create UVmesh");
  GroupEnd();
  GroupEnd();

  GroupEnd();  // 10087
  GroupEnd();  // scroll group

  SetTitle("Pelterra");
  return true;
}

Bool UVtools::InitValues() {
  StopAllThreads();
  measuredArea = 0.0;
  SetInt32(IDC_CS_PAIRING, IDC_CS_PAIRING_CHAIN);
  SetFloat(IDC_SCALE_U, 1.0, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  SetFloat(IDC_SCALE_V, 1.0, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  SetFloat(IDC_SET_U, 1.0, 0.0, 1.0, 0.01, FORMAT_FLOAT);
  SetFloat(IDC_SET_V, 1.0, 0.0, 1.0, 0.01, FORMAT_FLOAT);
  SetBool(IDC_SET_U_ON, true);
  SetBool(IDC_SET_V_ON, true);
  SetFloat(IDC_AREA_VALUE, 0.0, 0.0, 1.0, 0.001, FORMAT_FLOAT);
  SetDegree(IDC_ANGLE, 0.0, -2.0 * PI, 2.0 * PI, kAngleStep);
  transformKind = -1;
  SetBool(IDC_SCALE_U_ON, true);
  SetBool(IDC_SCALE_V_ON, true);
  SetInt32(10156, 0);
  pickCenter = Vector();
  linerEnabled = 0;
  pickCount = 0;
  stitchEnabled = 0;
  SetBool(IDC_CS_NEIGHBORS, true);
  copyShapeStep = 0;
  symmetryArmed = 0;
  SetInt32(IDC_AREA_SCALE, IDC_AREA_SCALE_1);
  pickVectors = {};
  SetInt32(IDC_RA_UNIT, IDC_RA_UNIT_MM);
  SetInt32(IDC_RA_TEXTURE_SIZE, 512);
  SetInt32(IDC_RA_PIXELS_PER_UNIT, 128);
  SetFloat(IDC_RA_READOUT2, 0.0, 0.0, 10.0, 0.01, FORMAT_PERCENT);
  SetFloat(IDC_RA_READOUT1, 0.0, 0.0, 10.0, 0.01, FORMAT_PERCENT);
  SetInt32(IDC_ANGLE_AXIS, IDC_ANGLE_AXIS_U);
  SetPercent(IDC_MOVE_U, 0.5, 0.0, 100.0, 1.0);
  SetPercent(IDC_MOVE_V, 0.5, 0.0, 100.0, 1.0);
  SetInt32(IDC_SET_OR_MOVE, IDC_SET_OR_MOVE_SET);
  Refresh();
  // The refresh above ran before the probe: group 10198 follows it from the next refresh on.
  debugFileFound = GeFExist(GeGetPluginPath() + "res" + "debug.txt", false) ? 1 : 0;
  return true;
}

void UVtools::Refresh() {
  const Bool tab1 = tabRow && tabRow->IsSelected(10072);
  const Bool tab2 = tabRow && tabRow->IsSelected(10073);
  const Bool tab3 = tabRow && tabRow->IsSelected(10074);
  auto show = [this](Int32 id, Bool visible) { HideElement(id, !visible); };
  auto byFlag = [this, &show](Bar b) { show(BarGroup(b), !IsCollapsed(b)); };

  if (tab1) {
    for (Int32 id : {10076, 10079, 10089, 10124, 10090, 10193, 10114}) show(id, true);
    for (Bar b : {kSelectArea, kCopyShape, kMovePointNumber, kSymmetry, kRealArea}) byFlag(b);
    show(10080, false);
    show(10175, false);
  } else {
    for (Int32 id : {10076, 10124, 10079, 10089, 10115, 10086, 10127, 10114, 10090, 10193, 10194})
      show(id, false);
  }
  if (tab2) {
    for (Int32 id : {10077, 10094, 10095, 10123}) show(id, true);
    for (Bar b : {kAlign, kStitchConnect, kLoopSelect}) byFlag(b);
    show(10080, true);
    byFlag(kSetUVW);
  } else {
    for (Int32 id : {10077, 10094, 10095, 10123, 10096, 10097, 10121}) show(id, false);
  }
  if (tab3) {
    show(10110, true);
    show(10111, true);
    byFlag(kScale);
    byFlag(kRotate);
    show(10080, false);
    show(10175, false);
  } else {
    for (Int32 id : {10110, 10111, 10112, 10113}) show(id, false);
  }
  show(10214, tab3);

  for (Int32 id = 10104; id <= 10107; ++id) Enable(id, stitchEnabled != 0);
  const Bool scaleFields = transformKind < 0 || transformKind == 3;
  for (Int32 id : {10062, 10063, 10059, 10060}) Enable(id, scaleFields);
  Enable(10161, linerEnabled != 0);
  Enable(10162, linerEnabled != 0);

  if (copyShapeStep < 4) {
    for (UInt32 k = 0; k < 4; ++k) Enable(static_cast<Int32>(IDC_CS_STEP1 + k), k == copyShapeStep);
    SetString(IDC_CS_HINT, kCopyShapeHints[copyShapeStep]);
  }

  SetString(10139, symmetryArmed ? "SetPoint 2 Symmetry" : "Select UV Poly");

  Bool textureMode = false;
  GetBool(IDC_RA_TEXTURE_MODE, textureMode);
  for (Int32 id : {10200, 10199, 10197, 10196, 10202, 10207, 10208, 10209}) Enable(id, textureMode);

  Enable(10065, transformKind != 2 && transformKind != 3);
  for (Int32 id : {10070, 10191, 10220}) Enable(id, transformKind < 1);
  Enable(10195, textureMode || transformKind == 2);

  Int32 setOrMove = 0;
  GetInt32(IDC_SET_OR_MOVE, setOrMove);
  const Bool setMode = setOrMove == IDC_SET_OR_MOVE_SET;
  for (Int32 id : {10223, 10171, 10173}) show(id, setMode);
  for (Int32 id : {10225, 10176, 10177}) show(id, !setMode);

  Bool setU = false, setV = false;
  GetBool(IDC_SET_U_ON, setU);
  GetBool(IDC_SET_V_ON, setV);
  Enable(10171, setU);
  Enable(10176, setU);
  Enable(10173, setV);
  Enable(10177, setV);

  for (Int32 id : {10051, 10221, 10053, 10216}) Enable(id, angleReady == 0);
  show(IDC_LIST_GROUP, debugFileFound != 0);
  SetString(10120, EpsLabel(epsSettings));
  LayoutChanged(10120);
  LayoutChanged(10087);
}

void UVtools::ReleaseBuffers() {
  toolBuffers.Release();
  angleReady = 0;
  std::vector<IslandSnapshotRecord>().swap(scaleRecord);
  std::vector<IslandSnapshotRecord>().swap(rotateRecord);
}

void UVtools::CopyShapeStep() {
  Bool ok = false;
  switch (copyShapeStep) {
    case 0:
    case 2:
      ok = tools.CopyShapePickPolygons(*this);
      break;
    case 1:
      ok = tools.CopyShapePickPoints(*this);
      break;
    case 3:
      if (tools.CopyShapePickPoints(*this)) tools.CopyShapeApply(*this);
      copyShapeStep = 0;
      Refresh();
      return;
    default:
      return;  // the symmetry pick is running
  }
  copyShapeStep = ok ? copyShapeStep + 1 : 0;
  Refresh();
}

void UVtools::SymmetryPick() {
  if (symmetryArmed) {
    tools.SymmetryMirror(*this);
    return;
  }
  copyShapeStep = 4;
  const Bool ok = tools.CopyShapePickPolygons(*this);
  copyShapeStep = 0;
  if (ok) {
    symmetryArmed = 1;
    Refresh();
  }
}

void UVtools::LinkScaleFactors() {
  Bool link = false;
  GetBool(IDC_SCALE_LINK, link);
  if (!link) return;
  Bool uOn = false, vOn = false;
  Float u = 1.0, v = 1.0;
  GetBool(IDC_SCALE_U_ON, uOn);
  GetBool(IDC_SCALE_V_ON, vOn);
  GetFloat(IDC_SCALE_U, u);
  GetFloat(IDC_SCALE_V, v);
  const Float common = uOn ? u : vOn ? v : std::max(u, v);
  SetFloat(IDC_SCALE_U, common, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  SetFloat(IDC_SCALE_V, common, 0.0, 10.0, 0.01, FORMAT_FLOAT);
}

void UVtools::ScaleReset() {
  transformKind = -1;
  SetFloat(IDC_SCALE_U, 1.0, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  SetFloat(IDC_SCALE_V, 1.0, 0.0, 10.0, 0.01, FORMAT_FLOAT);
  std::vector<IslandSnapshotRecord>().swap(scaleRecord);
  Refresh();
}

void UVtools::AngleReset() {
  SetDegree(IDC_ANGLE, 0.0, -2.0 * PI, 2.0 * PI, kAngleStep);
  angleReady = 0;
  std::vector<IslandSnapshotRecord>().swap(rotateRecord);
  Refresh();
}

void UVtools::OpenEpsSize() {
  epsDialog.Bind(&epsSettings.width, &epsSettings.height, &epsSettings.lineWidth);
  epsDialog.Open(-1, -1, 0, 0, false);
  Refresh();
}

Bool UVtools::Command(Int32 id, const BaseContainer&) {
  if (id < 10018 || id > 10226) return true;
  auto getBool = [this](Int32 c) {
    Bool b = false;
    GetBool(c, b);
    return b;
  };
  auto getFloat = [this](Int32 c) {
    Float f = 0.0;
    GetFloat(c, f);
    return f;
  };

  switch (id) {
    case IDC_CS_STEP:
      CopyShapeStep();
      break;
    case IDC_CS_CLEAR:
      tools.CopyShapeClear(*this);
      break;
    case IDC_AREA_SELECT:
      tools.SelectByArea(*this);
      break;
    case IDC_ANGLE_PRESET:
      tools.ApplyAnglePreset(*this);
      break;
    case IDC_ANGLE:
      if (angleReady && !rotateRecord.empty())
        tools.LiveRotateIslands(getFloat(IDC_ANGLE), getBool(IDC_ROTATE_KEEP), rotateRecord);
      break;
    case IDC_ROTATE:
      if (getBool(IDC_LIVE_ROTATE)) {
        tools.CaptureIslandSnapshot(*this, 2);
        Refresh();
      } else {
        tools.RotateIslands(getFloat(IDC_ANGLE), getBool(IDC_ROTATE_KEEP));
      }
      break;
    case IDC_TWO_POINT_ANGLE:
      tools.MeasureTwoPointAngle(*this);
      break;
    case IDC_SCALE_LINK:
      LinkScaleFactors();
      break;
    case IDC_SCALE_U:
    case IDC_SCALE_V:
      // Linked factors follow the one that changed; then the live step.
      if (getBool(IDC_SCALE_LINK)) {
        const Int32 other = id == IDC_SCALE_U ? IDC_SCALE_V : IDC_SCALE_U;
        SetFloat(other, getFloat(id), 0.0, 10.0, 0.01, FORMAT_FLOAT);
      }
      if (transformKind == 3 && !scaleRecord.empty())
        tools.LiveScaleIslands(getFloat(IDC_SCALE_U), getFloat(IDC_SCALE_V),
                               getBool(IDC_SCALE_KEEP), scaleRecord);
      break;
    case IDC_SCALE: {
      const Bool keep = getBool(IDC_SCALE_KEEP);
      if (getBool(IDC_LIVE_SCALE)) {
        tools.CaptureIslandSnapshot(*this, 1);
        Refresh();
      } else if (transformKind == 1) {
        tools.FitIslandsToSize(capturedWidth, capturedHeight, keep);
      } else {
        tools.ScaleIslands(getFloat(IDC_SCALE_U), getFloat(IDC_SCALE_V), getBool(IDC_SCALE_U_ON),
                           getBool(IDC_SCALE_V_ON), keep);
      }
      break;
    }
    case IDC_SCALE_RESET:
      ScaleReset();
      break;
    case IDC_SIZE_CAPTURE:
      if (tools.CaptureSize(*this)) {
        transformKind = 1;
        SetBool(IDC_LIVE_SCALE, false);
        Refresh();
      }
      break;
    case 10071:
    case IDC_SET_U_ON:
    case IDC_SET_V_ON:
    case IDC_RA_TEXTURE_MODE:
    case IDC_SET_OR_MOVE:
      Refresh();
      break;
    case 10079:
    case 10080:
    case 10089:
    case 10090:
    case 10094:
    case 10095:
    case 10110:
    case 10111:
    case 10123:
    case 10124:
    case 10193:
      for (Int32 b = 0; b < kBarCount; ++b)
        if (kCollapseBars[b] == id) collapsed ^= 1u << b;
      Refresh();
      break;
    case 10093: {
      const Bool ok = tools.CapturePointCenter(*this);
      SetString(10093,
                ok && linerEnabled ? "Select:" + std::to_string(pickCount) : "Select UVpoints");
      Refresh();
      break;
    }
    case 10100:
    case 10101:
    case 10102:
      tools.AlignPoints(pickCenter, id - 10098, linerEnabled, getBool(10099), getBool(10098),
                        getBool(10159));
      linerEnabled = 0;
      pickCenter = Vector();
      SetString(10093, "Select UVpoints");
      Refresh();
      break;
    case 10103:
      tools.CaptureStitchPoints(*this);
      break;
    case 10104:
    case 10105:
    case 10106:
    case 10107:
      tools.StitchPoints(id - 10102, stitchCount, stitchEnabled, toolBuffers.stitch);
      Refresh();
      ReleaseBuffers();
      SetString(10103, "Select UVpoints");
      break;
    case 10108:
      tools.StitchSelectedEdges(*this);
      break;
    case 10109:
      tools.QuickGrid(*this);
      break;
    case 10116:
      tools.SaveUVlistAscii();
      break;
    case 10117:
      tools.SaveUVlistBinary();
      break;
    case 10118:
      tools.LoadUVlist();
      break;
    case 10119:
      tools.ExportUVlistEps(epsSettings);
      break;
    case 10120:
      OpenEpsSize();
      break;
    case 10122:
      tools.LoopSelectPolygons();
      break;
    case 10125:
    case 10126:
      tools.ShiftCorners(id - 10124);
      break;
    case IDC_AREA_MEASURE:
      tools.MeasureArea(*this);
      break;
    case 10139:
      SymmetryPick();
      break;
    case 10140:
      symmetryArmed = 0;
      toolBuffers.ReleaseSymmetry();
      Refresh();
      break;
    case 10160:
      tools.ConnectUVPolygons(*this);
      break;
    case 10161:
    case 10162:
      tools.ProjectOnLine(*this, id - 10160);
      break;
    case IDC_SET_UVW:
      tools.SetUVW(*this);
      break;
    case IDC_MOVE:
      tools.MoveIslandsTo(getFloat(IDC_MOVE_U), getFloat(IDC_MOVE_V), getBool(IDC_MOVE_KEEP),
                          getBool(IDC_SET_U_ON), getBool(IDC_SET_V_ON));
      break;
    case IDC_LIST:
      tools.ListUVPoints(*this);
      break;
    case IDC_RA_MEASURE:
      if (tools.MeasureRealArea(*this)) {
        transformKind = 2;
        SetBool(IDC_LIVE_SCALE, false);
        Refresh();
      }
      break;
    case IDC_RA_APPLY:
    case IDC_RA_APPLY_TEXTURE:
      tools.ApplyRealAreaButton(*this);
      break;
    case 10212:
      tools.CreateUVmesh();
      break;
    case IDC_ANGLE_RESET:
      AngleReset();
      break;
    case IDC_POINTS_CENTER:
      tools.ReadSelectedPointsCenter(*this);
      break;
    default:
      break;
  }
  return true;
}

Bool UVtools::AskClose() {
  ReleaseBuffers();
  return false;
}

void UVtools::Timer(const BaseContainer&) {
  if (QuestionDialog("UV Revers ?")) tools.ConnectUVPolygonsReversed(*this);
  SetTimer(0);
  std::vector<Vector>().swap(reverseData);
}

void UVtools::DestroyWindow() {
  tabRow = nullptr;
  barControls.fill(nullptr);
}

void CopyShapeClear(UVtools& dlg) {
  for (size_t slot = 0; slot < 4; ++slot) {
    std::vector<CapturedPolygon>().swap(dlg.toolBuffers.polygons[slot]);
    std::vector<Vector>().swap(dlg.toolBuffers.points[slot]);
  }
  dlg.copyShapeStep = 0;
  dlg.toolVectors[0] = Vector();
  dlg.toolVectors[1] = Vector();
  dlg.Refresh();
}
