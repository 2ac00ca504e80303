// Bitmaps (plug-in icons); AutoBitmap loads one from the plug-in's res folder.
#pragma once

#include <memory>
#include <vector>

#include "c4d_file.h"
#include "ge_math.h"

class BaseBitmap {
 public:
  static BaseBitmap* Alloc() { return new BaseBitmap(); }
  static void Free(BaseBitmap*& bm) {
    delete bm;
    bm = nullptr;
  }

  // Reads a TIFF file; false when it is missing or not a readable image.
  Bool Init(const Filename& name);
  Bool Init(Int32 width, Int32 height);
  Int32 GetBw() const { return width_; }
  Int32 GetBh() const { return height_; }
  // Pixel (x, y) from the top left as 0xAARRGGBB; 0 outside.
  UInt32 GetPixel(Int32 x, Int32 y) const;
  void SetPixel(Int32 x, Int32 y, UInt32 argb);
  BaseBitmap* GetClone() const { return new BaseBitmap(*this); }

 private:
  Int32 width_ = 0, height_ = 0;
  std::vector<UInt32> pixels_;
};

// An icon from the calling plug-in's res folder; converts to nullptr when it cannot be read.
class AutoBitmap {
 public:
  AutoBitmap(const String& name, Float pixelRatio = 1.0);
  operator BaseBitmap*() const { return bitmap_.get(); }
  Float GetPixelRatio() const { return pixelRatio_; }

 private:
  std::unique_ptr<BaseBitmap> bitmap_;
  Float pixelRatio_;
};
