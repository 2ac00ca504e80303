// Writing a loaded OBJ file back statement for statement: every line is copied as it was read,
// except v lines of moved points, vt lines and vt references of UVs the host changed, and o lines
// of renamed objects.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "c4d_basetag.h"
#include "obj_parse.h"
#include "obj_source.h"

namespace pelterra::obj {

const UVWTag* EditedUVWTag(const PolygonObject& op) {
  const UVWTag* first = nullptr;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tuvw) continue;
    if (t->GetBit(BIT_ACTIVE)) return static_cast<const UVWTag*>(t);
    if (!first) first = static_cast<const UVWTag*>(t);
  }
  return first;
}

namespace {

// Word by word, each word rotated and multiplied in: order matters, and one changed bit changes
// about half of the result.
struct Hash {
  UInt64 h = 0x27D4EB2F165667C5ull;
  void Add(UInt64 v) {
    h += v * 0xC2B2AE3D27D4EB4Full;
    h = ((h << 31) | (h >> 33)) * 0x9E3779B185EBCA87ull;
  }
  void Add(Int32 v) { Add(static_cast<UInt64>(static_cast<std::uint32_t>(v))); }
  void Add(const Vector& v) {
    for (double d : {v.x, v.y, v.z}) {
      UInt64 bits = 0;
      std::memcpy(&bits, &d, sizeof bits);
      Add(bits);
    }
  }
};

}  // namespace

UInt64 Fingerprint(const PolygonObject& op) {
  Hash h;
  h.Add(op.GetPointCount());
  const Int32 vc = op.GetPolygonCount();
  h.Add(vc);
  const CPolygon* polys = op.GetPolygonR();
  auto pair = [](Int32 a, Int32 b) {
    return static_cast<UInt64>(static_cast<std::uint32_t>(a)) |
           static_cast<UInt64>(static_cast<std::uint32_t>(b)) << 32;
  };
  for (Int32 p = 0; p < vc; ++p) {
    h.Add(pair(polys[p][0], polys[p][1]));
    h.Add(pair(polys[p][2], polys[p][3]));
  }
  h.Add(static_cast<Int32>(op.GetNgons().size()));
  for (const PolygonObject::Ngon& g : op.GetNgons()) {
    h.Add(static_cast<Int32>(g.polygons.size()));
    for (Int32 p : g.polygons) h.Add(p);
    h.Add(static_cast<Int32>(g.outline.size()));
    for (Int32 p : g.outline) h.Add(p);
  }
  const auto* normals = static_cast<const NormalTag*>(op.GetTag(Tnormal));
  h.Add(normals ? normals->GetDataCount() : -1);
  for (Int32 p = 0; normals && p < normals->GetDataCount(); ++p) {
    const NormalStruct n = normals->Get(p);
    for (Int32 k = 0; k < 4; ++k) h.Add(n[k]);
    h.Add(n.flags);
  }
  return h.h;
}

namespace {

// The host polygon corners that hold corner i of a face of n corners whose polygons start at
// first: one for a triangle or quad (corners after the first run backwards in the host), the
// fan triangles that use it for an n-gon.
template <typename F>
void ForEachCopy(Int64 first, size_t n, size_t i, F&& f) {
  if (n == 3) {
    f(first, i == 0 ? 0 : i == 1 ? 2 : 1);
  } else if (n == 4) {
    f(first, i == 0 ? 0 : static_cast<Int32>(4 - i));
  } else if (i == 0) {
    for (Int64 t = 0; t + 2 < static_cast<Int64>(n); ++t) f(first + t, 0);
  } else {
    const Int64 h = static_cast<Int64>(n - i);  // place in host order, 1 .. n - 1
    if (h <= static_cast<Int64>(n) - 2) f(first + h - 1, 1);
    if (h >= 2) f(first + h - 2, 2);
  }
}

// One host object, as the faces of its block see it.
struct ObjectView {
  const PolygonObject* op = nullptr;
  const CPolygon* polys = nullptr;
  const Vector* points = nullptr;
  Int32 polyCount = 0;
  Matrix mg;
  bool moved = false;
  ConstUVWHandle uv;
  bool hasUV = false;

