#include "obj_io.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <numeric>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "c4d_basetag.h"
#include "file_access.h"
#include "obj_parse.h"
#include "obj_source.h"
#include "platform.h"
#include "progress.h"

namespace pelterra {

namespace {

namespace fs = std::filesystem;
using obj::EditedUVWTag;
using obj::Kind;
using obj::ToHost;
using obj::UvToHost;

std::string Trim(std::string_view s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(a, b - a + 1));
}

std::string At(const std::string& path, Int64 line) {
  return line > 0 ? path + ":" + std::to_string(line) + ": " : path + ": ";
}

// Number of the line that holds byte pos.
Int64 LineAt(std::string_view text, size_t pos) {
  Int64 line = 1;
  for (size_t i = 0; i < pos && i < text.size(); ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++line;
  return line;
}

// The usemtl name that switches back to no material.
constexpr const char* kNoMaterial = "(null)";

BaseTag* LastTag(BaseObject* op) {
  return static_cast<BaseTag*>(op->GetTagHead()->GetLast());
}

// Polygon objects depth first, in document order.
template <typename F>
void ForEachPolygonObject(BaseObject* op, F&& f) {
  for (; op; op = op->GetNext()) {
    if (auto* po = dynamic_cast<PolygonObject*>(op)) f(*po);
    ForEachPolygonObject(op->GetDown(), f);
  }
}

std::vector<PolygonObject*> PolygonObjects(BaseDocument& doc) {
  std::vector<PolygonObject*> r;
  ForEachPolygonObject(doc.GetFirstObject(), [&](PolygonObject& op) { r.push_back(&op); });
  return r;
}

std::shared_ptr<const obj::Source> SourceOf(BaseDocument& doc) {
  const GeData* d = doc.GetDataInstance()->GetDataPointer(OBJ_SOURCE);
  const auto* s =
      d ? static_cast<const obj::SourceData*>(d->GetCustomDataType(obj::SourceData::kType))
        : nullptr;
  return s ? s->source : nullptr;
}

// Refuses what is not 8-bit text: UTF-16 (tinyobjloader would read it as an empty file) or
// binary data.
bool CheckText(std::string_view text, const std::string& path, std::string& error) {
  if (text.size() >= 2 && ((static_cast<unsigned char>(text[0]) == 0xFF &&
                            static_cast<unsigned char>(text[1]) == 0xFE) ||
                           (static_cast<unsigned char>(text[0]) == 0xFE &&
                            static_cast<unsigned char>(text[1]) == 0xFF))) {
    error = path + ": UTF-16 text is not supported; save the file as UTF-8 or ASCII";
    return false;
  }
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) {
    error = At(path, LineAt(text, nul)) +
            "contains NUL bytes (UTF-16 or binary data); save the file as UTF-8 or ASCII";
    return false;
  }
  return true;
}

}  // namespace

// Face corners from which a mesh is large.
constexpr size_t kLargeCorners = size_t{1} << 20;

PolygonObject* BuildPolygonObject(ObjMesh mesh, std::vector<Int32>* firstPolygon) {
  const Int64 pointCount = static_cast<Int64>(mesh.points.size());
  const Int64 limit = std::numeric_limits<Int32>::max();
  Int64 polyCount = 0;
  bool hasUV = false, hasNormal = false;
  Int32 start = 0;
  for (Int32 end : mesh.faceEnd) {
    if (end < start || static_cast<size_t>(end) > mesh.corners.size()) return nullptr;
    Int32 n = end - start;
    polyCount += n < 3 ? 0 : n <= 4 ? 1 : n - 2;
    for (Int32 i = start; i < end; ++i) {
      const ObjCorner& c = mesh.corners[static_cast<size_t>(i)];
      if (c.point < 0 || c.point >= pointCount) return nullptr;
      hasUV = hasUV || (c.uv >= 0 && static_cast<size_t>(c.uv) < mesh.uvs.size());
      hasNormal =
          hasNormal || (c.normal >= 0 && static_cast<size_t>(c.normal) < mesh.normals.size());
    }
    start = end;
  }
  if (pointCount > limit || polyCount > limit) return nullptr;

  PolygonObject* op =
      PolygonObject::Alloc(static_cast<Int32>(pointCount), static_cast<Int32>(polyCount));
  op->SetName(mesh.name);
  Vector* points = op->GetPointW();
  for (Int64 i = 0; i < pointCount; ++i) points[i] = ToHost(mesh.points[static_cast<size_t>(i)]);
  mesh.points = decltype(mesh.points)();  // frees the memory, as clear() would not

  // The polygons first, noting the uv and normal of each polygon corner (-1: none), so that the
  // face corners are released before the tags are made.
  const size_t slots = static_cast<size_t>(polyCount) * 4;
  std::vector<Int32> cornerUV(hasUV ? slots : 0), cornerNormal(hasNormal ? slots : 0);
  CPolygon* polys = op->GetPolygonW();
  std::vector<PolygonObject::Ngon> ngons;
  if (firstPolygon) firstPolygon->clear();

  Int32 poly = 0;
  start = 0;
  std::vector<const ObjCorner*> order;
  if (firstPolygon) firstPolygon->reserve(mesh.faceEnd.size() + 1);
  // One host polygon of four face corners in host order (a triangle's d repeats c).
  auto put = [&](const ObjCorner* const c[4], bool quad) {
    polys[poly] = quad ? CPolygon(c[0]->point, c[1]->point, c[2]->point, c[3]->point)
                       : CPolygon(c[0]->point, c[1]->point, c[2]->point);
    const size_t at = static_cast<size_t>(poly) * 4;
    for (size_t i = 0; i < 4; ++i) {
      const ObjCorner* oc = c[i];
      if (hasUV)
        cornerUV[at + i] =
            oc->uv >= 0 && static_cast<size_t>(oc->uv) < mesh.uvs.size() ? oc->uv : -1;
      if (hasNormal)
        cornerNormal[at + i] =
            oc->normal >= 0 && static_cast<size_t>(oc->normal) < mesh.normals.size() ? oc->normal
                                                                                     : -1;
    }
    ++poly;
  };
  for (Int32 end : mesh.faceEnd) {
    const Int32 n = end - start;
    if (firstPolygon) firstPolygon->push_back(poly);
    const ObjCorner* f = mesh.corners.data() + start;
    start = end;
    if (n < 3) continue;
    // Host order: the first corner stays, the others are reversed.
    if (n <= 4) {
      const ObjCorner* c[4] = {f, f + n - 1, f + n - 2, n == 4 ? f + 1 : f + n - 2};
      put(c, n == 4);
      continue;
    }
    // An n-gon: a fan of triangles from its first corner.
    order.clear();
    order.push_back(f);
    for (Int32 i = n - 1; i > 0; --i) order.push_back(f + i);
    PolygonObject::Ngon g;
    for (const ObjCorner* c : order) g.outline.push_back(c->point);
    for (Int32 i = 1; i + 1 < n; ++i) {
      g.polygons.push_back(poly);
      const ObjCorner* c[4] = {order[0], order[static_cast<size_t>(i)],
                               order[static_cast<size_t>(i) + 1],
                               order[static_cast<size_t>(i) + 1]};
      put(c, false);
    }
    ngons.push_back(std::move(g));
  }
  if (firstPolygon) firstPolygon->push_back(poly);
  op->SetNgons(std::move(ngons));
  // A large mesh's face lists go back to the system before its tags are made: the allocator may
  // keep them otherwise, once earlier large lists have raised its threshold for mapping memory.
  const bool large = mesh.corners.size() >= kLargeCorners;
  mesh.corners = decltype(mesh.corners)();
  mesh.faceEnd = decltype(mesh.faceEnd)();
  if (large) platform::ReleaseFreedMemory();

  if (hasUV) {
    UVWTag* uvw = UVWTag::Alloc(static_cast<Int32>(polyCount));
    UVWHandle uvData = uvw->GetDataAddressW();
    auto uvOf = [&](Int32 t) {
      return t >= 0 ? UvToHost(mesh.uvs[static_cast<size_t>(t)]) : Vector();
    };
    for (Int32 p = 0; p < poly; ++p) {
      const Int32* t = &cornerUV[static_cast<size_t>(p) * 4];
      UVWTag::Set(uvData, p, UVWStruct(uvOf(t[0]), uvOf(t[1]), uvOf(t[2]), uvOf(t[3])));
    }
    cornerUV = decltype(cornerUV)();
    op->InsertTag(uvw, LastTag(op));
  }
  if (hasNormal) {
    NormalTag* normals = NormalTag::Alloc(static_cast<Int32>(polyCount));
    for (Int32 p = 0; p < poly; ++p) {
      NormalStruct s;
      for (Int32 i = 0; i < 4; ++i) {
        const Int32 nidx = cornerNormal[static_cast<size_t>(p) * 4 + static_cast<size_t>(i)];
        if (nidx >= 0) s.Set(i, ToHost(mesh.normals[static_cast<size_t>(nidx)]));
      }
      normals->Set(p, s);
    }
    op->InsertTag(normals, LastTag(op));
  }
  return op;
}

