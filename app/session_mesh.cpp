// Session verbs for geometry, attributes and the view: move, point, add polygon, uv, set and
// draw, with their print and expect forms.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <sstream>

#include "c4d_baseobject.h"
#include "c4d_painter.h"
#include "lib_modeling.h"
#include "runtime/attributes.h"
#include "runtime/dialog_view.h"
#include "runtime/scene.h"
#include "runtime/view_image.h"
#include "session.h"
#include "words.h"

namespace pelterra {

namespace {

std::string Num(Float v) {
  return hostrt::FormatNumber(v);
}

std::string VecText(const Vector& v) {
  return "(" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + ")";
}

Int32 Corner(const std::string& s) {
  if (s.size() == 1 && s[0] >= 'a' && s[0] <= 'd') return s[0] - 'a';
  Int32 v = -1;
  return ToInt(s, v) && v >= 0 && v < 4 ? v : -1;
}

// Objects depth first in document order, as `print objects` lists them.
std::vector<BaseObject*> ObjectsInOrder(BaseDocument* doc) {
  std::vector<BaseObject*> out;
  std::function<void(BaseObject*)> walk = [&](BaseObject* op) {
    for (; op; op = op->GetNext()) {
      out.push_back(op);
      walk(op->GetDown());
    }
  };
  if (doc) walk(doc->GetFirstObject());
  return out;
}

// The node a line names: object N as `print objects` lists them, or tag N of the active object
// as `print tags` lists them.
BaseList2D* NodeOf(BaseDocument* doc, const std::string& kind, const std::string& nr,
                   std::string& why) {
  Int32 index = 0;
  ToInt(nr, index);
  if (kind == "object") {
    const std::vector<BaseObject*> objects = ObjectsInOrder(doc);
    if (index >= 0 && static_cast<size_t>(index) < objects.size())
      return objects[static_cast<size_t>(index)];
    why = "no object " + nr + " (print objects lists them from 0)";
    return nullptr;
  }
  BaseObject* op = doc->GetActiveObject();
  BaseTag* t = op ? op->GetFirstTag() : nullptr;
  for (Int32 k = 0; t && k < index; ++k) t = t->GetNext();
  if (!t)
    why = op ? "the active object has no tag " + nr + " (print tags lists them from 0)"
             : std::string("no active object");
  return t;
}

// The points that the selected elements of kind move.
std::vector<std::uint8_t> PointsOf(PolygonObject& op, const std::string& kind) {
  const Int32 pc = op.GetPointCount(), n = op.GetPolygonCount();
  std::vector<std::uint8_t> on(static_cast<size_t>(pc), 0);
  auto mark = [&](Int32 i) {
    if (i >= 0 && i < pc) on[static_cast<size_t>(i)] = 1;
  };
  auto each = [](const BaseSelect* sel, Int32 limit, auto&& f) {
    Int32 a = 0, b = 0;
    for (Int32 seg = 0; sel->GetRange(seg, limit, &a, &b); ++seg)
      for (Int32 i = std::max(a, 0); i <= b; ++i) f(i);
  };
  const CPolygon* polys = op.GetPolygonR();
  if (kind == "points") {
    each(op.GetPointS(), pc, mark);
  } else if (kind == "polygons") {
    each(op.GetPolygonS(), n, [&](Int32 p) {
      for (Int32 k = 0; k < 4; ++k) mark(polys[p][k]);
    });
  } else {
    // Edge 4 × polygon + side; a triangle has no side 2.
    each(op.GetEdgeS(), static_cast<Int32>(std::min<Int64>(4 * Int64(n), 0x7fffffff)),
         [&](Int32 e) {
           const CPolygon& c = polys[e / 4];
           const Int32 side = e % 4;
           if (side == 2 && c.IsTriangle()) return;
           mark(c[side]);
           mark(c[(side + 1) % 4]);
         });
  }
  return on;
}

// A world-space displacement in op's space: the inverse of its global matrix's axes applied.
bool ToObjectSpace(const BaseObject& op, const Vector& d, Vector& out) {
  const Matrix m = op.GetMg();
  const Float det = Dot(m.v1, Cross(m.v2, m.v3));
  if (det == 0.0 || !std::isfinite(det)) return false;
  const Vector r1 = Cross(m.v2, m.v3) / det, r2 = Cross(m.v3, m.v1) / det,
               r3 = Cross(m.v1, m.v2) / det;
  out = Vector(Dot(r1, d), Dot(r2, d), Dot(r3, d));
  return out.IsFinite();
}

}  // namespace

std::string ObjectTypeText(Int32 type) {
  switch (type) {
    case Opolygon:
      return "polygon object (5100)";
    case Oplane:
      return "plane (5168)";
    case Onull:
      return "null (5140)";
    case Obase:
      return "object (5155)";
    default:
      return "type " + std::to_string(type);
  }
}

std::string NodeBitsText(const BaseList2D& node) {
  std::string bits;
  for (Int32 bit : {NBIT_NOSELECT_VIEW, NBIT_LOCKED})
    if (node.GetNBit(bit)) bits += (bits.empty() ? "" : ", ") + std::to_string(bit);
  return bits.empty() ? bits : "; node bits " + bits;
}

std::string Session::CheckMeshWords(const std::vector<std::string>& w, size_t first) const {
  const std::string& verb = w[first];
  const size_t n = w.size() - first - 1;
  auto arg = [&](size_t i) -> const std::string& { return w[first + i]; };
  auto numbers = [&](size_t from, size_t to) -> std::string {
    for (size_t i = from; i <= to; ++i) {
      Float v = 0;
      if (!ToFloat(arg(i), v)) return "\"" + arg(i) + "\" is not a number";
    }
    return "";
  };
  auto index = [&](size_t i, const char* what) -> std::string {
    Int32 v = 0;
    if (!ToInt(arg(i), v) || v < 0)
      return std::string(what) + " \"" + arg(i) + "\" is not an index (a whole number from 0)";
    return "";
  };
  auto node = [&](size_t i) -> std::string {
    if (arg(i) != "object" && arg(i) != "tag")
      return "expected object or tag, got \"" + arg(i) + "\"";
    return index(i + 1, arg(i).c_str());
  };
  std::string e;

  if (verb == "move") {
    const char* form = "move points|polygons|edges DX DY DZ";
    if (n != 4) return form;
    if (arg(1) != "points" && arg(1) != "polygons" && arg(1) != "edges") return form;
    return numbers(2, 4);
  }
  if (verb == "point") {
    if (n != 4) return "point I X Y Z";
    return !(e = index(1, "point")).empty() ? e : numbers(2, 4);
  }
  if (verb == "add") {
    if ((n != 4 && n != 5) || arg(1) != "polygon") return "add polygon A B C [D]";
    for (size_t i = 2; i <= n; ++i)
      if (!(e = index(i, "point")).empty()) return e;
    return "";
  }
  if (verb == "uv") {
    if (n != 4 && n != 5) return "uv POLY CORNER U V [W]";
    if (!(e = index(1, "polygon")).empty()) return e;
    if (Corner(arg(2)) < 0) return "corner \"" + arg(2) + "\" is not a, b, c, d or 0-3";
    return numbers(3, n);
  }
  if (verb == "set") {
    if (n != 4) return "set object|tag N ID VALUE";
    if (!(e = node(1)).empty()) return e;
    return index(3, "parameter");
  }
  if (verb == "draw") {
    if (n == 0) return "";
    if (n != 1 && n != 3) return "draw [FILE.png [size N]]";
    std::string suffix = arg(1).size() >= 4 ? arg(1).substr(arg(1).size() - 4) : "";
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), ::tolower);
    if (suffix != ".png")
      return "a view picture is a PNG: \"" + arg(1) + "\" needs the suffix .png";
    if (n == 3) {
      Int32 size = 0;
      if (arg(2) != "size" || !ToInt(arg(3), size)) return "draw FILE.png [size N]";
      if (size < 16 || size > 8192) return "size must be 16 to 8192 pixels";
    }
    return "";
  }
  if (verb == "print") {
    if (arg(1) == "attributes") return n == 3 ? node(2) : "print attributes object|tag N";
    return n == 1 ? "" : "\"print " + arg(1) + "\" takes nothing more";
  }
  if (verb == "expect") {
    if (arg(1) == "point") {
      const char* form = "expect point I X Y Z [within TOLERANCE]";
      if (n != 5 && n != 7) return form;
      if (!(e = index(2, "point")).empty() || !(e = numbers(3, 5)).empty()) return e;
      if (n == 7 && arg(6) != "within") return form;
      return n == 7 ? numbers(7, 7) : "";
    }
    if (arg(1) == "attribute") {
      if (n != 5) return "expect attribute object|tag N ID VALUE";
      return !(e = node(2)).empty() ? e : index(4, "parameter");
    }
    if (n != 2) return "expect lines N";
    return index(2, "count");
  }
  return "unknown action \"" + verb + "\"";
}

