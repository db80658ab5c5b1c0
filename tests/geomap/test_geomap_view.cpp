// View geometry, confining the view to the image and the ring of the last views.
#include <gtest/gtest.h>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::MapHost;

class GeoMapView : public ::testing::Test {
 protected:
  MapHost h;
  testing::TestMap& m = *h.map;
};

TEST_F(GeoMapView, PixelConversionsRoundHalvesToEven) {
  m.SetMagnification(2);
  m.SetTopLeft({10, 10});
  // 5 / 2 = 2.5 -> 2, 7 / 2 = 3.5 -> 4.
  EXPECT_EQ(m.ControlToMapImage({5, 7}), (TPoint{12, 14}));
  EXPECT_EQ(m.MapImageToControl({12, 14}), (TPoint{4, 8}));
  m.SetMagnification(0.25);
  EXPECT_EQ(m.MapImageToControl({12, 16}), (TPoint{0, 2}));  // 0.5 -> 0, 1.5 -> 2
  EXPECT_EQ(m.ControlToMapImage({-3, 0}), (TPoint{-2, 10}));
}

TEST_F(GeoMapView, ConfiningThePanKeepsTheImageInView) {
  m.SetMapBitMap(testing::BitmapOf(testing::Solid(600, 450, 0)));
  m.SetTopLeft({1000, 1000});
  const int paints = m.CompositionCount();
  m.SetConfinePan(true);
  EXPECT_EQ(m.CompositionCount(), paints);  // no repaint of its own
  EXPECT_EQ(m.TopLeft(), (TPoint{100, 50}));
  m.SetTopLeft({-5, -7});
  m.PanMapToFillWindow();
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  // An image narrower than the view is shown from its left edge.
  m.SetMagnification(0.5);
  m.SetTopLeft({30, 10});
  m.PanMapToFillWindow();
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  // Switching it off does not move the view.
  m.SetTopLeft({300, 300});
  m.SetConfinePan(false);
  EXPECT_EQ(m.TopLeft(), (TPoint{300, 300}));
}

TEST_F(GeoMapView, ZoomHistoryIsARingOfSixteen) {
  m.SetMagnification(3);
  m.SetTopLeft({7, 8});
  m.ClearZoomHistory();
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{7, 8, 3}));
  EXPECT_EQ(m.ZoomStack(-1), TgmZoomStackEntry{});
  m.SetTopLeft({0, 0});
  m.ZoomHistory(-1);  // empty entry: nothing happens
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  m.ZoomHistory(0);
  EXPECT_EQ(m.TopLeft(), (TPoint{7, 8}));

  for (int i = 1; i <= 16; ++i) {
    m.SetTopLeft({i, 0});
    m.ZoomStateOnStack();
  }
  // The view pushed by ClearZoomHistory is gone.
  EXPECT_EQ(m.ZoomStack(0).Left, 16);
  EXPECT_EQ(m.ZoomStack(-15).Left, 1);
  EXPECT_EQ(m.ZoomStack(1), TgmZoomStackEntry{});
  EXPECT_EQ(m.ZoomStack(-16), TgmZoomStackEntry{});

  m.SetMagnification(1);
  const int paints = m.CompositionCount();
  m.ZoomHistory(-15);
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(m.TopLeft(), (TPoint{1, 0}));
  EXPECT_EQ(m.Magnification(), 3.0);
  m.ZoomHistory(1);
  m.ZoomHistory(-16);
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(m.ZoomStack(0).Left, 16);  // restoring does not push
}

}  // namespace
}  // namespace vek
