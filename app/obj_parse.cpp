#include "obj_parse.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <utility>

namespace pelterra::obj {

namespace {

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  size_t i = 0;
  while (true) {
    while (i < line.size() && Blank(line[i])) ++i;
    if (i == line.size()) break;
    size_t e = i;
    while (e < line.size() && !Blank(line[e])) ++e;
    words.push_back(line.substr(i, e - i));
    i = e;
  }
}

// A finite decimal number, correctly rounded; a leading '+' is allowed.
bool ParseNumber(std::string_view w, double& out) {
  if (w.starts_with('+')) {
    w.remove_prefix(1);
    if (w.starts_with('-')) return false;
  }
  const char* end = w.data() + w.size();
  auto r = std::from_chars(w.data(), end, out, std::chars_format::general);
  if (!w.empty() && r.ec == std::errc::result_out_of_range && r.ptr == end) {
    // Too small for a normal double (1e-400) rounds to zero or a subnormal; too large stays
    // refused as infinite.
    out = std::strtod(std::string(w).c_str(), nullptr);
    return std::isfinite(out);
  }
  return !w.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

// A plain decimal ("-12.5", "0.0071", "3e-4") whose digits fit 53 bits and whose power of ten is
// at most 22: both are exact doubles, so one product or quotient rounds the value correctly, to
// the double from_chars gives. nullptr for anything else, which from_chars then reads.
const char* QuickNumber(const char* q, const char* e, double& out) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr UInt64 kMax = UInt64{1} << 53;
  auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
  const bool negative = q < e && *q == '-';
  if (negative) ++q;
  UInt64 w = 0;
  int k = 0;
  bool any = false;
  for (; q < e && digit(*q) < 10; ++q, any = true)
    if ((w = w * 10 + digit(*q)) > kMax) return nullptr;
  if (q < e && *q == '.')
    for (++q; q < e && digit(*q) < 10; ++q, --k, any = true)
      if ((w = w * 10 + digit(*q)) > kMax) return nullptr;
  if (!any) return nullptr;
  if (q < e && (*q == 'e' || *q == 'E')) {
    const char* x = q + 1;
    bool down = false;
    if (x < e && (*x == '-' || *x == '+')) down = *x++ == '-';
    const char* first = x;
    int exponent = 0;
    for (; x < e && digit(*x) < 10 && x - first < 4; ++x)
      exponent = exponent * 10 + static_cast<int>(digit(*x));
    if (x == first) return nullptr;
    k += down ? -exponent : exponent;
    q = x;
  }
  if (k < -22 || k > 22) return nullptr;
  const double d = k < 0 ? static_cast<double>(w) / kPow10[-k] : static_cast<double>(w) * kPow10[k];
  out = negative ? -d : d;
  return q;
}

// A whole number with an optional sign; false when it is none or does not fit 64 bits.
bool ParseIndex(std::string_view w, Int64& out) {
  size_t i = 0;
  bool negative = false;
  if (i < w.size() && (w[i] == '+' || w[i] == '-')) negative = w[i++] == '-';
  if (i == w.size()) return false;
  UInt64 value = 0;
  constexpr UInt64 kMax = static_cast<UInt64>(std::numeric_limits<Int64>::max());
  for (; i < w.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(w[i]) - unsigned{'0'};
    if (digit > 9) return false;
    if (value > (kMax + (negative ? 1 : 0) - digit) / 10) return false;
    value = value * 10 + digit;
  }
  out = negative ? static_cast<Int64>(0 - value) : static_cast<Int64>(value);
  return true;
}

Kind KindOf(std::string_view key) {
  switch (key.size()) {
    case 1:
      switch (key[0]) {
        case 'v':
          return Kind::kV;
        case 'f':
          return Kind::kF;
        case 'l':
          return Kind::kL;
        case 'p':
          return Kind::kP;
        case 'o':
          return Kind::kO;
        case 'g':
          return Kind::kG;
        default:
          return Kind::kOther;
      }
    case 2:
      return key == "vt" ? Kind::kVt : key == "vn" ? Kind::kVn : Kind::kOther;
    default:
      return key == "usemtl" ? Kind::kUsemtl : key == "mtllib" ? Kind::kMtllib : Kind::kOther;
  }
}

// Checks one corner index as written (idx, not 0) against the count of lines of its kind so
// far and gives the 0-based index; false with error set ("face corner 2: position 9 does not
// exist (8 so far)").
bool ResolveIndex(Int64 idx, Int64 count, const char* element, size_t cornerNumber,
                  const char* what, Int64& out, std::string& error) {
  if ((idx > 0 && idx > count) || (idx < 0 && idx < -count)) {
    error = std::string(element) + " corner " + std::to_string(cornerNumber) + ": " + what + " " +
            std::to_string(idx) + " does not exist (" + std::to_string(count) + " so far)";
    return false;
  }
  out = idx > 0 ? idx - 1 : count + idx;
  return true;
}

}  // namespace

