// Dialogs: the layout calls that build a window's controls, the value operations, and the
// window life cycle that the host drives.
#pragma once

#include <functional>
#include <memory>

#include "c4d_basecontainer.h"
#include "c4d_string.h"

class GeResource;
class CustomGui;
namespace hostrt {
struct DialogModel;
}

enum DLG_TYPE : Int32 {
  DLG_TYPE_MODAL = 10,
  DLG_TYPE_MODAL_RESIZEABLE = 11,
  DLG_TYPE_ASYNC = 20,
  DLG_TYPE_ASYNC_POPUP_RESIZEABLE = 21,
};

// Layout flags.
enum : Int32 {
  BFH_CENTER = 0,
  BFH_LEFT = 8,
  BFH_RIGHT = 16,
  BFH_FIT = 24,
  BFH_SCALE = 32,
  BFH_SCALEFIT = 56,
  BFV_CENTER = 0,
  BFV_TOP = 1,
  BFV_BOTTOM = 2,
  BFV_FIT = 3,
  BFV_SCALE = 4,
  BFV_SCALEFIT = 7,
};

// Group border styles.
enum : Int32 {
  BORDER_NONE = 0,
  BORDER_GROUP_IN = 10,  // a frame with the group's title
};

// Four-character codes of the host (formats, custom GUI settings).
constexpr Int32 FourCC(const char (&s)[5]) {
  return (Int32(s[0]) << 24) | (Int32(s[1]) << 16) | (Int32(s[2]) << 8) | Int32(s[3]);
}
constexpr Int32 FourCC(const char (&s)[4]) {
  return (Int32(s[0]) << 16) | (Int32(s[1]) << 8) | Int32(s[2]);
}

// Float display formats.
constexpr Int32 FORMAT_FLOAT = FourCC("frea");
constexpr Int32 FORMAT_DEGREE = FourCC("fdgr");
constexpr Int32 FORMAT_PERCENT = FourCC("fpct");

constexpr Int32 LIMIT_MIN = -2147483647 - 1;
constexpr Int32 LIMIT_MAX = 2147483647;

// Message container identifiers of Command and Timer.
constexpr Int32 BFM_ACTION = FourCC("bAct");
constexpr Int32 BFM_TIMER_MESSAGE = FourCC("bTim");
// Our host asks a dialog (Message) whether the tool behind control BFM_ACTION_ID is built yet;
// a dialog that knows answers with result BFM_CONTROL_PENDING set. Not a message of the SDK.
constexpr Int32 BFM_ASK_CONTROL_PENDING = FourCC("hPnd");
constexpr Int32 BFM_ACTION_ID = 1;
constexpr Int32 BFM_CONTROL_PENDING = 2;

class GeDialog {
 public:
  GeDialog();
  virtual ~GeDialog();
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;

  // Overridables, called by the host.
  virtual Bool CreateLayout();
  virtual Bool InitValues() { return true; }
  virtual Bool CoreMessage(Int32 id, const BaseContainer& msg) {
    (void)id;
    (void)msg;
    return true;
  }
  virtual Bool Command(Int32 id, const BaseContainer& msg) {
    (void)id;
    (void)msg;
    return true;
  }
  // False lets the window close.
  virtual Bool AskClose() { return false; }
  virtual void Timer(const BaseContainer& msg) { (void)msg; }
  virtual void DestroyWindow() {}
  virtual Int32 Message(const BaseContainer& msg, BaseContainer& result) {
    (void)msg;
    (void)result;
    return 0;
  }

  // Window life cycle; the host decides (Open answers false when it refuses).
  Bool Open(DLG_TYPE type, Int32 pluginid, Int32 xpos = -1, Int32 ypos = -1, Int32 defaultw = 0,
            Int32 defaulth = 0, Int32 subid = 0);
  Bool RestoreLayout(Int32 pluginid, Int32 subid, void* secret);
  Bool Close();
  Bool IsOpen() const { return open_; }
  // Calls Timer every ms milliseconds while the window is open; 0 stops it.
  void SetTimer(Int32 ms);
  Int32 GetTimer() const { return timer_; }

  Bool SetTitle(const String& title);
  const String& GetTitle() const { return title_; }

