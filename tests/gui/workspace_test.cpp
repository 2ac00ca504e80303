// The recording: lines that went through, with the answers given meanwhile before them, and what
// replays headless.
#include "workspace.h"

#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "session.h"
#include "uv_view.h"

namespace pelterra::gui {

namespace fs = std::filesystem;
namespace {

using testing::HostFixture;
using testing::ReadText;
using testing::RunHeadless;
using testing::WriteText;

TEST(QuoteWord, SplitsBackIntoTheSameWord) {
  for (const std::string& w :
       {std::string("plain"), std::string("two words"), std::string("say \"hi\""),
        std::string("back\\slash"), std::string(""), std::string("#not a comment"),
        std::string("/tmp/a b/c.obj"), std::string("tab\there")}) {
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(SplitWords("type 1 " + QuoteWord(w), words, error)) << w << ": " << error;
    ASSERT_EQ(words.size(), 3u) << QuoteWord(w);
    EXPECT_EQ(words[2], w);
  }
  EXPECT_EQ(QuoteWord("IDC_SCALE"), "IDC_SCALE");
}

TEST(SelectLine, ReplaceAddRemoveAndNothing) {
  EXPECT_EQ(IndexList({9, 7, 0, 3, 1, 2, 8, 3}), "0-3,7-9");
  EXPECT_EQ(IndexList({5}), "5");
  EXPECT_EQ(SelectLine("uvpolygons", {2, 0}, false, false), "select uvpolygons 0,2");
  EXPECT_EQ(SelectLine("uvpoints", {4, 5, 6}, true, false), "select uvpoints add 4-6");
  EXPECT_EQ(SelectLine("edges", {1}, false, true), "select edges remove 1");
  // A click on nothing clears; with shift or ctrl it changes nothing and sends nothing.
  EXPECT_EQ(SelectLine("uvpolygons", {}, false, false), "select uvpolygons none");
  EXPECT_EQ(SelectLine("uvpolygons", {}, true, false), "");
  EXPECT_EQ(SelectLine("uvpolygons", {}, false, true), "");
}

TEST(UvIslands, PolygonsJoinAtSharedCornersOnly) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<Vector>> uvs = {
      {Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0), Vector(0, 1, 0)},
      {Vector(1, 0, 0), Vector(2, 0, 0), Vector(2, 1, 0), Vector(1, 1, 0)},  // shares an edge
      {Vector(5, 5, 0), Vector(6, 5, 0), Vector(6, 6, 0)},                   // alone
      {Vector(nan, 0, 0), Vector(0, 0, 0), Vector(0, 1, 0)},                 // not finite: alone
      {Vector(2.000001, 1, 0), Vector(3, 1, 0), Vector(3, 2, 0)},            // within 1e-5
  };
  const std::vector<Int32> island = UvIslands(uvs);
  EXPECT_EQ(island, (std::vector<Int32>{0, 0, 1, 2, 0}));
}

struct WorkspaceTest : HostFixture {
  std::unique_ptr<Workspace> ws;
  void SetUp() override {
    HostFixture::SetUp();
    ws = std::make_unique<Workspace>(host, Names());
  }
  void TearDown() override {
    ws.reset();
    HostFixture::TearDown();
  }
  void Ok(const std::string& line) {
    const Workspace::Result r = ws->Run(line);
    ASSERT_TRUE(r.ok) << line << ": " << r.error;
  }
};

TEST_F(WorkspaceTest, RecordsWhatWentThroughAndNothingRefused) {
  Ok("open builtin:islands");
  const Workspace::Result bad = ws->Run("object NoSuchObject");
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.error, "no object named \"NoSuchObject\"");  // without the session's line prefix
  Ok("mode uvpolygons");
  EXPECT_FALSE(ws->Run("click IDC_SCALE").ok);  // no dialog open yet
  EXPECT_EQ(ws->Recorded(), (std::vector<std::string>{"open builtin:islands", "mode uvpolygons"}));
  // Reports run without being recorded; anything else is refused there.
  const Workspace::Result peek = ws->Peek("print mode");
  EXPECT_TRUE(peek.ok);
  EXPECT_EQ(peek.output, "mode uvpolygons\n");
  EXPECT_FALSE(ws->Peek("mode model").ok);
  EXPECT_EQ(ws->Recorded().size(), 2u);
}

