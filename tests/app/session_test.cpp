// Session scripts, run through the real module.
#include "session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "c4d_baseobject.h"
#include "runtime/module_loader.h"

namespace fs = std::filesystem;

namespace {

struct SessionTest : ::testing::Test {
  hostrt::Host host;
  hostrt::PluginSystem plugins{host};
  std::ostringstream out;
  fs::path dir = fs::temp_directory_path() / ("pelterra_session_" + std::to_string(::getpid()));
  std::unique_ptr<pelterra::Session> session;

  void SetUp() override {
    host.NewDocument();
    std::string error;
    ASSERT_TRUE(plugins.StartAll(PELTERRA_PLUGINS, error)) << error;
    fs::remove_all(dir);
    fs::create_directories(dir);
    pelterra::SessionOptions opt;
    opt.outDir = dir.string();
    opt.baseDir = dir.string();
    session = std::make_unique<pelterra::Session>(host, out, opt);
  }
  void TearDown() override {
    session.reset();
    plugins.EndAll();
    fs::remove_all(dir);
  }
  bool Run(const std::string& text) {
    std::istringstream in(text);
    return session->Run(in, "t.session");
  }
  PolygonObject* Active() {
    return static_cast<PolygonObject*>(host.ActiveDocument()->GetActiveObject());
  }
};

}  // namespace

TEST(SplitWords, QuotesAndComments) {
  std::vector<std::string> w;
  std::string error;
  ASSERT_TRUE(pelterra::SplitWords("expect message \"Select \\\"UV\\\" Mode\"  # done", w, error));
  EXPECT_EQ(w, (std::vector<std::string>{"expect", "message", "Select \"UV\" Mode"}));
  ASSERT_TRUE(pelterra::SplitWords("\ttype 10062 \"\"\r", w, error));
  EXPECT_EQ(w, (std::vector<std::string>{"type", "10062", ""}));
  EXPECT_FALSE(pelterra::SplitWords("echo \"open", w, error));
  EXPECT_EQ(error, "unterminated quote");
}

TEST_F(SessionTest, SceneObjectTagModeAndSelections) {
  ASSERT_TRUE(
      Run("open builtin:cube\n"
          "mode uvpoints\n"
          "select uvpolygons 0-2,5\n"
          "select uvpolygons remove 1\n"
          "select uvpoints 4 9-10\n"
          "select uvpoints add 0\n"
          "select points all\n"
          "select edges none\n"
          "tag uvw 0\n"))
      << session->Error();
  PolygonObject* op = Active();
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(host.ActiveDocument()->GetMode(), Muvpoints);
  EXPECT_TRUE(op->GetPolygonS()->IsSelected(0));
  EXPECT_FALSE(op->GetPolygonS()->IsSelected(1));
  EXPECT_EQ(op->GetPolygonS()->GetCount(), 3);
  EXPECT_EQ(hostrt::UVPointSelection(op)->GetCount(), 4);
  EXPECT_EQ(op->GetPointS()->GetCount(), op->GetPointCount());
  EXPECT_TRUE(op->GetTag(Tuvw)->GetBit(BIT_ACTIVE));
  ASSERT_TRUE(
      Run("expect selection uvpolygons 0,2,5\nexpect selection uvpoints 0 4 9-10\n"
          "expect mode uvpoints\nexpect objects 1\nexpect polygons 6\ntag none\n"))
      << session->Error();
  EXPECT_FALSE(op->GetTag(Tuvw)->GetBit(BIT_ACTIVE));
}

TEST_F(SessionTest, BadLinesNameTheirLineAndStopTheSession) {
  EXPECT_FALSE(Run("open builtin:cube\nselect uvpolygons 1\nfrobnicate 3\nselect uvpolygons 2\n"));
  EXPECT_EQ(session->Error(), "t.session:3: unknown action \"frobnicate\"");
  EXPECT_TRUE(Active()->GetPolygonS()->IsSelected(1))
      << "lines before the bad one keep their effect";
  EXPECT_FALSE(Active()->GetPolygonS()->IsSelected(2)) << "nothing after it runs";

  struct Case {
    const char* line;
    const char* error;
  };
  for (Case c :
       {Case{"select uvpolygons 0-99", "index 99 is out of range: uvpolygons go from 0 to 5"},
        Case{"select uvpolygons 3-1", "bad index or range \"3-1\""},
        Case{"mode sideways", "unknown mode \"sideways\""},
        Case{"object Nothing", "no object named \"Nothing\""},
        Case{"click 10089", "no open dialog (use \"command ID\" first)"},
        Case{"open missing.obj", "missing.obj"}, Case{"undo", "nothing to undo"},
        Case{"echo \"open", "unterminated quote"}, Case{"command 4711", "no command 4711"},
        Case{"answer maybe", "answer yes, no, ok or cancel"}}) {
    EXPECT_FALSE(session->RunLine(c.line, 7)) << c.line;
    EXPECT_NE(session->Error().find(c.error), std::string::npos)
        << c.line << " -> " << session->Error();
    EXPECT_EQ(session->Error().rfind("t.session:7: ", 0), 0u) << session->Error();
  }
}

