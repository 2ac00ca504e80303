// Selection of element indices, kept as sorted, disjoint segments of consecutive indices.
#pragma once

#include <vector>

#include "ge_math.h"

class BaseSelect {
 public:
  static BaseSelect* Alloc() { return new BaseSelect(); }
  static void Free(BaseSelect*& s) {
    delete s;
    s = nullptr;
  }

  Bool Select(Int32 num);
  Bool Deselect(Int32 num);
  Bool Toggle(Int32 num);
  Bool IsSelected(Int32 num) const;
  // Selects min..max inclusive.
  Bool SelectAll(Int32 min, Int32 max);
  Bool DeselectAll();

  Int32 GetCount() const;
  Int32 GetSegments() const { return static_cast<Int32>(segs_.size()); }
  // Segment seg as a..b, with b limited to maxElements - 1; false when seg does not exist
  // or the segment lies wholly at or beyond maxElements.
  Bool GetRange(Int32 seg, Int32 maxElements, Int32* a, Int32* b) const;
  // Highest selected index, or -1.
  Int32 GetLastElement() const;

  Bool CopyTo(BaseSelect* dest) const;
  BaseSelect* GetClone() const;
  bool operator==(const BaseSelect& o) const { return segs_ == o.segs_; }

 private:
  struct Segment {
    Int32 a, b;  // inclusive
    bool operator==(const Segment& o) const { return a == o.a && b == o.b; }
  };
  std::vector<Segment> segs_;
  // Index of the first segment whose end is >= num - 1 (the one num would touch or join).
  size_t Find(Int32 num) const;
};