TEST_F(WorkspaceTest, AnswersToMessageBoxesAndFileSelectorsGoBeforeTheirAction) {
  std::vector<std::string> asked;
  host.askMessage = [&](const String& text, Int32) {
    asked.push_back(text);
    return GEMB_R_YES;  // not a button of an OK box: taken as OK
  };
  const fs::path list = dir / "islands.uva";
  host.askFile = [&](const FileQuestion& q) -> std::optional<std::string> {
    EXPECT_TRUE(q.save);
    return list.string();
  };
  Ok("open builtin:islands");
  Ok("command ID_UVCOMMAND");
  Ok("mode model");
  // Quick Grid wants UV point mode and says so.
  Ok("choose IDC_TABS IDC_TAB_FUNCTION2");
  Ok("click IDC_QUICK_GRID");
  ASSERT_EQ(asked, (std::vector<std::string>{"Please change the UV point mode."}));
  Ok("mode uvpolygons");
  Ok("select uvpolygons all");
  Ok("click IDC_MENU_SAVE_ASCII");
  EXPECT_TRUE(fs::exists(list));
  const std::vector<std::string> expected = {"open builtin:islands",
                                             "command ID_UVCOMMAND",
                                             "mode model",
                                             "choose IDC_TABS IDC_TAB_FUNCTION2",
                                             "answer ok",
                                             "click IDC_QUICK_GRID",
                                             "mode uvpolygons",
                                             "select uvpolygons all",
                                             "file " + list.string(),
                                             "click IDC_MENU_SAVE_ASCII"};
  EXPECT_EQ(ws->Recorded(), expected);

  // The saved session replays headless, answers and all. (Not --strict: Quick Grid refusing in
  // the wrong mode changes nothing.)
  const fs::path session = dir / "answers.session";
  std::string error;
  ASSERT_TRUE(ws->SaveSession(session.string(), error)) << error;
  const std::string first = ReadText(list);
  fs::remove(list);
  const auto run = RunHeadless(session, dir, false);
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(run.output.find("never used"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("no answer given"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("message: Please change the UV point mode."), std::string::npos)
      << run.output;
  EXPECT_EQ(ReadText(list), first);
}

TEST_F(WorkspaceTest, ModalWindowActionsAreRecordedAsModalLines) {
  std::string label;
  ws->runModal = [&](GeDialog* dlg) {
    DialogAction width{DialogAction::kType, 10164, false, 0, "2048"};
    EXPECT_TRUE(ws->ModalAction(*dlg, width).ok);
    // A control the modal window does not have is refused and not recorded.
    EXPECT_FALSE(ws->ModalAction(*dlg, {DialogAction::kClick, 424242, false, 0, {}}).ok);
    EXPECT_TRUE(ws->ModalAction(*dlg, {DialogAction::kClick, 10167, false, 0, {}}).ok);
    EXPECT_FALSE(host.FindWindow(dlg));  // OK closed it
  };
  Ok("open builtin:islands");
  Ok("command ID_UVCOMMAND");
  Ok("click IDC_EPS_SIZE");
  const auto& rec = ws->Recorded();
  ASSERT_EQ(rec.size(), 5u);
  EXPECT_EQ(rec[2], "modal type IDC_EPS_WIDTH 2048");
  EXPECT_EQ(rec[3], "modal click IDC_EPS_OK");
  EXPECT_EQ(rec[4], "click IDC_EPS_SIZE");
  const hostrt::DialogControl* size = ws->GetSession().CurrentDialog()->GetModel()->Find(10120);
  ASSERT_NE(size, nullptr);
  label = size->title;
  EXPECT_NE(label.find("2048"), std::string::npos) << label;

  const fs::path session = dir / "modal.session";
  std::string error;
  ASSERT_TRUE(ws->SaveSession(session.string(), error)) << error;
  std::string text = ReadText(session);
  WriteText(session, text + "expect control IDC_EPS_SIZE label " + QuoteWord(label) + "\n");
  const auto run = RunHeadless(session, dir);
  EXPECT_EQ(run.code, 0) << run.output;
}

TEST_F(WorkspaceTest, SaveSessionReplacesAtomicallyAndReportsFailure) {
  Ok("open builtin:cube");
  const fs::path path = dir / "s.session";
  std::string error;
  ASSERT_TRUE(ws->SaveSession(path.string(), error)) << error;
  EXPECT_EQ(ReadText(path),
            "# recorded by pelterra-gui; replay with: pelterra run FILE\nopen builtin:cube\n");
  // A folder in the way: refused, nothing left behind.
  const fs::path folder = dir / "taken";
  fs::create_directories(folder);
  EXPECT_FALSE(ws->SaveSession(folder.string(), error));
  EXPECT_NE(error.find(folder.string()), std::string::npos);
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace pelterra::gui
