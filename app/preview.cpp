#include "preview.h"

#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "c4d_painter.h"

namespace pelterra {

namespace {

constexpr int kMinSize = 16;
constexpr int kMaxSize = 8192;

struct Rgb {
  double r, g, b;
};

// Colours, chosen to read on white and against each other.
constexpr Rgb kBorder{0.45, 0.47, 0.52};
constexpr Rgb kGrid{0.83, 0.85, 0.88};
constexpr Rgb kFineGrid{0.92, 0.93, 0.95};
constexpr Rgb kEdge{0.10, 0.13, 0.20};
constexpr Rgb kSelectedFill{0.15, 0.55, 1.00};
constexpr double kSelectedFillAlpha = 0.30;
constexpr Rgb kPoint{0.90, 0.10, 0.05};

struct Point2 {
  double x, y;
};

// Unit square → picture: margin + (u, v) × span, v downwards.
struct Mapping {
  double margin;
  double span;
  Point2 operator()(const Vector& uv) const { return {margin + uv.x * span, margin + uv.y * span}; }
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
};

std::vector<bool> Membership(const BaseSelect& sel, Int32 count) {
  std::vector<bool> in(static_cast<size_t>(std::max(count, 0)), false);
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; seg < sel.GetSegments(); ++seg)
    if (sel.GetRange(seg, count, &a, &b))
      for (Int32 i = std::max(a, 0); i <= b; ++i) in[static_cast<size_t>(i)] = true;
  return in;
}

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Grid lines thinner than the UV edges, the border as wide as them, all whole pixels.
void DrawGrid(cairo_t* cr, int size, const Mapping& map, double edgeWidth) {
  const int gridWidth = std::max(1, static_cast<int>(std::lround(0.6 * edgeWidth)));
  const int borderWidth = std::max(1, static_cast<int>(std::lround(edgeWidth)));
  auto lines = [&](int divisions, int skipEvery, int width, Rgb colour) {
    SetColour(cr, colour);
    cairo_set_line_width(cr, width);
    const double lo = Snap(map.margin, width), hi = Snap(map.margin + map.span, width);
    for (int i = 1; i < divisions; ++i) {
      if (skipEvery && i % skipEvery == 0) continue;
      const double c = Snap(map.margin + map.span * i / divisions, width);
      cairo_move_to(cr, c, lo);
      cairo_line_to(cr, c, hi);
      cairo_move_to(cr, lo, c);
      cairo_line_to(cr, hi, c);
    }
    cairo_stroke(cr);
  };
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  if (size >= 512) lines(32, 4, gridWidth, kFineGrid);
  lines(8, 0, gridWidth, kGrid);
  SetColour(cr, kBorder);
  cairo_set_line_width(cr, borderWidth);
  const double lo = Snap(map.margin, borderWidth), hi = Snap(map.margin + map.span, borderWidth);
  cairo_rectangle(cr, lo, lo, hi - lo, hi - lo);
  cairo_stroke(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

// Selected polygons as one path, each turned counter-clockwise on screen so the non-zero rule
// paints their union once: overlaps are not tinted twice.
void FillSelected(cairo_t* cr, const std::vector<Shape>& shapes, const std::vector<bool>& selected,
                  const ClipBox& box) {
  bool any = false;
  for (const Shape& s : shapes) {
    if (!selected[static_cast<size_t>(s.polygon)]) continue;
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

// All edges in one path stroked once, so an edge two polygons share is not drawn darker.
void StrokeEdges(cairo_t* cr, const std::vector<Shape>& shapes, const ClipBox& box, double width) {
  for (const Shape& s : shapes) {
    bool inside = true;
    for (int i = 0; i < s.corners; ++i) inside = inside && box.Inside(s.p[i]);
    if (inside) {
      cairo_move_to(cr, s.p[0].x, s.p[0].y);
      for (int i = 1; i < s.corners; ++i) cairo_line_to(cr, s.p[i].x, s.p[i].y);
      cairo_close_path(cr);
      continue;
    }
    for (int i = 0; i < s.corners; ++i) {
      Point2 a = s.p[i], b = s.p[(i + 1) % s.corners];
      if (!ClipSegment(box, a, b)) continue;
      cairo_move_to(cr, a.x, a.y);
      cairo_line_to(cr, b.x, b.y);
    }
  }
  SetColour(cr, kEdge);
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

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

cairo_status_t WriteToFd(void* closure, const unsigned char* data, unsigned int length) {
  const int fd = *static_cast<int*>(closure);
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    data += n;
    length -= static_cast<unsigned int>(n);
  }
  return CAIRO_STATUS_SUCCESS;
}

// Writes the surface as PNG to a temporary file beside path, then renames it into place.
bool SavePng(cairo_surface_t* surface, const std::string& path, std::string& error) {
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](const std::string& why) {
    ::unlink(temp.c_str());
    error = "cannot write " + Quoted(path) + ": " + why;
    return false;
  };
  int fdCopy = fd;
  errno = 0;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, WriteToFd, &fdCopy);
  if (status != CAIRO_STATUS_SUCCESS) {
    const std::string why = errno ? std::strerror(errno) : cairo_status_to_string(status);
    ::close(fd);
    return fail(why);
  }
  if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    return fail(why);
  }
  if (::close(fd) != 0) return fail(std::strerror(errno));
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail(std::strerror(errno));
  return true;
}

}  // namespace

bool WritePreview(PolygonObject& op, const std::string& path, const PreviewOptions& options,
                  std::string& error) {
  const int size = options.size;
  if (size < kMinSize || size > kMaxSize) {
    error = "cannot write " + Quoted(path) + ": preview size " + std::to_string(size) +
            " is outside " + std::to_string(kMinSize) + " to " + std::to_string(kMaxSize) +
            " pixels";
    return false;
  }
  UVWTag* tag = GetEditedUVWTag(&op);
  if (!tag) {
    const std::string name = op.GetName();
    error = "cannot write " + Quoted(path) + ": " +
            (name.empty() ? std::string("the object") : "object " + Quoted(name)) +
            " has no UVW tag";
    return false;
  }

  const Mapping map = MappingFor(size);
  const double scale = size / 256.0;
  const double edgeWidth = 0.45 + 0.7 * std::sqrt(scale);            // 1.15 px at 256, 1.85 at 1024
  const double radius = std::max(1.5, 2.5 * std::pow(scale, 0.34));  // 2.5 px at 256, 4 at 1024
  const double ring = std::max(0.75, 0.4 * edgeWidth);
  const double pad = edgeWidth + radius + ring + 2.0;
  const ClipBox box{-pad, size + pad};

  // The polygons drawn, with their corners in pixels.
  const Int32 polyCount = op.GetPolygonCount();
  const std::vector<bool> selected = Membership(*op.GetPolygonS(), polyCount);
  const ConstUVWHandle uvw = tag->GetDataAddressR();
  const Int32 count = std::min(polyCount, uvw.count);
  const CPolygon* polys = op.GetPolygonR();
  std::vector<Shape> shapes;
  std::vector<Int32> shapeOf(static_cast<size_t>(std::max(count, 0)), -1);
  shapes.reserve(static_cast<size_t>(std::max(count, 0)));
  for (Int32 i = 0; i < count; ++i) {
    if (options.selectedOnly && !selected[static_cast<size_t>(i)]) continue;
    UVWStruct uv;
    UVWTag::Get(uvw, i, uv);
    Shape s{i, polys[i].IsTriangle() ? 3 : 4, {}};
    bool finite = true;
    for (int k = 0; k < s.corners; ++k) {
      s.p[k] = map(uv[k]);
      finite = finite && std::isfinite(s.p[k].x) && std::isfinite(s.p[k].y);
    }
    if (!finite) continue;
    shapeOf[static_cast<size_t>(i)] = static_cast<Int32>(shapes.size());
    shapes.push_back(s);
  }

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  DrawGrid(cr, size, map, edgeWidth);
  FillSelected(cr, shapes, selected, box);
  StrokeEdges(cr, shapes, box, edgeWidth);
  DrawPoints(cr, shapes, shapeOf, *hostrt::UVPointSelection(&op), radius, ring, size);
  const cairo_status_t drawn = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  bool ok = false;
  if (drawn != CAIRO_STATUS_SUCCESS)
    error = "cannot write " + Quoted(path) + ": " + cairo_status_to_string(drawn);
  else
    ok = SavePng(surface, path, error);
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace pelterra
