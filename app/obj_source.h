// The file a document was loaded from, kept on the document so that saving writes the same
// statements again with only the host's changes replaced.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_baseobject.h"

namespace pelterra::obj {

struct Source {
  std::string path;                    // absolute
  std::string text;                    // the file's bytes
  size_t start = 0;                    // where the statements begin (past a byte order mark)
  std::vector<UInt64> serials;         // the host objects made from the file, in order
  std::vector<Int32> blockObject;      // per o block: index into serials, -1: made none
  std::vector<UInt64> fingerprints;    // per host object: its structure when loaded
  std::vector<std::string> blockName;  // per o block: the object's name when loaded
};

// The source as document data: copies share it.
class SourceData : public CustomDataType {
 public:
  static constexpr Int32 kType = 1'100'004;
  explicit SourceData(std::shared_ptr<const Source> s) : source(std::move(s)) {}
  Int32 GetTypeId() const override { return kType; }
  std::unique_ptr<CustomDataType> Clone() const override {
    return std::make_unique<SourceData>(source);
  }
  std::shared_ptr<const Source> source;
};

// What the lossless writer cannot write itself: point counts, polygons, n-gons and normals. Two
// objects with the same fingerprint have the same faces as far as the file is concerned.
UInt64 Fingerprint(const PolygonObject& op);

// Output counts after the source's statements, for the objects written after them.
struct Tail {
  Int64 points = 0, uvs = 0, normals = 0;
  std::string eol = "\n";
};

// Writes src's statements to out with the UVs, point positions and names that objects (the host
// objects of src.serials, in order) hold now. False with why when src cannot be replayed.
bool WriteFromSource(const Source& src, const std::vector<PolygonObject*>& objects,
                     std::string& out, Tail& tail, std::string& why);

// The UVW tag the UV editor edits: the first selected one, else the first.
const UVWTag* EditedUVWTag(const PolygonObject& op);

inline Vector ToHost(const Vector& v) {
  return Vector(v.x, v.y, -v.z);
}
inline Vector UvToHost(const Vector& t) {
  return Vector(t.x, 1.0 - t.y, t.z);
}

}  // namespace pelterra::obj
