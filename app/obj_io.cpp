#include "obj_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>
#include <map>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <unordered_map>

#include "c4d_basetag.h"
#include "progress.h"

namespace pelterra {

namespace {

namespace fs = std::filesystem;

std::string Trim(std::string_view s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(a, b - a + 1));
}

std::string At(const std::string& path, Int64 line) {
  return line > 0 ? path + ":" + std::to_string(line) + ": " : path + ": ";
}

// The file's lines as tinyobjloader splits them: "\n", "\r\n" and a lone "\r" end a line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size())
      pos_ += text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n' ? 2 : 1;
    ++number_;
    return true;
  }
  Int64 Number() const { return number_; }
  size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  Int64 number_ = 0;
};

// Number of the line that holds byte pos (its line end included).
Int64 LineAt(std::string_view text, size_t pos) {
  LineReader lines(text);
  std::string_view line;
  while (lines.Next(line))
    if (lines.Position() > pos) return lines.Number();
  return lines.Number();
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t i = 0;
  while (true) {
    while (i < line.size() && blank(line[i])) ++i;
    if (i == line.size()) break;
    size_t e = i;
    while (e < line.size() && !blank(line[e])) ++e;
    words.push_back(line.substr(i, e - i));
    i = e;
  }
}

// A finite decimal number, correctly rounded; a leading '+' is allowed.
bool ParseNumber(std::string_view w, double& out) {
  if (w.starts_with('+')) {
    w.remove_prefix(1);
    if (w.starts_with('-')) return false;
  }
  const char* end = w.data() + w.size();
  auto r = std::from_chars(w.data(), end, out, std::chars_format::general);
  return !w.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool ParseIndex(std::string_view w, int& out) {
  if (w.starts_with('+')) {
    w.remove_prefix(1);
    if (w.starts_with('-')) return false;
  }
  const char* end = w.data() + w.size();
  auto r = std::from_chars(w.data(), end, out);
  return !w.empty() && r.ec == std::errc() && r.ptr == end;
}

// The numbers of the v, vt and vn lines. tinyobjloader's own number reading is not correctly
// rounded ("0.3" comes out as 0.30000000000000004), so the values are taken from here, where
// every number is checked anyway, and saved files read back exactly.
struct Numbers {
  std::vector<Vector> positions, uvs, normals;
};

// Line by line check of the v, vt, vn and f lines, which tinyobjloader reads leniently (a word
// that is not a number becomes 0, an index out of range is passed on).
bool CheckLines(std::string_view text, const std::string& path, Numbers& nums, std::string& error,
                Progress* progress) {
  LineReader lines(text);
  std::string_view line;
  std::vector<std::string_view> words;
  auto fail = [&](const std::string& what) {
    error = At(path, lines.Number()) + what;
    return false;
  };
  auto readNumbers = [&](const char* key, size_t min, size_t max, Vector& v) {
    size_t n = words.size() - 1;
    if (n < min || n > max) {
      std::string want =
          min == max ? std::to_string(min) : std::to_string(min) + " to " + std::to_string(max);
      return fail(std::string(key) + " needs " + want + " numbers, found " + std::to_string(n));
    }
    double vals[3] = {0, 0, 0};
    for (size_t i = 1; i <= n; ++i) {
      double d = 0;
      if (!ParseNumber(words[i], d))
        return fail(std::string(key) + ": \"" + std::string(words[i]) + "\" is not a number");
      if (i <= 3) vals[i - 1] = d;
    }
    v = Vector(vals[0], vals[1], vals[2]);
    return true;
  };
  // Checks one index of a face corner against the entries read so far.
  auto checkIndex = [&](size_t corner, std::string_view w, const char* what, size_t count) {
    int idx = 0;
    std::string at = "face corner " + std::to_string(corner) + ": ";
    if (!ParseIndex(w, idx))
      return fail(at + what + " index \"" + std::string(w) + "\" is not a whole number");
    if (idx == 0) return fail(at + what + " index 0 is invalid (indices start at 1)");
    if ((idx > 0 && static_cast<size_t>(idx) > count) ||
        (idx < 0 && static_cast<size_t>(-static_cast<Int64>(idx)) > count))
      return fail(at + what + " " + std::to_string(idx) + " does not exist (" +
                  std::to_string(count) + " so far)");
    return true;
  };

  size_t lineCount = 0;
  while (lines.Next(line)) {
    if (progress && (++lineCount & 0xFFFF) == 0)
      progress->Update(static_cast<std::int64_t>(lines.Position() / 2));
    SplitWords(line, words);
    if (words.empty()) continue;
    const std::string_view key = words[0];
    Vector v;
    if (key == "v") {
      if (!readNumbers("v", 3, 7, v)) return false;
      nums.positions.push_back(v);
    } else if (key == "vt") {
      if (!readNumbers("vt", 1, 3, v)) return false;
      nums.uvs.push_back(v);
    } else if (key == "vn") {
      if (!readNumbers("vn", 3, 3, v)) return false;
      nums.normals.push_back(v);
    } else if (key == "f") {
      if (words.size() < 4)
        return fail("face has " + std::to_string(words.size() - 1) +
                    " corners; a face needs at least 3");
      for (size_t i = 1; i < words.size(); ++i) {
        std::string_view w = words[i];
        size_t s1 = w.find('/');
        size_t s2 = s1 == std::string_view::npos ? s1 : w.find('/', s1 + 1);
        bool bad = s2 != std::string_view::npos && w.find('/', s2 + 1) != std::string_view::npos;
        std::string_view pv = w.substr(0, s1), tv, nv;
        if (s1 != std::string_view::npos) {
          tv =
              w.substr(s1 + 1, s2 == std::string_view::npos ? std::string_view::npos : s2 - s1 - 1);
          if (s2 != std::string_view::npos) {
            nv = w.substr(s2 + 1);
            bad = bad || nv.empty();
          } else {
            bad = bad || tv.empty();
          }
        }
        if (bad || pv.empty())
          return fail("face corner \"" + std::string(w) +
                      "\" is not of the form v, v/vt, v//vn or v/vt/vn");
        if (!checkIndex(i, pv, "position", nums.positions.size())) return false;
        if (!tv.empty() && !checkIndex(i, tv, "texture coordinate", nums.uvs.size())) return false;
        if (!nv.empty() && !checkIndex(i, nv, "normal", nums.normals.size())) return false;
      }
    }
  }
  return true;
}

// The file's bytes as a stream for tinyobjloader, telling how far it has read.
class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(char* begin, char* end) { setg(begin, begin, end); }
  size_t Position() const { return static_cast<size_t>(gptr() - eback()); }
};

