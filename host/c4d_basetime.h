// Document time as a fraction of seconds.
#pragma once

#include "ge_math.h"

class BaseTime {
 public:
  constexpr BaseTime() = default;
  constexpr BaseTime(Float numerator, Float denominator) : num_(numerator), den_(denominator) {}
  constexpr explicit BaseTime(Float seconds) : num_(seconds), den_(1.0) {}

  constexpr Float GetNumerator() const { return num_; }
  constexpr Float GetDenominator() const { return den_; }
  // Seconds; 0 for a zero denominator.
  constexpr Float Get() const { return den_ == 0.0 ? 0.0 : num_ / den_; }
  // Frame at fps, truncated toward zero. Whole numerator, denominator and fps are worked in
  // integers, so frame 29 at 25 fps (29/25 s) is 29, not the 28 that 25 * 1.16 gives.
  Int32 GetFrame(Float fps) const;

  // Compared as fractions: 29/25 equals 116/100.
  bool operator==(const BaseTime& o) const { return Compare(o) == 0; }
  bool operator!=(const BaseTime& o) const { return Compare(o) != 0; }
  bool operator<(const BaseTime& o) const { return Compare(o) < 0; }
  bool operator>(const BaseTime& o) const { return Compare(o) > 0; }
  bool operator<=(const BaseTime& o) const { return Compare(o) <= 0; }
  bool operator>=(const BaseTime& o) const { return Compare(o) >= 0; }

 private:
  // -1, 0 or 1 as this time is earlier than, equal to or later than o.
  int Compare(const BaseTime& o) const;

  Float num_ = 0.0;
  Float den_ = 1.0;
};

namespace basetime_detail {

__extension__ typedef __int128 Wide;

// v as a whole number, when it is one and lies well inside 64 bits.
inline bool Whole(Float v, Int64& out) {
  if (!(v >= -4.0e18 && v <= 4.0e18)) return false;
  const Int64 i = static_cast<Int64>(v);
  if (static_cast<Float>(i) != v) return false;
  out = i;
  return true;
}

// The time as whole numbers n / d with d > 0; a zero denominator is 0 / 1.
inline bool Fraction(Float num, Float den, Int64& n, Int64& d) {
  if (!Whole(num, n) || !Whole(den, d)) return false;
  if (d == 0) {
    n = 0;
    d = 1;
  } else if (d < 0) {
    n = -n;
    d = -d;
  }
  return true;
}

inline Int32 ClampFrame(Float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483647.0) return 2147483647;
  if (f <= -2147483648.0) return -2147483647 - 1;
  return static_cast<Int32>(f);
}

}  // namespace basetime_detail

inline Int32 BaseTime::GetFrame(Float fps) const {
  using namespace basetime_detail;
  Int64 n = 0, d = 1, f = 0;
  if (Fraction(num_, den_, n, d) && Whole(fps, f)) {
    const Wide q = Wide(f) * Wide(n) / Wide(d);  // integer division truncates toward zero
    if (q > Wide(2147483647)) return 2147483647;
    if (q < -Wide(2147483647) - 1) return -2147483647 - 1;
    return static_cast<Int32>(q);
  }
  return ClampFrame(fps * Get());
}

inline int BaseTime::Compare(const BaseTime& o) const {
  using namespace basetime_detail;
  Int64 a = 0, b = 1, c = 0, d = 1;
  if (Fraction(num_, den_, a, b) && Fraction(o.num_, o.den_, c, d)) {
    const Wide l = Wide(a) * Wide(d), r = Wide(c) * Wide(b);
    return l < r ? -1 : l > r ? 1 : 0;
  }
  const Float x = Get(), y = o.Get();
  return x < y ? -1 : x > y ? 1 : 0;
}
