// A plain Quick Grid for the tests: every step written as a scan, pass after pass over all
// polygons, and the carry comparing every handled corner with every corner of every laid-out
// quad, on one thread. The tool's indexed walks and threaded carry must give the same UVs, bit
// for bit.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "UVFunction.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"

namespace reference {

struct Input {
  std::vector<CPolygon> polys;
  std::vector<Vector> points;
  std::vector<UVWStruct> uvs;
  std::vector<Int32> selected;  // UV point indices, ascending
  bool square = false, sizeFit = false;
};

struct Output {
  bool ok = false;
  std::vector<UVWStruct> uvs;  // the UVs after the tool (the input's when !ok)
};

class Grid {
 public:
  explicit Grid(const Input& in) : in_(in), n_(static_cast<Int32>(in.polys.size())) {
    cur_ = in.uvs;
    flags_.assign(in.polys.size(), 0);
  }

  Output Run() {
    Output out;
    out.uvs = in_.uvs;
    struct Pick {
      Int32 polygon = 0, count = 0, first = -1, second = -1;
      Vector firstUV, secondUV;
    };
    std::vector<Pick> picks;
    for (Int32 id : in_.selected) {
      if (id < 0 || id >= 4 * n_) continue;
      const Int32 p = id / 4, k = id % 4;
      if (Cc(p) == 3 && k == 3) continue;
      Pick* pick = nullptr;
      for (Pick& q : picks)
        if (q.polygon == p) pick = &q;
      if (!pick) {
        picks.emplace_back();
        picks.back().polygon = p;
        pick = &picks.back();
      }
      ++pick->count;
      if (pick->first < 0) {
        pick->first = k;
        pick->firstUV = in_.uvs[p][k];
      } else {
        pick->second = k;
        pick->secondUV = in_.uvs[p][k];
      }
    }
    bool walked = false;
    for (const Pick& pk : picks) {
      if (pk.count < 2) continue;
      if (Cc(pk.polygon) == 4 && std::abs(pk.second - pk.first) == 2) continue;
      if (!Walk(pk.polygon, pk.first, pk.second, pk.firstUV, pk.secondUV)) return out;
      walked = true;
    }
    if (!walked) return out;
    Carry(0);
    if (in_.square) {
      Square();
      Carry(1);
    }
    if (in_.sizeFit && !SizeFit()) return out;
    for (Int32 i = 0; i < n_; ++i)
      for (Int32 k = 0; k < Cc(i); ++k)
        if (!cur_[i][k].IsFinite()) cur_[i][k] = in_.uvs[i][k];
    out.ok = true;
    out.uvs = cur_;
    return out;
  }

 private:
  static bool Near(const Vector& a, const Vector& b) { return (a - b).GetLength() < 0.01; }
  static double& Ax(Vector& v, Int32 axis) { return axis == 0 ? v.x : v.y; }
  Int32 Cc(Int32 i) const { return in_.polys[i].c == in_.polys[i].d ? 3 : 4; }
  static Int32 Side(Int32 k1, Int32 k2, Int32 cc) {
    return (k1 + 1) % cc == k2 ? (k1 + cc - 1) % cc : (k1 + 1) % cc;
  }
  double Dist3D(Int32 i, Int32 k, Int32 m) const {
    const Int32 a = in_.polys[i][k], b = in_.polys[i][m];
    const Int32 np = static_cast<Int32>(in_.points.size());
    if (a < 0 || a >= np || b < 0 || b >= np) return 0.0;
    return (in_.points[a] - in_.points[b]).GetLength();
  }
  double Scaled(Int32 i, Int32 k, Int32 m) const { return Dist3D(i, k, m) / ref3D_ * refUV_; }
  static double Orient(const UVWStruct& q) {
    return (q.d.y - q.b.y) * (q.c.x - q.a.x) - (q.d.x - q.b.x) * (q.c.y - q.a.y);
  }
  // Corner k on f1 whose next (forward) or previous (backward) corner is on f2; -1 for none.
  static Int32 Touch(const UVWStruct& q, Int32 cc, const Vector& f1, const Vector& f2, Int32& k2,
                     bool& forward) {
    for (Int32 k = 0; k < cc; ++k) {
      if (!Near(q[k], f1)) continue;
      if (Near(q[(k + 1) % cc], f2)) {
        k2 = (k + 1) % cc;
        forward = true;
        return k;
      }
      if (Near(q[(k + cc - 1) % cc], f2)) {
        k2 = (k + cc - 1) % cc;
        forward = false;
        return k;
      }
    }
    return -1;
  }