// Keeps the material library names; the libraries' contents are not used. Answers "not
// loaded" so that tinyobjloader hands over every name of an mtllib line.
class MtlLibNames : public tinyobj::MaterialReader {
 public:
  MtlLibNames(const fs::path& folder, const std::string& objPath, std::string_view text,
              const MemoryBuffer& buffer)
      : folder_(folder), objPath_(objPath), text_(text), buffer_(buffer) {}
  bool operator()(const std::string& name, std::vector<tinyobj::material_t>*,
                  std::map<std::string, int>*, std::string*, std::string*) override {
    std::string n = Trim(name);
    if (n.empty() || std::find(names.begin(), names.end(), n) != names.end()) return false;
    names.push_back(n);
    std::error_code ec;
    if (!fs::is_regular_file(folder_ / n, ec))
      // tinyobjloader has just read the line's end.
      warnings.push_back(At(objPath_, LineAt(text_, buffer_.Position() - 1)) + "mtllib " + n +
                         ": not found");
    return false;
  }
  std::vector<std::string> names, warnings;

 private:
  fs::path folder_;
  std::string objPath_;
  std::string_view text_;
  const MemoryBuffer& buffer_;
};

// The usemtl name that switches back to no material.
constexpr const char* kNoMaterial = "(null)";

// What the tinyobjloader callbacks collect: faces per object or group, with file indices.
struct Collector {
  struct Group {
    std::string name;
    std::vector<ObjCorner> corners;  // point, uv, normal: 0-based file indices
    std::vector<Int32> faceEnd;
    std::vector<Int32> faceMaterial;  // index into materials, -1: none
  };
  std::string stem;
  std::vector<Group> groups;
  std::vector<std::string> materials;
  std::unordered_map<std::string, Int32> materialIndex;
  Int32 material = -1;
  Int64 positions = 0, uvs = 0, normals = 0;
  bool tooLarge = false;
  const MemoryBuffer* buffer = nullptr;
  size_t size = 0;
  Progress* progress = nullptr;
  Int64 faces = 0;

