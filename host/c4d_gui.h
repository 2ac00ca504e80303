// Dialogs. The control tree and value operations come with the dialog toolkit; this is the
// window life cycle that the host drives.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_string.h"

class GeResource;

enum DLG_TYPE : Int32 {
  DLG_TYPE_MODAL = 10,
  DLG_TYPE_MODAL_RESIZEABLE = 11,
  DLG_TYPE_ASYNC = 20,
  DLG_TYPE_ASYNC_POPUP_RESIZEABLE = 21,
};

class GeDialog {
 public:
  GeDialog() = default;
  virtual ~GeDialog();
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;

  // Overridables, called by the host.
  virtual Bool CreateLayout() { return true; }
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

  Bool SetTitle(const String& title) {
    title_ = title;
    return true;
  }
  const String& GetTitle() const { return title_; }

  // Host side: window state.
  void HostSetOpen(Bool open) { open_ = open; }

 private:
  Bool open_ = false;
  String title_;
};
