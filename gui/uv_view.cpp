#include "uv_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "c4d_basedocument.h"
#include "c4d_painter.h"

namespace pelterra::gui {

namespace {

constexpr double kPickRadius = 7.0;  // pixels

// Soft colours that tell neighbouring islands apart on the light unit square.
QColor IslandTint(Int32 island) {
  const int hue = static_cast<int>((static_cast<long long>(island) * 137) % 360);
  return QColor::fromHsv(hue, 90, 245, 110);
}

double SegmentDistance(QPointF p, QPointF a, QPointF b) {
  const QPointF d = b - a;
  const double len2 = d.x() * d.x() + d.y() * d.y();
  double t = len2 > 0 ? ((p - a).x() * d.x() + (p - a).y() * d.y()) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const QPointF q = a + d * t - p;
  return std::hypot(q.x(), q.y());
}

bool Finite(const std::vector<Vector>& poly) {
  return std::all_of(poly.begin(), poly.end(),
                     [](const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y); });
}

}  // namespace

std::string IndexList(std::vector<Int32> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  std::string out;
  for (size_t i = 0; i < indices.size();) {
    size_t j = i;
    while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1) ++j;
    if (!out.empty()) out += ",";
    out += std::to_string(indices[i]);
    if (j > i) out += "-" + std::to_string(indices[j]);
    i = j + 1;
  }
  return out;
}

std::vector<Int32> UvIslands(const std::vector<std::vector<Vector>>& uvs) {
  const size_t n = uvs.size();
  std::vector<size_t> parent(n);
  std::iota(parent.begin(), parent.end(), size_t(0));
  auto find = [&](size_t x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  std::map<std::pair<long long, long long>, size_t> first;
  for (size_t p = 0; p < n; ++p) {
    if (!Finite(uvs[p])) continue;
    for (const Vector& v : uvs[p]) {
      const auto key = std::make_pair(std::llround(v.x * 1e5), std::llround(v.y * 1e5));
      auto [it, fresh] = first.emplace(key, p);
      if (!fresh) parent[find(p)] = find(it->second);
    }
  }
  std::vector<Int32> island(n, -1);
  std::map<size_t, Int32> number;
  for (size_t p = 0; p < n; ++p) {
    auto [it, fresh] = number.emplace(find(p), static_cast<Int32>(number.size()));
    island[p] = it->second;
  }
  return island;
}

std::string SelectLine(const std::string& kind, const std::vector<Int32>& picked, bool add,
                       bool remove) {
  if (picked.empty()) return add || remove ? std::string() : "select " + kind + " none";
  const std::string list = IndexList(picked);
  if (add) return "select " + kind + " add " + list;
  if (remove) return "select " + kind + " remove " + list;
  return "select " + kind + " " + list;
}

UvView::UvView(hostrt::Host& host, QWidget* parent) : QWidget(parent), host_(host) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(false);
  setMinimumSize(200, 200);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

UvView::Layout UvView::Read() const {
  Layout l;
  BaseDocument* doc = host_.ActiveDocument();
  BaseObject* obj = doc ? doc->GetActiveObject() : nullptr;
  if (!obj || obj->GetType() != Opolygon) return l;
  auto* op = static_cast<PolygonObject*>(obj);
  UVWTag* tag = GetEditedUVWTag(op);
  if (!tag) return l;
  l.op = op;
  const ConstUVWHandle uvw = tag->GetDataAddressR();
  const Int32 count = std::min(op->GetPolygonCount(), uvw.count);
  const CPolygon* polys = op->GetPolygonR();
  l.uvs.resize(static_cast<size_t>(std::max(count, 0)));
  for (Int32 i = 0; i < count; ++i) {
    UVWStruct s;
    UVWTag::Get(uvw, i, s);
    std::vector<Vector>& p = l.uvs[static_cast<size_t>(i)];
    p = {s.a, s.b, s.c};
    if (!polys[i].IsTriangle()) p.push_back(s.d);
  }
  l.island = UvIslands(l.uvs);
  return l;
}

std::string UvView::KindOfMode() const {
  BaseDocument* doc = host_.ActiveDocument();
  const Int32 mode = doc ? doc->GetMode() : 0;
  if (mode == Muvpoints) return "uvpoints";
  if (mode == Medges) return "edges";
  return "uvpolygons";
}

QPointF UvView::ToScreen(double u, double v) const {
  return {origin_.x() + u * scale_, origin_.y() + v * scale_};
}

QPointF UvView::ToUv(QPointF p) const {
  return {(p.x() - origin_.x()) / scale_, (p.y() - origin_.y()) / scale_};
}

void UvView::FrameAll() {
  Frame();
  update();
}

void UvView::Frame() {
  double lo[2] = {0.0, 0.0}, hi[2] = {1.0, 1.0};
  const Layout l = Read();
  for (const auto& poly : l.uvs) {
    if (!Finite(poly)) continue;
    for (const Vector& v : poly) {
      lo[0] = std::min(lo[0], v.x);
      lo[1] = std::min(lo[1], v.y);
      hi[0] = std::max(hi[0], v.x);
      hi[1] = std::max(hi[1], v.y);
    }
  }
  const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], 1e-9});
  const double margin = 24.0;
  const double avail = std::max(16.0, std::min(width(), height()) - 2 * margin);
  scale_ = avail / extent;
  const double cu = (lo[0] + hi[0]) / 2, cv = (lo[1] + hi[1]) / 2;
  origin_ = QPointF(width() / 2.0 - cu * scale_, height() / 2.0 - cv * scale_);
  framed_ = true;
}

