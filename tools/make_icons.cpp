// make_icons: draws the Pelterra plug-in icons (32 x 32 RGBA TIFF) into a folder.
//
//   g++ -std=c++17 -O1 -Wall -Wextra -Werror tools/make_icons.cpp -ltiff -o /tmp/make_icons
//   /tmp/make_icons res
//
// Every picture is built from a few anti-aliased primitives (rectangles, discs,
// arcs, thick lines, polygons, arrows), each sampled 4 x 4 times per pixel.

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int N = 32;
constexpr float kPi = 3.14159265f;

struct Color {
  float r, g, b, a;
};
struct Pt {
  float x, y;
};

// Palette.
constexpr Color kInk{0.36f, 0.40f, 0.47f, 1.0f};  // mid-tone: reads on light and dark panels
constexpr Color kGhost{0.60f, 0.63f, 0.68f, 1.0f};
constexpr Color kPoint{0.16f, 0.43f, 0.86f, 1.0f};
constexpr Color kU{0.86f, 0.24f, 0.20f, 1.0f};
constexpr Color kV{0.16f, 0.63f, 0.27f, 1.0f};
constexpr Color kOrange{0.94f, 0.59f, 0.16f, 1.0f};
constexpr Color kFillA{0.47f, 0.67f, 0.94f, 0.75f};
constexpr Color kFillB{0.96f, 0.72f, 0.38f, 0.75f};
constexpr Color kPaper{0.99f, 0.93f, 0.62f, 1.0f};
constexpr Color kWhite{1.0f, 1.0f, 1.0f, 1.0f};

Color withAlpha(Color c, float a) {
  c.a = a;
  return c;
}
Color mix(Color p, Color q, float t) {
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}

using Shape = std::function<bool(float, float)>;

// Pixels stored premultiplied; converted to unassociated alpha when written.
struct Icon {
  std::array<Color, N * N> px{};
  Color& at(int x, int y) { return px[static_cast<size_t>(y * N + x)]; }

  void paint(Color c, const Shape& inside) {
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        int hits = 0;
        for (int j = 0; j < 4; ++j)
          for (int i = 0; i < 4; ++i)
            hits += inside(x + (i + 0.5f) / 4, y + (j + 0.5f) / 4) ? 1 : 0;
        const float k = c.a * hits / 16.0f;
        Color& d = at(x, y);
        d = {c.r * k + d.r * (1 - k), c.g * k + d.g * (1 - k), c.b * k + d.b * (1 - k),
             k + d.a * (1 - k)};
      }
  }
};

