// Spline data (custom data type 1009060): a list of knots with positions.
#pragma once

#include <memory>
#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_description.h"

// One knot. This host keeps its position and flags; the spline GUI's tangents and
// interpolation are not modelled.
struct CustomSplineKnot {
  Vector vPos;
  Int32 lFlagsSettings = 0;
};

class SplineData : public CustomDataType {
 public:
  // A new empty spline, or nullptr when there is no memory for one.
  static SplineData* Alloc();
  static void Free(SplineData*& data);

  Int32 GetTypeId() const override { return CUSTOMDATATYPE_SPLINE; }
  std::unique_ptr<CustomDataType> Clone() const override;

  Int32 GetKnotCount() const { return static_cast<Int32>(knots_.size()); }
  // Knot id, or nullptr outside the list.
  CustomSplineKnot* GetKnot(Int32 id);
  const CustomSplineKnot* GetKnot(Int32 id) const;
  // All knots in order (GetKnotCount of them); nullptr for an empty list.
  const CustomSplineKnot* GetKnots() const { return knots_.empty() ? nullptr : knots_.data(); }
  CustomSplineKnot* GetKnots() { return knots_.empty() ? nullptr : knots_.data(); }

  // Makes the list count knots long; new knots lie at the origin. False (the list as it was)
  // for a negative count or when there is no memory for it.
  Bool ResizeKnots(Int32 count);
  // Appends a knot at (x, y); answers its index, or -1 without memory.
  Int32 InsertKnot(Float x, Float y, Int32 flags = 0);
  void DeleteAllPoints() { knots_.clear(); }

 private:
  std::vector<CustomSplineKnot> knots_;
};
