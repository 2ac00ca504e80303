#include "c4d_string.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace {

// The text without the blanks around it, and without one leading '+'; empty when nothing is left
// or when a sign follows the '+'.
std::string_view NumberText(const std::string& s) {
  constexpr std::string_view blanks = " \t\r\n";
  const size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  std::string_view t(s.data() + b, s.find_last_not_of(blanks) - b + 1);
  if (t.front() == '+') {
    t.remove_prefix(1);
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) return {};
  }
  return t;
}

template <typename T, typename... Format>
T Parse(const std::string& s, Bool* error, Format... format) {
  const std::string_view t = NumberText(s);
  T v{};
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, format...);
  const Bool bad = t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size();
  if (error) *error = bad;
  return bad ? T{} : v;
}

}  // namespace

String String::IntToString(Int32 v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return String(buf, r.ptr);
}

String String::FloatToString(Float v) {
  // The largest double has 309 digits before the point, the smallest subnormal 324 after it.
  char buf[400];
  if (std::isnan(v)) return "nan";
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return String(buf, r.ptr);
}

Float String::ToFloat(Bool* error) const {
  return Parse<Float>(*this, error, std::chars_format::general);
}

Int32 String::ToInt32(Bool* error) const {
  return Parse<Int32>(*this, error, 10);
}