// ---- shapes ----------------------------------------------------------------
Shape rect(float x0, float y0, float x1, float y1) {
  return [=](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}
Shape disc(Pt c, float r) {
  return [=](float x, float y) { return (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) <= r * r; };
}
// Ring of radius r and width w between angles a0..a1 (degrees, counter-clockwise, y up).
Shape arc(Pt c, float r, float w, float a0, float a1) {
  if (a1 < a0) std::swap(a0, a1);
  return [=](float x, float y) {
    const float d = std::hypot(x - c.x, y - c.y);
    if (std::fabs(d - r) > w / 2) return false;
    float a = std::atan2(c.y - y, x - c.x) * 180 / kPi;
    while (a < a0) a += 360;
    return a <= a1;
  };
}
Shape segment(Pt a, Pt b, float w) {
  return [=](float x, float y) {
    const float dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = a.x + t * dx - x, ey = a.y + t * dy - y;
    return ex * ex + ey * ey <= w * w / 4;
  };
}
Shape polygon(std::vector<Pt> p) {
  return [p = std::move(p)](float x, float y) {
    bool in = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
      if ((p[i].y > y) != (p[j].y > y) &&
          x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
        in = !in;
    return in;
  };
}

// ---- compound strokes ----------------------------------------------------
void line(Icon& ic, Color c, Pt a, Pt b, float w = 2) {
  ic.paint(c, segment(a, b, w));
}

void outline(Icon& ic, Color c, const std::vector<Pt>& p, float w = 1.5f) {
  for (size_t i = 0; i < p.size(); ++i) line(ic, c, p[i], p[(i + 1) % p.size()], w);
}

void shape(Icon& ic, Color fill, Color edge, const std::vector<Pt>& p) {
  ic.paint(fill, polygon(p));
  outline(ic, edge, p);
}

// Head triangle with its tip at `tip`, pointing along unit vector (dx, dy).
void head(Icon& ic, Color c, Pt tip, float dx, float dy, float w) {
  const float h = 2 * w + 2, hw = 1.2f * w + 1.5f;
  const Pt base{tip.x - dx * h, tip.y - dy * h};
  ic.paint(
      c,
      polygon({tip, {base.x - dy * hw, base.y + dx * hw}, {base.x + dy * hw, base.y - dx * hw}}));
}

void arrow(Icon& ic, Color c, Pt a, Pt b, float w = 2) {
  const float len = std::hypot(b.x - a.x, b.y - a.y), dx = (b.x - a.x) / len,
              dy = (b.y - a.y) / len;
  const float h = 2 * w + 2;
  line(ic, c, a, {b.x - dx * h * 0.8f, b.y - dy * h * 0.8f}, w);
  head(ic, c, b, dx, dy, w);
}

// Circular arrow from angle a0 to a1 (degrees; a1 > a0 turns counter-clockwise),
// its colour fading from c to `to`.
void arcArrow(Icon& ic, Color c, Pt ctr, float r, float a0, float a1, float w = 2,
              Color to = {-1, 0, 0, 0}) {
  if (to.r < 0) to = c;
  const float s = a1 > a0 ? 1.0f : -1.0f, h = 2 * w + 2;
  const float end = a1 - s * (h * 0.7f / r) * 180 / kPi;
  constexpr int kPieces = 8;
  for (int k = 0; k < kPieces; ++k) {
    const float p0 = a0 + (end - a0) * k / kPieces, p1 = a0 + (end - a0) * (k + 1.05f) / kPieces;
    ic.paint(mix(c, to, static_cast<float>(k) / kPieces), arc(ctr, r, w, p0, p1));
  }
  const float t = a1 * kPi / 180;
  head(ic, to, {ctr.x + r * std::cos(t), ctr.y - r * std::sin(t)}, -s * std::sin(t),
       -s * std::cos(t), w);
}

void dot(Icon& ic, Color c, Pt p, float r = 2.5f) {
  ic.paint(c, disc(p, r));
}
void ghostDot(Icon& ic, Pt p) {
  ic.paint(kGhost, disc(p, 2.6f));
  ic.paint(withAlpha(kWhite, 0.9f), disc(p, 1.3f));
}
void stitch(Icon& ic, Pt p) {
  line(ic, kOrange, {p.x - 3, p.y}, {p.x + 3, p.y}, 1.5f);
}

// ---- whole-image transforms ------------------------------------------------
// Swaps the axes (U picture -> V picture) or mirrors left-right.
Icon remapped(Icon in, bool transpose) {
  Icon out;
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) out.at(x, y) = transpose ? in.at(y, x) : in.at(N - 1 - x, y);
  return out;
}
Icon transposed(const Icon& in) {
  return remapped(in, true);
}

// ---- the pictures ----------------------------------------------------------
// Points snap onto a horizontal line (drawn in `axis`); the V version is the transpose.
Icon alignU(Color axis) {
  Icon ic;
  line(ic, axis, {3, 16}, {29, 16}, 2.5f);
  const float xs[] = {7, 16, 25}, ys[] = {4.5f, 27.5f, 4.5f};
  for (int i = 0; i < 3; ++i) {
    ghostDot(ic, {xs[i], ys[i]});
    const float s = ys[i] < 16 ? 1.0f : -1.0f;
    arrow(ic, axis, {xs[i], ys[i] + s * 3.5f}, {xs[i], 16 - s * 3}, 1.5f);
    dot(ic, kPoint, {xs[i], 16});
  }
  return ic;
}

Icon alignUV() {
  Icon ic;
  line(ic, kU, {3, 16}, {29, 16}, 2.5f);
  line(ic, kV, {16, 3}, {16, 29}, 2.5f);
  ghostDot(ic, {5, 5});
  ghostDot(ic, {27, 27});
  arrow(ic, kOrange, {7.5f, 7.5f}, {13, 13}, 1.5f);
  arrow(ic, kOrange, {24.5f, 24.5f}, {19, 19}, 1.5f);
  dot(ic, kPoint, {16, 16}, 3);
  return ic;
}

// Points move horizontally onto a slanted line.
Icon linerU(Color axis) {
  Icon ic;
  const Pt a{6, 29}, b{26, 3};
  auto xOn = [&](float y) { return a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y); };
  line(ic, kInk, a, b, 2);
  ghostDot(ic, {4, 8});
  arrow(ic, axis, {7.5f, 8}, {xOn(8) - 3, 8});
  dot(ic, kPoint, {xOn(8), 8});
  ghostDot(ic, {28, 22});
  arrow(ic, axis, {24.5f, 22}, {xOn(22) + 3, 22});
  dot(ic, kPoint, {xOn(22), 22});
  return ic;
}

