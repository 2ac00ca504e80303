// pelterra: the headless host application. It loads the plug-in modules from its plug-in
// folder and drives them as the host does: demos, user sessions, scene info and previews.
#ifdef _WIN32
#include <process.h>

#include "runtime/file_system.h"
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "c4d_commanddata.h"
#include "controls.h"
#include "batch.h"
#include "demo.h"
#include "file_access.h"
#include "inspect_command.h"
#include "gltf_io.h"
#include "obj_io.h"
#include "preview.h"
#include "printable.h"
#include "progress.h"
#include "runtime/dialog_view.h"
#include "runtime/host.h"
#include "runtime/module_loader.h"
#include "scenes.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: pelterra [--plugins DIR] [--quiet] COMMAND [ARGS]\n"
    "\n"
    "Runs the Pelterra UV tools in a headless host.\n"
    "\n"
    "commands:\n"
    "  demo [--out DIR]                   run the built-in demonstration\n"
    "  run SESSION [--scene FILE] [--out DIR] [--strict] [--force]\n"
    "                                     run a session script (docs/sessions.md)\n"
    "  check SESSION [--scene FILE]       check a session script without running it\n"
    "  batch SESSION FILES... [--jobs N] [--out DIR] [--report FILE.xml|.json]\n"
    "                                     run a session on many files, N at a time\n"
    "  info FILE.obj|.gltf|.glb ...       objects, polygon counts, UVs and their bounds\n"
    "  inspect FILE.obj|.gltf|.glb ... [--max-overlaps N] [--max-density-spread X]\n"
    "          [--max-stretch X] [--json] overlaps, flips, density and stretch of the UVs\n"
    "  preview SCENE OUT.png|OUT.svg [--object NAME] [--size N] [--selected] [--fit]\n"
    "          [--color density|stretch|flips|overlaps]\n"
    "                                     draw the UV layout of the objects with UVs\n"
    "  controls [PLUGIN]                  list the controls of a command's dialog\n"
    "  plugins                            list the registered plug-ins\n"
    "  dialog ID [ACTION ...]             execute command ID, act on its dialog, print it\n"
    "                                     (click:ID tick:ID:on|off choose:ID:ENTRY type:ID:TEXT)\n"
    "  help [COMMAND]                     this help, or a command's\n"
    "\n"
    "SCENE is an OBJ or glTF file or builtin:NAME. Every command takes --help.\n"
    "options:\n"
    "  --plugins DIR   plug-in folder (default: plugins/ beside this program)\n"
    "  --quiet         leave out the start-up banner and the echo of the host console\n"
    "  --progress=auto|plain|off  progress of long work on stderr: on a terminal (auto), one\n"
    "                  line per 10 % (plain, for CI logs), or none\n"
    "  --version       show the version\n"
    "  -h, --help      show this help\n";

