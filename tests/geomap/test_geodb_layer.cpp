// A database drawn over calibrated maps: vertices where the calibration puts them under
// several models, items across the antimeridian, tiny items skipped, the map's layer list.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "GeoDBLayer.h"
#include "LandMarkImageCache.h"
#include "TGeoDB.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::PixelOf;
using testing::Solid;

constexpr TColor Paper = 0xE0F0F8, Ink = 0x0000C0;

struct Bounds {
  float latLo = 90, latHi = -90, lonLo = 180, lonHi = -180;
  explicit Bounds(const TgdbPolygon& p) {
    for (const TSCoords& c : p) {
      latLo = std::min(latLo, c.Latit);
      latHi = std::max(latHi, c.Latit);
      lonLo = std::min(lonLo, c.Longit);
      lonHi = std::max(lonHi, c.Longit);
    }
  }
};

int32_t AddBorder(TGeoDB& db, const TgdbPolygon& p, bool closed = true) {
  const Bounds b(p);
  return db.AddBorder("b", p, closed, 0, 0, b.latLo, b.latHi, b.lonLo, b.lonHi, 0, 0, 0);
}

struct LayerFixture : ::testing::Test {
  QTemporaryDir dir;
  TGeoDB db;
  MapHost h;
  testing::TestMap& m = *h.map;
  std::shared_ptr<TGeoDBLayer> layer = std::make_shared<TGeoDBLayer>(&db);

  void SetUp() override {
    db.SetDBName(QDir(dir.path()).filePath("world").toStdString());
    db.SetLazyWrite(true);
    layer->KindStyle(gitBorder).LineColor = Ink;
  }
  // A 400 x 300 map, its control the same size.
  void Map(int w = 400, int h = 300) {
    m.SetSuppressPaint(true);
    m.resize(w, h);
    m.SetFrameStyle(fsNone);
    m.SetMapBitMap(BitmapOf(Solid(w, h, Paper)));
    m.SetMagnification(1);
    m.SetTopLeft(TPoint{0, 0});
  }
  const QImage& Picture() { return m.AuxBmp->Image(); }
  TPoint Where(double lat, double lon) {
    int x = -1, y = -1;
    EXPECT_TRUE(m.CalcPixelCoords(lat, lon, x, y));
    return m.Viewport().ImageToControl(TPoint{x, y});
  }
};

TEST_F(LayerFixture, VerticesWhereTheCalibrationPutsThemUnderEveryModel) {
  // A border over 46 .. 48 N, 13 .. 17 E with vertices a few pixels apart and far apart.
  TgdbPolygon border;
  for (int k = 0; k <= 20; ++k) border.push_back(TSCoords{46.3f + 0.07f * k, 13.4f + 0.02f * k});
  border.push_back(TSCoords{47.8f, 16.5f});
  border.push_back(TSCoords{46.4f, 16.2f});
  AddBorder(db, border);
  for (TCalibModel model : {cmEquiRect, cmBiquadraticPn, cmMillerCylindrical}) {
    SCOPED_TRACE(int(model));
    Map();
    m.ClearCalibData();
    m.SetCalibModel(model);
    // Nine points of a slightly sheared grid, so that the models fit differently.
    for (double lat : {46.2, 47.0, 47.8})
      for (double lon : {13.3, 15.0, 16.7})
        m.AddCalibPoint(lat, lon, int(std::lround((lon - 13) * 100 + (lat - 46) * 9)),
                        int(std::lround((48 - lat) * 150 + (lon - 13) * (lon - 13) * 2)));
    m.SetLayers({layer});
    m.SetSuppressPaint(false);
    EXPECT_EQ(layer->LastFrame().Drawn, 1);
    for (const TSCoords& v : border) {
      const TPoint p = Where(v.Latit, v.Longit);
      EXPECT_EQ(PixelOf(Picture(), p.X, p.Y), Ink) << v.Latit << " " << v.Longit;
    }
    // Magnified, vertices keep their fraction of an image pixel: within a pixel of it.
    m.SetMagnification(2.0);
    for (const TSCoords& v : border) {
      const TPoint p = Where(v.Latit, v.Longit);
      if (p.X < 2 || p.Y < 2 || p.X > 397 || p.Y > 297) continue;
      bool inked = false;
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) inked |= PixelOf(Picture(), p.X + dx, p.Y + dy) == Ink;
      EXPECT_TRUE(inked) << v.Latit << " " << v.Longit;
    }
  }
}

