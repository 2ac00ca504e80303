// Resource files, descriptions and icons.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "c4d_basebitmap.h"
#include "c4d_description.h"
#include "c4d_resource.h"
#include "runtime/registry.h"
#include "runtime/resource_file.h"

namespace fs = std::filesystem;

namespace {

const String kSource = PELTERRA_SOURCE_DIR;

// A scratch plug-in folder with a res/ copied from the project, to break on purpose.
struct ScratchPlugin : ::testing::Test {
  fs::path dir = fs::temp_directory_path() / ("pelterra_res_" + std::to_string(::getpid()));
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(kSource + "/res", dir / "res", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir); }
  void Write(const String& rel, const String& text) {
    std::ofstream(dir / "res" / rel, std::ios::binary) << text;
  }
};

}  // namespace

TEST(ResourceFile, StatementsBlocksAndTexts) {
  hostrt::ResError err;
  auto nodes = hostrt::ParseResource(
      "// comment\nDIALOG D { GROUP { COLUMNS 2; BUTTON IDC_A { NAME \"Go \\\"now\\\"\"; SIZE "
      "-100, 0; } }\n"
      "/* block\ncomment */ }",
      "t.res", err);
  ASSERT_TRUE(nodes) << err.ToString();
  ASSERT_EQ(nodes->size(), 1u);
  const hostrt::ResNode& group = (*nodes)[0].children.at(0);
  EXPECT_EQ(group.keyword, "GROUP");
  EXPECT_EQ(group.children.at(0).args.at(0).text, "2");
  const hostrt::ResNode& button = group.children.at(1);
  EXPECT_EQ(button.args.at(0).text, "IDC_A");
  EXPECT_EQ(button.Find("NAME")->args.at(0).text, "Go \"now\"");
  EXPECT_EQ(button.Find("SIZE")->args.size(), 2u);
  EXPECT_EQ(button.Find("SIZE")->args[0].text, "-100");
}

TEST(ResourceFile, ErrorsNameTheLine) {
  hostrt::ResError err;
  EXPECT_FALSE(hostrt::ParseResource("A {\n B;\n", "x.res", err));
  EXPECT_EQ(err.message, "missing '}'");
  EXPECT_FALSE(hostrt::ParseResource("A;\nB \"open\n", "x.res", err));
  EXPECT_EQ(err.line, 2);
  EXPECT_EQ(err.ToString().rfind("x.res:2: ", 0), 0u);
  EXPECT_FALSE(hostrt::ParseResource("A; }", "x.res", err));
  EXPECT_FALSE(hostrt::ParseResource("A @;", "x.res", err));
}

TEST(ResourceFile, Symbols) {
  hostrt::ResError err;
  auto s = hostrt::ParseSymbols(
      "enum {\n  IDS_A = 10068,  // x\n  IDS_B=7,\n};\n#define IDC_C 12\n", "s.h", err);
  ASSERT_TRUE(s) << err.ToString();
  EXPECT_EQ(s->at("IDS_A"), 10068);
  EXPECT_EQ(s->at("IDS_B"), 7);
  EXPECT_EQ(s->at("IDC_C"), 12);
  EXPECT_FALSE(hostrt::ParseSymbols("enum { A = 1, \n A = 2 };", "s.h", err)) << "defined twice";
  EXPECT_FALSE(hostrt::ParseSymbols("enum { A = x1 };", "s.h", err));
}

TEST(Resource, ProjectResourceLoads) {
  GeResource res;
  ASSERT_TRUE(res.Init(kSource)) << res.GetLastError();
  EXPECT_EQ(res.LoadString(10068), "Pelterra");
  for (Int32 id : {10069, 10188, 10213}) EXPECT_FALSE(res.LoadString(id).empty()) << id;
  EXPECT_EQ(res.LoadString(4711), "") << "a missing string is empty";
  EXPECT_EQ(res.GetSymbol("IDS_UVMORPH"), 10188);
}

TEST_F(ScratchPlugin, BrokenOrMissingFilesFailTheLoad) {
  GeResource res;
  ASSERT_TRUE(res.Init(dir.string()));
  Write("strings_us/c4d_strings.str", "STRINGTABLE { IDS_PELTERRA \"unterminated; }");
  EXPECT_FALSE(res.Init(dir.string()));
  EXPECT_NE(res.GetLastError().find("c4d_strings.str"), String::npos) << res.GetLastError();
  EXPECT_FALSE(res.IsLoaded());
  fs::remove(dir / "res" / "c4d_symbols.h");
  EXPECT_FALSE(res.Init(dir.string()));
  fs::remove_all(dir / "res");
  EXPECT_FALSE(res.Init(dir.string()));
}

