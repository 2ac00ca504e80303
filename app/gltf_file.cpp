#include "gltf_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace pelterra::gltf {

size_t ComponentSize(int componentType) {
  switch (componentType) {
    case kByte:
    case kUnsignedByte:
      return 1;
    case kShort:
    case kUnsignedShort:
      return 2;
    case kUnsignedInt:
    case kFloat:
      return 4;
    default:
      return 0;
  }
}

namespace {

std::uint32_t Le32(std::string_view s, size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(k)]);
  return v;
}

void PutLe32(std::string& s, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>(v >> (8 * k) & 0xFF));
}

}  // namespace

bool ParseGlb(std::string_view file, GlbLayout& out, std::string& why) {
  out = {};
  if (file.size() < 12) {
    why = "truncated binary glTF: " + std::to_string(file.size()) + " bytes, the header needs 12";
    return false;
  }
  if (Le32(file, 0) != 0x46546C67) {
    why = "not a binary glTF file (wrong magic number)";
    return false;
  }
  if (Le32(file, 4) != 2) {
    why = "binary glTF version " + std::to_string(Le32(file, 4)) + " is not supported (only 2)";
    return false;
  }
  const size_t length = Le32(file, 8);
  if (length != file.size()) {
    why = "the header says " + std::to_string(length) + " bytes, the file has " +
          std::to_string(file.size()) + (length > file.size() ? " (truncated)" : "");
    return false;
  }
  size_t at = 12;
  while (at < length) {
    if (length - at < 8) {
      why = "truncated chunk header at byte " + std::to_string(at);
      return false;
    }
    GlbChunk c;
    c.length = Le32(file, at);
    c.type = Le32(file, at + 4);
    c.begin = at + 8;
    if (c.length > length - c.begin) {
      why = "chunk " + std::to_string(out.chunks.size()) + " runs past the end of the file";
      return false;
    }
    if (out.chunks.empty() && c.type != kChunkJson) {
      why = "the first chunk is not JSON";
      return false;
    }
    if (c.type == kChunkBin && out.binChunk < 0) out.binChunk = static_cast<int>(out.chunks.size());
    out.chunks.push_back(c);
    at = c.begin + c.length;
  }
  if (out.chunks.empty()) {
    why = "no JSON chunk";
    return false;
  }
  return true;
}

std::string WriteGlb(std::string_view file, const GlbLayout& layout, std::string_view json,
                     std::string_view bin) {
  std::string body;
  for (size_t k = 0; k < layout.chunks.size(); ++k) {
    const GlbChunk& c = layout.chunks[k];
    std::string data(file.substr(c.begin, c.length));
    if (k == 0) {
      data.assign(json);
      while (data.size() % 4) data.push_back(' ');
    } else if (static_cast<int>(k) == layout.binChunk) {
      data.assign(bin);
    }
    PutLe32(body, static_cast<std::uint32_t>(data.size()));
    PutLe32(body, c.type);
    body += data;
  }
  std::string out(file.substr(0, 8));
  PutLe32(out, static_cast<std::uint32_t>(12 + body.size()));
  return out + body;
}

namespace {

// Walks a JSON text and notes the spans of accessors[i].min / max and buffers[i].uri.
class SpanScanner {
 public:
  SpanScanner(std::string_view s, JsonSpans& out) : s_(s), out_(out) {}

  bool Document() {
    Blank();
    if (!Value(0, Where::kTop, 0)) return false;
    Blank();
    return i_ == s_.size();
  }

 private:
  enum class Where { kTop, kAccessors, kBuffers, kAccessor, kBuffer, kOther };
  std::string_view s_;
  JsonSpans& out_;
  size_t i_ = 0;

  void Blank() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool Eat(char c) {
    Blank();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  // A string; [b, e) receives its content without the quotes.
  bool String(size_t& b, size_t& e) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    b = ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      if (static_cast<unsigned char>(s_[i_]) < 0x20) return false;
      if (s_[i_] == '\\') ++i_;
      ++i_;
    }
    if (i_ >= s_.size()) return false;
    e = i_++;
    return true;
  }
  bool Literal() {
    const size_t b = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                              s_[i_] == '+' || s_[i_] == '.'))
      ++i_;
    return i_ > b;
  }
  bool Value(int depth, Where where, size_t index) {
    if (depth > 512) return false;
    Blank();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      if (Eat('}')) return true;
      do {
        Blank();
        size_t kb = 0, ke = 0;
        if (!String(kb, ke) || !Eat(':')) return false;
        const std::string_view key = s_.substr(kb, ke - kb);
        Where inner = Where::kOther;
        if (where == Where::kTop && key == "accessors") inner = Where::kAccessors;
        if (where == Where::kTop && key == "buffers") inner = Where::kBuffers;
        Blank();
        const size_t vb = i_;
        if (!Value(depth + 1, inner, 0)) return false;
        Span span{vb, i_};
        if (where == Where::kAccessor && (key == "min" || key == "max"))
          Put(key == "min" ? out_.accessorMin : out_.accessorMax, index, span);
        if (where == Where::kBuffer && key == "uri" && s_[vb] == '"')
          Put(out_.bufferUri, index, Span{vb + 1, i_ - 1});
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      ++i_;
      if (Eat(']')) return true;
      size_t k = 0;
      do {
        const Where inner = where == Where::kAccessors ? Where::kAccessor
                            : where == Where::kBuffers ? Where::kBuffer
                                                       : Where::kOther;
        if (inner != Where::kOther) {
          auto& list = inner == Where::kAccessor ? out_.accessorMin : out_.bufferUri;
          if (list.size() <= k) list.resize(k + 1);
          if (inner == Where::kAccessor && out_.accessorMax.size() <= k)
            out_.accessorMax.resize(k + 1);
        }
        if (!Value(depth + 1, inner, k++)) return false;
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"') {
      size_t b = 0, e = 0;
      return String(b, e);
    }
    return Literal();
  }
  static void Put(std::vector<Span>& list, size_t index, Span span) {
    if (list.size() <= index) list.resize(index + 1);
    list[index] = span;
  }
};

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

