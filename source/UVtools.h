// The UV tools dialog: the main window, its layout, the collapsible groups and tabs, and the
// dispatch of its controls to the tool groups registered in UVtoolsRegistry.h.
#pragma once

#include <map>

#include "UVtoolsRegistry.h"
#include "c4d_customgui.h"
#include "c4d_gui.h"

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
  // Answers the host's question whether a control's tool is built yet.
  Int32 Message(const BaseContainer& msg, BaseContainer& result) override;

  // Recomputes visibility, enabling and labels from the state and the controls.
  void Refresh();
  // Frees the picks every group stores, both live snapshots, and disarms the live rotation.
  void ReleaseStoredPicks();

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
  bool IsCollapsed(Bar b) const { return (collapsed >> b) & 1u; }

  // The state a tool group keeps here.
  template <typename T>
  T& State() {
    return states_.Get<T>();
  }
  // The dialog as the tools see it.
  ToolDialog& Tools() { return tools_; }
  // Replaces what the use of control id does; tests put recorders there.
  void SetCommand(Int32 id, ToolCommand command) { commands_[id] = std::move(command); }

  QuickTabCustomGui* tabRow = nullptr;  // tab row while the window exists
  UInt32 collapsed = 0;                 // one bit per Bar; set hides the bar's group
  UInt32 debugFileFound = 0;            // res/debug.txt exists: show the UV point listing

 private:
  Bool LayoutCommand(Int32 id);
  void AddBar(Int32 id, const String& title, Bool subgroup);
  void AddBitmapButton(Int32 id, const String& icon);

  ToolStates states_;
  std::map<Int32, ToolCommand> commands_;
  ToolDialog tools_{*this};
};