  bool Walk(Int32 s, Int32 c1, Int32 c2, Vector uv1, Vector uv2) {
    const Int32 cc = Cc(s);
    const bool placed = flags_[s] != 0;  // by an earlier walk: not moved again
    const UVWStruct p = cur_[s];
    const double l3 = Dist3D(s, c1, c2), luv = (p[c1] - p[c2]).GetLength();
    if (!(l3 > 0) || !std::isfinite(l3) || !(luv > 0) || !std::isfinite(luv)) return false;
    ref3D_ = l3;
    refUV_ = luv;
    flags_[s] = 1;
    Vector f1a = p[c1], f1b = p[Side(c1, c2, cc)], f2a = p[c2], f2b = p[Side(c2, c1, cc)];
    const Vector d = p[c1].y <= p[c2].y ? p[c1] - p[c2] : p[c2] - p[c1];
    const double a = VectorAngle(d, Vector(1, 0, 0)) * 180.0 / PI;
    // 45 and 135 degrees exactly go upright: compare squares, not the rounded angle.
    double r;
    if (d.x > 0 && d.x * d.x > d.y * d.y + d.z * d.z) {
      r = -a;
      axis_ = 0;
    } else if (d.x < 0 && d.x * d.x > d.y * d.y + d.z * d.z) {
      r = 180.0 - a;
      axis_ = 0;
    } else {
      r = 90.0 - a;
      axis_ = 1;
    }
    const double t = r * PI / 180.0;
    const Vector mid = (p[c1] + p[c2]) * 0.5;
    Vector rail[2];
    for (int e = 0; e < 2; ++e) {
      const Vector q = p[e == 0 ? c1 : c2] - mid;
      rail[e] = Vector(q.x * std::cos(t) + q.y * std::sin(t),
                       -q.x * std::sin(t) + q.y * std::cos(t), q.z) +
                mid;
    }
    if (!placed) {
      cur_[s][c1] = rail[0];
      cur_[s][c2] = rail[1];
    }
    const double sign = (axis_ == 0 ? uv1.x - uv2.x : uv1.y - uv2.y) > 0 ? 1.0 : -1.0;
    std::vector<std::array<Int32, 3>> strip{{s, c1, c2}};
    Vector fa[2] = {f1a, f2a}, fb[2] = {f1b, f2b};
    for (;;) {
      int added = 0;
      for (Int32 i = 0; i < n_; ++i) {
        if (flags_[i]) continue;
        for (int f = 0; f < 2; ++f) {
          const Int32 ci = Cc(i);
          Int32 k2;
          bool fw;
          const Int32 k = Touch(cur_[i], ci, fa[f], fb[f], k2, fw);
          if (k < 0) continue;
          UVWStruct q = cur_[i];
          const Int32 m = fw ? (k + ci - 1) % ci : (k + 1) % ci;
          fa[f] = q[m];
          fb[f] = fw ? q[(k + 2) % ci] : q[(k + ci - 2) % ci];
          q[k] = rail[f];
          q[m] = rail[f];
          Ax(q[m], axis_) += (f == 0 ? sign : -sign) * Scaled(i, k, m);
          rail[f] = q[m];
          if (ci == 4) cur_[i] = q;
          flags_[i] = 1;
          strip.push_back({i, k, m});
          ++added;
        }
      }
      if (!added) break;
    }
    for (size_t e = 0; e < strip.size(); ++e)
      Column(strip[e][0], strip[e][1], strip[e][2], e == 0, e == 0 && placed);
    return true;
  }

  // Places polygon i's corners k1, k2 on g1, g2 and the two others across the rail; false for a
  // triangle (it ends the column). Sets the next front.
  bool Place(Int32 i, Int32 k1, Int32 k2, Vector g1, Vector g2, Vector& a1, Vector& a2, Vector& n1,
             Vector& n2) {
    const Int32 ci = Cc(i), j1 = Side(k1, k2, ci), j2 = Side(k2, k1, ci);
    UVWStruct q = cur_[i];
    q[k1] = g1;
    q[k2] = g2;
    flags_[i] = 1;
    if (ci == 3) {
      cur_[i] = q;
      return false;
    }
    const Int32 ac = 1 - axis_;
    const double l1 = Scaled(i, k1, j1), l2 = Scaled(i, k2, j2);
    q[j1] = g1;
    q[j2] = g2;
    Ax(q[j1], ac) -= l1;
    Ax(q[j2], ac) -= l2;
    if (Orient(q) < 0) {
      q[j1] = g1;
      q[j2] = g2;
      Ax(q[j1], ac) += l1;
      Ax(q[j2], ac) += l2;
    }
    cur_[i] = q;
    a1 = in_.uvs[i][j1];
    a2 = in_.uvs[i][j2];
    n1 = q[j1];
    n2 = q[j2];
    return true;
  }

