#include "gltf_io.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "file_access.h"
#include "gltf_file.h"

namespace fs = std::filesystem;

namespace pelterra {

namespace {

using namespace gltf;

// Accessors without a buffer view are zeros; a count beyond this would only fill memory.
constexpr size_t kMaxZeroFilled = size_t{1} << 24;

struct BufferSource {
  enum Kind { kGlb, kExternal, kDataUri } kind = kGlb;
  std::string path;    // kExternal: the file, absolute
  Span uri;            // kDataUri: the base64 text in the JSON, when it stands there verbatim
  std::string bytes;   // as read
};

// A TEXCOORD accessor as the file holds it.
struct UvAccessor {
  int buffer = -1;  // -1: no buffer view (zeros, possibly sparse)
  ElementLayout layout;
  bool sparse = false;
  Span min, max;                 // where its min and max stand, when present
  std::vector<double> minValue, maxValue;
  std::vector<double> values;    // u, t per element as read
  std::string label;             // "accessor 3 (TEXCOORD_0 of mesh "Cube")"
};

struct ObjectSource {
  UInt64 serial = 0;
  std::string name;
  std::vector<Vector> points;
  std::vector<CPolygon> polygons;
  std::vector<int> sets;  // per UVW tag, in tag order: the accessor it came from
};

struct Source {
  std::string path;  // absolute
  bool glb = false;
  std::string file;  // the file's bytes
  GlbLayout layout;
  size_t jsonBegin = 0, jsonLength = 0;
  std::vector<BufferSource> buffers;
  std::map<int, UvAccessor> accessors;
  std::vector<ObjectSource> objects;
  std::vector<std::string> relative;  // files the JSON names relative to its folder
  std::string Json() const { return file.substr(jsonBegin, jsonLength); }
};

class SourceData : public CustomDataType {
 public:
  static constexpr Int32 kType = 1'100'006;
  explicit SourceData(std::shared_ptr<const Source> s) : source(std::move(s)) {}
  Int32 GetTypeId() const override { return kType; }
  std::unique_ptr<CustomDataType> Clone() const override {
    return std::make_unique<SourceData>(source);
  }
  std::shared_ptr<const Source> source;
};

std::shared_ptr<const Source> SourceOf(BaseDocument& doc) {
  const GeData* d = doc.GetDataInstance()->GetDataPointer(GLTF_SOURCE);
  const auto* s =
      d ? static_cast<const SourceData*>(d->GetCustomDataType(SourceData::kType)) : nullptr;
  return s ? s->source : nullptr;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// What tinygltf reads from disk goes through here: regular files inside the scene's folder only,
// kept so that a save patches the very bytes that were read.
struct FileReads {
  std::string base;  // the scene's folder, absolute
  std::map<std::string, std::string> files;
};

bool InsideBase(const std::string& path, const FileReads& r) {
  return path.size() > r.base.size() && path.compare(0, r.base.size(), r.base) == 0 &&
         path[r.base.size()] == '/';
}

bool FileExistsCb(const std::string& path, void* user) {
  std::error_code ec;
  return InsideBase(path, *static_cast<FileReads*>(user)) && fs::is_regular_file(path, ec);
}

std::string ExpandCb(const std::string& path, void* user) {
  // URIs are percent-encoded; the folder in front of them is not.
  const auto& r = *static_cast<FileReads*>(user);
  if (!InsideBase(path, r)) return path;
  std::string decoded;
  if (!PercentDecode(std::string_view(path).substr(r.base.size()), decoded)) return std::string();
  return r.base + decoded;
}

bool ReadCb(std::vector<unsigned char>* out, std::string* err, const std::string& path,
            void* user) {
  auto& r = *static_cast<FileReads*>(user);
  std::string bytes, why;
  if (!ReadRegularFile(path, bytes, why)) {
    if (err) *err = why;
    return false;
  }
  out->assign(bytes.begin(), bytes.end());
  r.files[path] = std::move(bytes);
  return true;
}

bool WriteCb(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
  return false;
}

// Images are not the host's business: their bytes are neither decoded nor checked.
bool SkipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int,
               const unsigned char*, int, void*) {
  return true;
}

int Components(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR:
      return 1;
    case TINYGLTF_TYPE_VEC2:
      return 2;
    case TINYGLTF_TYPE_VEC3:
      return 3;
    case TINYGLTF_TYPE_VEC4:
      return 4;
    default:
      return 0;
  }
}

bool RangeFits(size_t offset, size_t length, size_t size) {
  return offset <= size && length <= size - offset;
}

// The layout of a buffer view's elements, checked against its buffer.
bool ViewLayout(const tinygltf::Model& m, const std::vector<BufferSource>& buffers, int view,
                size_t byteOffset, size_t count, int componentType, int components,
                bool normalized, bool useStride, ElementLayout& l, int& buffer, std::string& why) {
  const std::string v = "buffer view " + std::to_string(view);
  if (view < 0 || static_cast<size_t>(view) >= m.bufferViews.size()) {
    why = v + " does not exist";
    return false;
  }
  const tinygltf::BufferView& bv = m.bufferViews[static_cast<size_t>(view)];
  if (bv.buffer < 0 || static_cast<size_t>(bv.buffer) >= buffers.size()) {
    why = v + ": buffer " + std::to_string(bv.buffer) + " does not exist";
    return false;
  }
  const size_t size = buffers[static_cast<size_t>(bv.buffer)].bytes.size();
  if (!RangeFits(bv.byteOffset, bv.byteLength, size)) {
    why = v + " lies outside its buffer (" + std::to_string(size) + " bytes)";
    return false;
  }
  l.componentType = componentType;
  l.components = components;
  l.normalized = normalized;
  l.count = count;
  l.offset = byteOffset;
  l.stride = useStride && bv.byteStride ? bv.byteStride : l.ElementSize();
  if (l.stride < l.ElementSize()) {
    why = v + ": byte stride " + std::to_string(l.stride) + " is smaller than an element (" +
          std::to_string(l.ElementSize()) + " bytes)";
    return false;
  }
  if (!l.Fits(bv.byteLength)) {
    why = v + ": " + std::to_string(count) + " elements from byte " + std::to_string(byteOffset) +
          " run past its " + std::to_string(bv.byteLength) + " bytes";
    return false;
  }
  l.offset += bv.byteOffset;
  buffer = bv.buffer;
  return true;
}

// Every element of accessor index as numbers, components after each other, sparse values
// applied; every offset and index checked first.
bool ReadAccessor(const tinygltf::Model& m, const std::vector<BufferSource>& buffers, int index,
                  int wantComponents, std::vector<double>& out, ElementLayout& layout, int& buffer,
                  std::string& why) {
  const std::string a = "accessor " + std::to_string(index);
  if (index < 0 || static_cast<size_t>(index) >= m.accessors.size()) {
    why = a + " does not exist";
    return false;
  }
  const tinygltf::Accessor& acc = m.accessors[static_cast<size_t>(index)];
  const int n = Components(acc.type);
  if (n == 0 || (wantComponents && n != wantComponents)) {
    why = a + ": type " + std::to_string(acc.type) + " where " +
          (wantComponents == 1 ? "SCALAR" : wantComponents == 2 ? "VEC2" : "VEC3") + " is needed";
    return false;
  }
  if (ComponentSize(acc.componentType) == 0) {
    why = a + ": unknown component type " + std::to_string(acc.componentType);
    return false;
  }
  buffer = -1;
  layout = ElementLayout{0, 0, acc.count, acc.componentType, n, acc.normalized};
  if (acc.bufferView >= 0) {
    if (!ViewLayout(m, buffers, acc.bufferView, acc.byteOffset, acc.count, acc.componentType, n,
                    acc.normalized, true, layout, buffer, why)) {
      why = a + ": " + why;
      return false;
    }
    const std::string& bytes = buffers[static_cast<size_t>(buffer)].bytes;
    out.resize(acc.count * static_cast<size_t>(n));
    for (size_t i = 0; i < acc.count; ++i)
      for (int c = 0; c < n; ++c)
        out[i * static_cast<size_t>(n) + static_cast<size_t>(c)] = ReadComponent(bytes, layout, i, c);
  } else {
    if (acc.count > kMaxZeroFilled) {
      why = a + ": " + std::to_string(acc.count) + " elements without a buffer view";
      return false;
    }
    out.assign(acc.count * static_cast<size_t>(n), 0.0);
  }
  if (acc.sparse.isSparse) {
    const size_t sc = acc.sparse.count < 0 ? SIZE_MAX : static_cast<size_t>(acc.sparse.count);
    if (sc > acc.count || acc.sparse.indices.byteOffset < 0 ||
        acc.sparse.values.byteOffset < 0) {
      why = a + ": sparse count " + std::to_string(acc.sparse.count) + " or offsets out of range";
      return false;
    }
    const int ic = acc.sparse.indices.componentType;
    if (ic != kUnsignedByte && ic != kUnsignedShort && ic != kUnsignedInt) {
      why = a + ": sparse indices of component type " + std::to_string(ic);
      return false;
    }
    ElementLayout il, vl;
    int ib = -1, vb = -1;
    if (!ViewLayout(m, buffers, acc.sparse.indices.bufferView,
                    static_cast<size_t>(acc.sparse.indices.byteOffset), sc, ic, 1, false, false, il,
                    ib, why) ||
        !ViewLayout(m, buffers, acc.sparse.values.bufferView,
                    static_cast<size_t>(acc.sparse.values.byteOffset), sc, acc.componentType, n,
                    acc.normalized, false, vl, vb, why)) {
      why = a + ": sparse " + why;
      return false;
    }
    const std::string& ibytes = buffers[static_cast<size_t>(ib)].bytes;
    const std::string& vbytes = buffers[static_cast<size_t>(vb)].bytes;
    for (size_t k = 0; k < sc; ++k) {
      const double at = ReadRaw(ibytes, il, k, 0);
      if (at >= static_cast<double>(acc.count)) {
        why = a + ": sparse index " + std::to_string(static_cast<long long>(at)) +
              " is past its " + std::to_string(acc.count) + " elements";
        return false;
      }
      for (int c = 0; c < n; ++c)
        out[static_cast<size_t>(at) * static_cast<size_t>(n) + static_cast<size_t>(c)] =
            ReadComponent(vbytes, vl, k, c);
    }
  }
  return true;
}

const char* ModeName(int mode) {
  switch (mode) {
    case 0:
      return "points";
    case 1:
      return "lines";
    case 2:
      return "a line loop";
    case 3:
      return "a line strip";
    case 5:
      return "a triangle strip";
    case 6:
      return "a triangle fan";
    default:
      return "an unknown mode";
  }
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

bool IsGltfPath(const std::string& path) {
  const std::string ext = Lower(fs::path(path).extension().string());
  return ext == ".gltf" || ext == ".glb";
}

bool LoadGltf(const std::string& path, BaseDocument& doc, std::string& error,
              std::vector<std::string>* warnings) {
  auto fail = [&](const std::string& why) {
    error = path + ": " + why;
    return false;
  };
  auto src = std::make_shared<Source>();
  std::error_code ec;
  const fs::path abs = fs::absolute(path, ec).lexically_normal();
  src->path = ec ? path : abs.string();
  src->glb = Lower(fs::path(path).extension().string()) == ".glb";
  std::string why;
  if (!ReadRegularFile(path, src->file, why)) {
    error = why;
    return false;
  }
  if (src->glb) {
    if (!ParseGlb(src->file, src->layout, why)) return fail(why);
    src->jsonBegin = src->layout.chunks[0].begin;
    src->jsonLength = src->layout.chunks[0].length;
  } else {
    src->jsonLength = src->file.size();
  }
  const std::string json = src->Json();
  if (json.size() > std::numeric_limits<unsigned>::max()) return fail("too large");

  FileReads reads;
  reads.base = ec ? fs::path(path).parent_path().string() : abs.parent_path().string();
  if (reads.base.empty()) reads.base = ".";
  tinygltf::TinyGLTF loader;
  tinygltf::FsCallbacks callbacks{FileExistsCb, ExpandCb, ReadCb, WriteCb, &reads};
  loader.SetFsCallbacks(callbacks);
  loader.SetImageLoader(SkipImage, nullptr);
  tinygltf::Model model;
  std::string err, warn;
  bool ok;
  try {
    ok = src->glb ? loader.LoadBinaryFromMemory(
                        &model, &err, &warn, reinterpret_cast<const unsigned char*>(src->file.data()),
                        static_cast<unsigned>(src->file.size()), reads.base)
                  : loader.LoadASCIIFromString(&model, &err, &warn, json.data(),
                                               static_cast<unsigned>(json.size()), reads.base);
  } catch (const std::exception& e) {
    ok = false;
    err = e.what();
  }
  if (!ok) {
    while (!err.empty() && (err.back() == '\n' || err.back() == ' ')) err.pop_back();
    for (char& c : err)
      if (c == '\n') c = ';';
    return fail(err.empty() ? "not a glTF 2.0 file" : err);
  }
  JsonSpans spans;
  if (!FindJsonSpans(json, spans)) return fail("the JSON is not well-formed");

  // Where each buffer's bytes live.
  for (size_t i = 0; i < model.buffers.size(); ++i) {
    const tinygltf::Buffer& b = model.buffers[i];
    BufferSource bs;
    const std::string name = "buffer " + std::to_string(i);
    if (b.uri.empty()) {
      if (!src->glb || i != 0 || src->layout.binChunk < 0)
        return fail(name + " has no uri and no binary chunk");
      const GlbChunk& c = src->layout.chunks[static_cast<size_t>(src->layout.binChunk)];
      bs.kind = BufferSource::kGlb;
      bs.bytes = src->file.substr(c.begin, c.length);
    } else if (b.uri.rfind("data:", 0) == 0) {
      bs.kind = BufferSource::kDataUri;
      const Span s = i < spans.bufferUri.size() ? spans.bufferUri[i] : Span();
      const size_t comma = s.Found() ? json.find(',', s.begin) : std::string::npos;
      std::string decoded;
      // Only a URI that stands in the JSON as it reads (no escapes) can be rewritten in place.
      if (comma != std::string::npos && comma < s.end &&
          json.compare(s.begin, s.end - s.begin, b.uri) == 0 &&
          Base64Decode(std::string_view(json).substr(comma + 1, s.end - comma - 1), decoded)) {
        bs.uri = Span{comma + 1, s.end};
        bs.bytes = std::move(decoded);
      } else {
        bs.bytes.assign(b.data.begin(), b.data.end());
      }
    } else {
      bs.kind = BufferSource::kExternal;
      std::string decoded;
      PercentDecode(b.uri, decoded);
      // The path as tinygltf asked for it: the folder, a slash, the decoded URI.
      auto it = reads.files.find(reads.base + "/" + decoded);
      if (it == reads.files.end()) return fail(name + ": " + b.uri + " was not read");
      bs.path = fs::path(it->first).lexically_normal().string();
      bs.bytes = it->second;
      src->relative.push_back(b.uri);
    }
    if (bs.bytes.size() < b.data.size()) return fail(name + " is shorter than its byteLength");
    src->buffers.push_back(std::move(bs));
  }
  for (const tinygltf::Image& img : model.images)
    if (!img.uri.empty() && img.uri.rfind("data:", 0) != 0) src->relative.push_back(img.uri);

  // Names: the first node that shows a mesh names it, else the mesh's own name.
  std::vector<std::string> names(model.meshes.size());
  for (const tinygltf::Node& node : model.nodes)
    if (node.mesh >= 0 && static_cast<size_t>(node.mesh) < names.size() &&
        names[static_cast<size_t>(node.mesh)].empty())
      names[static_cast<size_t>(node.mesh)] = node.name;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i].empty())
      names[i] = !model.meshes[i].name.empty() ? model.meshes[i].name : "mesh " + std::to_string(i);