  void StartGroup(std::string name) {
    groups.push_back({name.empty() ? stem : std::move(name), {}, {}, {}});
  }
  static Int32 Resolve(int idx, Int64 count) {
    if (idx == 0) return -1;
    return static_cast<Int32>(idx > 0 ? idx - 1 : count + idx);
  }
};

Collector& Of(void* user) {
  return *static_cast<Collector*>(user);
}

tinyobj::callback_t Callbacks() {
  tinyobj::callback_t cb;
  cb.vertex_cb = [](void* u, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    ++Of(u).positions;
  };
  cb.texcoord_cb = [](void* u, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) { ++Of(u).uvs; };
  cb.normal_cb = [](void* u, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    ++Of(u).normals;
  };
  cb.index_cb = [](void* u, tinyobj::index_t* idx, int n) {
    Collector& c = Of(u);
    if (c.groups.empty()) c.StartGroup(c.stem);
    Collector::Group& g = c.groups.back();
    if (g.corners.size() + static_cast<size_t>(n) >
        static_cast<size_t>(std::numeric_limits<Int32>::max())) {
      c.tooLarge = true;
      return;
    }
    for (int i = 0; i < n; ++i)
      g.corners.push_back({Collector::Resolve(idx[i].vertex_index, c.positions),
                           Collector::Resolve(idx[i].texcoord_index, c.uvs),
                           Collector::Resolve(idx[i].normal_index, c.normals)});
    g.faceEnd.push_back(static_cast<Int32>(g.corners.size()));
    g.faceMaterial.push_back(c.material);
    if (c.progress && (++c.faces & 0xFFF) == 0)
      c.progress->Update(static_cast<std::int64_t>(c.size / 2 + c.buffer->Position() / 2));
  };
  cb.usemtl_cb = [](void* u, const char* name, int) {
    Collector& c = Of(u);
    std::string n = Trim(name);
    if (n.empty() || n == kNoMaterial) {
      c.material = -1;
      return;
    }
    auto [it, added] = c.materialIndex.emplace(n, static_cast<Int32>(c.materials.size()));
    if (added) c.materials.push_back(n);
    c.material = it->second;
  };
  cb.group_cb = [](void* u, const char** names, int n) {
    std::string joined;
    for (int i = 0; i < n; ++i) joined += (i ? " " : "") + Trim(names[i]);
    Of(u).StartGroup(Trim(joined));
  };
  cb.object_cb = [](void* u, const char* name) { Of(u).StartGroup(Trim(name)); };
  return cb;
}

Vector ToHost(const Vector& v) {
  return Vector(v.x, v.y, -v.z);
}

