#include "inspect_command.h"

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "gltf_io.h"
#include "inspect.h"
#include "inspect_json.h"
#include "obj_io.h"
#include "preview.h"
#include "scenes.h"
#include "words.h"

namespace pelterra {

const char* const kInspectHelp =
    "usage: pelterra inspect FILE.obj|.gltf|.glb ... [--max-overlaps N] [--max-density-spread X]\n"
    "                        [--max-stretch X] [--json]\n\n"
    "Inspects the UV layout of every object with UVs: overlapping polygons, flipped polygons\n"
    "per island, zero-area polygons and non-finite UVs, texel density per island, area and\n"
    "angle stretch per polygon and the used share of the unit square (docs/inspect.md).\n"
    "FILE may also be builtin:NAME.\n"
    "  --max-overlaps N          at most N overlapping pairs per object\n"
    "  --max-density-spread X    at most X between the densest and the sparsest island\n"
    "  --max-stretch X           no polygon's UV area share more than X times its 3D share,\n"
    "                            nor less than 1/X of it\n"
    "  --json                    the report as JSON\n"
    "Exit code 0 when every object is within the limits, 1 when one is exceeded, 2 when a\n"
    "file cannot be inspected.\n";

namespace {

struct FileReport {
  std::string file;
  std::string error;
  std::vector<InspectReport> objects;
};

bool Load(const std::string& file, BaseDocument& doc, std::string& error) {
  if (file.rfind("builtin:", 0) == 0) return LoadBuiltinScene(file.substr(8), doc, error);
  return IsGltfPath(file) ? LoadGltf(file, doc, error, nullptr) : LoadObj(file, doc, error);
}

}  // namespace

int InspectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> files;
  InspectLimits limits;
  bool json = false;
  auto bad = [&](const std::string& what) {
    err << "pelterra: inspect: " << what << " (see pelterra inspect --help)\n";
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--max-overlaps" || a == "--max-density-spread" || a == "--max-stretch") {
      if (i + 1 >= args.size()) return bad(a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--max-overlaps") {
        Int32 n = 0;
        if (!ToInt(v, n) || n < 0) return bad(a + " needs a whole number from 0");
        limits.overlaps = n;
      } else {
        Float x = 0;
        if (!ToFloat(v, x) || !(x >= 1.0)) return bad(a + " needs a number from 1");
        (a == "--max-stretch" ? limits.stretch : limits.densitySpread) = x;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return bad("unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return bad("needs one or more OBJ files");

  std::vector<FileReport> reports;
  bool failed = false;
  for (const std::string& file : files) {
    FileReport fr;
    fr.file = file;
    BaseDocument* doc = BaseDocument::Alloc();
    if (!Load(file, *doc, fr.error)) {
      failed = true;
    } else {
      for (PolygonObject* op : ObjectsWithUVs(*doc)) {
        Layout layout;
        if (LayoutOf(*op, layout)) fr.objects.push_back(Inspect(layout));
      }
      if (fr.objects.empty()) {
        fr.error = file + ": no object has UVs";
        failed = true;
      }
    }
    BaseDocument::Free(doc);
    reports.push_back(std::move(fr));
  }

  std::vector<std::string> exceeded;
  for (const FileReport& fr : reports)
    for (const InspectReport& r : fr.objects)
      for (const std::string& e : Exceeded(r, limits))
        exceeded.push_back(fr.file + ": " + r.name + ": " + e);

  if (json) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FileReport& fr : reports) {
      nlohmann::ordered_json f = {{"file", fr.file}};
      if (!fr.error.empty()) f["error"] = fr.error;
      f["objects"] = nlohmann::ordered_json::array();
      for (const InspectReport& r : fr.objects) f["objects"].push_back(ReportJson(r));
      files.push_back(std::move(f));
    }
    // Names from files may hold bytes that are not UTF-8: they are replaced, not refused.
    out << nlohmann::ordered_json{{"files", files}, {"exceeded", exceeded}}.dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << "\n";
  } else {
    for (const FileReport& fr : reports) {
      if (!fr.error.empty()) continue;
      out << fr.file << ": " << fr.objects.size() << " object(s) with UVs\n";
      for (const InspectReport& r : fr.objects) out << "  " << r.name << ":\n" << ReportText(r, "    ");
    }
    for (const std::string& e : exceeded) out << "limit exceeded: " << e << "\n";
  }
  for (const FileReport& fr : reports)
    if (!fr.error.empty()) err << "pelterra: " << fr.error << "\n";
  if (failed) return 2;
  return exceeded.empty() ? 0 : 1;
}

}  // namespace pelterra
