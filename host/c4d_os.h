// The function table that the host hands a plug-in module on start (c4d_main action 1, p1),
// and the module entry's actions and messages.
#pragma once

#include <memory>

#include "c4d_basebitmap.h"
#include "c4d_commanddata.h"
#include "c4d_file.h"
#include "c4d_general.h"
#include "c4d_nodedata.h"
#include "c4d_string.h"

class BaseDocument;
class GeDialog;
class GeResource;

// Lowest host interface version a module accepts.
constexpr Int32 C4D_API_VERSION = 19024;

// c4d_main actions.
enum : Int32 {
  C4DPL_INIT_SYS = 1,
  C4DPL_START = 2,
  C4DPL_END = 3,
  C4DPL_INIT_VERSION = 4,
  C4DPL_MESSAGE = 6,
};
// Plug-in messages (action 6, p1).
constexpr Int32 C4DPL_MSG_INIT_SYS = 1;
// Answers of c4d_main.
constexpr Int32 C4DPL_ERROR_TYPE = -1;
constexpr Int32 C4DPL_ERROR_OS = -3;

// Kinds of plug-ins a module registers.
enum class PluginKind { Command, Tag, Track };

// What a module hands the host when it registers a plug-in.
struct PluginEntry {
  Int32 id = 0;
  PluginKind kind = PluginKind::Command;
  String name;
  String help;
  Int32 info = 0;
  std::unique_ptr<BaseBitmap> icon;      // nullptr when the plug-in has none or it did not load
  std::unique_ptr<CommandData> command;  // commands: the object the host now owns
  DataAllocator allocator = nullptr;     // tags and tracks: makes the node's plug-in data
  String description;                    // tags and tracks: description resource name
  Int32 diskLevel = 0;
};

typedef Int32 (*C4DMainFunction)(Int32 action, void* p1, void* p2, void* p3);

class C4DOS {
 public:
  explicit C4DOS(Int32 ver) : version(ver) {}
  virtual ~C4DOS() = default;

  const Int32 version;

  // Registration; the host takes the entry whether it accepts it or not.
  virtual Bool RegisterPlugin(PluginEntry entry, const Filename& resFolder) = 0;
  // A fresh identifier for a description, or 0 when the host has none to give.
  virtual Int32 NewDescriptionId() = 0;
  virtual Bool RegisterDescription(Int32 id, const String& name, const Filename& resFolder) = 0;

  virtual void Print(const String& line) = 0;
  virtual GEMB_R OutString(const String& text, Int32 flags) = 0;
  virtual BaseDocument* GetActiveDocument() = 0;
  virtual void EventAdd(Int32 flags) = 0;
  virtual void StopAllThreads() = 0;
  // Runs the host command id (a menu command) on the active document.
  virtual void CallCommand(Int32 id, Int32 subid) = 0;

  // The user picks a file; false when cancelled.
  virtual Bool FileSelect(Filename& name, Int32 type, Int32 flags, const String& title,
                          const String& forceSuffix) = 0;

  virtual Bool OpenDialog(GeDialog* dlg, Int32 type, Int32 pluginid, Int32 x, Int32 y, Int32 w,
                          Int32 h, Int32 subid) = 0;
  virtual Bool RestoreDialogLayout(GeDialog* dlg, Int32 pluginid, Int32 subid, void* secret) = 0;
  virtual Bool CloseDialog(GeDialog* dlg) = 0;
  // Builds the dialog layout id of res into dlg's open group; error says why it could not.
  virtual Bool LoadDialogResource(GeDialog* dlg, const GeResource& res, Int32 id,
                                  String& error) = 0;
  // Sets the mouse cursor (MOUSE_BUSY, MOUSE_NORMAL ...).
  virtual void ShowMouse(Int32 cursor) = 0;
  // Redraws the views at once with DRAWFLAGS flags.
  virtual Bool DrawViews(Int32 flags) = 0;
  // The status bar: a bar at percent (0 to 100), a text beside it, and clearing both.
  virtual void StatusSetBar(Int32 percent) = 0;
  virtual void StatusSetText(const String& text) = 0;
  virtual void StatusClear() = 0;
};

// Module side: takes the table from p1; false when it is missing or too old.
Bool InitOS(void* p1);
// Module side: the table in use, or nullptr before InitOS.
C4DOS* GetC4DOS();
void FreeOS();
// Module side: remembers the folder that holds the module (p3 of action 1).
void SetPluginPath(const Filename& folder);
