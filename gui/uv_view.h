// The UV editor view: the active object's UV layout over the unit square, islands tinted, the
// selection of the editing mode highlighted. Clicks and box drags pick UV points, edges or UV
// polygons (by mode) and hand on the "select" line that makes that selection.
#pragma once

#include <QPointF>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "c4d_baseobject.h"
#include "runtime/host.h"

namespace pelterra::gui {

// The session words for a list of indices: ranges joined by commas ("0-3,7").
std::string IndexList(std::vector<Int32> indices);

// Groups of polygons joined by UV corners at the same place (to 1e-5): island of each polygon,
// numbered from 0 in the order of their first polygon.
std::vector<Int32> UvIslands(const std::vector<std::vector<Vector>>& uvs);

// The "select" line for what a click or box picked: replace without a modifier, add with shift,
// remove with ctrl. Empty when there is nothing to do (an empty pick that adds or removes).
std::string SelectLine(const std::string& kind, const std::vector<Int32>& picked, bool add,
                       bool remove);

class UvView : public QWidget {
 public:
  explicit UvView(hostrt::Host& host, QWidget* parent = nullptr);

  // Gets the select line a pick makes.
  std::function<void(const std::string&)> onSelect;

  // Frames the layout and the unit square.
  void FrameAll();
  // Zooms by factor about a point of the widget.
  void ZoomAt(double factor, QPointF at);
  void Pan(QPointF by);
  // Where a UV position is drawn in the widget, and back.
  QPointF ToScreen(double u, double v) const;
  QPointF ToUv(QPointF p) const;

  // What a click at p or a box from a to b picks in the current mode, and the selection kind.
  std::vector<Int32> PickAt(QPointF p, std::string& kind) const;
  std::vector<Int32> PickBox(QPointF a, QPointF b, std::string& kind) const;

  QSize sizeHint() const override { return {640, 640}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  struct Layout {
    PolygonObject* op = nullptr;
    std::vector<std::vector<Vector>> uvs;  // per polygon, 3 or 4 corners
    std::vector<Int32> island;
  };
  Layout Read() const;
  void Frame();
  std::string KindOfMode() const;

  hostrt::Host& host_;
  double scale_ = 500.0;        // pixels per UV unit
  QPointF origin_{70.0, 70.0};  // where UV (0, 0) is drawn
  bool framed_ = false;
  bool panning_ = false, boxing_ = false;
  QPointF press_, last_;
};

}  // namespace pelterra::gui