Vector UvToHost(const Vector& t) {
  return Vector(t.x, 1.0 - t.y, t.z);
}

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

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = path + ": is a folder, not an OBJ file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  std::stringstream all;
  all << in.rdbuf();
  if (in.bad() || all.bad()) {
    error = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  text = std::move(all).str();
  return true;
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

PolygonObject* BuildPolygonObject(const ObjMesh& mesh, std::vector<Int32>* firstPolygon) {
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

  UVWTag* uvw = hasUV ? UVWTag::Alloc(static_cast<Int32>(polyCount)) : nullptr;
  NormalTag* normals = hasNormal ? NormalTag::Alloc(static_cast<Int32>(polyCount)) : nullptr;
  UVWHandle uvData = uvw ? uvw->GetDataAddressW() : UVWHandle();
  CPolygon* polys = op->GetPolygonW();
  std::vector<PolygonObject::Ngon> ngons;
  if (firstPolygon) firstPolygon->clear();

  Int32 poly = 0;
  start = 0;
  std::vector<const ObjCorner*> order;
  for (Int32 end : mesh.faceEnd) {
    const Int32 n = end - start;
    if (firstPolygon) firstPolygon->push_back(poly);
    if (n < 3) {
      start = end;
      continue;
    }
    // Host order: the first corner stays, the others are reversed.
    order.clear();
    order.push_back(&mesh.corners[static_cast<size_t>(start)]);
    for (Int32 i = end - 1; i > start; --i) order.push_back(&mesh.corners[static_cast<size_t>(i)]);
    auto uvOf = [&](const ObjCorner* c) {
      return c->uv >= 0 && static_cast<size_t>(c->uv) < mesh.uvs.size()
                 ? UvToHost(mesh.uvs[static_cast<size_t>(c->uv)])
                 : Vector();
    };
    auto put = [&](std::initializer_list<Int32> k) {
      const Int32* c = k.begin();
      const bool tri = k.size() == 3;
      CPolygon& p = polys[poly];
      p = tri ? CPolygon(order[c[0]]->point, order[c[1]]->point, order[c[2]]->point)
              : CPolygon(order[c[0]]->point, order[c[1]]->point, order[c[2]]->point,
                         order[c[3]]->point);
      if (uvw) {
        UVWStruct s(uvOf(order[c[0]]), uvOf(order[c[1]]), uvOf(order[c[2]]), Vector());
        s.d = tri ? s.c : uvOf(order[c[3]]);
        UVWTag::Set(uvData, poly, s);
      }
      if (normals) {
        NormalStruct s;
        for (Int32 i = 0; i < static_cast<Int32>(k.size()); ++i) {
          Int32 nidx = order[c[i]]->normal;
          if (nidx >= 0 && static_cast<size_t>(nidx) < mesh.normals.size())
            s.Set(i, ToHost(mesh.normals[static_cast<size_t>(nidx)]));
        }
        if (tri && s.Has(2)) s.Set(3, s.c);
        normals->Set(poly, s);
      }
      ++poly;
    };
    if (n == 3) {
      put({0, 1, 2});
    } else if (n == 4) {
      put({0, 1, 2, 3});
    } else {
      PolygonObject::Ngon g;
      for (const ObjCorner* c : order) g.outline.push_back(c->point);
      for (Int32 i = 1; i + 1 < n; ++i) {
        g.polygons.push_back(poly);
        put({0, i, i + 1});
      }
      ngons.push_back(std::move(g));
    }
    start = end;
  }
  if (firstPolygon) firstPolygon->push_back(poly);
  op->SetNgons(std::move(ngons));
  if (uvw) op->InsertTag(uvw, LastTag(op));
  if (normals) op->InsertTag(normals, LastTag(op));
  return op;
}

bool LoadObj(const std::string& path, BaseDocument& doc, std::string& error,
             std::vector<std::string>* warnings, Progress* progress) {
  std::string text;
  if (!ReadFile(path, text, error) || !CheckText(text, path, error)) return false;
  size_t bom = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 mark is harmless; skip it
  std::string_view body = std::string_view(text).substr(bom);

  Numbers nums;
  if (!CheckLines(body, path, nums, error, progress)) return false;

  Collector col;
  col.stem = fs::path(path).stem().string();
  col.size = body.size();
  col.progress = progress;
  MemoryBuffer buffer(text.data() + bom, text.data() + text.size());
  col.buffer = &buffer;
  std::istream in(&buffer);
  MtlLibNames mtl(fs::path(path).parent_path(), path, body, buffer);
  std::string warn, err;
  tinyobj::LoadObjWithCallback(in, Callbacks(), &col, &mtl, &warn, &err);
  if (col.tooLarge) {
    error = path + ": an object has more face corners than the host can hold";
    return false;
  }
  if (col.positions != static_cast<Int64>(nums.positions.size()) ||
      col.uvs != static_cast<Int64>(nums.uvs.size()) ||
      col.normals != static_cast<Int64>(nums.normals.size())) {
    error = path + ": tinyobjloader and the line check disagree on the number of v, vt or vn lines";
    return false;
  }

  // Build every object before touching doc, so that a failure leaves it as it was.
  std::vector<PolygonObject*> objects;
  std::vector<std::vector<Int32>> firstPolygons;
  std::vector<const Collector::Group*> sources;
  std::vector<Int32> local(nums.positions.size(), -1);
  for (Collector::Group& g : col.groups) {
    if (g.faceEnd.empty()) continue;
    ObjMesh mesh;
    mesh.name = g.name;
    mesh.uvs = nums.uvs;
    mesh.normals = nums.normals;
    std::vector<Int32> used;
    used.reserve(g.corners.size());
    for (const ObjCorner& c : g.corners) used.push_back(c.point);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    mesh.points.reserve(used.size());
    for (Int32 p : used) {
      local[static_cast<size_t>(p)] = static_cast<Int32>(mesh.points.size());
      mesh.points.push_back(nums.positions[static_cast<size_t>(p)]);
    }
    mesh.corners = std::move(g.corners);
    for (ObjCorner& c : mesh.corners) c.point = local[static_cast<size_t>(c.point)];
    for (Int32 p : used) local[static_cast<size_t>(p)] = -1;
    mesh.faceEnd = std::move(g.faceEnd);
    std::vector<Int32> first;
    PolygonObject* op = BuildPolygonObject(mesh, &first);
    if (!op) {
      for (BaseObject* o : objects) BaseObject::Free(o);
      error = path + ": object \"" + g.name + "\" has more polygons than the host can hold";
      return false;
    }
    objects.push_back(op);
    firstPolygons.push_back(std::move(first));
    sources.push_back(&g);
  }

  // Materials: one per name in the document, reused when the document has it already.
  std::vector<BaseMaterial*> materials;
  BaseMaterial* lastMaterial = doc.GetFirstMaterial();
  while (lastMaterial && lastMaterial->GetNext())
    lastMaterial = static_cast<BaseMaterial*>(lastMaterial->GetNext());
  for (const std::string& name : col.materials) {
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
    materials.push_back(found);
  }

  for (size_t o = 0; o < objects.size(); ++o) {
    PolygonObject* op = objects[o];
    const std::vector<Int32>& faceMaterial = sources[o]->faceMaterial;
    const std::vector<Int32>& first = firstPolygons[o];
    std::vector<Int32> usedMaterials;
    std::vector<SelectionTag*> selections(col.materials.size(), nullptr);
    for (size_t f = 0; f < faceMaterial.size(); ++f) {
      Int32 m = faceMaterial[f];
      if (m < 0) continue;
      SelectionTag*& sel = selections[static_cast<size_t>(m)];
      if (!sel) {
        sel = SelectionTag::Alloc(Tpolygonselection);
        sel->SetName(col.materials[static_cast<size_t>(m)]);
        usedMaterials.push_back(m);
      }
      if (first[f + 1] > first[f]) sel->GetBaseSelect()->SelectAll(first[f], first[f + 1] - 1);
    }
    for (Int32 m : usedMaterials) {
      op->InsertTag(selections[static_cast<size_t>(m)], LastTag(op));
      TextureTag* tex = TextureTag::Alloc();
      tex->SetMaterial(materials[static_cast<size_t>(m)]);
      tex->GetDataInstance()->SetString(TEXTURETAG_RESTRICTION,
                                        col.materials[static_cast<size_t>(m)]);
      op->InsertTag(tex, LastTag(op));
    }
  }

  BaseObject* pred = static_cast<BaseObject*>(doc.GetObjectHead()->GetLast());
  for (PolygonObject* op : objects) {
    doc.InsertObject(op, nullptr, pred);
    pred = op;
  }

  if (!mtl.names.empty()) {
    BaseContainer* bc = doc.GetDataInstance();
    std::string libs = bc->GetString(OBJ_MTLLIB);
    std::vector<std::string_view> have;
    SplitWords(libs, have);
    std::string add;
    for (const std::string& n : mtl.names)
      if (std::find(have.begin(), have.end(), n) == have.end()) add += (add.empty() ? "" : " ") + n;
    if (!add.empty()) bc->SetString(OBJ_MTLLIB, libs.empty() ? add : libs + " " + add);
  }
  if (warnings) {
    warnings->insert(warnings->end(), mtl.warnings.begin(), mtl.warnings.end());
    if (objects.empty()) warnings->push_back(path + ": no faces, nothing to load");
  }
  if (progress) progress->Update(static_cast<std::int64_t>(body.size()));
  return true;
}

// --- writing ---

namespace {

void AppendNumber(std::string& out, double v) {
  if (v == 0.0) v = 0.0;  // no "-0"
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

std::string OneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return Trim(s);
}

// The UVW tag the UV editor edits: the first selected one, else the first.
const UVWTag* EditedUVWTag(const PolygonObject& op) {
  const UVWTag* first = nullptr;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tuvw) continue;
    if (t->GetBit(BIT_ACTIVE)) return static_cast<const UVWTag*>(t);
    if (!first) first = static_cast<const UVWTag*>(t);
  }
  return first;
}