void UvView::ZoomAt(double factor, QPointF at) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  const double next = std::clamp(scale_ * factor, 1.0, 1e7);
  const double f = next / scale_;
  origin_ = at + (origin_ - at) * f;
  scale_ = next;
  update();
}

void UvView::Pan(QPointF by) {
  origin_ += by;
  update();
}

std::vector<Int32> UvView::PickAt(QPointF p, std::string& kind) const {
  kind = KindOfMode();
  const Layout l = Read();
  std::vector<Int32> out;
  if (kind == "uvpoints") {
    // The nearest UV point, with every corner drawn at the same place.
    double best = kPickRadius;
    QPointF at;
    bool found = false;
    for (size_t i = 0; i < l.uvs.size(); ++i)
      for (const Vector& v : l.uvs[i]) {
        const QPointF s = ToScreen(v.x, v.y);
        const double d = std::hypot(s.x() - p.x(), s.y() - p.y());
        if (std::isfinite(d) && d <= best) {
          best = d;
          at = s;
          found = true;
        }
      }
    if (!found) return out;
    for (size_t i = 0; i < l.uvs.size(); ++i)
      for (size_t k = 0; k < l.uvs[i].size(); ++k) {
        const QPointF s = ToScreen(l.uvs[i][k].x, l.uvs[i][k].y);
        if (std::hypot(s.x() - at.x(), s.y() - at.y()) < 0.5)
          out.push_back(static_cast<Int32>(4 * i + k));
      }
    return out;
  }
  if (kind == "edges") {
    double best = kPickRadius;
    Int32 edge = -1;
    for (size_t i = 0; i < l.uvs.size(); ++i) {
      const auto& poly = l.uvs[i];
      for (size_t k = 0; k < poly.size(); ++k) {
        const Vector& a = poly[k];
        const Vector& b = poly[(k + 1) % poly.size()];
        const double d = SegmentDistance(p, ToScreen(a.x, a.y), ToScreen(b.x, b.y));
        if (std::isfinite(d) && d <= best) {
          best = d;
          edge = static_cast<Int32>(4 * i + k);
        }
      }
    }
    if (edge >= 0) out.push_back(edge);
    return out;
  }
  // The polygon drawn on top: the last one under the cursor.
  for (size_t i = l.uvs.size(); i-- > 0;) {
    if (!Finite(l.uvs[i])) continue;
    QPolygonF poly;
    for (const Vector& v : l.uvs[i]) poly << ToScreen(v.x, v.y);
    if (poly.containsPoint(p, Qt::OddEvenFill)) {
      out.push_back(static_cast<Int32>(i));
      break;
    }
  }
  return out;
}

std::vector<Int32> UvView::PickBox(QPointF a, QPointF b, std::string& kind) const {
  kind = KindOfMode();
  const QRectF box = QRectF(a, b).normalized();
  const Layout l = Read();
  std::vector<Int32> out;
  for (size_t i = 0; i < l.uvs.size(); ++i) {
    const auto& poly = l.uvs[i];
    if (!Finite(poly)) continue;
    if (kind == "uvpoints") {
      for (size_t k = 0; k < poly.size(); ++k)
        if (box.contains(ToScreen(poly[k].x, poly[k].y)))
          out.push_back(static_cast<Int32>(4 * i + k));
    } else if (kind == "edges") {
      for (size_t k = 0; k < poly.size(); ++k) {
        const Vector& p = poly[k];
        const Vector& q = poly[(k + 1) % poly.size()];
        if (box.contains(ToScreen(p.x, p.y)) && box.contains(ToScreen(q.x, q.y)))
          out.push_back(static_cast<Int32>(4 * i + k));
      }
    } else {
      double u = 0, v = 0;
      for (const Vector& c : poly) {
        u += c.x;
        v += c.y;
      }
      if (box.contains(ToScreen(u / poly.size(), v / poly.size())))
        out.push_back(static_cast<Int32>(i));
    }
  }
  return out;
}

