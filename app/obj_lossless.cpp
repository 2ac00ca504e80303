// Writing a loaded OBJ file back statement for statement: every line is copied as it was read,
// except v lines of moved points, vt lines and vt references of UVs the host changed, and o lines
// of renamed objects.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
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

UInt64 PointPrint(const PolygonObject& op) {
  Hash h;
  const Int32 n = op.GetPointCount();
  h.Add(n);
  const Vector* points = op.GetPointR();
  for (Int32 i = 0; i < n; ++i) h.Add(points[i]);
  const Matrix mg = op.GetMg();
  for (const Vector& v : {mg.off, mg.v1, mg.v2, mg.v3}) h.Add(v);
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
  bool pointsKept = false;  // the points and matrix it was loaded with: no position to compare
  Int64 firstCorner = 0;    // in the numbering of HostCorners

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
  // Within the tag only.
  const Vector& UV(Int64 p, Int32 k) const { return uv.data[p][k]; }
};

using Triple = std::array<Float, 3>;
struct TripleHash {
  size_t operator()(const Triple& t) const {
    std::hash<Float> h;
    return h(t[0]) ^ (h(t[1]) * 31) ^ (h(t[2]) * 961);
  }
};

enum : std::uint8_t { kKept = 1, kChanged = 2, kMixed = 4 };

// A host UV in the file's terms.
Vector UvToFile(const Vector& uv) {
  return Vector(uv.x, 1.0 - uv.y, uv.z);
}

// The UV corners of all host objects in one numbering: corner k of polygon p of object o is
// first[o] + 4p + k. A vt line's first new value is kept as the corner that holds it, a third of
// the value's room.
struct HostCorners {
  std::vector<Int64> first;        // per object, then the total
  std::vector<ConstUVWHandle> uv;  // per object
  std::vector<std::uint8_t> pointsKept;

  HostCorners(const Source& src, const std::vector<PolygonObject*>& objects) {
    Int64 n = 0;
    for (size_t o = 0; o < objects.size(); ++o) {
      const PolygonObject& op = *objects[o];
      first.push_back(n);
      n += 4 * Int64{op.GetPolygonCount()};
      const UVWTag* tag = EditedUVWTag(op);
      uv.push_back(tag ? tag->GetDataAddressR() : ConstUVWHandle());
      pointsKept.push_back(o < src.pointPrints.size() && PointPrint(op) == src.pointPrints[o]);
    }
    first.push_back(n);
  }
  // Whether some object's positions must be compared with the file's.
  bool PositionsNeeded() const {
    return std::find(pointsKept.begin(), pointsKept.end(), 0) != pointsKept.end();
  }
  // The UV at corner c, in the file's terms.
  Vector At(Int64 c) const {
    const size_t o =
        static_cast<size_t>(std::upper_bound(first.begin(), first.end(), c) - first.begin()) - 1;
    const Int64 i = c - first[o];
    return UvToFile(uv[o].data[i >> 2][static_cast<Int32>(i & 3)]);
  }
};

// What the host changed against the file, per point and per texture coordinate, as the faces
// find it in file order.
struct Changes {
  std::vector<std::uint8_t> uvState;  // kKept, kChanged, kMixed of the corners that use it
  std::vector<Int64> uvFirst;         // the corner of the first new value, once kChanged
  std::vector<std::uint8_t> pointMoved;
  std::vector<Vector> pointNew;  // the first new position, once moved
  bool changed = false;
  bool uvWithoutLine = false;  // a corner without a vt line has a UV now

