// Undo after every built tool: each tool runs through the dialog on a real document, then undo
// must give back every UV bit for bit and redo the tool's result. A new tool is one more row.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "c4d_baseobject.h"
#include "c4d_gui.h"
#include "c4d_painter.h"
#include "runtime/dialog_model.h"
#include "runtime/module_loader.h"
#include "scenes.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

enum class Effect {
  kUVs,     // writes UVs: one undo step, which undo and redo take back and forth
  kNoStep,  // reads or selects only: records no undo step and leaves every UV as it was
};

struct ToolCase {
  const char* name;
  const char* setup;  // session lines that prepare the document and the dialog
  const char* run;    // the line that runs the tool
  Effect effect;
};
void PrintTo(const ToolCase& tc, std::ostream* os) {
  *os << tc.name;
}

// Every tool that is built, by the control that runs it.
const ToolCase kTools[] = {
    {"island scale", "mode uvpolygons\nselect uvpolygons 1\nchoose 10071 10074\ntype 10062 1.5",
     "click 10065", Effect::kUVs},
    {"island scale, keep neighbours",
     "mode uvpolygons\nselect uvpolygons 0\nchoose 10071 10074\ntick 10151 on\ntype 10063 3",
     "click 10065", Effect::kUVs},
    {"fit to captured size",
     "mode uvpolygons\nchoose 10071 10074\nselect uvpolygons 1\nclick 10070\nselect uvpolygons 0 2",
     "click 10065", Effect::kUVs},
    {"rotate", "mode uvpolygons\nselect uvpolygons 0 2\nchoose 10071 10074\ntype 10050 30",
     "click 10051", Effect::kUVs},
    {"rotate about a UV point",
     "mode uvpolygons\nselect uvpolygons 0-2\nselect uvpoints 0\nchoose 10071 10074\n"
     "type 10050 -45",
     "click 10051", Effect::kUVs},
    {"move", "mode uvpolygons\nselect uvpolygons 1\nchoose 10071 10073\nchoose 10226 10219",
     "click 10178", Effect::kUVs},
    {"live scale",
     "mode uvpolygons\nselect uvpolygons 0 2\nchoose 10071 10074\ntick 10220 on\nclick 10065",
     "type 10062 2", Effect::kUVs},
    {"live rotate",
     "mode uvpolygons\nselect uvpolygons 1\nchoose 10071 10074\ntick 10221 on\nclick 10051",
     "type 10050 60", Effect::kUVs},
    {"Set UVW", "mode uvpoints\nselect uvpoints 0-5\nchoose 10071 10073\ntype 10171 0.25",
     "click 10174", Effect::kUVs},
    {"area select", "mode uvpolygons\nselect uvpolygons none\ntype 10031 0.1", "click 10032",
     Effect::kNoStep},
    {"area measure", "mode uvpolygons\nselect uvpolygons 0-2", "click 10138", Effect::kNoStep},
    {"size capture", "mode uvpolygons\nselect uvpolygons 1\nchoose 10071 10074", "click 10070",
     Effect::kNoStep},
    {"two-point angle",
     "mode uvpoints\nselect uvpolygons 0\nselect uvpoints 0 1\nchoose 10071 10074", "click 10053",
     Effect::kNoStep},
    {"mean of UV points", "mode uvpoints\nselect uvpoints 0-3\nchoose 10071 10073", "click 10224",
     Effect::kNoStep},
    {"align U", "mode uvpoints\nselect uvpoints 0 2\nchoose 10071 10073", "click 10100",
     Effect::kUVs},
    {"align V", "mode uvpoints\nselect uvpoints 0 2\nchoose 10071 10073", "click 10101",
     Effect::kUVs},
    {"align onto the centre", "mode uvpoints\nselect uvpoints 0 2\nchoose 10071 10073",
     "click 10102", Effect::kUVs},
    {"align capture", "mode uvpoints\nselect uvpoints 0 2\nchoose 10071 10073", "click 10093",
     Effect::kNoStep},
    {"line projection U",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 0 2\nclick 10093\nselect uvpoints 5 7",
     "click 10161", Effect::kUVs},
    {"line projection V",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 0 2\nclick 10093\nselect uvpoints 5 7",
     "click 10162", Effect::kUVs},
    {"corner shift left", "mode uvpolygons\nselect uvpolygons 1", "click 10125", Effect::kUVs},
    {"corner shift right", "mode uvpolygons\nselect uvpolygons 1", "click 10126", Effect::kUVs},
    {"stitch capture", "mode uvpoints\nchoose 10071 10073\nselect uvpoints 9 10", "click 10103",
     Effect::kNoStep},
    {"stitch U",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 9 10\nclick 10103\nselect uvpoints 4 7",
     "click 10104", Effect::kUVs},
    {"stitch V",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 9 10\nclick 10103\nselect uvpoints 4 7",
     "click 10105", Effect::kUVs},
    {"stitch centre U",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 9 10\nclick 10103\nselect uvpoints 4 7",
     "click 10106", Effect::kUVs},
    {"stitch centre V",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 9 10\nclick 10103\nselect uvpoints 4 7",
     "click 10107", Effect::kUVs},
    {"real area", "mode uvpolygons\nselect uvpolygons 0", "click 10192", Effect::kUVs},
    {"real area, texture", "mode uvpolygons\nselect uvpolygons 0\ntick 10201 on", "click 10195",
     Effect::kUVs},
    {"real area measure", "mode uvpolygons\nselect uvpolygons 0", "click 10191", Effect::kNoStep},
    {"loop select", "mode uvpoints\nselect uvpoints 0 1\nchoose 10071 10073", "click 10122",
     Effect::kNoStep},
    {"save ASCII list", "file undo.uva", "click 10116", Effect::kNoStep},
    {"save binary list", "file undo.uvb", "click 10117", Effect::kNoStep},
    {"export EPS", "file undo.eps", "click 10119", Effect::kNoStep},
    {"load list",
     "file undo.uva\nclick 10116\nmode uvpolygons\nselect uvpolygons 1\nchoose 10071 10074\n"
     "type 10062 2\nclick 10065\nfile undo.uva",
     "click 10118", Effect::kUVs},
    {"copy shape",
     "mode uvpolygons\nselect uvpolygons 0 2\nclick 10018\nselect uvpoints 1 2 10\nclick 10018\n"
     "select uvpolygons 1\nclick 10018\nselect uvpoints 5 6",
     "click 10018", Effect::kUVs},
    {"symmetry",
     "mode uvpoints\nchoose 10071 10073\nselect uvpoints 10\ntick 10172 off\ntype 10171 0.75\n"
     "click 10174\nchoose 10071 10072\nmode uvpolygons\nselect uvpolygons 0\nclick 10139\n"
     "select uvpoints 2 3",
     "click 10139", Effect::kUVs},
    {"Create UVmesh", "tag uvw\nchoose 10071 10074", "click 10212", Effect::kUVs},
    // The islands are laid out as a grid already; Size Fit stretches them to the unit width.
    {"quick grid, square and size fit",
     "mode uvpoints\nselect uvpoints 0 1\nchoose 10071 10073\ntick 10210 on\ntick 10211 on",
     "click 10109", Effect::kUVs},
    // Quad 0's side c-d (edge 2, points 2 to 1) is quad 2's side a-b; quad 2's a is torn off.
    {"edge stitch, point",
     "uv 2 0 0.4 0.9\nmode edges\nselect polygons 0\nselect edges 2\nchoose 10071 10073",
     "click 10108", Effect::kUVs},
    {"edge stitch, polygon",
     "uv 2 0 0.4 0.9\nmode edges\nselect polygons 0\nselect edges 2\nchoose 10071 10073\n"
     "choose 10156 1",
     "click 10108", Effect::kUVs},
    // Quad 1's edge c-d onto quad 2's; the question that follows is answered no.
    {"polygon connect",
     "mode uvpoints\nselect uvpolygons 1\nselect uvpoints 6 7 10 11\nchoose 10071 10073",
     "click 10160", Effect::kUVs},
};