Walker::Walker(std::string_view text, size_t start) : text_(text), pos_(start) {}

Walker::Walker(std::string_view text, size_t start, size_t end, const WalkState& state,
               bool deferred)
    : text_(text.substr(0, std::min(end, text.size()))),
      pos_(start),
      deferred_(deferred),
      line_(state.line),
      v_(state.v),
      vt_(state.vt),
      vn_(state.vn),
      block_(state.block),
      implicit_(state.implicit),
      polygons_(state.polygons) {}

// Elements before any o line form a block of their own.
void Walker::InBlock() {
  if (block_ < 0) {
    block_ = 0;
    implicit_ = true;
    polygons_ = 0;
  }
}

// The common lines, v, vt and vn with plain numbers and f with plain corners, read in one pass:
// each word ends where its number does. False, with the walk's own state untouched, for any
// other line or anything unusual in one (a leading blank or '+', an index beyond 18 digits, one
// out of range): the general reading then takes the line and words its error.
bool Walker::Quick(Statement& s) {
  const char* p = s.content.data();
  const char* const e = p + s.content.size();
  if (e - p < 2) return false;
  Kind kind;
  const char* q;
  if (p[0] == 'f' && Blank(p[1])) {
    kind = Kind::kF;
    q = p + 1;
  } else if (p[0] != 'v') {
    return false;
  } else if (Blank(p[1])) {
    kind = Kind::kV;
    q = p + 1;
  } else if (e - p >= 3 && Blank(p[2]) && (p[1] == 't' || p[1] == 'n')) {
    kind = p[1] == 't' ? Kind::kVt : Kind::kVn;
    q = p + 2;
  } else {
    return false;
  }
  s.words.clear();
  s.words.emplace_back(p, static_cast<size_t>(q - p));
  if (kind == Kind::kF && skipFaces_) {
    s.corners.clear();
    s.kind = kind;
    s.numbers = 0;
    s.index = -1;
    InBlock();
    s.firstPolygon = -1;
    s.block = block_;
    s.implicitBlock = implicit_;
    return true;
  }
  auto skipBlanks = [&] {
    while (q < e && Blank(*q)) ++q;
    return q < e;
  };

  if (kind != Kind::kF) {
    const bool skip = skipValues_ || (skipPositions_ && kind == Kind::kV);
    double vals[3] = {0, 0, 0};
    size_t n = 0;
    while (skipBlanks()) {
      const char* t = q;
      if (skip) {
        while (q < e && !Blank(*q)) ++q;
      } else {
        double d = 0;
        const char* end = QuickNumber(q, e, d);
        if (!end) {
          const auto r = std::from_chars(q, e, d, std::chars_format::general);
          if (r.ec != std::errc()) return false;
          end = r.ptr;
        }
        if ((end != e && !Blank(*end)) || !std::isfinite(d)) return false;
        q = end;
        if (n < 3) vals[n] = d;
      }
      ++n;
      s.words.emplace_back(t, static_cast<size_t>(q - t));
    }
    if (!skip) {
      const auto [min, max] = kind == Kind::kV    ? std::pair<size_t, size_t>{3, 7}
                              : kind == Kind::kVt ? std::pair<size_t, size_t>{1, 3}
                                                  : std::pair<size_t, size_t>{3, 3};
      if (n < min || n > max) return false;
    }
    s.value = Vector(vals[0], vals[1], vals[2]);
    s.numbers = static_cast<Int32>(n);
    s.corners.clear();
    s.kind = kind;
    s.index = kind == Kind::kV ? v_++ : kind == Kind::kVt ? vt_++ : vn_++;
    s.block = block_;
    s.implicitBlock = implicit_;
    return true;
  }

  // An index as written: an optional sign and up to 18 digits, not 0.
  auto index = [&](Int64& out) {
    bool negative = false;
    if (q < e && (*q == '-' || *q == '+')) negative = *q++ == '-';
    const char* d = q;
    const char* last = e - q > 18 ? q + 18 : e;
    UInt64 value = 0;
    while (q < last && static_cast<unsigned>(*q - '0') < 10)
      value = value * 10 + static_cast<unsigned>(*q++ - '0');
    if (q == d || value == 0 || (q < e && static_cast<unsigned>(*q - '0') < 10)) return false;
    out = negative ? -static_cast<Int64>(value) : static_cast<Int64>(value);
    return true;
  };
  // Checked against the lines of its kind so far, unless the walk defers that.
  auto resolve = [&](Int64 idx, Int64 count, Int64& out) {
    if (deferred_) {
      out = idx;
      return true;
    }
    if (idx > 0 ? idx > count : idx < -count) return false;
    out = idx > 0 ? idx - 1 : count + idx;
    return true;
  };
  s.corners.clear();
  while (skipBlanks()) {
    const char* t = q;
    Int64 v = 0, vt = 0, vn = 0;
    if (!index(v)) return false;
    if (q < e && *q == '/') {
      ++q;
      if (q < e && *q == '/') {
        ++q;
        if (!index(vn)) return false;
      } else {
        if (!index(vt)) return false;
        if (q < e && *q == '/') {
          ++q;
          if (!index(vn)) return false;
        }
      }
    }
    if (q < e && !Blank(*q)) return false;
    Corner& c = s.corners.emplace_back();
    c.text = std::string_view(t, static_cast<size_t>(q - t));
    c.relative = v < 0;
    c.vtRelative = vt < 0;
    const Int64 none = deferred_ ? 0 : -1;
    if (!resolve(v, v_, c.v)) return false;
    c.vt = c.vn = none;
    if (vt != 0 && !resolve(vt, vt_, c.vt)) return false;
    if (vn != 0 && !resolve(vn, vn_, c.vn)) return false;
    s.words.push_back(c.text);
  }
  if (s.corners.size() < 3) return false;
  s.kind = kind;
  s.numbers = 0;
  s.index = -1;
  InBlock();
  s.firstPolygon = polygons_;
  polygons_ += PolygonsOfFace(s.corners.size());
  s.block = block_;
  s.implicitBlock = implicit_;
  return true;
}

