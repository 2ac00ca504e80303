#include "customgui_splinecontrol.h"

#include <new>

SplineData* SplineData::Alloc() {
  return new (std::nothrow) SplineData();
}

void SplineData::Free(SplineData*& data) {
  delete data;
  data = nullptr;
}

std::unique_ptr<CustomDataType> SplineData::Clone() const {
  return std::make_unique<SplineData>(*this);
}

CustomSplineKnot* SplineData::GetKnot(Int32 id) {
  return id >= 0 && id < GetKnotCount() ? &knots_[static_cast<size_t>(id)] : nullptr;
}

const CustomSplineKnot* SplineData::GetKnot(Int32 id) const {
  return id >= 0 && id < GetKnotCount() ? &knots_[static_cast<size_t>(id)] : nullptr;
}

Bool SplineData::ResizeKnots(Int32 count) {
  if (count < 0) return false;
  try {
    knots_.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

Int32 SplineData::InsertKnot(Float x, Float y, Int32 flags) {
  try {
    knots_.push_back({Vector(x, y, 0.0), flags});
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return GetKnotCount() - 1;
}
