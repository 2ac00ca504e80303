// A dialog window's control tree as Qt widgets. The panel only shows the model and reports what
// the person does; the action goes through the dialog driver like a session line, and Refresh
// then shows what the dialog made of it.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "c4d_gui.h"
#include "runtime/dialog_model.h"
#include "workspace.h"

class QMenuBar;

namespace pelterra::gui {

class DialogPanel : public QWidget {
 public:
  using Act = std::function<void(const DialogAction&)>;
  DialogPanel(GeDialog& dlg, Act act, QWidget* parent = nullptr);

  // Shows the model as it is now: values, labels, ranges, enabling and visibility. When the
  // tree's shape changed (a group was refilled, the window was opened anew) the widgets are
  // built again; the old ones go at the next turn of the event loop.
  void Refresh();
  GeDialog& Dialog() const { return dlg_; }
  // The widget that shows control id (the first with that identifier), or nullptr.
  QWidget* WidgetOf(Int32 id) const;
  // How many times the widgets were built.
  int Builds() const { return builds_; }

 private:
  struct Node {
    Int32 id = 0;
    hostrt::ControlKind kind = hostrt::ControlKind::Group;
    QWidget* widget = nullptr;    // what shows the control and holds its state
    std::vector<QWidget*> parts;  // radio buttons; a slider's slider
  };

  void Build();
  QWidget* Make(const hostrt::DialogControl& c, QWidget* parent);
  void Place(const hostrt::DialogControl& group, QWidget* box);
  void Update(Node& n, const hostrt::DialogControl& c);
  void Send(const DialogAction& a);

  GeDialog& dlg_;
  Act act_;
  const hostrt::DialogModel* model_ = nullptr;
  std::string shape_;
  std::vector<Node> nodes_;  // the controls in depth-first order, as Shape walks them
  QWidget* content_ = nullptr;
  QMenuBar* menu_ = nullptr;
  bool updating_ = false;  // widgets being set from the model: their signals are no user action
  int builds_ = 0;
};

// The tree's shape: kinds, identifiers, entries and children, depth first.
std::string Shape(const hostrt::DialogModel& model);

}  // namespace pelterra::gui
