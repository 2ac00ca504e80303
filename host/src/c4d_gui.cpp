#include "c4d_gui.h"

#include <algorithm>

#include "c4d_customgui.h"
#include "c4d_resource.h"
#include "runtime/dialog_model.h"

using hostrt::ControlKind;
using hostrt::DialogControl;
using hostrt::ValueKind;

namespace hostrt {

const char* ControlKindName(ControlKind k) {
  switch (k) {
    case ControlKind::Root:
      return "dialog";
    case ControlKind::Group:
      return "group";
    case ControlKind::ScrollGroup:
      return "scrollgroup";
    case ControlKind::MenuLineGroup:
      return "menuline";
    case ControlKind::Separator:
      return "separator";
    case ControlKind::Button:
      return "button";
    case ControlKind::Checkbox:
      return "checkbox";
    case ControlKind::ComboBox:
      return "combo";
    case ControlKind::RadioGroup:
      return "radio";
    case ControlKind::NumberField:
      return "number";
    case ControlKind::Slider:
      return "slider";
    case ControlKind::StaticText:
      return "text";
    case ControlKind::EditText:
      return "edittext";
    case ControlKind::MultiLineText:
      return "multiline";
    case ControlKind::QuickTab:
      return "quicktab";
    case ControlKind::BitmapButton:
      return "bitmapbutton";
  }
  return "?";
}

DialogControl::DialogControl() = default;
DialogControl::~DialogControl() = default;

DialogControl* DialogControl::Add(std::unique_ptr<DialogControl> c) {
  c->parent = this;
  children.push_back(std::move(c));
  return children.back().get();
}

bool DialogControl::IsVisible() const {
  for (const DialogControl* c = this; c; c = c->parent)
    if (c->hidden) return false;
  return true;
}

DialogModel::DialogModel() {
  root.kind = ControlKind::Root;
  open.push_back(&root);
}

namespace {
DialogControl* FindIn(DialogControl* c, Int32 id) {
  if (c->id == id) return c;
  for (auto& ch : c->children)
    if (DialogControl* f = FindIn(ch.get(), id)) return f;
  return nullptr;
}
}  // namespace

DialogControl* DialogModel::Find(Int32 id) {
  if (id == 0) return nullptr;
  return FindIn(&root, id);  // the menu-line group is a child of the root
}

const DialogControl* DialogModel::Find(Int32 id) const {
  return const_cast<DialogModel*>(this)->Find(id);
}

DialogControl* DialogModel::Current() {
  return open.back();
}

}  // namespace hostrt

// --- custom GUIs ---

Int32 CustomGui::GetId() const {
  return control_->id;
}

void QuickTabCustomGui::ClearStrings() {
  control_->entries.clear();
  control_->selectedTabs.clear();
}

Bool QuickTabCustomGui::AppendString(Int32 id, const String& str, Bool checked) {
  control_->entries.emplace_back(id, str);
  if (checked) Select(id, true);
  return true;
}

Bool QuickTabCustomGui::IsSelected(Int32 id) const {
  const auto& s = control_->selectedTabs;
  return std::find(s.begin(), s.end(), id) != s.end();
}

void QuickTabCustomGui::Select(Int32 id, Bool select) {
  auto& s = control_->selectedTabs;
  s.erase(std::remove(s.begin(), s.end(), id), s.end());
  if (!select) return;
  if (control_->settings.GetBool(QUICKTAB_NOMULTISELECT, true)) s.clear();
  s.push_back(id);
}

Bool BitmapButtonCustomGui::SetImage(const Filename& file, Bool, Bool) {
  auto bm = std::make_unique<BaseBitmap>();
  control_->imageName = file.GetFile().GetString();
  if (!bm->Init(file)) {
    control_->image.reset();
    return false;
  }
  control_->image = std::move(bm);
  return true;
}

Bool BitmapButtonCustomGui::SetImage(BaseBitmap* bmp, Bool, Bool) {
  control_->image.reset(bmp ? bmp->GetClone() : nullptr);
  return bmp != nullptr;
}

// --- GeDialog ---

GeDialog::GeDialog() : model_(std::make_unique<hostrt::DialogModel>()) {}

