#include "runtime/view_image.h"

#ifndef PELTERRA_NO_CAIRO
#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "c4d_baseobject.h"

namespace hostrt {

#ifdef PELTERRA_NO_CAIRO

bool WriteViewImage(BaseDocument&, const BaseDraw&, const std::string& path, Int32,
                    std::string& error) {
  error = "cannot write " + path +
          ": view pictures are not available in this build (it is built without cairo)";
  return false;
}

#else

namespace {

struct Segment {
  Vector a, b;
};

// Each polygon's sides in world space: a quad a-b-c-d-a, a triangle a-b-c-a.
void AddEdges(const PolygonObject& op, const Matrix& mg, std::vector<Segment>& out) {
  const Vector* pts = op.GetPointR();
  const Int32 pc = op.GetPointCount();
  const CPolygon* polys = op.GetPolygonR();
  for (Int32 p = 0; p < op.GetPolygonCount(); ++p) {
    const CPolygon& c = polys[p];
    const Int32 corners = c.IsTriangle() ? 3 : 4;
    for (Int32 k = 0; k < corners; ++k) {
      const Int32 i = c[k], j = c[(k + 1) % corners];
      if (i < 0 || i >= pc || j < 0 || j >= pc) continue;
      out.push_back({mg * pts[i], mg * pts[j]});
    }
  }
}

void CollectEdges(BaseObject* op, std::vector<Segment>& out) {
  for (; op; op = op->GetNext()) {
    if (auto* po = dynamic_cast<PolygonObject*>(op))
      AddEdges(*po, op->GetMg(), out);
    else if (auto* cache = dynamic_cast<PolygonObject*>(op->GetCache()))
      AddEdges(*cache, op->GetMg(), out);
    CollectEdges(op->GetDown(), out);
  }
}

bool Finite(const Vector& a, const Vector& b) {
  return a.IsFinite() && b.IsFinite();
}

Float Channel(Float c) {
  return std::isnan(c) ? 0.0 : std::clamp(c, 0.0, 1.0);
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

// Writes surface to a temporary file beside path, then renames it into place.
bool SavePng(cairo_surface_t* surface, const std::string& path, std::string& error) {
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](const std::string& why) {
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + why;
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

bool WriteViewImage(BaseDocument& doc, const BaseDraw& view, const std::string& path, Int32 size,
                    std::string& error) {
  const size_t dot = path.rfind('.');
  std::string suffix = dot == std::string::npos ? std::string() : path.substr(dot);
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (suffix != ".png") {
    error = "a view picture is a PNG: \"" + path + "\" needs the suffix .png";
    return false;
  }
  if (size < 16 || size > 8192) {
    error = "a view picture is 16 to 8192 pixels wide, not " + std::to_string(size);
    return false;
  }

  std::vector<Segment> edges;
  CollectEdges(doc.GetFirstObject(), edges);
  const std::vector<BaseDraw::Line>& lines = view.Lines();

  // The frame: a square about everything drawn.
  Float lx = HUGE_VAL, ly = HUGE_VAL, hx = -HUGE_VAL, hy = -HUGE_VAL;
  auto grow = [&](const Vector& a, const Vector& b) {
    if (!Finite(a, b)) return;
    for (const Vector& p : {a, b}) {
      lx = std::min(lx, p.x);
      ly = std::min(ly, p.y);
      hx = std::max(hx, p.x);
      hy = std::max(hy, p.y);
    }
  };
  for (const Segment& s : edges) grow(s.a, s.b);
  for (const BaseDraw::Line& l : lines) grow(l.a, l.b);
  if (lx > hx) lx = ly = -1.0, hx = hy = 1.0;
  Float extent = std::max(hx - lx, hy - ly);
  if (!(extent > 0.0) || !std::isfinite(extent)) extent = 1.0;
  const Float x0 = (lx + hx) / 2.0 - extent / 2.0, y0 = (ly + hy) / 2.0 - extent / 2.0;
  const Float margin = std::floor(size / 20.0), span = size - 2.0 * margin;
  // Pixel centres, so that lines one pixel wide cover whole pixels.
  auto px = [&](Float x) { return std::floor(margin + (x - x0) / extent * span) + 0.5; };
  auto py = [&](Float y) { return std::floor(size - margin - (y - y0) / extent * span) + 0.5; };
  auto visible = [&](const Vector& a, const Vector& b) {
    return Finite(a, b) && std::isfinite(px(a.x)) && std::isfinite(px(b.x)) &&
           std::isfinite(py(a.y)) && std::isfinite(py(b.y));
  };

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0.24, 0.24, 0.24);
  cairo_paint(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgb(cr, 0.55, 0.65, 0.8);
  for (const Segment& s : edges) {
    if (!visible(s.a, s.b)) continue;
    cairo_move_to(cr, px(s.a.x), py(s.a.y));
    cairo_line_to(cr, px(s.b.x), py(s.b.y));
  }
  cairo_stroke(cr);
  for (const BaseDraw::Line& l : lines) {
    if (!visible(l.a, l.b)) continue;
    cairo_set_source_rgb(cr, Channel(l.color.x), Channel(l.color.y), Channel(l.color.z));
    cairo_set_line_width(cr, std::isfinite(l.width) ? std::clamp(l.width, 1.0, 16.0) : 1.0);
    cairo_move_to(cr, px(l.a.x), py(l.a.y));
    cairo_line_to(cr, px(l.b.x), py(l.b.y));
    cairo_stroke(cr);
  }
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bool ok = false;
  if (status != CAIRO_STATUS_SUCCESS)
    error = "cannot write " + path + ": " + cairo_status_to_string(status);
  else
    ok = SavePng(surface, path, error);
  cairo_surface_destroy(surface);
  return ok;
}

#endif

}  // namespace hostrt
