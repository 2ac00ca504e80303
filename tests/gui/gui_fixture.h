// What the widget tests share: a host with the real module started, a scratch folder, and the
// headless application run on a session file.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "controls.h"
#include "runtime/module_loader.h"
#include "workspace.h"

namespace pelterra::gui::testing {

namespace fs = std::filesystem;

struct HostFixture : ::testing::Test {
  GuiHost host;
  hostrt::PluginSystem plugins{host};
  fs::path dir;

  void SetUp() override {
    host.NewDocument();
    std::string error;
    ASSERT_TRUE(plugins.StartAll(PELTERRA_PLUGINS, error)) << error;
    dir = fs::temp_directory_path() /
          ("pelterra_gui_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    plugins.EndAll();
    fs::remove_all(dir);
  }
  static std::shared_ptr<const Symbols> Names() {
    return Symbols::FromPluginFolder(PELTERRA_PLUGINS);
  }
};

struct Run {
  int code = -1;
  std::string output;
};

// Runs the headless host on a session file, as a user at a terminal would.
// --strict makes answers that no message box took, and clicks that changed nothing, failures.
inline Run RunHeadless(const fs::path& session, const fs::path& out, bool strict = true) {
  const std::string cmd = std::string("'") + PELTERRA_APP + "' --quiet run '" + session.string() +
                          "'" + (strict ? " --strict" : "") + " --out '" + out.string() + "' 2>&1";
  Run r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
  const int status = ::pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The "print uvs" block of a headless run's output: from its first line to the end.
inline std::string UvBlock(const std::string& output, const std::string& firstLine) {
  const size_t at = output.find(firstLine);
  return at == std::string::npos ? std::string() : output.substr(at);
}

}  // namespace pelterra::gui::testing
