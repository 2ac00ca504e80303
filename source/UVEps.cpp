#include "UVEps.h"

#include "UVFunction.h"
#include "UVList.h"
#include "c4d_basedocument.h"
#include "c4d_symbols.h"

namespace {

// The lines after the edges.
constexpr const char* kTrailer = "end\ngrestore\nshowpage\n%%Trailer\n";

// The point of a UV on the page: u across W, v down H from the top.
void AppendPoint(String& out, const EpsSettings& eps, const Vector& uv, const char* op) {
  out += FormatFloat(eps.width * uv.x);
  out += ' ';
  out += FormatFloat((1.0 - uv.y) * eps.height);
  out += op;
}

// An edge from p to q as a path of its own.
void AppendEdge(String& out, const EpsSettings& eps, const Vector& p, const Vector& q) {
  out += "newpath\n";
  AppendPoint(out, eps, p, " moveto\n");
  AppendPoint(out, eps, q, " lineto\n");
  out += "stroke\n";
}

}  // namespace

String EpsLabel(const EpsState& eps) {
  return "EPS Size W:" + FormatInt(eps.settings.width) + "px H:" + FormatInt(eps.settings.height) +
         "px";
}

String EpsHeader(const EpsSettings& eps) {
  return "%!PS-Adobe-2.0\n"
         "%%DocumentFonts: Helvetica\n"
         "%%BoundingBox: 0 0 " +
         FormatInt(eps.width) + " " + FormatInt(eps.height) +
         "\n"
         "%%Orientation: Portrait\n"
         "%%Pages: 1\n"
         "%%EndComments\n"
         "/mydict 120 dict def\n"
         "mydict begin\n" +
         FormatFloat(eps.lineWidth) + " setlinewidth\n" + "gsave\n";
}

Bool WriteTextToFile(const String& text, BaseFile* file) {
  return file && file->WriteBytes(text.data(), static_cast<Int64>(text.size()));
}

Bool EPS_size::CreateLayout() {
  if (!GeModalDialog::CreateLayout()) return false;
  return LoadDialogResource(DLG_EPSSIZE, nullptr, 0);
}

Bool EPS_size::InitValues() {
  // Ranges that make a drawable page; a value typed outside is clamped to them.
  if (width_) SetInt32(IDC_EPS_WIDTH, *width_, kEpsMinSize, kEpsMaxSize, 1);
  if (height_) SetInt32(IDC_EPS_HEIGHT, *height_, kEpsMinSize, kEpsMaxSize, 1);
  if (lineWidth_)
    SetFloat(IDC_EPS_LINE, *lineWidth_, kEpsMinLineWidth, kEpsMaxLineWidth, 1.0, FORMAT_FLOAT);
  return true;
}

Bool EPS_size::Command(Int32 id, const BaseContainer&) {
  if (id != IDC_EPS_OK) return true;
  if (width_) GetInt32(IDC_EPS_WIDTH, *width_);
  if (height_) GetInt32(IDC_EPS_HEIGHT, *height_);
  if (lineWidth_) GetFloat(IDC_EPS_LINE, *lineWidth_);
  Close(true);
  return true;
}

Bool ExportUVlistEps(const EpsSettings& eps) {
  // Any polygon object with a UVW tag, even one without polygons.
  UVToolScope scope({.uvParts = 0});
  if (!scope.Ok()) return false;
  Filename name = DefaultListName(*scope.Document(), *scope.Object(), "eps");
  if (!name.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_SAVE, "Save UVlist for EPS"))
    return true;

  BaseFile* file = BaseFile::Alloc();
  if (!file->Open(name, FILEOPEN_WRITE, FILEDIALOG_NONE)) {
    BaseFile::Free(file);
    return false;
  }
  Bool ok = WriteTextToFile(EpsHeader(eps), file);

  // All polygons, or the selected ones, in ascending order; each edge is a path of its own.
  const CPolygon* polys = scope.Polygons();
  const Int32 n = scope.PolygonCount();
  const std::vector<Int32>& selected = scope.SelectedPolygons();
  const Int32 count = selected.empty() ? n : static_cast<Int32>(selected.size());
  const ConstUVWHandle h = scope.Tag()->GetDataAddressR();
  String out;
  for (Int32 k = 0; k < count && ok; ++k) {
    const Int32 i = selected.empty() ? k : selected[static_cast<size_t>(k)];
    UVWStruct s;
    UVWTag::Get(h, i, s);
    const Int32 corners = polys[i].c == polys[i].d ? 3 : 4;
    out.clear();
    for (Int32 c = 0; c < corners; ++c) {
      // A corner that is not a finite number has no place on the page, and its text ("nan")
      // would stop the PostScript interpreter before anything is drawn: its edges are left out.
      const Vector& p = s[c];
      const Vector& q = s[(c + 1) % corners];
      if (Finite(p) && Finite(q)) AppendEdge(out, eps, p, q);
    }
    ok = WriteTextToFile(out, file);
  }
  ok = ok && WriteTextToFile(kTrailer, file);
  // A file that did not reach the disk says so; an older one then stays as it was.
  ok = file->Close() && ok;
  BaseFile::Free(file);
  return ok;
}

namespace {

void EpsCommand(ToolDialog& dlg, Int32 id, EpsState& eps) {
  if (id == IDC_MENU_SAVE_EPS) {
    ExportUVlistEps(eps.settings);
    return;
  }
  // The size dialog edits the settings in place; the button's label follows.
  eps.dialog.Bind(&eps.settings.width, &eps.settings.height, &eps.settings.lineWidth);
  dlg.OpenModal(eps.dialog);
  dlg.Refresh();
}

void EpsRefresh(ToolDialog& dlg, EpsState& eps) {
  dlg.SetString(IDC_EPS_SIZE, EpsLabel(eps));
}

const bool registered = RegisterToolGroup(ToolGroup<EpsState>{
    .name = "EPS export",
    .controls = {IDC_MENU_SAVE_EPS, IDC_EPS_SIZE},
    .command = EpsCommand,
    .refresh = EpsRefresh,
    .refreshOrder = 16,
});

}  // namespace
