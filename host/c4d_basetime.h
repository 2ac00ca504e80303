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
  // Frame at fps, truncated toward zero.
  Int32 GetFrame(Float fps) const { return static_cast<Int32>(fps * Get()); }

  // Equal when the seconds are equal.
  bool operator==(const BaseTime& o) const { return num_ * o.den_ == o.num_ * den_; }
  bool operator!=(const BaseTime& o) const { return !(*this == o); }
  bool operator<(const BaseTime& o) const { return Get() < o.Get(); }

 private:
  Float num_ = 0.0;
  Float den_ = 1.0;
};
