// Console, message boxes, events and the plug-in's folder.
#pragma once

#include "c4d_file.h"
#include "c4d_string.h"

class BaseContainer;
class BaseDocument;
class BaseDraw;
class BaseObject;

// Message box buttons and icons, and the answers.
enum GEMB : Int32 {
  GEMB_OK = 0x0,
  GEMB_OKCANCEL = 0x1,
  GEMB_YESNOCANCEL = 0x3,
  GEMB_YESNO = 0x4,
  GEMB_ICONSTOP = 0x10,
  GEMB_ICONQUESTION = 0x20,
  GEMB_ICONEXCLAMATION = 0x30,
  GEMB_ICONASTERISK = 0x40,
};
enum GEMB_R : Int32 {
  GEMB_R_UNDEFINED = 0,
  GEMB_R_OK = 1,
  GEMB_R_CANCEL = 2,
  GEMB_R_YES = 6,
  GEMB_R_NO = 7,
};

// Writes a line to the host console.
void GePrint(const String& str);
// Shows str with the buttons and icon of flags and answers the button pressed.
GEMB_R GeOutString(const String& str, Int32 flags);
// OK box with a warning icon.
void MessageDialog(const String& str);
// Yes/No box; true for yes.
Bool QuestionDialog(const String& str);

BaseDocument* GetActiveDocument();
// Asks the host to update its views and managers.
void EventAdd(Int32 flags = 0);
// Flags of DrawViews. The immediate redraw of a tool that wants its result seen before it goes
// on is DRAWFLAGS_ONLY_ACTIVE_VIEW | DRAWFLAGS_NO_THREAD | DRAWFLAGS_NO_ANIMATION (1282).
enum DRAWFLAGS : Int32 {
  DRAWFLAGS_0 = 0,
  DRAWFLAGS_ONLY_ACTIVE_VIEW = 0x2,
  DRAWFLAGS_NO_THREAD = 0x100,
  DRAWFLAGS_NO_ANIMATION = 0x400,
};
// Redraws the views now, not at the next event; false without a host.
Bool DrawViews(Int32 flags, BaseDraw* bd = nullptr);
// The host's status bar, for work the user waits for: a bar at percent (0 to 100, clamped), a
// text beside it, and clearing both when the work is done.
void StatusSetBar(Int32 percent);
void StatusSetText(const String& str);
void StatusClear();
// Stops the host's background threads.
void StopAllThreads();
// Runs a host command as its menu entry would, on the active document (12557: select
// connected).
void CallCommand(Int32 id, Int32 subid = 0);

// The folder that holds the calling plug-in.
Filename GeGetPluginPath();

// --- modelling commands ---

// Modelling command identifiers.
enum : Int32 {
  MCOMMAND_DISCONNECT = 228,
  MCOMMAND_CONVERTSELECTION = 247,
};

// Settings of MCOMMAND_DISCONNECT: selected polygons that share points with each other keep
// sharing them (they leave only the unselected ones) instead of each getting points of its own.
enum : Int32 {
  MDATA_DISCONNECT_PRESERVEGROUPS = 2028,
};

// Settings of MCOMMAND_CONVERTSELECTION: the kind of selection read (LEFT) and the kind written
// (RIGHT), each 0 points, 1 edges, 2 polygons; TOLERANT makes an element selected when any of
// its points or edges is, instead of all of them.
enum : Int32 {
  MDATA_CONVERTSELECTION_LEFT = 2126,
  MDATA_CONVERTSELECTION_RIGHT = 2127,
  MDATA_CONVERTSELECTION_TOLERANT = 2128,
};

enum MODELINGCOMMANDMODE : Int32 {
  MODELINGCOMMANDMODE_ALL = 0,
  MODELINGCOMMANDMODE_POINTSELECTION = 1,
  MODELINGCOMMANDMODE_POLYGONSELECTION = 2,
  MODELINGCOMMANDMODE_EDGESELECTION = 3,
};

enum MODELINGCOMMANDFLAGS : Int32 {
  MODELINGCOMMANDFLAGS_0 = 0,
  MODELINGCOMMANDFLAGS_CREATEUNDO = 1,  // records an undo entry in doc before the change
};

// What a modelling command works on and with.
struct ModelingCommandData {
  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
  BaseContainer* bc = nullptr;  // the command's settings
  MODELINGCOMMANDMODE mode = MODELINGCOMMANDMODE_ALL;
  MODELINGCOMMANDFLAGS flags = MODELINGCOMMANDFLAGS_0;
};

// Runs a modelling command on data.op; false when the command, its settings or the object do
// not fit. MCOMMAND_CONVERTSELECTION replaces the polygon object's selection of one kind with
// the conversion of another kind; MCOMMAND_DISCONNECT gives the polygons of data.mode (all, or
// the selected ones) points of their own (docs/host.md).
Bool SendModelingCommand(Int32 command, ModelingCommandData& data);
