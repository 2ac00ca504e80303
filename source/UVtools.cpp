#include "UVtools.h"

Bool UVtools::CreateLayout() {
  if (!GeDialog::CreateLayout()) return false;
  SetTitle("Pelterra");
  return true;
}

Bool UVtools::InitValues() {
  return true;
}

Bool UVtools::Command(Int32 id, const BaseContainer& msg) {
  (void)id;
  (void)msg;
  return true;
}

Bool UVtools::AskClose() {
  return false;
}