// Right edge is stitched onto the left edge (moving along U).
Icon stitchU(Color axis) {
  Icon ic;
  line(ic, kGhost, {25, 5}, {25, 27}, 1.5f);
  dot(ic, kGhost, {25, 5}, 1.8f);
  dot(ic, kGhost, {25, 27}, 1.8f);
  line(ic, kInk, {8, 5}, {8, 27}, 2.5f);
  for (float y : {8.5f, 11.5f, 20.5f, 23.5f}) stitch(ic, {8, y});
  dot(ic, kPoint, {8, 5});
  dot(ic, kPoint, {8, 27});
  arrow(ic, axis, {22, 16}, {11, 16});
  return ic;
}

// Both edges meet in the middle.
Icon stitchCenterU(Color axis) {
  Icon ic;
  for (float x : {4.0f, 28.0f}) {
    line(ic, kGhost, {x, 5}, {x, 27}, 1.5f);
    dot(ic, kGhost, {x, 5}, 1.8f);
    dot(ic, kGhost, {x, 27}, 1.8f);
  }
  line(ic, kInk, {16, 4}, {16, 28}, 2.5f);
  for (float y : {7.5f, 10.5f, 21.5f, 24.5f}) stitch(ic, {16, y});
  dot(ic, kPoint, {16, 4});
  dot(ic, kPoint, {16, 28});
  arrow(ic, axis, {6, 16}, {13.5f, 16}, 1.8f);
  arrow(ic, axis, {26, 16}, {18.5f, 16}, 1.8f);
  return ic;
}

Icon stitchEdgePoly() {
  Icon ic;
  shape(ic, kFillA, kInk, {{2, 9}, {16, 4}, {16, 28}, {4, 23}});
  shape(ic, kFillB, kInk, {{16, 4}, {30, 9}, {28, 23}, {16, 28}});
  line(ic, kU, {16, 4}, {16, 28}, 2.5f);
  for (float y : {8.5f, 13.5f, 18.5f, 23.5f}) stitch(ic, {16, y});
  dot(ic, kPoint, {16, 4}, 2.2f);
  dot(ic, kPoint, {16, 28}, 2.2f);
  return ic;
}

Icon connectUVPoly() {
  Icon ic;
  ic.paint(withAlpha(kV, 0.45f), polygon({{13, 3}, {19, 17}, {19, 29}, {13, 15}}));
  shape(ic, kFillA, kInk, {{2, 3}, {13, 3}, {13, 15}, {2, 15}});
  shape(ic, kFillB, kInk, {{19, 17}, {30, 17}, {30, 29}, {19, 29}});
  line(ic, kV, {13, 3}, {19, 17}, 1.8f);
  line(ic, kV, {13, 15}, {19, 29}, 1.8f);
  for (Pt p : {Pt{13, 3}, Pt{13, 15}, Pt{19, 17}, Pt{19, 29}}) dot(ic, kPoint, p, 2);
  return ic;
}

