// The byte level of glTF 2.0 files: the binary container's chunks, where values stand in the
// JSON text, data URIs and the elements of accessors. Saving patches the bytes it read, so
// everything it does not change stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelterra::gltf {

constexpr int kByte = 5120, kUnsignedByte = 5121, kShort = 5122, kUnsignedShort = 5123,
              kUnsignedInt = 5125, kFloat = 5126;

// Bytes of one component of componentType, 0 for an unknown type.
size_t ComponentSize(int componentType);

// A binary container: 12-byte header, then chunks of (length, type, data).
struct GlbChunk {
  std::uint32_t type = 0;
  size_t begin = 0, length = 0;  // the chunk's data within the file
};
constexpr std::uint32_t kChunkJson = 0x4E4F534A, kChunkBin = 0x004E4942;
struct GlbLayout {
  std::vector<GlbChunk> chunks;  // in file order; the first is the JSON chunk
  int binChunk = -1;             // index into chunks of the first BIN chunk, -1: none
};
// Reads the container's header and chunk table. False with why for a wrong magic number or
// version, a length that disagrees with the file, a chunk past the end, or a first chunk that is
// not JSON.
bool ParseGlb(std::string_view file, GlbLayout& out, std::string& why);
// The container again with the JSON chunk's data replaced by json (padded with blanks to four
// bytes) and the BIN chunk's data replaced by bin (same length); other chunks as they were.
std::string WriteGlb(std::string_view file, const GlbLayout& layout, std::string_view json,
                     std::string_view bin);

// Where values stand in a glTF JSON text, as [begin, end) byte ranges; begin == end == npos
// where the value is absent. The uri span is the string's content, without its quotes.
struct Span {
  size_t begin = std::string_view::npos, end = std::string_view::npos;
  bool Found() const { return begin != std::string_view::npos; }
};
struct JsonSpans {
  std::vector<Span> accessorMin, accessorMax;  // per accessor
  std::vector<Span> bufferUri;                 // per buffer
};
// False when the text is not well-formed JSON or nests deeper than 512 levels.
bool FindJsonSpans(std::string_view json, JsonSpans& out);

std::string Base64Encode(std::string_view bytes);
// False for characters outside the alphabet or a length that is not a whole number of groups.
bool Base64Decode(std::string_view text, std::string& bytes);
// %XX escapes of a URI decoded; false for a malformed escape.
bool PercentDecode(std::string_view uri, std::string& out);

// Elements of an accessor as laid out in a buffer: element i's components start at
// offset + i * stride.
struct ElementLayout {
  size_t offset = 0, stride = 0, count = 0;
  int componentType = kFloat;
  int components = 2;
  bool normalized = false;
  size_t ElementSize() const { return ComponentSize(componentType) * static_cast<size_t>(components); }
  // Whether every element lies within size bytes (overflow-safe).
  bool Fits(size_t size) const;
};
// Component c of element i as a number: floats as they are, normalized integers scaled to
// 0..1 (-1..1 for signed), other integers as they are. The layout must fit the bytes.
double ReadComponent(std::string_view bytes, const ElementLayout& l, size_t i, int c);
// Component c of element i as stored (the integer itself for integer types).
double ReadRaw(std::string_view bytes, const ElementLayout& l, size_t i, int c);

// A value encoded for a component type: its bytes and whether it could be held at all.
struct Encoded {
  bool fits = false;    // false: outside the type's range (or not finite)
  bool exact = false;   // the stored value reads back as the value given
  unsigned char bytes[4] = {};
};
// value for a float or normalized unsigned byte / short component (texture coordinate types).
Encoded EncodeUnit(double value, int componentType);
// The same components written back into bytes at element i, component c.
void WriteComponent(std::string& bytes, const ElementLayout& l, size_t i, int c, const Encoded& e);

// A number as glTF's min and max show it: integers without a fraction, floats in the shortest
// form that reads back to the same single-precision value.
std::string MinMaxNumber(double value, int componentType);

}  // namespace pelterra::gltf
