// The pelterra application, run as a user runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace fs = std::filesystem;

namespace {

using Result = ProgramResult;

Result Pelterra(const std::string& args) {
  return RunProgram(ProgramPath(PELTERRA_APP) + " " + args);
}

}  // namespace

TEST(App, PluginsListsTheRegistrationsInOrder) {
  Result r = Pelterra("plugins");
  ASSERT_EQ(r.code, 0) << r.out;
  size_t a = r.out.find("1024239"), b = r.out.find("1030718"), c = r.out.find("1030745"),
         d = r.out.find("1039183");
  ASSERT_NE(d, std::string::npos) << r.out;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_LT(c, d);
  EXPECT_NE(r.out.find("command"), std::string::npos);
  EXPECT_NE(r.out.find("track"), std::string::npos);
}

TEST(App, DemoWritesItsOutputsAndPrintsTheBannerOnce) {
  fs::path out = fs::temp_directory_path() / ("pelterra_demo_" + std::to_string(::getpid()));
  fs::remove_all(out);
  Result r = Pelterra("demo --out " + out.string());
  ASSERT_EQ(r.code, 0) << r.out;
  std::vector<std::string> files = {"cube.obj",    "islands.obj", "Cube_UV.uva",
                                    "Cube_UV.uvb", "Cube_UV.eps", "wavycylinder.obj"};
  const std::vector<std::string> pictures = {
      "cube-before.png",   "cube-selected.png",  "islands-before.png",      "islands-after.png",
      "cylinder-loop.png", "islands-morph.png",  "wavycylinder-before.png", "wavycylinder-after.png"};
#ifdef _WIN32
  // Built without cairo: each picture is named as not drawn, and nothing else is missing.
  for (const std::string& f : pictures) {
    EXPECT_FALSE(fs::exists(out / f)) << f;
    EXPECT_NE(r.out.find(f + " is not drawn: PNG previews are not available in this build"),
              std::string::npos)
        << f << "\n" << r.out;
  }
  EXPECT_NE(r.out.find("Cube_UV.png is not drawn"), std::string::npos) << r.out;
#else
  files.insert(files.end(), pictures.begin(), pictures.end());
  files.push_back("Cube_UV.png");
#endif
  for (const std::string& f : files) EXPECT_TRUE(fs::exists(out / f)) << f;
  EXPECT_NE(r.out.find(fs::absolute(out).string()), std::string::npos)
      << "says where the files are";
  fs::remove_all(out);
  const std::string dashes(56, '-');
  size_t count = 0;
  for (size_t pos = r.out.find(dashes); pos != std::string::npos; pos = r.out.find(dashes, pos + 1))
    ++count;
  EXPECT_EQ(count, 4u) << "one banner at the start, a dashed line above and below the product "
                          "line, and one when the morph dialog opens";
}

