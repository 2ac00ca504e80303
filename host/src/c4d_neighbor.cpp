#include "c4d_neighbor.h"

#include <limits>

namespace {

constexpr std::uint64_t kEmpty = std::numeric_limits<std::uint64_t>::max();

// The unordered pair (a, b) as one number, the smaller point first.
std::uint64_t EdgeKey(Int32 a, Int32 b) {
  const auto lo = static_cast<std::uint32_t>(a < b ? a : b);
  const auto hi = static_cast<std::uint32_t>(a < b ? b : a);
  return (static_cast<std::uint64_t>(lo) << 32) | hi;
}

std::uint64_t Mix(std::uint64_t k) {
  k ^= k >> 33;
  k *= 0xff51afd7ed558ccdULL;
  k ^= k >> 33;
  k *= 0xc4ceb9fe1a85ec53ULL;
  return k ^ (k >> 33);
}

// Calls f(a, b) for each side of poly that carries an edge.
template <typename F>
void ForEachEdge(const CPolygon& poly, Int32 pcnt, F&& f) {
  const Int32 n = poly.IsTriangle() ? 3 : 4;
  for (Int32 s = 0; s < n; ++s) {
    const Int32 a = poly[s], b = poly[(s + 1) % n];
    if (a == b || a < 0 || b < 0 || a >= pcnt || b >= pcnt) continue;
    f(a, b);
  }
}

}  // namespace

Neighbor::Neighbor() = default;
Neighbor::~Neighbor() = default;

size_t Neighbor::Slot(std::uint64_t key) const {
  const size_t mask = keys_.size() - 1;
  size_t i = static_cast<size_t>(Mix(key)) & mask;
  while (keys_[i] != kEmpty && keys_[i] != key) i = (i + 1) & mask;
  return i;
}

Bool Neighbor::Init(Int32 pcnt, const CPolygon* vadr, Int32 vcnt) {
  keys_.clear();
  ids_.clear();
  first_.assign(1, 0);
  polys_.clear();
  if (pcnt < 0 || vcnt < 0 || (vcnt > 0 && !vadr)) return false;

  size_t sides = 0;
  for (Int32 i = 0; i < vcnt; ++i) ForEachEdge(vadr[i], pcnt, [&](Int32, Int32) { ++sides; });
  size_t size = 16;
  while (size < 2 * sides) size *= 2;
  keys_.assign(size, kEmpty);
  ids_.assign(size, 0);

  // Number the edges in one pass over the hash, keeping each side's edge; then place each
  // polygon behind its edges in polygon order, so every edge's list is ascending.
  std::vector<Int32> sideEdge(sides);
  std::vector<Int32> count;
  size_t side = 0;
  for (Int32 i = 0; i < vcnt; ++i)
    ForEachEdge(vadr[i], pcnt, [&](Int32 a, Int32 b) {
      const std::uint64_t key = EdgeKey(a, b);
      const size_t s = Slot(key);
      if (keys_[s] == kEmpty) {
        keys_[s] = key;
        ids_[s] = static_cast<Int32>(count.size());
        count.push_back(0);
      }
      ++count[static_cast<size_t>(ids_[s])];
      sideEdge[side++] = ids_[s];
    });
  first_.resize(count.size() + 1);
  for (size_t e = 0; e < count.size(); ++e) first_[e + 1] = first_[e] + count[e];
  polys_.resize(sides);
  std::vector<Int32> next(first_.begin(), first_.end() - 1);
  side = 0;
  for (Int32 i = 0; i < vcnt; ++i)
    ForEachEdge(vadr[i], pcnt, [&](Int32, Int32) {
      const auto e = static_cast<size_t>(sideEdge[side++]);
      polys_[static_cast<size_t>(next[e]++)] = i;
    });
  return true;
}

Int32 Neighbor::GetNeighbor(Int32 a, Int32 b, Int32 poly) const {
  if (keys_.empty() || a == b || a < 0 || b < 0) return NOTOK;
  const size_t s = Slot(EdgeKey(a, b));
  if (keys_[s] == kEmpty) return NOTOK;
  const auto e = static_cast<size_t>(ids_[s]);
  for (Int32 k = first_[e]; k < first_[e + 1]; ++k)
    if (polys_[static_cast<size_t>(k)] != poly) return polys_[static_cast<size_t>(k)];
  return NOTOK;
}