GeDialog::~GeDialog() {
  // A dialog destroyed with its window open leaves the host's window list.
  if (open_ && hostForget_) hostForget_(this);
}

// The host gives each window a fresh control tree before it calls CreateLayout.
Bool GeDialog::CreateLayout() {
  return true;
}

void GeDialog::HostFreeLayout() {
  model_ = std::make_unique<hostrt::DialogModel>();
  timer_ = 0;
}

void GeDialog::SetTimer(Int32 ms) {
  timer_ = ms > 0 ? ms : 0;
}

Bool GeDialog::SetTitle(const String& title) {
  title_ = title;
  return true;
}

namespace {

DialogControl* AddControl(hostrt::DialogModel& m, Int32 id, ControlKind kind, Int32 flags,
                          Int32 initw = 0, Int32 inith = 0) {
  auto c = std::make_unique<DialogControl>();
  c->id = id;
  c->kind = kind;
  c->flags = flags;
  c->initW = initw;
  c->initH = inith;
  return m.Current()->Add(std::move(c));
}

bool IsGroup(ControlKind k) {
  return k == ControlKind::Group || k == ControlKind::ScrollGroup ||
         k == ControlKind::MenuLineGroup;
}

}  // namespace

Bool GeDialog::GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                          Int32 groupflags, Int32 initw, Int32 inith) {
  DialogControl* g = AddControl(*model_, id, ControlKind::Group, flags, initw, inith);
  g->columns = cols;
  g->rows = rows;
  g->title = title;
  g->groupFlags = groupflags;
  model_->open.push_back(g);
  return true;
}

Bool GeDialog::ScrollGroupBegin(Int32 id, Int32 flags, Int32 scrollflags, Int32 initw,
                                Int32 inith) {
  DialogControl* g = AddControl(*model_, id, ControlKind::ScrollGroup, flags, initw, inith);
  g->scrollFlags = scrollflags;
  g->columns = 1;
  model_->open.push_back(g);
  return true;
}

Bool GeDialog::GroupBeginInMenuLine() {
  if (!model_->menuLine) {
    auto g = std::make_unique<DialogControl>();
    g->kind = ControlKind::MenuLineGroup;
    model_->menuLine = model_->root.Add(std::move(g));
  }
  model_->open.push_back(model_->menuLine);
  return true;
}

Bool GeDialog::GroupEnd() {
  if (model_->open.size() <= 1) return false;
  model_->open.pop_back();
  return true;
}

Bool GeDialog::GroupBorder(Int32 borderstyle) {
  model_->Current()->borderStyle = borderstyle;
  return true;
}

Bool GeDialog::GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom) {
  DialogControl* g = model_->Current();
  g->borderSpace[0] = left;
  g->borderSpace[1] = top;
  g->borderSpace[2] = right;
  g->borderSpace[3] = bottom;
  return true;
}

Bool GeDialog::GroupSpace(Int32 spacex, Int32 spacey) {
  model_->Current()->spaceX = spacex;
  model_->Current()->spaceY = spacey;
  return true;
}

Bool GeDialog::AddSeparatorH(Int32 initw, Int32 flags) {
  AddControl(*model_, 0, ControlKind::Separator, flags, initw, 0);
  return true;
}

Bool GeDialog::AddSeparatorV(Int32 inith, Int32 flags) {
  AddControl(*model_, 0, ControlKind::Separator, flags, 0, inith)->vertical = true;
  return true;
}

Bool GeDialog::AddButton(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name) {
  AddControl(*model_, id, ControlKind::Button, flags, initw, inith)->title = name;
  return true;
}

Bool GeDialog::AddCheckbox(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name) {
  DialogControl* c = AddControl(*model_, id, ControlKind::Checkbox, flags, initw, inith);
  c->title = name;
  c->valueKind = ValueKind::Bool;
  return true;
}

Bool GeDialog::AddComboBox(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  AddControl(*model_, id, ControlKind::ComboBox, flags, initw, inith)->valueKind = ValueKind::Int;
  return true;
}