TEST(App, FailuresExitNonZeroWithAMessage) {
  Result none = Pelterra("--plugins /nonexistent-folder plugins");
  EXPECT_NE(none.code, 0);
  EXPECT_NE(none.out.find("no plug-in modules"), std::string::npos) << none.out;

  // A module file without the entry function.
  fs::path dir = fs::temp_directory_path() / ("pelterra_app_" + std::to_string(::getpid()));
  fs::create_directories(dir / "Broken");
#ifdef _WIN32
  std::ofstream(dir / "Broken" / "Broken.cdl64") << "MZ, but no more of a module than that\n";
#else
  fs::copy_file("/bin/true", dir / "Broken" / "Broken.cdl64", fs::copy_options::overwrite_existing);
#endif
  Result broken = Pelterra("--plugins " + dir.string() + " demo");
  EXPECT_NE(broken.code, 0);
  EXPECT_NE(broken.out.find("Broken.cdl64"), std::string::npos) << broken.out;
  fs::remove_all(dir);

  Result unknown = Pelterra("frobnicate");
  EXPECT_NE(unknown.code, 0);
  EXPECT_NE(unknown.out.find("unknown command"), std::string::npos);
  Result help = Pelterra("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("usage: pelterra"), std::string::npos);
}

TEST(App, DialogActsAsAUserAndPrintsTheTree) {
  Result r = Pelterra("dialog 1024239 choose:10071:10073 click:10094 tick:10170:off");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("dialog \"Pelterra\""), std::string::npos);
  EXPECT_NE(r.out.find("10073 \"UV Function2\"*"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("10096 group hidden"), std::string::npos)
      << "the Align bar folded its group";
  EXPECT_NE(r.out.find("10170 checkbox"), std::string::npos);

  // Names and labels work there too.
  Result named = Pelterra(
      "--quiet dialog ID_UVCOMMAND \"choose:10071:Scale&Rotate\" "
      "tick:IDC_SCALE_KEEP:on \"click:Capture Size\"");
  ASSERT_EQ(named.code, 0) << named.out;
  EXPECT_NE(named.out.find("10151 checkbox \"Keep Face Neighbors\" = on"), std::string::npos)
      << named.out;
  EXPECT_NE(named.out.find("10070: nothing changed"), std::string::npos) << named.out;
  Result refused = Pelterra("dialog 1024239 click:10122");
  EXPECT_NE(refused.code, 0);
  EXPECT_NE(refused.out.find("click:10122"), std::string::npos) << refused.out;
  Result bad = Pelterra("dialog 1024239 poke:1");
  EXPECT_NE(bad.code, 0);
  Result none = Pelterra("dialog 4711");
  EXPECT_NE(none.code, 0);
  EXPECT_NE(none.out.find("no command 4711"), std::string::npos);
}

TEST(App, VersionHelpAndQuiet) {
  Result version = Pelterra("--version");
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "pelterra 1.0\n");
  Result help = Pelterra("help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("usage: pelterra"), std::string::npos);
  Result run = Pelterra("help run");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("--strict"), std::string::npos) << run.out;
  Result typo = Pelterra("chek x.session");
  EXPECT_NE(typo.out.find("did you mean check?"), std::string::npos) << typo.out;

  Result loud = Pelterra("plugins");
  Result quiet = Pelterra("--quiet plugins");
  EXPECT_EQ(quiet.code, 0);
  EXPECT_NE(loud.out.find("Pelterra 1.0 - "), std::string::npos) << "the banner";
  EXPECT_EQ(quiet.out.find("Pelterra 1.0 - "), std::string::npos) << quiet.out;
  EXPECT_EQ(quiet.out.find("-----"), std::string::npos) << quiet.out;
  EXPECT_NE(quiet.out.find("1024239"), std::string::npos);
}

TEST(App, CheckRunStrictAndTheSceneOption) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_run_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto write = [&](const char* name, const std::string& text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  };
  const std::string bad = write("bad.session", "open builtin:cube\nslect points all\nclick\n");
  Result check = Pelterra("check " + bad);
  EXPECT_EQ(check.code, 2) << check.out;
  EXPECT_NE(check.out.find("bad.session:2: unknown action \"slect\"; did you mean \"select\"?"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("bad.session:3: \"click\" takes 1 argument(s), got 0"),
            std::string::npos);
  Result run = Pelterra("--quiet run " + bad);
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.out.find("opened builtin:cube"), std::string::npos) << "nothing ran";

  const std::string good = write(
      "good.session",
      "open ${scene}\ncommand ID_UVCOMMAND\nchoose 10071 \"Scale&Rotate\"\nclick IDC_SCALE\n");
  Result fine = Pelterra("check " + good + " --scene builtin:cube");
  EXPECT_EQ(fine.code, 0) << fine.out;
  Result missing = Pelterra("run " + good + " --scene " + (dir / "nope.obj").string());
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.out.find("--scene " + (dir / "nope.obj").string() + ": no such file"),
            std::string::npos)
      << missing.out;
  EXPECT_EQ(missing.out.find("good.session:1"), std::string::npos) << missing.out;

  // The scale button with nothing selected changes nothing: fine, unless --strict.
  Result lenient = Pelterra("--quiet run " + good + " --scene builtin:cube");
  EXPECT_EQ(lenient.code, 0) << lenient.out;
  EXPECT_NE(lenient.out.find("10065: nothing changed (mode: model; selected UV polygons: 0)"),
            std::string::npos)
      << lenient.out;
  Result strict = Pelterra("--quiet run " + good + " --scene builtin:cube --strict");
  EXPECT_EQ(strict.code, 1) << strict.out;
  EXPECT_NE(strict.out.find("good.session:4: 10065: nothing changed"), std::string::npos)
      << strict.out;
  fs::remove_all(dir);
}

