// A view that tags draw into. This host records what is drawn, so that it can be printed and
// checked.
#pragma once

#include <vector>

#include "c4d_basecontainer.h"
#include "ge_math.h"

class BaseObject;

// Draw parameters.
constexpr Int32 DRAW_PARAMETER_LINEWIDTH = 1000;
constexpr Int32 DRAW_PARAMETER_ZCOMPARE = 2;
// Values of DRAW_PARAMETER_ZCOMPARE: 4 draws over whatever lies in front.
constexpr Int32 DRAW_Z_ALWAYS = 4;

class BaseDraw {
 public:
  struct Line {
    Vector a, b;  // world space
    Vector color;
    Float width = 1.0;
  };

  void SetMatrix_Matrix(BaseObject* op, const Matrix& mg) {
    (void)op;
    matrix_ = mg;
  }
  void SetDrawParam(Int32 id, const GeData& data) { params_.SetData(id, data); }
  GeData GetDrawParam(Int32 id) const { return params_.GetData(id); }
  void SetTransparency(Int32 t) { transparency_ = t; }
  void LineZOffset(Int32 offset) { zOffset_ = offset; }
  void SetPen(const Vector& color) { pen_ = color; }
  // A line between two points given in the space of the current matrix.
  void DrawLine(const Vector& p1, const Vector& p2, Int32 flags = 0) {
    (void)flags;
    lines_.push_back(
        {matrix_ * p1, matrix_ * p2, pen_, params_.GetFloat(DRAW_PARAMETER_LINEWIDTH, 1.0)});
  }
  void LineNew(const Vector& p1, const Vector& p2) { DrawLine(p1, p2); }

  const std::vector<Line>& Lines() const { return lines_; }
  Int32 GetTransparency() const { return transparency_; }
  Int32 GetLineZOffset() const { return zOffset_; }
  void Clear() {
    lines_.clear();
    params_.FlushAll();
    matrix_ = Matrix();
  }

 private:
  Matrix matrix_;
  BaseContainer params_;
  Vector pen_;
  Int32 transparency_ = 0;
  Int32 zOffset_ = 0;
  std::vector<Line> lines_;
};

class BaseDrawHelp {};