Bool GeDialog::AddRadioGroup(Int32 id, Int32 flags, Int32 columns, Int32 rows) {
  DialogControl* c = AddControl(*model_, id, ControlKind::RadioGroup, flags);
  c->columns = columns;
  c->rows = rows;
  c->valueKind = ValueKind::Int;
  return true;
}

Bool GeDialog::AddChild(Int32 id, Int32 subid, const String& child) {
  DialogControl* c = model_->Find(id);
  if (!c || (c->kind != ControlKind::ComboBox && c->kind != ControlKind::RadioGroup)) return false;
  c->entries.emplace_back(subid, child);
  return true;
}

Bool GeDialog::AddEditNumber(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  AddControl(*model_, id, ControlKind::NumberField, flags, initw, inith)->valueKind =
      ValueKind::Float;
  return true;
}

Bool GeDialog::AddEditNumberArrows(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  return AddEditNumber(id, flags, initw, inith);
}

Bool GeDialog::AddEditSlider(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  AddControl(*model_, id, ControlKind::Slider, flags, initw, inith)->valueKind = ValueKind::Float;
  return true;
}

Bool GeDialog::AddEditText(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  AddControl(*model_, id, ControlKind::EditText, flags, initw, inith)->valueKind =
      ValueKind::String;
  return true;
}

Bool GeDialog::AddStaticText(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name,
                             Int32 borderstyle) {
  DialogControl* c = AddControl(*model_, id, ControlKind::StaticText, flags, initw, inith);
  c->title = name;
  c->borderStyle = borderstyle;
  return true;
}

Bool GeDialog::AddMultiLineEditText(Int32 id, Int32 flags, Int32 initw, Int32 inith, Int32 style) {
  DialogControl* c = AddControl(*model_, id, ControlKind::MultiLineText, flags, initw, inith);
  c->valueKind = ValueKind::String;
  c->groupFlags = style;
  return true;
}

CustomGui* GeDialog::AddCustomGui(Int32 id, Int32 pluginid, const String& name, Int32 flags,
                                  Int32 minw, Int32 minh, const BaseContainer& customdata) {
  ControlKind kind;
  if (pluginid == CUSTOMGUI_QUICKTAB)
    kind = ControlKind::QuickTab;
  else if (pluginid == CUSTOMGUI_BITMAPBUTTON)
    kind = ControlKind::BitmapButton;
  else
    return nullptr;
  DialogControl* c = AddControl(*model_, id, kind, flags, minw, minh);
  c->customGuiId = pluginid;
  c->settings = customdata;
  c->title = kind == ControlKind::QuickTab && customdata.GetBool(QUICKTAB_BAR)
                 ? customdata.GetString(QUICKTAB_BARTITLE)
                 : name;
  if (kind == ControlKind::QuickTab)
    c->gui = std::make_unique<QuickTabCustomGui>(c);
  else
    c->gui = std::make_unique<BitmapButtonCustomGui>(c);
  return c->gui.get();
}

// --- menu ---

namespace {
std::vector<hostrt::MenuItem>* MenuTarget(hostrt::DialogModel& m) {
  std::vector<hostrt::MenuItem>* items = &m.menu;
  for (size_t i : m.menuPath) items = &(*items)[i].children;
  return items;
}
}  // namespace

Bool GeDialog::MenuFlushAll() {
  model_->menu.clear();
  model_->menuPath.clear();
  return true;
}

Bool GeDialog::MenuSubBegin(const String& string) {
  auto* items = MenuTarget(*model_);
  items->push_back({0, string, {}});
  model_->menuPath.push_back(items->size() - 1);
  return true;
}

Bool GeDialog::MenuSubEnd() {
  if (model_->menuPath.empty()) return false;
  model_->menuPath.pop_back();
  return true;
}

Bool GeDialog::MenuAddString(Int32 id, const String& string) {
  MenuTarget(*model_)->push_back({id, string, {}});
  return true;
}

Bool GeDialog::MenuFinished() {
  model_->menuPath.clear();
  return true;
}

// --- values ---