TEST_F(ScratchPlugin, DialogsLoadByIdentifier) {
  fs::remove_all(dir / "res" / "dialogs");
  fs::remove_all(dir / "res" / "strings_us" / "dialogs");
  fs::create_directories(dir / "res" / "dialogs");
  Write("c4d_symbols.h",
        "enum {\n IDS_PELTERRA = 10068,\n DLG_TEST = 10009,\n IDC_GO = 10018,\n};\n");
  Write("strings_us/c4d_strings.str", "STRINGTABLE { IDS_PELTERRA \"P\"; }");
  Write("dialogs/DLG_TEST.res", "DIALOG DLG_TEST { GROUP { BUTTON IDC_GO { NAME IDS_GO; } } }");
  fs::create_directories(dir / "res" / "strings_us" / "dialogs");
  Write("strings_us/dialogs/DLG_TEST.str", "DIALOGSTRINGS DLG_TEST { IDS_GO \"Go\"; }");
  GeResource res;
  ASSERT_TRUE(res.Init(dir.string())) << res.GetLastError();
  String name;
  const hostrt::ResNode* d = res.GetDialog(10009, &name);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(name, "DLG_TEST");
  EXPECT_EQ(res.LoadDialogString("DLG_TEST", "IDS_GO"), "Go");
  EXPECT_EQ(res.GetDialog(10010), nullptr);
  Write("dialogs/DLG_OTHER.res", "DIALOG DLG_UNKNOWN { }");
  EXPECT_FALSE(res.Init(dir.string())) << "a dialog without an identifier";
}

TEST(Description, TransferTagParameters) {
  std::vector<DescEntry> entries;
  String error;
  ASSERT_TRUE(hostrt::LoadDescriptionResource(kSource + "/res", "TransferUV", entries, error))
      << error;
  hostrt::Registry::Get().AddDescription("TransferUV", 1039183, entries);
  Description d;
  ASSERT_TRUE(d.LoadDescription("TransferUV"));
  for (Int32 id : {1001, 1002, 1003, 1004, 1005}) EXPECT_NE(d.GetParameterI(id), nullptr) << id;
  EXPECT_EQ(d.GetParameterI(1001)->GetString(DESC_NAME), "Source UVW Tag");
  EXPECT_EQ(d.GetParameterI(1003)->GetFloat(DESC_DEFAULT), 1.0);
  EXPECT_EQ(d.GetParameterI(1004)->GetInt32(DESC_HIDE), 1);
  Description byId;
  EXPECT_TRUE(byId.LoadDescription(1039183));
  EXPECT_FALSE(byId.LoadDescription(1));
  hostrt::Registry::Get().Clear();
}

TEST(Description, KeyAndTrackDescriptionsLoad) {
  for (const char* name : {"CT_AUV", "CTblinker"}) {
    std::vector<DescEntry> entries;
    String error;
    EXPECT_TRUE(hostrt::LoadDescriptionResource(kSource + "/res", name, entries, error)) << error;
    if (String(name) == "CT_AUV") {
      ASSERT_EQ(entries.size(), 3u);  // the group and two parameters
      EXPECT_EQ(entries[1].id, 1000);
      EXPECT_EQ(entries[1].type, CUSTOMDATATYPE_SPLINE);
      EXPECT_EQ(entries[2].id, 1002);
      EXPECT_EQ(entries[2].type, DTYPE_BASELISTLINK);
    }
  }
  std::vector<DescEntry> entries;
  String error;
  EXPECT_FALSE(hostrt::LoadDescriptionResource(kSource + "/res", "NoSuch", entries, error));
  EXPECT_NE(error.find("NoSuch"), String::npos);
}

TEST(Bitmap, ProjectIconsDecode) {
#ifdef _WIN32
  BaseBitmap none;
  EXPECT_FALSE(none.Init(Filename(kSource + "/res/Pelterra.tif"))) << "no icon reader here";
  GTEST_SKIP() << "icons are read with libtiff, which the Windows build does not have";
#endif
  for (const char* icon :
       {"Pelterra.tif", "UVmorph.tif", "UVsyncTag.tif", "BtnU.tif", "BtnV.tif", "BtnUV.tif",
        "UVLiner_U.tif", "UVLiner_V.tif", "StichiU.tif", "StichiV.tif", "StichiCenterU.tif",
        "StichiCenterV.tif", "StichiEdgePoly.tif", "ConnectUVPoly.tif", "MoveLeftPoly.tif",
        "MoveRightPoly.tif"}) {
    BaseBitmap bm;
    ASSERT_TRUE(bm.Init(Filename(kSource + "/res/" + icon))) << icon;
    EXPECT_GT(bm.GetBw(), 0);
    EXPECT_GT(bm.GetBh(), 0);
    bool drawn = false;
    for (Int32 y = 0; y < bm.GetBh() && !drawn; ++y)
      for (Int32 x = 0; x < bm.GetBw() && !drawn; ++x) drawn = (bm.GetPixel(x, y) >> 24) != 0;
    EXPECT_TRUE(drawn) << icon << " has no opaque pixel";
  }
}

