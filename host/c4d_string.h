// Host text type: 8-bit text with the host's number conversions.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "ge_math.h"

class String : public std::string {
 public:
  using std::string::string;
  String() = default;
  String(const std::string& s) : std::string(s) {}
  String(std::string&& s) noexcept : std::string(std::move(s)) {}
  // std::filesystem takes std::string but not a class derived from it.
  operator std::filesystem::path() const { return std::filesystem::path(str()); }
  const std::string& str() const { return *this; }

  // Decimal text of v.
  static String IntToString(Int32 v);
  // The shortest plain decimal text (no exponent) that reads back as exactly v: "0.25", "-3",
  // "1024". Not-a-number and the infinities give "nan", "inf" and "-inf".
  static String FloatToString(Float v);

  // The number this text holds. Blanks around it (space, tab, CR, LF) are ignored; "+" may lead.
  // Text that is no number, or a number outside the type's range, sets *error (when given) and
  // answers 0. ToFloat reads "inf" and "nan" as what they say.
  Float ToFloat(Bool* error = nullptr) const;
  Int32 ToInt32(Bool* error = nullptr) const;
};

// The host's number-to-text conversions that every text output uses.
inline String FormatInt(Int32 v) {
  return String::IntToString(v);
}
inline String FormatFloat(Float v) {
  return String::FloatToString(v);
}

template <>
struct std::hash<String> : std::hash<std::string> {};