struct CommandHelp {
  const char* name;
  const char* text;
};
const CommandHelp kHelp[] = {
    {"demo",
     "usage: pelterra demo [--out DIR]\n\n"
     "Opens a built-in scene, runs the demonstration session through the UV tools and writes\n"
     "the OBJ files, the UV previews and the session itself (demo.session) to DIR (default:\n"
     "pelterra-demo). Run the session again with: pelterra run DIR/demo.session --out DIR\n"},
    {"run",
     "usage: pelterra run SESSION [--scene FILE] [--out DIR] [--strict] [--force]\n\n"
     "Runs the session script SESSION, one user action per line (docs/sessions.md).\n"
     "${scene} in the script stands for FILE, ${stem} for its name without suffix, ${out} for\n"
     "DIR (default: the current folder). Relative files that the session reads come from the\n"
     "script's folder; relative files it writes go to DIR.\n"
     "Every line is checked before any runs: problems are listed and the exit code is 2. Then\n"
     "the session stops at the first failing line, naming it, with exit code 1.\n"
     "  --strict  warnings (clamped values, unused answers) and clicks that changed nothing fail\n"
     "  --force   save and export may replace the file a document was opened from\n"},
    {"check",
     "usage: pelterra check SESSION [--scene FILE] [--out DIR]\n\n"
     "Checks every line of SESSION without running it: unknown verbs, wrong word counts, bad\n"
     "numbers, unknown names and ${...} variables. Exit code 0 when it is fine, 2 when not.\n"},
    {"batch", pelterra::kBatchHelp},
    {"info",
     "usage: pelterra info FILE.obj|.gltf|.glb ...\n\n"
     "Prints each object of each file with its point, triangle, quad and n-gon counts and its\n"
     "UV bounds. v is shown as the host shows it (0 at the top of the texture), with the file's\n"
     "own v range (0 at the bottom) beside it.\n"},
    {"inspect", pelterra::kInspectHelp},
    {"preview",
     "usage: pelterra preview SCENE OUT.png|OUT.svg [--object NAME] [--size N] [--selected]\n"
     "                        [--fit] [--color density|stretch|flips|overlaps]\n\n"
     "Draws the UV layout of every object of SCENE (OBJ, glTF or builtin:NAME) that has UVs,\n"
     "or of the one --object names, as a PNG of N x N pixels (default 1024), or as an SVG\n"
     "drawing in UV units. --selected draws the unselected polygons lighter; --fit frames the\n"
     "UVs when they reach outside 0..1. --color fills the polygons by texel density, area\n"
     "stretch, or marks flipped or overlapping ones in red, with a legend (docs/inspect.md).\n"},
    {"controls",
     "usage: pelterra controls [PLUGIN]\n\n"
     "Executes command PLUGIN (an identifier or symbol name; default 1024239, the UV tools)\n"
     "and lists every control of its dialog: identifier, name, label, kind, range or entries,\n"
     "and the tab under which it shows.\n"},
    {"plugins",
     "usage: pelterra plugins\n\nLists the registered plug-ins in registration order.\n"},
    {"dialog",
     "usage: pelterra dialog ID [ACTION ...]\n\n"
     "Executes command ID, performs the actions on its dialog as a user would and prints the\n"
     "dialog. Actions: click:ID  tick:ID:on|off  choose:ID:ENTRY  type:ID:TEXT\n"
     "ID and ENTRY may be identifiers, symbol names or labels.\n"},
    {"help", "usage: pelterra help [COMMAND]\n\nShows the help, or a command's.\n"},
};

std::string DefaultPluginFolder() {
#ifdef _WIN32
  const std::string exe = hostrt::ExecutablePath();
  if (exe.empty()) return "plugins";
  return (fs::path(exe).parent_path() / "plugins").string();
#else
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  return (exe.parent_path() / "plugins").string();
#endif
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

// Loads an OBJ or glTF file or builtin:NAME into doc.
bool LoadScene(const std::string& scene, BaseDocument& doc, std::string& error) {
  if (scene.rfind("builtin:", 0) == 0)
    return pelterra::LoadBuiltinScene(scene.substr(8), doc, error);
  std::vector<std::string> warnings;
  std::error_code ec;
  const auto size = fs::file_size(scene, ec);
  pelterra::Progress progress("loading " + scene, ec ? 0 : static_cast<std::int64_t>(size));
  bool ok = pelterra::IsGltfPath(scene) ? pelterra::LoadGltf(scene, doc, error, &warnings)
                                         : pelterra::LoadObj(scene, doc, error, &warnings, &progress);
  for (const std::string& w : warnings) std::cerr << "pelterra: warning: " << w << "\n";
  return ok;
}

// A number as `info` shows a derived one: 15 significant digits, so that 1 - 0.9 reads 0.1.
std::string Short(Float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v == 0.0 ? 0.0 : v);
  return buf;
}

int RunInfo(const Args& a) {
  if (a.positional.empty())
    return Fail("info needs one or more OBJ files (see pelterra info --help)");
  int rc = 0;
  for (const std::string& file : a.positional) {
    BaseDocument* doc = BaseDocument::Alloc();
    std::string error;
    if (!LoadScene(file, *doc, error)) {
      rc = Fail(error);
      BaseDocument::Free(doc);
      continue;
    }
    const auto summary = pelterra::Summarize(*doc);
    std::cout << file << ": " << summary.size() << " object(s); v as the host shows it (0 at "
              << "the top of the texture), the file's own v (0 at the bottom) beside it\n";
    for (const pelterra::ObjectSummary& s : summary) {
      std::cout << "  " << s.name << ": " << s.points << " points, " << s.triangles
                << " triangles, " << s.quads << " quads, " << s.ngons << " n-gons";
      // glTF's t already counts from the top of the texture, as the host's v does.
      if (s.hasUVs)
        std::cout << ", UVs u " << Short(s.uvMin.x) << ".." << Short(s.uvMax.x) << " v "
                  << Short(s.uvMin.y) << ".." << Short(s.uvMax.y)
                  << (pelterra::IsGltfPath(file) ? " (the file's t)"
                                                 : " (file v " + Short(1.0 - s.uvMax.y) + ".." +
                                                       Short(1.0 - s.uvMin.y) + ")");
      else
        std::cout << ", no UVs";
      std::cout << "\n";
    }
    BaseDocument::Free(doc);
  }
  return rc;
}

