// What the inspection writes: SVG drawings read back as XML, heatmaps read back as pixels, and
// the inspect command's exit codes, JSON and text, run as a user runs it.
#include <gtest/gtest.h>

// Debian builds neither cairo nor expat for Windows: there the pictures are refused (which the
// tests check) and the drawings are not read back as XML.
#ifndef _WIN32
#include <cairo/cairo.h>
#include <expat.h>
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "preview.h"
#include "run_program.h"
#include "scenes.h"
#include "shell.h"
#include "temp_folder.h"

using namespace pelterra;
namespace fs = std::filesystem;

namespace {

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<std::string> groups;  // ids of the enclosing groups, outermost first
};

#ifndef _WIN32
// Every element of an XML file; false with why when it is not well-formed XML.
bool ParseXml(const std::string& text, std::vector<Element>& out, std::string& why) {
  struct State {
    std::vector<Element>* out;
    std::vector<std::string> groups;
  } state{&out, {}};
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attrs) {
        auto* s = static_cast<State*>(data);
        Element e{name, {}, s->groups};
        for (int i = 0; attrs[i]; i += 2) e.attributes[attrs[i]] = attrs[i + 1];
        if (e.name == "g") s->groups.push_back(e.attributes["id"]);
        s->out->push_back(std::move(e));
      },
      [](void* data, const XML_Char* name) {
        auto* s = static_cast<State*>(data);
        if (std::string(name) == "g") s->groups.pop_back();
      });
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != 0;
  if (!ok) why = XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  return ok;
}

// The corners of a path "Mu vLu v...Z".
std::vector<std::pair<double, double>> Corners(const std::string& d) {
  std::vector<std::pair<double, double>> c;
  std::string text = d;
  for (char& ch : text)
    if (ch == 'M' || ch == 'L' || ch == 'Z') ch = ' ';
  std::istringstream in(text);
  std::string u, v;
  while (in >> u >> v) c.emplace_back(std::strtod(u.c_str(), nullptr), std::strtod(v.c_str(), nullptr));
  return c;
}
#endif

struct Scene {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = nullptr;
  explicit Scene(const std::string& name) {
    std::string error;
    if (LoadBuiltinScene(name, *doc, error))
      op = static_cast<PolygonObject*>(doc->GetFirstObject());
    else
      ADD_FAILURE() << error;
  }
  ~Scene() { BaseDocument::Free(doc); }
};

struct Result {
  int code;
  std::string out, err;
};

Result Pelterra(const TempFolder& dir, const std::string& args) {
  const std::string err = dir.Path("stderr.txt");
  const ShellResult run = Shell(ProgramPath(PELTERRA_APP) + " --quiet " + args + " 2>" + err);
  return Result{run.code, run.out, dir.Read("stderr.txt")};
}

struct Pixel {
  int r, g, b;
};

#ifndef _WIN32
// The pixel at (x, y) of a PNG, and its size.
Pixel PixelAt(const std::string& png, int x, int y, int* width = nullptr, int* height = nullptr) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
  Pixel p{-1, -1, -1};
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    if (width) *width = cairo_image_surface_get_width(s);
    if (height) *height = cairo_image_surface_get_height(s);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                             y * cairo_image_surface_get_stride(s));
    p = {static_cast<int>(row[x] >> 16 & 255), static_cast<int>(row[x] >> 8 & 255),
         static_cast<int>(row[x] & 255)};
  }
  cairo_surface_destroy(s);
  return p;
}
#endif

}  // namespace

#ifdef _WIN32
TEST(InspectSvg, ParsesAsXmlAndPathsAreTheUVs) {
  GTEST_SKIP() << "reads the drawing back with expat, which Debian does not build for Windows";
}