bool Session::Draw(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  hostrt::UpdateCaches(*doc);
  BaseDraw view;
  const Int32 drew = hostrt::DrawViews(*doc, view);
  lines_ = view.Lines();
  drawn_ = true;
  out_ << "drew: " << drew << " tag(s), " << view.Lines().size() << " line(s)\n";
  if (w.size() < 2) return true;
  Int32 size = 512;
  if (w.size() == 4) ToInt(w[3], size);
  const std::string path = OutputPath(w[1]);
#ifdef PELTERRA_NO_CAIRO
  out_ << "note: " << path
       << " is not drawn: view pictures are not available in this build (it is built without "
          "cairo)\n";
  return true;
#else
  std::string why;
  if (!hostrt::WriteViewImage(*doc, view, path, size, why)) return Fail(why);
  written_.push_back(path);
  out_ << "wrote " << path << "\n";
  return true;
#endif
}

bool Session::MeshAction(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  const std::string& verb = w[0];
  if (verb == "set") {
    // set object|tag N ID VALUE
    Int32 id = 0;
    ToInt(w[3], id);
    std::string why;
    String warning;
    BaseList2D* node = NodeOf(doc, w[1], w[2], why);
    if (!node) return Fail(why);
    String error;
    if (!hostrt::SetAttribute(doc, node, id, w[4], error, &warning)) return Fail(error.str());
    std::vector<hostrt::AttributeRow> rows;
    hostrt::AttributeView(node, rows, error);
    for (const hostrt::AttributeRow& r : rows)
      if (r.id == id)
        out_ << w[1] << " " << w[2] << " " << id << ": set to " << hostrt::AttributeText(r, doc)
             << "\n";
    return warning.empty() || Warn(warning);
  }

  BaseObject* obj = doc->GetActiveObject();
  if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
  auto* op = static_cast<PolygonObject*>(obj);

  if (verb == "move") {
    Vector d;
    ToFloat(w[2], d.x);
    ToFloat(w[3], d.y);
    ToFloat(w[4], d.z);
    Vector local;
    if (!ToObjectSpace(*op, d, local))
      return Fail("the object's matrix cannot be inverted, so it cannot be dragged");
    const std::vector<std::uint8_t> on = PointsOf(*op, w[1]);
    const Int64 count = std::count(on.begin(), on.end(), 1);
    if (count == 0) return Warn("move: no " + w[1] + " of " + op->GetName() + " are selected");
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE, op);
    Vector* pts = op->GetPointW();
    for (size_t i = 0; i < on.size(); ++i)
      if (on[i]) pts[i] += local;
    doc->EndUndo();
    op->Message(MSG_UPDATE);
    out_ << "moved " << count << " point(s) of " << op->GetName() << "\n";
    return true;
  }
  if (verb == "point") {
    Int32 i = 0;
    ToInt(w[1], i);
    if (i >= op->GetPointCount())
      return Fail("no point " + w[1] + ": " + op->GetName() + " has " +
                  std::to_string(op->GetPointCount()) + " point(s)");
    Vector p;
    ToFloat(w[2], p.x);
    ToFloat(w[3], p.y);
    ToFloat(w[4], p.z);
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE, op);
    op->GetPointW()[i] = p;
    doc->EndUndo();
    op->Message(MSG_UPDATE);
    return true;
  }
  if (verb == "add") {
    Int32 pts[4] = {0, 0, 0, 0};
    const Int32 cnt = static_cast<Int32>(w.size()) - 2;
    for (Int32 k = 0; k < cnt; ++k) {
      ToInt(w[static_cast<size_t>(k) + 2], pts[k]);
      if (pts[k] >= op->GetPointCount())
        return Fail("no point " + std::to_string(pts[k]) + ": " + op->GetName() + " has " +
                    std::to_string(op->GetPointCount()) + " point(s)");
    }
    Modeling* kernel = Modeling::Alloc();
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE, op);
    const bool ok = kernel && kernel->InitObject(op) &&
                    kernel->CreateNgon(op, pts, cnt, MODELING_SETNGON_FLAG_FIXEDQUADS) != NOTOK &&
                    kernel->Commit(op, MODELING_COMMIT_UPDATE);
    doc->EndUndo();
    Modeling::Free(kernel);
    if (!ok) return Fail("the polygon could not be added");
    out_ << "added polygon " << op->GetPolygonCount() - 1 << " to " << op->GetName() << "\n";
    return true;
  }
  // uv POLY CORNER U V [W]
  UVWTag* tag = GetEditedUVWTag(op);
  if (!tag) return Fail("the active object has no UVW tag");
  Int32 poly = 0;
  ToInt(w[1], poly);
  if (poly >= op->GetPolygonCount() || poly >= tag->GetDataCount())
    return Fail("no polygon " + w[1] + " with UVs: " + op->GetName() + " has " +
                std::to_string(std::min(op->GetPolygonCount(), tag->GetDataCount())));
  UVWStruct r = tag->GetSlow(poly);
  Vector& corner = r[Corner(w[2])];
  ToFloat(w[3], corner.x);
  ToFloat(w[4], corner.y);
  if (w.size() == 6) ToFloat(w[5], corner.z);
  doc->StartUndo();
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  tag->SetSlow(poly, r);
  doc->EndUndo();
  tag->Message(MSG_UPDATE);
  op->Message(MSG_UPDATE);
  return true;
}

