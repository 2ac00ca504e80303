// glTF 2.0 scenes (.gltf with its buffers, or binary .glb) as documents. Saving writes the edited
// texture coordinates back into the bytes they were read from and keeps everything else
// (docs/gltf.md).
#pragma once

#include <string>
#include <vector>

#include "c4d_basedocument.h"

namespace pelterra {

// Document setting holding the glTF file the document was loaded from.
constexpr Int32 GLTF_SOURCE = 1'100'005;

// Whether path names a glTF file by its suffix (.gltf or .glb, any case).
bool IsGltfPath(const std::string& path);

// Reads path into doc, which must hold no polygon object yet: one polygon object per triangle
// primitive, with one UVW tag per TEXCOORD_n set. On failure doc is unchanged and error names
// the file. Primitives that are not triangles are kept in the file and reported in warnings.
bool LoadGltf(const std::string& path, BaseDocument& doc, std::string& error,
              std::vector<std::string>* warnings = nullptr);

// Writes doc, loaded by LoadGltf, to path (of the same kind, .gltf or .glb): the file's bytes
// with only the texture coordinates the host changed replaced, and their accessors' min and max.
// Refused, with nothing written, when the objects' points, polygons or tags changed, when an
// edit cannot be held in place, or when path is not a glTF file of the source's kind. notes
// receives what was rounded. A read-only target is refused unless replaceReadOnly.
bool SaveGltf(BaseDocument& doc, const std::string& path, std::string& error,
              std::vector<std::string>* notes = nullptr, bool replaceReadOnly = false);

// The glTF file doc was loaded from (absolute), or empty.
std::string GltfSourcePath(BaseDocument& doc);

// What differs between two versions of a glTF file, in words: the byte ranges that differ, and
// for a binary file or an external buffer the accessors whose bytes they fall in.
std::string DescribeGltfChange(const std::string& before, const std::string& after);

// A small binary glTF scene for the demo: two quads of one mesh whose UVs form two islands.
std::string DemoGlb();

}  // namespace pelterra
