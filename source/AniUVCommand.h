// The UV morph dialog, which records morph keys.
#pragma once

#include "c4d_gui.h"

class AniUVTOOL : public GeDialog {
 public:
  Bool CreateLayout() override;
  // The frame field starts at the current frame, the choice at the current time.
  Bool InitValues() override;
  // The choice updates the enabling, Record records a key (its answer is the recording's),
  // Close closes the window.
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Bool AskClose() override { return false; }
  void DestroyWindow() override {}

 private:
  // The frame field and its label are enabled only when the key goes at a typed frame.
  void UpdateEnabling();
  // Records the UVs of the active polygon object as a key of its morph track.
  Bool RecordKey();
};
