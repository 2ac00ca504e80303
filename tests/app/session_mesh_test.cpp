// Session verbs for geometry, attributes and the view, on a UV mesh made through the dialog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "c4d_baseobject.h"
#include "runtime/module_loader.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

struct MeshSession : ::testing::Test {
  hostrt::Host host;
  hostrt::PluginSystem plugins{host};
  std::ostringstream out;
  fs::path dir = fs::temp_directory_path() / ("pelterra_mesh_" + std::to_string(::getpid()));
  std::unique_ptr<pelterra::Session> session;

  void SetUp() override {
    host.NewDocument();
    std::string error;
    ASSERT_TRUE(plugins.StartAll(PELTERRA_PLUGINS, error)) << error;
    fs::remove_all(dir);
    fs::create_directories(dir);
    Restart(false);
  }
  void Restart(bool strict) {
    pelterra::SessionOptions opt;
    opt.outDir = dir.string();
    opt.baseDir = dir.string();
    opt.strict = strict;
    opt.symbols = pelterra::Symbols::FromPluginFolder(PELTERRA_PLUGINS);
    session.reset();
    session = std::make_unique<pelterra::Session>(host, out, opt);
  }
  void TearDown() override {
    session.reset();
    plugins.EndAll();  // frees the documents, with the transfer tag, before the module goes
    fs::remove_all(dir);
  }
  bool Run(const std::string& text) {
    std::istringstream in(text);
    return session->Run(in, "t.session");
  }
  bool Printed(const std::string& line) const { return out.str().find(line) != std::string::npos; }
};

// The cube is 2 wide, so s = 2; its polygon 0 has UV a (0.25, 0.625), mesh point 0 (0.5, 0.75).
const char* const kMeshOfCube =
    "open builtin:cube\ntag uvw\ncommand ID_UVCOMMAND\nchoose 10071 10074\n"
    "click IDC_CREATE_UVMESH\n";

TEST_F(MeshSession, ChecksTheFormsBeforeRunning) {
  const std::pair<const char*, const char*> bad[] = {
      {"move pts 1 2 3", "move points|polygons|edges DX DY DZ"},
      {"point -1 0 0 0", "point \"-1\" is not an index"},
      {"add polygon 1 2", "add polygon A B C [D]"},
      {"uv 0 e 0 0", "corner \"e\" is not a, b, c, d or 0-3"},
      {"set thing 0 1 2", "expected object or tag, got \"thing\""},
      {"draw view.jpg", "needs the suffix .png"},
      {"print attributes object", "print attributes object|tag N"},
      {"expect point 0 1 2", "expect point I X Y Z [within TOLERANCE]"},
  };

  for (const auto& [line, why] : bad) {
    std::istringstream in(std::string(line) + "\n");
    EXPECT_FALSE(session->Check(in, "c.session")) << line;
    EXPECT_NE(session->Error().find(why), std::string::npos) << line << ": " << session->Error();
  }
  std::istringstream good(
      "move edges 1 -2 3.5\nadd polygon 0 1 2 3\nuv 2 d 0.5 0.5 1\ndraw v.png size 64\n"
      "print points\nexpect point 3 0 0 0 within 0.1\nexpect attribute object 0 900 1\n");
  EXPECT_TRUE(session->Check(good, "c.session")) << session->Error();
}

TEST_F(MeshSession, CreateEditEvaluateUndoAndDraw) {
#ifdef _WIN32
  // Built without cairo the lines are drawn into no picture; the line says so.
  const std::string picture = "missing";
#else
  const std::string picture = "exists";
#endif
  ASSERT_TRUE(
      Run(std::string(kMeshOfCube) +
          "expect changed\nexpect objects 2\nprint objects\n"
          "object Cube_UVmesh\nexpect point 0 0.5 0.75 0\nexpect polygons 6\n"
          "mode points\nselect points 0\nmove points 0.5 0 0\n"
          "expect point 0 1 0.75 0\nevaluate\nobject Cube\nexpect uv 0 a 0.5 0.625\n"
          // The drag is a step of its own; undone, the next evaluation writes back.
          "object Cube_UVmesh\nundo\nexpect point 0 0.5 0.75 0\nevaluate\n"
          "object Cube\nexpect uv 0 a 0.25 0.625\n"
          "draw view.png size 128\nexpect lines 4\nprint lines\nexpect file view.png " +
          picture + "\n"))
      << session->Error() << "\n"
      << out.str();
  EXPECT_TRUE(Printed("\n10212: object Cube_UVmesh added; object Plane added\n")) << out.str();
  EXPECT_TRUE(
      Printed("\nCube_UVmesh: 24 points, 6 polygons\n  Plane: plane (5168); node bits 63, 75\n"))
      << out.str();
  EXPECT_TRUE(Printed("\nmoved 1 point(s) of Cube_UVmesh\n")) << out.str();
#ifdef _WIN32
  EXPECT_TRUE(Printed("view.png is not drawn: view pictures are not available in this build"))
      << out.str();
#endif
  EXPECT_TRUE(Printed("\nevaluated: 1 tag(s), 1 generator(s) rebuilt\n")) << out.str();
  EXPECT_TRUE(Printed("\nline 0: (0, 0, 0) to (0, 2, 0), colour (255, 255, 255), width 1\n"))
      << out.str();
}