TEST_F(LayerFixture, ItemsAcrossTheAntimeridian) {
  // The map covers 170 E .. 170 W, its longitudes running on past 180.
  Map();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(10, 170, 0, 0);
  m.AddCalibPoint(10, 190, 400, 0);
  m.AddCalibPoint(0, 170, 0, 300);
  // A line from 175 E to 175 W, a lake wholly west of the line, a town at 178 W.
  AddBorder(db, TgdbPolygon{{5, 175}, {5, -175}}, false);
  const TgdbPolygon lake{{2, -178}, {2, -176}, {3, -176}, {3, -178}};
  const Bounds lb(lake);
  db.AddLake("lake", lake, 0, 0, lb.latLo, lb.latHi, lb.lonLo, lb.lonHi, 0, 0, 0);
  db.AddTown("Town", 0, 0, TSCoords{8, -178}, 0, 0, 0);
  layer->KindStyle(gitLake) = TGeoDBLayer::DefaultStyle(gitLake);
  layer->KindStyle(gitLake).FillColor = 0x00C000;
  layer->KindStyle(gitTown).Symbol = TSymbolProperties{lmSquare, 3, 0xC00000, 0xC00000, false, 0, 0};
  m.SetLayers({layer});
  m.SetSuppressPaint(false);
  EXPECT_EQ(layer->LastFrame().Drawn, 3);
  // The line runs straight across 180, not back round the world.
  for (double lon : {175.0, 180.0, 184.9}) {
    const TPoint p = Where(5, lon);
    EXPECT_EQ(PixelOf(Picture(), p.X, p.Y), Ink) << lon;
  }
  EXPECT_EQ(PixelOf(Picture(), Where(5, 172).X, Where(5, 172).Y), Paper);
  const TPoint inLake = Where(2.5, 183);
  EXPECT_EQ(PixelOf(Picture(), inLake.X, inLake.Y), 0x00C000u);
  const TPoint town = Where(8, 182);
  EXPECT_EQ(PixelOf(Picture(), town.X + 1, town.Y + 1), 0xC00000u);

  // A view wholly east of 180 finds the items stored with western longitudes.
  m.SetMagnification(2);
  m.SetTopLeft(TPoint{220, 45});
  const std::vector<int32_t> found = TGeoDBLayer::EntriesInView(db, m.Calibration(), m.Viewport());
  EXPECT_NE(std::find(found.begin(), found.end(), 1), found.end());  // the line
  EXPECT_NE(std::find(found.begin(), found.end(), 3), found.end());  // the town

  // On a map of the whole world, a line stored running on to 190 E shows at both edges.
  layer->Invalidate();
  AddBorder(db, TgdbPolygon{{-20, 172}, {-20, 188}}, false);
  Map(360, 180);
  m.ClearCalibData();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(90, -180, 0, 0);
  m.AddCalibPoint(90, 180, 360, 0);
  m.AddCalibPoint(-90, -180, 0, 180);
  m.SetSuppressPaint(false);
  for (double lon : {174.0, -174.0}) {
    const TPoint p = Where(-20, lon);
    EXPECT_EQ(PixelOf(Picture(), p.X, p.Y), Ink) << lon;
  }
  EXPECT_EQ(PixelOf(Picture(), Where(-20, 0).X, Where(-20, 0).Y), Paper);  // not across the map
}

