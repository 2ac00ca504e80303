// The UV tools dialog: the main window, its state between tool presses, and its dispatch.
#pragma once

#include <array>
#include <vector>

#include "UVFunction.h"
#include "UVtoolsEntries.h"
#include "c4d_customgui.h"
#include "c4d_gui.h"

// Size and line width of the EPS export.
struct EpsSettings {
  Int32 width = 1024;
  Int32 height = 1024;
  Float lineWidth = 1.0;
};

// The modal dialog that asks for the EPS size.
class EPS_size : public GeModalDialog {
 public:
  void Bind(Int32* width, Int32* height, Float* lineWidth) {
    width_ = width;
    height_ = height;
    lineWidth_ = lineWidth;
  }
  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;

 private:
  Int32* width_ = nullptr;
  Int32* height_ = nullptr;
  Float* lineWidth_ = nullptr;
};

// The picks the dialog keeps between presses, released together.
struct ToolBuffers {
  // Picks of the copy-shape steps 0 to 3 and of the symmetry pick (step 4), by step.
  std::array<std::vector<CapturedPolygon>, 5> polygons;
  std::array<std::vector<Vector>, 5> points;
  std::vector<CapturedPointRecord> stitch;  // the stitch capture

  void Release();
  // The two buffers of the symmetry pick.
  void ReleaseSymmetry();
  bool Empty() const;
};

class UVtools : public GeDialog {
 public:
  UVtools();
  ~UVtools() override;

  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Bool AskClose() override;
  void Timer(const BaseContainer& msg) override;
  void DestroyWindow() override;

  // Recomputes visibility, enabling and labels from the state and the controls.
  void Refresh();
  // Frees the stored picks and both snapshots, and clears angleReady.
  void ReleaseBuffers();

  // Collapsible bars, in the order of the collapsed flags.
  enum Bar {
    kSelectArea,
    kCopyShape,
    kMovePointNumber,
    kSymmetry,
    kRealArea,
    kAlign,
    kStitchConnect,
    kLoopSelect,
    kScale,
    kRotate,
    kSetUVW,
    kBarCount
  };
  static Int32 BarId(Bar b);
  static Int32 BarGroup(Bar b);
  bool IsCollapsed(Bar b) const { return (collapsed >> b) & 1u; }

  // State kept between tool presses.
  QuickTabCustomGui* tabRow = nullptr;               // tab row 10071 while the window exists
  std::array<QuickTabCustomGui*, 12> barControls{};  // title bars while the window exists
  UInt32 collapsed = 0;                              // one bit per Bar; set hides the bar's group
  Vector pickCenter;                                 // align capture: centre
  UInt32 linerEnabled = 0, pickCount = 0;            // align capture: captured flag and count
  UInt32 stitchEnabled = 0, stitchCount = 0;         // stitch capture: captured flag and count
  Float measuredArea = 0.0;                          // UV area of the area tools
  Float capturedWidth = 0.0, capturedHeight = 0.0;   // size capture
  // Centres of the stored picks: copy-shape source and target, symmetry, size capture.
  std::array<Vector, 4> toolVectors{};
  ToolBuffers toolBuffers;
  Int32 transformKind = -1;             // -1 none, 1 size captured, 2 real area, 3 live scaling
  UInt32 copyShapeStep = 0;             // 0..3; 4 while the symmetry pick runs
  UInt32 symmetryArmed = 0;             // the symmetry source is picked
  std::array<Vector, 2> pickVectors{};  // align capture: line points A and B
  Matrix transformA, transformB;        // polygon connect: direct and reversed placement
  std::vector<Vector> reverseData;      // polygon connect: edge points for the reversal
  EpsSettings epsSettings;
  EPS_size epsDialog;
  std::vector<IslandSnapshotRecord> scaleRecord, rotateRecord;
  UInt32 angleReady = 0;      // live rotation armed; disables the other rotate controls
  UInt32 debugFileFound = 0;  // res/debug.txt exists: show the UV point listing
  UVtoolsEntries tools;       // the tools behind the controls

 private:
  void CopyShapeStep();
  void SymmetryPick();
  void LinkScaleFactors();
  void ScaleReset();
  void AngleReset();
  void OpenEpsSize();
  void AddBar(Int32 index, Int32 id, const String& title, Bool subgroup);
  void AddBitmapButton(Int32 id, const String& icon);
};

// Texts of the copy-shape hint (10025) by step.
extern const char* const kCopyShapeHints[4];
