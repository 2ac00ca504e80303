#include "dialog_panel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "c4d_customgui.h"
#include "runtime/dialog_view.h"

namespace pelterra::gui {

using hostrt::ControlKind;
using hostrt::DialogControl;
using hostrt::ValueKind;

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A label for a widget that reads '&' as a shortcut mark: shown as written.
QString L(const std::string& s) {
  return QString::fromStdString(s).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// A number field that shows its value as the headless view does: no trailing zeros.
class NumberBox : public QDoubleSpinBox {
 public:
  using QDoubleSpinBox::QDoubleSpinBox;

 protected:
  QString textFromValue(double v) const override {
    const double scale = std::pow(10.0, decimals());
    return QString::fromStdString(hostrt::FormatNumber(std::round(v * scale) / scale));
  }
};

bool IsBar(const DialogControl& c) {
  return c.kind == ControlKind::QuickTab && c.settings.GetBool(QUICKTAB_BAR);
}

// Stored value to what the field shows: degrees from radians, percent from fractions.
double Shown(double v, ValueKind k) {
  if (k == ValueKind::Degree) return v * 180.0 / PI;
  if (k == ValueKind::Percent) return v * 100.0;
  return v;
}

QString Suffix(ValueKind k) {
  if (k == ValueKind::Degree) return QString::fromUtf8("\xC2\xB0");
  if (k == ValueKind::Percent) return QStringLiteral("%");
  return QString();
}

// Whether the field has a range of its own (not the host's "no limit" default).
bool HasRange(const DialogControl& c) {
  if (!(c.min < c.max)) return false;
  if (c.valueKind == ValueKind::Int) return !(c.min <= LIMIT_MIN && c.max >= LIMIT_MAX);
  return !(c.min <= -1e18 && c.max >= 1e18);
}

QPixmap PixmapOf(const BaseBitmap& bm) {
  const int w = bm.GetBw(), h = bm.GetBh();
  if (w <= 0 || h <= 0) return QPixmap();
  QImage img(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, bm.GetPixel(x, y));
  return QPixmap::fromImage(img);
}

QString TitleOf(const DialogControl& c) {
  if (IsBar(c)) {
    for (const auto& e : c.entries)
      if (!e.second.empty()) return L(e.second);
  }
  return L(c.title);
}

void ShapeOf(const DialogControl& c, std::string& out) {
  out += std::to_string(static_cast<int>(c.kind)) + ":" + std::to_string(c.id);
  if (c.kind == ControlKind::NumberField || c.kind == ControlKind::Slider)
    out += "v" + std::to_string(static_cast<int>(c.valueKind));
  if (c.kind == ControlKind::Group) out += "b" + std::to_string(c.borderStyle);
  for (const auto& e : c.entries) out += "e" + std::to_string(e.first);
  out += "(";
  for (const auto& ch : c.children) ShapeOf(*ch, out);
  out += ")";
}

void MenuShape(const std::vector<hostrt::MenuItem>& items, std::string& out) {
  for (const hostrt::MenuItem& m : items) {
    out += "m" + std::to_string(m.id) + "[" + m.label;
    MenuShape(m.children, out);
    out += "]";
  }
}

void FillMenu(QMenu* menu, const std::vector<hostrt::MenuItem>& items,
              const std::function<void(Int32)>& click) {
  for (const hostrt::MenuItem& m : items) {
    if (!m.children.empty()) {
      FillMenu(menu->addMenu(Q(m.label)), m.children, click);
    } else {
      const Int32 id = m.id;
      QObject::connect(menu->addAction(L(m.label)), &QAction::triggered,
                       [click, id] { click(id); });
    }
  }
}

}  // namespace

std::string Shape(const hostrt::DialogModel& model) {
  std::string out;
  MenuShape(model.menu, out);
  ShapeOf(model.root, out);
  return out;
}

DialogPanel::DialogPanel(GeDialog& dlg, Act act, QWidget* parent)
    : QWidget(parent), dlg_(dlg), act_(std::move(act)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  setWindowTitle(Q(dlg_.GetTitle()));
  Refresh();
}

QWidget* DialogPanel::WidgetOf(Int32 id) const {
  if (id == 0) return nullptr;
  for (const Node& n : nodes_)
    if (n.id == id) return n.widget;
  return nullptr;
}

void DialogPanel::Send(const DialogAction& a) {
  if (updating_ || !act_) return;
  act_(a);
}

void DialogPanel::Build() {
  // Widgets of the old tree may be inside the signal that got here: they go later.
  if (content_) {
    content_->hide();
    layout()->removeWidget(content_);
    content_->deleteLater();
    content_ = nullptr;
  }
  if (menu_) {
    menu_->hide();
    layout()->removeWidget(menu_);
    menu_->deleteLater();
    menu_ = nullptr;
  }
  nodes_.clear();
  ++builds_;
  const hostrt::DialogModel* model = dlg_.GetModel();
  if (!model) return;
  if (!model->menu.empty()) {
    menu_ = new QMenuBar(this);
    menu_->setNativeMenuBar(false);
    for (const hostrt::MenuItem& m : model->menu) {
      const Int32 id = m.id;
      if (!m.children.empty())
        FillMenu(menu_->addMenu(L(m.label)), m.children, [this](Int32 i) {
          Send({DialogAction::kClick, i, false, 0, {}});
        });
      else
        connect(menu_->addAction(L(m.label)), &QAction::triggered, [this, id] {
          Send({DialogAction::kClick, id, false, 0, {}});
        });
    }
    layout()->addWidget(menu_);
  }
  content_ = Make(model->root, this);
  layout()->addWidget(content_);
}

QWidget* DialogPanel::Make(const DialogControl& c, QWidget* parent) {
  const size_t index = nodes_.size();
  nodes_.push_back({c.id, c.kind, nullptr, {}});
  const Int32 id = c.id;
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::Root:
    case ControlKind::Group:
    case ControlKind::MenuLineGroup: {
      QWidget* box = c.kind == ControlKind::Group && c.borderStyle != 0
                         ? new QGroupBox(L(c.title), parent)
                         : new QWidget(parent);
      Place(c, box);
      w = box;
      break;
    }
    case ControlKind::ScrollGroup: {
      auto* area = new QScrollArea(parent);
      area->setWidgetResizable(true);
      auto* inner = new QWidget;
      Place(c, inner);
      area->setWidget(inner);
      w = area;
      break;
    }
    case ControlKind::Separator: {
      auto* line = new QFrame(parent);
      line->setFrameShape(c.vertical ? QFrame::VLine : QFrame::HLine);
      line->setFrameShadow(QFrame::Sunken);
      w = line;
      break;
    }
    case ControlKind::Button: {
      auto* b = new QPushButton(parent);
      connect(b, &QPushButton::clicked, this, [this, id] {
        Send({DialogAction::kClick, id, false, 0, {}});
      });
      w = b;
      break;
    }
    case ControlKind::BitmapButton: {
      auto* b = new QToolButton(parent);
      b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
      if (c.image) {
        const QPixmap pm = PixmapOf(*c.image);
        b->setIcon(QIcon(pm));
        b->setIconSize(pm.size());
        b->setToolButtonStyle(c.title.empty() ? Qt::ToolButtonIconOnly
                                              : Qt::ToolButtonTextUnderIcon);
      } else {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
      }
      b->setCheckable(c.settings.GetBool(BITMAPBUTTON_TOGGLE));
      connect(b, &QToolButton::clicked, this, [this, id] {
        Send({DialogAction::kClick, id, false, 0, {}});
      });
      w = b;
      break;
    }
    case ControlKind::Checkbox: {
      auto* b = new QCheckBox(parent);
      connect(b, &QCheckBox::clicked, this, [this, id](bool on) {
        Send({DialogAction::kTick, id, on, 0, {}});
      });
      w = b;
      break;
    }
    case ControlKind::ComboBox: {
      auto* b = new QComboBox(parent);
      for (const auto& [eid, label] : c.entries) b->addItem(Q(label), eid);
      connect(b, &QComboBox::activated, this, [this, id, b](int i) {
        Send({DialogAction::kChoose, id, false, b->itemData(i).toInt(), {}});
      });
      w = b;
      break;
    }
    case ControlKind::RadioGroup: {
      auto* box = new QGroupBox(L(c.title), parent);
      auto* grid = new QGridLayout(box);
      const int cols = std::max(1, static_cast<int>(c.columns));
      int k = 0;
      for (const auto& [eid, label] : c.entries) {
        auto* r = new QRadioButton(L(label), box);
        r->setAutoExclusive(false);  // the model says which is on
        r->setProperty("entry", eid);
        const Int32 entry = eid;
        connect(r, &QRadioButton::clicked, this, [this, id, entry] {
          Send({DialogAction::kChoose, id, false, entry, {}});
        });
        grid->addWidget(r, k / cols, k % cols);
        nodes_[index].parts.push_back(r);
        ++k;
      }
      w = box;
      break;
    }
    case ControlKind::NumberField:
    case ControlKind::Slider: {
      auto* spin = new NumberBox;
      spin->setKeyboardTracking(false);  // a value goes out when typed in full or stepped
      spin->setDecimals(c.valueKind == ValueKind::Int ? 0 : 6);
      // The field's own range is shown and kept by the driver, which clamps what is typed as
      // the real field does; the spin box lets any number through to it.
      spin->setRange(-1e12, 1e12);
      spin->setSuffix(Suffix(c.valueKind));
      connect(spin, &QDoubleSpinBox::valueChanged, this, [this, id](double v) {
        Send({DialogAction::kType, id, false, 0, hostrt::FormatNumber(v)});
      });
      if (c.kind == ControlKind::NumberField) {
        spin->setParent(parent);
        w = spin;
        break;
      }
      auto* row = new QWidget(parent);
      auto* h = new QHBoxLayout(row);
      h->setContentsMargins(0, 0, 0, 0);
      auto* slider = new QSlider(Qt::Horizontal, row);
      slider->setRange(0, 1000);
      h->addWidget(slider, 1);
      h->addWidget(spin);
      connect(slider, &QSlider::sliderReleased, this, [this, id, slider] {
        const DialogControl* m = dlg_.GetModel() ? dlg_.GetModel()->Find(id) : nullptr;
        if (!m || !(m->min < m->max)) return;
        const double stored = m->min + (m->max - m->min) * slider->value() / 1000.0;
        const double shown = std::round(Shown(stored, m->valueKind) * 1e6) / 1e6;
        Send({DialogAction::kType, id, false, 0, hostrt::FormatNumber(shown)});
      });
      nodes_[index].parts.push_back(slider);
      nodes_[index].parts.push_back(spin);
      w = row;
      break;
    }
    case ControlKind::StaticText: {
      w = new QLabel(parent);
      break;
    }
    case ControlKind::EditText: {
      auto* e = new QLineEdit(parent);
      connect(e, &QLineEdit::editingFinished, this, [this, id, e] {
        const DialogControl* m = dlg_.GetModel() ? dlg_.GetModel()->Find(id) : nullptr;
        if (m && e->text().toStdString() != m->text)
          Send({DialogAction::kType, id, false, 0, e->text().toStdString()});
      });
      w = e;
      break;
    }
    case ControlKind::MultiLineText: {
      // The listing: what the plug-in writes there is read, not typed (a line of a session
      // cannot hold a line break).
      auto* e = new QPlainTextEdit(parent);
      e->setReadOnly(true);
      e->setLineWrapMode(QPlainTextEdit::NoWrap);
      w = e;
      break;
    }
    case ControlKind::QuickTab: {
      if (IsBar(c)) {
        auto* b = new QToolButton(parent);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(b, &QToolButton::clicked, this, [this, id] {
          Send({DialogAction::kClick, id, false, 0, {}});
        });
        w = b;
      } else {
        auto* tabs = new QTabBar(parent);
        tabs->setExpanding(false);
        for (const auto& [eid, label] : c.entries) tabs->setTabData(tabs->addTab(L(label)), eid);
        connect(tabs, &QTabBar::tabBarClicked, this, [this, id, tabs](int i) {
          if (i >= 0) Send({DialogAction::kChoose, id, false, tabs->tabData(i).toInt(), {}});
        });
        w = tabs;
      }
      break;
    }
  }
  if (c.id) w->setObjectName(QStringLiteral("c%1").arg(c.id));
  nodes_[index].widget = w;
  return w;
}

