// The part of the host interface that is linked into each plug-in module: the module's copy of
// the host's function table, its folder and resource, and the calls that go through the table.
#include "c4d_basebitmap.h"
#include "c4d_commanddata.h"
#include "c4d_general.h"
#include "c4d_gui.h"
#include "c4d_os.h"
#include "c4d_resource.h"
#include "c4d_tagdata.h"
#include "c4d_trackdata.h"

namespace {
C4DOS* t_C4DOS = nullptr;
Filename g_pluginPath;
}  // namespace

GeResource g_resource;

Bool InitOS(void* p1) {
  auto* os = static_cast<C4DOS*>(p1);
  if (!os || os->version < C4D_API_VERSION) return false;
  t_C4DOS = os;
  return true;
}

C4DOS* GetC4DOS() {
  return t_C4DOS;
}
void FreeOS() {
  t_C4DOS = nullptr;
}
void SetPluginPath(const Filename& folder) {
  g_pluginPath = folder;
}
Filename GeGetPluginPath() {
  return g_pluginPath;
}

String GeLoadString(Int32 id) {
  return g_resource.LoadString(id);
}

void GePrint(const String& str) {
  if (t_C4DOS) t_C4DOS->Print(str);
}

GEMB_R GeOutString(const String& str, Int32 flags) {
  return t_C4DOS ? t_C4DOS->OutString(str, flags) : GEMB_R_UNDEFINED;
}

void MessageDialog(const String& str) {
  GeOutString(str, GEMB_OK | GEMB_ICONEXCLAMATION);
}

Bool QuestionDialog(const String& str) {
  return GeOutString(str, GEMB_YESNO | GEMB_ICONQUESTION) == GEMB_R_YES;
}

BaseDocument* GetActiveDocument() {
  return t_C4DOS ? t_C4DOS->GetActiveDocument() : nullptr;
}

void EventAdd(Int32 flags) {
  if (t_C4DOS) t_C4DOS->EventAdd(flags);
}

Bool DrawViews(Int32 flags, BaseDraw* bd) {
  (void)bd;  // this host has one set of views; every redraw draws them all
  return t_C4DOS ? t_C4DOS->DrawViews(flags) : false;
}

void StatusSetBar(Int32 percent) {
  if (t_C4DOS) t_C4DOS->StatusSetBar(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

void StatusSetText(const String& str) {
  if (t_C4DOS) t_C4DOS->StatusSetText(str);
}

void StatusClear() {
  if (t_C4DOS) t_C4DOS->StatusClear();
}

void StopAllThreads() {
  if (t_C4DOS) t_C4DOS->StopAllThreads();
}

void CallCommand(Int32 id, Int32 subid) {
  if (t_C4DOS) t_C4DOS->CallCommand(id, subid);
}

AutoBitmap::AutoBitmap(const String& name, Float pixelRatio) : pixelRatio_(pixelRatio) {
  auto bm = std::make_unique<BaseBitmap>();
  if (bm->Init(g_pluginPath + "res" + name)) bitmap_ = std::move(bm);
}

namespace {

Bool Register(PluginEntry entry) {
  if (!t_C4DOS) return false;
  return t_C4DOS->RegisterPlugin(std::move(entry), g_pluginPath + "res");
}

std::unique_ptr<BaseBitmap> CloneIcon(BaseBitmap* icon) {
  return icon ? std::unique_ptr<BaseBitmap>(icon->GetClone()) : nullptr;
}

}  // namespace

Bool RegisterCommandPlugin(Int32 id, const String& str, Int32 info, BaseBitmap* icon,
                           const String& help, CommandData* dat) {
  std::unique_ptr<CommandData> owned(dat);
  if (!dat) return false;
  PluginEntry e;
  e.id = id;
  e.kind = PluginKind::Command;
  e.name = str;
  e.help = help;
  e.info = info;
  e.icon = CloneIcon(icon);
  e.command = std::move(owned);
  return Register(std::move(e));
}

Bool RegisterTagPlugin(Int32 id, const String& str, Int32 info, DataAllocator g,
                       const String& description, BaseBitmap* icon, Int32 disklevel) {
  if (!g) return false;
  PluginEntry e;
  e.id = id;
  e.kind = PluginKind::Tag;
  e.name = str;
  e.info = info;
  e.allocator = g;
  e.description = description;
  e.icon = CloneIcon(icon);
  e.diskLevel = disklevel;
  return Register(std::move(e));
}

Bool RegisterCTrackPlugin(Int32 id, const String& str, Int32 info, DataAllocator g,
                          const String& description, Int32 disklevel) {
  if (!g) return false;
  PluginEntry e;
  e.id = id;
  e.kind = PluginKind::Track;
  e.name = str;
  e.info = info;
  e.allocator = g;
  e.description = description;
  e.diskLevel = disklevel;
  return Register(std::move(e));
}

Bool RegisterDescription(Int32 id, const String& name, GeResource* res) {
  if (!t_C4DOS) return false;
  Filename folder = res ? res->GetResourcePath() : g_pluginPath + "res";
  return t_C4DOS->RegisterDescription(id, name, folder);
}

Int32 GetNewDescriptionId() {
  return t_C4DOS ? t_C4DOS->NewDescriptionId() : 0;
}

Bool GeDialog::Open(DLG_TYPE type, Int32 pluginid, Int32 xpos, Int32 ypos, Int32 defaultw,
                    Int32 defaulth, Int32 subid) {
  return t_C4DOS &&
         t_C4DOS->OpenDialog(this, type, pluginid, xpos, ypos, defaultw, defaulth, subid);
}

Bool GeDialog::RestoreLayout(Int32 pluginid, Int32 subid, void* secret) {
  return t_C4DOS && t_C4DOS->RestoreDialogLayout(this, pluginid, subid, secret);
}

Bool GeDialog::Close() {
  return t_C4DOS && t_C4DOS->CloseDialog(this);
}

Bool GeModalDialog::Open(Int32 xpos, Int32 ypos, Int32 defaultw, Int32 defaulth, Bool resizeable) {
  result_ = false;
  if (!t_C4DOS) return false;
  DLG_TYPE type = resizeable ? DLG_TYPE_MODAL_RESIZEABLE : DLG_TYPE_MODAL;
  if (!t_C4DOS->OpenDialog(this, type, 0, xpos, ypos, defaultw, defaulth, 0)) return false;
  return result_;
}

Bool GeModalDialog::Close(Bool result) {
  result_ = result;
  return GeDialog::Close();
}

Bool GeDialog::LoadDialogResource(Int32 id, GeResource* lr, Int32 flags) {
  (void)flags;
  String error;
  if (!t_C4DOS) return false;
  if (t_C4DOS->LoadDialogResource(this, lr ? *lr : g_resource, id, error)) return true;
  GePrint("LoadDialogResource: " + error);
  return false;
}

void GeShowMouse(Int32 cursor) {
  if (t_C4DOS) t_C4DOS->ShowMouse(cursor);
}

Bool Filename::FileSelect(Int32 type, Int32 flags, const String& title, const String& forceSuffix) {
  return t_C4DOS && t_C4DOS->FileSelect(*this, type, flags, title, forceSuffix);
}