bool Session::PrintMesh(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  if (w[1] == "lines") {
    if (!drawn_) return Fail("nothing drawn yet (use \"draw\" first)");
    for (size_t i = 0; i < lines_.size(); ++i) {
      const BaseDraw::Line& l = lines_[i];
      out_ << "line " << i << ": " << VecText(l.a) << " to " << VecText(l.b) << ", colour "
           << VecText(l.color) << ", width " << Num(l.width) << "\n";
    }
    return true;
  }
  if (w[1] == "attributes") {
    std::string why;
    BaseList2D* node = NodeOf(doc, w[2], w[3], why);
    if (!node) return Fail(why);
    std::vector<hostrt::AttributeRow> rows;
    String error;
    if (!hostrt::AttributeView(node, rows, error)) return Fail(error.str());
    out_ << "attributes of " << w[2] << " " << w[3] << " (" << node->GetName() << "):\n";
    for (const hostrt::AttributeRow& r : rows)
      out_ << "  " << r.id << " " << r.ident << " \"" << r.label
           << "\": " << hostrt::AttributeText(r, doc) << (r.enabled ? "" : " (disabled)") << "\n";
    return true;
  }
  BaseObject* obj = doc->GetActiveObject();
  if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
  auto* op = static_cast<PolygonObject*>(obj);
  for (Int32 i = 0; i < op->GetPointCount(); ++i)
    out_ << "point " << i << ": " << VecText(op->GetPointR()[i]) << "\n";
  return true;
}

