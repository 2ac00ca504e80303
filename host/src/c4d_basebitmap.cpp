#include "c4d_basebitmap.h"

#ifndef PELTERRA_NO_TIFF
#include <tiffio.h>

#include <cstdarg>

namespace {
// libtiff prints warnings and errors to stderr by default; a bad icon is not the user's concern.
void Silent(const char*, const char*, va_list) {}
}  // namespace

Bool BaseBitmap::Init(const Filename& name) {
  if (!GeFExist(name)) return false;
  TIFFErrorHandler oldErr = TIFFSetErrorHandler(Silent);
  TIFFErrorHandler oldWarn = TIFFSetWarningHandler(Silent);
  Bool ok = false;
  if (TIFF* tif = TIFFOpen(name.GetString().c_str(), "r")) {
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    // Icons are small; refuse absurd sizes rather than allocate them.
    if (w > 0 && h > 0 && w <= 4096 && h <= 4096) {
      std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
      if (TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
        width_ = static_cast<Int32>(w);
        height_ = static_cast<Int32>(h);
        pixels_.resize(raster.size());
        for (size_t i = 0; i < raster.size(); ++i) {
          uint32_t p = raster[i];
          pixels_[i] = (TIFFGetA(p) << 24) | (TIFFGetR(p) << 16) | (TIFFGetG(p) << 8) | TIFFGetB(p);
        }
        ok = true;
      }
    }
    TIFFClose(tif);
  }
  TIFFSetErrorHandler(oldErr);
  TIFFSetWarningHandler(oldWarn);
  return ok;
}
#else
// Built without libtiff: no icon file can be read, so every bitmap button shows its label.
Bool BaseBitmap::Init(const Filename&) {
  return false;
}
#endif

Bool BaseBitmap::Init(Int32 width, Int32 height) {
  if (width <= 0 || height <= 0 || width > 65536 || height > 65536) return false;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  return true;
}

UInt32 BaseBitmap::GetPixel(Int32 x, Int32 y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void BaseBitmap::SetPixel(Int32 x, Int32 y, UInt32 argb) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = argb;
}
