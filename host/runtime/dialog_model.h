// The control tree of a dialog window, as the dialog's layout code built it. The text view
// and the user-action driver work on it; a graphical front end could draw the same tree.
#pragma once

#include <memory>
#include <vector>

#include "c4d_basebitmap.h"
#include "c4d_basecontainer.h"
#include "c4d_string.h"

class CustomGui;

namespace hostrt {

enum class ControlKind {
  Root,
  Group,
  ScrollGroup,
  MenuLineGroup,
  Separator,
  Button,
  Checkbox,
  ComboBox,
  RadioGroup,
  NumberField,  // integer or float field; its value kind says which
  Slider,
  StaticText,
  EditText,
  MultiLineText,
  QuickTab,      // custom GUI 1000495: a tab row or a collapsible title bar
  BitmapButton,  // custom GUI 1000479
};
const char* ControlKindName(ControlKind k);

enum class ValueKind { None, Bool, Int, Float, Percent, Degree, String };

struct DialogControl {
  Int32 id = 0;
  ControlKind kind = ControlKind::Group;
  Int32 flags = 0;
  Int32 columns = 0, rows = 0;
  String title;  // groups: title; buttons, checkboxes, static texts: label
  Int32 groupFlags = 0;
  Int32 borderStyle = 0;
  Int32 borderSpace[4] = {0, 0, 0, 0};  // left, top, right, bottom
  Int32 spaceX = 0, spaceY = 0;
  Int32 scrollFlags = 0;
  Int32 initW = 0, initH = 0;
  bool vertical = false;  // separators

  ValueKind valueKind = ValueKind::None;
  Int32 intValue = 0;  // bool, integer, combo and radio (the chosen entry)
  Float floatValue = 0.0;
  String text;  // string value
  Float min = 0.0, max = 0.0, step = 0.0;
  Int32 format = 0;  // float display format ('frea', 'fdgr', 'fpct')

  std::vector<std::pair<Int32, String>> entries;  // combo, radio and quick-tab entries
  std::vector<Int32> selectedTabs;                 // quick-tab: the selected entries

  Int32 customGuiId = 0;
  BaseContainer settings;              // custom GUI settings
  std::unique_ptr<BaseBitmap> image;   // bitmap button image; nullptr when it did not load
  String imageName;
  std::unique_ptr<CustomGui> gui;      // the plug-in's handle on a custom GUI

  bool enabled = true;
  bool hidden = false;

  DialogControl* parent = nullptr;
  std::vector<std::unique_ptr<DialogControl>> children;

  DialogControl();
  ~DialogControl();
  DialogControl* Add(std::unique_ptr<DialogControl> c);
  // Visible when neither it nor any group around it is hidden.
  bool IsVisible() const;
};

struct MenuItem {
  Int32 id = 0;  // 0 for a submenu
  String label;
  std::vector<MenuItem> children;
};

struct DialogModel {
  DialogControl root;
  std::vector<MenuItem> menu;      // the menu bar
  DialogControl* menuLine = nullptr;  // the group at the right end of the menu bar
  std::vector<DialogControl*> open;   // groups being filled, innermost last
  std::vector<size_t> menuPath;       // submenus being filled
  Int32 layoutChanges = 0;            // LayoutChanged notices received

  DialogModel();
  // Depth-first search by identifier (0 never matches); the first control created wins.
  DialogControl* Find(Int32 id);
  const DialogControl* Find(Int32 id) const;
  DialogControl* Current();
};

}  // namespace hostrt