bool Walker::Next(Statement& s, std::string& error) {
  if (pos_ >= text_.size()) return false;
  // Lines end at "\n", "\r\n" or a lone "\r".
  const char* from = text_.data() + pos_;
  const size_t left = text_.size() - pos_;
  const void* nl = std::memchr(from, '\n', left);
  size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text_.data()) : text_.size();
  if (const void* cr = std::memchr(from, '\r', end - pos_))
    end = static_cast<size_t>(static_cast<const char*>(cr) - text_.data());
  s.begin = pos_;
  s.end = end;
  s.next = end;
  if (end < text_.size())
    s.next += text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1;
  pos_ = s.next;
  s.number = ++line_;
  s.content = text_.substr(s.begin, s.end - s.begin);
  if (!plain_ && Quick(s)) return true;
  SplitWords(s.content, s.words);
  s.kind = s.words.empty() ? Kind::kOther : KindOf(s.words[0]);
  s.corners.clear();
  s.numbers = 0;
  s.index = -1;

  auto fail = [&](const std::string& what) {
    error = what;
    return false;
  };
  auto numbers = [&](const char* key, size_t min, size_t max) {
    const size_t n = s.words.size() - 1;
    if (skipValues_ || (skipPositions_ && s.kind == Kind::kV)) {
      s.value = Vector();
      s.numbers = static_cast<Int32>(n);
      return true;
    }
    if (n < min || n > max) {
      std::string want =
          min == max ? std::to_string(min) : std::to_string(min) + " to " + std::to_string(max);
      return fail(std::string(key) + " needs " + want + " numbers, found " + std::to_string(n));
    }
    double vals[3] = {0, 0, 0};
    for (size_t i = 1; i <= n; ++i) {
      double d = 0;
      if (!ParseNumber(s.words[i], d))
        return fail(std::string(key) + ": \"" + std::string(s.words[i]) + "\" is not a number");
      if (i <= 3) vals[i - 1] = d;
    }
    s.value = Vector(vals[0], vals[1], vals[2]);
    s.numbers = static_cast<Int32>(n);
    return true;
  };
  // One index of a corner, resolved against the lines of its kind read so far.
  // The message's start is made only when a corner is refused.
  const char* element = "";
  size_t cornerNumber = 0;
  auto at = [&]() {
    return std::string(element) + " corner " + std::to_string(cornerNumber) + ": ";
  };
  auto index = [&](std::string_view w, const char* what, Int64 count, Int64& out, bool& relative) {
    Int64 idx = 0;
    if (!ParseIndex(w, idx))
      return fail(at() + what + " index \"" + std::string(w) + "\" is not a whole number");
    if (idx == 0) return fail(at() + what + " index 0 is invalid (indices start at 1)");
    relative = idx < 0;
    if (deferred_) {
      out = idx;
      return true;
    }
    return ResolveIndex(idx, count, element, cornerNumber, what, out, error);
  };
  auto corners = [&](const char* name, size_t min) {
    element = name;
    const size_t n = s.words.size() - 1;
    if (n < min)
      return fail(std::string(element) + " has " + std::to_string(n) + " corners; a " + element +
                  " needs at least " + std::to_string(min));
    s.corners.resize(n);
    for (size_t i = 1; i <= n; ++i) {
      const std::string_view w = s.words[i];
      Corner& c = s.corners[i - 1];
      c = Corner();
      if (deferred_) c.vt = c.vn = 0;
      c.text = w;
      const size_t s1 = w.find('/');
      const size_t s2 = s1 == std::string_view::npos ? s1 : w.find('/', s1 + 1);
      bool bad = s2 != std::string_view::npos && w.find('/', s2 + 1) != std::string_view::npos;
      const std::string_view pv = w.substr(0, s1);
      std::string_view tv, nv;
      if (s1 != std::string_view::npos) {
        tv = w.substr(s1 + 1, s2 == std::string_view::npos ? std::string_view::npos : s2 - s1 - 1);
        if (s2 != std::string_view::npos) {
          nv = w.substr(s2 + 1);
          bad = bad || nv.empty();
        } else {
          bad = bad || tv.empty();
        }
      }
      cornerNumber = i;
      if (bad || pv.empty())
        return fail(std::string(element) + " corner \"" + std::string(w) +
                    "\" is not of the form v, v/vt, v//vn or v/vt/vn");
      bool unused = false;
      if (!index(pv, "position", v_, c.v, c.relative)) return false;
      if (!tv.empty() && !index(tv, "texture coordinate", vt_, c.vt, c.vtRelative)) return false;
      if (!nv.empty() && !index(nv, "normal", vn_, c.vn, unused)) return false;
    }
    return true;
  };

  switch (s.kind) {
    case Kind::kV:
      if (!numbers("v", 3, 7)) return false;
      s.index = v_++;
      break;
    case Kind::kVt:
      if (!numbers("vt", 1, 3)) return false;
      s.index = vt_++;
      break;
    case Kind::kVn:
      if (!numbers("vn", 3, 3)) return false;
      s.index = vn_++;
      break;
    case Kind::kF:
      if (!corners("face", 3)) return false;
      InBlock();
      s.firstPolygon = polygons_;
      polygons_ += PolygonsOfFace(s.corners.size());
      break;
    case Kind::kL:
      if (!corners("line", 2)) return false;
      InBlock();
      break;
    case Kind::kP:
      if (!corners("point", 1)) return false;
      InBlock();
      break;
    case Kind::kO:
      ++block_;
      implicit_ = false;
      polygons_ = 0;
      break;
    default:
      break;
  }
  s.block = block_;
  s.implicitBlock = implicit_;
  return true;
}