  void Set(const PolygonObject* o) {
    op = o;
    polys = o->GetPolygonR();
    points = o->GetPointR();
    polyCount = o->GetPolygonCount();
    mg = o->GetMg();
    moved = !(mg == Matrix());
    const UVWTag* tag = EditedUVWTag(*o);
    hasUV = tag != nullptr;
    uv = tag ? tag->GetDataAddressR() : ConstUVWHandle();
  }
  // The file position of the point at host corner (p, k).
  Vector Position(Int64 p, Int32 k) const {
    const Vector& q = points[polys[p][k]];
    const Vector w = moved ? mg * q : q;
    return Vector(w.x, w.y, -w.z);
  }
  Vector UV(Int64 p, Int32 k) const {
    UVWStruct s;
    UVWTag::Get(uv, static_cast<Int32>(p), s);
    return s[k];
  }
};

using Triple = std::array<Float, 3>;
struct TripleHash {
  size_t operator()(const Triple& t) const {
    std::hash<Float> h;
    return h(t[0]) ^ (h(t[1]) * 31) ^ (h(t[2]) * 961);
  }
};

enum : std::uint8_t { kKept = 1, kChanged = 2, kMixed = 4 };

// A new vt line and where it goes: before the statement that starts at `at`.
struct NewUV {
  Triple value;
  size_t at;
  std::string_view eol;
};

std::string_view Eol(std::string_view text, const Statement& s) {
  return text.substr(s.end, s.next - s.end);
}

void AppendTriple(std::string& out, const char* key, const Triple& t, Int32 count) {
  out += key;
  for (Int32 i = 0; i < count; ++i) {
    out += ' ';
    AppendNumber(out, t[static_cast<size_t>(i)]);
  }
}

}  // namespace

void Output::Hand() {
  if (buffer_.empty()) return;
  last_ = buffer_.back();
  handed_ += buffer_.size();
  ok_ = ok_ && write_(buffer_);
  buffer_.clear();
}

void Output::Put(std::string_view s) {
  if (write_ && s.size() >= kPiece) {
    Hand();
    last_ = s.back();
    handed_ += s.size();
    ok_ = ok_ && write_(s);
    return;
  }
  buffer_.append(s);
  Spill();
}

// What the host changed against the file, found before anything is written.
struct SourceWriter::Plan {
  const Source* src = nullptr;
  const std::vector<PolygonObject*>* objects = nullptr;
  std::string dominant = "\n";  // the file's own line end, for lines that have none to copy
  std::vector<Vector> uvs;
  std::vector<Int32> uvCount;
  std::vector<std::uint8_t> uvState;
  std::vector<Vector> uvNew;
  std::vector<std::uint8_t> pointMoved;
  std::vector<Vector> pointNew;
  bool changed = false, renamed = false;
  Int64 fileUVs = 0, filePoints = 0, fileNormals = 0;
  std::vector<NewUV> added;
  std::unordered_map<Triple, Int64, TripleHash> addedIndex;
  ObjectView view;
  Int32 viewBlock = -2;

  // The view of the statement's block; false when the block made no host object.
  bool ViewOf(const Statement& st) {
    if (st.block != viewBlock) {
      viewBlock = st.block;
      const Int32 o = st.block >= 0 && static_cast<size_t>(st.block) < src->blockObject.size()
                          ? src->blockObject[static_cast<size_t>(st.block)]
                          : -1;
      view.op = nullptr;
      if (o >= 0) view.Set((*objects)[static_cast<size_t>(o)]);
    }
    return view.op != nullptr;
  }
  // Corner i of face st: whether the host changed its UV, and to what (in the file's terms).
  bool CornerUV(const Statement& st, size_t i, Vector& now) const {
    const Corner& c = st.corners[i];
    const Vector was = c.vt >= 0 ? UvToHost(uvs[static_cast<size_t>(c.vt)]) : Vector(0.0, 0.0, 0.0);
    bool differs = false;
    ForEachCopy(st.firstPolygon, st.corners.size(), i, [&](Int64 p, Int32 k) {
      if (differs || p >= view.polyCount || p >= view.uv.count) return;
      const Vector uv = view.UV(p, k);
      if (uv == was) return;
      differs = true;
      now = Vector(uv.x, 1.0 - uv.y, uv.z);
    });
    return differs;
  }
  // A vt line that every corner using it left for the same new value is rewritten in place.
  bool InPlace(Int64 t) const { return t >= 0 && uvState[static_cast<size_t>(t)] == kChanged; }
};

