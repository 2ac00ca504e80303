// UV layout previews, written to disk and read back. At 256 px the margin is 7 px (3 %, rounded
// down) and the unit square spans 242 px: UV (u, v) lands on (7 + 242 u, 7 + 242 v), so 0.25 →
// 67.5, 0.5 → 128, 0.75 → 188.5, 0.1 → 31.2, 0.6 → 152.2, 0.9 → 224.8.
#include "preview.h"

#ifdef _WIN32
#include <gtest/gtest.h>

#include <filesystem>

#include "scenes.h"

// Built without cairo: a preview is refused with the reason, after its file name was checked.
TEST(Preview, RefusedInABuildWithoutCairo) {
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  ASSERT_TRUE(pelterra::LoadBuiltinScene("cube", *doc, error)) << error;
  const std::vector<PolygonObject*> objects = pelterra::ObjectsWithUVs(*doc);
  ASSERT_EQ(objects.size(), 1u);
  const std::string png =
      (std::filesystem::temp_directory_path() / "pelterra_preview_unavailable.png").string();
  EXPECT_FALSE(pelterra::WritePreview(objects, png, pelterra::PreviewOptions(), error));
  EXPECT_NE(error.find("PNG previews are not available in this build"), std::string::npos)
      << error;
  EXPECT_FALSE(std::filesystem::exists(png));
  EXPECT_FALSE(pelterra::WritePreview(objects, png + ".jpg", pelterra::PreviewOptions(), error));
  EXPECT_NE(error.find("give the file the suffix .png"), std::string::npos) << error;

  // A heatmap says so, and that an SVG drawing of it can be had.
  pelterra::PreviewOptions heat;
  heat.color = pelterra::HeatMode::kDensity;
  EXPECT_FALSE(pelterra::WritePreview(objects, png, heat, error));
  EXPECT_NE(error.find("PNG heatmaps are not available in this build"), std::string::npos)
      << error;
  EXPECT_FALSE(std::filesystem::exists(png));
  const std::string svg =
      (std::filesystem::temp_directory_path() / "pelterra_preview_heatmap.svg").string();
  EXPECT_TRUE(pelterra::WritePreview(objects, svg, heat, error)) << error;
  EXPECT_TRUE(std::filesystem::exists(svg));
  std::filesystem::remove(svg);
  BaseDocument::Free(doc);
}

TEST(Preview, PicturesAreDrawnOnlyWithCairo) {
  GTEST_SKIP() << "the pictures themselves are drawn and checked only in the Linux tests (cairo)";
}
#else
#include <cairo/cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using pelterra::PreviewOptions;

namespace {

struct Free {
  void operator()(PolygonObject* op) const {
    BaseObject* b = op;
    BaseObject::Free(b);
  }
};
using Object = std::unique_ptr<PolygonObject, Free>;
using UVPoly = std::vector<Vector>;  // 3 corners: a triangle, whose d record gets junk

UVWTag* AddUVs(PolygonObject* op, const std::vector<UVPoly>& uvs, BaseTag* pred = nullptr) {
  UVWTag* tag = UVWTag::Alloc(static_cast<Int32>(uvs.size()));
  for (size_t i = 0; i < uvs.size(); ++i) {
    const UVPoly& p = uvs[i];
    UVWTag::Set(tag->GetDataAddressW(), static_cast<Int32>(i),
                UVWStruct(p[0], p[1], p[2], p.size() == 4 ? p[3] : Vector(0.99, 0.99, 0)));
  }
  op->InsertTag(tag, pred);
  return tag;
}

Object Make(const std::vector<UVPoly>& uvs, bool withTag = true) {
  const Int32 n = static_cast<Int32>(uvs.size());
  Object op(PolygonObject::Alloc(4 * n, n));
  for (Int32 i = 0, o = 0; i < n; ++i, o += 4)
    op->GetPolygonW()[i] = uvs[static_cast<size_t>(i)].size() == 4
                               ? CPolygon(o, o + 1, o + 2, o + 3)
                               : CPolygon(o, o + 1, o + 2);
  if (withTag) AddUVs(op.get(), uvs);
  return op;
}

UVPoly Quad(double u0, double v0, double u1, double v1) {
  return {Vector(u0, v0, 0), Vector(u1, v0, 0), Vector(u1, v1, 0), Vector(u0, v1, 0)};
}

struct Rgb {
  int r, g, b;
  int Sum() const { return r + g + b; }
};
bool White(Rgb c) {
  return c.Sum() == 3 * 255;
}

struct Image {
  int width = -1, height = -1;
  std::vector<std::uint32_t> px;
  Rgb At(int x, int y) const {  // magenta, neither dark nor light, outside the picture
    if (x < 0 || y < 0 || x >= width || y >= height) return {255, 0, 255};
    const std::uint32_t p = px[static_cast<size_t>(y * width + x)];
    return {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255),
            static_cast<int>(p & 255)};
  }
  // The darkest pixel within one pixel of (x, y): an anti-aliased line shows there.
  Rgb Darkest(int x, int y) const {
    Rgb best = At(x, y);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (At(x + dx, y + dy).Sum() < best.Sum()) best = At(x + dx, y + dy);
    return best;
  }
  bool Dark(int x, int y) const { return Darkest(x, y).Sum() < 3 * 128; }
  bool Clear(int x, int y) const {  // background or grid only
    const Rgb c = Darkest(x, y);
    return c.r >= 200 && c.g >= 200 && c.b >= 200;
  }
  bool Light(int x, int y) const {  // a line in the lighter style: neither dark nor clear
    return !Dark(x, y) && !Clear(x, y);
  }
};