int RunPreview(const Args& a) {
  if (a.positional.size() != 2)
    return Fail("preview needs SCENE and OUT.png or OUT.svg (see pelterra preview --help)");
  pelterra::PreviewOptions opt;
  opt.selected = a.Has("--selected");
  opt.fit = a.Has("--fit");
  if (a.Has("--color") && !pelterra::ParseHeatMode(a.Get("--color"), opt.color))
    return Fail("--color takes density, stretch, flips or overlaps");
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
  std::string error, note;
  int rc = 0;
  if (!LoadScene(a.positional[0], *doc, error)) {
    rc = Fail(error);
  } else {
    std::vector<PolygonObject*> objects;
    if (a.Has("--object")) {
      BaseObject* op = doc->SearchObject(a.Get("--object"));
      if (op && op->GetType() == Opolygon) objects.push_back(static_cast<PolygonObject*>(op));
    } else {
      objects = pelterra::ObjectsWithUVs(*doc);
    }
    if (objects.empty())
      rc = Fail(a.Has("--object") ? "no polygon object named " + a.Get("--object")
                                  : a.positional[0] + ": no object has UVs");
    else if (!pelterra::WritePreview(objects, a.positional[1], opt, error, &note))
      rc = Fail(error);
    else
      std::cout << "wrote " << a.positional[1] << " (" << objects.size() << " object"
                << (objects.size() == 1 ? "" : "s") << ")\n";
    if (!note.empty()) std::cout << "note: " << note << "\n";
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

// Exit codes: 0 done, 1 a line failed, 2 the check found problems before anything ran.
int RunSessionText(hostrt::Host& host, std::istream& in, const std::string& name,
                   pelterra::SessionOptions opt, std::vector<std::string>* written) {
  std::error_code ec;
  fs::create_directories(opt.outDir, ec);
  if (ec) return Fail("cannot create " + opt.outDir + ": " + ec.message());
  pelterra::Session session(host, std::cout, opt);
  const bool ok = session.Run(in, name);
  if (written) *written = session.Written();
  if (!ok) {
    Fail(session.Error());
    return session.CheckFailed() ? 2 : 1;
  }
  return 0;
}

// Renders an EPS file of w x h points to PNG with Ghostscript; false (with why) when gs is
// missing or fails.
bool RenderEps(const std::string& eps, const std::string& png, int w, int h, std::string& why) {
  const std::string width = "-dDEVICEWIDTHPOINTS=" + std::to_string(w);
  const std::string height = "-dDEVICEHEIGHTPOINTS=" + std::to_string(h);
  const std::string output = "-sOutputFile=" + png;
  std::vector<std::string> args = {"gs",    "-q",        "-dSAFER",       "-dBATCH",
                                   "-dNOPAUSE", "-sDEVICE=png16m", "-r72", width,
                                   height, "-dFIXEDMEDIA", output,          eps};
#ifdef _WIN32
  // Ghostscript's console program on Windows; the arguments are quoted for its command line.
  args[0] = "gswin64c";
  for (std::string& arg : args)
    if (arg.find_first_of(" \t\"") != std::string::npos) arg = "\"" + arg + "\"";
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  const intptr_t status = _spawnvp(_P_WAIT, argv[0], argv.data());
  if (status == -1) {
    why = "Ghostscript (gswin64c) is not installed";
    return false;
  }
  if (status != 0) {
    why = "Ghostscript (gswin64c) failed";
    return false;
  }
  return true;
#else
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "gs", nullptr, nullptr, argv.data(), environ) != 0) {
    why = "Ghostscript (gs) is not installed";
    return false;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    why = "Ghostscript (gs) failed";
    return false;
  }
  return true;
#endif
}