// Built without cairo: each heatmap is refused with the reason, and no file is left.
TEST(InspectHeatmap, PlantedFaultsShowWhereTheyAre) {
  TempFolder dir;
  Scene s("broken");
  for (HeatMode mode : {HeatMode::kDensity, HeatMode::kStretch, HeatMode::kFlips,
                        HeatMode::kOverlaps}) {
    PreviewOptions opt;
    opt.color = mode;
    std::string error;
    EXPECT_FALSE(WritePreview(*s.op, dir.Path("heat.png"), opt, error)) << HeatModeName(mode);
    EXPECT_NE(error.find("PNG heatmaps are not available in this build"), std::string::npos)
        << error;
    EXPECT_FALSE(fs::exists(dir.Path("heat.png")));
  }
}
#else
TEST(InspectSvg, ParsesAsXmlAndPathsAreTheUVs) {
  TempFolder dir;
  Scene s("broken");
  s.op->SetName("Broken <&\"odd\">");
  s.op->GetPolygonS()->Select(6);
  s.op->GetPolygonS()->Select(7);
  PreviewOptions opt;
  opt.color = HeatMode::kOverlaps;
  std::string error;
  ASSERT_TRUE(WritePreview(*s.op, dir.Path("uv.svg"), opt, error)) << error;
  std::vector<Element> elements;
  std::string why;
  ASSERT_TRUE(ParseXml(dir.Read("uv.svg"), elements, why)) << why;
  Layout layout;
  ASSERT_TRUE(LayoutOf(*s.op, layout));
  int paths = 0;
  bool unitSquare = false, legend = false;
  for (const Element& e : elements) {
    if (e.attributes.count("id") && e.attributes.at("id") == "unit-square") {
      unitSquare = true;
      EXPECT_EQ(e.groups, (std::vector<std::string>{"grid"}));
    }
    if (!e.groups.empty() && e.groups[0] == "legend") legend = true;
    if (e.name != "path" || e.groups.empty() || e.groups[0] == "grid") continue;
    ++paths;
    const std::string& id = e.attributes.at("id");
    ASSERT_EQ(id.rfind("o0p", 0), 0u) << id;
    const size_t polygon = std::stoul(id.substr(3));
    ASSERT_LT(polygon, layout.polygons.size());
    const LayoutPolygon& p = layout.polygons[polygon];
    const auto corners = Corners(e.attributes.at("d"));
    ASSERT_EQ(corners.size(), static_cast<size_t>(p.corners)) << id;
    for (int k = 0; k < p.corners; ++k) {
      EXPECT_EQ(corners[static_cast<size_t>(k)].first, p.u[static_cast<size_t>(k)]) << id;
      EXPECT_EQ(corners[static_cast<size_t>(k)].second, p.v[static_cast<size_t>(k)]) << id;
    }
    // Selected polygons in their own group; overlapping ones filled red.
    const bool selected = polygon == 6 || polygon == 7;
    EXPECT_EQ(e.groups[0], selected ? "selected" : "polygons") << id;
    EXPECT_EQ(e.groups[1], selected ? "selected0" : "object0") << id;
    EXPECT_EQ(e.attributes.count("fill") == 1, polygon <= 1 || selected) << id;
  }
  EXPECT_EQ(paths, 8);
  EXPECT_TRUE(unitSquare);
  EXPECT_TRUE(legend);
}

TEST(InspectHeatmap, PlantedFaultsShowWhereTheyAre) {
  TempFolder dir;
  Scene s("broken");
  // At 256 px UV (u, v) lands on (7 + 242 u, 7 + 242 v), v down. Points inside polygons, off the
  // grid's eighths: 0 (sound) (0.15, 0.15); 3 (mirrored) (0.65, 0.15); 4 (sparse) (0.27, 0.83);
  // 6 outside island 0 (0.2, 0.32).
  auto px = [](double uv) { return static_cast<int>(7 + 242 * uv); };
  std::string error;
  PreviewOptions opt;
  opt.size = 256;
  opt.color = HeatMode::kFlips;
  ASSERT_TRUE(WritePreview(*s.op, dir.Path("flips.png"), opt, error)) << error;
  int w = 0, h = 0;
  const Pixel flipped = PixelAt(dir.Path("flips.png"), px(0.65), px(0.15), &w, &h);
  EXPECT_EQ(w, 256);
  EXPECT_GT(h, 256) << "the legend goes below";
  EXPECT_GT(flipped.r, 200);
  EXPECT_LT(flipped.g, 60);
  const Pixel sound = PixelAt(dir.Path("flips.png"), px(0.15), px(0.15));
  EXPECT_EQ(sound.g, 255) << "white, not red";

  opt.color = HeatMode::kOverlaps;
  ASSERT_TRUE(WritePreview(*s.op, dir.Path("overlaps.png"), opt, error)) << error;
  EXPECT_GT(PixelAt(dir.Path("overlaps.png"), px(0.2), px(0.32)).r, 200);
  EXPECT_LT(PixelAt(dir.Path("overlaps.png"), px(0.2), px(0.32)).g, 60);
  EXPECT_EQ(PixelAt(dir.Path("overlaps.png"), px(0.27), px(0.83)).g, 255);
  EXPECT_EQ(PixelAt(dir.Path("overlaps.png"), px(0.65), px(0.15)).g, 255);

  opt.color = HeatMode::kDensity;
  ASSERT_TRUE(WritePreview(*s.op, dir.Path("density.png"), opt, error)) << error;
  const Pixel sparse = PixelAt(dir.Path("density.png"), px(0.27), px(0.83));
  EXPECT_GT(sparse.b, sparse.r + 60) << "the sparse island is blue";
  const Pixel median = PixelAt(dir.Path("density.png"), px(0.65), px(0.15));
  EXPECT_GT(median.r, 230);
  EXPECT_GT(median.b, 230);
}

