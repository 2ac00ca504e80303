// EPS export: the exact text, the polygons it draws, the size dialog's ranges, and Ghostscript
// drawing every file the tests write with ink along the edges.
#include "UVEps.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "c4d_symbols.h"
#include "temp_folder.h"
#include "uv_scene.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr bool kRenders = false;  // Ghostscript is not run in the Windows tests
#else
constexpr bool kRenders = true;
#endif

const std::string kHead1024 =
    "%!PS-Adobe-2.0\n"
    "%%DocumentFonts: Helvetica\n"
    "%%BoundingBox: 0 0 1024 1024\n"
    "%%Orientation: Portrait\n"
    "%%Pages: 1\n"
    "%%EndComments\n"
    "/mydict 120 dict def\n"
    "mydict begin\n"
    "1 setlinewidth\n"
    "gsave\n";
const std::string kTail = "end\ngrestore\nshowpage\n%%Trailer\n";

std::string Edge(const char* from, const char* to) {
  return std::string("newpath\n") + from + " moveto\n" + to + " lineto\nstroke\n";
}

struct EpsTest : UVScene {
  TempFolder tmp;
  std::string Path(const std::string& name) const { return tmp.Path(name); }
  std::string Read(const std::string& name) const { return tmp.Read(name); }
  EpsSettings& Settings() { return dlg.State<EpsState>().settings; }
  // The menu entry, with the file selector answered.
  std::string Export(const std::string& name) {
    host.QueueFile(Path(name));
    Click(IDC_MENU_SAVE_EPS);
    return Read(name);
  }

  // Ghostscript draws the file on a page of its size, one pixel a point, without an error; the
  // page as grey levels, row 0 at the top.
  std::vector<unsigned char> Render(const std::string& name, Int32 w, Int32 h) {
#ifdef _WIN32
    // The drawing's text is checked all the same; only its picture is left out.
    (void)w;
    (void)h;
    [&] { GTEST_SKIP() << "Ghostscript draws " << name << " only in the Linux tests"; }();
    return {};
#else
    const std::string out = Path(name + ".pgm"), err = Path(name + ".err");
    const std::string cmd =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pgmraw -r72 -dDEVICEWIDTHPOINTS=" +
        std::to_string(w) + " -dDEVICEHEIGHTPOINTS=" + std::to_string(h) +
        " -dFIXEDMEDIA -sOutputFile='" + out + "' '" + Path(name) + "' 2>'" + err + "' >&2";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << cmd << "\n" << Read(name + ".err");
    EXPECT_EQ(Read(name + ".err"), "") << "Ghostscript reported a problem";
    // P5, width, height, largest value, one blank, the rows; '#' starts a comment line.
    std::istringstream pgm(Read(name + ".pgm"));
    auto token = [&pgm]() {
      std::string t;
      while (pgm >> t && t[0] == '#') std::getline(pgm, t);
      return t;
    };
    EXPECT_EQ(token(), "P5");
    EXPECT_EQ(token(), std::to_string(w));
    EXPECT_EQ(token(), std::to_string(h));
    EXPECT_EQ(token(), "255");
    pgm.get();
    std::vector<unsigned char> px(static_cast<size_t>(w) * h);
    pgm.read(reinterpret_cast<char*>(px.data()), static_cast<std::streamsize>(px.size()));
    EXPECT_EQ(pgm.gcount(), static_cast<std::streamsize>(px.size()));
    return px;
#endif
  }
};

// Ink within a pixel of (x, y) (pixels from the top left).
bool InkNear(const std::vector<unsigned char>& px, Int32 w, Int32 h, Float x, Float y) {
  for (Int32 dy = -1; dy <= 1; ++dy)
    for (Int32 dx = -1; dx <= 1; ++dx) {
      const Int32 cx = static_cast<Int32>(x) + dx, cy = static_cast<Int32>(y) + dy;
      if (cx >= 0 && cx < w && cy >= 0 && cy < h && px[static_cast<size_t>(cy * w + cx)] < 128)
        return true;
    }
  return false;
}

}  // namespace