  std::vector<PolygonObject*> made;
  std::vector<std::string> notes;
  auto drop = [&](const std::string& why2) {
    for (PolygonObject* op : made) {
      BaseObject* b = op;
      BaseObject::Free(b);
    }
    return fail(why2);
  };
  for (size_t mi = 0; mi < model.meshes.size(); ++mi) {
    const tinygltf::Mesh& mesh = model.meshes[mi];
    int triangleSets = 0;
    for (size_t pi = 0; pi < mesh.primitives.size(); ++pi) {
      const tinygltf::Primitive& prim = mesh.primitives[pi];
      const std::string where = "mesh " + Quoted(names[mi]) + " primitive " + std::to_string(pi);
      if (prim.mode != -1 && prim.mode != TINYGLTF_MODE_TRIANGLES) {
        notes.push_back(path + ": " + where + " is " + ModeName(prim.mode) +
                        ", not triangles; kept in the file as it is, not editable");
        continue;
      }
      auto pos = prim.attributes.find("POSITION");
      if (pos == prim.attributes.end()) {
        notes.push_back(path + ": " + where + " has no POSITION; kept in the file as it is");
        continue;
      }
      std::vector<double> points, index;
      ElementLayout layout;
      int buffer;
      if (!ReadAccessor(model, src->buffers, pos->second, 3, points, layout, buffer, why))
        return drop(where + ": " + why);
      const size_t vertices = layout.count;
      if (vertices > static_cast<size_t>(std::numeric_limits<Int32>::max()))
        return drop(where + ": too many vertices");
      if (prim.indices >= 0) {
        if (!ReadAccessor(model, src->buffers, prim.indices, 1, index, layout, buffer, why))
          return drop(where + ": indices: " + why);
        if (layout.componentType != kUnsignedByte && layout.componentType != kUnsignedShort &&
            layout.componentType != kUnsignedInt)
          return drop(where + ": indices of component type " +
                      std::to_string(layout.componentType));
        for (double v : index)
          if (v >= static_cast<double>(vertices))
            return drop(where + ": index " + std::to_string(static_cast<long long>(v)) +
                        " is past its " + std::to_string(vertices) + " vertices");
      } else {
        index.resize(vertices);
        for (size_t i = 0; i < vertices; ++i) index[i] = static_cast<double>(i);
      }
      if (index.size() % 3)
        notes.push_back(path + ": " + where + ": " + std::to_string(index.size() % 3) +
                        " index(es) after the last whole triangle left out");
      const size_t triangles = index.size() / 3;
      if (triangles > static_cast<size_t>(std::numeric_limits<Int32>::max()))
        return drop(where + ": too many triangles");

      // The texture coordinate sets in the order of their numbers.
      std::map<int, int> sets;
      for (const auto& [name, acc] : prim.attributes) {
        if (name.rfind("TEXCOORD_", 0) != 0) continue;
        int n = 0;
        const std::string digits = name.substr(9);
        if (digits.empty() || digits.size() > 6 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
          continue;
        n = std::stoi(digits);
        sets[n] = acc;
      }

      ObjectSource os;
      os.name = triangleSets++ ? names[mi] + "." + std::to_string(triangleSets - 1) : names[mi];
      PolygonObject* op = PolygonObject::Alloc(static_cast<Int32>(vertices),
                                               static_cast<Int32>(triangles));
      made.push_back(op);
      op->SetName(os.name);
      Vector* pw = op->GetPointW();
      for (size_t i = 0; i < vertices; ++i)
        pw[i] = Vector(points[3 * i], points[3 * i + 1], -points[3 * i + 2]);
      CPolygon* poly = op->GetPolygonW();
      for (size_t t = 0; t < triangles; ++t)
        poly[t] = CPolygon(static_cast<Int32>(index[3 * t]), static_cast<Int32>(index[3 * t + 2]),
                           static_cast<Int32>(index[3 * t + 1]));

      BaseTag* pred = nullptr;
      for (const auto& [n, acc] : sets) {
        const std::string label = "accessor " + std::to_string(acc) + " (TEXCOORD_" +
                                  std::to_string(n) + " of mesh " + Quoted(names[mi]) + ")";
        auto known = src->accessors.find(acc);
        if (known == src->accessors.end()) {
          UvAccessor ua;
          if (!ReadAccessor(model, src->buffers, acc, 2, ua.values, ua.layout, ua.buffer, why))
            return drop(where + ": TEXCOORD_" + std::to_string(n) + ": " + why);
          const int ct = ua.layout.componentType;
          if (!(ct == kFloat || (ua.layout.normalized && (ct == kUnsignedByte || ct == kUnsignedShort))))
            return drop(label + ": component type " + std::to_string(ct) +
                        " is not float or normalized unsigned byte or short");
          const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(acc)];
          ua.sparse = a.sparse.isSparse;
          ua.minValue = a.minValues;
          ua.maxValue = a.maxValues;
          const auto ai = static_cast<size_t>(acc);
          if (ai < spans.accessorMin.size()) ua.min = spans.accessorMin[ai];
          if (ai < spans.accessorMax.size()) ua.max = spans.accessorMax[ai];
          ua.label = label;
          known = src->accessors.emplace(acc, std::move(ua)).first;
        }
        const UvAccessor& ua = known->second;
        if (ua.layout.count != vertices)
          return drop(label + ": " + std::to_string(ua.layout.count) + " elements for " +
                      std::to_string(vertices) + " vertices");
        UVWTag* tag = UVWTag::Alloc(static_cast<Int32>(triangles));
        tag->SetName("TEXCOORD_" + std::to_string(n));
        UVWHandle h = tag->GetDataAddressW();
        auto uv = [&](Int32 v) {
          const size_t k = 2 * static_cast<size_t>(v);
          return Vector(ua.values[k], ua.values[k + 1], 0.0);
        };
        for (size_t t = 0; t < triangles; ++t) {
          const CPolygon& p = poly[t];
          UVWTag::Set(h, static_cast<Int32>(t), UVWStruct(uv(p.a), uv(p.b), uv(p.c), uv(p.c)));
        }
        op->InsertTag(tag, pred);
        pred = tag;
        os.sets.push_back(acc);
      }
      os.points.assign(pw, pw + vertices);
      os.polygons.assign(poly, poly + triangles);
      src->objects.push_back(std::move(os));
    }
  }

