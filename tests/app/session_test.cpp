// Session scripts, run through the real module.
#include "session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
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
    Restart({});
  }
  // A fresh session with these options (folders and names filled in).
  void Restart(pelterra::SessionOptions opt) {
    opt.outDir = dir.string();
    opt.baseDir = dir.string();
    opt.symbols = pelterra::Symbols::FromPluginFolder(PELTERRA_PLUGINS);
    session.reset();
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

TEST_F(SessionTest, EveryBadLineIsReportedBeforeAnythingRuns) {
  EXPECT_FALSE(
      Run("open builtin:cube\n"
          "clik 10065\n"
          "select uvpolygons 1\n"
          "select uvpolygons 3-1\n"
          "type 10062\n"
          "expect uv 0 a 0.5 abc\n"
          "save ${stem}.obj\n"
          "echo ${nothing}\n"
          "click IDC_SCAEL\n"
          "frobnicate 3\n"
          "print selection uvpolygons\n"));
  EXPECT_TRUE(session->CheckFailed());
  EXPECT_EQ(session->Error(),
            "t.session:2: unknown action \"clik\"; did you mean \"click\"?\n"
            "t.session:4: bad index or range \"3-1\"\n"
            "t.session:5: \"type\" takes 2 argument(s), got 1 (CONTROL TEXT)\n"
            "t.session:6: v \"abc\" is not a number\n"
            "t.session:7: ${stem} needs a scene (--scene FILE)\n"
            "t.session:8: unknown variable ${nothing}; known are ${scene}, ${stem} and ${out}\n"
            "t.session:9: unknown name IDC_SCAEL (did you mean IDC_SCALE?); put a label in quotes\n"
            "t.session:10: unknown action \"frobnicate\"");
  EXPECT_EQ(host.ActiveDocument()->GetFirstObject(), nullptr) << "nothing ran";
  EXPECT_EQ(out.str(), "");

  // Lines that read well but fail when run stop the session there.
  EXPECT_FALSE(
      Run("open builtin:cube\nselect uvpolygons 1\nselect uvpolygons 0-99\n"
          "select uvpolygons 2\n"));
  EXPECT_FALSE(session->CheckFailed());
  EXPECT_EQ(session->Error(), "t.session:3: index 99 is out of range: uvpolygons go from 0 to 5");
  EXPECT_TRUE(Active()->GetPolygonS()->IsSelected(1))
      << "lines before the bad one keep their effect";
  EXPECT_FALSE(Active()->GetPolygonS()->IsSelected(2)) << "nothing after it runs";

  struct Case {
    const char* line;
    const char* error;
  };
  for (Case c : {Case{"mode sideways", "unknown mode \"sideways\""},
                 Case{"object Nothing", "no object named \"Nothing\""},
                 Case{"click 10089", "no open dialog (use \"command ID\" first)"},
                 Case{"open missing.obj", "missing.obj"}, Case{"undo", "nothing to undo"},
                 Case{"echo \"open", "unterminated quote"}, Case{"command 4711", "no command 4711"},
                 Case{"answer maybe", "answer yes, no, ok or cancel"},
                 Case{"preview uv.jpg", "needs the suffix .png"},
                 Case{"expect changed", "needs a dialog action before it"}}) {
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
  // A right u and v with a wrong w is a miss.
  std::ostringstream w;
  w << "expect uv 2 b " << uv.b.x << " " << uv.b.y << " " << uv.b.z + 0.5 << " within 1e-9";
  EXPECT_FALSE(session->RunLine(w.str(), 7));
  // The cube has polygons 0 to 5: 6 is the limit, and a negative index is no index.
  EXPECT_FALSE(session->RunLine("expect uv 6 a 0 0", 8));
  EXPECT_EQ(session->Error().find("t.session:8: "), 0u) << session->Error();
  EXPECT_FALSE(session->RunLine("select uvpolygons 6", 9));
  EXPECT_EQ(session->Error(), "t.session:9: index 6 is out of range: uvpolygons go from 0 to 5");
  EXPECT_FALSE(session->RunLine("select uvpolygons -1", 10));
  EXPECT_EQ(session->Error(), "t.session:10: bad index or range \"-1\"");
  EXPECT_FALSE(session->RunLine("expect uv -1 a 0 0", 11));
  EXPECT_TRUE(session->RunLine("expect selection uvpolygons 1", 12)) << "nothing was selected";
  // A control's value must match, not come near.
  ASSERT_TRUE(session->RunLine("command 1024239", 13)) << session->Error();
  ASSERT_TRUE(session->RunLine("choose 10071 10074", 14)) << session->Error();
  EXPECT_TRUE(session->RunLine("expect control 10062 value 1", 15)) << session->Error();
  EXPECT_FALSE(session->RunLine("expect control 10062 value 1.001", 16));
  EXPECT_EQ(session->Error(), "t.session:16: expected 1.001, got 1");
  EXPECT_FALSE(session->RunLine("expect control 10050 value 0.1", 17)) << "degrees as shown";
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

// Animation: exact times, tracks and keys added as the timeline does, keys shown, frames played.
TEST_F(SessionTest, AnimationLines) {
  ASSERT_TRUE(Run("open builtin:islands\nfps 25\ntime 1.16\n")) << session->Error();
  EXPECT_EQ(host.ActiveDocument()->GetTime(), BaseTime(29, 25)) << "1.16 s as the fraction it is";
  EXPECT_EQ(host.ActiveDocument()->GetTime().GetFrame(25), 29);
  ASSERT_TRUE(Run("frame 2.5\n")) << session->Error();
  EXPECT_EQ(host.ActiveDocument()->GetTime(), BaseTime(1, 10));

  // The check reads every line first.
  EXPECT_FALSE(Run("play 5 1\ntrack remove 1030718\nkey add\nplay 0 100000\nplay 0 x\n"));
  EXPECT_EQ(session->Error(),
            "t.session:1: play goes from a frame to a later one (5 to 1)\n"
            "t.session:2: track add ID (a track plug-in's number or name)\n"
            "t.session:3: key add ID (a track plug-in's number or name)\n"
            "t.session:4: play covers at most 100000 frames\n"
            "t.session:5: play FROM TO takes whole frame numbers");

  out.str("");
  ASSERT_TRUE(Run("play 0 2\n")) << session->Error();
  EXPECT_NE(out.str().find("warning: nothing to play: no object has a track"), std::string::npos);
  EXPECT_FALSE(Run("key add ID_AUVTRACK\n"));
  EXPECT_EQ(session->Error(),
            "t.session:1: Islands has no track ID_AUVTRACK; add one with \"track add ID_AUVTRACK\"");
  EXPECT_FALSE(Run("track add 5\n"));
  EXPECT_EQ(session->Error(), "t.session:1: no track plug-in 5");

  out.str("");
  ASSERT_TRUE(Run("track add ID_AUVTRACK\nframe 0\nkey add 1030718\ntrack add 1030718\n"
                  "frame 10\ncommand ID_ANIUVCOMMAND\nclick IDC_MORPH_RECORD\nexpect tracks 1\n"
                  "expect keys 2\nprint keys\nplay 0 10\n"))
      << session->Error();
  const std::string got = out.str();
  EXPECT_NE(got.find("track 1030718 added to Islands\n"), std::string::npos) << got;
  EXPECT_NE(got.find("key added to track 1030718 of Islands at frame 0 (0 s)\n"), std::string::npos);
  EXPECT_NE(got.find("warning: Islands already has track 1030718\n"), std::string::npos);
  EXPECT_NE(got.find("10186: 1 key(s) added to Islands\n"), std::string::npos) << got;
  EXPECT_NE(got.find("track 1030718 \"UV Morph\": 2 key(s)\n"
                     "  key 0 at frame 0 (0 s): Islands UVmorph\n"
                     "    UV snapshot: 12 knots (read-only)\n"
                     "    UVW tag: UVW tag 0 of Islands (read-only)\n"
                     "  key 1 at frame 10 (0.4 s): Islands UVmorph\n"),
            std::string::npos)
      << got;
  EXPECT_NE(got.find("played frames 0 to 10 at 25 fps: 11 track evaluation(s)\n"), std::string::npos);
  EXPECT_FALSE(Run("expect keys 3\n"));
  EXPECT_EQ(session->Error(), "t.session:1: expected 3 keys on Islands, got 2");

  // With --strict a play that animates nothing fails.
  pelterra::SessionOptions strict;
  strict.strict = true;
  Restart(strict);
  EXPECT_FALSE(Run("open builtin:cube\nplay 0 1\n"));
  EXPECT_EQ(session->Error(), "t.session:2: nothing to play: no object has a track (--strict)");
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
#ifdef _WIN32
  // Built without cairo the picture is not drawn and the line says so; files are named with
  // Windows' separator.
  std::string want = expected.str();
  const std::string png = "wrote OUT/golden.png\n";
  ASSERT_NE(want.find(png), std::string::npos);
  want.replace(want.find(png), png.size(),
               "note: OUT\\golden.png is not drawn: PNG previews are not available in this build "
               "(it is built without cairo)\n");
  for (size_t p = want.find("OUT/"); p != std::string::npos; p = want.find("OUT/", p))
    want.replace(p, 4, "OUT\\");
  EXPECT_EQ(got, want);
  EXPECT_FALSE(fs::exists(dir / "golden.png"));
#else
  EXPECT_EQ(got, expected.str());
  EXPECT_TRUE(fs::exists(dir / "golden.png"));
#endif
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
    opt.symbols = pelterra::Symbols::FromPluginFolder(PELTERRA_PLUGINS);
    std::ifstream in(entry.path());
    {
      pelterra::Session s(h, log, opt);
      EXPECT_TRUE(s.Run(in, entry.path().filename().string())) << s.Error() << "\n" << log.str();
    }
    p.EndAll();
    ++ran;
  }
  EXPECT_EQ(ran, 9) << "a session file was not found";
}

TEST_F(SessionTest, NamesAndLabelsNameControlsAndEntries) {
  ASSERT_TRUE(
      Run("open builtin:islands\n"
          "command ID_UVCOMMAND\n"
          "choose 10071 \"Scale&Rotate\"\n"
          "type IDC_SCALE_U 2\n"
          "expect control 10062 value 2\n"
          "expect control \"Scale U\" value on\n"
          "tick \"Link U/V\" on\n"
          "expect control IDC_SCALE_LINK value on\n"
          "choose IDC_ANGLE_AXIS IDC_ANGLE_AXIS_V\n"
          "expect control IDC_ANGLE_AXIS value \"V\"\n"
          "choose IDC_ANGLE_AXIS \"U\"\n"
          "expect control 10216 value IDC_ANGLE_AXIS_U\n"))
      << session->Error() << "\n"
      << out.str();
  struct Case {
    const char* line;
    std::vector<const char*> expected;
  };
  for (const Case& c : std::vector<Case>{
           {"tick \"Keep Face Neighbors\" on",
            {"the label \"Keep Face Neighbors\" is ambiguous: controls ", "10026", "10141", "10151",
             "10152", "10215"}},
           {"click \"Scale\"", {"is ambiguous: controls 10110 and 10065 have it"}},
           {"tick \"Scale\" on", {"no control labelled \"Scale\" that is a checkbox"}},
           {"choose 10071 \"Scale and Rotate\"",
            {"control 10071 has no entry labelled \"Scale and Rotate\""}},
           {"click IDC_SCALE_USE", {"unknown name IDC_SCALE_USE (did you mean IDC_SCALE_U?)"}}}) {
    EXPECT_FALSE(session->RunLine(c.line, 3)) << c.line;
    for (const char* part : c.expected)
      EXPECT_NE(session->Error().find(part), std::string::npos) << session->Error();
  }
  // The same names in modal actions, resolved in the modal dialog.
  ASSERT_TRUE(
      Run("modal type IDC_EPS_WIDTH 640\nmodal click IDC_EPS_OK\nclick 10120\n"
          "expect control 10120 label \"EPS Size W:640px H:1024px\"\n"))
      << session->Error();
}

TEST_F(SessionTest, EachActionSaysWhatItChanged) {
  ASSERT_TRUE(
      Run("open builtin:islands\n"
          "mode uvpolygons\n"
          "select uvpolygons 1\n"
          "command 1024239\n"
          "choose 10071 10074\n"
          "type 10062 1.5\n"
          "click 10065\n"
          "expect changed\n"
          "tick 10151 on\n"
          "tick 10151 on\n"
          "expect unchanged\n"
          "type 10063 -3\n"
          "mode model\n"
          "click 10065\n"
          "expect unchanged\n"))
      << session->Error() << "\n"
      << out.str();
  const std::string o = out.str();
  for (const char* line :
       {"\n10062: set to 1.5\n", "\n10065: UVs of 1 polygon changed\n", "\n10151: set to on\n",
        "\n10151: already on\n", "\nwarning: 10063: -3 is below the minimum 0; set to 0\n",
        "\n10065: nothing changed (mode: model; selected UV polygons: 1)\n"})
    EXPECT_NE(o.find(line), std::string::npos) << line << "\n" << o;
  EXPECT_FALSE(session->RunLine("expect changed", 20));
  EXPECT_EQ(session->Error(),
            "t.session:20: expected the last action (click 10065) to change something; nothing "
            "changed (mode: model; selected UV polygons: 1)");
  // A tool that selects says so.
  ASSERT_TRUE(
      Run("mode uvpolygons\nselect uvpolygons none\nchoose 10071 10072\n"
          "type 10031 0.1\nclick 10032\nexpect changed\n"))
      << session->Error();
  EXPECT_NE(out.str().find("\n10032: polygon selection 0-2\n"), std::string::npos) << out.str();
  // A tool that refuses (the edge stitch outside edges mode) says that nothing changed.
  ASSERT_TRUE(Run("choose 10071 10073\nclick 10108\n")) << session->Error();
  EXPECT_NE(out.str().find("\n10108: nothing changed (mode: uvpolygons; selected UV polygons: 3)\n"),
            std::string::npos)
      << out.str();

  // --strict: warnings and clicks that change nothing fail the session.
  pelterra::SessionOptions strict;
  strict.strict = true;
  Restart(strict);
  auto strictRun = [&](const std::string& text) {
    std::istringstream in(text);
    return session->Run(in, "s.session");
  };
  const std::string start = "open builtin:islands\ncommand 1024239\nchoose 10071 10074\n";
  EXPECT_FALSE(strictRun(start + "click 10065\necho after\n"));
  EXPECT_EQ(
      session->Error(),
      "s.session:4: 10065: nothing changed (mode: model; selected UV polygons: 0) (--strict)");
  EXPECT_EQ(out.str().find("after"), std::string::npos) << "the session stopped there";
  EXPECT_FALSE(strictRun(start + "type 10062 11\n"));
  EXPECT_EQ(session->Error(),
            "s.session:4: 10062: 11 is above the maximum 10; set to 10 (--strict)");
  EXPECT_TRUE(strictRun(start + "mode uvpolygons\nselect uvpolygons 0\nclick 10065\n"))
      << session->Error();
  EXPECT_FALSE(strictRun("open builtin:islands\ncommand 1024239\nchoose 10071 10073\n"
                         "mode uvpolygons\nselect uvpolygons 0\nclick 10108\n"));
  EXPECT_NE(session->Error().find("10108: nothing changed"), std::string::npos)
      << session->Error();
  EXPECT_FALSE(strictRun(start + "answer yes\nfile list.uva\ntype 10062 2\n"));
  EXPECT_EQ(session->Error(),
            "s.session:4: answer yes was never used: no message box came up (--strict)");
}

// A save counts by the file it puts in place, not by the file's time: file times come from a
// coarser clock, or another machine's, and may lie before the click or long after it.
TEST_F(SessionTest, ASaveCountsByTheFileItPutsInPlace) {
  pelterra::SessionOptions strict;
  strict.strict = true;
  Restart(strict);
  const fs::path list = dir / "list.uva", folder = dir / "folder.uva";
  fs::create_directories(folder);
  const auto later = fs::file_time_type::clock::now() + std::chrono::hours(1);
  std::error_code ec;
  fs::last_write_time(folder, later, ec);  // Wine refuses times on folders; the rest holds there
  const std::string save = "file list.uva\nclick 10116\n";
  ASSERT_TRUE(Run("open builtin:cube\ncommand 1024239\nmode uvpolygons\n" + save))
      << session->Error();
  // The file that is replaced says it was written an hour from now.
  fs::last_write_time(list, later);
  ASSERT_TRUE(Run(save)) << session->Error();
  EXPECT_LT(fs::last_write_time(list), later);
  const std::string o = out.str();
  const std::string wrote = "\n10116: wrote " + list.string() + "\n";
  ASSERT_NE(o.find(wrote), std::string::npos) << o;
  EXPECT_NE(o.find(wrote, o.find(wrote) + 1), std::string::npos) << o;
  // Nothing can replace a folder; its time an hour ahead does not make it written.
  EXPECT_FALSE(Run("file folder.uva\nclick 10116\n"));
  EXPECT_NE(session->Error().find("10116: nothing changed"), std::string::npos) << session->Error();
  EXPECT_EQ(out.str().find("wrote " + folder.string()), std::string::npos) << out.str();
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(SessionTest, SavingOverTheOpenedFileTakesAWord) {
  const fs::path data = fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs";
  fs::copy_file(data / "chair.obj", dir / "chair.obj");
  pelterra::SessionOptions withScene;
  withScene.scene = (dir / "chair.obj").string();
  Restart(withScene);
  ASSERT_TRUE(
      Run("open ${scene}\nmode uvpolygons\nselect uvpolygons 0\ncommand 1024239\n"
          "choose 10071 10074\ntype 10062 2\nclick 10065\nsave ${stem}-scaled.obj\n"))
      << session->Error();
  EXPECT_TRUE(fs::exists(dir / "chair-scaled.obj"));
  EXPECT_EQ(out.str().find("note:"), std::string::npos) << "written statement for statement";
  for (const char* line : {"save chair.obj", "export ./chair.obj", "save ${scene}"}) {
    EXPECT_FALSE(session->RunLine(line, 9)) << line;
    EXPECT_NE(session->Error().find("is the file this document was opened from; write \""),
              std::string::npos)
        << session->Error();
  }
  EXPECT_EQ(fs::file_size(dir / "chair.obj"), fs::file_size(data / "chair.obj"));
  ASSERT_TRUE(session->RunLine("save chair.obj overwrite", 10)) << session->Error();
  EXPECT_NE(fs::file_size(dir / "chair.obj"), fs::file_size(data / "chair.obj"));

  pelterra::SessionOptions force;
  force.force = true;
  Restart(force);
  out.str("");
  ASSERT_TRUE(Run("open chair.obj\nsave chair.obj\nopen chair.obj\n")) << session->Error();
  // The missing material library is said once, not at every open.
  const std::string warning = "mtllib chair.mtl: not found";
  const size_t first = out.str().find(warning);
  EXPECT_NE(first, std::string::npos) << out.str();
  EXPECT_EQ(out.str().find(warning, first + 1), std::string::npos) << out.str();
}

// The example of docs/sessions.md runs as written, strictly, on a real-world-shaped mesh.
TEST_F(SessionTest, TheDocumentedExampleRuns) {
  std::ifstream doc(fs::path(PELTERRA_SOURCE_DIR) / "docs/sessions.md");
  std::stringstream all;
  all << doc.rdbuf();
  const std::string text = all.str();
  const size_t heading = text.find("## Example");
  ASSERT_NE(heading, std::string::npos);
  const size_t start = text.find("```\n", heading) + 4;
  const std::string example = text.substr(start, text.find("```", start) - start);
  const fs::path data = fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs";
  pelterra::SessionOptions opt;
  opt.scene = (data / "chair.obj").string();
  opt.strict = true;
  Restart(opt);
  std::istringstream in(example);
  ASSERT_TRUE(session->Run(in, "example")) << session->Error() << "\n" << out.str();
  EXPECT_TRUE(fs::exists(dir / "chair-scaled.obj"));
#ifdef _WIN32
  EXPECT_NE(out.str().find("chair-scaled.png is not drawn: PNG previews are not available"),
            std::string::npos)
      << out.str();
#else
  EXPECT_TRUE(fs::exists(dir / "chair-scaled.png"));
#endif
}

// The UV morph example of docs/sessions.md runs as written, strictly, on the same mesh.
TEST_F(SessionTest, TheDocumentedMorphExampleRuns) {
  std::ifstream doc(fs::path(PELTERRA_SOURCE_DIR) / "docs/sessions.md");
  std::stringstream all;
  all << doc.rdbuf();
  const std::string text = all.str();
  const size_t heading = text.find("## Animating UVs");
  ASSERT_NE(heading, std::string::npos);
  const size_t start = text.find("```\n", heading) + 4;
  const std::string example = text.substr(start, text.find("```", start) - start);
  pelterra::SessionOptions opt;
  opt.scene = (fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs/chair.obj").string();
  opt.strict = true;
  Restart(opt);
  std::istringstream in(example);
  ASSERT_TRUE(session->Run(in, "example")) << session->Error() << "\n" << out.str();
  EXPECT_NE(out.str().find("played frames 0 to 10 at 25 fps: 11 track evaluation(s)"),
            std::string::npos);
#ifdef _WIN32
  EXPECT_NE(out.str().find("chair-frame5.png is not drawn: PNG previews are not available"),
            std::string::npos)
      << out.str();
#else
  EXPECT_TRUE(fs::exists(dir / "chair-frame5.png"));
#endif
}

// The connect redraws at once and asks "UV Revers ?" once; print redraws lists the redraw with
// its flags, and a refused connect adds neither.
TEST_F(SessionTest, PrintRedrawsShowsTheConnectsImmediateRedraw) {
  ASSERT_TRUE(
      Run("open builtin:islands\n"
          "command ID_UVCOMMAND\n"
          "choose 10071 \"UV Function2\"\n"
          "mode uvpoints\n"
          "print redraws\n"
          "select uvpolygons 1\n"
          "select uvpoints 6 10\n"
          "click IDC_CONNECT\n"
          "expect messages 0\n"
          "select uvpoints 6 7 10 11\n"
          "answer no\n"
          "click IDC_CONNECT\n"
          "expect messages 1\n"
          "expect message \"UV Revers ?\"\n"
          "print redraws\n"
          "expect uv 1 a 0.375 0.875\n"))
      << session->Error() << "\n"
      << out.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("no redraws\n"), std::string::npos) << text;
  EXPECT_NE(text.find("redraw 1: flags 1282 (active view only, no thread, no animation)\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("redraw 2:"), std::string::npos) << text;

  Restart({});
  std::istringstream bad("print redraws all\n");
  EXPECT_FALSE(session->Check(bad, "bad.session"));
}
