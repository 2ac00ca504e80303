// OBJ text statement by statement: the reader builds documents from it, and the writer walks
// the same text again to write a loaded file back with only the changed data replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ge_math.h"

namespace pelterra::obj {

enum class Kind : std::uint8_t { kOther, kV, kVt, kVn, kF, kL, kP, kO, kG, kUsemtl, kMtllib };

// One corner of an f, l or p element.
struct Corner {
  Int64 v = -1, vt = -1, vn = -1;  // 0-based file indices, -1: none
  std::string_view text;           // the corner as written
  bool relative = false;           // its position index is negative (counted backwards)
  bool vtRelative = false;         // its texture index is negative
};

struct Statement {
  Int64 number = 0;                     // line number, from 1
  size_t begin = 0, end = 0, next = 0;  // in the text: content [begin, end), line end [end, next)
  Kind kind = Kind::kOther;
  std::string_view content;             // the line without its end
  std::vector<std::string_view> words;  // blank-separated; words[0] is the keyword
  std::vector<Corner> corners;          // f, l, p
  Vector value;                         // v, vt, vn: the first three numbers (missing ones 0)
  Int32 numbers = 0;                    // v, vt, vn: how many numbers the line has
  Int64 index = -1;                     // v, vt, vn: 0-based index among the lines of its kind
  Int32 block = -1;            // the object block: -1 before the first, one more at each o line
  bool implicitBlock = false;  // the block holds faces written before any o line
  Int64 firstPolygon = 0;      // f: how many host polygons the block's earlier faces made
};

// Host polygons one face of n corners becomes: a triangle or quad is one, an n-gon a fan.
inline Int64 PolygonsOfFace(size_t n) {
  return n < 3 ? 0 : n <= 4 ? 1 : static_cast<Int64>(n) - 2;
}

// Where a walk starts: the counts of the lines before it.
struct WalkState {
  Int64 line = 0;
  Int64 v = 0, vt = 0, vn = 0;
  Int32 block = -1;
  bool implicit = false;
  Int64 polygons = 0;
};

// Walks the statements of text from start (past a UTF-8 byte order mark), checking each: numbers
// of v, vt and vn lines, corner forms and indices of f, l and p elements.
class Walker {
 public:
  Walker(std::string_view text, size_t start);
  // Walks [start, end) only, counting on from state. With deferred, the indices of f, l and p
  // corners are checked for their form but not against the counts (which a walk of the middle
  // of a file does not know): Corner::v, vt and vn then hold the index as written (1-based, or
  // negative when relative; vt and vn 0 when absent), for the caller to check later.
  Walker(std::string_view text, size_t start, size_t end, const WalkState& state, bool deferred);
  // The next statement; false at the end, or with error set when the line is malformed (the
  // message names no file or line; Line() has the number).
  bool Next(Statement& s, std::string& error);
  // Leaves the numbers of v, vt and vn lines unread (Statement::value stays 0), for walks over
  // a text that an earlier walk has checked and whose values it has.
  void SkipValues() { skipValues_ = true; }
  // Leaves the numbers of v lines unread, for a walk that compares only texture coordinates.
  void SkipPositions() { skipPositions_ = true; }
  // Also leaves the corners of plain f lines unread: such a statement has no words past its key,
  // no corners and no polygon numbers, for walks that need nothing from the faces.
  void SkipFaces() { skipFaces_ = skipValues_ = true; }
  // Reads every line through the general word split, without the quick read of plain v, vt, vn
  // and f lines; both give the same statements.
  void ReadPlainly() { plain_ = true; }
  Int64 Line() const { return line_; }
  size_t Position() const { return pos_; }
  Int64 Positions() const { return v_; }
  Int64 TexCoords() const { return vt_; }
  Int64 Normals() const { return vn_; }

 private:
  bool Quick(Statement& s);
  void InBlock();

  std::string_view text_;
  size_t pos_;
  bool deferred_ = false;
  bool skipValues_ = false;
  bool skipPositions_ = false;
  bool skipFaces_ = false;
  bool plain_ = false;
  Int64 line_ = 0;
  Int64 v_ = 0, vt_ = 0, vn_ = 0;
  Int32 block_ = -1;
  bool implicit_ = false;
  Int64 polygons_ = 0;  // host polygons of the current block so far
};

// Texts from this size on are walked by two threads, each taking one half.
constexpr size_t kTwoThreadBytes = size_t{1} << 20;

// Where the second thread's half of text starts: the first line start at or after the middle (or
// at or after splitAt when given), npos for one thread (splitAt npos, or a text below
// kTwoThreadBytes or a machine of one core when splitAt is 0).
size_t SplitPoint(std::string_view text, size_t start, size_t splitAt);

// Words of a name line after its keyword, as one name: "o  Two Words " -> "Two Words".
std::string RestOfLine(const Statement& s);
// mtllib names: blanks separate them, "\ " is a blank inside a name.
std::vector<std::string> MtlLibNames(std::string_view args);
std::string EscapeMtlName(const std::string& name);
// Shortest text that reads back as v, without "-0".
void AppendNumber(std::string& out, double v);

}  // namespace pelterra::obj