TEST_F(LayerFixture, TinyItemsCostNothingVisible) {
  Map();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48, 13, 0, 0);
  m.AddCalibPoint(48, 17, 400, 0);
  m.AddCalibPoint(46, 13, 0, 300);
  AddBorder(db, TgdbPolygon{{46.5, 14}, {47.5, 14}, {47.5, 16}, {46.5, 16}});
  m.SetLayers({layer});
  m.SetSuppressPaint(false);
  const QImage without = Picture().copy();
  // 4,000 items each less than a pixel across (a pixel is 0.01 degrees here).
  for (int i = 0; i < 4000; ++i) {
    const float lat = 46.05f + 0.0004f * (i % 4000), lon = 13.05f + 0.00095f * i;
    AddBorder(db, TgdbPolygon{{lat, lon}, {lat + 0.002f, lon}, {lat + 0.002f, lon + 0.003f}});
  }
  layer->Invalidate();
  m.Paint();
  EXPECT_EQ(layer->LastFrame().Skipped, 4000);
  EXPECT_EQ(layer->LastFrame().Drawn, 1);
  EXPECT_EQ(Picture(), without);
  // Zoomed in far enough they are drawn.
  m.SetMagnification(16);
  m.SetTopLeft(TPoint{5, 290});
  EXPECT_GT(layer->LastFrame().Drawn, 1);
}

TEST_F(LayerFixture, LayerListOrderVisibilityAndComposition) {
  Map();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48, 13, 0, 0);
  m.AddCalibPoint(48, 17, 400, 0);
  m.AddCalibPoint(46, 13, 0, 300);
  const TgdbPolygon square{{46.5, 14}, {47.5, 14}, {47.5, 16}, {46.5, 16}};
  const Bounds b(square);
  db.AddLake("lake", square, 0, 0, b.latLo, b.latHi, b.lonLo, b.lonHi, 0, 0, 0);
  auto second = std::make_shared<TGeoDBLayer>(&db);
  layer->KindStyle(gitLake).FillColor = 0x00C000;
  second->KindStyle(gitLake).FillColor = 0xC00000;
  std::vector<std::string> order;
  m.OnBeforeRenderData = [&](TObject*, TCanvas* C) {
    order.push_back("before");
    C->FillSolid(TRect{0, 0, 400, 300}, 0x808080);
  };
  m.AddLandMark(47, 15, 0);
  m.SetLandMarkData(1, [] {
    TLandMark lm;
    lm.Latitude = 47;
    lm.Longitude = 15;
    lm.SymbolProps = TSymbolProperties{lmSquare, 4, 0x0000FF, 0x0000FF, false, 0, 0};
    return lm;
  }());
  m.SetSuppressPaint(false);
  m.AddLayer(layer);
  m.AddLayer(second);
  m.AddLayer(nullptr);
  ASSERT_EQ(m.NumLayers(), 2);
  const TPoint mid = Where(47, 15), lakeOnly = Where(47.2, 14.5), outside = Where(46.2, 13.5);
  EXPECT_EQ(PixelOf(Picture(), lakeOnly.X, lakeOnly.Y), 0xC00000u);  // the upper layer
  EXPECT_EQ(PixelOf(Picture(), mid.X + 2, mid.Y + 2), 0x0000FFu);     // landmarks on top
  EXPECT_EQ(PixelOf(Picture(), outside.X, outside.Y), 0x808080u);     // over the event's drawing
  m.MoveLayer(1, 0);
  EXPECT_EQ(PixelOf(Picture(), lakeOnly.X, lakeOnly.Y), 0x00C000u);
  const int paints = m.CompositionCount();
  m.SetLayerVisible(0, false);  // the lower one
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(PixelOf(Picture(), lakeOnly.X, lakeOnly.Y), 0x00C000u);
  m.RemoveLayer(1);
  EXPECT_EQ(m.NumLayers(), 1);
  EXPECT_EQ(PixelOf(Picture(), lakeOnly.X, lakeOnly.Y), 0x808080u);  // the one left is hidden
  m.RemoveLayer(5);
  m.MoveLayer(0, 3);
  EXPECT_EQ(m.NumLayers(), 1);
  EXPECT_EQ(m.Layer(0), second.get());
}