// Material name of each polygon from the texture tags (a later tag wins); nullptr: none.
std::vector<const std::string*> PolygonMaterials(const PolygonObject& op, BaseDocument& doc,
                                                 std::vector<std::string>& names) {
  std::vector<const std::string*> result(static_cast<size_t>(op.GetPolygonCount()), nullptr);
  std::vector<std::pair<const BaseTag*, size_t>> texTags;
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
      if (s->GetType() != Tpolygonselection || s->GetName() != restriction) continue;
      const BaseSelect* sel = static_cast<SelectionTag*>(s)->GetBaseSelect();
      Int32 a = 0, b = 0;
      for (Int32 seg = 0; sel->GetRange(seg, op.GetPolygonCount(), &a, &b); ++seg)
        for (Int32 p = a; p <= b; ++p) result[static_cast<size_t>(p)] = name;
      break;
    }
  }
  return result;
}

// 0666 less the process's umask, read without changing it.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("Umask:"))
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 0666 & ~mask;
}

bool WriteAtomically(const std::string& path, const std::string& content, std::string& error) {
  std::string tmp = path + ".tmp-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot save " + path + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(tmp.c_str());
    error = "cannot save " + path + ": " + std::strerror(err);
    return false;
  };
  const char* p = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : EIO);
    p += n;
    left -= static_cast<size_t>(n);
  }
  struct stat old;
  mode_t mode =
      ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? old.st_mode & 07777 : NewFileMode();
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return fail(errno);
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) return fail(errno);
  // Make the rename itself durable.
  std::string folder = fs::path(path).parent_path().string();
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