  void Move(Int64 v, size_t points, const Vector& at) {
    const size_t i = static_cast<size_t>(v);
    if (pointMoved.size() < points) {
      pointMoved.resize(points, 0);
      pointNew.resize(points);
    }
    if (!pointMoved[i]) pointNew[i] = at;
    pointMoved[i] = 1;
    changed = true;
  }
  // Texture coordinate t is kept, or left for now at host corner c.
  void UV(Int64 t, size_t uvs, bool differs, const Vector& now, Int64 c, const HostCorners& host) {
    const size_t i = static_cast<size_t>(t);
    if (uvState.size() <= i) uvState.resize(uvs, 0);
    std::uint8_t& st = uvState[i];
    if (!differs) {
      st |= kKept;
    } else if (!(st & kChanged)) {
      st |= kChanged;
      // Only an edited file needs the new values.
      if (uvFirst.size() <= i) uvFirst.resize(uvs);
      uvFirst[i] = c;
    } else if (!(host.At(uvFirst[i]) == now)) {
      st |= kMixed;
    }
  }
  // Adds what the faces after ours found: our first values win, states combine as if one walk
  // had found both.
  void Append(const Changes& later, const HostCorners& host) {
    changed = changed || later.changed;
    uvWithoutLine = uvWithoutLine || later.uvWithoutLine;
    if (pointMoved.size() < later.pointMoved.size()) {
      pointMoved.resize(later.pointMoved.size(), 0);
      pointNew.resize(later.pointMoved.size());
    }
    for (size_t i = 0; i < later.pointMoved.size(); ++i)
      if (later.pointMoved[i] && !pointMoved[i]) {
        pointMoved[i] = 1;
        pointNew[i] = later.pointNew[i];
      }
    if (uvState.size() < later.uvState.size()) uvState.resize(later.uvState.size(), 0);
    for (size_t i = 0; i < later.uvState.size(); ++i) {
      const std::uint8_t l = later.uvState[i];
      if (!l) continue;
      std::uint8_t& st = uvState[i];
      if (!(l & kChanged)) {
        st |= l;
      } else if (!(st & kChanged)) {
        st |= l;
        if (uvFirst.size() <= i) uvFirst.resize(uvState.size());
        uvFirst[i] = later.uvFirst[i];
      } else {
        st |= l;
        if (!(host.At(uvFirst[i]) == host.At(later.uvFirst[i]))) st |= kMixed;
      }
    }
  }
};

// The texture coordinates of a file: u and v, and w only from the first line whose w is not
// +0 on (most files have none, and then save a third of the room).
class UVList {
 public:
  size_t size() const { return uv_.size(); }
  void reserve(size_t n) { uv_.reserve(n); }
  Vector operator[](size_t i) const { return Vector(uv_[i][0], uv_[i][1], withW_ ? w_[i] : 0.0); }
  void push_back(const Vector& t) {
    if (!withW_ && (t.z != 0.0 || std::signbit(t.z))) KeepW(uv_.capacity());
    uv_.push_back({t.x, t.y});
    if (withW_) w_.push_back(t.z);
  }
  // Moves the lines of later after these.
  void Append(UVList& later) {
    if (later.withW_ && !withW_) KeepW(uv_.size() + later.size());
    if (withW_) {
      if (!later.withW_) later.w_.resize(later.size(), 0.0);
      w_.insert(w_.end(), later.w_.begin(), later.w_.end());
    }
    uv_.insert(uv_.end(), later.uv_.begin(), later.uv_.end());
    later = UVList();
  }

 private:
  // From now on every w is kept; the lines so far have +0.
  void KeepW(size_t room) {
    withW_ = true;
    w_.reserve(room);
    w_.resize(uv_.size(), 0.0);
  }
  std::vector<std::array<double, 2>> uv_;
  std::vector<double> w_;  // only withW_
  bool withW_ = false;     // false while every w is +0
};

// The faces of a file against the host objects made from it.
struct Comparer {
  const Source* src = nullptr;
  const std::vector<PolygonObject*>* objects = nullptr;
  const HostCorners* host = nullptr;
  ObjectView view;
  Int32 viewBlock = -2;