// Undo of Create UVmesh gives back the whole document, not only its UVs; redo brings the mesh
// back with a transfer tag whose link still finds the source.
TEST_F(MeshSession, UndoOfCreateRestoresTheDocumentAndRedoTheLinkedMesh) {
  auto text = [&](const char* name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  ASSERT_TRUE(Run("open builtin:cube\ntag uvw\nsave before.obj\ncommand ID_UVCOMMAND\n"
                  "choose 10071 10074\nclick IDC_CREATE_UVMESH\nexpect objects 2\n"
                  "save created.obj\nundo\nexpect objects 1\nsave undone.obj\nredo\n"
                  "expect objects 2\nsave redone.obj\n"
                  // Mesh point 0 sits at (0.5, 0.75): a drag of 0.5 in x is 0.25 in u.
                  "object Cube_UVmesh\nmode points\nselect points 0\nmove points 0.5 0 0\n"
                  "evaluate\nobject Cube\nexpect uv 0 a 0.5 0.625\n"))
      << session->Error() << "\n"
      << out.str();
  EXPECT_EQ(text("undone.obj"), text("before.obj"));
  EXPECT_EQ(text("redone.obj"), text("created.obj"));
  EXPECT_NE(text("created.obj"), text("before.obj"));
}

TEST_F(MeshSession, AttributesAreShownSetAndRefused) {
  ASSERT_TRUE(Run(std::string(kMeshOfCube) +
                  "object Cube_UVmesh\nprint attributes tag 0\n"
                  "set tag 0 1005 on\nexpect attribute tag 0 1005 on\n"
                  // The X-ray tick reached the plane (object 2: Cube, Cube_UVmesh, Plane).
                  "expect attribute object 2 902 on\n"
                  "set object 1 901 1,0,0.5\nexpect attribute object 2 901 1,0,0.5\n"
                  "set object 0 903 1,2,3\nexpect attribute object 0 903 \"(1, 2, 3)\"\n"
                  "set object 2 1232 5000\nexpect attribute object 2 1232 1000\n"))
      << session->Error() << "\n"
      << out.str();
  EXPECT_TRUE(Printed("  1003 TRANSFERUV_SIZE \"UV Size\": 2 (disabled)\n")) << out.str();
  EXPECT_TRUE(Printed("  1002 TRANSFERUV_OBJECT \"Source Object\": \"Cube\" (disabled)\n"))
      << out.str();
  EXPECT_FALSE(Printed("  1004 ")) << "the plane link is hidden";
  EXPECT_TRUE(Printed("warning: 1232: 5000 is above the maximum 1000; set to 1000\n")) << out.str();

  EXPECT_FALSE(session->RunLine("set tag 0 1003 5", 40));
  EXPECT_EQ(session->Error(), "t.session:40: parameter 1003 (UV Size) is disabled");
  EXPECT_FALSE(session->RunLine("set tag 0 1004 5", 41));
  EXPECT_EQ(session->Error(), "t.session:41: parameter 1004 is not shown in the attribute view");
  EXPECT_FALSE(session->RunLine("set tag 9 1005 on", 42));
  EXPECT_FALSE(session->RunLine("expect attribute object 2 902 off", 43));
  EXPECT_EQ(session->Error(), "t.session:43: expected parameter 902 = off, got on");
}

TEST_F(MeshSession, PointsPolygonsAndUVsAreUserEdits) {
  ASSERT_TRUE(
      Run("open builtin:islands\nprint points\npoint 1 5 6 7\nexpect point 1 5 6 7\n"
          "add polygon 0 1 2\nexpect polygons 4\nuv 3 b 0.5 0.25\nexpect uv 3 b 0.5 0.25 0\n"
          "uv 0 a 0.75 0.5 2\nexpect uv 0 a 0.75 0.5 2\n"
          "undo\nexpect uv 0 a 0.125 0.875\nundo\nundo\nexpect polygons 3\nundo\n"
          "expect point 1 1 0 0\n"))
      << session->Error() << "\n"
      << out.str();
  EXPECT_TRUE(Printed("\npoint 1: (1, 0, 0)\n")) << out.str();
  EXPECT_TRUE(Printed("\nadded polygon 3 to Islands\n")) << out.str();
  EXPECT_FALSE(session->RunLine("point 99 0 0 0", 30));
  EXPECT_EQ(session->Error(), "t.session:30: no point 99: Islands has 10 point(s)");
  EXPECT_FALSE(session->RunLine("add polygon 0 1 10", 31));
  EXPECT_FALSE(session->RunLine("uv 3 a 0 0", 32));
  EXPECT_FALSE(session->RunLine("expect lines 4", 33));
  EXPECT_EQ(session->Error(), "t.session:33: nothing drawn yet (use \"draw\" first)");
}

TEST_F(MeshSession, MovingNothingIsAWarningAndStrictlyAFailure) {
  ASSERT_TRUE(Run("open builtin:islands\nselect edges none\nmove edges 1 0 0\n"))
      << session->Error();
  EXPECT_TRUE(Printed("warning: move: no edges of Islands are selected\n")) << out.str();
  Restart(true);
  EXPECT_FALSE(Run("open builtin:islands\nselect polygons none\nmove polygons 1 0 0\n"));
  EXPECT_NE(session->Error().find("(--strict)"), std::string::npos) << session->Error();
  // Edges move their two points each; a drag is in world space.
  Restart(false);
  // Edge 0 is side a-b of polygon 0: points 0 and 3 (the host's corner order is the file's
  // reversed, keeping the first).
  ASSERT_TRUE(
      Run("open builtin:islands\nselect edges 0\nmove edges 0 0 -1\n"
          "expect point 0 0 0 -1\nexpect point 3 0 0 0\nexpect point 1 1 0 0\n"))
      << session->Error() << "\n"
      << out.str();
}

}  // namespace
