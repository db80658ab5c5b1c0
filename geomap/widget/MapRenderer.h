// What a map control draws over its map image: graticule lines, the UTM grid, calibration
// point marks, landmarks with their captions and the highlighted landmark. Works from a
// calibration, a landmark store and a view onto any TCanvas, in control pixels; no widget.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QRect>

#include "Canvas.h"
#include "GeoMapRecords.h"
#include "LandMarkStore.h"
#include "MapCalibration.h"
#include "MapViewport.h"
#include "PascalArray.h"

namespace vek {

using TPolyline = std::vector<TPoint>;
using TSegment = std::array<TPoint, 2>;

// ---- graticule and grid geometry (control pixels) ----

// Spacing of graticule lines over an extent of degrees: FixedDist when it is positive,
// otherwise 1 for an extent of 1 or more, 0.1 for 0.1 up to 1, and so on. 0 when there is
// nothing to space (a zero, negative or undefined extent without a fixed distance).
double GraticuleSpacing(double Extent, double FixedDist);

// The line values trunc(Lo / Spacing) * Spacing, then every Spacing while below Hi. Empty
// for a spacing that is not positive or that would give more than MaxGridLines lines.
constexpr int MaxGridLines = 5000;
std::vector<double> GridLineValues(double Lo, double Hi, double Spacing);

// The calibration lines of the parabolic model as fitted parabolas across the visible
// columns (parallels) or rows (meridians) of the image: one line (empty when it has fewer
// than three points or nothing of it is in view), or all lines.
TPolyline CalibLineCurve(const TCalibLine& Line, const TMapViewport& View, int32_t ImgWidth,
                         int32_t ImgHeight);
std::vector<TPolyline> CalibLineCurves(const TCalibData& Cal, const TMapViewport& View,
                                       int32_t ImgWidth, int32_t ImgHeight);

// Parallels and meridians at regular spacing over the map's corner extents, each a polyline
// of the model's number of steps. Points the model cannot place break the line.
std::vector<TPolyline> GraticuleLines(const TMapCalibration& Cal, const TMapViewport& View,
                                      double GratLineDist);

// Lines of constant northing and easting of the map's UTM zone, clipped to the image as it
// lies in the view.
std::vector<TSegment> UTMGridLines(const TMapCalibration& Cal, const TMapViewport& View,
                                   int32_t ImgWidth, int32_t ImgHeight, int32_t UTMGridDist);

// Number of steps per parallel and per meridian under a model.
void GraticuleSteps(TCalibModel Model, int& ParallelSteps, int& MeridianSteps);

// ---- the renderer ----

struct TGraticuleStyle {
  TShowGrat Show = sgNone;
  double GratLineDist = 0;  // degrees; 0 chooses
  int32_t UTMGridDist = 0;  // metres; below 1 chooses
  TColor LineColor = 0xFF0000;
  TColor PointColor = 0x0000FF;
};

struct THighlightStyle {
  TColor FG = 0xFF0000;
  TColor BG = 0x00FFFF;
  bool Transparent = false;
};

// Called for each landmark before it is drawn, with its control position (which it may
// change); returns true when it drew the landmark itself.
using TLandMarkHook = std::function<bool(TCanvas& C, TPoint& P, const TLandMark& LM)>;

class TLandMarkImageCache;
struct TCaptionRequest;

// How landmarks are drawn beyond the plain loop.
struct TLandMarkDrawing {
  TLandMarkImageCache* Cache = nullptr;  // symbols and captions blitted from here
  // Captions are placed without overlapping (symbols are all drawn); sampling then keeps the
  // same landmarks from frame to frame.
  bool Declutter = false;
  int32_t Highlight = 0;  // its caption is placed first
  // Captions of the layers below, placed together with the landmarks' own.
  std::vector<TCaptionRequest>* Captions = nullptr;
  // Receives the boxes of the captions placed, when decluttering.
  std::vector<QRect>* Placed = nullptr;
};

class TMapRenderer {
 public:
  TMapRenderer(const TMapCalibration& Cal, const TLandMarkStore& LandMarks,
               const TMapViewport& View, int32_t ImgWidth, int32_t ImgHeight)
      : FCal(Cal), FLM(LandMarks), FView(View), FImgWidth(ImgWidth), FImgHeight(ImgHeight) {}

  // Graticule, grid and calibration point marks as the model and Style.Show ask.
  void DrawCalibration(TCanvas& C, const TGraticuleStyle& Style) const;

  // Fraction of landmarks to draw so that about Limit of those in view are drawn.
  double SampleFraction(const PArray<bool, 0, 255>& ClassVisible, int32_t Limit) const;

  // Landmarks in list order, sampled above Limit; only those strictly inside the control
  // are drawn, but every one the calibration can place is offered to Hook.
  void DrawLandMarks(TCanvas& C, const PArray<bool, 0, 255>& ClassVisible, int32_t Limit,
                     const TLandMarkHook& Hook) const;
  void DrawLandMarks(TCanvas& C, const PArray<bool, 0, 255>& ClassVisible, int32_t Limit,
                     const TLandMarkHook& Hook, const TLandMarkDrawing& How) const;

  // Landmark Index (1-based) once more on top in the highlight colours, without caption.
  void DrawHighlight(TCanvas& C, int32_t Index, const PArray<bool, 0, 255>& ClassVisible,
                     const THighlightStyle& Style, const TLandMarkHook& Hook) const;

  // Cross and three diamonds (reach 8, 9 in white, 10) round (X, Y).
  static constexpr int32_t CalibMarkRadius = 10;
  static void DrawCalibMark(TCanvas& C, int X, int Y, TColor Color);

 private:
  bool InsideControl(const TPoint& P) const {
    return P.X > 0 && P.X < FView.Width && P.Y > 0 && P.Y < FView.Height;
  }
  // Within Margin pixels of the control: a mark of that radius there can show. Marks farther
  // out are never drawn, so no pixel arithmetic runs near the ends of int.
  bool NearControl(const TPoint& P, int32_t Margin) const {
    return P.X >= -Margin && P.X <= FView.Width + Margin && P.Y >= -Margin &&
           P.Y <= FView.Height + Margin;
  }
  void DrawMarks(TCanvas& C, TColor Color) const;

  const TMapCalibration& FCal;
  const TLandMarkStore& FLM;
  const TMapViewport& FView;
  int32_t FImgWidth;
  int32_t FImgHeight;
};

}  // namespace vek