void UvView::paintEvent(QPaintEvent*) {
  if (!framed_) Frame();
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(rect(), QColor(58, 60, 66));
  const QPointF o = ToScreen(0, 0), e = ToScreen(1, 1);
  const QRectF unit(o, e);
  p.fillRect(unit, QColor(236, 238, 242));
  p.setPen(QPen(QColor(210, 213, 220), 1));
  for (int k = 1; k < 10; ++k) {
    const double t = k / 10.0;
    p.drawLine(ToScreen(t, 0), ToScreen(t, 1));
    p.drawLine(ToScreen(0, t), ToScreen(1, t));
  }
  p.setPen(QPen(QColor(120, 124, 134), 1.5));
  p.drawRect(unit);

  const Layout l = Read();
  if (!l.op) {
    p.setPen(QColor(230, 230, 230));
    p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignTop | Qt::AlignLeft,
               tr("No polygon object with UVs is active"));
    return;
  }
  const std::string kind = KindOfMode();
  PolygonObject* op = l.op;
  const BaseSelect* polySel = op->GetPolygonS();
  const BaseSelect* pointSel = hostrt::UVPointSelection(op);
  const BaseSelect* edgeSel = op->GetEdgeS();

  for (size_t i = 0; i < l.uvs.size(); ++i) {
    if (!Finite(l.uvs[i])) continue;
    QPolygonF poly;
    for (const Vector& v : l.uvs[i]) poly << ToScreen(v.x, v.y);
    const bool selected = kind == "uvpolygons" && polySel->IsSelected(static_cast<Int32>(i));
    p.setBrush(selected ? QColor(255, 140, 30, 170) : IslandTint(l.island[i]));
    p.setPen(QPen(QColor(30, 34, 46), 1.0));
    p.drawPolygon(poly);
  }
  if (kind == "edges") {
    p.setPen(QPen(QColor(255, 120, 0), 3.0, Qt::SolidLine, Qt::RoundCap));
    for (size_t i = 0; i < l.uvs.size(); ++i) {
      const auto& poly = l.uvs[i];
      if (!Finite(poly)) continue;
      for (size_t k = 0; k < poly.size(); ++k)
        if (edgeSel->IsSelected(static_cast<Int32>(4 * i + k)))
          p.drawLine(ToScreen(poly[k].x, poly[k].y),
                     ToScreen(poly[(k + 1) % poly.size()].x, poly[(k + 1) % poly.size()].y));
    }
  }
  if (kind == "uvpoints") {
    p.setPen(Qt::NoPen);
    for (int pass = 0; pass < 2; ++pass)  // the selected points on top
      for (size_t i = 0; i < l.uvs.size(); ++i) {
        const auto& poly = l.uvs[i];
        if (!Finite(poly)) continue;
        for (size_t k = 0; k < poly.size(); ++k) {
          const bool on = pointSel->IsSelected(static_cast<Int32>(4 * i + k));
          if (on != (pass == 1)) continue;
          p.setBrush(on ? QColor(230, 40, 20) : QColor(40, 44, 60));
          p.drawEllipse(ToScreen(poly[k].x, poly[k].y), on ? 4.0 : 2.5, on ? 4.0 : 2.5);
        }
      }
  }
  if (boxing_) {
    p.setBrush(QColor(80, 140, 255, 40));
    p.setPen(QPen(QColor(80, 140, 255), 1, Qt::DashLine));
    p.drawRect(QRectF(press_, last_).normalized());
  }
  p.setPen(QColor(230, 230, 230));
  p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignTop | Qt::AlignLeft,
             QString::fromStdString(op->GetName() + " - " + kind));
}

void UvView::mousePressEvent(QMouseEvent* e) {
  press_ = last_ = e->position();
  if (e->button() == Qt::MiddleButton ||
      (e->button() == Qt::LeftButton && (e->modifiers() & Qt::AltModifier))) {
    panning_ = true;
    return;
  }
  if (e->button() == Qt::LeftButton) boxing_ = true;
}

void UvView::mouseMoveEvent(QMouseEvent* e) {
  const QPointF at = e->position();
  if (panning_) Pan(at - last_);
  last_ = at;
  if (boxing_) update();
}

void UvView::mouseReleaseEvent(QMouseEvent* e) {
  last_ = e->position();
  if (panning_) {
    panning_ = false;
    return;
  }
  if (!boxing_ || e->button() != Qt::LeftButton) return;
  boxing_ = false;
  std::string kind;
  const QPointF d = last_ - press_;
  const bool box = std::abs(d.x()) > 3 || std::abs(d.y()) > 3;
  const std::vector<Int32> picked = box ? PickBox(press_, last_, kind) : PickAt(last_, kind);
  const bool add = e->modifiers() & Qt::ShiftModifier;
  const bool remove = !add && (e->modifiers() & Qt::ControlModifier);
  const std::string line = SelectLine(kind, picked, add, remove);
  update();
  if (!line.empty() && onSelect) onSelect(line);
}

void UvView::wheelEvent(QWheelEvent* e) {
  const double steps = e->angleDelta().y() / 120.0;
  ZoomAt(std::pow(1.2, steps), e->position());
}

void UvView::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F || e->key() == Qt::Key_Home) {
    FrameAll();
    return;
  }
  QWidget::keyPressEvent(e);
}

void UvView::resizeEvent(QResizeEvent*) {
  framed_ = false;  // framed anew at the next paint
}

}  // namespace pelterra::gui
