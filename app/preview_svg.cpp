// The UV layout as an SVG drawing. Path coordinates are the UVs themselves (u right, v down, as
// the host's UV editor shows them), written with every digit, so a reader gets them back exactly.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "c4d_painter.h"
#include "file_access.h"
#include "preview.h"

namespace pelterra {

namespace {

std::string Exact(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v == 0.0 ? 0.0 : v);
  return buf;
}

std::string Short(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v == 0.0 ? 0.0 : v);
  return buf;
}

// Sizes and places that are not UVs: ten digits are plenty.
std::string Frame(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v == 0.0 ? 0.0 : v);
  return buf;
}

std::string Hex(Rgb8 c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
  return buf;
}

std::string Escaped(const std::string& s) {
  std::string o;
  for (unsigned char c : s) {
    switch (c) {
      case '&':
        o += "&amp;";
        break;
      case '<':
        o += "&lt;";
        break;
      case '>':
        o += "&gt;";
        break;
      case '"':
        o += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        o += c < 0x20 && c != '\t' && c != '\n' ? '?' : static_cast<char>(c);
    }
  }
  return o;
}

}  // namespace

bool WriteSvgPreview(const std::vector<PolygonObject*>& objects, const std::string& path,
                     const PreviewOptions& options, std::string& error) {
  std::vector<PolygonObject*> drawn;
  std::vector<Layout> layouts;
  for (PolygonObject* op : objects) {
    Layout layout;
    if (op && LayoutOf(*op, layout)) {
      drawn.push_back(op);
      layouts.push_back(std::move(layout));
    }
  }
  if (drawn.empty()) {
    error = "cannot write \"" + path + "\": " +
            (objects.size() == 1 ? "the object has no UVW tag" : "no object has UVs");
    return false;
  }
  // The frame: the unit square, or with fit the UVs' bounds when they reach outside it.
  double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double hi[2] = {-lo[0], -lo[1]};
  for (const Layout& l : layouts)
    for (const LayoutPolygon& p : l.polygons)
      for (int k = 0; k < p.corners; ++k)
        if (std::isfinite(p.u[k]) && std::isfinite(p.v[k])) {
          lo[0] = std::min(lo[0], p.u[k]);
          lo[1] = std::min(lo[1], p.v[k]);
          hi[0] = std::max(hi[0], p.u[k]);
          hi[1] = std::max(hi[1], p.v[k]);
        }
  double u0 = 0.0, v0 = 0.0, extent = 1.0;
  const double reach = std::max(hi[0] - lo[0], hi[1] - lo[1]);
  if (options.fit && (lo[0] < 0 || lo[1] < 0 || hi[0] > 1 || hi[1] > 1) && reach > 0 &&
      std::isfinite(reach)) {
    extent = reach;
    u0 = (lo[0] + hi[0]) / 2 - reach / 2;
    v0 = (lo[1] + hi[1]) / 2 - reach / 2;
  }
  const double margin = 0.03 * extent;
  const std::vector<InspectReport> reports = InspectForPreview(drawn, options.color);
  std::vector<const InspectReport*> reportOf;
  for (const InspectReport& r : reports) reportOf.push_back(&r);
  const HeatColours heat = ColourBy(options.color, reportOf);
  const bool legend = options.color != HeatMode::kNone;
  const double legendHeight = legend ? 0.14 * extent : 0.0;
  const double side = extent + 2 * margin;
  const double px = options.size / side;  // pixels per UV unit
  const double line = 1.5 / px;           // a line about 1.5 px wide at the drawing's size

  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(options.size) +
       "\" height=\"" + std::to_string(static_cast<int>(std::lround((side + legendHeight) * px))) +
       "\" viewBox=\"" + Frame(u0 - margin) + " " + Frame(v0 - margin) + " " + Frame(side) + " " +
       Frame(side + legendHeight) + "\">\n";
  s += "<rect x=\"" + Frame(u0 - margin) + "\" y=\"" + Frame(v0 - margin) + "\" width=\"" +
       Frame(side) + "\" height=\"" + Frame(side + legendHeight) + "\" fill=\"#ffffff\"/>\n";

  // The grid: eighths within the frame, and the unit square.
  s += "<g id=\"grid\" fill=\"none\" stroke=\"#d4d9e0\" stroke-width=\"" + Frame(0.6 * line) +
       "\">\n<path d=\"";
  const bool unit = u0 == 0.0 && v0 == 0.0 && extent == 1.0;
  const double gLo = unit ? 0.0 : std::floor(std::min(u0, v0) - margin);
  const double gHi = unit ? 1.0 : std::ceil(std::max(u0, v0) + extent + margin);
  if ((gHi - gLo) * 8 <= 4096)
    for (double i = gLo * 8; i <= gHi * 8; ++i) {
      if (std::fmod(i, 8.0) == 0.0) continue;
      const double at = i / 8;
      s += "M" + Frame(at) + " " + Frame(gLo) + "V" + Frame(gHi) + "M" + Frame(gLo) + " " +
           Frame(at) + "H" + Frame(gHi);
    }
  s += "\"/>\n<rect id=\"unit-square\" x=\"0\" y=\"0\" width=\"1\" height=\"1\" stroke=\"#737885\" "
       "stroke-width=\"" + Frame(line) + "\"/>\n</g>\n";

  // One path per polygon; each object's selected polygons in a group of their own.
  auto pathOf = [&](size_t o, Int32 i, const LayoutPolygon& p) {
    std::string d = "<path id=\"o" + std::to_string(o) + "p" + std::to_string(i) + "\" d=\"M";
    for (int k = 0; k < p.corners; ++k)
      d += (k ? "L" : "") + Exact(p.u[k]) + " " + Exact(p.v[k]);
    d += "Z\"";
    if (o < heat.fill.size() && static_cast<size_t>(i) < heat.fill[o].size() &&
        heat.fill[o][static_cast<size_t>(i)])
      d += " fill=\"" + Hex(*heat.fill[o][static_cast<size_t>(i)]) + "\"";
    return d + "/>\n";
  };
  auto finite = [](const LayoutPolygon& p) {
    for (int k = 0; k < p.corners; ++k)
      if (!std::isfinite(p.u[k]) || !std::isfinite(p.v[k])) return false;
    return true;
  };
  std::string selectedGroup;
  s += "<g id=\"polygons\" fill=\"none\" stroke=\"#1a2133\" stroke-width=\"" + Frame(line) +
       "\" stroke-linejoin=\"round\">\n";
  for (size_t o = 0; o < drawn.size(); ++o) {
    const std::vector<bool> sel =
        SelectionMembers(*drawn[o]->GetPolygonS(), static_cast<Int32>(layouts[o].polygons.size()));
    s += "<g id=\"object" + std::to_string(o) + "\" data-name=\"" + Escaped(layouts[o].name) +
         "\">\n";
    std::string mine;
    for (size_t i = 0; i < layouts[o].polygons.size(); ++i) {
      const LayoutPolygon& p = layouts[o].polygons[i];
      if (!finite(p)) continue;
      (sel[i] ? mine : s) += pathOf(o, static_cast<Int32>(i), p);
    }
    s += "</g>\n";
    if (!mine.empty())
      selectedGroup += "<g id=\"selected" + std::to_string(o) + "\" data-name=\"" +
                       Escaped(layouts[o].name) + "\">\n" + mine + "</g>\n";
  }
  s += "</g>\n";
  s += "<g id=\"selected\" fill=\"#268cff\" fill-opacity=\"0.3\" stroke=\"#0a57c2\" "
       "stroke-width=\"" + Frame(1.5 * line) + "\" stroke-linejoin=\"round\">\n" + selectedGroup +
       "</g>\n";

  if (legend) {
    const double x0 = u0, x1 = u0 + extent, top = v0 + extent + margin;
    const double font = 0.028 * extent;
    s += "<defs><linearGradient id=\"scale\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">";
    for (const auto& [at, c] : heat.legend.stops)
      s += "<stop offset=\"" + Short(at) + "\" stop-color=\"" + Hex(c) + "\"/>";
    s += "</linearGradient></defs>\n";
    s += "<g id=\"legend\" font-family=\"sans-serif\" font-size=\"" + Frame(font) +
         "\" fill=\"#1a2133\">\n";
    s += "<text x=\"" + Frame(x0) + "\" y=\"" + Frame(top + 0.035 * extent) + "\">" +
         Escaped(heat.legend.title) + "</text>\n";
    s += "<rect x=\"" + Frame(x0) + "\" y=\"" + Frame(top + 0.05 * extent) + "\" width=\"" +
         Frame(extent) + "\" height=\"" + Frame(0.03 * extent) + "\" fill=\"url(#scale)\"/>\n";
    for (const auto& [at, text] : heat.legend.labels) {
      const char* anchor = at <= 0.0 ? "start" : at >= 1.0 ? "end" : "middle";
      s += "<text x=\"" + Frame(x0 + at * (x1 - x0)) + "\" y=\"" + Frame(top + 0.115 * extent) +
           "\" text-anchor=\"" + anchor + "\">" + Escaped(text) + "</text>\n";
    }
    s += "</g>\n";
  }
  s += "</svg>\n";
  std::string why;
  if (!ReplaceFile(path, s, ReplaceOptions(), why)) {
    error = "cannot write \"" + path + "\": " + why;
    return false;
  }
  return true;
}

}  // namespace pelterra
