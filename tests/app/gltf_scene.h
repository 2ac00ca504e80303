// glTF test scenes written by hand: one buffer, the views and accessors a test asks for, and the
// file in each of the three forms (binary, text with a .bin beside it, text with a data URI).
// The Khronos validator checks what the tests write.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gltf_file.h"

#ifdef _WIN32
#include <tiny_gltf.h>
#endif

namespace gltftest {

enum class Form { kGlb, kExternal, kDataUri };

inline const char* Suffix(Form f) {
  return f == Form::kGlb ? ".glb" : ".gltf";
}

struct Scene {
  std::string bin;
  std::vector<std::string> views, accessors, primitives;
  std::string extra;  // more top-level JSON members, each with a leading comma

  // Appends bytes to the buffer, aligned to four bytes; returns their offset.
  size_t Put(const void* p, size_t n) {
    while (bin.size() % 4) bin.push_back('\0');
    const size_t at = bin.size();
    bin.append(static_cast<const char*>(p), n);
    return at;
  }
  template <typename T>
  size_t Put(const std::vector<T>& v) {
    return Put(v.data(), v.size() * sizeof(T));
  }
  int View(size_t offset, size_t length, size_t stride = 0, int target = 34962) {
    std::string v = "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                    ",\"byteLength\":" + std::to_string(length);
    if (stride) v += ",\"byteStride\":" + std::to_string(stride);
    if (target) v += ",\"target\":" + std::to_string(target);
    views.push_back(v + "}");
    return static_cast<int>(views.size()) - 1;
  }
  // more: further members of the accessor ("min", "max", "normalized", "sparse" ...).
  int Accessor(int view, size_t offset, int componentType, size_t count, const char* type,
               const std::string& more = "") {
    std::string a = "{";
    if (view >= 0) a += "\"bufferView\":" + std::to_string(view) + ",";
    if (offset) a += "\"byteOffset\":" + std::to_string(offset) + ",";
    a += "\"componentType\":" + std::to_string(componentType) + ",\"count\":" +
         std::to_string(count) + ",\"type\":\"" + type + "\"" + more + "}";
    accessors.push_back(a);
    return static_cast<int>(accessors.size()) - 1;
  }
  // attributes: the JSON members inside "attributes".
  void Primitive(const std::string& attributes, int indices = -1, int mode = -1) {
    std::string p = "{\"attributes\":{" + attributes + "}";
    if (indices >= 0) p += ",\"indices\":" + std::to_string(indices);
    if (mode >= 0) p += ",\"mode\":" + std::to_string(mode);
    primitives.push_back(p + "}");
  }

  std::string Json(Form form, const std::string& binName) const {
    std::string padded = bin;
    while (padded.size() % 4) padded.push_back('\0');
    std::string buffer = "{\"byteLength\":" + std::to_string(padded.size());
    if (form == Form::kExternal) buffer += ",\"uri\":\"" + binName + "\"";
    if (form == Form::kDataUri)
      buffer += ",\"uri\":\"data:application/octet-stream;base64," +
                pelterra::gltf::Base64Encode(padded) + "\"";
    buffer += "}";
    auto list = [](const std::vector<std::string>& v) {
      std::string s = "[";
      for (size_t i = 0; i < v.size(); ++i) s += (i ? ",\n    " : "") + v[i];
      return s + "]";
    };
    return "{\n  \"asset\": {\"version\": \"2.0\"},\n  \"scene\": 0,\n"
           "  \"scenes\": [{\"nodes\": [0]}],\n"
           "  \"nodes\": [{\"name\": \"Node\", \"mesh\": 0}],\n"
           "  \"meshes\": [{\"name\": \"mesh\", \"primitives\": " +
           list(primitives) + "}],\n  \"buffers\": [" + buffer + "],\n  \"bufferViews\": " +
           list(views) + ",\n  \"accessors\": " + list(accessors) + extra + "\n}\n";
  }