  // Layout: groups.
  Bool GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                  Int32 groupflags, Int32 initw = 0, Int32 inith = 0);
  Bool GroupEnd();
  Bool GroupBorder(Int32 borderstyle);
  Bool GroupBorderNoTitle(Int32 borderstyle) { return GroupBorder(borderstyle); }
  Bool GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom);
  Bool GroupSpace(Int32 spacex, Int32 spacey);
  Bool ScrollGroupBegin(Int32 id, Int32 flags, Int32 scrollflags, Int32 initw = 0, Int32 inith = 0);
  // The group at the right end of the menu bar; close it with GroupEnd.
  Bool GroupBeginInMenuLine();
  // Builds resource layout id (from the plug-in's resource when lr is nullptr) in the open group.
  Bool LoadDialogResource(Int32 id, GeResource* lr, Int32 flags);

  // Layout: controls.
  Bool AddSeparatorH(Int32 initw, Int32 flags = BFH_FIT);
  Bool AddSeparatorV(Int32 inith, Int32 flags = BFV_FIT);
  Bool AddButton(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name);
  Bool AddCheckbox(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name);
  Bool AddComboBox(Int32 id, Int32 flags, Int32 initw = 0, Int32 inith = 0);
  Bool AddRadioGroup(Int32 id, Int32 flags, Int32 columns = 1, Int32 rows = 0);
  // An entry of a combo box or radio group.
  Bool AddChild(Int32 id, Int32 subid, const String& child);
  Bool AddEditNumber(Int32 id, Int32 flags, Int32 initw = 80, Int32 inith = 0);
  Bool AddEditNumberArrows(Int32 id, Int32 flags, Int32 initw = 80, Int32 inith = 0);
  Bool AddEditSlider(Int32 id, Int32 flags, Int32 initw = 80, Int32 inith = 0);
  Bool AddEditText(Int32 id, Int32 flags, Int32 initw = 80, Int32 inith = 0);
  Bool AddStaticText(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name,
                     Int32 borderstyle);
  Bool AddMultiLineEditText(Int32 id, Int32 flags, Int32 initw = 0, Int32 inith = 0,
                            Int32 style = 0);
  // A custom GUI (quick-tab 1000495, bitmap button 1000479); nullptr for an unknown one.
  CustomGui* AddCustomGui(Int32 id, Int32 pluginid, const String& name, Int32 flags, Int32 minw,
                          Int32 minh, const BaseContainer& customdata);

  // Layout: the menu bar.
  Bool MenuFlushAll();
  Bool MenuSubBegin(const String& string);
  Bool MenuSubEnd();
  Bool MenuAddString(Int32 id, const String& string);
  Bool MenuFinished();

  // Values. Setting a value from code sends no Command.
  Bool SetBool(Int32 id, Bool value);
  Bool SetInt32(Int32 id, Int32 value, Int32 min = LIMIT_MIN, Int32 max = LIMIT_MAX,
                Int32 step = 1);
  Bool SetFloat(Int32 id, Float value, Float min = -1e18, Float max = 1e18, Float step = 1.0,
                Int32 format = FORMAT_FLOAT);
  // value 1.0 is 100 %; min, max and step are in percent.
  Bool SetPercent(Int32 id, Float value, Float min = 0.0, Float max = 100.0, Float step = 1.0);
  // Radians, shown in degrees.
  Bool SetDegree(Int32 id, Float value, Float min, Float max, Float step);
  Bool SetString(Int32 id, const String& text);
  Bool GetBool(Int32 id, Bool& value) const;
  Bool GetInt32(Int32 id, Int32& value) const;
  Bool GetFloat(Int32 id, Float& value) const;
  Bool GetString(Int32 id, String& value) const;

  Bool Enable(Int32 id, Bool enabled);
  Bool IsEnabled(Int32 id) const;
  Bool HideElement(Int32 id, Bool hide);
  Bool LayoutChanged(Int32 id);

  // Host side: the window's controls, and its open state; forget is called when the dialog
  // dies with its window open.
  hostrt::DialogModel* GetModel() const { return model_.get(); }
  void HostSetOpen(Bool open, std::function<void(GeDialog*)> forget = nullptr) {
    open_ = open;
    hostForget_ = std::move(forget);
  }
  // Drops the control tree (after DestroyWindow).
  void HostFreeLayout();

 private:
  std::unique_ptr<hostrt::DialogModel> model_;
  std::function<void(GeDialog*)> hostForget_;
  Bool open_ = false;
  Int32 timer_ = 0;
  String title_;
};

// A dialog that the host runs modally: Open returns when the window has closed.
class GeModalDialog : public GeDialog {
 public:
  Bool Open(Int32 xpos = -1, Int32 ypos = -1, Int32 defaultw = 0, Int32 defaulth = 0,
            Bool resizeable = false);
  // Closes the window; result is what Open answers.
  Bool Close(Bool result);
  Bool GetResult() const { return result_; }

 private:
  Bool result_ = false;
};

// Mouse cursors of GeShowMouse.
enum : Int32 {
  MOUSE_HIDE = 0,
  MOUSE_SHOW = 1,
  MOUSE_NORMAL = 2,
  MOUSE_BUSY = 3,
};
// Sets the host's mouse cursor (MOUSE_BUSY while a tool computes, MOUSE_NORMAL afterwards).
void GeShowMouse(Int32 cursor);