  BaseObject* pred = static_cast<BaseObject*>(doc.GetObjectHead()->GetLast());
  for (size_t k = 0; k < made.size(); ++k) {
    src->objects[k].serial = made[k]->GetSerial();
    doc.InsertObject(made[k], nullptr, pred);
    pred = made[k];
  }
  doc.GetDataInstance()->SetData(GLTF_SOURCE, GeData(SourceData(std::move(src))));
  if (warnings) {
    if (!warn.empty()) {
      size_t b = 0;
      for (size_t e; (e = warn.find('\n', b)) != std::string::npos; b = e + 1)
        if (e > b) notes.push_back(path + ": " + warn.substr(b, e - b));
      if (b < warn.size()) notes.push_back(path + ": " + warn.substr(b));
    }
    warnings->insert(warnings->end(), notes.begin(), notes.end());
  }
  return true;
}

std::string GltfSourcePath(BaseDocument& doc) {
  auto src = SourceOf(doc);
  return src ? src->path : std::string();
}

namespace {

// Equal, or the same bits: a NaN the file held is still the same value when nothing touched it.
bool Same(double a, double b) {
  return a == b || std::memcmp(&a, &b, sizeof a) == 0;
}
bool SamePoints(const std::vector<Vector>& a, const Vector* b) {
  return std::equal(a.begin(), a.end(), b, [](const Vector& x, const Vector& y) {
    return Same(x.x, y.x) && Same(x.y, y.y) && Same(x.z, y.z);
  });
}

std::vector<PolygonObject*> DocumentPolygons(BaseObject* op) {
  std::vector<PolygonObject*> r;
  for (; op; op = op->GetNext()) {
    if (auto* po = dynamic_cast<PolygonObject*>(op)) r.push_back(po);
    auto down = DocumentPolygons(op->GetDown());
    r.insert(r.end(), down.begin(), down.end());
  }
  return r;
}

std::vector<UVWTag*> UvwTags(PolygonObject& op) {
  std::vector<UVWTag*> r;
  for (BaseTag* t = op.GetFirstTag(); t; t = t->GetNext())
    if (t->GetType() == Tuvw) r.push_back(static_cast<UVWTag*>(t));
  return r;
}

struct Patch {
  size_t begin, end;
  std::string text;
};

std::string ApplyPatches(const std::string& text, std::vector<Patch> patches) {
  std::sort(patches.begin(), patches.end(),
            [](const Patch& a, const Patch& b) { return a.begin < b.begin; });
  std::string out;
  size_t at = 0;
  for (const Patch& p : patches) {
    out.append(text, at, p.begin - at);
    out += p.text;
    at = p.end;
  }
  out.append(text, at, std::string::npos);
  return out;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

}  // namespace

bool SaveGltf(BaseDocument& doc, const std::string& path, std::string& error,
              std::vector<std::string>* notes, bool replaceReadOnly) {
  auto fail = [&](const std::string& why) {
    error = "cannot save " + path + ": " + why;
    return false;
  };
  auto src = SourceOf(doc);
  if (!src)
    return fail("the scene was not loaded from a glTF file; pelterra writes glTF back into the file it "
                "came from and does not convert scenes (save it as .obj)");
  const std::string ext = Lower(fs::path(path).extension().string());
  if (ext != (src->glb ? ".glb" : ".gltf"))
    return fail("the scene came from a " + std::string(src->glb ? ".glb" : ".gltf") +
                " file; converting it to " + (ext.empty() ? "another format" : ext) +
                " is not this tool's job");

  // The objects must be the ones loaded, with the same points, polygons and tag count.
  std::vector<PolygonObject*> objects = DocumentPolygons(doc.GetFirstObject());
  if (objects.size() != src->objects.size())
    return fail("the document has " + std::to_string(objects.size()) + " polygon objects, the file " +
                std::to_string(src->objects.size()) + "; a glTF save writes UV edits only");
  for (size_t k = 0; k < objects.size(); ++k) {
    const ObjectSource& os = src->objects[k];
    PolygonObject& op = *objects[k];
    const std::string who = "object " + Quoted(os.name);
    if (op.GetSerial() != os.serial)
      return fail("the objects are not the ones loaded, or not in their order");
    if (static_cast<size_t>(op.GetPointCount()) != os.points.size() ||
        !SamePoints(os.points, op.GetPointR()))
      return fail(who + ": its points changed; a glTF save writes UV edits only");
    if (static_cast<size_t>(op.GetPolygonCount()) != os.polygons.size() ||
        !std::equal(os.polygons.begin(), os.polygons.end(), op.GetPolygonR()))
      return fail(who + ": its polygons changed; a glTF save writes UV edits only");
    if (UvwTags(op).size() != os.sets.size())
      return fail(who + ": it has " + std::to_string(UvwTags(op).size()) + " UVW tags, the file " +
                  std::to_string(os.sets.size()) + " texture coordinate sets");
  }

  // Per accessor element: the UV the host's corners give it now, when any differs from the file.
  struct Claim {
    bool set = false, changed = false;
    double u = 0, t = 0;
    size_t object = 0;
    Int32 polygon = 0;
  };
  std::map<int, std::vector<Claim>> claims;
  for (size_t k = 0; k < objects.size(); ++k) {
    const ObjectSource& os = src->objects[k];
    const std::vector<UVWTag*> tags = UvwTags(*objects[k]);
    for (size_t s = 0; s < tags.size(); ++s) {
      const int acc = os.sets[s];
      const UvAccessor& ua = src->accessors.at(acc);
      std::vector<Claim>& cl = claims[acc];
      cl.resize(ua.layout.count);
      ConstUVWHandle h = tags[s]->GetDataAddressR();
      if (tags[s]->GetDataCount() != static_cast<Int32>(os.polygons.size()))
        return fail("object " + Quoted(os.name) + ": its UVW tag " + std::to_string(s) +
                    " has another number of records than it has polygons");
      for (size_t p = 0; p < os.polygons.size(); ++p) {
        UVWStruct uvw;
        UVWTag::Get(h, static_cast<Int32>(p), uvw);
        const CPolygon& poly = os.polygons[p];
        for (Int32 c = 0; c < 3; ++c) {
          const auto v = static_cast<size_t>(poly[c]);
          const double u = uvw[c].x, t = uvw[c].y;
          const bool changed = !Same(u, ua.values[2 * v]) || !Same(t, ua.values[2 * v + 1]);
          if (changed && (!std::isfinite(u) || !std::isfinite(t)))
            return fail("object " + Quoted(os.name) + ": polygon " + std::to_string(p) +
                        " has a UV that is not a finite number");
          Claim& m = cl[v];
          const double cu = changed ? u : ua.values[2 * v], ct = changed ? t : ua.values[2 * v + 1];
          if (!m.set) {
            m = Claim{true, changed, cu, ct, k, static_cast<Int32>(p)};
          } else if (!Same(m.u, cu) || !Same(m.t, ct)) {
            return fail(ua.label + ": vertex " + std::to_string(v) + " has different UVs in polygon " +
                        std::to_string(m.polygon) + " of object " +
                        Quoted(src->objects[m.object].name) + " and polygon " + std::to_string(p) +
                        " of object " + Quoted(os.name) +
                        "; a glTF vertex holds one UV, and an edit may not split it");
          } else {
            m.changed = m.changed || changed;
          }
        }
      }
    }
  }

  // The new bytes of each buffer, and the JSON patches.
  std::vector<std::string> bytes;
  for (const BufferSource& b : src->buffers) bytes.push_back(b.bytes);
  std::vector<bool> touched(src->buffers.size(), false);
  std::vector<Patch> patches;
  size_t rounded = 0;
  for (const auto& [acc, cl] : claims) {
    const UvAccessor& ua = src->accessors.at(acc);
    size_t changed = 0, outside = 0;
    std::vector<std::pair<size_t, std::array<Encoded, 2>>> writes;
    for (size_t v = 0; v < cl.size(); ++v) {
      if (!cl[v].changed) continue;
      ++changed;
      std::array<Encoded, 2> e{EncodeUnit(cl[v].u, ua.layout.componentType),
                               EncodeUnit(cl[v].t, ua.layout.componentType)};
      for (const Encoded& x : e) {
        if (!x.fits) ++outside;
        if (!x.exact) ++rounded;
      }
      writes.push_back({v, e});
    }
    if (!changed) continue;
    if (outside)
      return fail(ua.label + ": " + std::to_string(outside) + " edited value(s) " +
                  (ua.layout.componentType == kFloat
                       ? "are not finite or too large for a float"
                       : "fall outside 0..1, which a normalized unsigned integer cannot hold"));
    if (ua.sparse || ua.buffer < 0)
      return fail(ua.label + " is " + (ua.sparse ? "sparse" : "without a buffer view") +
                  "; its edited UVs cannot be written in place");
    const BufferSource& bs = src->buffers[static_cast<size_t>(ua.buffer)];
    if (bs.kind == BufferSource::kDataUri && !bs.uri.Found())
      return fail(ua.label + ": its buffer's data URI is written with escapes; it cannot be "
                  "rewritten in place");
    std::string& out = bytes[static_cast<size_t>(ua.buffer)];
    for (const auto& [v, e] : writes) {
      WriteComponent(out, ua.layout, v, 0, e[0]);
      WriteComponent(out, ua.layout, v, 1, e[1]);
    }
    touched[static_cast<size_t>(ua.buffer)] = true;
    // min and max follow the stored values.
    if (!ua.minValue.empty() || !ua.maxValue.empty()) {
      if (!ua.min.Found() || !ua.max.Found())
        return fail(ua.label + ": its min and max could not be located in the JSON text");
      double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
      for (size_t i = 0; i < ua.layout.count; ++i)
        for (int c = 0; c < 2; ++c) {
          const double x = ReadRaw(out, ua.layout, i, c);
          lo[c] = std::min(lo[c], x);
          hi[c] = std::max(hi[c], x);
        }
      auto array = [&](const double* x, const std::vector<double>& old, const Span& span) {
        if (old.size() == 2 && old[0] == x[0] && old[1] == x[1]) return;
        if (ua.layout.count == 0) return;
        patches.push_back({span.begin, span.end,
                           "[" + MinMaxNumber(x[0], ua.layout.componentType) + "," +
                               MinMaxNumber(x[1], ua.layout.componentType) + "]"});
      };
      array(lo, ua.minValue, ua.min);
      array(hi, ua.maxValue, ua.max);
    }
  }
  if (rounded && notes)
    notes->push_back(std::to_string(rounded) + " edited UV value(s) rounded to what the file's "
                                               "component type holds");

  const std::string json = src->Json();
  std::vector<size_t> external;
  for (size_t i = 0; i < src->buffers.size(); ++i) {
    if (!touched[i] || bytes[i] == src->buffers[i].bytes) continue;
    const BufferSource& bs = src->buffers[i];
    if (bs.kind == BufferSource::kDataUri)
      patches.push_back({bs.uri.begin, bs.uri.end, Base64Encode(bytes[i])});
    else if (bs.kind == BufferSource::kExternal)
      external.push_back(i);
  }

  const bool overSource = SameFile(path, src->path);
  if (!overSource) {
    // Files named relative to the scene must stay beside it.
    std::error_code ec;
    const fs::path dir = fs::absolute(path, ec).lexically_normal().parent_path();
    const bool sameFolder = SameFile(dir.string(), fs::path(src->path).parent_path().string());
    if (!sameFolder && !src->relative.empty())
      return fail("the scene refers to files beside it (" + src->relative.front() +
                  (src->relative.size() > 1 ? " ..." : "") +
                  "); save it in the folder it came from");
    if (!external.empty())
      return fail("the edited UVs live in " + src->buffers[external.front()].path +
                  ", which the source file uses too; save over the source (overwrite) to "
                  "rewrite it");
  }

  std::string content;
  const std::string newJson = ApplyPatches(json, patches);
  if (src->glb) {
    const int bin = src->layout.binChunk;
    std::string binBytes;
    if (bin >= 0) {
      const GlbChunk& c = src->layout.chunks[static_cast<size_t>(bin)];
      binBytes = src->file.substr(c.begin, c.length);
      for (size_t i = 0; i < src->buffers.size(); ++i)
        if (src->buffers[i].kind == BufferSource::kGlb) binBytes.replace(0, bytes[i].size(), bytes[i]);
    }
    // A JSON that got shorter keeps the chunk's length with blanks, so the chunks after it stay
    // where they were.
    std::string paddedJson = newJson;
    if (!patches.empty()) {
      while (!paddedJson.empty() && paddedJson.back() == ' ') paddedJson.pop_back();
      if (paddedJson.size() <= json.size()) paddedJson.resize(json.size(), ' ');
    }
    content = WriteGlb(src->file, src->layout, paddedJson, binBytes);
  } else {
    content = newJson;
  }

  ReplaceOptions options;
  options.readOnly = replaceReadOnly;
  std::string why;
  for (size_t i : external)
    if (!ReplaceFile(src->buffers[i].path, bytes[i], options, why))
      return fail(src->buffers[i].path + ": " + why);
  if (overSource && content == src->file && !external.empty()) return true;
  if (!ReplaceFile(path, content, options, why)) return fail(why);
  return true;
}

namespace {

struct ByteRange {
  size_t begin, end;
};

std::vector<ByteRange> Differences(const std::string& a, const std::string& b) {
  std::vector<ByteRange> r;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    size_t j = i;
    while (j < n && a[j] != b[j]) ++j;
    if (!r.empty() && i - r.back().end < 4)
      r.back().end = j;
    else
      r.push_back({i, j});
    i = j;
  }
  if (a.size() != b.size()) r.push_back({n, std::max(a.size(), b.size())});
  return r;
}

}  // namespace