// Controls that run no tool on the document: the window's own buttons, resets, the EPS size and
// the listing (its text goes into the dialog).
const Int32 kDialogOnly[] = {10019, 10066, 10120, 10140, 10189, 10222};

// Every UV record of every UVW tag of every object, as raw bytes.
std::string UVBits(BaseDocument& doc) {
  std::string bits;
  for (BaseObject* op = doc.GetFirstObject(); op; op = op->GetNext())
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) {
      if (t->GetType() != Tuvw) continue;
      auto* tag = static_cast<UVWTag*>(t);
      for (Int32 i = 0; i < tag->GetDataCount(); ++i) {
        const UVWStruct s = tag->GetSlow(i);
        for (Int32 k = 0; k < 4; ++k) {
          const Vector& v = s[k];
          bits.append(reinterpret_cast<const char*>(&v.x), sizeof v.x);
          bits.append(reinterpret_cast<const char*>(&v.y), sizeof v.y);
          bits.append(reinterpret_cast<const char*>(&v.z), sizeof v.z);
        }
      }
    }
  return bits;
}

class UndoAfterTool : public ::testing::TestWithParam<ToolCase> {};

TEST_P(UndoAfterTool, UndoGivesBackEveryUVBitAndRedoTheResult) {
  const ToolCase& tc = GetParam();
  hostrt::Host host;
  host.NewDocument();
  hostrt::PluginSystem plugins(host);
  std::string error;
  ASSERT_TRUE(plugins.StartAll(PELTERRA_PLUGINS, error)) << error;
  std::ostringstream log;
  // Files the tools write go to a folder of this test's own.
  const fs::path out = fs::temp_directory_path() / ("pelterra_undo_" + std::to_string(::getpid()));
  fs::create_directories(out);
  pelterra::SessionOptions options;
  options.outDir = out.string();
  {
    pelterra::Session session(host, log, options);
    auto run = [&](const std::string& text) {
      std::istringstream in(text + "\n");
      return session.Run(in, tc.name);
    };
    ASSERT_TRUE(run(std::string("open builtin:islands\ncommand 1024239\n") + tc.setup))
        << session.Error() << "\n"
        << log.str();
    BaseDocument& doc = *host.ActiveDocument();
    const std::string before = UVBits(doc);
    const Int32 steps = doc.GetUndoCount();

    ASSERT_TRUE(run(tc.run)) << session.Error() << "\n" << log.str();
    const std::string after = UVBits(doc);
    if (tc.effect == Effect::kNoStep) {
      EXPECT_EQ(doc.GetUndoCount(), steps) << "the tool recorded an undo step";
      EXPECT_TRUE(after == before) << "the tool changed UVs";
    } else {
      ASSERT_FALSE(after == before) << "the tool changed nothing, so its undo proves nothing\n"
                                    << log.str();
      EXPECT_EQ(doc.GetUndoCount(), steps + 1) << "one undo step per tool run";
      ASSERT_TRUE(run("undo")) << session.Error();
      EXPECT_TRUE(UVBits(doc) == before) << "undo did not give back every UV bit for bit";
      ASSERT_TRUE(run("redo")) << session.Error();
      EXPECT_TRUE(UVBits(doc) == after) << "redo did not give the tool's result again";
    }
  }
  plugins.EndAll();
  fs::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(BuiltTools, UndoAfterTool, ::testing::ValuesIn(kTools),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                           std::string n;
                           for (const char* c = info.param.name; *c; ++c)
                             n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return n;
                         });

