#include "UVpolySelect.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// --- exact positions ---

// The bits of a coordinate with -0 read as +0, so that equal values hash alike.
UInt64 Bits(Float x) {
  return std::bit_cast<UInt64>(x + 0.0);
}

Bool Undefined(const Vector& v) {
  return std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z);
}

// A number per corner (4 * polygon + corner): corners whose u, v and w are equal share one. A
// position with an undefined component equals nothing and gets -1.
std::vector<Int32> NumberPositions(const UVWStruct* uv, size_t polyCount, Int32& count) {
  const size_t n = 4 * polyCount;
  std::vector<Int32> id(n, -1);
  size_t cap = 16;
  while (cap < 2 * n) cap *= 2;
  std::vector<Int32> table(cap, -1);  // a corner that holds the slot's position
  const size_t mask = cap - 1;
  count = 0;
  for (size_t i = 0; i < n; ++i) {
    const Vector& p = uv[i >> 2][static_cast<Int32>(i & 3)];
    if (Undefined(p)) continue;
    size_t h = static_cast<size_t>(MixBits(Bits(p.x) ^ MixBits(Bits(p.y) ^ MixBits(Bits(p.z))))) & mask;
    while (true) {
      const Int32 t = table[h];
      if (t < 0) {
        table[h] = static_cast<Int32>(i);
        id[i] = count++;
        break;
      }
      if (UVEqual(uv[t >> 2][t & 3], p)) {
        id[i] = id[static_cast<size_t>(t)];
        break;
      }
      h = (h + 1) & mask;
    }
  }
  return id;
}

// --- the sides of the quads, by the positions they join ---

struct SideEntry {
  Int32 hi = 0;  // the higher position number of the side (the lower one is the bucket)
  Int32 polygon = 0;
  Int32 side = 0;
};

// Every side of every quad through which the quad can be entered: a side whose two corners are
// the only ones of the quad on the side's positions. Sides are bucketed by their lower position
// number and sorted by the higher one, then by polygon.
class SideIndex {
 public:
  SideIndex(const UVWStruct* uv, const CPolygon* polys, Int32 polyCount) {
    const size_t n = static_cast<size_t>(std::max(polyCount, 0));
    Int32 positions = 0;
    id_ = NumberPositions(uv, n, positions);
    quad_.resize(n);
    for (size_t p = 0; p < n; ++p) quad_[p] = polys[p].c != polys[p].d;
    start_.assign(static_cast<size_t>(positions) + 1, 0);
    ForEachSide(n,
                [this](Int32 lo, Int32, Int32, Int32) { ++start_[static_cast<size_t>(lo) + 1]; });
    for (size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
    entries_.resize(static_cast<size_t>(start_.back()));
    std::vector<Int32> fill(start_.begin(), start_.end() - 1);
    ForEachSide(n, [&](Int32 lo, Int32 hi, Int32 p, Int32 s) {
      entries_[static_cast<size_t>(fill[static_cast<size_t>(lo)]++)] = {hi, p, s};
    });
    for (size_t k = 0; k + 1 < start_.size(); ++k) {
      if (start_[k + 1] - start_[k] < 2) continue;
      // Filled in polygon order: a stable sort by the higher number keeps it within each list.
      std::stable_sort(entries_.begin() + start_[k], entries_.begin() + start_[k + 1],
                       [](const SideEntry& a, const SideEntry& b) { return a.hi < b.hi; });
    }
  }

  Int32 Id(Int32 polygon, Int32 corner) const {
    return id_[4 * static_cast<size_t>(polygon) + static_cast<size_t>(corner)];
  }
  Bool Quad(Int32 polygon) const { return quad_[static_cast<size_t>(polygon)] != 0; }
  const SideEntry& Entry(Int32 i) const { return entries_[static_cast<size_t>(i)]; }
  size_t EntryCount() const { return entries_.size(); }

  // The entries of the sides that join positions lo and hi (lo <= hi) as [first, last).
  std::pair<Int32, Int32> Sides(Int32 lo, Int32 hi) const {
    const auto b = entries_.begin() + start_[static_cast<size_t>(lo)];
    const auto e = entries_.begin() + start_[static_cast<size_t>(lo) + 1];
    const auto r =
        std::equal_range(b, e, SideEntry{hi, 0, 0},
                         [](const SideEntry& a, const SideEntry& x) { return a.hi < x.hi; });
    return {static_cast<Int32>(r.first - entries_.begin()),
            static_cast<Int32>(r.second - entries_.begin())};
  }

  // Whether the quad's other two corners (those off side s) lie on neither position.
  Bool OthersOff(Int32 polygon, Int32 s, Int32 e0, Int32 e1) const {
    const Int32 o1 = Id(polygon, (s + 2) & 3), o2 = Id(polygon, (s + 3) & 3);
    auto on = [e0, e1](Int32 o) { return o >= 0 && (o == e0 || o == e1); };
    return !on(o1) && !on(o2);
  }

 private:
  template <typename F>
  void ForEachSide(size_t n, F&& f) const {
    for (size_t p = 0; p < n; ++p) {
      if (!quad_[p]) continue;
      const Int32 poly = static_cast<Int32>(p);
      for (Int32 s = 0; s < 4; ++s) {
        const Int32 a = Id(poly, s), b = Id(poly, (s + 1) & 3);
        if (a < 0 || b < 0 || !OthersOff(poly, s, a, b)) continue;
        f(std::min(a, b), std::max(a, b), poly, s);
      }
    }
  }

  std::vector<Int32> id_;
  std::vector<std::uint8_t> quad_;
  std::vector<Int32> start_;
  std::vector<SideEntry> entries_;
};

// --- the walks ---

// One walk per edge, each with fresh visited flags (stamped with the walk's number).
//
// A walk's state is its quad and the side it leaves by. Where a state's edge has at most one
// quad besides the state's own, the walk from it goes on to that quad or ends when the walk has
// passed it already: what follows depends on the state alone and on which quads the walk has
// passed. When such a walk ends on a quad it passed at step j (or on no quad at all), every walk
// that later reaches one of its states up to j follows the same quads until it meets one it has
// passed; it can select nothing new. Those states are marked and later walks stop there.
class LoopWalker {
 public:
  LoopWalker(const SideIndex& ix, Int32 polyCount)
      : ix_(ix),
        visit_(static_cast<size_t>(polyCount), 0),
        pos_(static_cast<size_t>(polyCount), 0),
        skipStamp_(ix.EntryCount(), 0),
        skipNext_(ix.EntryCount(), 0),
        closed_(4 * static_cast<size_t>(polyCount), 0) {}