namespace {

// How many v, vt and vn lines [from, to) seems to have, by the first letters of its lines: room
// for them is made before the walk, so that the lists do not grow and copy themselves.
std::array<size_t, 3> ValueLines(std::string_view text, size_t from, size_t to) {
  std::array<size_t, 3> n{0, 0, 0};
  const char* p = text.data() + from;
  const char* const end = text.data() + to;
  while (end - p >= 3) {
    if (p[0] == 'v') {
      if (p[1] == ' ')
        ++n[0];
      else if (p[2] == ' ' && (p[1] == 't' || p[1] == 'n'))
        ++n[p[1] == 't' ? 1 : 2];
    }
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (!nl) break;
    p = static_cast<const char*>(nl) + 1;
  }
  return n;
}

// first followed by second, in first, second emptied. When second is the longer list and has
// room, first goes in front of it and its buffer is kept: the longer list is not copied.
template <typename T>
void Append(std::vector<T>& first, std::vector<T>& second) {
  const size_t total = first.size() + second.size();
  if (second.size() > first.size() && second.capacity() >= total) {
    second.insert(second.begin(), first.begin(), first.end());
    first.swap(second);
  } else {
    first.reserve(total);
    first.insert(first.end(), second.begin(), second.end());
  }
  second = std::vector<T>();
}

// What the second thread reads of its half: every statement the reader uses, in order. Face
// corners are resolved as far as the half can: an absolute index is final; a relative one counts
// back from the lines of its kind in the half, and the count before the half is added later.
struct HalfLog {
  std::vector<Kind> kinds;
  std::vector<Vector> values[3];    // v, vt, vn
  std::vector<Int32> faceCorners;   // f: corner count
  std::vector<ObjCorner> corners;   // f: point, uv, normal (-1: none)
  // Per corner, once a relative index has come: bit k set when field k (v, vt, vn) is relative.
  std::vector<std::uint8_t> relative;
  bool anyRelative = false;
  std::vector<size_t> otherBegin;   // o, g, usemtl, mtllib, l, p: where the line starts
  std::vector<Int64> otherLine;     //   and its line number within the half
  Int64 counts[3] = {0, 0, 0};      // v, vt, vn lines
  // How many lines of each kind must come before the half for every index to exist: the most
  // an absolute index reaches past the half's own lines, and the furthest a relative one reaches
  // back before them.
  Int64 needed[3] = {0, 0, 0};
  bool objects = false;             // an o line is among them
  bool ok = true;
  std::atomic<size_t> position{0};  // how far the walk is
};

void WalkHalf(std::string_view text, size_t from, HalfLog& log) {
  // Room for the corners of faces of short indices, so that the list need not grow and copy
  // itself: pages that stay unused cost no memory.
  log.corners.reserve((text.size() - from) / 12);
  obj::Walker walker(text, from, text.size(), obj::WalkState{}, true);
  obj::Statement s;
  std::string why;
  Int64 count = 0;
  constexpr Int64 kMax = std::numeric_limits<Int32>::max();
  while (walker.Next(s, why)) {
    if ((++count & 0xFFFF) == 0) log.position.store(walker.Position(), std::memory_order_relaxed);
    switch (s.kind) {
      case Kind::kV:
      case Kind::kVt:
      case Kind::kVn: {
        const size_t k = s.kind == Kind::kV ? 0 : s.kind == Kind::kVt ? 1 : 2;
        log.values[k].push_back(s.value);
        ++log.counts[k];
        break;
      }
      case Kind::kF:
        log.faceCorners.push_back(static_cast<Int32>(s.corners.size()));
        for (const obj::Corner& c : s.corners) {
          Int32 out[3] = {-1, -1, -1};
          std::uint8_t relative = 0;
          const Int64 written[3] = {c.v, c.vt, c.vn};
          for (size_t k = 0; k < 3; ++k) {
            const Int64 i = written[k];
            if (i == 0) continue;
            const Int64 at = i > 0 ? i - 1 : log.counts[k] + i;  // relative: before the half < 0
            // An index beyond 32 bits exists in no file the host can hold: the walk on one
            // thread names it.
            if (at > kMax || at < -kMax) {
              log.ok = false;
              return;
            }
            log.needed[k] = std::max(log.needed[k], i > 0 ? i - log.counts[k] : -at);
            out[k] = static_cast<Int32>(at);
            if (i < 0) relative |= static_cast<std::uint8_t>(1u << k);
          }
          if (relative && !log.anyRelative) {
            log.relative.assign(log.corners.size(), 0);
            log.anyRelative = true;
          }
          if (log.anyRelative) log.relative.push_back(relative);
          log.corners.push_back({out[0], out[1], out[2]});
        }
        break;
      case Kind::kOther:
        continue;
      default:
        log.objects = log.objects || s.kind == Kind::kO;
        log.otherBegin.push_back(s.begin);
        log.otherLine.push_back(s.number);
        break;
    }
    log.kinds.push_back(s.kind);
  }
  log.ok = why.empty();
}

// Walks [start, split) here and [split, end) on a second thread, then hands the second half on
// in file order, its indices checked against the full counts: takeValues gets its v, vt and vn
// values (kind 0, 1, 2) whole; adopt, when it has faces and no o line, gets all their corners
// (resolved) for the last block; takeFaces gets each run of faces, with their corners unless
// adopted; take gets every other statement. False when a line is malformed or a taker refuses:
// the caller then walks the file again on one thread, which gives the first error exactly as a
// single walk does.
template <typename Take, typename TakeValues, typename Adopt, typename TakeFaces>
bool TwoPartWalk(std::string_view text, size_t start, size_t split, Take&& take,
                 TakeValues&& takeValues, Adopt&& adopt, TakeFaces&& takeFaces,
                 Progress* progress) {
  HalfLog log;
  log.position = split;
  std::thread second([&] {
    WalkHalf(text, split, log);
    log.position.store(text.size(), std::memory_order_relaxed);
  });
  obj::Walker walker(text, start, split, obj::WalkState{}, false);
  obj::Statement s;
  std::string why;
  bool ok = true;
  Int64 count = 0;
  while (ok && walker.Next(s, why)) {
    if (progress && (++count & 0xFFFF) == 0)
      progress->Update(static_cast<std::int64_t>(
          walker.Position() + (log.position.load(std::memory_order_relaxed) - split)));
    ok = take(s);
  }
  second.join();
  if (!ok || !why.empty() || !log.ok) return false;

  // The second half, counting on from the first.
  obj::WalkState state;
  state.line = walker.Line();
  state.v = walker.Positions();
  state.vt = walker.TexCoords();
  state.vn = walker.Normals();
  const Int64 before[3] = {state.v, state.vt, state.vn};
  for (size_t k = 0; k < 3; ++k)
    if (log.needed[k] > before[k]) return false;  // the walk on one thread words it
  for (size_t i = 0; i < log.relative.size(); ++i) {
    ObjCorner& c = log.corners[i];
    Int32* fields[3] = {&c.point, &c.uv, &c.normal};
    for (size_t k = 0; k < 3; ++k) {
      if (!(log.relative[i] & (1u << k))) continue;
      const Int64 resolved = *fields[k] + before[k];
      if (resolved > std::numeric_limits<Int32>::max()) return false;
      *fields[k] = static_cast<Int32>(resolved);
    }
  }
  // Values join their lists whole. Without an o line every face joins the last block, and the
  // block's corners join the half's list, which is usually the longer one.
  for (size_t k = 0; k < 3; ++k) takeValues(k, log.values[k]);
  bool adopted = false;
  if (!log.objects && !log.faceCorners.empty()) {
    if (!adopt(log.corners, log.faceCorners.size())) return false;
    adopted = true;
  }
  // Run by run of statements of one kind.
  size_t face = 0, corner = 0, other = 0;
  const size_t statements = log.kinds.size();
  for (size_t i = 0, run = 0; i < statements; i = run) {
    const Kind k = log.kinds[i];
    for (run = i + 1; run < statements && log.kinds[run] == k;) ++run;
    const size_t n = run - i;
    switch (k) {
      case Kind::kV:
      case Kind::kVt:
      case Kind::kVn:
        (k == Kind::kV ? state.v : k == Kind::kVt ? state.vt : state.vn) += static_cast<Int64>(n);
        break;
      case Kind::kF: {
        const Int32* sizes = log.faceCorners.data() + face;
        const size_t corners = std::accumulate(sizes, sizes + n, size_t{0});
        if (!takeFaces(adopted ? nullptr : log.corners.data() + corner, sizes, n, corners))
          return false;
        face += n;
        corner += corners;
        break;
      }
      default:
        // Rare lines are walked again, knowing the counts.
        for (size_t j = 0; j < n; ++j) {
          obj::WalkState at = state;
          at.line = state.line + log.otherLine[other] - 1;
          obj::Walker one(text, log.otherBegin[other++], text.size(), at, false);
          if (!one.Next(s, why) || !take(s)) return false;
        }
        break;
    }
  }
  if (progress) progress->Update(static_cast<std::int64_t>(text.size()));
  return true;
}

// From face on, faces have value (until the next run).
struct Run {
  Int32 face;
  Int32 value;
};

// Notes that faces from face on have value.
void Mark(std::vector<Run>& runs, Int32 face, Int32 value) {
  if (runs.empty() || runs.back().value != value) runs.push_back({face, value});
}

// Declared first in a load or a save, hands what it freed back to the system as it returns.
struct ReleaseAtEnd {
  ReleaseAtEnd() = default;
  ReleaseAtEnd(const ReleaseAtEnd&) = delete;
  ReleaseAtEnd& operator=(const ReleaseAtEnd&) = delete;
  ~ReleaseAtEnd() { platform::ReleaseFreedMemory(); }
};

// What the reader collects per o block: faces with file indices, their materials and groups.
// Materials and groups change only at their statements, so they are kept as runs of faces: a
// list per face would add 8 MB to a 1M-face load's peak.
struct Block {
  std::string name;
  std::vector<ObjCorner> corners;  // point, uv, normal: 0-based file indices
  std::vector<Int32> faceEnd;
  std::vector<Run> materials;  // index into the material names, -1: none
  std::vector<Run> groups;     // index into the group sets, 0: no group
};

// Group sets as `g` lines name them; set 0 is "no group".
struct GroupSets {
  std::vector<std::vector<std::string>> sets{{}};
  std::map<std::vector<std::string>, Int32> index{{{}, 0}};
  Int32 Intern(std::vector<std::string> names) {
    auto [it, added] = index.emplace(names, static_cast<Int32>(sets.size()));
    if (added) sets.push_back(std::move(names));
    return it->second;
  }
};

// Polygon selection tags of one object, one per name, filled face by face.
struct NamedSelections {
  std::vector<std::string> order;
  std::unordered_map<std::string, SelectionTag*> tags;
  SelectionTag* Get(const std::string& name) {
    SelectionTag*& t = tags[name];
    if (!t) {
      t = SelectionTag::Alloc(Tpolygonselection);
      t->SetName(name);
      order.push_back(name);
    }
    return t;
  }
};

}  // namespace