int RunDemo(hostrt::Host& host, const Args& a, const std::string& pluginFolder) {
  if (!a.positional.empty()) return Fail("demo takes no arguments (see pelterra demo --help)");
  pelterra::SessionOptions opt;
  opt.outDir = a.Get("--out", "pelterra-demo");
  // The session reads the glTF scene the demo writes beside it, as it does when run again.
  opt.baseDir = opt.outDir;
  const std::string glb = (fs::path(opt.outDir) / "islands.glb").string();
  {
    std::error_code ec;
    fs::create_directories(opt.outDir, ec);
    std::ofstream out(glb, std::ios::binary);
    out << pelterra::DemoGlb();
    if (!out) return Fail("cannot write " + glb);
  }
  opt.symbols = pelterra::Symbols::FromPluginFolder(pluginFolder);
  std::istringstream in(pelterra::kDemoSession);
  std::vector<std::string> written;
  int rc = RunSessionText(host, in, "demo", opt, &written);
  if (rc != 0) return rc;
  // The session itself, for a user to learn from and adapt.
  const std::string script = (fs::path(opt.outDir) / "demo.session").string();
  {
    std::ofstream out(script, std::ios::binary);
    out << pelterra::kDemoSession;
    if (!out) return Fail("cannot write " + script);
  }
  written.push_back(script);
  // The EPS drawing as a picture, so that a user can look at it without a PostScript viewer.
  const std::string eps = (fs::path(opt.outDir) / "Cube_UV.eps").string();
  const std::string png = (fs::path(opt.outDir) / "Cube_UV.png").string();
  std::string why;
#ifdef _WIN32
  // Ghostscript is seldom installed on Windows; the demo's own files are written without it.
  if (RenderEps(eps, png, 512, 512, why))
    written.push_back(png);
  else
    std::cout << "pelterra: " << png << " is not drawn: " << why << "\n";
#else
  if (!RenderEps(eps, png, 512, 512, why)) return Fail("cannot render " + eps + ": " + why);
  written.push_back(png);
#endif
  written.push_back(glb);
  std::cout << "\nPelterra demo done. It opened the built-in cube and the UV tools dialog, "
               "selected UV polygons, scaled and rotated UV islands, aligned, projected and "
               "stitched UV points, scaled islands to their real area, selected a loop, saved "
               "and loaded UV lists and drew them as EPS, inspected a broken layout with "
               "heatmaps before and after its fix, scaled an island of a glTF scene, and wrote "
            << written.size() << " file(s) to " << fs::absolute(opt.outDir).string() << ":\n";
  for (const std::string& f : written) std::cout << "  " << f << "\n";
  const std::string scaled = (fs::path(opt.outDir) / "islands-scaled.glb").string();
  std::cout << "islands.glb against islands-scaled.glb: "
            << pelterra::DescribeGltfChange(glb, scaled) << "\n";
  std::cout << "Run the session again, or your own copy of it, with:\n  pelterra run " << script
            << " --out " << opt.outDir << "\n";
  return 0;
}

// The options run and check share; false with the exit code when they are wrong.
bool SessionSetup(const Args& a, const std::string& pluginFolder, pelterra::SessionOptions& opt,
                  int& rc) {
  opt.outDir = a.Get("--out", ".");
  opt.baseDir = fs::path(a.positional[0]).parent_path().string();
  if (opt.baseDir.empty()) opt.baseDir = ".";
  opt.strict = a.Has("--strict");
  opt.force = a.Has("--force");
  opt.symbols = pelterra::Symbols::FromPluginFolder(pluginFolder);
  if (a.Has("--scene")) {
    const std::string scene = a.Get("--scene");
    std::error_code ec;
    if (scene.rfind("builtin:", 0) != 0 && !fs::is_regular_file(scene, ec)) {
      rc = 2;
      Fail("--scene " + scene + ": " + (fs::exists(scene, ec) ? "is not a file" : "no such file"));
      return false;
    }
    opt.scene = scene.rfind("builtin:", 0) == 0 ? scene : fs::absolute(scene).string();
  }
  return true;
}

int RunRun(hostrt::Host& host, const Args& a, const std::string& pluginFolder) {
  if (a.positional.size() != 1) return Fail("run needs one session file (see pelterra run --help)");
  const std::string& file = a.positional[0];
  std::string text, error;
  if (!pelterra::ReadRegularFile(file, text, error)) return Fail(error);
  std::istringstream in(text);
  pelterra::SessionOptions opt;
  int rc = 0;
  if (!SessionSetup(a, pluginFolder, opt, rc)) return rc;
  return RunSessionText(host, in, file, opt, nullptr);
}

