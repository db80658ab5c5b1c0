// TMapImageSource: where the map control gets the pixels of its image. One interface for an
// image held in memory and for a large file shown from a pyramid of tiles, so that the
// control draws every kind of source the same way.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <string>

namespace vek {

// Pixels of a part of the image at some scale: Pixels covers Area (full-resolution image
// pixels) at Scale image pixels per full-resolution pixel, so Pixels is about
// Area.size() * Scale.
struct TImageRegion {
  QImage Pixels;
  QRect Area;
  double Scale = 1;
};

class TMapImageSource {
 public:
  virtual ~TMapImageSource() = default;
  // Full-resolution size.
  virtual QSize Size() const = 0;
  // The pixels of Area (clipped to the image) as sharp as Magnify (screen pixels per image
  // pixel) needs, or the best the source has at the moment. Never larger than about
  // Area.size() * max(Magnify, 1/2) * 2 pixels.
  virtual TImageRegion Region(const QRect& Area, double Magnify) = 0;
  // Share of the full detail available, 0 ... 1.
  virtual double Progress() const { return 1; }
  // True once the detail is complete or the build has failed.
  virtual bool Finished() const { return true; }
  // Why the build failed; empty when it did not.
  virtual std::string Error() const { return {}; }
  // Stops background work; what is there stays readable.
  virtual void Cancel() {}
  // Called on a worker thread whenever more detail becomes available (Key identifies the
  // listener for RemoveListener). After RemoveListener returns the function is not called.
  virtual void AddListener(const void* Key, std::function<void()> Fn) {}
  virtual void RemoveListener(const void* Key) {}
};

// An image held whole in memory.
class TMemoryImageSource : public TMapImageSource {
 public:
  explicit TMemoryImageSource(QImage Image) : FImage(std::move(Image)) {}
  QSize Size() const override { return FImage.size(); }
  TImageRegion Region(const QRect& Area, double) override {
    const QRect a = Area.intersected(FImage.rect());
    return TImageRegion{FImage.copy(a), a, 1};
  }
  const QImage& Image() const { return FImage; }

 private:
  QImage FImage;
};

}  // namespace vek