bool LoadObj(const std::string& path, BaseDocument& doc, std::string& error,
             std::vector<std::string>* warnings, Progress* progress) {
  return LoadObjSplit(path, doc, error, warnings, progress, 0);
}

bool LoadObjSplit(const std::string& path, BaseDocument& doc, std::string& error,
                  std::vector<std::string>* warnings, Progress* progress, size_t splitAt,
                  bool* twoThreads) {
  // The reading lists, half of them made on a second thread, are freed by the end of the load.
  const ReleaseAtEnd release;
  if (twoThreads) *twoThreads = false;
  std::string text;
  if (!ReadRegularFile(path, text, error) || !CheckText(text, path, error)) return false;
  const size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 mark is harmless
  const size_t fileSize = text.size();
  const std::string stem = fs::path(path).stem().string();
  const fs::path folder = fs::path(path).parent_path();

  std::vector<Vector> positions, uvs, normals;
  std::vector<Block> blocks;
  GroupSets groups;
  Int32 groupSet = 0;
  std::vector<std::string> materials;
  std::unordered_map<std::string, Int32> materialIndex;
  Int32 material = -1;
  std::vector<std::string> libs;
  std::vector<std::string> mtlWarnings;

  // The block a face of n corners goes to; nullptr (error set) when the host cannot hold it.
  auto faceBlock = [&](size_t n) -> Block* {
    if (blocks.empty()) blocks.push_back({stem, {}, {}, {}, {}});
    Block& b = blocks.back();
    if (b.corners.size() + n > static_cast<size_t>(std::numeric_limits<Int32>::max())) {
      error = path + ": object \"" + b.name + "\" has more face corners than the host can hold";
      return nullptr;
    }
    return &b;
  };
  auto endFace = [&](Block& b) {
    const auto face = static_cast<Int32>(b.faceEnd.size());
    Mark(b.materials, face, material);
    Mark(b.groups, face, groupSet);
    b.faceEnd.push_back(static_cast<Int32>(b.corners.size()));
  };
  auto takeValues = [&](size_t kind, std::vector<Vector>& more) {
    Append(kind == 0 ? positions : kind == 1 ? uvs : normals, more);
  };
  auto adopt = [&](std::vector<ObjCorner>& more, size_t faces) {
    Block* b = faceBlock(more.size());
    if (!b) return false;
    Append(b->corners, more);
    b->faceEnd.reserve(b->faceEnd.size() + faces);
    return true;
  };
  // Faces of sizes[0 .. n), `corners` corners in all, which follow in c unless adopted (null).
  auto takeFaces = [&](const ObjCorner* c, const Int32* sizes, size_t n, size_t corners) {
    Block* b = faceBlock(c ? corners : 0);
    if (!b) return false;
    if (c) b->corners.insert(b->corners.end(), c, c + corners);
    if (n == 0) return true;
    const auto face = static_cast<Int32>(b->faceEnd.size());
    Mark(b->materials, face, material);
    Mark(b->groups, face, groupSet);
    Int32 end = b->faceEnd.empty() ? 0 : b->faceEnd.back();
    for (size_t i = 0; i < n; ++i) b->faceEnd.push_back(end += sizes[i]);
    return true;
  };
  // One statement into the lists above; false (error set) when the host cannot hold it.
  auto take = [&](const obj::Statement& s) -> bool {
    switch (s.kind) {
      case Kind::kV:
        positions.push_back(s.value);
        break;
      case Kind::kVt:
        uvs.push_back(s.value);
        break;
      case Kind::kVn:
        normals.push_back(s.value);
        break;
      case Kind::kO: {
        std::string name = Trim(obj::RestOfLine(s));
        blocks.push_back({name.empty() ? stem : std::move(name), {}, {}, {}, {}});
        groupSet = 0;  // groups belong to their object
        break;
      }
      case Kind::kG: {
        std::vector<std::string> names(s.words.begin() + 1, s.words.end());
        groupSet = groups.Intern(std::move(names));
        break;
      }
      case Kind::kUsemtl: {
        std::string n = Trim(obj::RestOfLine(s));
        if (n.empty() || n == kNoMaterial) {
          material = -1;
          break;
        }
        auto [it, added] = materialIndex.emplace(n, static_cast<Int32>(materials.size()));
        if (added) materials.push_back(n);
        material = it->second;
        break;
      }
      case Kind::kMtllib: {
        const std::string_view args =
            s.words.size() > 1
                ? s.content.substr(static_cast<size_t>(s.words[1].data() - s.content.data()))
                : std::string_view();
        for (std::string& n : obj::MtlLibNames(args)) {
          if (std::find(libs.begin(), libs.end(), n) != libs.end()) continue;
          std::error_code ec;
          if (!fs::is_regular_file(folder / n, ec))
            mtlWarnings.push_back(At(path, s.number) + "mtllib " + n + ": not found");
          libs.push_back(std::move(n));
        }
        break;
      }
      case Kind::kF: {
        Block* b = faceBlock(s.corners.size());
        if (!b) return false;
        for (const obj::Corner& c : s.corners)
          b->corners.push_back(
              {static_cast<Int32>(c.v), static_cast<Int32>(c.vt), static_cast<Int32>(c.vn)});
        endFace(*b);
        break;
      }
      case Kind::kL:
      case Kind::kP:
        if (blocks.empty()) blocks.push_back({stem, {}, {}, {}, {}});
        break;
      default:
        break;
    }
    return true;
  };

  std::string why;
  Int64 whyLine = 0;
  const size_t split = obj::SplitPoint(text, start, splitAt);
  bool read = false;
  if (split != std::string::npos) {
    const std::array<size_t, 3> expected = ValueLines(text, start, split);
    positions.reserve(expected[0]);
    uvs.reserve(expected[1]);
    normals.reserve(expected[2]);
    read = TwoPartWalk(text, start, split, take, takeValues, adopt, takeFaces, progress);
    if (twoThreads) *twoThreads = read;
    if (!read) {
      // Read again on one thread for the first error, exactly as a single walk finds it.
      positions.clear();
      uvs.clear();
      normals.clear();
      blocks.clear();
      groups = GroupSets();
      groupSet = 0;
      materials.clear();
      materialIndex.clear();
      material = -1;
      libs.clear();
      mtlWarnings.clear();
    }
  }
  if (!read) {
    obj::Walker walker(text, start);
    obj::Statement s;
    Int64 count = 0;
    while (walker.Next(s, why)) {
      if (progress && (++count & 0xFFFF) == 0)
        progress->Update(static_cast<std::int64_t>(walker.Position()));
      if (!take(s)) return false;
    }
    whyLine = walker.Line();
  }
  if (!why.empty()) {
    error = At(path, whyLine) + why;
    return false;
  }
  if (positions.size() > static_cast<size_t>(std::numeric_limits<Int32>::max())) {
    error = path + ": more positions than the host can hold";
    return false;
  }

  // Build every object before touching doc, so that a failure leaves it as it was.
  std::vector<PolygonObject*> objects;
  std::vector<std::vector<Int32>> firstPolygons;
  std::vector<const Block*> sources;
  std::vector<Int32> blockObject(blocks.size(), -1);
  std::vector<std::string> blockName;
  const Int64 positionCount = static_cast<Int64>(positions.size());
  std::vector<Int32> local(positions.size(), -1);
  size_t lastWithFaces = blocks.size();
  for (size_t bi = 0; bi < blocks.size(); ++bi)
    if (!blocks[bi].faceEnd.empty()) lastWithFaces = bi;
  for (size_t bi = 0; bi < blocks.size(); ++bi) {
    Block& b = blocks[bi];
    blockName.push_back(b.name);
    if (b.faceEnd.empty()) continue;
    ObjMesh mesh;
    mesh.name = b.name;
    mesh.uvs = uvs;
    mesh.normals = normals;
    // The block's points: the positions its faces use, in file order. Marked, then collected by
    // a walk over the positions when they are many, else sorted.
    std::vector<Int32> used;
    for (const ObjCorner& c : b.corners) {
      Int32& mark = local[static_cast<size_t>(c.point)];
      if (mark < 0) {
        mark = 0;
        used.push_back(c.point);
      }
    }
    if (used.size() * 16 >= positions.size()) {
      used.clear();
      for (size_t p = 0; p < positions.size(); ++p)
        if (local[p] == 0) used.push_back(static_cast<Int32>(p));
    } else {
      std::sort(used.begin(), used.end());
    }
    for (size_t i = 0; i < used.size(); ++i)
      local[static_cast<size_t>(used[i])] = static_cast<Int32>(i);
    if (bi == lastWithFaces) {
      // No later object needs the positions: they become this one's points in place (used is
      // ascending, so no position is overwritten before it is read).
      for (size_t i = 0; i < used.size(); ++i)
        positions[i] = positions[static_cast<size_t>(used[i])];
      positions.resize(used.size());
      mesh.points = std::move(positions);
    } else {
      mesh.points.reserve(used.size());
      for (Int32 p : used) mesh.points.push_back(positions[static_cast<size_t>(p)]);
    }
    mesh.corners = std::move(b.corners);
    for (ObjCorner& c : mesh.corners) c.point = local[static_cast<size_t>(c.point)];
    for (Int32 p : used) local[static_cast<size_t>(p)] = -1;
    used = decltype(used)();
    mesh.faceEnd = std::move(b.faceEnd);
    std::vector<Int32> first;
    PolygonObject* op = BuildPolygonObject(std::move(mesh), &first);
    if (!op) {
      for (BaseObject* o : objects) BaseObject::Free(o);
      error = path + ": object \"" + b.name + "\" has more polygons than the host can hold";
      return false;
    }
    blockObject[bi] = static_cast<Int32>(objects.size());
    objects.push_back(op);
    firstPolygons.push_back(std::move(first));
    sources.push_back(&b);
  }

  // Materials: one per name in the document, reused when the document has it already.
  std::vector<BaseMaterial*> docMaterials;
  BaseMaterial* lastMaterial = doc.GetFirstMaterial();
  while (lastMaterial && lastMaterial->GetNext())
    lastMaterial = static_cast<BaseMaterial*>(lastMaterial->GetNext());
  for (const std::string& name : materials) {
    BaseMaterial* found = nullptr;
    for (BaseMaterial* m = doc.GetFirstMaterial(); m && !found;
         m = static_cast<BaseMaterial*>(m->GetNext()))
      if (m->GetName() == name) found = m;
    if (!found) {
      found = BaseMaterial::Alloc();
      found->SetName(name);
      doc.InsertMaterial(found, lastMaterial);
      lastMaterial = found;
    }
    docMaterials.push_back(found);
  }

  // Per object: a selection and a texture tag per material, then a selection per group.
  for (size_t o = 0; o < objects.size(); ++o) {
    PolygonObject* op = objects[o];
    const Block& b = *sources[o];
    const std::vector<Int32>& first = firstPolygons[o];
    NamedSelections byMaterial, byGroup;
    // take(value, from, to) for each run's polygons [from, to], runs without polygons skipped.
    auto eachRun = [&first](const std::vector<Run>& runs, auto&& take) {
      const auto faces = static_cast<Int32>(first.size()) - 1;
      for (size_t r = 0; r < runs.size(); ++r) {
        const Int32 a = runs[r].face, z = r + 1 < runs.size() ? runs[r + 1].face : faces;
        const Int32 from = first[static_cast<size_t>(a)], to = first[static_cast<size_t>(z)];
        if (to > from) take(runs[r].value, from, to - 1);
      }
    };
    eachRun(b.materials, [&](Int32 m, Int32 from, Int32 to) {
      if (m >= 0)
        byMaterial.Get(materials[static_cast<size_t>(m)])->GetBaseSelect()->SelectAll(from, to);
    });
    eachRun(b.groups, [&](Int32 set, Int32 from, Int32 to) {
      for (const std::string& g : groups.sets[static_cast<size_t>(set)])
        byGroup.Get(g)->GetBaseSelect()->SelectAll(from, to);
    });
    for (const std::string& name : byMaterial.order) {
      op->InsertTag(byMaterial.tags[name], LastTag(op));
      TextureTag* tex = TextureTag::Alloc();
      tex->SetMaterial(docMaterials[static_cast<size_t>(materialIndex[name])]);
      tex->GetDataInstance()->SetString(TEXTURETAG_RESTRICTION, name);
      op->InsertTag(tex, LastTag(op));
    }
    for (const std::string& name : byGroup.order) {
      SelectionTag* t = byGroup.tags[name];
      t->GetDataInstance()->SetBool(OBJ_GROUP, true);
      op->InsertTag(t, LastTag(op));
    }
  }

  // A document that had no polygon object keeps the file for a statement-for-statement save.
  const bool keepSource = PolygonObjects(doc).empty() && !SourceOf(doc);
  BaseObject* pred = static_cast<BaseObject*>(doc.GetObjectHead()->GetLast());
  for (PolygonObject* op : objects) {
    doc.InsertObject(op, nullptr, pred);
    pred = op;
  }
  if (keepSource) {
    auto src = std::make_shared<obj::Source>();
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    src->path = ec ? path : abs.lexically_normal().string();
    src->start = start;
    src->positions = positionCount;
    src->texCoords = static_cast<Int64>(uvs.size());
    src->blockObject = std::move(blockObject);
    src->blockName = std::move(blockName);
    for (PolygonObject* op : objects) {
      src->serials.push_back(op->GetSerial());
      src->fingerprints.push_back(obj::Fingerprint(*op));
      src->pointPrints.push_back(obj::PointPrint(*op));
    }
    src->text = std::move(text);
    doc.GetDataInstance()->SetData(OBJ_SOURCE, GeData(obj::SourceData(std::move(src))));
  }

  if (!libs.empty()) {
    BaseContainer* bc = doc.GetDataInstance();
    std::string have = bc->GetString(OBJ_MTLLIB);
    const std::vector<std::string> haveNames = obj::MtlLibNames(have);
    for (const std::string& n : libs)
      if (std::find(haveNames.begin(), haveNames.end(), n) == haveNames.end())
        have += (have.empty() ? "" : " ") + obj::EscapeMtlName(n);
    bc->SetString(OBJ_MTLLIB, have);
  }
  if (warnings) {
    warnings->insert(warnings->end(), mtlWarnings.begin(), mtlWarnings.end());
    if (objects.empty()) warnings->push_back(path + ": no faces, nothing to load");
  }
  if (progress) progress->Update(static_cast<std::int64_t>(fileSize));
  return true;
}

