#include "preview.h"

#ifndef PELTERRA_NO_CAIRO
#include <cairo.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "c4d_painter.h"
#include "file_access.h"
#include "runtime/dialog_view.h"

namespace pelterra {

namespace {

namespace fs = std::filesystem;

constexpr int kMinSize = 16;
constexpr int kMaxSize = 8192;

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

bool HasSuffix(const std::string& path, const char* suffix) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == suffix;
}

#ifndef PELTERRA_NO_CAIRO

struct Rgb {
  double r, g, b;
};

// Colours, chosen to read on white and against each other.
constexpr Rgb kBorder{0.45, 0.47, 0.52};
constexpr Rgb kGrid{0.83, 0.85, 0.88};
constexpr Rgb kFineGrid{0.92, 0.93, 0.95};
constexpr Rgb kEdge{0.10, 0.13, 0.20};
constexpr Rgb kEdgeLight{0.66, 0.70, 0.78};  // unselected polygons when the selection leads
constexpr Rgb kSelectedFill{0.15, 0.55, 1.00};
constexpr double kSelectedFillAlpha = 0.30;
constexpr Rgb kPoint{0.90, 0.10, 0.05};

struct Point2 {
  double x, y;
};

// UV → picture: margin + (uv − origin) / extent × span, v downwards. The unit square has origin
// (0, 0) and extent 1; a fitted picture frames the UVs' bounds instead.
struct Mapping {
  double margin;
  double span;
  double u0 = 0.0, v0 = 0.0, extent = 1.0;
  Point2 operator()(const Vector& uv) const {
    return {margin + (uv.x - u0) / extent * span, margin + (uv.y - v0) / extent * span};
  }
  double X(double u) const { return margin + (u - u0) / extent * span; }
  double Y(double v) const { return margin + (v - v0) / extent * span; }
  bool Unit() const { return u0 == 0.0 && v0 == 0.0 && extent == 1.0; }
};

Mapping MappingFor(int size) {
  int margin = std::max(4, size * 3 / 100);
  return {static_cast<double>(margin), static_cast<double>(size - 2 * margin)};
}

// A straight line of integer width w drawn crisply: its centre on a pixel centre for odd widths,
// on a pixel boundary for even ones.
double Snap(double c, int w) {
  return w % 2 ? std::floor(c) + 0.5 : std::round(c);
}

// The picture's rectangle grown by pad, the area that geometry is clipped to before it reaches
// cairo (whose fixed-point coordinates cannot hold far-away values).
struct ClipBox {
  double lo, hi;
  bool Inside(Point2 p) const { return p.x >= lo && p.x <= hi && p.y >= lo && p.y <= hi; }
};

// Liang–Barsky: clips segment p-q to the box; false when nothing is left.
bool ClipSegment(const ClipBox& box, Point2& p, Point2& q) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = q.x - p.x, dy = q.y - p.y;
  const double ps[4] = {-dx, dx, -dy, dy};
  const double qs[4] = {p.x - box.lo, box.hi - p.x, p.y - box.lo, box.hi - p.y};
  for (int i = 0; i < 4; ++i) {
    if (ps[i] == 0.0) {
      if (qs[i] < 0.0) return false;
      continue;
    }
    const double t = qs[i] / ps[i];
    if (ps[i] < 0.0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const Point2 a{p.x + t0 * dx, p.y + t0 * dy};
  const Point2 b{p.x + t1 * dx, p.y + t1 * dy};
  p = a;
  q = b;
  return true;
}

// Sutherland–Hodgman against the box's four sides.
std::vector<Point2> ClipPolygon(const ClipBox& box, std::vector<Point2> poly) {
  for (int side = 0; side < 4 && !poly.empty(); ++side) {
    auto inside = [&](Point2 p) {
      switch (side) {
        case 0:
          return p.x >= box.lo;
        case 1:
          return p.x <= box.hi;
        case 2:
          return p.y >= box.lo;
        default:
          return p.y <= box.hi;
      }
    };
    auto cross = [&](Point2 a, Point2 b) {
      const double edge = side == 0 || side == 2 ? box.lo : box.hi;
      if (side < 2) {
        const double t = (edge - a.x) / (b.x - a.x);
        return Point2{edge, a.y + t * (b.y - a.y)};
      }
      const double t = (edge - a.y) / (b.y - a.y);
      return Point2{a.x + t * (b.x - a.x), edge};
    };
    std::vector<Point2> out;
    out.reserve(poly.size() + 4);
    for (size_t i = 0; i < poly.size(); ++i) {
      const Point2 a = poly[i], b = poly[(i + 1) % poly.size()];
      const bool ia = inside(a), ib = inside(b);
      if (ia) out.push_back(a);
      if (ia != ib) out.push_back(cross(a, b));
    }
    poly = std::move(out);
  }
  return poly;
}

// One polygon as the picture shows it: its 3 or 4 corners in pixels.
struct Shape {
  Int32 polygon;
  int corners;
  Point2 p[4];
  bool selected = false;
  bool inNgon = false;  // its edges are drawn as the n-gon's outline
};

// An n-gon's outline in pixels.
struct Outline {
  std::vector<Point2> p;
  bool selected = false;
};

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Grid lines thinner than the UV edges, the unit square's border as wide as them, all whole
// pixels. A fitted picture has its grid over the whole picture, where lines are far enough apart.
void DrawGrid(cairo_t* cr, int size, const Mapping& map, double edgeWidth) {
  const int gridWidth = std::max(1, static_cast<int>(std::lround(0.6 * edgeWidth)));
  const int borderWidth = std::max(1, static_cast<int>(std::lround(edgeWidth)));
  // Lines at multiples of 1 / divisions, within lo..hi in UV.
  auto lines = [&](int divisions, int skipEvery, int width, Rgb colour, double lo, double hi) {
    const double step = 1.0 / divisions;
    if (map.span / map.extent * step < 4.0) return;  // too dense to read
    SetColour(cr, colour);
    cairo_set_line_width(cr, width);
    const double from = Snap(map.X(lo), width), to = Snap(map.X(hi), width);
    const double fromV = Snap(map.Y(lo), width), toV = Snap(map.Y(hi), width);
    for (long i = static_cast<long>(std::ceil(lo * divisions));
         i <= static_cast<long>(std::floor(hi * divisions)); ++i) {
      if (skipEvery && i % skipEvery == 0) continue;
      if (map.Unit() && (i <= 0 || i >= divisions)) continue;
      cairo_move_to(cr, Snap(map.X(i * step), width), fromV);
      cairo_line_to(cr, Snap(map.X(i * step), width), toV);
      cairo_move_to(cr, from, Snap(map.Y(i * step), width));
      cairo_line_to(cr, to, Snap(map.Y(i * step), width));
    }
    cairo_stroke(cr);
  };
  double lo = 0.0, hi = 1.0;
  if (!map.Unit()) {  // the picture's extent in UV, on both axes alike
    const double pad = map.margin / map.span * map.extent;
    lo = std::floor(std::min(map.u0, map.v0) - pad);
    hi = std::ceil(std::max(map.u0, map.v0) + map.extent + pad);
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  if (size >= 512) lines(32, 4, gridWidth, kFineGrid, lo, hi);
  lines(8, 0, gridWidth, kGrid, lo, hi);
  SetColour(cr, kBorder);
  cairo_set_line_width(cr, borderWidth);
  const double x0 = Snap(map.X(0), borderWidth), x1 = Snap(map.X(1), borderWidth);
  const double y0 = Snap(map.Y(0), borderWidth), y1 = Snap(map.Y(1), borderWidth);
  cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
  cairo_stroke(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

// Selected polygons as one path, each turned counter-clockwise on screen so the non-zero rule
// paints their union once: overlaps are not tinted twice.
void FillSelected(cairo_t* cr, const std::vector<Shape>& shapes, const ClipBox& box) {
  bool any = false;
  for (const Shape& s : shapes) {
    if (!s.selected) continue;
    std::vector<Point2> poly(s.p, s.p + s.corners);
    double area = 0.0;
    for (size_t i = 0; i < poly.size(); ++i) {
      const Point2 a = poly[i], b = poly[(i + 1) % poly.size()];
      area += a.x * b.y - b.x * a.y;
    }
    if (area < 0.0) std::reverse(poly.begin(), poly.end());
    poly = ClipPolygon(box, std::move(poly));
    if (poly.size() < 3) continue;
    cairo_move_to(cr, poly[0].x, poly[0].y);
    for (size_t i = 1; i < poly.size(); ++i) cairo_line_to(cr, poly[i].x, poly[i].y);
    cairo_close_path(cr);
    any = true;
  }
  if (!any) return;
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  SetColour(cr, kSelectedFill, kSelectedFillAlpha);
  cairo_fill(cr);
}

// A closed line through points, clipped to the box.
void AddLoop(cairo_t* cr, const Point2* p, size_t n, const ClipBox& box) {
  bool inside = true;
  for (size_t i = 0; i < n; ++i) inside = inside && box.Inside(p[i]);
  if (inside) {
    cairo_move_to(cr, p[0].x, p[0].y);
    for (size_t i = 1; i < n; ++i) cairo_line_to(cr, p[i].x, p[i].y);
    cairo_close_path(cr);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    Point2 a = p[i], b = p[(i + 1) % n];
    if (!ClipSegment(box, a, b)) continue;
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
  }
}

// The edges of the shapes and outlines whose selection is `selected` (all of them when
// `which` is false), in one path stroked once, so an edge two polygons share is not drawn darker.
void StrokeEdges(cairo_t* cr, const std::vector<Shape>& shapes,
                 const std::vector<Outline>& outlines, const ClipBox& box, double width, bool which,
                 bool selected, Rgb colour) {
  for (const Shape& s : shapes)
    if (!s.inNgon && (!which || s.selected == selected)) AddLoop(cr, s.p, size_t(s.corners), box);
  for (const Outline& o : outlines)
    if (!which || o.selected == selected) AddLoop(cr, o.p.data(), o.p.size(), box);
  SetColour(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// Selected UV points of the drawn polygons: a filled dot with a thin white ring, so a dot reads
// on dark edges and on the tint alike.
void DrawPoints(cairo_t* cr, const std::vector<Shape>& shapes, const std::vector<Int32>& shapeOf,
                const BaseSelect& pointSel, double radius, double ring, int size) {
  const Int32 limit = static_cast<Int32>(shapeOf.size()) * 4;
  Int32 a = 0, b = 0;
  std::vector<Point2> centres;
  for (Int32 seg = 0; seg < pointSel.GetSegments(); ++seg) {
    if (!pointSel.GetRange(seg, limit, &a, &b)) continue;
    for (Int32 i = std::max(a, 0); i <= b; ++i) {
      const Int32 k = shapeOf[static_cast<size_t>(i / 4)];
      if (k < 0) continue;
      const Shape& s = shapes[static_cast<size_t>(k)];
      if (i % 4 >= s.corners) continue;  // corner d of a triangle
      const Point2 c = s.p[i % 4];
      const double reach = radius + ring;
      if (c.x < -reach || c.y < -reach || c.x > size + reach || c.y > size + reach) continue;
      centres.push_back(c);
    }
  }
  if (centres.empty()) return;
  for (const Point2& c : centres) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, radius + ring, 0.0, 2.0 * std::numbers::pi);
  }
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_fill(cr);
  for (const Point2& c : centres) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, radius, 0.0, 2.0 * std::numbers::pi);
  }
  SetColour(cr, kPoint);
  cairo_fill(cr);
}

// Each polygon that has a heat colour filled with it.
void FillHeat(cairo_t* cr, const std::vector<Shape>& shapes,
              const std::vector<std::optional<Rgb8>>& fill, const ClipBox& box) {
  for (const Shape& s : shapes) {
    const size_t i = static_cast<size_t>(s.polygon);
    if (i >= fill.size() || !fill[i]) continue;
    const std::vector<Point2> poly = ClipPolygon(box, std::vector<Point2>(s.p, s.p + s.corners));
    if (poly.size() < 3) continue;
    cairo_move_to(cr, poly[0].x, poly[0].y);
    for (size_t k = 1; k < poly.size(); ++k) cairo_line_to(cr, poly[k].x, poly[k].y);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, fill[i]->r / 255.0, fill[i]->g / 255.0, fill[i]->b / 255.0);
    cairo_fill(cr);
  }
}

int LegendHeight(int size) {
  return std::max(36, size / 10);
}

// The legend strip below the layout: the title, the colour bar and its numbers.
void DrawLegend(cairo_t* cr, const HeatLegend& legend, int size, int height) {
  const double margin = MappingFor(size).margin;
  const double font = std::max(8.0, height * 0.22);
  const double x0 = margin, x1 = size - margin;
  const double barTop = size + height * 0.38, barHeight = height * 0.22;
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font);
  SetColour(cr, kEdge);
  cairo_move_to(cr, x0, size + height * 0.28);
  cairo_show_text(cr, legend.title.c_str());
  if (!legend.stops.empty()) {
    cairo_pattern_t* bar = cairo_pattern_create_linear(x0, 0, x1, 0);
    for (const auto& [at, c] : legend.stops)
      cairo_pattern_add_color_stop_rgb(bar, at, c.r / 255.0, c.g / 255.0, c.b / 255.0);
    cairo_rectangle(cr, x0, barTop, x1 - x0, barHeight);
    cairo_set_source(cr, bar);
    cairo_fill(cr);
    cairo_pattern_destroy(bar);
  }
  SetColour(cr, kEdge);
  for (const auto& [at, text] : legend.labels) {
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    const double x = std::max(x0, std::min(x0 + at * (x1 - x0) - ext.x_advance * at, x1 - ext.x_advance));
    cairo_move_to(cr, x, barTop + barHeight + font * 1.1);
    cairo_show_text(cr, text.c_str());
  }
}

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Encodes the surface as PNG and replaces path with it through a temporary file.
bool SavePng(cairo_surface_t* surface, const std::string& path, std::string& error) {
  std::string png;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, AppendTo, &png);
  std::string why;
  if (status != CAIRO_STATUS_SUCCESS)
    why = cairo_status_to_string(status);
  else if (ReplaceFile(path, png, ReplaceOptions(), why))
    return true;
  error = "cannot write " + Quoted(path) + ": " + why;
  return false;
}