bool Session::ExpectMesh(const std::vector<std::string>& w) {
  BaseDocument* doc = host_.ActiveDocument();
  auto mismatch = [&](const std::string& expected, const std::string& got) {
    return Fail("expected " + expected + ", got " + got);
  };
  if (w[1] == "lines") {
    Int32 n = 0;
    ToInt(w[2], n);
    if (!drawn_) return Fail("nothing drawn yet (use \"draw\" first)");
    if (static_cast<size_t>(n) != lines_.size())
      return mismatch(w[2] + " line(s)", std::to_string(lines_.size()));
    return true;
  }
  if (w[1] == "point") {
    BaseObject* obj = doc->GetActiveObject();
    if (!obj || obj->GetType() != Opolygon) return Fail("no active polygon object");
    auto* op = static_cast<PolygonObject*>(obj);
    Int32 i = 0;
    Vector want;
    Float tol = 1e-6;
    ToInt(w[2], i);
    ToFloat(w[3], want.x);
    ToFloat(w[4], want.y);
    ToFloat(w[5], want.z);
    if (w.size() == 8 && (!ToFloat(w[7], tol) || tol < 0))
      return Fail("bad tolerance \"" + w[7] + "\"");
    if (i >= op->GetPointCount()) return Fail("no point " + w[2]);
    const Vector got = op->GetPointR()[i];
    if (!(std::fabs(got.x - want.x) <= tol && std::fabs(got.y - want.y) <= tol &&
          std::fabs(got.z - want.z) <= tol))
      return mismatch("point " + w[2] + " = " + VecText(want) + " within " + Num(tol),
                      VecText(got));
    return true;
  }
  // expect attribute object|tag N ID VALUE
  Int32 id = 0;
  ToInt(w[4], id);
  std::string why;
  BaseList2D* node = NodeOf(doc, w[2], w[3], why);
  if (!node) return Fail(why);
  std::vector<hostrt::AttributeRow> rows;
  String error;
  if (!hostrt::AttributeView(node, rows, error)) return Fail(error.str());
  auto row = std::find_if(rows.begin(), rows.end(),
                          [&](const hostrt::AttributeRow& r) { return r.id == id; });
  if (row == rows.end()) return Fail("parameter " + w[4] + " is not shown in the attribute view");
  const std::string got = hostrt::AttributeText(*row, doc);
  const std::string& want = w[5];
  bool same = got == want || got == "\"" + want + "\"";
  Float a = 0, b = 0;
  if (!same && (row->type == DTYPE_REAL || row->type == DTYPE_LONG) && ToFloat(want, a) &&
      ToFloat(got, b))
    same = std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
  if (!same && row->type == DTYPE_BOOL)
    same = (want == "1" || want == "true") ? got == "on"
                                           : (want == "0" || want == "false") && got == "off";
  if (!same && row->type == DTYPE_VECTOR) {
    // "x,y,z" or "(x, y, z)", compared as numbers.
    std::string t = want;
    for (char& ch : t)
      if (ch == ',' || ch == '(' || ch == ')') ch = ' ';
    std::istringstream in(t);
    Float c[3];
    std::string rest;
    if (in >> c[0] >> c[1] >> c[2] && !(in >> rest)) {
      const Vector v = row->value.GetVector();
      const Vector e(c[0], c[1], c[2]);
      same = (v - e).GetLength() <= 1e-9 * std::max(1.0, e.GetLength());
    }
  }
  if (!same) return mismatch("parameter " + w[4] + " = " + want, got);
  return true;
}

}  // namespace pelterra