std::string SourcePath(BaseDocument& doc) {
  auto src = SourceOf(doc);
  return src ? src->path : std::string();
}

// --- writing ---

namespace {

std::string OneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return Trim(s);
}

bool IsGroupTag(const BaseTag* t) {
  return t->GetType() == Tpolygonselection &&
         const_cast<BaseTag*>(t)->GetDataInstance()->GetBool(OBJ_GROUP);
}

// Material name of each polygon from the texture tags (a later tag wins); nullptr: none.
std::vector<const std::string*> PolygonMaterials(const PolygonObject& op, BaseDocument& doc,
                                                 std::vector<std::string>& names) {
  std::vector<const std::string*> result(static_cast<size_t>(op.GetPolygonCount()), nullptr);
  std::vector<std::pair<const BaseTag*, size_t>> texTags;
  names.reserve(64);
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Ttexture) continue;
    BaseMaterial* m = static_cast<TextureTag*>(t)->GetMaterial(&doc);
    if (!m) continue;
    names.push_back(OneLine(m->GetName()));
    texTags.emplace_back(t, names.size() - 1);
  }
  for (auto [t, idx] : texTags) {
    const std::string* name = &names[idx];
    std::string restriction = t->GetDataInstance()->GetString(TEXTURETAG_RESTRICTION);
    if (restriction.empty()) {
      std::fill(result.begin(), result.end(), name);
      continue;
    }
    for (BaseTag* s = op.GetFirstTag(); s; s = s->GetNext()) {
      if (s->GetType() != Tpolygonselection || IsGroupTag(s) || s->GetName() != restriction)
        continue;
      const BaseSelect* sel = static_cast<SelectionTag*>(s)->GetBaseSelect();
      Int32 a = 0, b = 0;
      for (Int32 seg = 0; sel->GetRange(seg, op.GetPolygonCount(), &a, &b); ++seg)
        for (Int32 p = a; p <= b; ++p) result[static_cast<size_t>(p)] = name;
      break;
    }
  }
  return result;
}