  // The view of a block; false when the block made no host object.
  bool ViewOf(Int32 block) {
    if (block != viewBlock) {
      viewBlock = block;
      const Int32 o = block >= 0 && static_cast<size_t>(block) < src->blockObject.size()
                          ? src->blockObject[static_cast<size_t>(block)]
                          : -1;
      view.op = nullptr;
      if (o >= 0) {
        view.Set((*objects)[static_cast<size_t>(o)]);
        view.pointsKept = host->pointsKept[static_cast<size_t>(o)];
        view.firstCorner = host->first[static_cast<size_t>(o)];
      }
    }
    return view.op != nullptr;
  }
  // Corner i of a face of n corners whose polygons start at first, with file texture
  // coordinate vt (-1: none): whether the host changed its UV, and to what (in the file's
  // terms) at which host corner (in the numbering of HostCorners).
  bool CornerUV(Int64 first, size_t n, size_t i, Int64 vt, const UVList& uvs, Vector& now,
                Int64& at) const {
    const Vector was = vt >= 0 ? UvToHost(uvs[static_cast<size_t>(vt)]) : Vector(0.0, 0.0, 0.0);
    bool differs = false;
    ForEachCopy(first, n, i, [&](Int64 p, Int32 k) {
      if (differs || p >= view.polyCount || p >= view.uv.count) return;
      const Vector& uv = view.UV(p, k);
      if (uv == was) return;
      differs = true;
      now = UvToFile(uv);
      at = view.firstCorner + 4 * p + k;
    });
    return differs;
  }
  // Compares the n corners of one face of block, whose polygons start at first, with the host;
  // corner(i) gives corner i's file position and texture coordinate (-1: none). False with why
  // when the host holds what cannot be written.
  template <typename CornerAt>
  bool Face(Int32 block, Int64 first, size_t n, CornerAt&& corner,
            const std::vector<Vector>& positions, const UVList& uvs, Changes& ch,
            std::string& why) {
    if (!ViewOf(block)) return true;
    if (first + PolygonsOfFace(n) > view.polyCount) {
      why = "the file has more faces than \"" + view.op->GetName() + "\" has polygons";
      return false;
    }
    for (size_t i = 0; i < n; ++i) {
      const auto [v, vt] = corner(i);
      if (!view.pointsKept) {
        Int64 p = 0;
        Int32 k = 0;
        ForEachCopy(first, n, i, [&](Int64 pp, Int32 kk) {
          p = pp;
          k = kk;
        });
        const Vector at = view.Position(p, k);
        if (!(at == positions[static_cast<size_t>(v)])) {
          if (!at.IsFinite()) {
            why = "a point is not a finite number";
            return false;
          }
          ch.Move(v, positions.size(), at);
        }
      }
      if (!view.hasUV) continue;
      Vector now;
      Int64 c = 0;
      const bool differs = CornerUV(first, n, i, vt, uvs, now, c);
      if (differs && !now.IsFinite()) {
        why = "a UV is not a finite number";
        return false;
      }
      ch.changed = ch.changed || differs;
      if (vt >= 0)
        ch.UV(vt, uvs.size(), differs, now, c, *host);
      else
        ch.uvWithoutLine = ch.uvWithoutLine || differs;
    }
    return true;
  }
};

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

// The faces of a second half with fewer corners than twice this are compared on one thread.
constexpr size_t kTwoThreadCorners = size_t{1} << 16;

// The file's values as pass 1 reads them; the positions only when some object's points may have
// changed.
struct Values {
  bool withPositions = true;
  std::vector<Vector> positions;
  UVList uvs;
  std::vector<std::uint8_t> uvCount;  // numbers on each vt line
};

// Where a walk of the first part ended: what the second part counts on from.
struct PartEnd {
  Int64 v = 0, vt = 0, vn = 0;
  Int32 block = -1;
  Int64 polygons = 0;  // of the block so far
};

// Pass 1 over [start, end): reads the values and compares each face as it comes, as a single
// walk does. False with why at the first problem.
bool WalkAndCompare(std::string_view text, size_t start, size_t end, Comparer& cmp, Values& val,
                    Changes& ch, PartEnd& at, std::string& why) {
  Walker walker(text, start, end, WalkState{}, false);
  if (!val.withPositions) walker.SkipPositions();
  Statement s;
  std::string error;
  while (walker.Next(s, error)) {
    switch (s.kind) {
      case Kind::kV:
        if (val.withPositions) val.positions.push_back(s.value);
        break;
      case Kind::kVt:
        val.uvs.push_back(s.value);
        val.uvCount.push_back(static_cast<std::uint8_t>(s.numbers));
        break;
      case Kind::kF: {
        const std::vector<Corner>& cs = s.corners;
        auto corner = [&cs](size_t i) { return std::pair<Int64, Int64>(cs[i].v, cs[i].vt); };
        if (!cmp.Face(s.block, s.firstPolygon, cs.size(), corner, val.positions, val.uvs, ch, why))
          return false;
        at.polygons = s.firstPolygon + PolygonsOfFace(cs.size());
        break;
      }
      case Kind::kO:
        at.polygons = 0;
        break;
      default:
        break;
    }
    at.block = s.block;
  }
  if (!error.empty()) {
    why = "the file's text no longer reads: " + error;
    return false;
  }
  at.v = walker.Positions();
  at.vt = walker.TexCoords();
  at.vn = walker.Normals();
  return true;
}