// A quad gives four edges, a triangle three, each a path of its own; u runs across the width
// and v down from the top: (0.5, 0.25) at 1024 is the point 512 768.
TEST_F(EpsTest, ExactTextForAQuadAndATriangle) {
  Scene({UVWStruct(V(0, 0), V(0.5, 0), V(0.5, 0.25), V(0, 0.25)),
         Tri(V(0.5, 0.25), V(1, 1), V(0.25, 0.75))},
        Muvpolygons);
  op->SetName("obj");
  doc->SetDocumentPath("/docs");
  const std::string want = kHead1024 +
                           // quad a(0, 1024) b(512, 1024) c(512, 768) d(0, 768)
                           Edge("0 1024", "512 1024") + Edge("512 1024", "512 768") +
                           Edge("512 768", "0 768") + Edge("0 768", "0 1024") +
                           // triangle a(512, 768) b(1024, 0) c(256, 256)
                           Edge("512 768", "1024 0") + Edge("1024 0", "256 256") +
                           Edge("256 256", "512 768") + kTail;
  EXPECT_EQ(Export("quad.eps"), want);
  EXPECT_EQ(host.FileSelects().back().title, "Save UVlist for EPS");
  EXPECT_EQ(host.FileSelects().back().flags, FILESELECT_SAVE);
  EXPECT_EQ(host.FileSelects().back().offered, (fs::path("/docs") / "obj_UV.eps").string());

  // Ink along every edge: pixel (u W, v H). Inside the quad, away from its edges, none.
  if (!kRenders) GTEST_SKIP() << "Ghostscript draws the pictures only in the Linux tests";
  const std::vector<unsigned char> px = Render("quad.eps", 1024, 1024);
  for (const auto& [x, y] :
       std::vector<std::pair<Float, Float>>{{256, 0.5},
                                            {511, 128},
                                            {256, 255},
                                            {0.5, 128},  // quad edges, midpoints
                                            {768, 640},
                                            {640, 896},
                                            {384, 512}})  // triangle edges, midpoints
    EXPECT_TRUE(InkNear(px, 1024, 1024, x, y)) << x << ", " << y;
  EXPECT_EQ(px[static_cast<size_t>(128 * 1024 + 256)], 255) << "inside the quad";
}

// Sizes and line widths that are not whole are written as they are, UVs outside 0 .. 1
// give points outside the box, and an edge to a corner that is no number is left out.
TEST_F(EpsTest, NumbersAreNotRounded) {
  Scene({Tri(V(0.125, 0.375), V(1.5, -0.25), V(0.125, 0.375))}, Muvpolygons);
  const EpsSettings s{100, 10, 0.25};
  host.QueueFile(Path("n.eps"));
  ASSERT_TRUE(ExportUVlistEps(s));
  const std::string text = Read("n.eps");
  EXPECT_NE(text.find("%%BoundingBox: 0 0 100 10\n"), std::string::npos);
  EXPECT_NE(text.find("\n0.25 setlinewidth\n"), std::string::npos);
  // (0.125, 0.375) -> 12.5, 6.25; (1.5, -0.25) -> 150, 12.5.
  EXPECT_NE(text.find(Edge("12.5 6.25", "150 12.5")), std::string::npos) << text;
  EXPECT_NE(text.find(Edge("150 12.5", "12.5 6.25")), std::string::npos) << text;
  Render("n.eps", 100, 10);

  // A corner that is no number: its two edges are left out, the rest is drawn.
  Scene({UVWStruct(V(0, 0), V(0.5, 0), V(std::nan(""), 0.5), V(0, 0.5))}, Muvpolygons);
  host.QueueFile(Path("nan.eps"));
  ASSERT_TRUE(ExportUVlistEps(s));
  EXPECT_EQ(Read("nan.eps"),
            "%!PS-Adobe-2.0\n%%DocumentFonts: Helvetica\n%%BoundingBox: 0 0 100 10\n"
            "%%Orientation: Portrait\n%%Pages: 1\n%%EndComments\n"
            "/mydict 120 dict def\nmydict begin\n0.25 setlinewidth\ngsave\n" +
                Edge("0 10", "50 10") + Edge("0 5", "0 10") + kTail);
  Render("nan.eps", 100, 10);
}

