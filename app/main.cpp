// pelterra: the headless host application. It loads the plug-in modules from its plug-in
// folder and drives them as the host does: demos, user sessions, scene info and previews.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "c4d_commanddata.h"
#include "demo.h"
#include "obj_io.h"
#include "preview.h"
#include "progress.h"
#include "runtime/dialog_view.h"
#include "runtime/host.h"
#include "runtime/module_loader.h"
#include "scenes.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: pelterra [--plugins DIR] COMMAND [ARGS]\n"
    "\n"
    "Runs the Pelterra UV tools in a headless host.\n"
    "\n"
    "commands:\n"
    "  demo [--out DIR]                   run the built-in demonstration\n"
    "  run SESSION [--scene FILE] [--out DIR]\n"
    "                                     run a session script (docs/sessions.md)\n"
    "  info FILE.obj                      objects, polygon counts, UVs and their bounds\n"
    "  preview SCENE OUT.png [--object NAME] [--size N] [--selected]\n"
    "                                     draw an object's UV layout\n"
    "  plugins                            list the registered plug-ins\n"
    "  dialog ID [ACTION ...]             execute command ID, act on its dialog, print it\n"
    "                                     (click:ID tick:ID:on|off choose:ID:ENTRY type:ID:TEXT)\n"
    "\n"
    "SCENE is an OBJ file or builtin:NAME. Every command takes --help.\n"
    "options:\n"
    "  --plugins DIR   plug-in folder (default: plugins/ beside this program)\n"
    "  -h, --help      show this help\n";

struct CommandHelp {
  const char* name;
  const char* text;
};
const CommandHelp kHelp[] = {
    {"demo",
     "usage: pelterra demo [--out DIR]\n\n"
     "Opens a built-in scene, runs the demonstration session through the UV tools and writes\n"
     "the OBJ and the UV previews to DIR (default: pelterra-demo).\n"},
    {"run",
     "usage: pelterra run SESSION [--scene FILE] [--out DIR]\n\n"
     "Runs the session script SESSION, one user action per line (docs/sessions.md).\n"
     "${scene} in the script stands for FILE, ${out} for DIR (default: the current folder).\n"
     "Relative files that the session reads come from the script's folder; relative files it\n"
     "writes go to DIR. Exits 1 at the first failing line, naming it.\n"},
    {"info",
     "usage: pelterra info FILE.obj\n\n"
     "Prints each object with its point, triangle, quad and n-gon counts and its UV bounds.\n"},
    {"preview",
     "usage: pelterra preview SCENE OUT.png [--object NAME] [--size N] [--selected]\n\n"
     "Draws the UV layout of an object of SCENE (an OBJ file or builtin:NAME; the first object\n"
     "unless --object names one) as a PNG of N x N pixels (default 1024).\n"},
    {"plugins",
     "usage: pelterra plugins\n\nLists the registered plug-ins in registration order.\n"},
    {"dialog",
     "usage: pelterra dialog ID [ACTION ...]\n\n"
     "Executes command ID, performs the actions on its dialog as a user would and prints the\n"
     "dialog. Actions: click:ID  tick:ID:on|off  choose:ID:ENTRY  type:ID:TEXT\n"},
};

std::string DefaultPluginFolder() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  return (exe.parent_path() / "plugins").string();
}

int Fail(const std::string& msg) {
  std::cerr << "pelterra: " << msg << "\n";
  return 1;
}

// Options of the form --name VALUE or --flag, after the command's positional arguments.
struct Args {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  bool Has(const std::string& name) const {
    for (const auto& o : options)
      if (o.first == name) return true;
    return false;
  }
  std::string Get(const std::string& name, const std::string& fallback = std::string()) const {
    for (const auto& o : options)
      if (o.first == name) return o.second;
    return fallback;
  }
};

