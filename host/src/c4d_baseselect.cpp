#include "c4d_baseselect.h"

#include <algorithm>

size_t BaseSelect::Find(Int32 num) const {
  auto it = std::lower_bound(segs_.begin(), segs_.end(), num, [](const Segment& s, Int32 n) {
    return static_cast<Int64>(s.b) < static_cast<Int64>(n) - 1;
  });
  return static_cast<size_t>(it - segs_.begin());
}

Bool BaseSelect::Select(Int32 num) {
  if (num < 0) return false;
  size_t i = Find(num);
  if (i == segs_.size()) {
    if (!segs_.empty() && segs_.back().b + 1 == num)
      segs_.back().b = num;
    else
      segs_.push_back({num, num});
    return true;
  }
  Segment& s = segs_[i];
  if (num >= s.a && num <= s.b) return true;
  if (s.b + 1 == num) {  // extends s upward; may join the next segment
    s.b = num;
    if (i + 1 < segs_.size() && segs_[i + 1].a == num + 1) {
      s.b = segs_[i + 1].b;
      segs_.erase(segs_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return true;
  }
  if (s.a - 1 == num) {
    s.a = num;
    return true;
  }
  segs_.insert(segs_.begin() + static_cast<std::ptrdiff_t>(i), Segment{num, num});
  return true;
}

Bool BaseSelect::Deselect(Int32 num) {
  if (num < 0) return false;
  size_t i = Find(num);
  if (i == segs_.size()) return true;
  Segment& s = segs_[i];
  if (num < s.a || num > s.b) return true;
  if (s.a == s.b) {
    segs_.erase(segs_.begin() + static_cast<std::ptrdiff_t>(i));
  } else if (num == s.a) {
    s.a++;
  } else if (num == s.b) {
    s.b--;
  } else {
    Segment upper{num + 1, s.b};
    s.b = num - 1;
    segs_.insert(segs_.begin() + static_cast<std::ptrdiff_t>(i) + 1, upper);
  }
  return true;
}

Bool BaseSelect::Toggle(Int32 num) {
  return IsSelected(num) ? Deselect(num) : Select(num);
}

Bool BaseSelect::IsSelected(Int32 num) const {
  if (num < 0) return false;
  size_t i = Find(num);
  return i < segs_.size() && num >= segs_[i].a && num <= segs_[i].b;
}

Bool BaseSelect::SelectAll(Int32 min, Int32 max) {
  if (min < 0) min = 0;
  if (max < min) return false;
  // Merge [min, max] with every segment it touches.
  auto first = std::lower_bound(segs_.begin(), segs_.end(), min, [](const Segment& s, Int32 n) {
    return static_cast<Int64>(s.b) < static_cast<Int64>(n) - 1;
  });
  auto last = first;
  Segment merged{min, max};
  while (last != segs_.end() && static_cast<Int64>(last->a) <= static_cast<Int64>(max) + 1) {
    merged.a = std::min(merged.a, last->a);
    merged.b = std::max(merged.b, last->b);
    ++last;
  }
  first = segs_.erase(first, last);
  segs_.insert(first, merged);
  return true;
}

Bool BaseSelect::DeselectAll() {
  segs_.clear();
  return true;
}

Int32 BaseSelect::GetCount() const {
  Int64 n = 0;
  for (const Segment& s : segs_) n += static_cast<Int64>(s.b) - s.a + 1;
  return static_cast<Int32>(n);
}

Bool BaseSelect::GetRange(Int32 seg, Int32 maxElements, Int32* a, Int32* b) const {
  if (seg < 0 || seg >= GetSegments() || !a || !b) return false;
  const Segment& s = segs_[static_cast<size_t>(seg)];
  if (s.a >= maxElements) return false;
  *a = s.a;
  *b = std::min(s.b, maxElements - 1);
  return true;
}

Int32 BaseSelect::GetLastElement() const {
  return segs_.empty() ? -1 : segs_.back().b;
}

Bool BaseSelect::CopyTo(BaseSelect* dest) const {
  if (!dest) return false;
  dest->segs_ = segs_;
  return true;
}

BaseSelect* BaseSelect::GetClone() const {
  auto* c = new BaseSelect();
  c->segs_ = segs_;
  return c;
}
