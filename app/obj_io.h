// Wavefront OBJ files as documents: reading with tinyobjloader, writing with exact numbers.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"

namespace pelterra {

class Progress;

// Document setting holding the OBJ material libraries (`mtllib` names, blank-separated).
constexpr Int32 OBJ_MTLLIB = 1'100'001;

// Reads path into doc: one polygon object per OBJ object or group, in file order, appended at
// the top level of doc. On failure doc is unchanged and error names the file (and the line
// when known). Warnings (a missing material library ...) go to warnings when given. progress,
// when given, receives the bytes read so far (its total should be the file's size).
bool LoadObj(const std::string& path, BaseDocument& doc, std::string& error,
             std::vector<std::string>* warnings = nullptr, Progress* progress = nullptr);

// Writes every polygon object of doc to path, through a temporary file renamed into place: a
// failed save leaves any old file as it was.
bool SaveObj(BaseDocument& doc, const std::string& path, std::string& error);

// Counts for `pelterra info`.
struct ObjectSummary {
  std::string name;
  Int32 points = 0, triangles = 0, quads = 0, ngons = 0;
  bool hasUVs = false;
  Vector uvMin, uvMax;  // over every used UV corner; meaningful when hasUVs
};
std::vector<ObjectSummary> Summarize(BaseDocument& doc);

// A mesh as an OBJ file holds it: right-handed space, faces counter-clockwise seen from their
// front, texture v pointing up.
struct ObjCorner {
  Int32 point = 0;
  Int32 uv = -1;      // index into ObjMesh::uvs, -1: none
  Int32 normal = -1;  // index into ObjMesh::normals, -1: none
};
struct ObjMesh {
  std::string name;
  std::vector<Vector> points;
  std::span<const Vector> uvs, normals;
  std::vector<ObjCorner> corners;  // the faces' corners, face after face
  std::vector<Int32> faceEnd;      // end of each face in corners
};

// The polygon object LoadObj makes of mesh: host-space points, polygons, n-gons, a UVW tag when
// a corner has a uv, a NormalTag when a corner has a normal. firstPolygon, when given, receives
// each face's first polygon and then the polygon count. nullptr when the mesh does not fit in
// the host's counts.
PolygonObject* BuildPolygonObject(const ObjMesh& mesh, std::vector<Int32>* firstPolygon = nullptr);

}  // namespace pelterra
