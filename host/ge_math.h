// Basic number types, Vector and Matrix of the host.
#pragma once

#include <cmath>
#include <cstdint>

using Bool = bool;
using Char = char;
using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Int = std::int64_t;
using Float = double;
using Float32 = float;
using Float64 = double;

constexpr Float PI = 3.141592653589793;

struct Vector {
  Float x = 0.0, y = 0.0, z = 0.0;

  constexpr Vector() = default;
  constexpr explicit Vector(Float v) : x(v), y(v), z(v) {}
  constexpr Vector(Float ax, Float ay, Float az) : x(ax), y(ay), z(az) {}

  constexpr Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr Vector operator-() const { return {-x, -y, -z}; }
  constexpr Vector operator*(Float s) const { return {x * s, y * s, z * s}; }
  constexpr Vector operator/(Float s) const { return {x / s, y / s, z / s}; }
  Vector& operator+=(const Vector& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  Vector& operator-=(const Vector& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  Vector& operator*=(Float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  constexpr bool operator==(const Vector& o) const { return x == o.x && y == o.y && z == o.z; }
  constexpr bool operator!=(const Vector& o) const { return !(*this == o); }

  Float GetLength() const { return std::sqrt(x * x + y * y + z * z); }
  constexpr Float GetSquaredLength() const { return x * x + y * y + z * z; }
  Bool IsFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
};

constexpr Vector operator*(Float s, const Vector& v) {
  return v * s;
}
constexpr Float Dot(const Vector& a, const Vector& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vector Cross(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Offset and three axes; maps p to off + p.x*v1 + p.y*v2 + p.z*v3.
struct Matrix {
  Vector off{0, 0, 0};
  Vector v1{1, 0, 0};
  Vector v2{0, 1, 0};
  Vector v3{0, 0, 1};

  constexpr Matrix() = default;
  constexpr Matrix(const Vector& o, const Vector& a, const Vector& b, const Vector& c)
      : off(o), v1(a), v2(b), v3(c) {}

  constexpr Vector operator*(const Vector& p) const { return off + v1 * p.x + v2 * p.y + v3 * p.z; }
  // this * o: applies o first, then this.
  constexpr Matrix operator*(const Matrix& o) const {
    return {*this * o.off, TransformVector(o.v1), TransformVector(o.v2), TransformVector(o.v3)};
  }
  constexpr Vector TransformVector(const Vector& p) const { return v1 * p.x + v2 * p.y + v3 * p.z; }
  constexpr bool operator==(const Matrix& o) const {
    return off == o.off && v1 == o.v1 && v2 == o.v2 && v3 == o.v3;
  }
};