Image Decode(const std::string& path) {
  Image image;
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    image.width = cairo_image_surface_get_width(s);
    image.height = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height; ++y) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) + y * stride);
      image.px.insert(image.px.end(), row, row + image.width);
    }
  }
  cairo_surface_destroy(s);
  return image;
}

class Preview : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "pelterra_preview_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string At(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    return names;
  }
  bool Write(PolygonObject& op, const std::string& path, int size = 256, bool selected = false,
             bool fit = false) {
    error_.clear();
    return pelterra::WritePreview(op, path, PreviewOptions{size, selected, fit}, error_, &note_);
  }
  Image Render(PolygonObject& op, int size = 256, bool selected = false, bool fit = false) {
    EXPECT_TRUE(Write(op, At("out.png"), size, selected, fit)) << error_;
    return Decode(At("out.png"));
  }
  fs::path dir_;
  std::string error_, note_;
};

TEST_F(Preview, EdgesAtTheirPlacesWithVDownwards) {
  Object op = Make({Quad(0.25, 0.25, 0.75, 0.75), Quad(0.1, 0.1, 0.2, 0.2)});
  for (int size : {16, 100}) {
    const Image small = Render(*op, size);
    EXPECT_TRUE(small.width == size && small.height == size) << size;
  }
  Image image = Render(*op);
  ASSERT_EQ(image.width, 256);
  ASSERT_EQ(image.height, 256);
  // Midpoints of the big quad's edges; inside it off the grid (0.4 → 103.8); the margin.
  EXPECT_TRUE(image.Dark(128, 67) && image.Dark(188, 128) && image.Dark(128, 188));
  EXPECT_TRUE(image.Dark(67, 128));
  EXPECT_TRUE(White(image.At(103, 103)) && White(image.At(2, 2)) && White(image.At(253, 130)));
  // The small quad's edge v = 0.1 near the top left, and nothing where it would be mirrored.
  EXPECT_TRUE(image.Dark(43, 31));
  EXPECT_TRUE(image.Clear(43, 224) && image.Clear(212, 31));
  EXPECT_EQ(Files(), std::vector<std::string>{"out.png"}) << "no temporary file is left";
}

TEST_F(Preview, TrianglesNonFiniteAndFarUVs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Object op = Make({{Vector(0.25, 0.25, 0), Vector(0.75, 0.25, 0), Vector(0.25, 0.75, 0)},
                    {Vector(0.9, 0.1, 0), Vector(0.9, 0.9, 0), Vector(nan, 0.5, 0)},
                    Quad(-0.5, 0.6, 1.5, 0.7),
                    Quad(-1e12, -1e12, 1e12, 0.9)});
  Image image = Render(*op);
  // The triangle: c → a along u = 0.25 and b → c through (128, 128), but no edge towards the
  // junk d at (0.99, 0.99): c → d would pass (0.62, 0.87) → (157, 217.5).
  EXPECT_TRUE(image.Dark(67, 128) && image.Dark(128, 128));
  EXPECT_TRUE(image.Clear(157, 217) && image.Clear(188, 188));
  // The polygon with a NaN corner is left out, its finite a → b edge along u = 0.9 too.
  EXPECT_TRUE(image.Clear(224, 128));
  // Far UVs are cut at the picture's edge: v = 0.6 from border to border, the huge quad's v = 0.9.
  EXPECT_TRUE(image.Dark(1, 152) && image.Dark(254, 152) && image.Dark(128, 224));
}