// Every button of the UV tools dialog whose tool is built has a row above, so that a new tool
// cannot land without its undo being checked.
TEST(UndoAfterTool, EveryBuiltButtonHasARow) {
  hostrt::Host host;
  host.NewDocument();
  hostrt::PluginSystem plugins(host);
  std::string error;
  ASSERT_TRUE(plugins.StartAll(PELTERRA_PLUGINS, error)) << error;
  std::ostringstream log;
  {
    pelterra::Session session(host, log, {});
    ASSERT_TRUE(session.RunLine("command 1024239", 1)) << session.Error();
    GeDialog& dlg = *session.CurrentDialog();
    std::vector<Int32> buttons;
    std::function<void(const hostrt::DialogControl&)> walk = [&](const hostrt::DialogControl& c) {
      const bool button = c.kind == hostrt::ControlKind::Button ||
                          c.kind == hostrt::ControlKind::BitmapButton;
      if (button && c.id >= 10018 && c.id <= 10226) buttons.push_back(c.id);
      for (const auto& child : c.children) walk(*child);
    };
    walk(dlg.GetModel()->root);
    for (const hostrt::MenuItem& m : dlg.GetModel()->menu) {
      std::function<void(const hostrt::MenuItem&)> items = [&](const hostrt::MenuItem& i) {
        if (i.id) buttons.push_back(i.id);
        for (const auto& c : i.children) items(c);
      };
      items(m);
    }
    ASSERT_GT(buttons.size(), 40u);
    for (Int32 id : buttons) {
      BaseContainer ask(BFM_ASK_CONTROL_PENDING), answer;
      ask.SetInt32(BFM_ACTION_ID, id);
      ASSERT_NE(dlg.Message(ask, answer), 0);
      if (answer.GetBool(BFM_CONTROL_PENDING)) continue;
      if (std::find(std::begin(kDialogOnly), std::end(kDialogOnly), id) != std::end(kDialogOnly))
        continue;
      const std::string line = "click " + std::to_string(id);
      bool found = false;
      for (const ToolCase& tc : kTools) found = found || line == tc.run;
      EXPECT_TRUE(found) << "control " << id << " runs a tool but has no undo row";
    }
  }
  plugins.EndAll();
}

