// The pelterra application, run as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Result {
  int code;
  std::string out;  // stdout and stderr together
};

Result Pelterra(const std::string& args) {
  std::string cmd = std::string(PELTERRA_APP) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  Result r{-1, ""};
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
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
  for (const char* f : {"cube-before.png", "cube-selected.png", "cube.obj", "islands-before.png",
                        "islands-after.png", "islands.obj"})
    EXPECT_TRUE(fs::exists(out / f)) << f;
  EXPECT_NE(r.out.find(fs::absolute(out).string()), std::string::npos)
      << "says where the files are";
  fs::remove_all(out);
  const std::string dashes(56, '-');
  size_t count = 0;
  for (size_t pos = r.out.find(dashes); pos != std::string::npos; pos = r.out.find(dashes, pos + 1))
    ++count;
  EXPECT_EQ(count, 2u) << "one banner: a dashed line above and below the product line";
}

TEST(App, FailuresExitNonZeroWithAMessage) {
  Result none = Pelterra("--plugins /nonexistent-folder plugins");
  EXPECT_NE(none.code, 0);
  EXPECT_NE(none.out.find("no plug-in modules"), std::string::npos) << none.out;

  // A module file without the entry function.
  fs::path dir = fs::temp_directory_path() / ("pelterra_app_" + std::to_string(::getpid()));
  fs::create_directories(dir / "Broken");
  fs::copy_file("/bin/true", dir / "Broken" / "Broken.cdl64", fs::copy_options::overwrite_existing);
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

  Result refused = Pelterra("dialog 1024239 click:10122");
  EXPECT_NE(refused.code, 0);
  EXPECT_NE(refused.out.find("click:10122"), std::string::npos) << refused.out;
  Result bad = Pelterra("dialog 1024239 poke:1");
  EXPECT_NE(bad.code, 0);
  Result none = Pelterra("dialog 4711");
  EXPECT_NE(none.code, 0);
  EXPECT_NE(none.out.find("no command 4711"), std::string::npos);
}