// Whole numbers of a face log, in as few bytes as they need: 7 bits a byte, small first, the
// top bit set on all bytes but the last.
void PutNumber(std::vector<std::uint8_t>& out, UInt64 x) {
  while (x >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(x | 0x80));
    x >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(x));
}
UInt64 GetNumber(const std::uint8_t*& p) {
  UInt64 x = 0;
  int shift = 0;
  for (; *p & 0x80; shift += 7) x |= UInt64{*p++ & 0x7Fu} << shift;
  return x | UInt64{*p++} << shift;
}
// A change that may be negative, as a small number either way: 0, -1, 1, -2 ... as 0, 1, 2, 3 ...
void PutChange(std::vector<std::uint8_t>& out, Int64 d) {
  PutNumber(out, (static_cast<UInt64>(d) << 1) ^ static_cast<UInt64>(d >> 63));
}
Int64 GetChange(const std::uint8_t*& p) {
  const UInt64 z = GetNumber(p);
  return static_cast<Int64>(z >> 1) ^ -static_cast<Int64>(z & 1);
}

// Where the face log can be read from: before face `face`, at `byte`, after `corners` corners
// and `polygons` polygons of the half, with v and vt the last indices as written.
struct Resume {
  size_t face = 0, byte = 0;
  Int64 corners = 0, polygons = 0;
  Int64 v = 0, vt = 0;
};

// What the second thread reads of its half: the values, and the faces with their position and
// texture indices as written, to be compared once the first half's counts are known.
struct SecondHalf {
  Values val;
  // Per face: its corner count, then per corner the change of its v and of its vt (0: none)
  // as written from the corner before.
  std::vector<std::uint8_t> faces;
  size_t faceCount = 0;
  Resume last;                  // after the last face
  std::vector<Resume> resumes;  // every few faces, where a second thread can start
  // Faces from `face` on follow v and vt lines of this half: their relative indices count
  // from these.
  struct Mark {
    size_t face;
    Int64 v, vt;
  };
  std::vector<Mark> marks;
  Int64 v = 0, vt = 0, vn = 0;  // lines of each kind
  // Every index of the half exists when the first half has at least this many lines of its
  // kind.
  Int64 needV = 0, needVt = 0, needVn = 0;
  bool ok = true;  // false: an o line, a line that does not read, an index beyond 32 bits
};