// The write-back itself: a step of its own outside an undo group, part of the group inside one.
TEST(UVWriteBack, OneUndoStepPerWriteBackOrPerOpenGroup) {
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  ASSERT_TRUE(pelterra::LoadBuiltinScene("islands", *doc, error)) << error;
  doc->SetActiveObject(doc->GetFirstObject());
  auto* tag = static_cast<UVWTag*>(doc->GetFirstObject()->GetTag(Tuvw));
  const UVWStruct original = tag->GetSlow(1);
  auto writeShifted = [&](Float du) {
    TempUVHandle* set = GetActiveUVSet(doc, GETACTIVEUVSET_ALL);
    ASSERT_NE(set, nullptr);
    set->GetUVW()[1].a.x += du;
    EXPECT_TRUE(set->SetUVWFromTextureView(set->GetUVW(), true, false, true));
    FreeActiveUVSet(set);
  };

  writeShifted(0.5);
  writeShifted(0.25);
  EXPECT_EQ(doc->GetUndoCount(), 2);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(tag->GetSlow(1).a.x, original.a.x + 0.5);

  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, doc->GetFirstObject());
  writeShifted(1.0);
  writeShifted(1.0);
  doc->EndUndo();
  EXPECT_EQ(doc->GetUndoCount(), 2) << "the write-backs joined the open group";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(tag->GetSlow(1).a.x, original.a.x + 0.5) << "the group undoes both write-backs";
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(tag->GetSlow(1).a.x, original.a.x);
  ASSERT_TRUE(doc->DoRedo());
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_EQ(tag->GetSlow(1).a.x, original.a.x + 2.5);
  BaseDocument::Free(doc);
}

}  // namespace