// The `g` line of each polygon, from the group tags: set 0 is no group.
std::vector<Int32> PolygonGroups(const PolygonObject& op, std::vector<std::string>& lines) {
  const Int32 vc = op.GetPolygonCount();
  std::vector<Int32> result(static_cast<size_t>(vc), 0);
  std::vector<std::string> names;
  lines.assign(1, std::string());
  // Sets grow tag by tag: (set, tag) -> set with that tag's name added.
  std::map<std::pair<Int32, Int32>, Int32> grown;
  Int32 tagIndex = 0;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (!IsGroupTag(t)) continue;
    const std::string name = OneLine(t->GetName());
    const BaseSelect* sel = static_cast<SelectionTag*>(t)->GetBaseSelect();
    Int32 a = 0, b = 0;
    for (Int32 seg = 0; sel->GetRange(seg, vc, &a, &b); ++seg)
      for (Int32 p = a; p <= b; ++p) {
        Int32& set = result[static_cast<size_t>(p)];
        auto [it, added] =
            grown.emplace(std::pair(set, tagIndex), static_cast<Int32>(lines.size()));
        if (added) lines.push_back(lines[static_cast<size_t>(set)] + " " + name);
        set = it->second;
      }
    ++tagIndex;
  }
  return result;
}

// Whether an n-gon's polygons are the fan of triangles (o0, o[t+1], o[t+2]) of its outline.
bool IsFan(const PolygonObject::Ngon& ng, const CPolygon* polys) {
  const size_t n = ng.outline.size();
  if (n < 3 || ng.polygons.size() != n - 2) return false;
  for (size_t t = 0; t + 2 < n; ++t)
    if (!(polys[ng.polygons[t]] == CPolygon(ng.outline[0], ng.outline[t + 1], ng.outline[t + 2])))
      return false;
  return true;
}

// What runs on from one object to the next: line counts, the current material and group, and
// the line end.
struct WriteState {
  Int64 points = 0, uvs = 0, normals = 0;
  bool materialKnown = true;  // false after a file's own statements: the next face says it
  bool hasMaterial = false;
  std::string material;
  std::string eol = "\n";
  size_t lineBlock = 0;  // see SaveObj
};

using Triple = std::array<Float, 3>;