// One object as the picture shows it.
struct Drawn {
  PolygonObject* op = nullptr;
  std::vector<Shape> shapes;
  std::vector<Int32> shapeOf;  // per polygon: its shape, -1 when not drawn
  std::vector<Outline> outlines;
};

#endif

}  // namespace

std::vector<bool> SelectionMembers(const BaseSelect& sel, Int32 count) {
  std::vector<bool> in(static_cast<size_t>(std::max(count, 0)), false);
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; seg < sel.GetSegments(); ++seg)
    if (sel.GetRange(seg, count, &a, &b))
      for (Int32 i = std::max(a, 0); i <= b; ++i) in[static_cast<size_t>(i)] = true;
  return in;
}

std::vector<InspectReport> InspectForPreview(const std::vector<PolygonObject*>& objects,
                                             HeatMode mode) {
  std::vector<InspectReport> reports;
  if (mode == HeatMode::kNone) return reports;
  for (PolygonObject* op : objects) {
    Layout layout;
    if (op && LayoutOf(*op, layout)) reports.push_back(Inspect(layout));
  }
  return reports;
}

std::vector<PolygonObject*> ObjectsWithUVs(BaseDocument& doc) {
  std::vector<PolygonObject*> r;
  std::function<void(BaseObject*)> walk = [&](BaseObject* op) {
    for (; op; op = op->GetNext()) {
      if (auto* po = dynamic_cast<PolygonObject*>(op); po && GetEditedUVWTag(po)) r.push_back(po);
      walk(op->GetDown());
    }
  };
  walk(doc.GetFirstObject());
  return r;
}