// Reads the second half from `from`, with a place to resume every `every` faces.
void WalkSecond(std::string_view text, size_t from, size_t every, SecondHalf& h,
                const std::atomic<bool>& stop) {
  Walker walker(text, from, text.size(), WalkState{}, true);
  if (!h.val.withPositions) walker.SkipPositions();
  Statement s;
  std::string error;
  constexpr Int64 kLimit = std::numeric_limits<Int32>::max();
  // The count of its kind that index idx (as written, 0: none) needs before this half.
  auto need = [&](Int64 idx, Int64 here, Int64& most) {
    if (idx < -kLimit || idx > kLimit) return false;
    most = std::max(most, (idx < 0 ? -idx : idx) - here);
    return true;
  };
  // A face takes a few bytes; room for the common case, without moving it as it grows.
  h.faces.reserve((text.size() - std::min(from, text.size())) / 3);
  while (!stop.load(std::memory_order_relaxed) && walker.Next(s, error)) {
    switch (s.kind) {
      case Kind::kV:
        if (h.val.withPositions) h.val.positions.push_back(s.value);
        ++h.v;
        break;
      case Kind::kVt:
        h.val.uvs.push_back(s.value);
        h.val.uvCount.push_back(static_cast<std::uint8_t>(s.numbers));
        ++h.vt;
        break;
      case Kind::kVn:
        ++h.vn;
        break;
      case Kind::kO:
        h.ok = false;  // a new block: the single walk does it
        return;
      case Kind::kF:
      case Kind::kL:
      case Kind::kP: {
        for (const Corner& c : s.corners)
          if (!need(c.v, h.v, h.needV) || !need(c.vt, h.vt, h.needVt) ||
              !need(c.vn, h.vn, h.needVn)) {
            h.ok = false;
            return;
          }
        if (s.kind != Kind::kF) break;
        if (h.marks.empty() || h.marks.back().v != h.v || h.marks.back().vt != h.vt)
          h.marks.push_back({h.faceCount, h.v, h.vt});
        Resume& at = h.last;
        if (h.faceCount > 0 && h.faceCount % every == 0) h.resumes.push_back(at);
        PutNumber(h.faces, s.corners.size());
        for (const Corner& c : s.corners) {
          PutChange(h.faces, c.v - at.v);
          PutChange(h.faces, c.vt - at.vt);
          at.v = c.v;
          at.vt = c.vt;
        }
        at.face = ++h.faceCount;
        at.byte = h.faces.size();
        at.corners += static_cast<Int64>(s.corners.size());
        at.polygons += PolygonsOfFace(s.corners.size());
        break;
      }
      default:
        break;
    }
  }
  h.ok = h.ok && error.empty();
}

// Compares the second half's faces from `from` up to face `to`, which belong to block, with the
// host; `first` holds the counts and polygons before the half. False at the first problem.
bool CompareLogged(const SecondHalf& h, Resume from, size_t to, const PartEnd& first, Int32 block,
                   Comparer& cmp, const Values& val, Changes& ch) {
  std::string why;
  const Int64 points = first.v + h.v;
  const Int64 uvs = static_cast<Int64>(val.uvs.size());
  std::vector<std::pair<Int64, Int64>> at;  // the face's corners: file position, vt (-1: none)
  const std::uint8_t* p = h.faces.data() + from.byte;
  Int64 polygon = first.polygons + from.polygons;
  size_t mark = 0;
  for (size_t f = from.face; f < to; ++f) {
    while (mark + 1 < h.marks.size() && h.marks[mark + 1].face <= f) ++mark;
    const Int64 baseV = first.v + h.marks[mark].v, baseVt = first.vt + h.marks[mark].vt;
    const size_t n = static_cast<size_t>(GetNumber(p));
    at.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const Int64 v = from.v += GetChange(p), vt = from.vt += GetChange(p);
      at[i] = {v > 0 ? v - 1 : baseV + v, vt > 0 ? vt - 1 : vt < 0 ? baseVt + vt : -1};
      // Checked against the counts before: never outside.
      if (at[i].first < 0 || at[i].first >= points || at[i].second >= uvs) return false;
    }
    if (!cmp.Face(
            block, polygon, n, [&at](size_t i) { return at[i]; }, val.positions, val.uvs, ch, why))
      return false;
    polygon += PolygonsOfFace(n);
  }
  return true;
}

template <typename T>
void AppendTo(std::vector<T>& to, std::vector<T>& from) {
  to.insert(to.end(), from.begin(), from.end());
  from = std::vector<T>();
}