// Equal triples (compared with ==, so -0 is 0) numbered in the order they first come: a flat
// open-addressing table of indices into the list, behind a small table of recent ones. Each slot
// also keeps the upper half of its value's hash, so that a probe past another value rarely reads
// the list.
class TripleIndex {
 public:
  // Index of v in list, appending it when new.
  Int32 IndexOf(std::vector<Triple>& list, const Triple& v) {
    // Neighbouring corners mostly repeat a recent value: a small table that stays in the
    // processor's cache answers those before the large one is touched.
    const UInt64 h = Hash(v);
    if (recent_.empty()) recent_.resize(kRecent);
    Recent& r = recent_[h & (kRecent - 1)];
    if (r.index >= 0 && r.value == v) return r.index;
    if (2 * (list.size() + 1) > slots_.size()) Grow(list);
    const size_t mask = slots_.size() - 1;
    const UInt32 tag = static_cast<UInt32>(h >> 32);
    size_t i = h & mask;
    for (;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.index < 0) break;
      if (s.tag == tag && list[static_cast<size_t>(s.index)] == v) {
        r = {v, s.index};
        return s.index;
      }
    }
    const Int32 k = static_cast<Int32>(list.size());
    slots_[i] = {k, tag};
    list.push_back(v);
    r = {v, k};
    return k;
  }

  // The same, first trying atPoint: the value last numbered at the corner's point, which a
  // corner mostly shares with the point's other corners. atPoint becomes v's index.
  Int32 IndexOf(std::vector<Triple>& list, const Triple& v, Int32& atPoint) {
    if (atPoint >= 0 && list[static_cast<size_t>(atPoint)] == v) return atPoint;
    return atPoint = IndexOf(list, v);
  }

  // Where a look-up of v starts, for the caller to prefetch. (GCC drops a prefetch inside a
  // function that it then finds has no effect.)
  const void* SlotOf(const Triple& v) const {
    return slots_.empty() ? nullptr : &slots_[Hash(v) & (slots_.size() - 1)];
  }

  // Room for about n values before the table grows.
  void Expect(size_t n) {
    if (slots_.empty()) slots_.assign(std::bit_ceil(std::max<size_t>(64, 2 * (n + 1))), Slot{});
  }

 private:
  static UInt64 Hash(const Triple& t) {
    UInt64 h = 0;
    for (Float x : t) {
      x += 0.0;  // -0 hashes as 0
      UInt64 bits = 0;
      std::memcpy(&bits, &x, sizeof bits);
      h = (h ^ bits) * 0x9e3779b97f4a7c15ull;
      h ^= h >> 29;
    }
    return h;
  }
  void Grow(const std::vector<Triple>& list) {
    slots_.assign(std::max<size_t>(64, slots_.size() * 2), Slot{});
    const size_t mask = slots_.size() - 1;
    for (size_t k = 0; k < list.size(); ++k) {
      const UInt64 h = Hash(list[k]);
      size_t i = h & mask;
      while (slots_[i].index >= 0) i = (i + 1) & mask;
      slots_[i] = {static_cast<Int32>(k), static_cast<UInt32>(h >> 32)};
    }
  }
  // Large enough to keep the corners of the previous row of a grid of a thousand quads.
  static constexpr size_t kRecent = size_t{1} << 12;
  struct Recent {
    Triple value{};
    Int32 index = -1;
  };
  struct Slot {
    Int32 index = -1;
    UInt32 tag = 0;
  };
  std::vector<Slot> slots_;
  std::vector<Recent> recent_;  // made at the first value
};

