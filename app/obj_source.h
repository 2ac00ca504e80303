// The file a document was loaded from, kept on the document so that saving writes the same
// statements again with only the host's changes replaced.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_baseobject.h"

namespace pelterra::obj {

struct Source {
  std::string path;                    // absolute
  std::string text;                    // the file's bytes
  size_t start = 0;                    // where the statements begin (past a byte order mark)
  Int64 positions = 0, texCoords = 0;  // v and vt lines
  std::vector<UInt64> serials;         // the host objects made from the file, in order
  std::vector<Int32> blockObject;      // per o block: index into serials, -1: made none
  std::vector<UInt64> fingerprints;    // per host object: its structure when loaded
  std::vector<UInt64> pointPrints;     // per host object: its points and matrix when loaded
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
// The points and the matrix: equal prints mean the object writes the positions it was loaded
// with, so a save need not compare them.
UInt64 PointPrint(const PolygonObject& op);

// Output counts after the source's statements, for the objects written after them.
struct Tail {
  Int64 points = 0, uvs = 0, normals = 0;
  std::string eol = "\n";
};

// A save's text on its way to the file: built in a buffer that is handed on whenever it holds a
// piece, so that a large file is never held whole; long stretches of a file's text go on without
// a copy. Without write, everything stays in the buffer.
class Output {
 public:
  static constexpr size_t kPiece = size_t{1} << 20;
  explicit Output(std::function<bool(std::string_view)> write = {}) : write_(std::move(write)) {}
  // Append here, then call Spill.
  std::string& Buffer() { return buffer_; }
  // Hands the buffer on once it holds a piece.
  void Spill() {
    if (write_ && buffer_.size() >= kPiece) Hand();
  }
  void Put(std::string_view s);
  // Hands the rest on; false when a piece could not be written.
  bool Finish() {
    if (write_) Hand();
    return ok_;
  }
  // The last character so far, 0 when there is none.
  char Back() const { return buffer_.empty() ? last_ : buffer_.back(); }
  bool Empty() const { return buffer_.empty() && handed_ == 0; }
  UInt64 Size() const { return handed_ + buffer_.size(); }

 private:
  void Hand();
  std::function<bool(std::string_view)> write_;
  std::string buffer_;
  char last_ = 0;
  UInt64 handed_ = 0;
  bool ok_ = true;
};

// Writes a loaded file back: Prepare walks the file to find what the host changed and whether
// it can be replayed at all, before anything is written; Write then writes its statements with
// the UVs, point positions and names that objects (the host objects of src.serials, in order)
// hold now. src and objects must outlive the writer.
class SourceWriter {
 public:
  SourceWriter();
  ~SourceWriter();
  // False with why when src cannot be replayed; tail receives the counts for what follows.
  // A large text is walked on two threads, cut at the first line start after its middle;
  // splitAt cuts it at the first line start at or after splitAt instead (npos: one thread), and
  // then also splits the second half's faces between the threads. The result never depends on
  // the cut; twoThreads (when given) tells whether the two threads' walk was used.
  bool Prepare(const Source& src, const std::vector<PolygonObject*>& objects, Tail& tail,
               std::string& why, size_t splitAt = 0, bool* twoThreads = nullptr);
  // About the size of what Write writes, after Prepare.
  size_t SizeEstimate() const;
  void Write(Output& out) const;

 private:
  struct Plan;
  std::unique_ptr<Plan> plan_;
};

// The UVW tag the UV editor edits: the first selected one, else the first.
const UVWTag* EditedUVWTag(const PolygonObject& op);

inline Vector ToHost(const Vector& v) {
  return Vector(v.x, v.y, -v.z);
}
inline Vector UvToHost(const Vector& t) {
  return Vector(t.x, 1.0 - t.y, t.z);
}

}  // namespace pelterra::obj
