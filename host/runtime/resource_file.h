// Reader of the resource file syntax: symbol headers, string tables, dialog and description
// layouts. See docs/resources.md.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "c4d_string.h"
#include "ge_math.h"

namespace hostrt {

struct ResToken {
  enum Kind { Word, Number, Text } kind = Word;
  String text;  // the word, the number as written, or the unquoted text
};

// One statement: KEYWORD args... followed by ';' or by a block of statements.
struct ResNode {
  String keyword;
  std::vector<ResToken> args;
  std::vector<ResNode> children;
  bool hasBlock = false;
  Int32 line = 0;

  // First child statement with that keyword, or nullptr.
  const ResNode* Find(const String& keyword) const;
};

struct ResError {
  String file;
  Int32 line = 0;
  String message;
  String ToString() const;
};

// Parses text; on failure returns nothing and fills error.
std::optional<std::vector<ResNode>> ParseResource(const String& text, const String& fileName,
                                                  ResError& error);
std::optional<std::vector<ResNode>> ParseResourceFile(const String& path, ResError& error);

// Symbols of a header: "enum { NAME = 10068, ... };" (also "#define NAME 10068").
std::optional<std::map<String, Int32>> ParseSymbols(const String& text, const String& fileName,
                                                    ResError& error);

// Reads a whole regular file; false when it is not one or cannot be read in full (why, when
// given, says which).
bool ReadTextFile(const String& path, String& out, String* why = nullptr);

}  // namespace hostrt