// Repaints reuse what a view drew: the same view twice, a panned and a zoomed view, changed
// colours, widths and hidden kinds give what a layer drawing them for the first time gives.
TEST_F(LayerFixture, RepaintsDrawWhatAFreshLayerDraws) {
  Map();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48, 13, 0, 0);
  m.AddCalibPoint(48, 17, 400, 0);
  m.AddCalibPoint(46, 13, 0, 300);
  AddBorder(db, TgdbPolygon{{46.2, 13.3}, {47.8, 13.9}, {47.1, 16.8}, {46.4, 15.2}});
  AddBorder(db, TgdbPolygon{{46.1, 16.9}, {47.3, 14.1}, {47.9, 16.2}}, false);
  const TgdbPolygon lake{{46.6, 14.2}, {47.4, 14.4}, {47.2, 15.9}, {46.7, 15.5}};
  const Bounds b(lake);
  db.AddLake("lake", lake, 0, 0, b.latLo, b.latHi, b.lonLo, b.lonHi, 0, 0, 0);
  db.AddTown("Graz", 0, 0, TSCoords{47.07f, 15.44f}, 0, 0, 0);
  m.SetLayers({layer});
  m.SetSuppressPaint(false);
  auto fresh = [&] {
    auto other = std::make_shared<TGeoDBLayer>(&db);
    for (int k = 0; k < 9; ++k) other->KindStyle(TgdbItem(k)) = layer->KindStyle(TgdbItem(k));
    m.SetLayers({other});
    const QImage img = Picture().copy();
    m.SetLayers({layer});
    return img;
  };
  auto check = [&](const char* what) {
    SCOPED_TRACE(what);
    m.Paint();
    const QImage first = Picture().copy();
    m.Paint();
    EXPECT_EQ(Picture(), first);
    EXPECT_EQ(first, fresh());
  };
  check("first view");
  m.SetTopLeft(TPoint{30, 20});
  check("panned");
  m.SetMagnification(2.5);
  check("zoomed");
  layer->KindStyle(gitBorder).LineColor = 0x00A000;
  check("recoloured");
  layer->KindStyle(gitLake).Visible = false;
  check("lakes hidden");
  layer->KindStyle(gitLake).Visible = true;
  layer->KindStyle(gitBorder).LineWidth = 3;
  check("wide lines");
}

// A database whose data file was cut short: the items that cannot be read are left out and
// the map goes on painting the others.
TEST_F(LayerFixture, ADamagedDataFileLeavesItsItemsOut) {
  Map();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48, 13, 0, 0);
  m.AddCalibPoint(48, 17, 400, 0);
  m.AddCalibPoint(46, 13, 0, 300);
  AddBorder(db, TgdbPolygon{{46.5, 14}, {47.5, 14}, {47.5, 16}, {46.5, 16}});
  AddBorder(db, TgdbPolygon{{46.6, 14.1}, {47.4, 14.1}, {47.4, 15.9}, {46.6, 15.9}});
  db.SetLazyWrite(false);
  const std::string name = QDir(dir.path()).filePath("world").toStdString();
  db.SetDBName("");
  std::filesystem::resize_file(name + ".vekgdd", std::filesystem::file_size(name + ".vekgdd") - 40);
  db.SetDBName(name);
  m.SetLayers({layer});
  m.SetSuppressPaint(false);
  ASSERT_EQ(db.NumEntries(), 2);
  EXPECT_NO_THROW(m.Paint());
  EXPECT_LE(layer->LastFrame().Drawn, 1);
}

}  // namespace
}  // namespace vek
