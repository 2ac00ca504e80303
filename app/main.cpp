// pelterra: the headless host application. It loads the plug-in modules from its plug-in
// folder and drives them as the host does.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "c4d_commanddata.h"
#include "runtime/dialog_driver.h"
#include "runtime/dialog_view.h"
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
    "  dialog ID [ACTION ...]\n"
    "             execute command ID, act on its dialog as a user would and print the\n"
    "             dialog; actions: click:ID  tick:ID:on|off  choose:ID:ENTRY  type:ID:TEXT\n"
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

// "click:10089", "tick:10201:on", "choose:10071:10073", "type:10062:2.5".
hostrt::ActionResult Act(hostrt::Host& host, GeDialog& dlg, const std::string& action) {
  auto fail = [&](const std::string& why) {
    return hostrt::ActionResult{false, action + ": " + why};
  };
  std::vector<std::string> parts;
  size_t start = 0;
  for (int i = 0; i < 2; ++i) {
    size_t colon = action.find(':', start);
    if (colon == std::string::npos) break;
    parts.push_back(action.substr(start, colon - start));
    start = colon + 1;
  }
  parts.push_back(action.substr(start));
  if (parts.size() < 2) return fail("expected VERB:ID...");
  Int32 id = 0, entry = 0;
  try {
    size_t used = 0;
    id = std::stoi(parts[1], &used);
    if (used != parts[1].size()) return fail("bad identifier");
    if (parts[0] == "choose") {
      if (parts.size() != 3) return fail("expected choose:ID:ENTRY");
      entry = std::stoi(parts[2], &used);
      if (used != parts[2].size()) return fail("bad entry");
    }
  } catch (const std::exception&) {
    return fail("bad number");
  }
  hostrt::ActionResult r;
  if (parts[0] == "click" && parts.size() == 2)
    r = hostrt::Click(host, dlg, id);
  else if (parts[0] == "tick" && parts.size() == 3 && (parts[2] == "on" || parts[2] == "off"))
    r = hostrt::Tick(host, dlg, id, parts[2] == "on");
  else if (parts[0] == "choose")
    r = hostrt::Choose(host, dlg, id, entry);
  else if (parts[0] == "type" && parts.size() == 3)
    r = hostrt::Type(host, dlg, id, parts[2]);
  else
    return fail("unknown action");
  if (!r.ok) r.error = action + ": " + r.error;
  return r;
}

int RunDialog(hostrt::Host& host, const std::vector<std::string>& args) {
  if (args.empty()) return Fail("dialog needs a command identifier");
  Int32 id = 0;
  try {
    id = std::stoi(args[0]);
  } catch (const std::exception&) {
    return Fail("bad command identifier " + args[0]);
  }
  const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(id);
  if (!e || !e->command) return Fail("no command " + args[0]);
  size_t before = host.Windows().size();
  if (!e->command->Execute(host.ActiveDocument()) || host.Windows().size() == before)
    return Fail("command " + args[0] + " opened no dialog");
  GeDialog* dlg = host.Windows().back().dialog;
  for (size_t i = 1; i < args.size(); ++i) {
    hostrt::ActionResult r = Act(host, *dlg, args[i]);
    if (!r.ok) return Fail(r.error);
  }
  std::cout << hostrt::RenderDialog(*dlg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginFolder = DefaultPluginFolder();
  std::string command;
  std::vector<std::string> commandArgs;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--plugins") {
      if (i + 1 >= args.size()) return Fail("--plugins needs a folder");
      pluginFolder = args[++i];
    } else if (!a.empty() && a[0] == '-' && command.empty()) {
      return Fail("unknown option " + a + " (see pelterra --help)");
    } else if (command.empty()) {
      command = a;
    } else if (command == "dialog") {
      commandArgs.push_back(a);
    } else {
      return Fail("unexpected argument " + a + " (see pelterra --help)");
    }
  }
  if (command.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (command != "demo" && command != "plugins" && command != "dialog")
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

  int rc = command == "plugins"  ? RunPlugins()
           : command == "dialog" ? RunDialog(host, commandArgs)
                                 : RunDemo(host);
  plugins.EndAll();
  return rc;
}
