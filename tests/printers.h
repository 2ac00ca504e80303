// Readable test output for host types.
#pragma once

#include <ostream>

#include "c4d_basetag.h"
#include "ge_math.h"

inline void PrintTo(const Vector& v, std::ostream* os) {
  *os << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

inline void PrintTo(const UVWStruct& s, std::ostream* os) {
  *os << "{";
  for (Int32 i = 0; i < 4; ++i) {
    PrintTo(s[i], os);
    *os << (i < 3 ? " " : "}");
  }
}
