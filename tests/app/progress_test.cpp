// Progress: what is drawn on a terminal, the lines of --progress=plain, the host's status bar
// after its delay, the batch's line and estimate; and `pelterra info` on a large file, on a
// pseudo-terminal and in a pipe.
#include "progress.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "shell.h"
#include "temp_folder.h"

using pelterra::ProgressMode;
using pelterra::ProgressOutput;

namespace {

struct Sink {
  std::string text;
  double now = 0;
  ProgressOutput Output(ProgressMode mode, bool terminal) {
    ProgressOutput o;
    o.mode = mode;
    o.terminal = terminal;
    o.write = [this](std::string_view s) { text += s; };
    o.seconds = [this] { return now; };
    return o;
  }
};

hostrt::StatusRecord Bar(Int32 p) {
  return {hostrt::StatusRecord::Bar, p, String()};
}

}  // namespace

TEST(Progress, DrawsInPlaceOnATerminalAndEndsWithDone) {
  Sink sink;
  {
    pelterra::Progress p("loading big.obj", 1000, sink.Output(ProgressMode::Auto, true));
    p.Update(100);
    p.Update(105);  // the same percent: nothing new
    p.Update(500);
    p.Update(1000);
  }
  EXPECT_EQ(sink.text, "\rloading big.obj:  10%\rloading big.obj:  50%\rloading big.obj: done\x1b[K\n");
}

TEST(Progress, PlainWritesALinePerTenthAndNothingIsDrawnElsewhere) {
  Sink plain;
  {
    pelterra::Progress p("saving x.obj", 200, plain.Output(ProgressMode::Plain, false));
    for (int i = 1; i <= 200; i += 7) p.Update(i);
    p.Update(200);
  }
  EXPECT_EQ(plain.text,
            "saving x.obj: 10%\nsaving x.obj: 20%\nsaving x.obj: 30%\nsaving x.obj: 40%\n"
            "saving x.obj: 50%\nsaving x.obj: 60%\nsaving x.obj: 70%\nsaving x.obj: 80%\n"
            "saving x.obj: 90%\nsaving x.obj: 100%\n");
  for (auto [mode, terminal] : {std::pair{ProgressMode::Auto, false}, {ProgressMode::Off, true}}) {
    Sink none;
    {
      pelterra::Progress p("x", 10, none.Output(mode, terminal));
      p.Update(5);
      p.Update(10);
    }
    EXPECT_EQ(none.text, "") << "a pipe or a log, or progress switched off";
  }
}

TEST(Progress, WorkDoneAtItsFirstReportOrWithoutTotalShowsNothing) {
  for (ProgressMode mode : {ProgressMode::Auto, ProgressMode::Plain}) {
    Sink sink;
    {
      pelterra::Progress small("small.obj", 100, sink.Output(mode, true));
      small.Update(100);
      pelterra::Progress unknown("unknown", 0, sink.Output(mode, true));
      unknown.Update(50);
      pelterra::Progress weird("weird", 10, sink.Output(mode, true));
      weird.Update(-5);
      weird.Update(1'000'000);
    }
    EXPECT_EQ(sink.text.find("small"), std::string::npos) << sink.text;
    EXPECT_EQ(sink.text.find("unknown"), std::string::npos) << sink.text;
    EXPECT_EQ(sink.text.find("-"), std::string::npos) << "no negative percent: " << sink.text;
  }
}

TEST(StatusDisplay, AToolsBarShowsAfterHalfASecondAndClears) {
  Sink sink;
  pelterra::StatusDisplay status(sink.Output(ProgressMode::Auto, true));
  status({hostrt::StatusRecord::Text, 0, "Quick Grid"});
  status(Bar(0));
  sink.now = 0.3;
  status(Bar(40));
  EXPECT_EQ(sink.text, "") << "quick work stays quiet";
  sink.now = 0.6;
  status(Bar(60));
  status(Bar(250));  // clamped
  status({hostrt::StatusRecord::Clear, 0, String()});
  EXPECT_EQ(sink.text, "\rQuick Grid:  60%\rQuick Grid: 100%\rQuick Grid: done\x1b[K\n");

  // A tool that ends within the delay leaves nothing, and the next starts its own delay.
  sink.text.clear();
  status({hostrt::StatusRecord::Text, 0, "Fast"});
  status(Bar(10));
  sink.now = 0.9;
  status(Bar(90));
  status({hostrt::StatusRecord::Clear, 0, String()});
  EXPECT_EQ(sink.text, "");
}

TEST(StatusDisplay, PlainWritesTenthsAndEscapesTheText) {
  Sink sink;
  pelterra::StatusDisplay status(sink.Output(ProgressMode::Plain, false));
  status({hostrt::StatusRecord::Text, 0, "Grid\x1b[2J"});
  status(Bar(5));
  sink.now = 1;
  for (Int32 p : {5, 12, 18, 35, 100}) status(Bar(p));
  status({hostrt::StatusRecord::Clear, 0, String()});
  EXPECT_EQ(sink.text, "Grid\\x1b[2J: 10%\nGrid\\x1b[2J: 30%\nGrid\\x1b[2J: 100%\n");
}

