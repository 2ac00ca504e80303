#include "UVList.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "UVFunction.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_hyperfile.h"
#include "c4d_painter.h"
#include "c4d_symbols.h"

namespace {

constexpr size_t kHeaderField = 80;  // bytes before the header's line feed
constexpr size_t kHeaderText = 77;   // "UV_" and the name, at most; zero bytes fill the rest

// The object's name behind "UV_".
String ListName(const BaseObject& op) {
  return "UV_" + op.GetName();
}

// The ASCII header field: the name cut to 77 bytes and zero bytes up to 80. A line feed in the
// name would end the header line early and make the file unreadable; it becomes '_'.
String HeaderField(const BaseObject& op) {
  String text = ListName(op).substr(0, kHeaderText);
  std::replace(text.begin(), text.end(), '\n', '_');
  text.resize(kHeaderField, '\0');
  return text;
}

void AppendLine(String& out, Int32 i, const Vector& uv) {
  out += FormatInt(i);
  out += ' ';
  out += FormatFloat(uv.x);
  out += ' ';
  out += FormatFloat(uv.y);
  out += ' ';
  out += FormatFloat(uv.z);
  out += '\n';
}

// Preconditions of the saves: a polygon object with a UVW tag that holds UVs.
struct SaveScope {
  UVToolScope scope{{.uvParts = 0}};
  Bool Ok() { return scope.Ok() && scope.Tag()->GetDataCount() > 0; }
};

// A data line taken apart: sets the line's polygon and group size, its UV and whether it can be
// used. Tokens 0 to 2 end at the first, second and third space; token 3 is the rest of the line.
// False when the line has no space at all.
Bool ParseDataLine(const UVlistTarget& target, UVlistLineReader& r, Vector& uv, Bool& usable) {
  const String& line = r.line;
  r.p = -1;
  const size_t s1 = line.find(' ');
  if (s1 == String::npos) return false;
  const size_t s2 = line.find(' ', s1 + 1);
  const size_t s3 = s2 == String::npos ? String::npos : line.find(' ', s2 + 1);
  usable = s3 != String::npos;

  Bool error = false;
  const Int32 p = String(line.substr(0, s1)).ToInt32(&error);
  if (!error && p >= 0 && p < target.count)
    r.p = p;
  else
    usable = false;
  // An index that names no polygon is no triangle.
  r.e = r.p >= 0 && target.IsTriangle(r.p) ? 3 : 4;
  if (!usable) return true;

  const String t[3] = {line.substr(s1 + 1, s2 - s1 - 1), line.substr(s2 + 1, s3 - s2 - 1),
                       line.substr(s3 + 1)};
  Float x[3] = {};
  for (int i = 0; i < 3; ++i) {
    x[i] = t[i].ToFloat(&error);
    if (error || !std::isfinite(x[i])) usable = false;
  }
  uv = Vector(x[0], x[1], x[2]);
  return true;
}

// Sets polygon p from the group's corners.
void ApplyGroup(UVlistTarget& target, Int32 p, const Vector* corner, Int32 lines) {
  if (!target.Takes(p)) return;
  UVWStruct& s = target.uv[p];
  s.a = corner[0];
  s.b = corner[1];
  s.c = corner[2];
  if (lines == 4 && !target.IsTriangle(p)) s.d = corner[3];
  ++target.written;
}

Bool LoadAscii(UVlistTarget& target, const Filename& name) {
  BaseFile* file = BaseFile::Alloc();
  if (!file->Open(name, FILEOPEN_READ, FILEDIALOG_NONE, BYTEORDER_INTEL)) {
    BaseFile::Free(file);
    return false;
  }
  UVlistLineReader reader;
  reader.file = file;
  reader.length = file->GetLength();
  const Bool ok = ReadUVlistAscii(target, reader);
  file->Close();
  BaseFile::Free(file);
  return ok;
}

Bool LoadBinary(UVlistTarget& target, const Filename& name) {
  HyperFile* hf = HyperFile::Alloc();
  // A list that does not open (damaged, cut short, no list at all) is a failed load.
  Bool ok = hf->Open(kUVlistIdent, name, FILEOPEN_READ, FILEDIALOG_IGNOREOPEN);
  ok = ok && ReadUVlistBinary(target, *hf);
  HyperFile::Free(hf);
  return ok;
}

}  // namespace

Filename DefaultListName(const BaseDocument& doc, const BaseObject& op, const char* suffix) {
  Filename file;
  file.SetFile(Filename(op.GetName() + "_UV." + suffix));
  return Filename(doc.GetDocumentPath()) + file;
}

Bool ReadUVlistAscii(UVlistTarget& target, UVlistLineReader& r) {
  for (Int64 i = 0; i < r.length; ++i) {
    Char c = 0;
    if (!r.file->ReadChar(&c)) return false;
    if (c == '\0') continue;
    if (c != '\n') {
      r.line += c;
      continue;
    }
    if (!r.headerSeen) {
      if (r.line.compare(0, 3, "UV_") != 0) return false;
      r.headerSeen = true;
      r.line.clear();
      continue;
    }
    Vector uv;
    Bool usable = false;
    if (!ParseDataLine(target, r, uv, usable)) return false;
    r.line.clear();
    r.corner[r.k] = uv;
    r.spoilt = r.spoilt || !usable;
    // A group ends when it has as many lines as its last line's polygon needs, or more: three
    // lines of a quad and then a triangle's line make four lines for the triangle.
    if (++r.k >= r.e) {
      if (!r.spoilt) ApplyGroup(target, r.p, r.corner, r.k);
      r.k = 0;
      r.spoilt = false;
    }
  }
  // A file without a header line is no UV list.
  return r.headerSeen;
}

