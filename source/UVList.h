// UV list files: the UVs of an object saved as an ASCII or a binary list, and loaded back.
//
// Loading reads the whole list into a working copy of the UVs and writes it back, as one undo
// step, only when the list held up to its end: a damaged list leaves the object as it was.
#pragma once

#include "UVtoolsRegistry.h"
#include "c4d_baseobject.h"
#include "c4d_baseselect.h"
#include "c4d_basetag.h"
#include "c4d_file.h"

class BaseDocument;
class HyperFile;

Bool SaveUVlistAscii();
Bool SaveUVlistBinary();
Bool LoadUVlist();

// The name a file selector offers for the object's UVs: the document's folder, then the object's
// name, "_UV" and the suffix.
Filename DefaultListName(const BaseDocument& doc, const BaseObject& op, const char* suffix);

// The identifier of a binary list's container file: 'temp'.
constexpr Int32 kUVlistIdent = 0x74656D70;

// What a list is read onto: the object's polygons and a working copy of its UVs.
struct UVlistTarget {
  const CPolygon* polys = nullptr;
  Int32 count = 0;
  UVWStruct* uv = nullptr;                // one record per polygon
  const BaseSelect* selection = nullptr;  // only these polygons take UVs; nullptr: all
  Int32 written = 0;                      // records set so far

  Bool IsTriangle(Int32 p) const { return polys[p].c == polys[p].d; }
  Bool Takes(Int32 p) const { return !selection || selection->IsSelected(p); }
};

// The state of the ASCII reader between bytes.
struct UVlistLineReader {
  BaseFile* file = nullptr;
  Int64 length = 0;  // bytes to read
  String line;       // the line so far
  Bool headerSeen = false;
  Vector corner[4];     // the lines of the current group
  Int32 k = 0;          // lines collected
  Int32 e = 4;          // lines the group needs: 3 for a triangle, 4 otherwise
  Int32 p = -1;         // polygon of the last line; -1 when it names none
  Bool spoilt = false;  // a line of the group was unusable: the group is skipped
};

// Reads an ASCII list from reader.file onto target. Each data line is "p u v w"; its polygon p
// decides how many lines make a group (3 for a triangle, 4 otherwise) and a group goes to the
// polygon of its last line: a, b and c from its first three lines and, for a quad, d from the
// fourth (a triangle keeps its d). A group is skipped when one of its lines names no polygon of
// the object, lacks a number or holds one that is not finite, and when its polygon is not
// selected while others are. False when the file is no UV list (no header line beginning with
// "UV_"), a data line has no space (an empty line too), or the file cannot be read; the target
// must then be thrown away.
Bool ReadUVlistAscii(UVlistTarget& target, UVlistLineReader& reader);

// Reads a binary list's container from hf onto target: entries 4i .. 4i + 3 give polygon i's
// corners (d for quads only) for i below -2's count / 4 and the polygon count. A polygon whose
// corners are not all finite keeps its UVs. False when the container does not read or its name
// (-1) does not begin with "UV_".
Bool ReadUVlistBinary(UVlistTarget& target, HyperFile& hf);
