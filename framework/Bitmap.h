// TBitmap (an RGB32 QImage with a canvas) and TJPEGImage, with file I/O through Qt's codecs.
#pragma once

#include <QImage>
#include <memory>
#include <string>

#include "Canvas.h"
#include "GraphicsTypes.h"
#include "VekError.h"

namespace vek {

// A file that does not hold a readable image of the expected kind.
class EInvalidGraphic : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

// Kept for callers that set it; the pixels are always 32-bit RGB.
enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TJPEGImage;

class TBitmap {
 public:
  TBitmap();
  TBitmap(int W, int H);
  TBitmap(const TBitmap& src);
  TBitmap& operator=(const TBitmap& src);
  ~TBitmap();

  // Deep copy of the pixels and the pixel format.
  void Assign(const TBitmap& src);
  void Assign(const TJPEGImage& src);

  // Keeps the pixels that still fit; new pixels are white.
  void SetSize(int W, int H);
  void SetWidth(int W) { SetSize(W, Height()); }
  void SetHeight(int H) { SetSize(Width(), H); }
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  bool Empty() const { return FImage.isNull() || Width() == 0 || Height() == 0; }

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat pf) { FPixelFormat = pf; }

  TCanvas* Canvas() { return FCanvas.get(); }
  // The pixels, with any painting in progress finished.
  const QImage& Image() const;
  // Takes a copy of the image, converted to RGB32.
  void SetImage(const QImage& image);

  // Windows bitmap files. Raise EInOutError when the file cannot be opened or written and
  // EInvalidGraphic when it holds no readable bitmap.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  TProgressEvent OnProgress;

 private:
  QImage FImage;
  std::unique_ptr<TCanvas> FCanvas;
  TPixelFormat FPixelFormat = pfDevice;
};

class TJPEGImage {
 public:
  TJPEGImage() = default;

  void Assign(const TBitmap& src);
  void AssignTo(TBitmap& dst) const { dst.Assign(*this); }

  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  bool Empty() const { return FImage.isNull(); }
  // 1 ... 100, as the encoder takes it.
  int CompressionQuality() const { return FQuality; }
  void SetCompressionQuality(int q) { FQuality = q < 1 ? 1 : (q > 100 ? 100 : q); }
  const QImage& Image() const { return FImage; }

  // JPEG files; the same exceptions as TBitmap.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  TProgressEvent OnProgress;

 private:
  QImage FImage;
  int FQuality = 75;
};

}  // namespace vek