bool WritePreview(PolygonObject& op, const std::string& path, const PreviewOptions& options,
                  std::string& error, std::string* note) {
  return WritePreview(std::vector<PolygonObject*>{&op}, path, options, error, note);
}

bool WritePreview(const std::vector<PolygonObject*>& objects, const std::string& path,
                  const PreviewOptions& options, std::string& error, std::string* note) {
  const int size = options.size;
  const bool svg = HasSuffix(path, ".svg");
  if (!HasSuffix(path, ".png") && !svg) {
    error = "cannot write " + Quoted(path) +
            ": a preview is a PNG picture or an SVG drawing; give the file the suffix .png or .svg";
    return false;
  }
  if (size < kMinSize || size > kMaxSize) {
    error = "cannot write " + Quoted(path) + ": preview size " + std::to_string(size) +
            " is outside " + std::to_string(kMinSize) + " to " + std::to_string(kMaxSize) +
            " pixels";
    return false;
  }
  if (svg) {
    if (note) note->clear();
    return WriteSvgPreview(objects, path, options, error);
  }
#ifdef PELTERRA_NO_CAIRO
  (void)objects;
  (void)note;
  error = "cannot write " + Quoted(path) +
          (options.color == HeatMode::kNone
               ? ": PNG previews are not available in this build (it is built without cairo)"
               : ": PNG heatmaps are not available in this build (it is built without cairo); "
                 "name the file .svg for the heatmap as a drawing");
  return false;
#else
  std::vector<Drawn> drawn;
  for (PolygonObject* op : objects)
    if (op && GetEditedUVWTag(op)) drawn.push_back({op, {}, {}, {}});
  if (drawn.empty()) {
    const std::string name = objects.size() == 1 && objects[0] ? objects[0]->GetName() : "";
    error = "cannot write " + Quoted(path) + ": " +
            (objects.size() != 1 ? std::string("no object has UVs")
             : name.empty()      ? std::string("the object has no UVW tag")
                                 : "object " + Quoted(name) + " has no UVW tag");
    return false;
  }

  // The UVs of the polygons drawn, and their bounds.
  struct UVPolygon {
    Int32 polygon;
    int corners;
    Vector uv[4];
  };
  std::vector<std::vector<UVPolygon>> uvs(drawn.size());
  Vector lo(std::numeric_limits<double>::infinity()), hi(-std::numeric_limits<double>::infinity());
  double area = 0.0;
  size_t corners = 0;
  for (size_t o = 0; o < drawn.size(); ++o) {
    PolygonObject& op = *drawn[o].op;
    const ConstUVWHandle uvw = GetEditedUVWTag(&op)->GetDataAddressR();
    const Int32 count = std::min(op.GetPolygonCount(), uvw.count);
    const CPolygon* polys = op.GetPolygonR();
    uvs[o].reserve(static_cast<size_t>(std::max(count, 0)));
    for (Int32 i = 0; i < count; ++i) {
      UVWStruct s;
      UVWTag::Get(uvw, i, s);
      UVPolygon p{i, polys[i].IsTriangle() ? 3 : 4, {s.a, s.b, s.c, s.d}};
      bool finite = true;
      for (int k = 0; k < p.corners; ++k)
        finite = finite && std::isfinite(p.uv[k].x) && std::isfinite(p.uv[k].y);
      if (!finite) continue;  // left out: it would spoil the picture
      double twice = 0.0;     // twice the polygon's signed area
      for (int k = 0; k < p.corners; ++k) {
        lo = Vector(std::min(lo.x, p.uv[k].x), std::min(lo.y, p.uv[k].y), 0);
        hi = Vector(std::max(hi.x, p.uv[k].x), std::max(hi.y, p.uv[k].y), 0);
        const Vector& a = p.uv[k];
        const Vector& b = p.uv[(k + 1) % p.corners];
        twice += a.x * b.y - b.x * a.y;
        ++corners;
      }
      area += std::fabs(twice);
      uvs[o].push_back(p);
    }
  }
  if (note) {
    note->clear();
    if (corners > 0 && lo.x == hi.x && lo.y == hi.y)
      *note = "the UV layout has no area: all UVs lie on one point (" + hostrt::FormatNumber(lo.x) +
              ", " + hostrt::FormatNumber(lo.y) + ")";
    else if (corners > 0 && area == 0.0)
      *note = "the UV layout has no area: all UVs lie on lines";
  }

  Mapping map = MappingFor(size);
  const bool outside = corners > 0 && (lo.x < 0.0 || lo.y < 0.0 || hi.x > 1.0 || hi.y > 1.0);
  const double extent = std::max(hi.x - lo.x, hi.y - lo.y);
  if (options.fit && outside && extent > 0.0 && std::isfinite(extent)) {
    // A square frame about the bounds' centre.
    map.extent = extent;
    map.u0 = (lo.x + hi.x) / 2.0 - extent / 2.0;
    map.v0 = (lo.y + hi.y) / 2.0 - extent / 2.0;
  }

  const double scale = size / 256.0;
  const double edgeWidth = 0.45 + 0.7 * std::sqrt(scale);            // 1.15 px at 256, 1.85 at 1024
  const double radius = std::max(1.5, 2.5 * std::pow(scale, 0.34));  // 2.5 px at 256, 4 at 1024
  const double ring = std::max(0.75, 0.4 * edgeWidth);
  const double pad = edgeWidth + radius + ring + 2.0;
  const ClipBox box{-pad, size + pad};

  // The polygons in pixels, with their selection; n-gons as outlines.
  for (size_t o = 0; o < drawn.size(); ++o) {
    Drawn& d = drawn[o];
    PolygonObject& op = *d.op;
    const Int32 polyCount = op.GetPolygonCount();
    const std::vector<bool> selected = SelectionMembers(*op.GetPolygonS(), polyCount);
    d.shapeOf.assign(static_cast<size_t>(std::max(polyCount, 0)), -1);
    d.shapes.reserve(uvs[o].size());
    for (const UVPolygon& p : uvs[o]) {
      Shape s{p.polygon, p.corners, {}, selected[static_cast<size_t>(p.polygon)], false};
      for (int k = 0; k < p.corners; ++k) s.p[k] = map(p.uv[k]);
      d.shapeOf[static_cast<size_t>(p.polygon)] = static_cast<Int32>(d.shapes.size());
      d.shapes.push_back(s);
    }
    // An outline corner takes its place from the first drawn polygon of the n-gon that uses it;
    // cornerOf is filled and cleared per n-gon, so the work stays linear.
    const CPolygon* polys = op.GetPolygonR();
    std::vector<Int64> cornerOf(static_cast<size_t>(std::max(op.GetPointCount(), 0)), -1);
    for (const PolygonObject::Ngon& g : op.GetNgons()) {
      std::vector<Int32> members;
      for (Int32 q : g.polygons)
        if (q >= 0 && q < polyCount && d.shapeOf[static_cast<size_t>(q)] >= 0) members.push_back(q);
      if (members.empty()) continue;
      for (Int32 q : members)
        for (Int32 k = 0; k < 4; ++k) {
          const Int32 pt = polys[q][k];
          if (pt >= 0 && pt < op.GetPointCount() && cornerOf[static_cast<size_t>(pt)] < 0)
            cornerOf[static_cast<size_t>(pt)] = Int64(q) * 4 + k;
        }
      Outline outline;
      outline.selected = selected[static_cast<size_t>(members.front())];
      bool complete = g.outline.size() >= 3;
      for (Int32 pt : g.outline) {
        const Int64 at =
            pt >= 0 && pt < op.GetPointCount() ? cornerOf[static_cast<size_t>(pt)] : -1;
        if (at < 0) {
          complete = false;
          break;
        }
        const Shape& s = d.shapes[static_cast<size_t>(d.shapeOf[static_cast<size_t>(at / 4)])];
        outline.p.push_back(s.p[at % 4]);
      }
      for (Int32 q : members)
        for (Int32 k = 0; k < 4; ++k)
          if (polys[q][k] >= 0 && polys[q][k] < op.GetPointCount())
            cornerOf[static_cast<size_t>(polys[q][k])] = -1;
      if (!complete) continue;  // drawn as its triangles
      for (Int32 q : members)
        d.shapes[static_cast<size_t>(d.shapeOf[static_cast<size_t>(q)])].inNgon = true;
      d.outlines.push_back(std::move(outline));
    }
  }

  // Heatmaps: each object's inspection colours its polygons; the legend goes below the layout.
  std::vector<PolygonObject*> inspected;
  for (const Drawn& d : drawn) inspected.push_back(d.op);
  const std::vector<InspectReport> reports = InspectForPreview(inspected, options.color);
  std::vector<const InspectReport*> reportOf;
  for (const InspectReport& r : reports) reportOf.push_back(&r);
  const HeatColours heat = ColourBy(options.color, reportOf);
  const int legendHeight = options.color == HeatMode::kNone ? 0 : LegendHeight(size);

  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size + legendHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  DrawGrid(cr, size, map, edgeWidth);
  for (size_t o = 0; o < drawn.size() && o < heat.fill.size(); ++o)
    FillHeat(cr, drawn[o].shapes, heat.fill[o], box);
  if (legendHeight > 0) DrawLegend(cr, heat.legend, size, legendHeight);
  for (const Drawn& d : drawn) FillSelected(cr, d.shapes, box);
  if (options.selected) {
    for (const Drawn& d : drawn)
      StrokeEdges(cr, d.shapes, d.outlines, box, edgeWidth, true, false, kEdgeLight);
    for (const Drawn& d : drawn)
      StrokeEdges(cr, d.shapes, d.outlines, box, edgeWidth, true, true, kEdge);
  } else {
    for (const Drawn& d : drawn)
      StrokeEdges(cr, d.shapes, d.outlines, box, edgeWidth, false, false, kEdge);
  }
  for (const Drawn& d : drawn)
    DrawPoints(cr, d.shapes, d.shapeOf, *hostrt::UVPointSelection(d.op), radius, ring, size);
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  bool ok = false;
  if (status != CAIRO_STATUS_SUCCESS)
    error = "cannot write " + Quoted(path) + ": " + cairo_status_to_string(status);
  else
    ok = SavePng(surface, path, error);
  cairo_surface_destroy(surface);
  return ok;
#endif
}

}  // namespace pelterra