std::string DescribeGltfChange(const std::string& before, const std::string& after) {
  std::string a, b, why;
  if (!ReadRegularFile(before, a, why) || !ReadRegularFile(after, b, why)) return why;
  const std::vector<ByteRange> diff = Differences(a, b);
  if (diff.empty()) return "the files are the same, byte for byte";
  // The accessors of the binary chunk, to name what the differing bytes hold.
  std::vector<std::pair<ByteRange, std::string>> named;
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  if (LoadGltf(before, *doc, error)) {
    auto src = SourceOf(*doc);
    if (src->glb && src->layout.binChunk >= 0) {
      const size_t bin = src->layout.chunks[static_cast<size_t>(src->layout.binChunk)].begin;
      for (const auto& [acc, ua] : src->accessors)
        if (ua.buffer >= 0 && src->buffers[static_cast<size_t>(ua.buffer)].kind == BufferSource::kGlb &&
            ua.layout.count)
          named.push_back({{bin + ua.layout.offset,
                            bin + ua.layout.offset + (ua.layout.count - 1) * ua.layout.stride +
                                ua.layout.ElementSize()},
                           ua.label});
    }
  }
  BaseDocument::Free(doc);
  std::string out = std::to_string(a.size()) + " and " + std::to_string(b.size()) + " bytes; ";
  size_t count = 0;
  for (const ByteRange& r : diff) count += r.end - r.begin;
  out += std::to_string(count) + " byte(s) in " + std::to_string(diff.size()) + " range(s) differ";
  for (const ByteRange& r : diff) {
    out += "\n  bytes " + std::to_string(r.begin) + ".." + std::to_string(r.end - 1);
    bool inside = false;
    for (const auto& [range, label] : named)
      if (r.begin >= range.begin && r.end <= range.end) {
        out += ": " + label;
        inside = true;
      }
    if (!inside) out += ": outside the texture coordinates";
  }
  return out;
}