TEST_F(Preview, SelectionsTintHighlightAndFilter) {
  Object op = Make({Quad(0.1, 0.25, 0.4, 0.75), Quad(0.6, 0.25, 0.9, 0.75)});
  op->GetPolygonS()->Select(1);
  // Corner c of polygon 1 at (0.9, 0.75) → (224.8, 188.5); an index past the polygons is ignored.
  hostrt::UVPointSelection(op.get())->Select(4 * 1 + 2);
  hostrt::UVPointSelection(op.get())->Select(4 * 9);
  Image all = Render(*op);
  EXPECT_TRUE(all.Dark(31, 128) && all.Dark(152, 128));
  // Inside the unselected quad (0.3, 0.4) → (79, 103) white; inside the selected one a blue tint.
  EXPECT_TRUE(White(all.At(79, 103)));
  const Rgb tint = all.At(200, 103);
  EXPECT_TRUE(tint.b > tint.r + 30 && tint.Sum() > 3 * 150) << tint.r << " " << tint.b;
  const Rgb dot = all.At(224, 188), plain = all.At(152, 188);
  EXPECT_TRUE(dot.r > 180 && dot.g < 80 && dot.b < 80);
  EXPECT_LT(plain.r, 100) << "corner d is just the dark edge";
  // The selection in front: the unselected quad's edges lighter, the selected ones dark, the
  // point highlighted.
  Image front = Render(*op, 256, true);
  EXPECT_TRUE(front.Light(31, 128) && front.Dark(152, 128) && front.At(224, 188).r > 180);
  EXPECT_TRUE(White(front.At(79, 103)));
}

TEST_F(Preview, DrawsTheSelectedUVWTag) {
  Object op = Make({Quad(0.25, 0.25, 0.75, 0.75)});
  AddUVs(op.get(), {Quad(0.1, 0.1, 0.4, 0.4)}, op->GetFirstTag())->SetBit(BIT_ACTIVE);
  Image image = Render(*op);
  EXPECT_TRUE(image.Dark(31, 55) && image.Clear(188, 128));
}

TEST_F(Preview, FailuresNameThePathAndLeaveOldFilesAlone) {
  Object op = Make({Quad(0.25, 0.25, 0.75, 0.75)});
  Object bare = Make({Quad(0.25, 0.25, 0.75, 0.75)}, false);
  bare->SetName("Plane");
  const std::string path = At("old.png"), missing = At("no/such/folder/out.png");
  std::ofstream(path) << "old picture";
  for (int size : {15, 0, 8193}) {
    EXPECT_FALSE(Write(*op, path, size));
    EXPECT_NE(error_.find(path), std::string::npos) << error_;
    EXPECT_NE(error_.find(std::to_string(size)), std::string::npos) << error_;
  }
  EXPECT_FALSE(Write(*bare, path));
  EXPECT_NE(error_.find("\"Plane\" has no UVW tag"), std::string::npos) << error_;
  EXPECT_FALSE(Write(*op, missing));
  EXPECT_NE(error_.find(missing), std::string::npos) << error_;
  // A folder in the way: the picture is made but cannot take its place, the temp file goes.
  fs::create_directory(At("taken.png"));
  EXPECT_FALSE(Write(*op, At("taken.png")));
  EXPECT_NE(error_.find(At("taken.png")), std::string::npos) << error_;
  EXPECT_NE(error_.find("is a folder"), std::string::npos) << error_;
  // A name that is not a PNG picture's is refused before anything is drawn.
  EXPECT_FALSE(Write(*op, At("layout.jpg")));
  EXPECT_NE(error_.find("give the file the suffix .png"), std::string::npos) << error_;
  EXPECT_TRUE(Write(*op, At("upper.PNG"))) << error_;
  fs::remove(At("upper.PNG"));
  EXPECT_EQ(fs::file_size(path), 11u) << "the old picture stays";
  EXPECT_EQ(Files().size(), 2u);
  // A good write replaces the old file, readable by all.
  ASSERT_TRUE(Write(*op, path, 64)) << error_;
  EXPECT_EQ(Decode(path).width, 64);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::others_read);
  EXPECT_EQ(Files().size(), 2u);
}