int RunCheck(hostrt::Host& host, const Args& a, const std::string& pluginFolder) {
  if (a.positional.size() != 1)
    return Fail("check needs one session file (see pelterra check --help)");
  const std::string& file = a.positional[0];
  std::string text, error;
  if (!pelterra::ReadRegularFile(file, text, error)) return Fail(error);
  std::istringstream in(text);
  pelterra::SessionOptions opt;
  int rc = 0;
  if (!SessionSetup(a, pluginFolder, opt, rc)) return rc;
  pelterra::Session session(host, std::cout, opt);
  if (!session.Check(in, file)) {
    std::cerr << session.Error() << "\n";
    return 2;
  }
  std::cout << file << ": no problems found\n";
  return 0;
}

// The identifier of a command plug-in given as a number or a symbol name.
bool PluginId(const std::string& word, const pelterra::Symbols& symbols, Int32& id) {
  try {
    size_t used = 0;
    id = std::stoi(word, &used);
    if (used == word.size()) return true;
  } catch (const std::exception&) {
  }
  if (auto named = symbols.Find(word)) {
    id = *named;
    return true;
  }
  return false;
}

int RunControls(hostrt::Host& host, const Args& a, const std::string& pluginFolder) {
  if (a.positional.size() > 1)
    return Fail("controls takes one plug-in (see pelterra controls --help)");
  auto symbols = pelterra::Symbols::FromPluginFolder(pluginFolder);
  Int32 id = 1024239;
  if (!a.positional.empty() && !PluginId(a.positional[0], *symbols, id))
    return Fail("unknown plug-in " + a.positional[0]);
  const hostrt::PluginEntry* e = hostrt::Registry::Get().Find(id);
  if (!e || !e->command) return Fail("no command " + std::to_string(id));
  if (!e->command->Execute(host.ActiveDocument()))
    return Fail("command " + std::to_string(id) + " failed");
  GeDialog* dlg = nullptr;
  for (const hostrt::OpenWindow& win : host.Windows())
    if (win.pluginId == id) dlg = win.dialog;
  if (!dlg) return Fail("command " + std::to_string(id) + " opened no dialog");
  std::cout << "dialog " << id << " \"" << dlg->GetTitle() << "\"\n";
  pelterra::ListControls(host, *dlg, symbols.get(), std::cout);
  return 0;
}

// Actions "click:10089", "tick:IDC_SCALE_KEEP:on", "choose:10071:Scale&Rotate", "type:10062:2.5"
// run as session lines; a part that is neither a number nor a known name is a label.
int RunDialog(hostrt::Host& host, const Args& a, const std::string& pluginFolder) {
  if (a.positional.empty()) return Fail("dialog needs a command identifier");
  pelterra::SessionOptions opt;
  opt.symbols = pelterra::Symbols::FromPluginFolder(pluginFolder);
  pelterra::Session session(host, std::cout, opt);
  auto quote = [&](const std::string& w, bool label) {
    std::string q = "\"";
    for (char c : w) q += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    q += "\"";
    Int32 n = 0;
    const bool plain = !label || PluginId(w, *opt.symbols, n);
    return plain && w.find_first_of(" \t\"#") == std::string::npos && !w.empty() ? w : q;
  };
  std::vector<std::string> lines{"command " + quote(a.positional[0], false)};
  for (size_t i = 1; i < a.positional.size(); ++i) {
    std::vector<std::string> parts;
    std::stringstream ss(a.positional[i]);
    for (std::string part; std::getline(ss, part, ':');) parts.push_back(part);
    std::string line;
    for (size_t k = 0; k < parts.size(); ++k)
      line += (k ? " " : "") + quote(parts[k], k == 1 || (k == 2 && parts[0] == "choose"));
    lines.push_back(line);
  }
  lines.push_back("print dialog");
  for (size_t i = 0; i < lines.size(); ++i)
    if (!session.RunLine(lines[i], static_cast<int>(i + 1)))
      return Fail(i == 0 ? session.Error() : a.positional[i] + ": " + session.Error());
  return 0;
}

}  // namespace

