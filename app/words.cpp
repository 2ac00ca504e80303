#include "words.h"

#include <charconv>
#include <cmath>

namespace pelterra {

bool ToInt(const std::string& s, Int32& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ToFloat(const std::string& s, Float& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e && std::isfinite(v);
}

}  // namespace pelterra
