// Custom GUIs of the dialog toolkit: the quick-tab (tab row or collapsible title bar) and the
// bitmap button.
#pragma once

#include "c4d_basebitmap.h"
#include "c4d_file.h"
#include "c4d_string.h"

namespace hostrt {
struct DialogControl;
}

constexpr Int32 CUSTOMGUI_QUICKTAB = 1000495;
constexpr Int32 CUSTOMGUI_BITMAPBUTTON = 1000479;

// Quick-tab settings.
constexpr Int32 QUICKTAB_BAR = 0x00626172;         // 'bar': a title bar instead of a tab row
constexpr Int32 QUICKTAB_SHOWSINGLE = 0x7373676C;  // 'ssgl'
constexpr Int32 QUICKTAB_SPRINGINGFOLDERS = 0x7370726E;  // 'sprn'
constexpr Int32 QUICKTAB_LAYOUTCOLLAPSE = 0x6C79636C;    // 'lycl'
constexpr Int32 QUICKTAB_NOMULTISELECT = 0x6E6F6D6C;     // 'noml'
constexpr Int32 QUICKTAB_BARTITLE = 0x62746974;          // 'btit'
constexpr Int32 QUICKTAB_BARSUBGROUP = 0x73756267;       // 'subg'

// Bitmap button settings.
constexpr Int32 BITMAPBUTTON_BORDER = 0x62726472;  // 'brdr'
constexpr Int32 BITMAPBUTTON_BUTTON = 0x62757474;  // 'butt'
constexpr Int32 BITMAPBUTTON_TOGGLE = 0x746F6767;  // 'togg'
constexpr Int32 BITMAPBUTTON_POPUP = 0x706F7075;   // 'popu'
constexpr Int32 DESC_CUSTOMGUI = 21;

class CustomGui {
 public:
  explicit CustomGui(hostrt::DialogControl* control) : control_(control) {}
  virtual ~CustomGui() = default;
  Int32 GetId() const;

 protected:
  hostrt::DialogControl* control_;
};

class QuickTabCustomGui : public CustomGui {
 public:
  using CustomGui::CustomGui;
  void ClearStrings();
  // Appends a tab; checked selects it (only one selected without multi-select).
  Bool AppendString(Int32 id, const String& str, Bool checked);
  Bool IsSelected(Int32 id) const;
  void Select(Int32 id, Bool select);
};

class BitmapButtonCustomGui : public CustomGui {
 public:
  using CustomGui::CustomGui;
  // Loads the image from a file; false (and no image) when it cannot be read.
  Bool SetImage(const Filename& file, Bool copybmp = true, Bool secondstate = false);
  Bool SetImage(BaseBitmap* bmp, Bool copybmp = true, Bool secondstate = false);
};