  void Walk(const LoopEdge& edge, std::vector<std::uint8_t>& selected) {
    if (++gen_ == 0) {
      std::fill(visit_.begin(), visit_.end(), 0);
      std::fill(skipStamp_.begin(), skipStamp_.end(), 0);
      gen_ = 1;
    }
    states_.clear();
    simple_.clear();
    Int32 q = edge.polygon, side = (edge.side + 2) & 3;
    Pass(q, selected);
    while (true) {
      const Int32 state = 4 * q + side;
      if (closed_[static_cast<size_t>(state)]) {
        Close(states_.size(), states_.size());
        return;
      }
      states_.push_back(state);
      const Step st = Next(q, side);
      simple_.push_back(st.simple);
      if (st.polygon < 0) {
        if (st.simple) {
          // The only other quad on the edge was passed at step j (or there is none).
          const size_t j = st.other >= 0 ? pos_[static_cast<size_t>(st.other)] : states_.size() - 1;
          Close(states_.size(), std::min(j, states_.size() - 1) + 1);
        }
        return;
      }
      q = st.polygon;
      side = (st.side + 2) & 3;
      Pass(q, selected);
    }
  }

 private:
  struct Step {
    Int32 polygon = -1, side = 0;  // the quad entered and the side it is entered by
    Bool simple = false;           // at most one quad on the edge besides the walk's own
    Int32 other = -1;              // when simple: that quad, or -1
  };

  void Pass(Int32 q, std::vector<std::uint8_t>& selected) {
    selected[static_cast<size_t>(q)] = 1;
    visit_[static_cast<size_t>(q)] = gen_;
    pos_[static_cast<size_t>(q)] = states_.size();
  }
  Bool Visited(Int32 q) const { return visit_[static_cast<size_t>(q)] == gen_; }

  // Marks the states of the run of simple states that ends before index end, up to (not
  // including) index upto.
  void Close(size_t end, size_t upto) {
    size_t i = end;
    while (i > 0 && simple_[i - 1]) --i;
    for (; i < upto; ++i) closed_[static_cast<size_t>(states_[i])] = 1;
  }

  // The first entry of [i, end) whose quad this walk has not passed. Runs of passed entries are
  // skipped through links that this walk keeps.
  Int32 Unvisited(Int32 from, Int32 end) {
    Int32 i = from;
    while (i < end) {
      const size_t k = static_cast<size_t>(i);
      if (skipStamp_[k] == gen_) {
        i = skipNext_[k];
        continue;
      }
      if (!Visited(ix_.Entry(i).polygon)) break;
      skipStamp_[k] = gen_;
      skipNext_[k] = i + 1;
      ++i;
    }
    for (Int32 j = from; j < i && skipStamp_[static_cast<size_t>(j)] == gen_;) {
      const Int32 next = skipNext_[static_cast<size_t>(j)];
      skipNext_[static_cast<size_t>(j)] = i;
      j = next;
    }
    return i;
  }

  // The first unpassed entry of a list of sides whose both corners lie on one position, when
  // the edge's other position is off the quad's other corners.
  Int32 FirstDegenerate(std::pair<Int32, Int32> r, Int32 e0, Int32 e1) {
    for (Int32 i = r.first;; ++i) {
      i = Unvisited(i, r.second);
      if (i == r.second) return -1;
      const SideEntry& e = ix_.Entry(i);
      if (ix_.OthersOff(e.polygon, e.side, e0, e1)) return i;
    }
  }