bool ParseArgs(const std::vector<std::string>& in, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, Args& out, std::string& error) {
  for (size_t i = 0; i < in.size(); ++i) {
    const std::string& a = in[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
        if (i + 1 >= in.size()) {
          error = a + " needs a value";
          return false;
        }
        out.options.emplace_back(a, in[++i]);
      } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
        out.options.emplace_back(a, "");
      } else {
        error = "unknown option " + a;
        return false;
      }
    } else {
      out.positional.push_back(a);
    }
  }
  return true;
}

// Loads an OBJ file or builtin:NAME into doc.
bool LoadScene(const std::string& scene, BaseDocument& doc, std::string& error) {
  if (scene.rfind("builtin:", 0) == 0)
    return pelterra::LoadBuiltinScene(scene.substr(8), doc, error);
  std::vector<std::string> warnings;
  pelterra::Progress progress("loading " + scene, 0);
  bool ok = pelterra::LoadObj(scene, doc, error, &warnings, &progress);
  for (const std::string& w : warnings) std::cerr << "pelterra: warning: " << w << "\n";
  return ok;
}

int RunInfo(const Args& a) {
  if (a.positional.size() != 1) return Fail("info needs one OBJ file (see pelterra info --help)");
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  if (!LoadScene(a.positional[0], *doc, error)) {
    BaseDocument::Free(doc);
    return Fail(error);
  }
  for (const pelterra::ObjectSummary& s : pelterra::Summarize(*doc)) {
    std::cout << s.name << ": " << s.points << " points, " << s.triangles << " triangles, "
              << s.quads << " quads, " << s.ngons << " n-gons";
    if (s.hasUVs)
      std::cout << ", UVs u " << hostrt::FormatNumber(s.uvMin.x) << ".."
                << hostrt::FormatNumber(s.uvMax.x) << " v " << hostrt::FormatNumber(s.uvMin.y)
                << ".." << hostrt::FormatNumber(s.uvMax.y);
    else
      std::cout << ", no UVs";
    std::cout << "\n";
  }
  BaseDocument::Free(doc);
  return 0;
}

int RunPreview(const Args& a) {
  if (a.positional.size() != 2)
    return Fail("preview needs SCENE and OUT.png (see pelterra preview --help)");
  pelterra::PreviewOptions opt;
  opt.selectedOnly = a.Has("--selected");
  if (a.Has("--size")) {
    try {
      size_t used = 0;
      opt.size = std::stoi(a.Get("--size"), &used);
      if (used != a.Get("--size").size()) throw std::invalid_argument("size");
    } catch (const std::exception&) {
      return Fail("--size needs a number of pixels");
    }
  }
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  int rc = 0;
  if (!LoadScene(a.positional[0], *doc, error)) {
    rc = Fail(error);
  } else {
    BaseObject* op =
        a.Has("--object") ? doc->SearchObject(a.Get("--object")) : doc->GetFirstObject();
    if (!op || op->GetType() != Opolygon)
      rc = Fail(a.Has("--object") ? "no polygon object named " + a.Get("--object")
                                  : "the scene has no objects");
    else if (!pelterra::WritePreview(*static_cast<PolygonObject*>(op), a.positional[1], opt, error))
      rc = Fail(error);
    else
      std::cout << "wrote " << a.positional[1] << "\n";
  }
  BaseDocument::Free(doc);
  return rc;
}

int RunPlugins() {
  std::printf("%-9s %-8s %-12s %s\n", "ID", "KIND", "NAME", "ICON");
  for (const auto& e : hostrt::Registry::Get().Entries())
    std::printf("%-9d %-8s %-12s %s\n", e->id, hostrt::PluginKindName(e->kind), e->name.c_str(),
                e->icon ? "yes" : "no");
  return 0;
}

int RunSessionText(hostrt::Host& host, std::istream& in, const std::string& name,
                   pelterra::SessionOptions opt, std::vector<std::string>* written) {
  std::error_code ec;
  fs::create_directories(opt.outDir, ec);
  if (ec) return Fail("cannot create " + opt.outDir + ": " + ec.message());
  pelterra::Session session(host, std::cout, opt);
  const bool ok = session.Run(in, name);
  if (written) *written = session.Written();
  if (!ok) return Fail(session.Error());
  return 0;
}