// Appends a whole number.
void AppendInt(std::string& out, Int64 v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendLine(std::string& out, const char* key, const Triple& t, bool third,
                const std::string& eol) {
  out += key;
  for (int i = 0; i < (third ? 3 : 2); ++i) {
    out += ' ';
    obj::AppendNumber(out, t[static_cast<size_t>(i)]);
  }
  out += eol;
}

// Writes count lines, line(i, text) appending line i. A long run is formatted on two threads in
// blocks of block lines (0: 65536 on a machine of two cores or more, npos: one thread): a second
// thread formats every other block into a buffer of its own while this one formats the block
// before it and hands it on, so that the text is the same as on one thread.
template <typename Line>
void WriteLines(obj::Output& sink, size_t count, size_t block, const Line& line) {
  if (block == 0) block = std::thread::hardware_concurrency() >= 2 ? size_t{1} << 16 : count;
  size_t i = 0;
  if (block != std::string::npos && count / 2 >= block) {
    std::string other;
    while (i < count) {
      const size_t mid = std::min(count, i + block), end = std::min(count, mid + block);
      other.clear();
      std::exception_ptr failed;
      std::thread second;
      try {
        second = std::thread([&] {
          try {
            for (size_t k = mid; k < end; ++k) line(k, other);
          } catch (...) {
            failed = std::current_exception();
          }
        });
      } catch (const std::system_error&) {
        break;  // no thread to be had: the rest on this one
      }
      try {
        for (size_t k = i; k < mid; ++k) {
          line(k, sink.Buffer());
          sink.Spill();
        }
      } catch (...) {
        second.join();
        throw;
      }
      second.join();
      if (failed) std::rethrow_exception(failed);
      sink.Put(other);
      i = end;
    }
  }
  for (; i < count; ++i) {
    line(i, sink.Buffer());
    sink.Spill();
  }
}

// A normal as the file holds it, before z is negated: normals follow the cofactor matrix,
// turned round when the matrix mirrors.
struct NormalMap {
  explicit NormalMap(const Matrix& mg)
      : moved(!(mg == Matrix())),
        c1(Cross(mg.v2, mg.v3)),
        c2(Cross(mg.v3, mg.v1)),
        c3(Cross(mg.v1, mg.v2)),
        flip(Dot(mg.v1, c1) < 0 ? -1.0 : 1.0) {}
  Vector operator()(Vector n) const {
    if (moved) {
      n = (c1 * n.x + c2 * n.y + c3 * n.z) * flip;
      Float len = n.GetLength();
      if (len > 0) n = n / len;
    }
    return n;
  }
  bool moved;
  Vector c1, c2, c3;
  Float flip;
};

// Whether WriteObject will write op without refusing it: every polygon's points exist, and every
// point, UV and normal of it (not only those written) is a finite number.
bool Writable(const PolygonObject& op) {
  const Int32 pc = op.GetPointCount(), vc = op.GetPolygonCount();
  const Vector* pts = op.GetPointR();
  const CPolygon* polys = op.GetPolygonR();
  const Matrix mg = op.GetMg();
  const bool moved = !(mg == Matrix());
  for (Int32 p = 0; p < vc; ++p)
    for (Int32 k = 0; k < 4; ++k)
      if (polys[p][k] < 0 || polys[p][k] >= pc) return false;
  for (Int32 i = 0; i < pc; ++i)
    if (!(moved ? mg * pts[i] : pts[i]).IsFinite()) return false;
  if (const UVWTag* uvw = EditedUVWTag(op)) {
    ConstUVWHandle uvData = uvw->GetDataAddressR();
    for (Int32 p = 0; p < vc; ++p) {
      UVWStruct s;
      UVWTag::Get(uvData, p, s);
      if (!s.a.IsFinite() || !s.b.IsFinite() || !s.c.IsFinite() || !s.d.IsFinite()) return false;
    }
  }
  if (const auto* ntag = static_cast<const NormalTag*>(op.GetTag(Tnormal))) {
    const NormalMap map(mg);
    for (Int32 p = 0; p < vc; ++p) {
      const NormalStruct ns = ntag->Get(p);
      for (Int32 k = 0; k < 4; ++k)
        if (ns.Has(k) && !map(ns[k]).IsFinite()) return false;
    }
  }
  return true;
}

// Writes op from the host's data. Everything that can refuse it is found before its first line
// is written.
bool WriteObject(const PolygonObject& op, BaseDocument& doc, obj::Output& sink, WriteState& state,
                 std::string& error) {
  const Int32 pc = op.GetPointCount(), vc = op.GetPolygonCount();
  const Vector* pts = op.GetPointR();
  const CPolygon* polys = op.GetPolygonR();
  const Matrix mg = op.GetMg();
  const bool moved = !(mg == Matrix());
  const NormalMap normalMap(mg);
  std::string name = OneLine(op.GetName());
  auto fail = [&](const std::string& what) {
    error = "object \"" + name + "\": " + what;
    return false;
  };

  for (Int32 p = 0; p < vc; ++p)
    for (Int32 k = 0; k < 4; ++k)
      if (polys[p][k] < 0 || polys[p][k] >= pc)
        return fail("polygon " + std::to_string(p) + " uses point " + std::to_string(polys[p][k]) +
                    ", which does not exist");

  const std::string& eol = state.eol;
  for (Int32 i = 0; i < pc; ++i)
    if (!(moved ? mg * pts[i] : pts[i]).IsFinite())
      return fail("point " + std::to_string(i) + " is not a finite number");

  const UVWTag* uvw = EditedUVWTag(op);
  const auto* ntag = static_cast<const NormalTag*>(op.GetTag(Tnormal));
  ConstUVWHandle uvData = uvw ? uvw->GetDataAddressR() : ConstUVWHandle();
  std::vector<std::string> materialNames;
  std::vector<const std::string*> polyMaterial = PolygonMaterials(op, doc, materialNames);
  std::vector<std::string> groupLines;
  std::vector<Int32> polyGroup = PolygonGroups(op, groupLines);

  // N-gons whose outline points all belong to their polygons are written from the outline, in
  // the place of their first polygon. cornerOf maps a point to the n-gon polygon corner that
  // uses it (polygon * 4 + corner), filled and cleared per n-gon so that the work stays linear.
  const auto& ngons = op.GetNgons();
  std::vector<Int32> ngonOf(static_cast<size_t>(vc), -1), ngonFirst(ngons.size(), -1);
  std::vector<Int64> cornerOf(static_cast<size_t>(pc), -1);
  auto fillCorners = [&](const PolygonObject::Ngon& ng, bool fill) {
    for (Int32 q : ng.polygons) {
      if (q < 0 || q >= vc) continue;
      for (Int32 k = 0; k < 4; ++k) {
        Int64& slot = cornerOf[static_cast<size_t>(polys[q][k])];
        slot = fill ? (slot < 0 ? Int64(q) * 4 + k : slot) : -1;
      }
    }
  };
  for (size_t g = 0; g < ngons.size(); ++g) {
    const auto& ng = ngons[g];
    bool ok = ng.outline.size() >= 3 && !ng.polygons.empty();
    for (Int32 q : ng.polygons) ok = ok && q >= 0 && q < vc && ngonOf[static_cast<size_t>(q)] < 0;
    if (!ok) continue;
    fillCorners(ng, true);
    for (Int32 pt : ng.outline)
      ok = ok && pt >= 0 && pt < pc && cornerOf[static_cast<size_t>(pt)] >= 0;
    fillCorners(ng, false);
    if (!ok) continue;
    for (Int32 q : ng.polygons) ngonOf[static_cast<size_t>(q)] = static_cast<Int32>(g);
    ngonFirst[g] = *std::min_element(ng.polygons.begin(), ng.polygons.end());
  }

  TripleIndex uvIndex, normalIndex;
  std::vector<Triple> uvList, normalList;
  // An object usually has about one UV per point.
  if (uvw) {
    uvIndex.Expect(static_cast<size_t>(pc));
    uvList.reserve(static_cast<size_t>(pc));
  }
  struct Corner {
    Int32 point, uv, normal;  // 0-based within the object, -1: none
  };
  std::vector<Corner> corners;
  std::vector<size_t> faceEnd;
  std::vector<const std::string*> faceMaterial;
  std::vector<Int32> faceGroup;
  corners.reserve(static_cast<size_t>(vc) * 4);
  faceEnd.reserve(static_cast<size_t>(vc));
  faceMaterial.reserve(static_cast<size_t>(vc));
  faceGroup.reserve(static_cast<size_t>(vc));
  bool finite = true;
  // Per point, the UV and the normal last numbered at one of its corners.
  std::vector<Int32> uvAt(uvw ? static_cast<size_t>(pc) : 0, -1);
  std::vector<Int32> normalAt(ntag ? static_cast<size_t>(pc) : 0, -1);
  // A polygon's UVs; zero beyond the tag.
  const UVWStruct zeroUVs{};
  auto uvsOf = [&](Int32 poly) -> const UVWStruct& {
    return poly < uvData.count ? uvData.data[poly] : zeroUVs;
  };
  auto addCorner = [&](Int32 poly, Int32 k) {
    Corner c{polys[poly][k], -1, -1};
    const size_t point = static_cast<size_t>(c.point);  // checked above
    if (uvw) {
      const Vector& t = uvsOf(poly)[k];
      if (t.IsFinite())
        c.uv = uvIndex.IndexOf(uvList, {t.x, 1.0 - t.y, t.z}, uvAt[point]);
      else
        finite = false;
    }
    NormalStruct ns = ntag ? ntag->Get(poly) : NormalStruct();
    if (ns.Has(k)) {
      const Vector n = normalMap(ns[k]);
      if (n.IsFinite())
        c.normal = normalIndex.IndexOf(normalList, {n.x, n.y, -n.z}, normalAt[point]);
      else
        finite = false;
    }
    corners.push_back(c);
  };
  // How many polygons ahead the UV table is fetched for corners on points not numbered yet: the
  // look-ups of a large object mostly miss the processor's cache, and this lets them overlap.
  constexpr Int32 kAhead = 8;
  for (Int32 p = 0; p < vc; ++p) {
    if (uvw && p + kAhead < vc) {
      const Int32 q = p + kAhead;
      const UVWStruct& s = uvsOf(q);
      for (Int32 k = 0; k < 4; ++k)
        if (uvAt[static_cast<size_t>(polys[q][k])] < 0)
          if (const void* at = uvIndex.SlotOf({s[k].x, 1.0 - s[k].y, s[k].z}))
            __builtin_prefetch(at);
    }
    const Int32 g = ngonOf[static_cast<size_t>(p)];
    if (g >= 0) {
      if (ngonFirst[static_cast<size_t>(g)] != p) continue;
      const auto& ng = ngons[static_cast<size_t>(g)];
      fillCorners(ng, true);
      // File order: the first outline corner, then the others backwards.
      const size_t n = ng.outline.size();
      // A fan from the first corner, as files load, gives each outline place its own polygon
      // corner, so that a point the outline passes twice keeps the UV of each pass.
      const bool fan = IsFan(ng, polys);
      for (size_t i = 0; i < n; ++i) {
        const size_t h = i == 0 ? 0 : n - i;  // place in host order
        const Int64 at = !fan        ? cornerOf[static_cast<size_t>(ng.outline[h])]
                         : h == 0    ? Int64(ng.polygons[0]) * 4
                         : h + 1 < n ? Int64(ng.polygons[h - 1]) * 4 + 1
                                     : Int64(ng.polygons[n - 3]) * 4 + 2;
        addCorner(static_cast<Int32>(at / 4), static_cast<Int32>(at % 4));
      }
      fillCorners(ng, false);
    } else if (polys[p].IsTriangle()) {
      for (Int32 k : {0, 2, 1}) addCorner(p, k);
    } else {
      for (Int32 k : {0, 3, 2, 1}) addCorner(p, k);
    }
    faceEnd.push_back(corners.size());
    faceMaterial.push_back(polyMaterial[static_cast<size_t>(p)]);
    faceGroup.push_back(polyGroup[static_cast<size_t>(p)]);
  }
  if (!finite) return fail("a UV or normal is not a finite number");

  sink.Buffer() += "o " + (name.empty() ? std::string("Polygon") : name) + eol;
  WriteLines(sink, static_cast<size_t>(pc), state.lineBlock, [&](size_t i, std::string& out) {
    const Vector p = moved ? mg * pts[i] : pts[i];
    AppendLine(out, "v", {p.x, p.y, -p.z}, true, eol);
  });
  bool withW = std::any_of(uvList.begin(), uvList.end(), [](const Triple& t) { return t[2] != 0; });
  WriteLines(sink, uvList.size(), state.lineBlock,
             [&](size_t i, std::string& out) { AppendLine(out, "vt", uvList[i], withW, eol); });
  WriteLines(sink, normalList.size(), state.lineBlock,
             [&](size_t i, std::string& out) { AppendLine(out, "vn", normalList[i], true, eol); });
  // A face says its material and group when they differ from the face before it (the first face
  // from what the file said last), so that each line depends only on its face and the one before.
  WriteLines(sink, faceEnd.size(), state.lineBlock, [&](size_t f, std::string& out) {
    const std::string* m = faceMaterial[f];
    const bool known = f > 0 || state.materialKnown;
    const std::string* before = f > 0               ? faceMaterial[f - 1]
                                : state.hasMaterial ? &state.material
                                                    : nullptr;
    if (m && (!known || !before || *before != *m))
      out += "usemtl " + *m + eol;
    else if (!m && (!known || before))
      out += std::string("usemtl ") + kNoMaterial + eol;
    if (faceGroup[f] != (f > 0 ? faceGroup[f - 1] : 0))
      out += "g" + groupLines[static_cast<size_t>(faceGroup[f])] + eol;
    out += 'f';
    for (size_t i = f > 0 ? faceEnd[f - 1] : 0; i < faceEnd[f]; ++i) {
      const Corner& c = corners[i];
      out += ' ';
      AppendInt(out, state.points + c.point + 1);
      if (c.uv >= 0 || c.normal >= 0) out += '/';
      if (c.uv >= 0) AppendInt(out, state.uvs + c.uv + 1);
      if (c.normal >= 0) {
        out += '/';
        AppendInt(out, state.normals + c.normal + 1);
      }
    }
    out += eol;
  });
  if (!faceEnd.empty()) {
    const std::string* last = faceMaterial.back();
    state.materialKnown = true;
    state.hasMaterial = last != nullptr;
    if (last) state.material = *last;
  }
  state.points += pc;
  state.uvs += static_cast<Int64>(uvList.size());
  state.normals += static_cast<Int64>(normalList.size());
  return true;
}

}  // namespace

