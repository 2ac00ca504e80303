// Wavefront OBJ files as documents. A loaded file is written back statement for statement, with
// only the data the host changed replaced (docs/obj.md).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_baseobject.h"

namespace pelterra {

class Progress;

// Document setting holding the OBJ material libraries: the `mtllib` arguments as OBJ writes
// them (blank-separated, a blank inside a name written "\ ").
constexpr Int32 OBJ_MTLLIB = 1'100'001;
// Container flag of the polygon selection tags that hold the OBJ groups (`g`) of an object.
constexpr Int32 OBJ_GROUP = 1'100'002;
// Document setting holding the text of the file the document was loaded from.
constexpr Int32 OBJ_SOURCE = 1'100'003;

// Reads path into doc: one polygon object per `o` block, its groups as polygon selection tags, in
// file order, appended at the top level of doc. On failure doc is unchanged and error names the
// file (and the line when known). Warnings (a missing material library ...) go to warnings when
// given. progress, when given, receives the bytes read so far (its total should be the file's
// size). A document that held no polygon object keeps the file's text, so that SaveObj can write
// it back statement for statement.
bool LoadObj(const std::string& path, BaseDocument& doc, std::string& error,
             std::vector<std::string>* warnings = nullptr, Progress* progress = nullptr);
// LoadObj with the text cut for its two reading threads at the first line start at or after
// splitAt (0: in the middle of a large file only, npos: one thread). The result never depends
// on the cut; tests check that. twoThreads (when given) tells whether the two threads' reading
// was used (a malformed file is read again on one thread, for its first error).
bool LoadObjSplit(const std::string& path, BaseDocument& doc, std::string& error,
                  std::vector<std::string>* warnings, Progress* progress, size_t splitAt,
                  bool* twoThreads = nullptr);

// Writes every polygon object of doc to path, through a temporary file renamed into place: a
// failed save leaves any old file as it was. A document loaded from a file is written as that
// file with the changed UVs and point positions replaced, followed by objects added since; note
// (when given) says why when the file's own statements could not be kept. A target that is not a
// regular file is refused, and so is a read-only one unless replaceReadOnly. Objects written from
// the host's data have their lines formatted on two threads in blocks of lineBlock lines (0: a
// size for large objects, npos: one thread); the text never depends on it, and tests check that.
bool SaveObj(BaseDocument& doc, const std::string& path, std::string& error,
             std::string* note = nullptr, bool replaceReadOnly = false, size_t lineBlock = 0);

// The file doc was loaded from (absolute), or empty.
std::string SourcePath(BaseDocument& doc);

// Counts for `pelterra info`.
struct ObjectSummary {
  std::string name;
  Int32 points = 0, triangles = 0, quads = 0, ngons = 0;
  bool hasUVs = false;
  Vector uvMin, uvMax;  // host convention (v down), over every used UV corner; when hasUVs
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
// the host's counts. The mesh is taken, so that its points and corners can be released before
// the tags are made.
PolygonObject* BuildPolygonObject(ObjMesh mesh, std::vector<Int32>* firstPolygon = nullptr);

}  // namespace pelterra