#endif

TEST(InspectCommand, ExitCodesAtEachLimit) {
  TempFolder dir;
  const std::string broken = "inspect builtin:broken";
  EXPECT_EQ(Pelterra(dir, broken).code, 0) << "no limits, nothing exceeded";
  EXPECT_EQ(Pelterra(dir, broken + " --max-overlaps 3").code, 0);
  const Result over = Pelterra(dir, broken + " --max-overlaps 2");
  EXPECT_EQ(over.code, 1);
  EXPECT_NE(over.out.find("limit exceeded: builtin:broken: Broken: 3 overlaps, more than 2"),
            std::string::npos)
      << over.out;
  // The limits at the report's own figures pass; just below them they fail.
  const Result json = Pelterra(dir, broken + " --json");
  ASSERT_EQ(json.code, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out)["files"][0]["objects"][0];
  const double spread = report["density"]["spread"], stretch = report["stretch"]["area_worst"]["value"];
  auto number = [](double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return std::string(buf);
  };
  EXPECT_EQ(Pelterra(dir, broken + " --max-density-spread " + number(spread)).code, 0);
  EXPECT_EQ(Pelterra(dir, broken + " --max-density-spread " + number(spread * 0.999)).code, 1);
  EXPECT_EQ(Pelterra(dir, broken + " --max-stretch " + number(stretch)).code, 0);
  EXPECT_EQ(Pelterra(dir, broken + " --max-stretch " + number(stretch * 0.999)).code, 1);
  EXPECT_EQ(Pelterra(dir, "inspect builtin:cube --max-overlaps 0 --max-density-spread 1 "
                          "--max-stretch 1.000001").code,
            0);
  // Errors are 2, never a pass or a limit: a missing file (the others still reported), a file
  // without UVs, bad options.
  const Result missing = Pelterra(dir, "inspect builtin:cube " + dir.Path("none.obj"));
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.out.find("Cube:"), std::string::npos) << missing.out;
  dir.Write("plain.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  EXPECT_EQ(Pelterra(dir, "inspect " + dir.Path("plain.obj")).code, 2);
  EXPECT_EQ(Pelterra(dir, broken + " --max-overlaps -1").code, 2);
  EXPECT_EQ(Pelterra(dir, broken + " --max-stretch 0.5").code, 2);
  EXPECT_EQ(Pelterra(dir, broken + " --max-stretch").code, 2);
  EXPECT_EQ(Pelterra(dir, broken + " --bogus").code, 2);
  EXPECT_EQ(Pelterra(dir, "inspect").code, 2);
}

TEST(InspectCommand, JsonHoldsWhatTheTextSays) {
  TempFolder dir;
  const Result text = Pelterra(dir, "inspect builtin:broken builtin:cube");
  const Result json = Pelterra(dir, "inspect builtin:broken builtin:cube --json --max-overlaps 0");
  ASSERT_EQ(text.code, 0) << text.err;
  ASSERT_EQ(json.code, 1) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["files"].size(), 2u);
  EXPECT_EQ(doc["exceeded"].size(), 1u);
  auto shortNum = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return std::string(buf);
  };
  for (const auto& file : doc["files"]) {
    const auto& r = file["objects"][0];
    const std::string name = r["object"];
    const size_t at = text.out.find("  " + name + ":\n");
    ASSERT_NE(at, std::string::npos) << name;
    const std::string block = text.out.substr(at, text.out.find("used:", at) - at);
    std::string pairs;
    for (const auto& p : r["overlaps"]["first"])
      pairs += (pairs.empty() ? "" : ", ") + std::to_string(int(p[0])) + "/" + std::to_string(int(p[1]));
    const std::string overlaps = "overlaps: " + std::to_string(int(r["overlaps"]["count"])) +
                                 (pairs.empty() ? "" : " (" + pairs + ")");
    EXPECT_NE(block.find(overlaps + "\n"), std::string::npos) << overlaps << "\n" << block;
    EXPECT_NE(block.find("flipped: " + std::to_string(int(r["flipped"]["count"]))), std::string::npos);
    EXPECT_NE(block.find("polygons: " + std::to_string(int(r["polygons"])) + " in " +
                         std::to_string(int(r["islands"]))),
              std::string::npos);
    const auto& d = r["density"];
    EXPECT_NE(block.find("min " + shortNum(d["min"]["value"]) + " (island " +
                         std::to_string(int(d["min"]["island"])) + "), median " +
                         shortNum(d["median"]) + ", max " + shortNum(d["max"]["value"])),
              std::string::npos)
        << block;
    EXPECT_NE(block.find("spread " + shortNum(d["spread"])), std::string::npos) << block;
    EXPECT_NE(block.find("area " + shortNum(r["stretch"]["area_worst"]["value"]) + " (polygon " +
                         std::to_string(int(r["stretch"]["area_worst"]["polygon"]))),
              std::string::npos)
        << block;
  }
  EXPECT_EQ(doc["files"][0]["objects"][0]["flipped"]["islands"][0]["island"], 1);
  EXPECT_EQ(doc["files"][1]["objects"][0]["density"]["spread"], 1.0);
}