  // placed: p was placed by an earlier walk; the column starts from its far side as it lies.
  void Column(Int32 p, Int32 k, Int32 m, bool first, bool placed) {
    if (first) firstColumn_.push_back({p, k, Side(k, m, Cc(p))});
    Vector a1, a2, g1, g2;
    if (placed) {
      if (Cc(p) == 3) return;
      a1 = g1 = cur_[p][Side(k, m, 4)];
      a2 = g2 = cur_[p][Side(m, k, 4)];
    } else if (!Place(p, k, m, cur_[p][k], cur_[p][m], a1, a2, g1, g2)) {
      return;
    }
    for (;;) {
      int added = 0;
      for (Int32 i = 0; i < n_; ++i) {
        if (flags_[i]) continue;
        Int32 k2;
        bool fw;
        const Int32 k1 = Touch(cur_[i], Cc(i), a1, a2, k2, fw);
        if (k1 < 0) continue;
        if (first) firstColumn_.push_back({i, k1, Side(k1, k2, Cc(i))});
        ++added;
        if (!Place(i, k1, k2, g1, g2, a1, a2, g1, g2)) return;
      }
      if (!added) break;
    }
  }

  void Carry(int mode) {
    const std::vector<std::uint8_t> at = flags_;
    for (Int32 i = 0; i < n_; ++i) {
      const bool tri = Cc(i) == 3;
      if (mode == 0 ? at[i] != 0 : !tri) continue;
      UVWStruct buf = cur_[i];
      bool hit = false;
      for (Int32 k = 0; k < Cc(i); ++k)
        for (Int32 j = 0; j < n_; ++j) {
          if (!at[j] || Cc(j) != 4) continue;
          for (Int32 m = 0; m < 4; ++m)
            if (Near(in_.uvs[i][k], in_.uvs[j][m])) {
              buf[k] = cur_[j][m];
              hit = true;
            }
        }
      if (hit) flags_[i] = 1;
      cur_[i] = buf;
    }
  }

  // A sweep from two fronts over the quads not met yet; meet changes polygon i met on front f
  // with its corners k (on the front's first point) and k2, and returns the front's next place.
  template <typename Meet>
  void Sweep(Vector fa[2], Vector fb[2], std::vector<std::uint8_t>& met, Meet&& meet) {
    bool alive[2] = {true, true};
    while (alive[0] || alive[1]) {
      int added[2] = {0, 0};
      for (Int32 i = 0; i < n_; ++i) {
        if (Cc(i) != 4) continue;
        for (int f = 0; f < 2; ++f) {
          if (!alive[f] || met[i]) continue;
          Int32 k2;
          bool fw;
          const Int32 k = Touch(cur_[i], 4, fa[f], fb[f], k2, fw);
          if (k < 0) continue;
          met[i] = 1;
          meet(i, f, k, k2, fa[f], fb[f]);
          ++added[f];
        }
      }
      for (int f = 0; f < 2; ++f) alive[f] = alive[f] && added[f] > 0;
    }
  }