TEST_F(ScratchPlugin, MissingOrBrokenIconGivesNoBitmap) {
  BaseBitmap bm;
  EXPECT_FALSE(bm.Init(Filename((dir / "res" / "NoSuch.tif").string())));
  Write("Broken.tif", "II*\0garbage");
  EXPECT_FALSE(bm.Init(Filename((dir / "res" / "Broken.tif").string())));
  EXPECT_EQ(bm.GetBw(), 0);
}

TEST(ResourceFile, DeepNestingIsRefusedAtItsLineNotByTheStack) {
  // One block per line: the 257th opens on line 257. 10,000 levels overflowed the stack.
  auto nested = [](int depth) {
    String t;
    for (int i = 0; i < depth; ++i) t += "A {\n";
    return t + String(static_cast<size_t>(depth), '}');
  };
  hostrt::ResError err;
  EXPECT_TRUE(hostrt::ParseResource(nested(256), "deep.res", err)) << err.ToString();
  EXPECT_FALSE(hostrt::ParseResource(nested(257), "deep.res", err));
  EXPECT_EQ(err.ToString(), "deep.res:257: blocks nested more than 256 deep");
  EXPECT_FALSE(hostrt::ParseResource(nested(10000), "deep.res", err));
  EXPECT_EQ(err.line, 257);
  // A control character is named by its code, not printed.
  EXPECT_FALSE(hostrt::ParseResource("A;\n\x1b;", "c.res", err));
  EXPECT_EQ(err.ToString(), "c.res:2: unexpected character byte 0x1b");
}

// Each damaged resource names the file, the line and the reason.
TEST_F(ScratchPlugin, EveryStartUpErrorNamesFileLineAndReason) {
  // A file of the resource folder as the reader names it: its components joined as
  // std::filesystem joins them ('/', on Windows '\\').
  auto file = [&](const char* name) {
    return String((dir / "res" / fs::path(name).make_preferred()).string());
  };
  struct Case {
    const char* file;
    const char* text;
    const char* error;  // after the file's name
  } cases[] = {
      {"dialogs/DLG_SCALE.res", "DIALOG DLG_SCALE\n{\n}\n", ":1: dialog DLG_SCALE is empty"},
      {"dialogs/DLG_SCALE.res", "// nothing\n", ": no dialog layout in the file"},
      {"dialogs/DLG_SCALE.res", "\nDIALOG;\n", ":2: expected DIALOG NAME { ... }, found DIALOG"},
      {"dialogs/DLG_SCALE.res", "\n\nGROUP { }\n",
       ":3: expected DIALOG NAME { ... }, found GROUP"},
      {"strings_us/c4d_strings.str", "STRINGTABLE { }\nSTRINGS { }\n",
       ":2: expected STRINGTABLE { ... }, found STRINGS"},
      {"strings_us/dialogs/DLG_SCALE.str", "\nDIALOGSTRINGS;\n",
       ":2: expected DIALOGSTRINGS NAME { ... }, found DIALOGSTRINGS"},
  };
  for (const Case& c : cases) {
    SetUp();
    Write(c.file, c.text);
    GeResource r;
    EXPECT_FALSE(r.Init(dir.string())) << c.file;
    EXPECT_EQ(r.GetLastError(), file(c.file) + c.error);
  }
#ifndef _WIN32
  // A FIFO in place of the symbols would block the start for ever.
  SetUp();
  fs::remove(dir / "res" / "c4d_symbols.h");
  ASSERT_EQ(::mkfifo((dir / "res" / "c4d_symbols.h").c_str(), 0600), 0);
  GeResource r;
  EXPECT_FALSE(r.Init(dir.string()));
  EXPECT_EQ(r.GetLastError(), file("c4d_symbols.h") + ": cannot be read: not a regular file");
#endif
  // Nor is a folder of that name read.
  SetUp();
  fs::remove(dir / "res" / "c4d_symbols.h");
  fs::create_directory(dir / "res" / "c4d_symbols.h");
  GeResource folder;
  EXPECT_FALSE(folder.Init(dir.string()));
  EXPECT_EQ(folder.GetLastError(), file("c4d_symbols.h") + ": cannot be read: not a regular file");
}