std::string DemoGlb() {
  // Three quads, each its own UV island: a wide one along the top of the texture, a small one
  // at the bottom left and one at the bottom right. The outer two span the UVs' bounds.
  struct V {
    float x, y, z, u, t;
  };
  const V verts[] = {
      {0, 0, 0, 0.0625f, 0.4375f},     {2, 0, 0, 0.9375f, 0.4375f},
      {2, 1, 0, 0.9375f, 0.0625f},     {0, 1, 0, 0.0625f, 0.0625f},
      {0, 1.5f, 0, 0.1875f, 0.875f},   {1, 1.5f, 0, 0.4375f, 0.875f},
      {1, 2.5f, 0, 0.4375f, 0.625f},   {0, 2.5f, 0, 0.1875f, 0.625f},
      {1.5f, 1.5f, 0, 0.625f, 0.9375f}, {2.5f, 1.5f, 0, 0.9375f, 0.9375f},
      {2.5f, 2.5f, 0, 0.9375f, 0.5625f}, {1.5f, 2.5f, 0, 0.625f, 0.5625f},
  };
  std::string bin;
  auto put = [&](const void* p, size_t n) { bin.append(static_cast<const char*>(p), n); };
  for (const V& v : verts) put(&v.x, 12);
  for (const V& v : verts) put(&v.u, 8);
  for (std::uint16_t q = 0; q < 3; ++q) {
    const std::uint16_t b = static_cast<std::uint16_t>(4 * q);
    const std::uint16_t index[] = {b, static_cast<std::uint16_t>(b + 1),
                                   static_cast<std::uint16_t>(b + 2), b,
                                   static_cast<std::uint16_t>(b + 2),
                                   static_cast<std::uint16_t>(b + 3)};
    put(index, sizeof index);
  }
  const std::string json =
      R"({"asset":{"version":"2.0","generator":"pelterra demo"},"scene":0,)"
      R"("scenes":[{"nodes":[0]}],"nodes":[{"name":"Islands","mesh":0}],)"
      R"("meshes":[{"name":"islands","primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2}]}],)"
      R"("buffers":[{"byteLength":276}],)"
      R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":144,"target":34962},)"
      R"({"buffer":0,"byteOffset":144,"byteLength":96,"target":34962},)"
      R"({"buffer":0,"byteOffset":240,"byteLength":36,"target":34963}],)"
      R"("accessors":[{"bufferView":0,"componentType":5126,"count":12,"type":"VEC3","min":[0,0,0],"max":[2.5,2.5,0]},)"
      R"({"bufferView":1,"componentType":5126,"count":12,"type":"VEC2","min":[0.0625,0.0625],"max":[0.9375,0.9375]},)"
      R"({"bufferView":2,"componentType":5123,"count":18,"type":"SCALAR"}]})";
  GlbLayout layout;
  layout.chunks = {{kChunkJson, 0, 0}, {kChunkBin, 0, 0}};
  layout.binChunk = 1;
  const std::string header("glTF\x02\0\0\0\0\0\0\0", 12);
  return WriteGlb(header, layout, json, bin);
}

}  // namespace pelterra