  void Square() {
    const Int32 ac = 1 - axis_, al = axis_;
    const std::vector<UVWStruct> snap = cur_;
    std::vector<std::uint8_t> met(n_, 0);
    std::vector<std::array<Int32, 3>> row;
    for (size_t e = 0; e < firstColumn_.size(); ++e) {
      const auto [p, k1, j1] = firstColumn_[e];
      if (met[p]) continue;
      met[p] = 1;
      const Int32 cp = Cc(p), k2 = Side(k1, j1, cp), j2 = Side(k2, k1, cp);
      const UVWStruct before = cur_[p];
      Ax(cur_[p][k2], ac) = Ax(cur_[p][k1], ac);
      Ax(cur_[p][j2], ac) = Ax(cur_[p][j1], ac);
      const double v1 = Ax(cur_[p][k1], ac), v2 = Ax(cur_[p][j1], ac);
      if (e == 0) row.push_back({p, k1, j1});
      Vector fa[2] = {cur_[p][k1], before[k2]}, fb[2] = {cur_[p][j1], before[j2]};
      Sweep(fa, fb, met, [&](Int32 i, int, Int32 k, Int32 k2b, Vector& na, Vector& nb) {
        const Int32 nk = Side(k, k2b, 4), nk2 = Side(k2b, k, 4);
        const UVWStruct old = cur_[i];
        Ax(cur_[i][k], ac) = v1;
        Ax(cur_[i][nk], ac) = v1;
        Ax(cur_[i][k2b], ac) = v2;
        Ax(cur_[i][nk2], ac) = v2;
        if (e == 0) row.push_back({i, k, k2b});
        na = old[nk];
        nb = old[nk2];
      });
    }
    for (Int32 i = 0; i < n_; ++i) {
      if (met[i]) continue;
      for (Int32 k = 0; k < Cc(i); ++k)
        for (Int32 q = 0; q < n_; ++q) {
          if (!met[q]) continue;
          for (Int32 m = 0; m < Cc(q); ++m)
            if (Near(snap[i][k], snap[q][m])) cur_[i][k] = cur_[q][m];
        }
    }
    std::fill(met.begin(), met.end(), 0);
    for (const auto& [p, a, b] : row) {
      if (met[p]) continue;
      met[p] = 1;
      const Int32 cp = Cc(p), na = Side(a, b, cp), nb = Side(b, a, cp);
      Vector fa[2] = {cur_[p][a], cur_[p][b]}, fb[2] = {cur_[p][na], cur_[p][nb]};
      Vector ga[2] = {fa[0], fa[1]}, gb[2] = {fb[0], fb[1]};
      const double e1[2] = {Ax(fa[0], al), Ax(fa[1], al)}, e2[2] = {Ax(fb[0], al), Ax(fb[1], al)};
      Sweep(fa, fb, met, [&](Int32 i, int f, Int32 k, Int32 k2b, Vector& na2, Vector& nb2) {
        const Int32 nk = Side(k, k2b, 4), nk2 = Side(k2b, k, 4);
        const UVWStruct old = cur_[i];
        UVWStruct q = old;
        q[k] = ga[f];
        q[k2b] = gb[f];
        Ax(q[k], al) = e1[f];
        Ax(q[k2b], al) = e2[f];
        const double l = std::max(Scaled(i, k, nk), Scaled(i, k2b, nk2));
        q[nk] = q[k];
        q[nk2] = q[k2b];
        Ax(q[nk], ac) += l;
        Ax(q[nk2], ac) += l;
        if (Orient(q) < 0) {
          Ax(q[nk], ac) = Ax(q[k], ac) - l;
          Ax(q[nk2], ac) = Ax(q[k2b], ac) - l;
        }
        cur_[i] = q;
        ga[f] = q[nk];
        gb[f] = q[nk2];
        na2 = old[nk];
        nb2 = old[nk2];
      });
    }
  }

  bool SizeFit() {
    bool any = false;
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    for (Int32 i = 0; i < n_; ++i) {
      if (!flags_[i]) continue;
      for (Int32 k = 0; k < Cc(i); ++k) {
        const Vector v = cur_[i][k];
        if (!v.IsFinite()) continue;
        const double c[2] = {v.x, v.y};
        for (int a = 0; a < 2; ++a) {
          lo[a] = any ? std::min(lo[a], c[a]) : c[a];
          hi[a] = any ? std::max(hi[a], c[a]) : c[a];
        }
        any = true;
      }
    }
    const double w = hi[0] - lo[0], h = hi[1] - lo[1];
    const int a = w > h ? 0 : 1;
    const double ext = a == 0 ? w : h;
    if (!any || !(ext > 0) || !std::isfinite(ext)) return false;
    const double mid = (lo[a] + hi[a]) / 2.0;
    for (Int32 i = 0; i < n_; ++i) {
      if (!flags_[i]) continue;
      for (Int32 k = 0; k < Cc(i); ++k) {
        double& x = Ax(cur_[i][k], a);
        x = (x - mid) * (1.0 / ext) + 0.5;
      }
    }
    return true;
  }

  const Input& in_;
  Int32 n_;
  std::vector<UVWStruct> cur_;
  std::vector<std::uint8_t> flags_;
  std::vector<std::array<Int32, 3>> firstColumn_;
  double ref3D_ = 1, refUV_ = 1;
  Int32 axis_ = 0;
};

inline Output Run(const Input& in) {
  return Grid(in).Run();
}

}  // namespace reference