bool FindJsonSpans(std::string_view json, JsonSpans& out) {
  out = {};
  return SpanScanner(json, out).Document();
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                            static_cast<unsigned char>(bytes[i + 2]);
    for (int k = 3; k >= 0; --k) out.push_back(kAlphabet[v >> (6 * k) & 63]);
  }
  const size_t rest = bytes.size() - i;
  if (rest) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out.push_back(kAlphabet[v >> 18 & 63]);
    out.push_back(kAlphabet[v >> 12 & 63]);
    out.push_back(rest == 2 ? kAlphabet[v >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4) return false;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t v = 0;
    int pad = 0;
    for (size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      int d;
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        ++pad;
        d = 0;
      } else {
        if (pad) return false;  // data after padding
        const char* p = c ? std::strchr(kAlphabet, c) : nullptr;
        if (!p) return false;
        d = static_cast<int>(p - kAlphabet);
      }
      v = v << 6 | static_cast<std::uint32_t>(d);
    }
    bytes.push_back(static_cast<char>(v >> 16 & 0xFF));
    if (pad < 2) bytes.push_back(static_cast<char>(v >> 8 & 0xFF));
    if (pad < 1) bytes.push_back(static_cast<char>(v & 0xFF));
  }
  return true;
}

bool PercentDecode(std::string_view uri, std::string& out) {
  out.clear();
  auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] != '%') {
      out.push_back(uri[i]);
      continue;
    }
    if (i + 2 >= uri.size() || hex(uri[i + 1]) < 0 || hex(uri[i + 2]) < 0) return false;
    out.push_back(static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2])));
    i += 2;
  }
  return true;
}

bool ElementLayout::Fits(size_t size) const {
  const size_t elem = ElementSize();
  if (elem == 0 || count == 0) return elem != 0 && offset <= size;
  if (offset > size || elem > size - offset) return false;
  const size_t room = size - offset - elem;  // bytes left for the strides after the first
  return stride == 0 ? true : (count - 1) <= room / stride;
}

namespace {

const unsigned char* At(std::string_view bytes, const ElementLayout& l, size_t i, int c) {
  return reinterpret_cast<const unsigned char*>(bytes.data()) + l.offset + i * l.stride +
         static_cast<size_t>(c) * ComponentSize(l.componentType);
}

}  // namespace

double ReadRaw(std::string_view bytes, const ElementLayout& l, size_t i, int c) {
  const unsigned char* p = At(bytes, l, i, c);
  switch (l.componentType) {
    case kByte:
      return static_cast<signed char>(p[0]);
    case kUnsignedByte:
      return p[0];
    case kShort:
      return static_cast<std::int16_t>(p[0] | p[1] << 8);
    case kUnsignedShort:
      return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    case kUnsignedInt:
      return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
             static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    case kFloat: {
      std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                        static_cast<std::uint32_t>(p[2]) << 16 |
                        static_cast<std::uint32_t>(p[3]) << 24;
      float f;
      std::memcpy(&f, &v, 4);
      return f;
    }
    default:
      return 0;
  }
}

double ReadComponent(std::string_view bytes, const ElementLayout& l, size_t i, int c) {
  const double raw = ReadRaw(bytes, l, i, c);
  if (!l.normalized) return raw;
  switch (l.componentType) {
    case kByte:
      return std::max(raw / 127.0, -1.0);
    case kUnsignedByte:
      return raw / 255.0;
    case kShort:
      return std::max(raw / 32767.0, -1.0);
    case kUnsignedShort:
      return raw / 65535.0;
    case kUnsignedInt:
      return raw / 4294967295.0;
    default:
      return raw;
  }
}

Encoded EncodeUnit(double value, int componentType) {
  Encoded e;
  if (!std::isfinite(value)) return e;
  if (componentType == kFloat) {
    if (std::fabs(value) > std::numeric_limits<float>::max()) return e;
    const float f = static_cast<float>(value);
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    for (int k = 0; k < 4; ++k) e.bytes[k] = static_cast<unsigned char>(v >> (8 * k) & 0xFF);
    e.fits = true;
    e.exact = static_cast<double>(f) == value;
    return e;
  }
  const double max = componentType == kUnsignedByte    ? 255.0
                     : componentType == kUnsignedShort ? 65535.0
                                                       : 0.0;
  if (max == 0.0 || value < 0.0 || value > 1.0) return e;
  const auto k = static_cast<std::uint32_t>(std::lround(value * max));
  e.bytes[0] = static_cast<unsigned char>(k & 0xFF);
  e.bytes[1] = static_cast<unsigned char>(k >> 8 & 0xFF);
  e.fits = true;
  e.exact = static_cast<double>(k) / max == value;
  return e;
}

void WriteComponent(std::string& bytes, const ElementLayout& l, size_t i, int c, const Encoded& e) {
  const size_t at = l.offset + i * l.stride + static_cast<size_t>(c) * ComponentSize(l.componentType);
  std::memcpy(bytes.data() + at, e.bytes, ComponentSize(l.componentType));
}

std::string MinMaxNumber(double value, int componentType) {
  char buf[64];
  std::to_chars_result r;
  if (componentType == kFloat)
    r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(value));
  else
    r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value));
  return std::string(buf, r.ptr);
}

}  // namespace pelterra::gltf