// A quad whose first corner (red) is passed on counter-clockwise; mirrored for the other way.
Icon moveLeft() {
  Icon ic;
  const std::vector<Pt> q{{5, 5}, {27, 5}, {27, 27}, {5, 27}};
  shape(ic, withAlpha(kFillA, 0.35f), kInk, q);
  for (Pt p : q) dot(ic, kPoint, p, 2.2f);
  dot(ic, kU, q[0], 3.2f);
  arcArrow(ic, kU, {16, 16}, 7, 45, 280, 2.2f);
  return ic;
}

Icon logo() {
  Icon ic;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const float x = 8.5f + i * 5.5f, y = 2 + j * 5.5f;
      ic.paint((i + j) % 2 ? kWhite : kPoint, rect(x, y, x + 5.5f, y + 5.5f));
    }
  outline(ic, kInk, {{8.5f, 2}, {30.5f, 2}, {30.5f, 24}, {8.5f, 24}}, 1);
  arrow(ic, kU, {3.5f, 28}, {31, 28}, 2.2f);
  arrow(ic, kV, {4, 28.5f}, {4, 1}, 2.2f);
  dot(ic, kInk, {4, 28}, 2);
  return ic;
}

Icon uvMorph() {
  Icon ic;
  shape(ic, kFillA, kPoint, {{2, 3}, {12, 3}, {12, 13}, {2, 13}});
  shape(ic, kFillB, kOrange, {{16, 19}, {29, 17}, {30, 29}, {18, 30}});
  arcArrow(ic, kPoint, {14, 15}, 9, 92, 0, 2.4f, kOrange);  // blends from one square to the other
  return ic;
}

Icon syncTag() {
  Icon ic;
  const std::vector<Pt> tag{{2, 7}, {21, 7}, {30, 16}, {21, 25}, {2, 25}};
  shape(ic, kPaper, kInk, tag);
  ic.paint(kInk, disc({23.5f, 16}, 1.8f));
  arcArrow(ic, kPoint, {11, 16}, 5.5f, 20, 160, 2);
  arcArrow(ic, kPoint, {11, 16}, 5.5f, 200, 340, 2);
  return ic;
}

// ---- output ----------------------------------------------------------------
bool writeTiff(const std::string& path, Icon& ic) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, N);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, N);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, N);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  bool ok = true;
  std::vector<uint8_t> row(N * 4);
  auto byte = [](float v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
  };
  for (int y = 0; y < N && ok; ++y) {
    for (int x = 0; x < N; ++x) {
      const Color& c = ic.at(x, y);
      const float inv = c.a > 0 ? 1 / c.a : 0;  // back to unassociated alpha
      const size_t o = static_cast<size_t>(x) * 4;
      row[o] = byte(c.r * inv), row[o + 1] = byte(c.g * inv), row[o + 2] = byte(c.b * inv),
      row[o + 3] = byte(c.a);
    }
    ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  TIFFClose(t);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const std::vector<std::pair<const char*, Icon>> icons{
      {"BtnU.tif", alignU(kU)},
      {"BtnUV.tif", alignUV()},
      {"BtnV.tif", transposed(alignU(kV))},
      {"ConnectUVPoly.tif", connectUVPoly()},
      {"MoveLeftPoly.tif", moveLeft()},
      {"MoveRightPoly.tif", remapped(moveLeft(), false)},
      {"Pelterra.tif", logo()},
      {"StichiCenterU.tif", stitchCenterU(kU)},
      {"StichiCenterV.tif", transposed(stitchCenterU(kV))},
      {"StichiEdgePoly.tif", stitchEdgePoly()},
      {"StichiU.tif", stitchU(kU)},
      {"StichiV.tif", transposed(stitchU(kV))},
      {"UVLiner_U.tif", linerU(kU)},
      {"UVLiner_V.tif", transposed(linerU(kV))},
      {"UVmorph.tif", uvMorph()},
      {"UVsyncTag.tif", syncTag()},
  };
  int failures = 0;
  for (auto [name, icon] : icons) {
    if (!writeTiff(dir + name, icon)) {
      std::fprintf(stderr, "make_icons: cannot write %s%s\n", dir.c_str(), name);
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
