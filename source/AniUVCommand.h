// The UV morph dialog, which records morph keys.
#pragma once

#include "c4d_gui.h"

class AniUVTOOL : public GeDialog {
 public:
  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Bool AskClose() override { return false; }
};
