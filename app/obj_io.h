// Wavefront OBJ files as documents: reading with tinyobjloader, writing with exact numbers.
#pragma once

#include <string>
#include <vector>

#include "c4d_basedocument.h"

namespace pelterra {

class Progress;

// Reads path into doc: one polygon object per OBJ object or group, in file order, appended at
// the top level of doc. On failure doc is unchanged and error names the file (and the line
// when known). Warnings (a missing material library ...) go to warnings when given.
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

}  // namespace pelterra