// A group's children in its grid: so many columns, or so many rows filled column by column.
void DialogPanel::Place(const DialogControl& group, QWidget* box) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(group.borderSpace[0], group.borderSpace[1], group.borderSpace[2],
                           group.borderSpace[3]);
  if (group.spaceX > 0) grid->setHorizontalSpacing(group.spaceX);
  if (group.spaceY > 0) grid->setVerticalSpacing(group.spaceY);
  const int cols = group.columns > 0 ? group.columns : 0;
  const int rows = cols == 0 && group.rows > 0 ? group.rows : 0;
  int k = 0;
  for (const auto& ch : group.children) {
    QWidget* w = Make(*ch, box);
    if (cols > 0)
      grid->addWidget(w, k / cols, k % cols);
    else if (rows > 0)
      grid->addWidget(w, k % rows, k / rows);
    else
      grid->addWidget(w, k, 0);
    ++k;
  }
  grid->setRowStretch(grid->rowCount(), 1);
}

void DialogPanel::Refresh() {
  const hostrt::DialogModel* model = dlg_.GetModel();
  if (!model) {
    if (content_ || menu_) Build();
    model_ = nullptr;
    shape_.clear();
    return;
  }
  updating_ = true;
  const std::string shape = Shape(*model);
  if (model != model_ || shape != shape_) {
    model_ = model;
    shape_ = shape;
    Build();
  }
  setWindowTitle(Q(dlg_.GetTitle()));
  // The same walk as Make's: depth first, so node i is control i.
  size_t i = 0;
  std::function<void(const DialogControl&)> walk = [&](const DialogControl& c) {
    if (i < nodes_.size()) Update(nodes_[i++], c);
    for (const auto& ch : c.children) walk(*ch);
  };
  walk(model->root);
  updating_ = false;
}