size_t SplitPoint(std::string_view text, size_t start, size_t splitAt) {
  if (splitAt == std::string::npos) return std::string::npos;
  size_t want = splitAt;
  if (splitAt == 0) {
    if (text.size() - start < kTwoThreadBytes || std::thread::hardware_concurrency() < 2)
      return std::string::npos;
    want = start + (text.size() - start) / 2;
  }
  if (want <= start) return start;
  if (want > text.size()) return std::string::npos;
  // A '\n' always ends a line, so the byte after one starts a line.
  if (text[want - 1] == '\n') return want;
  const size_t nl = text.find('\n', want);
  return nl == std::string_view::npos ? std::string::npos : nl + 1;
}

std::string RestOfLine(const Statement& s) {
  if (s.words.size() < 2) return {};
  const char* first = s.words[1].data();
  const char* last = s.words.back().data() + s.words.back().size();
  return std::string(first, static_cast<size_t>(last - first));
}

std::vector<std::string> MtlLibNames(std::string_view args) {
  std::vector<std::string> names;
  std::string name;
  for (size_t i = 0; i < args.size(); ++i) {
    const char c = args[i];
    if (c == '\\' && i + 1 < args.size() && Blank(args[i + 1])) {
      name += args[++i];
    } else if (Blank(c)) {
      if (!name.empty()) names.push_back(std::move(name));
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(std::move(name));
  return names;
}

std::string EscapeMtlName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (Blank(c)) out += '\\';
    out += c;
  }
  return out;
}

void AppendNumber(std::string& out, double v) {
  if (v == 0.0) v = 0.0;  // no "-0"
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace pelterra::obj