TEST(InspectSession, LinesProveALayoutClean) {
  TempFolder dir;
  dir.Write("fix.session",
            "open builtin:broken\n"
            "inspect\n"
            "expect overlaps 3\n"
            "expect flips 2\n"
            "preview broken.svg color density\n"
            "# Mirror polygons 2 and 3 back and move island 3 off island 0.\n"
            "uv 2 a 0.5625 0.25\nuv 2 b 0.5625 0.0625\nuv 2 c 0.75 0.0625\nuv 2 d 0.75 0.25\n"
            "uv 3 a 0.75 0.25\nuv 3 b 0.75 0.0625\nuv 3 c 0.9375 0.0625\nuv 3 d 0.9375 0.25\n"
            "expect flips 0\n"
            "expect overlaps 3\n");
  const Result fixed = Pelterra(dir, "run " + dir.Path("fix.session") + " --out " + dir.Path("out"));
  EXPECT_EQ(fixed.code, 0) << fixed.out << fixed.err;
  EXPECT_NE(fixed.out.find("inspect Broken:\n  polygons: 8 in 4 islands\n  overlaps: 3"),
            std::string::npos)
      << fixed.out;
  EXPECT_NE(dir.Read("out/broken.svg").find("<g id=\"legend\""), std::string::npos);
  dir.Write("wrong.session", "open builtin:broken\nexpect flips 1\n");
  const Result wrong = Pelterra(dir, "run " + dir.Path("wrong.session"));
  EXPECT_EQ(wrong.code, 1);
  EXPECT_NE(wrong.err.find("expected 1 flips, got 2"), std::string::npos) << wrong.err;
  dir.Write("bad.session", "open builtin:broken\nexpect overlaps many\npreview x.png color heat\n");
  const Result bad = Pelterra(dir, "check " + dir.Path("bad.session"));
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("count \"many\" is not a whole number"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("unknown color \"heat\""), std::string::npos) << bad.err;
}

TEST(InspectCommand, PreviewTakesAColourModeAndSvg) {
  TempFolder dir;
#ifdef _WIN32
  const Result png =
      Pelterra(dir, "preview builtin:broken " + dir.Path("f.png") + " --color flips --size 128");
  EXPECT_EQ(png.code, 1) << "as for any PNG preview in a build without cairo";
  EXPECT_NE(png.err.find("PNG heatmaps are not available in this build"), std::string::npos)
      << png.err;
  EXPECT_FALSE(fs::exists(dir.Path("f.png")));
  const Result svg =
      Pelterra(dir, "preview builtin:broken " + dir.Path("f.svg") + " --color flips");
  EXPECT_EQ(svg.code, 0) << svg.err;
  EXPECT_NE(dir.Read("f.svg").find("<g id=\"legend\""), std::string::npos);
#else
  const Result png = Pelterra(dir, "preview builtin:broken " + dir.Path("f.png") + " --color flips --size 128");
  EXPECT_EQ(png.code, 0) << png.err;
  int w = 0, h = 0;
  PixelAt(dir.Path("f.png"), 0, 0, &w, &h);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 128 + 36) << "the legend strip is at least 36 px";
  const Result svg = Pelterra(dir, "preview builtin:broken " + dir.Path("f.svg"));
  EXPECT_EQ(svg.code, 0) << svg.err;
  std::vector<Element> elements;
  std::string why;
  EXPECT_TRUE(ParseXml(dir.Read("f.svg"), elements, why)) << why;
#endif
  const Result bad = Pelterra(dir, "preview builtin:broken " + dir.Path("g.png") + " --color heat");
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("--color takes density, stretch, flips or overlaps"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.Path("g.png")));
}