TEST_F(SessionTest, ExpectationsReportExpectedAndGot) {
  ASSERT_TRUE(Run("open builtin:cube\nselect uvpolygons 1\n")) << session->Error();
  const UVWStruct uv = static_cast<UVWTag*>(Active()->GetTag(Tuvw))->GetSlow(2);
  std::ostringstream ok;
  ok << "expect uv 2 b " << uv.b.x << " " << uv.b.y << " within 1e-9";
  EXPECT_TRUE(session->RunLine(ok.str(), 1)) << session->Error();
  EXPECT_FALSE(session->RunLine("expect uv 2 b 5 5", 2));
  EXPECT_NE(session->Error().find("t.session:2: expected uv 2.b = (5, 5) within 0.000001, got ("),
            std::string::npos)
      << session->Error();
  EXPECT_FALSE(session->RunLine("expect selection uvpolygons 0-1", 3));
  EXPECT_EQ(session->Error(), "t.session:3: expected uvpolygons 0-1, got 1");
  EXPECT_FALSE(session->RunLine("expect mode points", 4));
  EXPECT_EQ(session->Error(), "t.session:4: expected mode points, got model");
  EXPECT_FALSE(session->RunLine("expect file nothing.obj exists", 5));
  EXPECT_NE(session->Error().find("nothing.obj exists, got it is missing"), std::string::npos);
  EXPECT_FALSE(session->RunLine("expect message \"x\"", 6));
  EXPECT_EQ(session->Error(), "t.session:6: expected message \"x\", got no message");
}

TEST_F(SessionTest, DialogActionsAndControlExpectations) {
  ASSERT_TRUE(
      Run("open builtin:cube\n"
          "command 1024239\n"
          "expect control 10120 label \"EPS Size W:1024px H:1024px\"\n"
          "expect control 10076 visible\n"
          "choose 10071 10074\n"
          "expect control 10076 hidden\n"
          "type 10062 2.5\n"
          "expect control 10062 value 2.5\n"
          "type 10050 45\n"
          "expect control 10050 value 45\n"
          "tick 10220 on\n"
          "expect control 10220 value on\n"
          "expect control 10161 disabled\n"
          "click 10111\n"
          "expect control 10113 hidden\n"
          "print dialog\n"))
      << session->Error();
  EXPECT_NE(out.str().find("dialog \"Pelterra\""), std::string::npos);
  EXPECT_FALSE(session->RunLine("click 10122", 20)) << "a hidden control refuses the click";
  EXPECT_NE(session->Error().find("t.session:20: "), std::string::npos);
  EXPECT_FALSE(session->RunLine("expect control 10062 value 3", 21));
  EXPECT_EQ(session->Error(), "t.session:21: expected 3, got 2.5");
  EXPECT_TRUE(session->RunLine("close", 22)) << session->Error();
  EXPECT_TRUE(host.Windows().empty());
}

