// EPS export of the UV layout, and the modal dialog that asks for its size and line width.
#pragma once

#include "UVtoolsRegistry.h"
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

// The EPS size for the host run; the window's closing keeps it.
struct EpsState : ToolState {
  EpsSettings settings;
  EPS_size dialog;
};

// The label of the EPS size button: "EPS Size W:1024px H:1024px".
String EpsLabel(const EpsState& eps);
// Draws the UV layout of the active object as EPS at the given size.
Bool ExportUVlistEps(const EpsSettings& settings);
