// pelterra: the headless host application. It loads the plug-in modules from its plug-in
// folder and drives them as the host does.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "c4d_commanddata.h"
#include "runtime/host.h"
#include "runtime/module_loader.h"

namespace {

const char* kUsage =
    "usage: pelterra [--plugins DIR] COMMAND\n"
    "\n"
    "Runs the Pelterra UV tools in a headless host.\n"
    "\n"
    "commands:\n"
    "  demo       start the plug-ins, execute the Pelterra commands, end\n"
    "  plugins    list the registered plug-ins in registration order\n"
    "\n"
    "options:\n"
    "  --plugins DIR   plug-in folder (default: plugins/ beside this program)\n"
    "  -h, --help      show this help\n";

std::string DefaultPluginFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  return (exe.parent_path() / "plugins").string();
}

int Fail(const std::string& msg) {
  std::cerr << "pelterra: " << msg << "\n";
  return 1;
}

int RunPlugins() {
  std::printf("%-9s %-8s %-12s %s\n", "ID", "KIND", "NAME", "ICON");
  for (const auto& e : hostrt::Registry::Get().Entries())
    std::printf("%-9d %-8s %-12s %s\n", e->id, hostrt::PluginKindName(e->kind), e->name.c_str(),
                e->icon ? "yes" : "no");
  return 0;
}

int RunDemo(hostrt::Host& host) {
  BaseDocument* doc = host.ActiveDocument();
  int failures = 0;
  for (const auto& e : hostrt::Registry::Get().Entries()) {
    if (e->kind != hostrt::PluginKind::Command || !e->command) continue;
    bool ok = e->command->Execute(doc);
    std::cout << "Executed command " << e->id << " (" << e->name
              << "): " << (ok ? "dialog open" : "FAILED") << "\n";
    if (!ok) ++failures;
  }
  std::cout << "Open dialogs: " << host.Windows().size() << "\n";
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginFolder = DefaultPluginFolder();
  std::string command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--plugins") {
      if (i + 1 >= args.size()) return Fail("--plugins needs a folder");
      pluginFolder = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      return Fail("unknown option " + a + " (see pelterra --help)");
    } else if (command.empty()) {
      command = a;
    } else {
      return Fail("unexpected argument " + a + " (see pelterra --help)");
    }
  }
  if (command.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (command != "demo" && command != "plugins")
    return Fail("unknown command " + command + " (see pelterra --help)");

  hostrt::Host host;
  host.echo = [](const std::string& line) { std::cout << line << "\n"; };
  host.onMessage = [](const hostrt::MessageRecord& m) {
    std::cout << "[message] " << m.text << "\n";
  };
  host.NewDocument();
  hostrt::PluginSystem plugins(host);
  std::string error;
  if (!plugins.StartAll(pluginFolder, error)) return Fail(error);

  int rc = command == "plugins" ? RunPlugins() : RunDemo(host);
  plugins.EndAll();
  return rc;
}