bool SaveObj(BaseDocument& doc, const std::string& path, std::string& error, std::string* note,
             bool replaceReadOnly, size_t lineBlock) {
  // A save's lists, some made on a second thread, are freed by its end; kept by the allocator,
  // each further save of a 1M-polygon object would hold more of them at its peak.
  const ReleaseAtEnd release;
  const std::vector<PolygonObject*> objects = PolygonObjects(doc);
  WriteState state;
  state.lineBlock = lineBlock;
  std::vector<PolygonObject*> generic;  // written from the host's data
  if (note) note->clear();

  // A loaded file is written as itself when its objects are still in the document, in their
  // order, with the faces they had. Objects added since (anywhere) follow its statements.
  std::string why;
  const std::shared_ptr<const obj::Source> src = SourceOf(doc);
  std::vector<PolygonObject*> own;
  obj::SourceWriter replay;
  bool fromSource = false;
  if (src) {
    const size_t n = src->serials.size();
    std::unordered_map<UInt64, size_t> index;
    for (size_t i = 0; i < n; ++i) index.emplace(src->serials[i], i);
    for (PolygonObject* op : objects) {
      auto it = index.find(op->GetSerial());
      if (it == index.end()) {
        generic.push_back(op);
      } else if (it->second != own.size()) {
        why = "the objects of the file are no longer in the file's order";
        break;
      } else if (obj::Fingerprint(*op) != src->fingerprints[it->second]) {
        why = "the points, polygons or normals of \"" + OneLine(op->GetName()) + "\" changed";
        break;
      } else {
        own.push_back(op);
      }
    }
    if (why.empty() && own.size() < n) why = "an object of the file was removed";
    obj::Tail tail;
    if (why.empty() && replay.Prepare(*src, own, tail, why)) {
      fromSource = true;
      state.points = tail.points;
      state.uvs = tail.uvs;
      state.normals = tail.normals;
      state.eol = tail.eol;
      state.materialKnown = false;
    } else if (note) {
      *note = "written from the host's data, not statement for statement: " + why;
    }
  }
  std::string head;
  if (!fromSource) {
    generic = objects;
    head = "# Pelterra\n";
    std::string libs = OneLine(doc.GetDataInstance()->GetString(OBJ_MTLLIB));
    if (!libs.empty()) head += "mtllib " + libs + "\n";
  }
  // Objects written from the host's data go to the file as they are written when none of them
  // can be refused; otherwise they are written here first, so that one that is refused is
  // refused before the file is touched.
  const bool stream = std::all_of(generic.begin(), generic.end(),
                                  [](const PolygonObject* op) { return Writable(*op); });
  obj::Output early;
  std::int64_t estimate =
      static_cast<std::int64_t>(fromSource ? replay.SizeEstimate() : head.size());
  for (PolygonObject* op : generic) {
    if (stream) {
      estimate += std::int64_t{40} * op->GetPointCount() + std::int64_t{90} * op->GetPolygonCount();
    } else if (!WriteObject(*op, doc, early, state, why)) {
      error = "cannot save " + path + ": " + why;
      return false;
    }
  }
  estimate += static_cast<std::int64_t>(early.Size()) + 2;

  ReplaceOptions replace;
  replace.readOnly = replaceReadOnly;
  Progress progress("saving " + path, estimate);
  replace.onProgress = [&](std::uint64_t written, std::uint64_t) {
    progress.Update(std::min(static_cast<std::int64_t>(written), estimate - 1));
  };
  UInt64 size = 0;
  const bool saved = ReplaceFileWith(
      path,
      [&](const WritePiece& write, std::string& reason) {
        obj::Output text(write);
        if (fromSource) {
          replay.Write(text);
          if (!generic.empty() && !text.Empty() && text.Back() != '\n' && text.Back() != '\r')
            text.Buffer() += state.eol;
        } else {
          text.Put(head);
        }
        if (stream) {
          for (PolygonObject* op : generic)
            if (!WriteObject(*op, doc, text, state, reason)) return false;
        } else {
          text.Put(early.Buffer());
        }
        size = text.Size();
        return text.Finish();
      },
      replace, why);
  if (saved) {
    progress.SetTotal(static_cast<std::int64_t>(size));
    progress.Update(static_cast<std::int64_t>(size));
    return true;
  }
  error = "cannot save " + path + ": " + why;
  return false;
}

std::vector<ObjectSummary> Summarize(BaseDocument& doc) {
  std::vector<ObjectSummary> result;
  ForEachPolygonObject(doc.GetFirstObject(), [&](PolygonObject& op) {
    ObjectSummary s;
    s.name = op.GetName();
    s.points = op.GetPointCount();
    s.ngons = op.GetNgonCount();
    const Int32 vc = op.GetPolygonCount();
    std::vector<char> inNgon(static_cast<size_t>(vc), 0);
    for (const auto& g : op.GetNgons())
      for (Int32 p : g.polygons) inNgon[static_cast<size_t>(p)] = 1;
    const CPolygon* polys = op.GetPolygonR();
    for (Int32 p = 0; p < vc; ++p) {
      if (inNgon[static_cast<size_t>(p)]) continue;
      ++(polys[p].IsTriangle() ? s.triangles : s.quads);
    }
    const UVWTag* uvw = EditedUVWTag(op);
    s.hasUVs = uvw != nullptr;
    if (uvw && vc > 0) {
      ConstUVWHandle h = uvw->GetDataAddressR();
      bool first = true;
      for (Int32 p = 0; p < vc; ++p) {
        UVWStruct r;
        UVWTag::Get(h, p, r);
        for (Int32 k = 0; k < (polys[p].IsTriangle() ? 3 : 4); ++k) {
          const Vector& t = r[k];
          if (first) {
            s.uvMin = s.uvMax = t;
            first = false;
          }
          s.uvMin =
              Vector(std::min(s.uvMin.x, t.x), std::min(s.uvMin.y, t.y), std::min(s.uvMin.z, t.z));
          s.uvMax =
              Vector(std::max(s.uvMax.x, t.x), std::max(s.uvMax.y, t.y), std::max(s.uvMax.z, t.z));
        }
      }
    }
    result.push_back(std::move(s));
  });
  return result;
}

}  // namespace pelterra
