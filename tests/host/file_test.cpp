#include <gtest/gtest.h>

#include "c4d_file.h"

TEST(Filename, ComponentsAndSuffix) {
  Filename f = Filename("/a/b") + "res" + "debug.txt";
  EXPECT_EQ(f.GetString(), "/a/b/res/debug.txt");
  EXPECT_EQ(f.GetFile().GetString(), "debug.txt");
  EXPECT_EQ(f.GetDirectory().GetString(), "/a/b/res");
  EXPECT_EQ(f.GetSuffix(), "txt");
  EXPECT_TRUE(f.CheckSuffix("TXT"));
  f.SetSuffix("uva");
  EXPECT_EQ(f.GetString(), "/a/b/res/debug.uva");
  Filename noSuffix("/a.b/file");
  EXPECT_EQ(noSuffix.GetSuffix(), "");
  noSuffix.SetSuffix("eps");
  EXPECT_EQ(noSuffix.GetString(), "/a.b/file.eps");
  EXPECT_EQ(Filename(".hidden").GetSuffix(), "");
}

TEST(Filename, ExistsAsFileOrFolder) {
  EXPECT_TRUE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/CMakeLists.txt")));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/CMakeLists.txt"), true));
  EXPECT_TRUE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/res"), true));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/res")));
  EXPECT_FALSE(GeFExist(Filename(PELTERRA_SOURCE_DIR "/no-such-file")));
}