SourceWriter::SourceWriter() = default;
SourceWriter::~SourceWriter() = default;

bool SourceWriter::Prepare(const Source& src, const std::vector<PolygonObject*>& objects,
                           Tail& tail, std::string& why) {
  plan_ = std::make_unique<Plan>();
  Plan& pl = *plan_;
  pl.src = &src;
  pl.objects = &objects;
  const std::string_view text = src.text;
  if (objects.size() != src.serials.size()) {
    why = "the objects do not match the file";
    return false;
  }
  {
    const size_t e = text.find_first_of("\r\n");
    if (e != std::string_view::npos)
      pl.dominant = text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n' ? "\r\n"
                    : text[e] == '\r'                                             ? "\r"
                                                                                  : "\n";
  }

  std::vector<Vector> positions;
  Statement s;
  std::string error;
  ObjectView& view = pl.view;
  auto bad = [&](const std::string& what) {
    why = what;
    return false;
  };

  // Pass 1: what changed, per point and per texture coordinate.
  positions.reserve(static_cast<size_t>(src.positions));
  pl.uvs.reserve(static_cast<size_t>(src.texCoords));
  pl.uvCount.reserve(static_cast<size_t>(src.texCoords));
  {
    Walker walker(text, src.start);
    while (walker.Next(s, error)) {
      if (s.kind == Kind::kV) {
        positions.push_back(s.value);
      } else if (s.kind == Kind::kVt) {
        pl.uvs.push_back(s.value);
        pl.uvCount.push_back(s.numbers);
      } else if (s.kind == Kind::kF && pl.ViewOf(s)) {
        if (s.firstPolygon + PolygonsOfFace(s.corners.size()) > view.polyCount)
          return bad("the file has more faces than \"" + view.op->GetName() + "\" has polygons");
        for (size_t i = 0; i < s.corners.size(); ++i) {
          const Corner& c = s.corners[i];
          Vector now;
          Int64 p = 0;
          Int32 k = 0;
          ForEachCopy(s.firstPolygon, s.corners.size(), i, [&](Int64 pp, Int32 kk) {
            p = pp;
            k = kk;
          });
          const Vector at = view.Position(p, k);
          if (!(at == positions[static_cast<size_t>(c.v)])) {
            if (!at.IsFinite()) return bad("a point is not a finite number");
            pl.pointMoved.resize(positions.size(), 0);
            pl.pointNew.resize(positions.size());
            if (!pl.pointMoved[static_cast<size_t>(c.v)])
              pl.pointNew[static_cast<size_t>(c.v)] = at;
            pl.pointMoved[static_cast<size_t>(c.v)] = 1;
            pl.changed = true;
          }
          if (!view.hasUV) continue;
          const bool differs = pl.CornerUV(s, i, now);
          if (differs && !now.IsFinite()) return bad("a UV is not a finite number");
          pl.changed = pl.changed || differs;
          if (c.vt < 0) continue;
          pl.uvState.resize(pl.uvs.size(), 0);
          std::uint8_t& st = pl.uvState[static_cast<size_t>(c.vt)];
          if (!differs) {
            st |= kKept;
          } else if (!(st & kChanged)) {
            st |= kChanged;
            // Only an edited file needs the new values.
            pl.uvNew.resize(pl.uvs.size());
            pl.uvNew[static_cast<size_t>(c.vt)] = now;
          } else if (!(pl.uvNew[static_cast<size_t>(c.vt)] == now)) {
            st |= kMixed;
          }
        }
      }
    }
    if (!error.empty()) return bad("the file's text no longer reads: " + error);
    pl.filePoints = walker.Positions();
    pl.fileUVs = walker.TexCoords();
    pl.fileNormals = walker.Normals();
  }
  positions = decltype(positions)();  // frees the memory, as clear() would not
  pl.uvState.resize(pl.uvs.size(), 0);
  pl.pointMoved.resize(static_cast<size_t>(pl.filePoints), 0);

  for (size_t b = 0; b < src.blockObject.size(); ++b) {
    const Int32 o = src.blockObject[b];
    pl.renamed =
        pl.renamed || (o >= 0 && objects[static_cast<size_t>(o)]->GetName() != src.blockName[b]);
  }
  // Every vt line and every new one is written before the statements that follow.
  auto counts = [&] {
    tail.points = pl.filePoints;
    tail.uvs = pl.fileUVs + static_cast<Int64>(pl.added.size());
    tail.normals = pl.fileNormals;
    tail.eol = pl.dominant;
    return true;
  };
  if (!pl.changed && !pl.renamed) return counts();

  // Pass 2: the new vt lines, each after the last vt line before the first face that uses it
  // (before that face when no vt line precedes it). Equal values share one line.
  // Passes 2 and 3 need no values: pass 1 has them and has checked the text.
  Walker walker(text, src.start);
  walker.SkipValues();
  pl.viewBlock = -2;
  size_t afterLastUV = std::string_view::npos;
  std::string_view lastUVEol;
  while (walker.Next(s, error)) {
    if (s.kind == Kind::kVt) {
      afterLastUV = s.next;
      lastUVEol = Eol(text, s);
    } else if (s.kind == Kind::kF && pl.ViewOf(s) && view.hasUV) {
      for (size_t i = 0; i < s.corners.size(); ++i) {
        Vector now;
        if (!pl.CornerUV(s, i, now) || pl.InPlace(s.corners[i].vt)) continue;
        auto [it, isNew] =
            pl.addedIndex.emplace(Triple{now.x, now.y, now.z}, static_cast<Int64>(pl.added.size()));
        if (!isNew) continue;
        if (afterLastUV != std::string_view::npos)
          pl.added.push_back({it->first, afterLastUV, lastUVEol});
        else
          pl.added.push_back({it->first, s.begin, Eol(text, s)});
      }
    }
  }
  if (!error.empty()) return bad("the file's text no longer reads: " + error);
  return counts();
}

