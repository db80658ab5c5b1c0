// Shared pieces of the map control tests: a map inside a host widget, access to its
// protected state, and generated test images.
#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest/QTest>
#include <memory>
#include <string>

#include "Colors.h"
#include "TGeoMap.h"

namespace vek::testing {

// Exposes the state that the tests check but the public API does not show.
class TestMap : public TGeoMap {
 public:
  using TGeoMap::TGeoMap;
  using TGeoMap::AuxBmp;
  using TGeoMap::FCacheAA;
  using TGeoMap::FCacheMag;
  using TGeoMap::FCal;
  using TGeoMap::FImgCache;
  using TGeoMap::FLM;
  using TGeoMap::GrafBmp;
};

// A map as a child of a host widget, so that it counts as visible without being shown.
struct MapHost {
  QWidget host;
  TestMap* map;
  MapHost() : map(new TestMap(&host)) { map->SetName("Map1"); }
};

// Real mouse events on a widget. QTest's own mouseMove carries no buttons, so moves are
// sent as events with the held buttons.
inline void Press(QWidget* w, int x, int y, Qt::MouseButton b = Qt::LeftButton,
                  Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mousePress(w, b, mods, QPoint(x, y));
}
inline void Release(QWidget* w, int x, int y, Qt::MouseButton b = Qt::LeftButton,
                    Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mouseRelease(w, b, mods, QPoint(x, y));
}
inline void Move(QWidget* w, int x, int y, Qt::MouseButtons held = Qt::LeftButton,
                 Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const QPointF p(x, y);
  QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, held, mods);
  QApplication::sendEvent(w, &e);
}
// A left click at (x, y) on a shown widget.
inline void Click(QWidget* w, int x, int y) {
  Press(w, x, y);
  Release(w, x, y);
}

inline constexpr TColor kRed = 0x0000FF;
inline constexpr TColor kGreen = 0x00FF00;
inline constexpr TColor kBlue = 0xFF0000;
inline constexpr TColor kYellow = 0x00FFFF;

// Top-left red, top-right green, bottom-left blue, bottom-right yellow.
inline QImage Quadrants(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool right = x >= w / 2, bottom = y >= h / 2;
      TColor c = bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
      img.setPixel(x, y, ColorToRgb(c));
    }
  return img;
}

inline QImage Solid(int w, int h, TColor c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(ColorToQColor(c));
  return img;
}

inline TBitmap BitmapOf(const QImage& img) {
  TBitmap b;
  b.SetImage(img);
  return b;
}

inline TColor PixelOf(const TBitmap& b, int x, int y) { return RgbToColor(b.Image().pixel(x, y)); }
inline TColor PixelOf(const QImage& img, int x, int y) { return RgbToColor(img.pixel(x, y)); }

// Channel-wise closeness, for pixels that went through JPEG or smoothing.
inline bool Near(TColor a, TColor b, int tol = 40) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tol &&
         std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tol &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tol;
}

// Writes an image file into a directory and returns its path.
inline std::string WriteImage(const QTemporaryDir& dir, const std::string& name, const QImage& img,
                              const char* format) {
  const QString path = QDir(dir.path()).filePath(QString::fromStdString(name));
  if (!img.save(path, format, 95)) return {};
  return path.toStdString();
}

}  // namespace vek::testing