TEST_F(SessionTest, ModalDialogsAnswersAndDefaults) {
  ASSERT_TRUE(
      Run("open builtin:cube\ncommand 1024239\n"
          "modal type 10164 2048\nmodal type 10166 512\nmodal click 10167\n"
          "click 10120\n"
          "expect control 10120 label \"EPS Size W:2048px H:512px\"\n"
          "modal type 10164 9\n"
          "click 10120\n"
          "expect control 10120 label \"EPS Size W:2048px H:512px\"\n"))
      << session->Error();
  EXPECT_NE(out.str().find("modal dialog closed without an answer"), std::string::npos);

  // Questions and file selectors: given answers are used, missing ones default to no and cancel.
  ASSERT_TRUE(Run("answer yes\nfile picked.uva\n")) << session->Error();
  EXPECT_EQ(host.OutString("UV Revers ?", GEMB_YESNO), GEMB_R_YES);
  EXPECT_EQ(host.OutString("UV Revers ?", GEMB_YESNO), GEMB_R_NO);
  EXPECT_NE(out.str().find("message: UV Revers ? (no answer given: no)"), std::string::npos)
      << out.str();
  Filename f;
  EXPECT_TRUE(host.FileSelect(f, 0, FILESELECT_SAVE, "Save UV list", ""));
  EXPECT_EQ(f.GetString(), (dir / "picked.uva").string());
  EXPECT_FALSE(host.FileSelect(f, 0, FILESELECT_LOAD, "Load UV list", ""));
  EXPECT_NE(out.str().find("file selector: Load UV list (no answer given: cancel)"),
            std::string::npos);
  ASSERT_TRUE(Run("expect messages 2\nexpect message \"UV Revers ?\"\n")) << session->Error();

  EXPECT_FALSE(Run("modal click 10167\nmodal poke 1\n"));
  EXPECT_EQ(session->Error(), "t.session:2: unknown modal action \"poke\"");
}

TEST_F(SessionTest, TimeUndoSaveExportPrint) {
  ASSERT_TRUE(Run("open builtin:cube\nfps 25\nframe 50\n")) << session->Error();
  EXPECT_DOUBLE_EQ(host.ActiveDocument()->GetTime().Get(), 2.0);
  ASSERT_TRUE(Run("time 0.5\nevaluate\ndraw\n")) << session->Error();
  EXPECT_DOUBLE_EQ(host.ActiveDocument()->GetTime().Get(), 0.5);

  BaseDocument* doc = host.ActiveDocument();
  PolygonObject* op = Active();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("Changed");
  ASSERT_TRUE(Run("undo\nobject Cube\nredo\nobject Changed\n")) << session->Error();

  ASSERT_TRUE(
      Run("save all.obj\nexport one.obj\nexpect file all.obj contains \"o Changed\"\n"
          "print uvs 0\nprint selection uvpolygons\nprint tags\nprint objects\nprint mode\n"))
      << session->Error();
  EXPECT_TRUE(fs::exists(dir / "one.obj"));
  EXPECT_EQ(session->Written().size(), 2u);
  EXPECT_NE(out.str().find("uv 0: a("), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("uvpolygons: none"), std::string::npos);
  EXPECT_NE(out.str().find("tag 5671 uvw"), std::string::npos);
  EXPECT_NE(out.str().find("Changed (active): 8 points, 6 polygons"), std::string::npos)
      << out.str();
}

// The golden session: every line's output through the real module, compared as a whole.
TEST_F(SessionTest, GoldenSession) {
  const fs::path data = fs::path(PELTERRA_SOURCE_DIR) / "tests" / "app" / "data";
  std::ifstream script(data / "golden.session");
  ASSERT_TRUE(script) << "missing golden.session";
  ASSERT_TRUE(session->Run(script, "golden.session")) << session->Error();
  std::ifstream expectedFile(data / "golden.out");
  std::stringstream expected;
  expected << expectedFile.rdbuf();
  std::string got = out.str();
  // Output paths differ per run.
  for (size_t p = got.find(dir.string()); p != std::string::npos; p = got.find(dir.string(), p))
    got.replace(p, dir.string().size(), "OUT");
  EXPECT_EQ(got, expected.str());
  EXPECT_TRUE(fs::exists(dir / "golden.png"));
}

// The island tools' cases, each a session through the dialog on a real document.
TEST_F(SessionTest, IslandToolSessions) {
  const fs::path folder = fs::path(PELTERRA_SOURCE_DIR) / "tests" / "app" / "data" / "sessions";
  // Each session gets a fresh host and a fresh start of the module.
  session.reset();
  plugins.EndAll();
  int ran = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".session") continue;
    hostrt::Host h;
    h.NewDocument();
    hostrt::PluginSystem p(h);
    std::string error;
    ASSERT_TRUE(p.StartAll(PELTERRA_PLUGINS, error)) << error;
    std::ostringstream log;
    pelterra::SessionOptions opt;
    opt.baseDir = folder.string();
    opt.outDir = dir.string();
    std::ifstream in(entry.path());
    {
      pelterra::Session s(h, log, opt);
      EXPECT_TRUE(s.Run(in, entry.path().filename().string())) << s.Error() << "\n" << log.str();
    }
    p.EndAll();
    ++ran;
  }
  EXPECT_EQ(ran, 5);
}