// A hexagon as the OBJ reader makes it: a fan of four triangles and one n-gon record.
TEST_F(Preview, NgonsShowTheirOutlineNotTheirFan) {
  const Int32 n = 6;
  Object op(PolygonObject::Alloc(n, n - 2));
  UVWTag* tag = UVWTag::Alloc(n - 2);
  std::vector<Vector> uv;
  for (Int32 i = 0; i < n; ++i) {
    const double a = 2.0 * 3.14159265358979 * i / n;
    uv.emplace_back(0.5 + 0.4 * std::cos(a), 0.5 + 0.4 * std::sin(a), 0);
  }
  PolygonObject::Ngon ngon;
  for (Int32 i = 0; i < n; ++i) ngon.outline.push_back(i);
  for (Int32 t = 0; t < n - 2; ++t) {
    op->GetPolygonW()[t] = CPolygon(0, t + 1, t + 2);
    UVWTag::Set(tag->GetDataAddressW(), t,
                UVWStruct(uv[0], uv[size_t(t + 1)], uv[size_t(t + 2)], uv[size_t(t + 2)]));
    ngon.polygons.push_back(t);
  }
  op->SetNgons({ngon});
  op->InsertTag(tag);
  Image image = Render(*op);
  // The outline edge between corners 1 and 2 is drawn, the fan's diagonal from corner 0 to corner
  // 3 through the centre (0.5, 0.5) → (128, 128) is not.
  const Vector mid = (uv[1] + uv[2]) * 0.5;
  EXPECT_TRUE(image.Dark(int(7 + 242 * mid.x), int(7 + 242 * mid.y)));
  EXPECT_TRUE(image.Clear(128, 128) && image.Clear(108, 128));
}

TEST_F(Preview, FitFramesUVsOutsideTheUnitSquare) {
  Object op = Make({Quad(2.0, 2.0, 3.0, 2.5), Quad(2.5, 2.5, 2.75, 3.0)});
  Image plain = Render(*op);
  EXPECT_TRUE(plain.Clear(128, 128) && plain.Clear(200, 200)) << "beyond the picture";
  // Fitted: the bounds 2..3 fill the picture, u 2 → 7, u 3 → 249, v 2.5 → 128.
  Image fit = Render(*op, 256, false, true);
  EXPECT_TRUE(fit.Dark(7, 60) && fit.Dark(249, 60) && fit.Dark(60, 128) && fit.Dark(60, 7));
  EXPECT_TRUE(fit.Clear(60, 190)) << "below the first quad, left of the second";
  // UVs inside the unit square keep the unit frame, fit or not.
  Object inside = Make({Quad(0.25, 0.25, 0.75, 0.75)});
  Image same = Render(*inside, 256, false, true);
  EXPECT_TRUE(same.Dark(128, 67) && same.Dark(67, 128));
}

TEST_F(Preview, SeveralObjectsAndLayoutsWithoutArea) {
  Object a = Make({Quad(0.1, 0.1, 0.4, 0.4)}), b = Make({Quad(0.6, 0.6, 0.9, 0.9)});
  Object none = Make({Quad(0.2, 0.2, 0.3, 0.3)}, false);
  std::string note;
  ASSERT_TRUE(pelterra::WritePreview({a.get(), none.get(), b.get()}, At("all.png"),
                                     PreviewOptions{256, false, false}, error_, &note))
      << error_;
  Image both = Decode(At("all.png"));
  EXPECT_TRUE(both.Dark(31, 55) && both.Dark(152, 188)) << "both objects with UVs";
  EXPECT_EQ(note, "");
  EXPECT_FALSE(pelterra::WritePreview({none.get()}, At("none.png"), PreviewOptions{}, error_));

  Object point = Make(
      {Quad(0.5, 0.5, 0.5, 0.5), {Vector(0.5, 0.5, 0), Vector(0.5, 0.5, 0), Vector(0.5, 0.5, 0)}});
  ASSERT_TRUE(Write(*point, At("point.png"))) << error_;
  EXPECT_EQ(note_, "the UV layout has no area: all UVs lie on one point (0.5, 0.5)");
  Object line = Make({Quad(0.1, 0.5, 0.9, 0.5)});
  ASSERT_TRUE(Write(*line, At("line.png"))) << error_;
  EXPECT_EQ(note_, "the UV layout has no area: all UVs lie on lines");
  Object mirrored = Make({Quad(0.1, 0.1, 0.4, 0.4), Quad(0.4, 0.1, 0.1, 0.4)});
  ASSERT_TRUE(Write(*mirrored, At("mirrored.png"))) << error_;
  EXPECT_EQ(note_, "") << "areas of opposite winding do not cancel";
}

}  // namespace
#endif