// Everything printed through std::cout and std::cerr has its control characters escaped: names
// and words from files reach the terminal in them.
class PrintableOutput {
 public:
  PrintableOutput() {
    out_ = std::cout.rdbuf(&outBuf_);
    err_ = std::cerr.rdbuf(&errBuf_);
  }
  ~PrintableOutput() {
    std::cout.flush();
    std::cerr.flush();
    outBuf_.Finish();
    errBuf_.Finish();
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }
  PrintableOutput(const PrintableOutput&) = delete;
  PrintableOutput& operator=(const PrintableOutput&) = delete;

 private:
  pelterra::PrintableBuf outBuf_{std::cout.rdbuf()}, errBuf_{std::cerr.rdbuf()};
  std::streambuf* out_ = nullptr;
  std::streambuf* err_ = nullptr;
};

int main(int argc, char** argv) {
  PrintableOutput printable;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginFolder = DefaultPluginFolder();
  // --quiet may stand anywhere.
  const bool quiet = std::find(args.begin(), args.end(), "--quiet") != args.end();
  args.erase(std::remove(args.begin(), args.end(), "--quiet"), args.end());
  // So may --progress=MODE.
  for (auto it = args.begin(); it != args.end();) {
    if (it->rfind("--progress=", 0) != 0) {
      ++it;
      continue;
    }
    pelterra::ProgressMode mode;
    if (!pelterra::ParseProgressMode(it->substr(11), mode))
      return Fail(*it + ": the mode is auto, plain or off");
    pelterra::SetProgressMode(mode);
    it = args.erase(it);
  }
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--version") {
      std::cout << "pelterra " << PELTERRA_VERSION << "\n";
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
  auto helpOf = [](const std::string& name) -> const CommandHelp* {
    for (const CommandHelp& h : kHelp)
      if (name == h.name) return &h;
    return nullptr;
  };
  const CommandHelp* help = helpOf(command);
  if (!help) {
    std::vector<std::string> names;
    for (const CommandHelp& h : kHelp) names.push_back(h.name);
    std::string near;
    size_t best = 3;
    for (const std::string& n : names)
      if (size_t d = pelterra::EditDistance(command, n); d < best) {
        best = d;
        near = n;
      }
    return Fail("unknown command " + command +
                (near.empty() ? "" : " (did you mean " + near + "?)") + " (see pelterra --help)");
  }
  if (command == "help") {
    if (rest.empty()) {
      std::cout << kUsage;
      return 0;
    }
    const CommandHelp* h = helpOf(rest[0]);
    if (!h) return Fail("no command " + rest[0] + " (see pelterra help)");
    std::cout << h->text;
    return 0;
  }
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
      std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
    std::cout << help->text;
    return 0;
  }
  if (command == "inspect") return pelterra::InspectCommand(rest, std::cout, std::cerr);
  if (command == "batch") return pelterra::RunBatchCommand(rest, pluginFolder, quiet);
  Args a;
  std::string error;
  const bool ok = command == "demo" ? ParseArgs(rest, {"--out"}, {}, a, error)
                  : command == "run"
                      ? ParseArgs(rest, {"--out", "--scene"}, {"--strict", "--force"}, a, error)
                  : command == "check" ? ParseArgs(rest, {"--out", "--scene"}, {}, a, error)
                  : command == "preview"
                      ? ParseArgs(rest, {"--object", "--size", "--color"}, {"--selected", "--fit"}, a, error)
                      : ParseArgs(rest, {}, {}, a, error);
  if (!ok) return Fail(error + " (see pelterra " + command + " --help)");

  // Commands that need no plug-ins.
  if (command == "info") return RunInfo(a);
  if (command == "preview") return RunPreview(a);

  hostrt::Host host;
  if (!quiet) host.echo = [](const std::string& line) { std::cout << line << "\n"; };
  host.NewDocument();
  pelterra::StatusDisplay status;
  host.onStatus = [&status](const hostrt::StatusRecord& r) { status(r); };
  hostrt::PluginSystem plugins(host);
  if (!plugins.StartAll(pluginFolder, error)) return Fail(error);

  int rc = 0;
  if (command == "plugins")
    rc = RunPlugins();
  else if (command == "dialog")
    rc = RunDialog(host, a, pluginFolder);
  else if (command == "controls")
    rc = RunControls(host, a, pluginFolder);
  else if (command == "demo")
    rc = RunDemo(host, a, pluginFolder);
  else if (command == "check")
    rc = RunCheck(host, a, pluginFolder);
  else
    rc = RunRun(host, a, pluginFolder);
  plugins.EndAll();
  return rc;
}
