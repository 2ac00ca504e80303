// EPS export of the UV layout, and the modal dialog that asks for its size and line width.
#pragma once

#include "UVtoolsRegistry.h"
#include "c4d_file.h"
#include "c4d_gui.h"

// What the size dialog accepts: a page of 1 to 16384 points a side and a line width above 0 and
// at most 100.
constexpr Int32 kEpsMinSize = 1;
constexpr Int32 kEpsMaxSize = 16384;
constexpr Float kEpsMinLineWidth = 0.01;
constexpr Float kEpsMaxLineWidth = 100.0;

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
// The EPS lines before the first edge: comments, the dictionary, the line width and gsave.
String EpsHeader(const EpsSettings& eps);
// Writes the text's bytes into the open file; false when they could not be written.
Bool WriteTextToFile(const String& text, BaseFile* file);
// Draws every edge of the active object's polygons (of the selected ones, when there are) as
// EPS: u across the width, v from the top down the height. An edge with a corner that is not
// finite is left out. False when there is no polygon object with a UVW tag or the file could
// not be written.
Bool ExportUVlistEps(const EpsSettings& settings);
