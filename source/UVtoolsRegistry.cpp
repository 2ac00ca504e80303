#include "UVtoolsRegistry.h"

#include <algorithm>

#include "UVtools.h"

void SetFloatField(GeDialog& dlg, Int32 id, const FloatField& kind, Float value) {
  switch (kind.show) {
    case FloatField::kPlain:
      dlg.SetFloat(id, value, kind.min, kind.max, kind.step, FORMAT_FLOAT);
      break;
    case FloatField::kDegrees:
      dlg.SetDegree(id, value, kind.min, kind.max, kind.step);
      break;
    case FloatField::kPercent:
      dlg.SetFloat(id, value, kind.min, kind.max, kind.step, FORMAT_PERCENT);
      break;
    case FloatField::kPercentSlider:
      dlg.SetPercent(id, value, kind.min, kind.max, kind.step);
      break;
  }
}

// --- the dialog as the tools see it ---

Bool ToolDialog::GetBool(Int32 id) const {
  Bool v = false;
  dlg_.GetBool(id, v);
  return v;
}

Int32 ToolDialog::GetInt32(Int32 id) const {
  Int32 v = 0;
  dlg_.GetInt32(id, v);
  return v;
}

Float ToolDialog::GetFloat(Int32 id) const {
  Float v = 0.0;
  dlg_.GetFloat(id, v);
  return v;
}

void ToolDialog::SetBool(Int32 id, Bool on) {
  dlg_.SetBool(id, on);
}

void ToolDialog::SetInt32(Int32 id, Int32 value) {
  dlg_.SetInt32(id, value);
}

void ToolDialog::SetString(Int32 id, const String& text) {
  dlg_.SetString(id, text);
}

void ToolDialog::SetFloat(Int32 id, const FloatField& kind, Float value) {
  SetFloatField(dlg_, id, kind, value);
}

void ToolDialog::Enable(Int32 id, Bool on) {
  dlg_.Enable(id, on);
}

void ToolDialog::Show(Int32 id, Bool visible) {
  dlg_.HideElement(id, !visible);
}

void ToolDialog::SetTimer(Int32 ms) {
  dlg_.SetTimer(ms);
}

Bool ToolDialog::OpenModal(GeModalDialog& modal) {
  return modal.Open(-1, -1, 0, 0, false);
}

void ToolDialog::Refresh() {
  dlg_.Refresh();
}

void ToolDialog::ReleaseStoredPicks() {
  dlg_.ReleaseStoredPicks();
}

// --- registry ---

ToolRegistry& ToolRegistry::Get() {
  static ToolRegistry r;
  return r;
}

bool ToolRegistry::Add(ToolGroupEntry entry) {
  bool clash = false;
  for (Int32 id : entry.controls) {
    if (!Find(id)) continue;
    clashes_.push_back(id);
    clash = true;
  }
  if (clash) return false;
  groups_.push_back(std::move(entry));
  return true;
}

const ToolGroupEntry* ToolRegistry::Find(Int32 id) const {
  for (const ToolGroupEntry& g : groups_)
    if (std::find(g.controls.begin(), g.controls.end(), id) != g.controls.end()) return &g;
  return nullptr;
}

bool ToolRegistry::IsPending(Int32 id) const {
  const ToolGroupEntry* g = Find(id);
  return g && std::find(g->pending.begin(), g->pending.end(), id) != g->pending.end();
}
