// Bad files and hostile input through the application as a user runs it: never a hang, a crash
// or a failure that passes as success.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "obj_io.h"
#include "run_program.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Result = ProgramResult;

Result Pelterra(const std::string& args) {
  return RunProgram(ProgramPath(PELTERRA_APP) + " --quiet --plugins " + PELTERRA_PLUGINS + " " +
                    args);
}

bool Has(const Result& r, const std::string& text) {
  return r.out.find(text) != std::string::npos;
}

}  // namespace

#ifndef _WIN32
TEST(HostileInput, OnlyRegularFilesAreReadOrRun) {
  TempFolder dir;
  const std::string fifo = dir.Path("pipe.obj");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A FIFO without a writer blocked forever, /dev/zero grew without end, a folder ran as an
  // empty session with exit code 0.
  Result r = Pelterra("info " + fifo);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, fifo + ": not a regular file (a FIFO)")) << r.out;
  r = Pelterra("info /dev/zero");
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "/dev/zero: not a regular file (a character device)")) << r.out;
  r = Pelterra("run " + dir.Path(""));
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "not a regular file (a folder)")) << r.out;
  r = Pelterra("check " + fifo);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "not a regular file (a FIFO)")) << r.out;
  r = Pelterra("info /proc/self/mem");
  EXPECT_EQ(r.code, 1) << "a read that fails is no empty file";
  EXPECT_TRUE(Has(r, "/proc/self/mem: cannot read")) << r.out;
}
#endif

TEST(HostileInput, AFileWithoutFacesIsDescribedButNotOpened) {
  TempFolder dir;
  dir.Write("notes.obj", "These are my notes, not a mesh.\nv 1 2 3\n");
  Result info = Pelterra("info " + dir.Path("notes.obj"));
  EXPECT_EQ(info.code, 0) << info.out;
  EXPECT_TRUE(Has(info, "notes.obj: 0 object(s)")) << info.out;

  dir.Write("s.session", "open notes.obj\necho after\n");
  Result run = Pelterra("run " + dir.Path("s.session") + " --out " + dir.Path(""));
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_TRUE(Has(run, "s.session:1: notes.obj: no polygon object")) << run.out;
  EXPECT_FALSE(Has(run, "after"));
}

TEST(HostileInput, SessionLines) {
  TempFolder dir;
  // A byte order mark before the first verb is no part of it.
  dir.Write("bom.session", "\xEF\xBB\xBFopen builtin:cube\necho fine\n");
  Result r = Pelterra("run " + dir.Path("bom.session") + " --out " + dir.Path(""));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(Has(r, "fine"));

  // tag uvw -1 selected no tag at all, as tag none does.
  dir.Write("tag.session", "open builtin:cube\ntag uvw -1\n");
  r = Pelterra("check " + dir.Path("tag.session"));
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(Has(r, "tag.session:2: tag index \"-1\" is below 0")) << r.out;

  // The largest index survives in the message; it came out as 2147483646.
  dir.Write("sel.session",
            "open builtin:cube\nselect points 0-3\nexpect selection points 0-2147483647\n");
  r = Pelterra("run " + dir.Path("sel.session") + " --out " + dir.Path(""));
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "expected points 0-2147483647, got 0-3")) << r.out;
}

TEST(HostileInput, ControlCharactersFromFilesAreEscaped) {
  TempFolder dir;
  // An object name that would clear the screen and retitle the terminal window.
  dir.Write("evil.obj", "o a\x1b[2J\x1b]0;owned\x07z\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Result info = Pelterra("info " + dir.Path("evil.obj"));
  EXPECT_EQ(info.code, 0) << info.out;
  EXPECT_TRUE(Has(info, "a\\x1b[2J\\x1b]0;owned\\x07z: 3 points")) << info.out;
  EXPECT_EQ(info.out.find('\x1b'), std::string::npos);

  dir.Write("s.session", "open evil.obj\necho \"bell\x07\"\nobject nothing\x1b[1m\n");
  Result run = Pelterra("run " + dir.Path("s.session") + " --out " + dir.Path(""));
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run, "active a\\x1b[2J")) << run.out;
  EXPECT_TRUE(Has(run, "bell\\x07")) << run.out;
  EXPECT_TRUE(Has(run, "no object named \"nothing\\x1b[1m\"")) << run.out;
  EXPECT_EQ(run.out.find_first_of("\x1b\x07"), std::string::npos) << run.out;
}

#ifdef _WIN32
TEST(HostileInput, FifosDevicesAndModeBitsAreSkippedOnWindows) {
  GTEST_SKIP() << "FIFOs, /dev and /proc files and mode bits are Linux facilities; the Windows "
                  "readers and saves are tested in file_access_test";
}
#else
TEST(HostileInput, SessionSavesRefuseWhatTheyMustNotReplace) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo(dir.Path("pipe.obj").c_str(), 0600), 0);
  dir.Write("ro.obj", "old\n");
  fs::permissions(dir.Path("ro.obj"), fs::perms(0444));
  dir.Write("fifo.session", "open builtin:cube\nsave pipe.obj\n");
  Result r = Pelterra("run " + dir.Path("fifo.session") + " --out " + dir.Path(""));
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "cannot save " + dir.Path("pipe.obj") + ": not a regular file (a FIFO)"))
      << r.out;
  struct stat st;
  ASSERT_EQ(::lstat(dir.Path("pipe.obj").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  dir.Write("ro.session", "open builtin:cube\nsave ro.obj\n");
  r = Pelterra("run " + dir.Path("ro.session") + " --out " + dir.Path(""));
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "read-only")) << r.out;
  EXPECT_EQ(dir.Read("ro.obj"), "old\n");
  dir.Write("ro2.session", "open builtin:cube\nsave ro.obj overwrite\n");
  r = Pelterra("run " + dir.Path("ro2.session") + " --out " + dir.Path(""));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(dir.Read("ro.obj").rfind("# Pelterra", 0), 0u);
}
#endif

TEST(HostileInput, NumbersThatRoundToZeroLoadAndInfinitiesDoNot) {
  TempFolder dir;
  std::string error;
  // 1e-400 is below the smallest double (4.9e-324) and rounds to 0; 1e-310 is a subnormal.
  dir.Write("tiny.obj",
            "v 1e-400 -1e-400 1e-310\nv 1 0 0\nv 0 1 0\nvt 2.5e-324 1\nf 1/1 2/1 3/1\n");
  BaseDocument* doc = BaseDocument::Alloc();
  ASSERT_TRUE(pelterra::LoadObj(dir.Path("tiny.obj"), *doc, error)) << error;
  auto* op = static_cast<PolygonObject*>(doc->GetFirstObject());
  ASSERT_NE(op, nullptr);
  const Vector p = op->GetPointR()[0];
  EXPECT_EQ(p.x, 0.0);
  EXPECT_EQ(p.y, 0.0);
  EXPECT_EQ(p.z, -1e-310) << "z is negated for the host";
  BaseDocument::Free(doc);

  for (const char* word : {"1e400", "-1e999", "nan", "inf", "0x10"}) {
    dir.Write("bad.obj", std::string("v ") + word + " 0 0\n");
    BaseDocument* d = BaseDocument::Alloc();
    EXPECT_FALSE(pelterra::LoadObj(dir.Path("bad.obj"), *d, error)) << word;
    EXPECT_EQ(error, dir.Path("bad.obj") + ":1: v: \"" + word + "\" is not a number");
    BaseDocument::Free(d);
  }
}
