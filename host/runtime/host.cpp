#include "runtime/host.h"

#include <algorithm>

#include "runtime/commands.h"
#include "runtime/dialog_resource.h"
#include "runtime/registry.h"

namespace hostrt {

Host::Host(Int32 ver) : C4DOS(ver) {}

Host::~Host() {
  CloseAllWindows();
}

BaseDocument* Host::NewDocument() {
  docs_.emplace_back(BaseDocument::Alloc());
  if (!active_) active_ = docs_.back().get();
  return docs_.back().get();
}

void Host::FreeDocuments() {
  active_ = nullptr;
  docs_.clear();
}

Bool Host::RegisterPlugin(PluginEntry entry, const Filename& resFolder) {
  ++registrations_;
  if (entry.kind != PluginKind::Command && !entry.description.empty()) {
    std::vector<DescEntry> desc;
    String error;
    if (!LoadDescriptionResource(resFolder.GetString(), entry.description, desc, error)) {
      Print("Description " + entry.description + ": " + error);
      return false;
    }
    Registry::Get().AddDescription(entry.description, entry.id, std::move(desc));
  }
  return Registry::Get().Add(std::move(entry));
}

Int32 Host::NewDescriptionId() {
  return Registry::Get().NewDescriptionId();
}

Bool Host::RegisterDescription(Int32 id, const String& name, const Filename& resFolder) {
  std::vector<DescEntry> desc;
  String error;
  if (!LoadDescriptionResource(resFolder.GetString(), name, desc, error)) {
    Print("Description " + name + ": " + error);
    return false;
  }
  return Registry::Get().AddDescription(name, id, std::move(desc));
}

void Host::Print(const String& line) {
  console_.push_back(line);
  if (echo) echo(line);
}

GEMB_R Host::OutString(const String& text, Int32 flags) {
  MessageRecord r;
  r.flags = flags;
  r.text = text;
  if (!answers_.empty()) {
    r.answer = answers_.front();
    answers_.pop_front();
  } else {
    r.defaulted = true;
    switch (flags & 0xF) {
      case GEMB_YESNO:
        r.answer = GEMB_R_NO;
        break;
      case GEMB_YESNOCANCEL:
      case GEMB_OKCANCEL:
        r.answer = GEMB_R_CANCEL;
        break;
      default:
        r.answer = GEMB_R_OK;
        break;
    }
  }
  messages_.push_back(r);
  if (onMessage) onMessage(r);
  return r.answer;
}

void Host::EventAdd(Int32) {
  ++events_;
}

void Host::CallCommand(Int32 id, Int32 subid) {
  commands_.push_back(id);
  RunCommand(active_, id, subid);
}

Bool Host::FileSelect(Filename& name, Int32 type, Int32 flags, const String& title,
                      const String& forceSuffix) {
  FileSelectRecord r;
  r.type = type;
  r.flags = flags;
  r.title = title;
  r.offered = name.GetString();
  if (files_.empty()) {
    r.defaulted = true;
  } else {
    r.answer = files_.front();
    files_.pop_front();
  }
  if (!r.answer.empty() && !forceSuffix.empty()) {
    Filename f(r.answer);
    if (!f.CheckSuffix(forceSuffix)) {
      f.SetSuffix(forceSuffix);
      r.answer = f.GetString();
    }
  }
  fileSelects_.push_back(r);
  if (onFileSelect) onFileSelect(r);
  if (r.answer.empty()) return false;
  name = Filename(r.answer);
  return true;
}

const OpenWindow* Host::FindWindow(const GeDialog* dlg) const {
  for (const OpenWindow& w : windows_)
    if (w.dialog == dlg) return &w;
  return nullptr;
}

Bool Host::OpenDialog(GeDialog* dlg, Int32 type, Int32 pluginid, Int32 x, Int32 y, Int32 w, Int32 h,
                      Int32 subid) {
  if (!dlg) return false;
  if (FindWindow(dlg)) return true;  // already open: brought to the front
  dlg->HostFreeLayout();
  if (!dlg->CreateLayout()) {
    dlg->HostFreeLayout();
    return false;
  }
  windows_.push_back({dlg, type, pluginid, x, y, w, h, subid});
  dlg->HostSetOpen(true, [this](GeDialog* gone) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [gone](const OpenWindow& w) { return w.dialog == gone; }),
                   windows_.end());
  });
  dlg->InitValues();
  if (type == DLG_TYPE_MODAL || type == DLG_TYPE_MODAL_RESIZEABLE) {
    if (modalHandler) modalHandler(dlg);
    if (FindWindow(dlg)) {
      ++modalDefaults_;
      CloseDialog(dlg);
    }
  }
  return true;
}

void Host::RunTimers() {
  // Copy: a timer may open or close windows.
  std::vector<GeDialog*> ticking;
  for (const OpenWindow& w : windows_)
    if (w.dialog->GetTimer() > 0) ticking.push_back(w.dialog);
  for (GeDialog* d : ticking) {
    if (!FindWindow(d) || d->GetTimer() <= 0) continue;
    BaseContainer msg(BFM_TIMER_MESSAGE);
    d->Timer(msg);
  }
}

Bool Host::RestoreDialogLayout(GeDialog* dlg, Int32 pluginid, Int32 subid, void* secret) {
  // This host saves no layouts, so there is never a window to restore.
  (void)dlg;
  (void)pluginid;
  (void)subid;
  (void)secret;
  return false;
}

Bool Host::CloseDialog(GeDialog* dlg) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [dlg](const OpenWindow& w) { return w.dialog == dlg; });
  if (it == windows_.end()) return false;
  windows_.erase(it);
  dlg->DestroyWindow();
  dlg->HostSetOpen(false);
  dlg->HostFreeLayout();
  return true;
}

Bool Host::LoadDialogResource(GeDialog* dlg, const GeResource& res, Int32 id, String& error) {
  return dlg && BuildDialogResource(*dlg, res, id, &error);
}

bool Host::UserClose(GeDialog* dlg) {
  if (!FindWindow(dlg)) return false;
  if (dlg->AskClose()) return false;
  return CloseDialog(dlg);
}

void Host::CloseAllWindows() {
  while (!windows_.empty()) CloseDialog(windows_.back().dialog);
}

}  // namespace hostrt