// What runs on from one object to the next: line counts and the current material.
struct WriteState {
  Int64 points = 0, uvs = 0, normals = 0;
  bool hasMaterial = false;
  std::string material;
};

using Triple = std::array<Float, 3>;
struct TripleHash {
  size_t operator()(const Triple& t) const {
    std::hash<Float> h;
    return h(t[0]) ^ (h(t[1]) * 31) ^ (h(t[2]) * 961);
  }
};
using TripleIndex = std::unordered_map<Triple, Int32, TripleHash>;

// Index of v in list, appending it when new.
Int32 IndexOf(TripleIndex& map, std::vector<Triple>& list, const Triple& v) {
  auto [it, added] = map.emplace(v, static_cast<Int32>(list.size()));
  if (added) list.push_back(v);
  return it->second;
}

void AppendLine(std::string& out, const char* key, const Triple& t, bool third) {
  out += key;
  for (int i = 0; i < (third ? 3 : 2); ++i) {
    out += ' ';
    AppendNumber(out, t[static_cast<size_t>(i)]);
  }
  out += '\n';
}

bool WriteObject(const PolygonObject& op, BaseDocument& doc, std::string& out, WriteState& state,
                 std::string& error) {
  const Int32 pc = op.GetPointCount(), vc = op.GetPolygonCount();
  const Vector* pts = op.GetPointR();
  const CPolygon* polys = op.GetPolygonR();
  const Matrix mg = op.GetMg();
  const bool moved = !(mg == Matrix());
  // Normals follow the cofactor matrix, turned round when the matrix mirrors.
  const Vector c1 = Cross(mg.v2, mg.v3), c2 = Cross(mg.v3, mg.v1), c3 = Cross(mg.v1, mg.v2);
  const Float flip = Dot(mg.v1, c1) < 0 ? -1.0 : 1.0;
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

  out += "o " + (name.empty() ? std::string("Polygon") : name) + "\n";
  for (Int32 i = 0; i < pc; ++i) {
    Vector p = moved ? mg * pts[i] : pts[i];
    if (!p.IsFinite()) return fail("point " + std::to_string(i) + " is not a finite number");
    AppendLine(out, "v", {p.x, p.y, -p.z}, true);
  }

  const UVWTag* uvw = EditedUVWTag(op);
  const auto* ntag = static_cast<const NormalTag*>(op.GetTag(Tnormal));
  ConstUVWHandle uvData = uvw ? uvw->GetDataAddressR() : ConstUVWHandle();
  std::vector<std::string> materialNames;
  std::vector<const std::string*> polyMaterial = PolygonMaterials(op, doc, materialNames);

  // N-gons whose outline points all belong to their polygons are written from the outline.
  const auto& ngons = op.GetNgons();
  std::vector<Int32> ngonOf(static_cast<size_t>(vc), -1);
  for (size_t g = 0; g < ngons.size(); ++g) {
    const auto& ng = ngons[g];
    bool ok = ng.outline.size() >= 3;
    for (Int32 pt : ng.outline) {
      bool found = false;
      for (Int32 p : ng.polygons)
        for (Int32 k = 0; k < 4 && !found; ++k) found = polys[p][k] == pt;
      ok = ok && found;
    }
    if (ok)
      for (Int32 p : ng.polygons) ngonOf[static_cast<size_t>(p)] = static_cast<Int32>(g);
  }

  TripleIndex uvIndex, normalIndex;
  std::vector<Triple> uvList, normalList;
  struct Corner {
    Int32 point, uv, normal;  // 0-based within the object, -1: none
  };
  std::vector<Corner> corners;
  std::vector<size_t> faceEnd;
  std::vector<const std::string*> faceMaterial;
  bool finite = true;
  auto addCorner = [&](Int32 poly, Int32 k) {
    Corner c{polys[poly][k], -1, -1};
    if (uvw) {
      UVWStruct s;
      UVWTag::Get(uvData, poly, s);
      const Vector& t = s[k];
      if (t.IsFinite())
        c.uv = IndexOf(uvIndex, uvList, {t.x, 1.0 - t.y, t.z});
      else
        finite = false;
    }
    NormalStruct ns = ntag ? ntag->Get(poly) : NormalStruct();
    if (ns.Has(k)) {
      Vector n = ns[k];
      if (moved) {
        n = (c1 * n.x + c2 * n.y + c3 * n.z) * flip;
        Float len = n.GetLength();
        if (len > 0) n = n / len;
      }
      if (n.IsFinite())
        c.normal = IndexOf(normalIndex, normalList, {n.x, n.y, -n.z});
      else
        finite = false;
    }
    corners.push_back(c);
  };
  for (Int32 p = 0; p < vc; ++p) {
    Int32 g = ngonOf[static_cast<size_t>(p)];
    if (g >= 0) {
      const auto& ng = ngons[static_cast<size_t>(g)];
      if (*std::min_element(ng.polygons.begin(), ng.polygons.end()) != p) continue;
      // File order: the first outline corner, then the others backwards.
      const size_t n = ng.outline.size();
      for (size_t i = 0; i < n; ++i) {
        Int32 pt = ng.outline[i == 0 ? 0 : n - i];
        bool done = false;
        for (Int32 q : ng.polygons)
          for (Int32 k = 0; k < 4 && !done; ++k)
            if (polys[q][k] == pt) {
              addCorner(q, k);
              done = true;
            }
      }
    } else if (polys[p].IsTriangle()) {
      for (Int32 k : {0, 2, 1}) addCorner(p, k);
    } else {
      for (Int32 k : {0, 3, 2, 1}) addCorner(p, k);
    }
    faceEnd.push_back(corners.size());
    faceMaterial.push_back(polyMaterial[static_cast<size_t>(p)]);
  }
  if (!finite) return fail("a UV or normal is not a finite number");

  bool withW = std::any_of(uvList.begin(), uvList.end(), [](const Triple& t) { return t[2] != 0; });
  for (const Triple& t : uvList) AppendLine(out, "vt", t, withW);
  for (const Triple& n : normalList) AppendLine(out, "vn", n, true);
  size_t start = 0;
  for (size_t f = 0; f < faceEnd.size(); ++f) {
    const std::string* m = faceMaterial[f];
    if (m && (!state.hasMaterial || state.material != *m)) {
      out += "usemtl " + *m + "\n";
      state.hasMaterial = true;
      state.material = *m;
    } else if (!m && state.hasMaterial) {
      out += std::string("usemtl ") + kNoMaterial + "\n";
      state.hasMaterial = false;
    }
    out += 'f';
    for (size_t i = start; i < faceEnd[f]; ++i) {
      const Corner& c = corners[i];
      out += ' ' + std::to_string(state.points + c.point + 1);
      if (c.uv >= 0 || c.normal >= 0) out += '/';
      if (c.uv >= 0) out += std::to_string(state.uvs + c.uv + 1);
      if (c.normal >= 0) out += '/' + std::to_string(state.normals + c.normal + 1);
    }
    out += '\n';
    start = faceEnd[f];
  }
  state.points += pc;
  state.uvs += static_cast<Int64>(uvList.size());
  state.normals += static_cast<Int64>(normalList.size());
  return true;
}

}  // namespace

bool SaveObj(BaseDocument& doc, const std::string& path, std::string& error) {
  std::string out = "# Pelterra\n";
  std::string libs = OneLine(doc.GetDataInstance()->GetString(OBJ_MTLLIB));
  if (!libs.empty()) out += "mtllib " + libs + "\n";
  WriteState state;
  bool ok = true;
  std::string why;
  ForEachPolygonObject(doc.GetFirstObject(), [&](PolygonObject& op) {
    if (ok) ok = WriteObject(op, doc, out, state, why);
  });
  if (!ok) {
    error = "cannot save " + path + ": " + why;
    return false;
  }
  return WriteAtomically(path, out, error);
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
