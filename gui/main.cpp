// pelterra-gui: the graphical host. It loads the plug-in modules as pelterra does and shows what
// the headless host models: the dialogs as widgets, the UV layout in a view, and the session
// that every action writes.
#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "controls.h"
#include "main_window.h"
#include "runtime/module_loader.h"
#include "uv_view.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: pelterra-gui [--plugins DIR] [--run SESSION] [--screenshot OUT.png] [SCENE]\n"
    "\n"
    "Opens SCENE (an OBJ file or builtin:NAME) in the graphical host. Every action is recorded\n"
    "as a session line (File > Save session); pelterra run replays it headless.\n"
    "  --plugins DIR        plug-in folder (default: plugins/ beside this program)\n"
    "  --run SESSION        runs the lines of SESSION first, as if they were done by hand\n"
    "  --screenshot FILE    saves a picture of the main window and quits\n";

std::string DefaultPluginFolder() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  return (exe.parent_path() / "plugins").string();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginFolder = DefaultPluginFolder(), scene, run, screenshot;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        std::cerr << "pelterra-gui: " << a << " needs a value\n";
        return false;
      }
      out = args[++i];
      return true;
    };
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--plugins" || a == "--run" || a == "--screenshot") {
      if (!value(a == "--plugins" ? pluginFolder : a == "--run" ? run : screenshot)) return 2;
    } else if (!a.empty() && a[0] == '-' && a.rfind("builtin:", 0) != 0) {
      // Qt's own options (-platform, -style ...) are left to QApplication.
      if (a != "-platform" && a != "-style" && a != "-geometry") {
        std::cerr << "pelterra-gui: unknown option " << a << "\n" << kUsage;
        return 2;
      }
      ++i;
    } else if (scene.empty()) {
      scene = a;
    } else {
      std::cerr << "pelterra-gui: one scene only\n" << kUsage;
      return 2;
    }
  }

  QApplication app(argc, argv);
  pelterra::gui::GuiHost host;
  host.NewDocument();
  hostrt::PluginSystem plugins(host);
  std::string error;
  if (!plugins.StartAll(pluginFolder, error)) {
    std::cerr << "pelterra-gui: " << error << "\n";
    return 1;
  }
  int rc = 0;
  {
    pelterra::gui::MainWindow window(host, pelterra::Symbols::FromPluginFolder(pluginFolder));
    window.show();
    if (!scene.empty()) {
      if (scene.rfind("builtin:", 0) == 0)
        window.Act("open " + scene);
      else
        window.OpenFile(scene);
      if (!window.LastError().empty()) {
        std::cerr << "pelterra-gui: " << window.LastError() << "\n";
        rc = 1;
      }
    }
    if (rc == 0 && !run.empty()) {
      std::ifstream in(run);
      if (!in) {
        std::cerr << "pelterra-gui: cannot read " << run << "\n";
        rc = 1;
      }
      int n = 0;
      for (std::string line; rc == 0 && std::getline(in, line);) {
        ++n;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        if (!window.Act(line).ok) {
          std::cerr << "pelterra-gui: " << run << ":" << n << ": " << window.LastError() << "\n";
          rc = 1;
        }
      }
    }
    if (rc == 0 && !screenshot.empty()) {
      window.View()->FrameAll();
      app.processEvents();
      if (!window.grab().save(QString::fromStdString(screenshot))) {
        std::cerr << "pelterra-gui: cannot write " << screenshot << "\n";
        rc = 1;
      }
    } else if (rc == 0) {
      rc = app.exec();
    }
  }
  plugins.EndAll();
  return rc;
}