size_t SourceWriter::SizeEstimate() const {
  return plan_ ? plan_->src->text.size() + plan_->added.size() * 32 : 0;
}

void SourceWriter::Write(Output& out) const {
  Plan& pl = *plan_;
  const Source& src = *pl.src;
  const std::vector<PolygonObject*>& objects = *pl.objects;
  const std::string_view text = src.text;
  const std::string& dominant = pl.dominant;
  if (!pl.changed && !pl.renamed) {
    out.Put(text);
    return;
  }

  // Pass 3: the text, with the changed lines replaced and the new vt lines inserted.
  const std::vector<NewUV>& added = pl.added;
  std::string& buf = out.Buffer();
  std::vector<Int64> uvOut(pl.uvs.size(), 0);  // 1-based output index of each vt line
  std::vector<Int64> addedOut(added.size(), 0);
  Int64 outUVs = 0;
  size_t copied = 0;  // text before this is in out
  size_t nextAdded = 0;
  auto flush = [&](size_t to) {
    if (to > copied) out.Put(text.substr(copied, to - copied));
    copied = std::max(copied, to);
  };
  auto replaceLine = [&](const Statement& st, const std::string& content) {
    flush(st.begin);
    buf += content;
    buf.append(st.next > st.end ? Eol(text, st) : std::string_view());
    copied = st.next;
    out.Spill();
  };
  pl.viewBlock = -2;
  const ObjectView& view = pl.view;
  Walker walker(text, src.start);
  walker.SkipValues();
  Statement s;
  std::string error;
  std::string line;
  while (walker.Next(s, error)) {
    // New vt lines that go before this statement.
    if (nextAdded < added.size() && added[nextAdded].at <= s.begin) {
      flush(s.begin);
      if (copied > src.start && out.Back() != '\n' && out.Back() != '\r') buf += dominant;
      for (; nextAdded < added.size() && added[nextAdded].at <= s.begin; ++nextAdded) {
        const NewUV& a = added[nextAdded];
        AppendTriple(buf, "vt", a.value, a.value[2] != 0.0 ? 3 : 2);
        buf.append(a.eol.empty() ? std::string_view(dominant) : a.eol);
        addedOut[nextAdded] = ++outUVs;
      }
      out.Spill();
    }
    switch (s.kind) {
      case Kind::kV:
        if (pl.pointMoved[static_cast<size_t>(s.index)]) {
          const Vector& p = pl.pointNew[static_cast<size_t>(s.index)];
          line.clear();
          AppendTriple(line, "v", {p.x, p.y, p.z}, 3);
          for (size_t w = 4; w < s.words.size(); ++w) line.append(" ").append(s.words[w]);
          replaceLine(s, line);
        }
        break;
      case Kind::kVt: {
        const Int64 t = s.index;
        uvOut[static_cast<size_t>(t)] = ++outUVs;
        if (pl.InPlace(t)) {
          const Vector& v = pl.uvNew[static_cast<size_t>(t)];
          line.clear();
          AppendTriple(line, "vt", Triple{v.x, v.y, v.z},
                       std::max(pl.uvCount[static_cast<size_t>(t)], v.z != 0.0 ? 3 : 2));
          replaceLine(s, line);
        }
        break;
      }
      case Kind::kO: {
        const Int32 o = static_cast<size_t>(s.block) < src.blockObject.size()
                            ? src.blockObject[static_cast<size_t>(s.block)]
                            : -1;
        if (o < 0) break;
        std::string name = objects[static_cast<size_t>(o)]->GetName();
        if (name == src.blockName[static_cast<size_t>(s.block)]) break;
        std::replace(name.begin(), name.end(), '\n', ' ');
        std::replace(name.begin(), name.end(), '\r', ' ');
        replaceLine(s, "o " + name);
        break;
      }
      case Kind::kF:
      case Kind::kL: {
        const bool hostUV = s.kind == Kind::kF && pl.ViewOf(s) && view.hasUV;
        bool differs = false;
        line.clear();
        // Up to the first corner, then corner by corner with what stands between them.
        line.append(s.content.substr(0, static_cast<size_t>(s.words[1].data() - s.content.data())));
        for (size_t i = 0; i < s.corners.size(); ++i) {
          const Corner& c = s.corners[i];
          Int64 ref = c.vt >= 0 ? uvOut[static_cast<size_t>(c.vt)] : 0;  // 1-based, 0: none
          Vector now;
          if (hostUV && pl.CornerUV(s, i, now) && !pl.InPlace(c.vt))
            ref = addedOut[static_cast<size_t>(pl.addedIndex.at(Triple{now.x, now.y, now.z}))];
          const std::string_view w = c.text;
          const size_t s1 = w.find('/');
          const size_t s2 = s1 == std::string_view::npos ? s1 : w.find('/', s1 + 1);
          const std::string_view vPart = w.substr(0, s1);
          const std::string_view nPart =
              s2 == std::string_view::npos ? std::string_view() : w.substr(s2 + 1);
          const bool relative = c.vt >= 0 ? c.vtRelative : c.relative;
          const Int64 number = relative ? ref - outUVs - 1 : ref;
          const Int64 was = c.vt < 0 ? 0 : c.vtRelative ? c.vt - walker.TexCoords() : c.vt + 1;
          if (ref == 0 ? c.vt < 0 : c.vt >= 0 && number == was) {
            line.append(w);
          } else {
            differs = true;
            line.append(vPart);
            line.append("/");
            if (ref != 0) line.append(std::to_string(number));
            if (!nPart.empty()) line.append("/").append(nPart);
          }
          const size_t end = static_cast<size_t>(w.data() + w.size() - s.content.data());
          const size_t next = i + 2 < s.words.size()
                                  ? static_cast<size_t>(s.words[i + 2].data() - s.content.data())
                                  : s.content.size();
          line.append(s.content.substr(end, next - end));
        }
        if (differs) replaceLine(s, line);
        break;
      }
      default:
        break;
    }
  }
  // The text read in Prepare; it reads the same here.
  flush(text.size());
}

}  // namespace pelterra::obj