Bool ReadUVlistBinary(UVlistTarget& target, HyperFile& hf) {
  BaseContainer bc;
  if (!hf.ReadContainer(&bc, true)) return false;
  if (bc.GetString(-1).compare(0, 3, "UV_") != 0) return false;
  const Int32 m = bc.GetInt32(-2) / 4;
  const Int32 last = std::min(m, target.count);
  for (Int32 i = 0; i < last; ++i) {
    if (!target.Takes(i)) continue;
    const Bool quad = !target.IsTriangle(i);
    const Vector a = bc.GetVector(4 * i), b = bc.GetVector(4 * i + 1), c = bc.GetVector(4 * i + 2),
                 d = bc.GetVector(4 * i + 3);
    if (!Finite(a) || !Finite(b) || !Finite(c) || (quad && !Finite(d))) continue;
    UVWStruct& s = target.uv[i];
    s.a = a;
    s.b = b;
    s.c = c;
    if (quad) s.d = d;
    ++target.written;
  }
  return true;
}

Bool SaveUVlistAscii() {
  SaveScope save;
  if (!save.Ok()) return false;
  UVToolScope& scope = save.scope;
  const PolygonObject& op = *scope.Object();
  Filename name = DefaultListName(*scope.Document(), op, "uva");
  if (!name.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_SAVE, "Save UVlist")) return true;

  BaseFile* file = BaseFile::Alloc();
  if (!file->Open(name, FILEOPEN_WRITE, FILEDIALOG_NONE, BYTEORDER_INTEL)) {
    BaseFile::Free(file);
    return false;
  }
  String out = HeaderField(op);
  out += '\n';
  Bool ok = file->WriteBytes(out.data(), static_cast<Int64>(out.size()));
  const CPolygon* polys = scope.Polygons();
  const ConstUVWHandle h = scope.Tag()->GetDataAddressR();
  const Int32 n = scope.PolygonCount();
  for (Int32 i = 0; i < n && ok; ++i) {
    UVWStruct s;
    UVWTag::Get(h, i, s);
    out.clear();
    AppendLine(out, i, s.a);
    AppendLine(out, i, s.b);
    AppendLine(out, i, s.c);
    if (polys[i].c != polys[i].d) AppendLine(out, i, s.d);
    ok = file->WriteBytes(out.data(), static_cast<Int64>(out.size()));
  }
  // A save that did not reach the disk says so; the old file then stays as it was.
  ok = file->Close() && ok;
  BaseFile::Free(file);
  return ok;
}

Bool SaveUVlistBinary() {
  SaveScope save;
  if (!save.Ok()) return false;
  UVToolScope& scope = save.scope;
  const PolygonObject& op = *scope.Object();
  const Int32 n = scope.PolygonCount();
  // Entry 4i + 3 must be a 32-bit identifier.
  if (n > (std::numeric_limits<Int32>::max() - 3) / 4) return false;
  Filename name = DefaultListName(*scope.Document(), op, "uvb");
  if (!name.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_SAVE, "Save UVlist")) return true;

  HyperFile* hf = HyperFile::Alloc();
  if (!hf->Open(kUVlistIdent, name, FILEOPEN_WRITE, FILEDIALOG_IGNOREOPEN)) {
    HyperFile::Free(hf);
    return false;
  }
  BaseContainer bc;
  bc.Reserve(4 * n + 2);
  bc.SetString(-1, ListName(op));
  const CPolygon* polys = scope.Polygons();
  const ConstUVWHandle h = scope.Tag()->GetDataAddressR();
  for (Int32 i = 0; i < n; ++i) {
    UVWStruct s;
    UVWTag::Get(h, i, s);
    bc.SetVector(4 * i, s.a);
    bc.SetVector(4 * i + 1, s.b);
    bc.SetVector(4 * i + 2, s.c);
    bc.SetVector(4 * i + 3, polys[i].c == polys[i].d ? s.c : s.d);
  }
  bc.SetInt32(-2, 4 * n);
  Bool ok = hf->WriteContainer(bc);
  ok = hf->Close() && ok;
  HyperFile::Free(hf);
  return ok;
}

Bool LoadUVlist() {
  UVToolScope scope({.withPolygons = true, .uvParts = GETACTIVEUVSET_UVWS});
  if (!scope.Ok()) return false;
  Filename name = DefaultListName(*scope.Document(), *scope.Object(), "uva");
  UVlistTarget target;
  if (name.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_LOAD, "Load UVlist")) {
    target.polys = scope.Polygons();
    target.count = scope.PolygonCount();
    target.uv = scope.UVs();
    if (!scope.SelectedPolygons().empty()) target.selection = scope.PolygonSelection();
    // A failed read leaves the working copy unwritten: the object keeps its UVs.
    if (name.CheckSuffix("uva") && !LoadAscii(target, name)) return false;
    if (name.CheckSuffix("uvb") && !LoadBinary(target, name)) return false;
  }
  // The load is one undo step that gives the UVs from before it back.
  if (target.written > 0) scope.BeginUndo();
  scope.Commit(target.written > 0);
  return true;
}

namespace {

void ListCommand(ToolDialog&, Int32 id) {
  switch (id) {
    case IDC_MENU_SAVE_ASCII:
      SaveUVlistAscii();
      break;
    case IDC_MENU_SAVE_BINARY:
      SaveUVlistBinary();
      break;
    case IDC_MENU_LOAD:
      LoadUVlist();
      break;
    default:
      break;
  }
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV lists",
    .controls = {IDC_MENU_SAVE_ASCII, IDC_MENU_SAVE_BINARY, IDC_MENU_LOAD},
    .command = ListCommand,
});

}  // namespace