TEST(BatchProgress, TheLineSaysDoneFailedRunningAndTheTimeLeft) {
  EXPECT_EQ(pelterra::BatchStatusText(20, 0, 0, 4, 3), "batch: 0/20 done, 0 failed, 4 running, "
                                                        "estimating the time left");
  EXPECT_EQ(pelterra::BatchStatusText(20, 5, 1, 4, 50),
            "batch: 5/20 done, 1 failed, 4 running, about 2 min 30 s left");
  EXPECT_EQ(pelterra::BatchStatusText(3, 3, 0, 0, 9), "batch: 3/3 done, 0 failed, 0 running");
  EXPECT_EQ(pelterra::FormatDuration(3725), "1 h 02 min");
  EXPECT_EQ(pelterra::FormatDuration(59.4), "59 s");
  EXPECT_EQ(pelterra::FormatDuration(-1), "0 s");
  EXPECT_EQ(pelterra::FormatDuration(std::nan("")), "0 s");

  Sink sink;
  {
    pelterra::BatchProgress p(4, sink.Output(ProgressMode::Auto, true));
    p.Update(0, 0, 2);
    p.Update(0, 0, 2);  // unchanged: not drawn again
    sink.now = 10;
    p.Update(1, 1, 2);
  }
  const std::string first = "batch: 0/4 done, 0 failed, 2 running, estimating the time left";
  const std::string second = "batch: 1/4 done, 1 failed, 2 running, about 30 s left";
  EXPECT_EQ(sink.text, "\r" + first + "\r" + second +
                           std::string(first.size() - second.size(), ' ') + "\r" +
                           std::string(second.size(), ' ') + "\r")
      << "a shorter line covers the longer one before it, and the line goes at the end";
}

// --- the application ---

namespace {

using Result = ShellResult;

}  // namespace

TEST(ProgressApp, LoadingALargeFileShowsOnATerminalAndInPlainLinesButNotInAPipe) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a pseudo-terminal (script) and a POSIX shell's redirections";
#endif
  TempFolder tmp;
  std::ostringstream obj;
  for (int i = 0; i < 300000; ++i) obj << "v " << i << " 0 0\n";
  obj << "f 1 2 3\n";
  tmp.Write("big.obj", obj.str());
  const std::string info = std::string(PELTERRA_APP) + " info " + tmp.Path("big.obj");
  const Result tty = Shell("script -qec '" + info + " >/dev/null' /dev/null </dev/null");
  ASSERT_EQ(tty.code, 0) << tty.out;
  EXPECT_NE(tty.out.find("\rloading " + tmp.Path("big.obj") + ":  "), std::string::npos) << tty.out;
  EXPECT_NE(tty.out.find("loading " + tmp.Path("big.obj") + ": done"), std::string::npos)
      << tty.out;

  const Result piped = Shell(info + " 2>&1");
  ASSERT_EQ(piped.code, 0) << piped.out;
  EXPECT_EQ(piped.out.find("loading"), std::string::npos) << piped.out;
  EXPECT_NE(piped.out.find("1 triangles"), std::string::npos) << piped.out;

  const Result plain =
      Shell(std::string(PELTERRA_APP) + " --progress=plain info " + tmp.Path("big.obj") +
            " 2>&1 >/dev/null");
  ASSERT_EQ(plain.code, 0) << plain.out;
  EXPECT_NE(plain.out.find("loading " + tmp.Path("big.obj") + ": 100%\n"), std::string::npos)
      << plain.out;
  EXPECT_EQ(plain.out.find('\r'), std::string::npos);

  const Result bad = Shell(std::string(PELTERRA_APP) + " --progress=loud info x.obj 2>&1");
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.out.find("auto, plain or off"), std::string::npos) << bad.out;
}

TEST(ProgressApp, SavingALargeFileShowsPlainLinesOnStderrAndNoneOnStdout) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a POSIX shell's redirections of stdout and stderr apart";
#endif
  TempFolder tmp;
  tmp.Write("save.session", "open builtin:grid:400x400\nsave big.obj\n");
  const std::string run = std::string(PELTERRA_APP) + " --quiet --progress=plain run " +
                          tmp.Path("save.session") + " --out " + tmp.Path("out");
  const Result err = Shell(run + " 2>&1 >/dev/null");
  ASSERT_EQ(err.code, 0) << err.out;
  const std::string saving = "saving " + tmp.Path("out/big.obj") + ": ";
  EXPECT_NE(err.out.find(saving + "100%\n"), std::string::npos) << err.out;
  EXPECT_LT(err.out.find(saving), err.out.find(saving + "100%")) << "earlier tenths first";
  const Result out = Shell(run + " 2>/dev/null");
  ASSERT_EQ(out.code, 0) << out.out;
  EXPECT_EQ(out.out.find("saving"), std::string::npos) << out.out;
  EXPECT_NE(out.out.find("wrote " + tmp.Path("out/big.obj")), std::string::npos) << out.out;
}