void DialogPanel::Update(Node& n, const DialogControl& c) {
  QWidget* w = n.widget;
  if (!w) return;
  w->setVisible(!c.hidden);
  w->setEnabled(c.enabled);
  switch (c.kind) {
    case ControlKind::Group:
      if (auto* box = qobject_cast<QGroupBox*>(w)) box->setTitle(L(c.title));
      break;
    case ControlKind::Button:
      static_cast<QPushButton*>(w)->setText(L(c.title));
      break;
    case ControlKind::BitmapButton: {
      auto* b = static_cast<QToolButton*>(w);
      b->setText(c.title.empty() ? L(c.imageName) : L(c.title));
      b->setToolTip(Q(c.imageName));
      if (b->isCheckable()) b->setChecked(c.intValue != 0);
      break;
    }
    case ControlKind::Checkbox: {
      auto* b = static_cast<QCheckBox*>(w);
      b->setText(L(c.title));
      b->setChecked(c.valueKind == ValueKind::Bool && c.intValue != 0);
      break;
    }
    case ControlKind::ComboBox: {
      auto* b = static_cast<QComboBox*>(w);
      b->setCurrentIndex(b->findData(c.intValue));
      break;
    }
    case ControlKind::RadioGroup:
      static_cast<QGroupBox*>(w)->setTitle(L(c.title));
      for (QWidget* p : n.parts) {
        auto* r = static_cast<QRadioButton*>(p);
        r->setChecked(c.valueKind != ValueKind::None && r->property("entry").toInt() == c.intValue);
      }
      break;
    case ControlKind::NumberField:
    case ControlKind::Slider: {
      auto* spin = static_cast<QDoubleSpinBox*>(c.kind == ControlKind::Slider ? n.parts.at(1) : w);
      const double shown =
          c.valueKind == ValueKind::Int ? double(c.intValue) : Shown(c.floatValue, c.valueKind);
      spin->setValue(std::isfinite(shown) ? shown : 0.0);
      const double step =
          Shown(c.step, c.valueKind == ValueKind::Int ? ValueKind::Float : c.valueKind);
      spin->setSingleStep(step > 0 && std::isfinite(step) ? step : 1.0);
      const bool ranged = HasRange(c);
      spin->setProperty("rangeMin", ranged ? QVariant(Shown(c.min, c.valueKind)) : QVariant());
      spin->setProperty("rangeMax", ranged ? QVariant(Shown(c.max, c.valueKind)) : QVariant());
      spin->setToolTip(
          ranged
              ? QStringLiteral("%1 to %2%3")
                    .arg(Q(hostrt::FormatNumber(std::round(Shown(c.min, c.valueKind) * 1e9) / 1e9)),
                         Q(hostrt::FormatNumber(std::round(Shown(c.max, c.valueKind) * 1e9) / 1e9)),
                         Suffix(c.valueKind))
              : QString());
      if (c.kind == ControlKind::Slider) {
        auto* slider = static_cast<QSlider*>(n.parts.at(0));
        const double v = c.valueKind == ValueKind::Int ? double(c.intValue) : c.floatValue;
        slider->setEnabled(c.min < c.max);
        slider->setValue(
            c.min < c.max
                ? int(std::lround(std::clamp((v - c.min) / (c.max - c.min), 0.0, 1.0) * 1000))
                : 0);
      }
      break;
    }
    case ControlKind::StaticText:
      static_cast<QLabel*>(w)->setText(Q(c.title.empty() ? c.text : c.title));
      break;
    case ControlKind::EditText: {
      auto* e = static_cast<QLineEdit*>(w);
      if (e->text().toStdString() != c.text) e->setText(Q(c.text));
      break;
    }
    case ControlKind::MultiLineText: {
      auto* e = static_cast<QPlainTextEdit*>(w);
      if (e->toPlainText().toStdString() != c.text) e->setPlainText(Q(c.text));
      break;
    }
    case ControlKind::QuickTab:
      if (IsBar(c)) {
        auto* b = static_cast<QToolButton*>(w);
        const bool open = !c.selectedTabs.empty();
        b->setText(TitleOf(c));
        // A bar without entries has nothing to fold: the plug-in shows and hides its group.
        b->setArrowType(c.entries.empty() ? Qt::NoArrow : open ? Qt::DownArrow : Qt::RightArrow);
      } else {
        auto* tabs = static_cast<QTabBar*>(w);
        const Int32 first = c.selectedTabs.empty() ? 0 : c.selectedTabs.front();
        for (int i = 0; i < tabs->count(); ++i)
          if (tabs->tabData(i).toInt() == first) tabs->setCurrentIndex(i);
      }
      break;
    default:
      break;
  }
}

}  // namespace pelterra::gui