namespace {
bool HoldsFloat(const DialogControl& c) {
  return c.valueKind == ValueKind::Float || c.valueKind == ValueKind::Percent ||
         c.valueKind == ValueKind::Degree;
}

DialogControl* ValueControl(hostrt::DialogModel& m, Int32 id) {
  DialogControl* c = m.Find(id);
  if (!c || IsGroup(c->kind) || c->kind == ControlKind::Separator) return nullptr;
  return c;
}
}  // namespace

Bool GeDialog::SetBool(Int32 id, Bool value) {
  DialogControl* c = ValueControl(*model_, id);
  if (!c) return false;
  c->valueKind = ValueKind::Bool;
  c->intValue = value ? 1 : 0;
  return true;
}

Bool GeDialog::SetInt32(Int32 id, Int32 value, Int32 min, Int32 max, Int32 step) {
  DialogControl* c = ValueControl(*model_, id);
  if (!c) return false;
  if (c->kind == ControlKind::NumberField || c->kind == ControlKind::Slider) {
    c->valueKind = ValueKind::Int;
    c->min = min;
    c->max = max;
    c->step = step;
  } else if (c->valueKind == ValueKind::None) {
    c->valueKind = ValueKind::Int;
  }
  c->intValue = value;
  return true;
}

Bool GeDialog::SetFloat(Int32 id, Float value, Float min, Float max, Float step, Int32 format) {
  DialogControl* c = ValueControl(*model_, id);
  if (!c) return false;
  c->valueKind = format == FORMAT_PERCENT  ? ValueKind::Percent
                 : format == FORMAT_DEGREE ? ValueKind::Degree
                                           : ValueKind::Float;
  c->floatValue = value;
  c->min = min;
  c->max = max;
  c->step = step;
  c->format = format;
  return true;
}

Bool GeDialog::SetPercent(Int32 id, Float value, Float min, Float max, Float step) {
  // Limits arrive in percent; the value and the stored limits are fractions.
  return SetFloat(id, value, min / 100.0, max / 100.0, step / 100.0, FORMAT_PERCENT);
}

Bool GeDialog::SetDegree(Int32 id, Float value, Float min, Float max, Float step) {
  return SetFloat(id, value, min, max, step, FORMAT_DEGREE);
}

Bool GeDialog::SetString(Int32 id, const String& text) {
  DialogControl* c = ValueControl(*model_, id);
  if (!c) return false;
  switch (c->kind) {
    case ControlKind::Button:
    case ControlKind::Checkbox:
    case ControlKind::StaticText:
      c->title = text;
      break;
    default:
      c->valueKind = ValueKind::String;
      c->text = text;
      break;
  }
  return true;
}

Bool GeDialog::GetBool(Int32 id, Bool& value) const {
  const DialogControl* c = model_->Find(id);
  if (!c) return false;
  value = HoldsFloat(*c) ? c->floatValue != 0.0 : c->intValue != 0;
  return true;
}

Bool GeDialog::GetInt32(Int32 id, Int32& value) const {
  const DialogControl* c = model_->Find(id);
  if (!c) return false;
  value = HoldsFloat(*c) ? GeData(c->floatValue).GetInt32() : c->intValue;
  return true;
}

Bool GeDialog::GetFloat(Int32 id, Float& value) const {
  const DialogControl* c = model_->Find(id);
  if (!c) return false;
  value = HoldsFloat(*c) ? c->floatValue : c->intValue;
  return true;
}

Bool GeDialog::GetString(Int32 id, String& value) const {
  const DialogControl* c = model_->Find(id);
  if (!c) return false;
  value = c->valueKind == ValueKind::String ? c->text : c->title;
  return true;
}

Bool GeDialog::Enable(Int32 id, Bool enabled) {
  DialogControl* c = model_->Find(id);
  if (!c) return false;
  c->enabled = enabled;
  return true;
}

Bool GeDialog::IsEnabled(Int32 id) const {
  const DialogControl* c = model_->Find(id);
  return c && c->enabled;
}

Bool GeDialog::HideElement(Int32 id, Bool hide) {
  DialogControl* c = model_->Find(id);
  if (!c) return false;
  c->hidden = hide;
  return true;
}

Bool GeDialog::LayoutChanged(Int32 id) {
  ++model_->layoutChanges;
  return model_->Find(id) != nullptr || id == 0;
}