TEST(App, InfoTakesSeveralFilesAndShowsBothVConventions) {
  const fs::path objs = fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs";
  Result r = Pelterra("info " + (objs / "table_crlf.obj").string() + " " +
                      (objs / "spellings.obj").string());
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("table_crlf.obj: 1 object(s); v as the host shows it"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("table_crlf: 6 points, 0 triangles, 2 quads, 0 n-gons, UVs u 0..1 v "
                       "0.5..1 (file v 0..0.5)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Side Table: 5 points"), std::string::npos) << r.out;
  // Faces without vt lines sit at (0, 0): host v 0.9 is file v 0.1, shown as such.
  EXPECT_NE(r.out.find("UVs u 0..0.7 v 0..0.9 (file v 0.1..1)"), std::string::npos) << r.out;
}

TEST(App, ControlsListsNamesLabelsRangesAndTabs) {
  Result r = Pelterra("--quiet controls");
  ASSERT_EQ(r.code, 0) << r.out;
  auto row = [&](const std::string& id) {
    const size_t at = r.out.find("\n" + id + " ");
    return at == std::string::npos ? std::string()
                                   : r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
  };
  const std::string scale = row("10065");
  EXPECT_NE(scale.find("IDC_SCALE "), std::string::npos) << scale;
  EXPECT_NE(scale.find("button"), std::string::npos) << scale;
  EXPECT_NE(scale.find("10074 \"Scale&Rotate\""), std::string::npos) << scale;
  EXPECT_NE(scale.find("\"Scale\""), std::string::npos) << scale;
  const std::string factor = row("10062");
  EXPECT_NE(factor.find("IDC_SCALE_U"), std::string::npos) << factor;
  EXPECT_NE(factor.find("0..10"), std::string::npos) << factor;
  const std::string angle = row("10050");
  EXPECT_NE(angle.find("-360°..360°"), std::string::npos) << angle;
  const std::string tabs = row("10071");
  EXPECT_NE(tabs.find("tab row"), std::string::npos) << tabs;
  EXPECT_NE(tabs.find("10073 \"UV Function2\""), std::string::npos) << tabs;
  // Hidden by its radio group, it still belongs to the Set UVW tab.
  EXPECT_NE(row("10225").find("10073 \"UV Function2\""), std::string::npos) << row("10225");
  EXPECT_NE(row("10120").find("-"), std::string::npos) << "under every tab: no tab";
  Result morph = Pelterra("--quiet controls ID_ANIUVCOMMAND");
  EXPECT_EQ(morph.code, 0);
  EXPECT_NE(morph.out.find("IDC_MORPH_RECORD"), std::string::npos) << morph.out;
}

TEST(App, DemoSessionRunsAgainAndPreviewsRefuseOtherSuffixes) {
  fs::path out = fs::temp_directory_path() / ("pelterra_demo2_" + std::to_string(::getpid()));
  fs::remove_all(out);
  ASSERT_EQ(Pelterra("--quiet demo --out " + out.string()).code, 0);
  ASSERT_TRUE(fs::exists(out / "demo.session"));
  Result again = Pelterra("--quiet run " + (out / "demo.session").string() + " --out " +
                          (out / "again").string() + " --strict");
  EXPECT_EQ(again.code, 0) << again.out;
  EXPECT_TRUE(fs::exists(out / "again" / "islands.obj"));

  Result jpg = Pelterra("preview builtin:cube " + (out / "cube.jpg").string());
  EXPECT_EQ(jpg.code, 1);
  EXPECT_NE(jpg.out.find("give the file the suffix .png"), std::string::npos) << jpg.out;
  EXPECT_FALSE(fs::exists(out / "cube.jpg"));
  Result all = Pelterra("preview " +
                        (fs::path(PELTERRA_SOURCE_DIR) / "tests/app/data/objs/chair.obj").string() +
                        " " + (out / "chair.png").string() + " --fit");
#ifdef _WIN32
  EXPECT_EQ(all.code, 1) << all.out;
  EXPECT_NE(all.out.find("PNG previews are not available in this build"), std::string::npos)
      << all.out;
  EXPECT_FALSE(fs::exists(out / "chair.png"));
#else
  EXPECT_EQ(all.code, 0) << all.out;
  EXPECT_NE(all.out.find("(2 objects)"), std::string::npos) << all.out;
#endif
  fs::remove_all(out);
}
