#include "UVList.h"

#include "c4d_symbols.h"

// Not built yet: each answers false and changes nothing.
Bool SaveUVlistAscii() {
  return false;
}

Bool SaveUVlistBinary() {
  return false;
}

Bool LoadUVlist() {
  return false;
}

namespace {

void ListCommand(ToolDialog&, Int32 id) {
  switch (id) {
    case IDC_MENU_SAVE_ASCII:
      SaveUVlistAscii();
      break;
    case IDC_MENU_SAVE_BINARY:
      SaveUVlistBinary();
      break;
    case IDC_MENU_LOAD:
      LoadUVlist();
      break;
    default:
      break;
  }
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV lists",
    .controls = {IDC_MENU_SAVE_ASCII, IDC_MENU_SAVE_BINARY, IDC_MENU_LOAD},
    .command = ListCommand,
    .pending = {IDC_MENU_SAVE_ASCII, IDC_MENU_SAVE_BINARY, IDC_MENU_LOAD},
});

}  // namespace