// A thread that is told to stop and joined however the function that started it ends.
struct Joined {
  std::thread thread;
  std::atomic<bool> stop{false};
  ~Joined() {
    stop = true;
    if (thread.joinable()) thread.join();
  }
  template <typename F>
  bool Start(F&& f) {
    try {
      thread = std::thread([this, f = std::forward<F>(f)]() mutable { f(stop); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  void Join() {
    if (thread.joinable()) thread.join();
  }
};

// Pass 1 on two threads: the first half walked and compared here while a second thread reads
// the second half; then the second half's faces are compared, on both threads when there are
// many (or, when forced, whenever there are two). The result is the single walk's; false when
// that walk must be done instead (a problem, or a new block in the second half), with why set
// only when the first half names the problem, which is then the single walk's first.
bool CompareOnTwoThreads(std::string_view text, size_t start, size_t split, bool forced,
                         const Source& src, const std::vector<PolygonObject*>& objects,
                         const HostCorners& host, Values& val, Changes& ch, PartEnd& end,
                         std::string& why) {
  SecondHalf h;
  h.val.withPositions = val.withPositions;
  PartEnd first;
  {
    Joined second;
    const size_t every = forced ? 1 : 1024;
    if (!second.Start([&](const std::atomic<bool>& stop) {
          try {
            WalkSecond(text, split, every, h, stop);
          } catch (const std::bad_alloc&) {
            h.ok = false;
          }
        }))
      return false;
    Comparer cmp{&src, &objects, &host, {}, -2};
    if (!WalkAndCompare(text, start, split, cmp, val, ch, first, why)) return false;
    second.Join();
  }
  if (!h.ok || first.v < h.needV || first.vt < h.needVt || first.vn < h.needVn) return false;

  // The second half continues the first half's block; one that starts it has no polygons yet.
  const Int32 block = first.block >= 0 ? first.block : 0;
  AppendTo(val.positions, h.val.positions);
  val.uvs.Append(h.val.uvs);
  AppendTo(val.uvCount, h.val.uvCount);
  if (ch.uvState.size() < val.uvs.size()) ch.uvState.resize(val.uvs.size(), 0);
  // The faces after about half the corners go to a second thread.
  const Resume* two = nullptr;
  if (h.last.corners >= 2 * static_cast<Int64>(kTwoThreadCorners) || forced)
    for (const Resume& r : h.resumes)
      if (!two ||
          std::abs(2 * r.corners - h.last.corners) < std::abs(2 * two->corners - h.last.corners))
        two = &r;
  Changes later;
  bool laterOk = true;
  {
    Joined second;
    size_t oneEnd = h.faceCount;
    if (two) {
      later.uvState.assign(val.uvs.size(), 0);
      const bool started = second.Start([&](const std::atomic<bool>&) {
        Comparer own{&src, &objects, &host, {}, -2};
        try {
          laterOk = CompareLogged(h, *two, h.faceCount, first, block, own, val, later);
        } catch (const std::bad_alloc&) {
          laterOk = false;
        }
      });
      if (started) oneEnd = two->face;
    }
    Comparer cmp{&src, &objects, &host, {}, -2};
    if (!CompareLogged(h, Resume(), oneEnd, first, block, cmp, val, ch)) return false;
    second.Join();
  }
  if (!laterOk) return false;
  ch.Append(later, host);
  end.v = first.v + h.v;
  end.vt = first.vt + h.vt;
  end.vn = first.vn + h.vn;
  return true;
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
  UVList uvs;
  std::vector<std::uint8_t> uvCount;
  Changes ch;
  bool renamed = false;
  Int64 fileUVs = 0, filePoints = 0, fileNormals = 0;
  std::vector<NewUV> added;
  std::unordered_map<Triple, Int64, TripleHash> addedIndex;
  std::optional<HostCorners> host;
  Comparer cmp;

  // The view of the statement's block; false when the block made no host object.
  bool ViewOf(const Statement& st) { return cmp.ViewOf(st.block); }
  // Corner i of face st: whether the host changed its UV, and to what (in the file's terms).
  bool CornerUV(const Statement& st, size_t i, Vector& now) const {
    Int64 at = 0;
    return cmp.CornerUV(st.firstPolygon, st.corners.size(), i, st.corners[i].vt, uvs, now, at);
  }
  // A vt line that every corner using it left for the same new value is rewritten in place.
  bool InPlace(Int64 t) const { return t >= 0 && ch.uvState[static_cast<size_t>(t)] == kChanged; }
};

SourceWriter::SourceWriter() = default;
SourceWriter::~SourceWriter() = default;

bool SourceWriter::Prepare(const Source& src, const std::vector<PolygonObject*>& objects,
                           Tail& tail, std::string& why, size_t splitAt, bool* twoThreads) {
  if (twoThreads) *twoThreads = false;
  plan_ = std::make_unique<Plan>();
  Plan& pl = *plan_;
  pl.src = &src;
  pl.objects = &objects;
  const std::string_view text = src.text;
  if (objects.size() != src.serials.size()) {
    why = "the objects do not match the file";
    return false;
  }
  const HostCorners& host = pl.host.emplace(src, objects);
  pl.cmp = Comparer{&src, &objects, &host, {}, -2};
  {
    const size_t e = text.find_first_of("\r\n");
    if (e != std::string_view::npos)
      pl.dominant = text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n' ? "\r\n"
                    : text[e] == '\r'                                             ? "\r"
                                                                                  : "\n";
  }

  Statement s;
  std::string error;
  const ObjectView& view = pl.cmp.view;
  auto bad = [&](const std::string& what) {
    why = what;
    return false;
  };

  // Pass 1: what changed, per point and per texture coordinate.
  {
    Values val;
    auto fresh = [&] {
      val = Values();
      val.withPositions = host.PositionsNeeded();
      if (val.withPositions) val.positions.reserve(static_cast<size_t>(src.positions));
      val.uvs.reserve(static_cast<size_t>(src.texCoords));
      val.uvCount.reserve(static_cast<size_t>(src.texCoords));
      pl.ch = Changes();
    };
    fresh();
    PartEnd end;
    bool done = false;
    const size_t split = SplitPoint(text, src.start, splitAt);
    if (split != std::string::npos) {
      done = CompareOnTwoThreads(text, src.start, split, splitAt != 0, src, objects, host, val,
                                 pl.ch, end, why);
      // The first half's problem is the single walk's first.
      if (!done && !why.empty()) return false;
      if (twoThreads) *twoThreads = done;
      if (!done) fresh();
    }
    if (!done) {
      Comparer cmp{&src, &objects, &host, {}, -2};
      if (!WalkAndCompare(text, src.start, text.size(), cmp, val, pl.ch, end, why)) return false;
    }
    pl.filePoints = end.v;
    pl.fileUVs = end.vt;
    pl.fileNormals = end.vn;
    pl.uvs = std::move(val.uvs);
    pl.uvCount = std::move(val.uvCount);
  }  // frees the positions
  pl.ch.uvState.resize(pl.uvs.size(), 0);
  pl.ch.pointMoved.resize(static_cast<size_t>(pl.filePoints), 0);

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
  if (!pl.ch.changed && !pl.renamed) return counts();
  // New vt lines are only needed for a corner without one that has a UV now, and for a vt line
  // whose corners do not all leave it for one value; otherwise pass 2 would find none.
  const bool splits = std::any_of(pl.ch.uvState.begin(), pl.ch.uvState.end(), [](std::uint8_t st) {
    return (st & kChanged) && st != kChanged;
  });
  if (!pl.ch.uvWithoutLine && !splits) return counts();

  // Pass 2: the new vt lines, each after the last vt line before the first face that uses it
  // (before that face when no vt line precedes it). Equal values share one line.
  // Passes 2 and 3 need no values: pass 1 has them and has checked the text.
  Walker walker(text, src.start);
  walker.SkipValues();
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
  const HostCorners& host = *pl.host;
  if (!pl.ch.changed && !pl.renamed) {
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
  const ObjectView& view = pl.cmp.view;
  Walker walker(text, src.start);
  // Without new vt lines every corner keeps its reference, and no face line changes.
  if (added.empty())
    walker.SkipFaces();
  else
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
        if (pl.ch.pointMoved[static_cast<size_t>(s.index)]) {
          const Vector& p = pl.ch.pointNew[static_cast<size_t>(s.index)];
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
          const Vector v = host.At(pl.ch.uvFirst[static_cast<size_t>(t)]);
          line.clear();
          AppendTriple(line, "vt", Triple{v.x, v.y, v.z},
                       std::max(Int32{pl.uvCount[static_cast<size_t>(t)]}, v.z != 0.0 ? 3 : 2));
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
        if (added.empty()) break;
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
