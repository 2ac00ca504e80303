// The UV tools dialog.
#pragma once

#include "c4d_gui.h"

class UVtools : public GeDialog {
 public:
  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Bool AskClose() override;
};
