// Inspection of UV layouts: overlaps, flipped and zero-area polygons, texel density per island,
// stretch and the used share of the unit square (docs/inspect.md).
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "c4d_baseobject.h"

namespace pelterra {

// One polygon with its UV corners, u and v as the host holds them (v down).
struct LayoutPolygon {
  int corners = 4;              // 3 or 4
  std::array<Int32, 4> point{};  // indices into Layout::points
  std::array<double, 4> u{}, v{};
};

// A mesh reduced to what the inspection reads.
struct Layout {
  std::string name;
  std::vector<Vector> points;
  std::vector<LayoutPolygon> polygons;
};

// The layout of op's edited UVW tag (the first selected one, else the first); false when op has
// none. Polygons past the tag's records get no UVs: their corners are not finite.
bool LayoutOf(const PolygonObject& op, Layout& out);

// Whether the interiors of two polygons' UV shapes intersect. Shared edges, touching corners and
// collinear edges with the polygons on either side do not count. Polygons whose UV area is zero
// or whose corners are not finite have no interior.
bool UVInteriorsIntersect(const LayoutPolygon& a, const LayoutPolygon& b);

struct OverlapResult {
  Int64 count = 0;                              // pairs whose interiors intersect
  bool complete = true;                         // false: the work limit stopped the search
  std::vector<std::pair<Int32, Int32>> first;   // the smallest pairs (i < j), in order
  std::vector<std::uint8_t> involved;           // per polygon: 1 when in some pair found
};

// Grid over the polygons' UV boxes, then the exact test for each pair of boxes that share a cell.
// workLimit bounds the pairs looked at (stacked layouts would otherwise take quadratic time).
OverlapResult FindOverlaps(const Layout& layout, size_t shown = 10,
                           Int64 workLimit = 400'000'000);
// Every pair tested, for comparison.
OverlapResult FindOverlapsAllPairs(const Layout& layout, size_t shown = 10);

// UV area at or below this (UV units squared) counts as zero.
constexpr double kZeroUVArea = 1e-12;

struct IslandFlips {
  Int32 island = 0;
  Int32 flipped = 0, polygons = 0;
};

struct Extreme {
  double value = std::numeric_limits<double>::quiet_NaN();
  Int32 at = -1;  // polygon or island; -1: none
};

struct InspectReport {
  std::string name;
  Int32 polygons = 0;
  Int32 islands = 0;
  OverlapResult overlaps;
  Int32 flipped = 0;
  std::vector<IslandFlips> flippedIslands;  // islands with a flipped polygon, in order
  Int32 zeroArea = 0;
  std::vector<Int32> zeroAreaFirst;  // the first few
  Int32 nonFiniteCorners = 0, nonFinitePolygons = 0;
  Int32 degenerate3D = 0;  // polygons without 3D area: no density or stretch
  // Density: sqrt(UV area / 3D area) per island.
  Int32 densityIslands = 0;  // islands with a density
  Extreme densityMin, densityMax;
  double densityMedian = std::numeric_limits<double>::quiet_NaN();
  double densitySpread = std::numeric_limits<double>::quiet_NaN();  // max / min
  // Stretch: area distortion (UV share / 3D share) and angle distortion in degrees.
  Extreme areaMax, areaMin;  // largest and smallest area distortion
  Extreme areaWorst;         // largest of max(d, 1/d)
  Extreme angleWorst;
  double usedShare = 0.0;  // of the unit square, from a 2048 x 2048 raster

  // Per polygon, for the heatmaps.
  std::vector<Int32> island;         // -1: no island (non-finite UVs)
  std::vector<double> islandDensity;  // per island; NaN: none
  std::vector<double> areaDistortion;  // per polygon; NaN: none
  std::vector<std::uint8_t> flippedPolygon;
};

InspectReport Inspect(const Layout& layout);

// Resolution of the raster that measures the used share.
constexpr int kShareRaster = 2048;

// The report as lines of text, each starting with indent.
std::string ReportText(const InspectReport& r, const std::string& indent = "  ");
// The report as JSON: ReportJson in inspect_json.h.

struct InspectLimits {
  std::optional<Int64> overlaps;
  std::optional<double> densitySpread;
  std::optional<double> stretch;  // area distortion factor max(d, 1/d)
};
// What the report exceeds, one line each; empty when within every limit.
std::vector<std::string> Exceeded(const InspectReport& r, const InspectLimits& limits);

// Colours of the heatmap previews.
enum class HeatMode { kNone, kDensity, kStretch, kFlips, kOverlaps };
bool ParseHeatMode(const std::string& word, HeatMode& mode);
const char* HeatModeName(HeatMode mode);

struct Rgb8 {
  std::uint8_t r = 0, g = 0, b = 0;
};
// Perceptually uniform, dark blue (0) through green to yellow (1).
Rgb8 Viridis(double t);
// Diverging: blue (-1), white (0), red (1).
Rgb8 Diverging(double t);

// The colours of a heatmap over several reports, and the legend that explains them.
struct HeatLegend {
  HeatMode mode = HeatMode::kNone;
  std::string title;
  std::vector<std::pair<double, Rgb8>> stops;  // position 0..1 along the bar, colour
  std::vector<std::pair<double, std::string>> labels;  // position 0..1, text
};
struct HeatColours {
  // Per report, per polygon: the fill, or nullopt for none.
  std::vector<std::vector<std::optional<Rgb8>>> fill;
  HeatLegend legend;
};
HeatColours ColourBy(HeatMode mode, const std::vector<const InspectReport*>& reports);

}  // namespace pelterra