int RunDemo(hostrt::Host& host, const Args& a) {
  if (!a.positional.empty()) return Fail("demo takes no arguments (see pelterra demo --help)");
  pelterra::SessionOptions opt;
  opt.outDir = a.Get("--out", "pelterra-demo");
  std::istringstream in(pelterra::kDemoSession);
  std::vector<std::string> written;
  int rc = RunSessionText(host, in, "demo", opt, &written);
  if (rc != 0) return rc;
  std::cout << "\nPelterra demo done. It opened the built-in cube and the UV tools dialog, "
               "selected UV polygons, scaled one UV island and rotated another about a picked UV "
               "point, and wrote "
            << written.size() << " file(s) to " << fs::absolute(opt.outDir).string() << ":\n";
  for (const std::string& f : written) std::cout << "  " << f << "\n";
  return 0;
}

int RunRun(hostrt::Host& host, const Args& a) {
  if (a.positional.size() != 1) return Fail("run needs one session file (see pelterra run --help)");
  const std::string& file = a.positional[0];
  std::ifstream in(file);
  if (!in) return Fail(file + ": cannot be read");
  pelterra::SessionOptions opt;
  opt.outDir = a.Get("--out", ".");
  opt.baseDir = fs::path(file).parent_path().string();
  if (opt.baseDir.empty()) opt.baseDir = ".";
  if (a.Has("--scene")) opt.scene = fs::absolute(a.Get("--scene")).string();
  return RunSessionText(host, in, file, opt, nullptr);
}

// Actions "click:10089", "tick:10201:on", "choose:10071:10073", "type:10062:2.5" run as the
// session lines "click 10089" and so on, then the dialog is printed.
int RunDialog(hostrt::Host& host, const Args& a) {
  if (a.positional.empty()) return Fail("dialog needs a command identifier");
  pelterra::Session session(host, std::cout, {});
  std::vector<std::string> lines{"command \"" + a.positional[0] + "\""};
  for (size_t i = 1; i < a.positional.size(); ++i) {
    std::string line;
    for (char c : a.positional[i]) line += c == ':' ? std::string("\" \"") : std::string(1, c);
    lines.push_back("\"" + line + "\"");
  }
  lines.push_back("print dialog");
  for (size_t i = 0; i < lines.size(); ++i)
    if (!session.RunLine(lines[i], static_cast<int>(i + 1)))
      return Fail(i == 0 ? session.Error() : a.positional[i] + ": " + session.Error());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginFolder = DefaultPluginFolder();
  size_t i = 0;
  for (; i < args.size(); ++i) {
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
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  const CommandHelp* help = nullptr;
  for (const CommandHelp& h : kHelp)
    if (command == h.name) help = &h;
  if (!help) return Fail("unknown command " + command + " (see pelterra --help)");
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
      std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
    std::cout << help->text;
    return 0;
  }
  Args a;
  std::string error;
  const bool ok = command == "demo"  ? ParseArgs(rest, {"--out"}, {}, a, error)
                  : command == "run" ? ParseArgs(rest, {"--out", "--scene"}, {}, a, error)
                  : command == "preview"
                      ? ParseArgs(rest, {"--object", "--size"}, {"--selected"}, a, error)
                      : ParseArgs(rest, {}, {}, a, error);
  if (!ok) return Fail(error + " (see pelterra " + command + " --help)");

  // Commands that need no plug-ins.
  if (command == "info") return RunInfo(a);
  if (command == "preview") return RunPreview(a);

  hostrt::Host host;
  host.echo = [](const std::string& line) { std::cout << line << "\n"; };
  host.NewDocument();
  hostrt::PluginSystem plugins(host);
  if (!plugins.StartAll(pluginFolder, error)) return Fail(error);

  int rc = 0;
  if (command == "plugins")
    rc = RunPlugins();
  else if (command == "dialog")
    rc = RunDialog(host, a);
  else if (command == "demo")
    rc = RunDemo(host, a);
  else
    rc = RunRun(host, a);
  plugins.EndAll();
  return rc;
}
