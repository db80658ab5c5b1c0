// The items of a geographic database drawn over a calibrated map, whatever its model:
// polygons filled or outlined, lines, towns as symbols with their names, each styled by its
// kind and class. Items smaller than a pixel are skipped, vertices closer than a pixel merged.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QPointF>
#include <QRectF>

#include "GeoDBRecords.h"
#include "GeoMapRecords.h"
#include "MapLayer.h"

namespace vek {

class TGeoDB;
class TSpriteBlitter;

struct TDBItemStyle {
  bool Visible = true;
  TColor LineColor = 0;
  int32_t LineWidth = 1;
  bool Fill = false;  // closed items only
  TColor FillColor = 0;
  TSymbolProperties Symbol;   // towns
  TLMTextProperties Caption;  // towns: the name in this font; a Size of 0 shows none
};

class TGeoDBLayer : public TMapLayer {
 public:
  // The database is not owned and must outlive the layer (or be detached with SetDB).
  explicit TGeoDBLayer(TGeoDB* DB = nullptr);

  TGeoDB* DB() const { return FDB; }
  void SetDB(TGeoDB* DB);

  // The style of a kind; a class style, where one is set, takes its place.
  TDBItemStyle& KindStyle(TgdbItem Kind);
  void SetClassStyle(TgdbItem Kind, uint8_t Class, const TDBItemStyle& Style);
  void ClearClassStyles() { FClassStyles.clear(); }
  const TDBItemStyle& StyleOf(TgdbItem Kind, uint8_t Class) const;
  // The styles a new layer starts with.
  static TDBItemStyle DefaultStyle(TgdbItem Kind);

  // Forget what was read from the database (call after changing its items).
  void Invalidate();

  // Placed before the landmarks' captions of equal priority when decluttering.
  int32_t CaptionPriority = 0;

  void Draw(TCanvas& C, const TLayerFrame& Frame) override;

  // Counts of the last frame.
  struct TFrameStats {
    int32_t Found = 0;     // items in the view's box
    int32_t Drawn = 0;
    int32_t Skipped = 0;   // smaller than a pixel
    int64_t Vertices = 0;  // drawn after merging
  };
  const TFrameStats& LastFrame() const { return FStats; }

  // The geographic box of a view, its longitudes taken round the map's centre (so they may
  // run beyond 180). False when the calibration places none of the view.
  struct TViewBox {
    double LatLo = 0, LatHi = 0, LongLo = 0, LongHi = 0;
  };
  static bool ViewBox(const TMapCalibration& Cal, const TMapViewport& View, TViewBox& Box);
  // The database entries in that box, on both sides of the antimeridian.
  static std::vector<int32_t> EntriesInView(const TGeoDB& DB, const TMapCalibration& Cal,
                                            const TMapViewport& View);

 private:
  // An item in image pixels: runs of vertices, broken where the calibration cannot place one.
  struct TGeometry {
    std::vector<QPointF> Points;
    std::vector<int32_t> RunEnds;  // end index of each run in Points
    QRectF Bounds;                 // image pixels
    bool Empty = true;
    // The vertices at least a control pixel apart at magnification LodMag.
    double LodMag = 0;
    std::vector<QPointF> Lod;
    std::vector<int32_t> LodRunEnds;
  };
  // What was read of one database entry: its record, its vertices (longitudes following on
  // from each other) with the longitudes they cover, and its shape per turn round the globe.
  struct TItem {
    bool RecordRead = false;
    TgdbData Data{};
    bool PointsRead = false;
    bool Valid = false;
    TgdbPolygon Points;
    double LongLo = 0, LongHi = 0;
    std::array<std::unique_ptr<TGeometry>, 3> Shapes;
  };
  TItem& Item(int32_t Entry);
  // What every frame reads of every entry in view, apart from the rest: most entries are
  // skipped on it alone.
  struct TBrief {
    float LatLow = 0, LatHigh = 0, LongLow = 0, LongHigh = 0;
    uint8_t Kind = 0, Class = 0;
    bool Read = false;
  };
  const TBrief& Brief(int32_t Entry);
  const TgdbPolygon* Polygon(int32_t Entry, TItem& It);
  // The item turned Turns (-1 ... 1) times round the globe, in image pixels.
  TGeometry& Geometry(int32_t Entry, TItem& It, const TMapCalibration& Cal, int Turns);
  void CheckSources(const TMapCalibration& Cal);
  void DrawTown(TCanvas& C, const TLayerFrame& F, TSpriteBlitter& Blit, int32_t Entry,
                const TgdbData& D, const TDBItemStyle& St, double Lat, double Long);
  // What the view shows, entry by entry in drawing order: the shapes in control pixels,
  // towns and skipped items. Kept while the view, the calibration, the database and which
  // styles are visible stay; a repaint of the same view draws it with the styles as they are.
  struct TStep {
    enum TWhat : uint8_t { Skipped, Town, Shape };
    int32_t Entry = 0;
    TWhat What = Skipped;
    int8_t Turn = 0;  // towns
    uint8_t Kind = 0, Class = 0;
    bool Closed = false;
    int32_t RunsEnd = 0;  // shapes: its runs end here in RunEnds
    double Left = 0, Top = 0, Right = 0, Bottom = 0;  // shapes: bounds in control pixels
  };
  struct TViewSteps {
    bool Valid = false;
    uint64_t Epoch = 0;
    TPoint TopLeft{0, 0};
    double Magnify = 0;
    int32_t Width = 0, Height = 0;
    std::string Visible;
    int32_t Found = 0;
    std::vector<TStep> Steps;
    std::vector<TPoint> Points;
    std::vector<int32_t> RunEnds;  // end index of each run in Points
  };
  std::string VisibilitySignature() const;
  void BuildSteps(const TMapCalibration& Cal, const TMapViewport& View);
  void AddShape(int32_t Entry, TItem& It, const TMapCalibration& Cal, const TMapViewport& View,
                int Turns, TStep Step);
  void DrawShape(TCanvas& C, const TStep& Step, const TDBItemStyle& St, int32_t FirstRun);

  TGeoDB* FDB;
  std::array<TDBItemStyle, 9> FKindStyles;
  std::map<std::pair<uint8_t, uint8_t>, TDBItemStyle> FClassStyles;
  std::vector<TItem> FItems;  // by entry number
  std::vector<TBrief> FBriefs;  // likewise
  std::string FCalSignature;
  std::string FDBSignature;
  uint64_t FSourceEpoch = 1;  // counts changes of calibration and database
  TViewSteps FView;
  std::deque<TLMTextProperties> FFrameCaptions;
  std::vector<QPoint> FScratch;
  std::vector<TPoint> FRun;
  TFrameStats FStats;
};

}  // namespace vek
