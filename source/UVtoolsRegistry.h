// The tool groups of the UV tools dialog. Each group registers, from its own unit, the controls
// it answers, what it does when one of them is used, the state it keeps in the dialog and what
// it shows or enables when the dialog refreshes. The dialog dispatches from this table.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <typeindex>
#include <vector>

#include "c4d_gui.h"
#include "c4d_string.h"
#include "ge_math.h"

class UVtools;

// How a float field shows and limits its value. Every field of one kind is set up through its
// kind, so ranges and steps are written once.
struct FloatField {
  enum Show { kPlain, kDegrees, kPercent, kPercentSlider };
  Show show;
  Float min, max, step;  // a percent slider takes them in percent, the others as stored
};
inline constexpr FloatField kScaleFactorField{FloatField::kPlain, 0.0, 10.0, 0.01};
inline constexpr FloatField kUnitValueField{FloatField::kPlain, 0.0, 1.0, 0.01};
inline constexpr FloatField kAreaValueField{FloatField::kPlain, 0.0, 1.0, 0.001};
inline constexpr FloatField kAngleField{FloatField::kDegrees, -2.0 * PI, 2.0 * PI, PI / 1800.0};
inline constexpr FloatField kReadoutField{FloatField::kPercent, 0.0, 10.0, 0.01};
inline constexpr FloatField kMoveTargetField{FloatField::kPercentSlider, 0.0, 100.0, 1.0};

// Sets a float field of the given kind.
void SetFloatField(GeDialog& dlg, Int32 id, const FloatField& kind, Float value);

// The dialog as a tool sees it: control values, enabling and visibility, the timer, and the
// dialog's refresh and release routines.
class ToolDialog {
 public:
  explicit ToolDialog(UVtools& dlg) : dlg_(dlg) {}

  Bool GetBool(Int32 id) const;
  Int32 GetInt32(Int32 id) const;
  Float GetFloat(Int32 id) const;
  void SetBool(Int32 id, Bool on);
  void SetInt32(Int32 id, Int32 value);
  void SetString(Int32 id, const String& text);
  void SetFloat(Int32 id, const FloatField& kind, Float value);
  void Enable(Int32 id, Bool on);
  void Show(Int32 id, Bool visible);
  void SetTimer(Int32 ms);
  // Opens a modal dialog over this one.
  Bool OpenModal(GeModalDialog& modal);

  // Recomputes visibility, enabling and labels.
  void Refresh();
  // Frees the picks every group stores (and the live snapshots).
  void ReleaseStoredPicks();

 private:
  UVtools& dlg_;
};

// State a tool group keeps in the dialog for the whole host run.
class ToolState {
 public:
  virtual ~ToolState() = default;
  // The window opens: reset what the dialog resets then.
  virtual void InitValues() {}
  // The dialog frees its stored picks (the window closes, a stitch ran).
  virtual void Release() {}
};

// The states of one dialog, one of each kind, made when the dialog is.
class ToolStates {
 public:
  template <typename T>
  T& Get() {
    return static_cast<T&>(*states_.at(std::type_index(typeid(T))));
  }
  void Add(std::type_index type, std::unique_ptr<ToolState> (*make)()) {
    if (!states_.count(type)) states_.emplace(type, make());
  }
  template <typename F>
  void ForEach(F&& f) {
    for (auto& [type, state] : states_) f(*state);
  }

 private:
  std::map<std::type_index, std::unique_ptr<ToolState>> states_;
};

using ToolCommand = std::function<void(ToolDialog&, ToolStates&, Int32 id)>;
using ToolHook = std::function<void(ToolDialog&, ToolStates&)>;

// One tool group as the dialog dispatches it.
struct ToolGroupEntry {
  const char* name = "";
  std::vector<Int32> controls;  // controls whose use reaches command
  std::vector<Int32> pending;   // those among them whose tool is not built yet
  std::vector<std::pair<std::type_index, std::unique_ptr<ToolState> (*)()>> states;
  ToolCommand command;
  ToolHook refresh;        // runs in the dialog's refresh routine, in refreshOrder
  Int32 refreshOrder = 0;  // the step of the refresh routine the rule belongs to
  ToolHook timer;          // runs on the dialog's timer tick
};

class ToolRegistry {
 public:
  static ToolRegistry& Get();
  // False when a control already belongs to another group; the group is then left out and the
  // clash is kept in Clashes.
  bool Add(ToolGroupEntry entry);
  const std::vector<Int32>& Clashes() const { return clashes_; }
  const std::vector<ToolGroupEntry>& Groups() const { return groups_; }
  // The group that answers control id, or nullptr.
  const ToolGroupEntry* Find(Int32 id) const;
  // Whether the tool behind control id is built.
  bool IsPending(Int32 id) const;

 private:
  std::vector<ToolGroupEntry> groups_;
  std::vector<Int32> clashes_;
};

// A group as its unit writes it: the handlers take the dialog and the group's own states.
template <typename... S>
struct ToolGroup {
  const char* name = "";
  std::initializer_list<Int32> controls;
  void (*command)(ToolDialog&, Int32 id, S&...) = nullptr;
  void (*refresh)(ToolDialog&, S&...) = nullptr;
  Int32 refreshOrder = 0;
  std::initializer_list<Int32> pending = {};
  void (*timer)(ToolDialog&, S&...) = nullptr;
};

template <typename... S>
bool RegisterToolGroup(const ToolGroup<S...>& g) {
  static_assert((std::is_base_of_v<ToolState, S> && ...), "group states derive from ToolState");
  ToolGroupEntry e;
  e.name = g.name;
  e.controls.assign(g.controls.begin(), g.controls.end());
  e.pending.assign(g.pending.begin(), g.pending.end());
  (e.states.emplace_back(std::type_index(typeid(S)),
                         []() -> std::unique_ptr<ToolState> { return std::make_unique<S>(); }),
   ...);
  if (auto f = g.command)
    e.command = [f](ToolDialog& d, ToolStates& s, Int32 id) { f(d, id, s.Get<S>()...); };
  if (auto f = g.refresh) e.refresh = [f](ToolDialog& d, ToolStates& s) { f(d, s.Get<S>()...); };
  e.refreshOrder = g.refreshOrder;
  if (auto f = g.timer) e.timer = [f](ToolDialog& d, ToolStates& s) { f(d, s.Get<S>()...); };
  return ToolRegistry::Get().Add(std::move(e));
}