  // The file's bytes in form; for kExternal, binBytes receives the .bin beside it.
  std::string File(Form form, const std::string& binName, std::string* binBytes = nullptr) const {
    std::string padded = bin;
    while (padded.size() % 4) padded.push_back('\0');
    if (binBytes) *binBytes = padded;
    const std::string json = Json(form, binName);
    if (form != Form::kGlb) return json;
    pelterra::gltf::GlbLayout layout;
    layout.chunks = {{pelterra::gltf::kChunkJson, 0, 0}, {pelterra::gltf::kChunkBin, 0, 0}};
    layout.binChunk = 1;
    return pelterra::gltf::WriteGlb(std::string("glTF\x02\0\0\0\0\0\0\0", 12), layout, json,
                                    padded);
  }

  // Writes the scene as dir/stem.glb or dir/stem.gltf (with dir/stem.bin); returns the path.
  std::string Write(const std::filesystem::path& dir, const std::string& stem, Form form) const {
    std::string binBytes;
    const std::string file = File(form, stem + ".bin", &binBytes);
    const auto path = dir / (stem + Suffix(form));
    std::ofstream(path, std::ios::binary) << file;
    if (form == Form::kExternal) std::ofstream(dir / (stem + ".bin"), std::ios::binary) << binBytes;
    return path.string();
  }
};

// A quad of two triangles with float UVs (u, t): points 0..3, UVs as given.
inline Scene Quad(const std::vector<float>& uv = {0.25f, 0.75f, 0.75f, 0.75f, 0.75f, 0.25f, 0.25f,
                                                   0.25f}) {
  Scene s;
  const std::vector<float> pos = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  const std::vector<std::uint16_t> idx = {0, 1, 2, 0, 2, 3};
  const int pv = s.View(s.Put(pos), pos.size() * 4);
  const int tv = s.View(s.Put(uv), uv.size() * 4);
  const int iv = s.View(s.Put(idx), idx.size() * 2, 0, 34963);
  s.Accessor(pv, 0, 5126, 4, "VEC3", ",\"min\":[0,0,0],\"max\":[1,1,0]");
  float lo[2] = {uv[0], uv[1]}, hi[2] = {uv[0], uv[1]};
  for (size_t i = 0; i < uv.size(); ++i) {
    lo[i % 2] = std::min(lo[i % 2], uv[i]);
    hi[i % 2] = std::max(hi[i % 2], uv[i]);
  }
  auto num = [](float f) {
    char b[32];
    std::snprintf(b, sizeof b, "%.9g", static_cast<double>(f));
    return std::string(b);
  };
  s.Accessor(tv, 0, 5126, 4, "VEC2",
             ",\"min\":[" + num(lo[0]) + "," + num(lo[1]) + "],\"max\":[" + num(hi[0]) + "," +
                 num(hi[1]) + "]");
  s.Accessor(iv, 0, 5123, 6, "SCALAR");
  s.Primitive("\"POSITION\":0,\"TEXCOORD_0\":1", 2);
  return s;
}

#ifdef _WIN32
// The Khronos validator is a node program of the Linux host, which a test under Wine cannot
// start: there tinygltf, an independent reader, reads the file instead, with its checks of
// accessors, views and buffers. "" when it reads without errors or warnings, else what it said.
inline std::string Validate(const std::string& path) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader([](tinygltf::Image*, const int, std::string*, std::string*, int, int,
                           const unsigned char*, int, void*) { return true; },
                        nullptr);
  tinygltf::Model model;
  std::string err, warn;
  const bool binary = path.size() >= 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
  const bool ok = binary ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                         : loader.LoadASCIIFromFile(&model, &err, &warn, path);
  return ok && err.empty() && warn.empty() ? std::string()
                                           : "tinygltf: " + err + warn + (ok ? "" : " (not read)");
}
#else
// Runs the Khronos glTF validator on path: "" when it reports no errors, else its report. A
// validator that is missing or cannot run is a report too, so a test that validates fails.
inline std::string Validate(const std::string& path) {
  const std::string cmd = std::string("node ") + PELTERRA_GLTF_VALIDATE + " " +
                          PELTERRA_GLTF_VALIDATOR + " '" + path + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "cannot run node";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  return rc == 0 ? std::string() : out.empty() ? "the validator failed" : out;
}
#endif

}  // namespace gltftest