// Only the selected polygons, in ascending order; an object without polygons gives the frame.
TEST_F(EpsTest, SelectedPolygonsAndEmptyObjects) {
  std::vector<UVWStruct> uvs;
  for (Int32 i = 0; i < 10; ++i) uvs.push_back(Quad(0.125 * (i % 5), 0.25 + 0.5 * (i / 5), 0.05));
  Scene(uvs, Muvpolygons);
  op->GetPolygonS()->Select(7);
  op->GetPolygonS()->Select(3);
  const std::string text = Export("sel.eps");
  size_t paths = 0;
  for (size_t at = text.find("newpath"); at != std::string::npos; at = text.find("newpath", at + 1))
    ++paths;
  EXPECT_EQ(paths, 8u);
  // Corner a of polygon 3 (0.375, 0.25) and of polygon 7 (0.25, 0.75).
  const size_t first3 = text.find("384 768 moveto"), first7 = text.find("256 256 moveto");
  ASSERT_NE(first3, std::string::npos);
  ASSERT_NE(first7, std::string::npos);
  EXPECT_LT(first3, first7) << "ascending polygon order";
  if (!kRenders) GTEST_SKIP() << "Ghostscript draws the pictures only in the Linux tests";
  const std::vector<unsigned char> px = Render("sel.eps", 1024, 1024);
  EXPECT_TRUE(InkNear(px, 1024, 1024, 1024 * 0.4, 256)) << "polygon 3's first edge";
  EXPECT_FALSE(InkNear(px, 1024, 1024, 1024 * 0.15, 256)) << "polygon 1 is not drawn";

  Scene({}, Muvpolygons);
  EXPECT_EQ(Export("empty.eps"), kHead1024 + kTail);
  Render("empty.eps", 1024, 1024);
}

// The size dialog keeps a page drawable: values typed outside its ranges are clamped. Accepting
// changes the next export's box; closing the dialog otherwise keeps it.
TEST_F(EpsTest, SizeDialogRangesAndTheNextExport) {
  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_WIDTH, "-100").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_HEIGHT, "2147483647").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_LINE, "-1e18").ok);
    EXPECT_TRUE(hostrt::Click(host, *modal, IDC_EPS_OK).ok);
  };
  Click(IDC_EPS_SIZE);
  EXPECT_EQ(Settings().width, 1);
  EXPECT_EQ(Settings().height, 16384);
  EXPECT_EQ(Settings().lineWidth, 0.01);

  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_WIDTH, "300").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_HEIGHT, "200").ok);
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_LINE, "1000").ok);
    EXPECT_TRUE(hostrt::Click(host, *modal, IDC_EPS_OK).ok);
  };
  Click(IDC_EPS_SIZE);
  EXPECT_EQ(Settings().lineWidth, 100.0);
  host.modalHandler = [&](GeDialog* modal) {
    EXPECT_TRUE(hostrt::Type(host, *modal, IDC_EPS_WIDTH, "5").ok);
    EXPECT_TRUE(hostrt::CloseWindow(host, *modal).ok);
  };
  Click(IDC_EPS_SIZE);
  EXPECT_EQ(Settings().width, 300) << "closed without accepting";

  Scene({Quad(0.25, 0.5, 0.5)}, Muvpolygons);
  const std::string text = Export("sized.eps");
  EXPECT_EQ(text.substr(0, text.find("gsave")),
            "%!PS-Adobe-2.0\n%%DocumentFonts: Helvetica\n%%BoundingBox: 0 0 300 200\n"
            "%%Orientation: Portrait\n%%Pages: 1\n%%EndComments\n/mydict 120 dict def\n"
            "mydict begin\n100 setlinewidth\n");
  // (0.25, 0.5) -> 75, 100; (0.75, 0.5) -> 225, 100.
  EXPECT_NE(text.find(Edge("75 100", "225 100")), std::string::npos);
  Render("sized.eps", 300, 200);
}

TEST_F(EpsTest, PreconditionsCancelAndUnwritableFiles) {
  Scene({Quad(0, 0, 1)}, Muvpolygons);
  op->KillTag(Tuvw);
  EXPECT_FALSE(ExportUVlistEps(Settings()));
  EXPECT_TRUE(host.FileSelects().empty()) << "no selector without a UVW tag";
  Scene({Quad(0, 0, 1)}, Muvpolygons);
  host.QueueFile("");
  EXPECT_TRUE(ExportUVlistEps(Settings())) << "cancelled";
  host.QueueFile(Path("missing/x.eps"));
  EXPECT_FALSE(ExportUVlistEps(Settings()));
  EXPECT_EQ(tmp.Files(), 0u);
}