  Step Next(Int32 q, Int32 side) {
    Step st;
    Int32 e0 = ix_.Id(q, side), e1 = ix_.Id(q, (side + 1) & 3);
    // An undefined position matches no corner: only the other one counts.
    if (e0 < 0) e0 = e1;
    if (e1 < 0) e1 = e0;
    if (e0 < 0) {
      st.simple = true;
      return st;
    }
    const Int32 lo = std::min(e0, e1), hi = std::max(e0, e1);
    const std::pair<Int32, Int32> both = ix_.Sides(lo, hi);
    std::pair<Int32, Int32> first = {0, 0}, second = {0, 0};
    if (lo != hi) {
      first = ix_.Sides(lo, lo);
      second = ix_.Sides(hi, hi);
    }
    // The walk's own quad is in a list at most once, so three entries tell.
    Int32 others = 0;
    for (Int32 i = both.first; i < both.second && i < both.first + 3; ++i) {
      if (ix_.Entry(i).polygon == q) continue;
      ++others;
      st.other = ix_.Entry(i).polygon;
    }
    st.simple = others <= 1 && first.first == first.second && second.first == second.second;
    if (!st.simple) st.other = -1;

    // The lowest quad among the lists' first candidates.
    Int32 best = -1;
    auto consider = [&](Int32 i) {
      if (i >= 0 && (best < 0 || ix_.Entry(i).polygon < ix_.Entry(best).polygon)) best = i;
    };
    const Int32 b = Unvisited(both.first, both.second);
    consider(b < both.second ? b : -1);
    if (lo != hi) {
      consider(FirstDegenerate(first, lo, hi));
      consider(FirstDegenerate(second, lo, hi));
    }
    if (best >= 0) {
      st.polygon = ix_.Entry(best).polygon;
      st.side = ix_.Entry(best).side;
    }
    return st;
  }

  const SideIndex& ix_;
  UInt32 gen_ = 0;
  std::vector<UInt32> visit_;
  std::vector<size_t> pos_;  // step of the walk at which the quad was passed
  std::vector<UInt32> skipStamp_;
  std::vector<Int32> skipNext_;
  std::vector<std::uint8_t> closed_;
  std::vector<Int32> states_;
  std::vector<Bool> simple_;
};

}  // namespace

std::vector<LoopEdge> LoopEdges(const std::vector<UVPointRef>& corners) {
  std::vector<LoopEdge> edges;
  size_t i = 0;
  while (i < corners.size()) {
    size_t j = i;
    while (j + 1 < corners.size() && corners[j + 1].polygon == corners[i].polygon) ++j;
    // Corners i .. j of one polygon, ascending; a lone corner is not paired.
    for (size_t a = i; a <= j; ++a) {
      for (size_t b = a + 1; b <= j; ++b) {
        const Int32 ca = corners[a].corner, cb = corners[b].corner;
        if (cb == ca + 1)
          edges.push_back({corners[a].polygon, ca});
        else if (ca == 0 && cb == 3)
          edges.push_back({corners[a].polygon, 3});
      }
    }
    i = j + 1;
  }
  return edges;
}

void WalkLoops(const UVWStruct* uv, const CPolygon* polys, Int32 polyCount,
               const std::vector<LoopEdge>& edges, std::vector<std::uint8_t>& selected) {
  if (!uv || !polys || polyCount <= 0 || edges.empty()) return;
  if (selected.size() < static_cast<size_t>(polyCount))
    selected.resize(static_cast<size_t>(polyCount), 0);
  const SideIndex index(uv, polys, polyCount);
  LoopWalker walker(index, polyCount);
  for (const LoopEdge& e : edges) {
    if (e.polygon < 0 || e.polygon >= polyCount || e.side < 0 || e.side > 3) continue;
    walker.Walk(e, selected);
  }
}

Bool LoopSelectPolygons() {
  UVToolScope scope({.mode = Muvpoints, .withPolygons = true});
  if (!scope.Ok()) return false;
  const BaseSelect* points = scope.UVPointSelection();
  if (!points || points->GetCount() < 2 || !scope.UVs()) return false;
  const std::vector<LoopEdge> edges = LoopEdges(scope.SelectedUVPoints());
  // No two neighbouring corners of one polygon: the user's selection stays as it was.
  if (edges.empty()) return false;

  const Int32 polyCount = scope.PolygonCount();
  std::vector<std::uint8_t> selected(static_cast<size_t>(polyCount), 0);
  WalkLoops(scope.UVs(), scope.Polygons(), polyCount, edges, selected);
  std::vector<Int32> list;
  for (Int32 p = 0; p < polyCount; ++p)
    if (selected[static_cast<size_t>(p)]) list.push_back(p);
  SelectAscending(scope.PolygonSelection(), list);
  scope.Document()->SetMode(Muvpolygons);
  scope.Commit(false);
  return true;
}

namespace {

void LoopCommand(ToolDialog&, Int32) {
  LoopSelectPolygons();
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "loop select",
    .controls = {IDC_LOOP_SELECT},
    .command = LoopCommand,
});

}  // namespace
