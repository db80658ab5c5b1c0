// Copying between two maps, clearing, and resampling the map image in memory.
#include <QMetaObject>
#include <cmath>
#include <new>

#include "TGeoMap.h"

namespace vek {

void TGeoMap::Clear() {
  FCal.Clear();
  FCal.SetModel(cmUndefined);
  FCal.Data().MapFName.clear();
  FCal.Data().Caption.clear();
  FLM.ClearMouseTrace();
  FMapImgName.clear();
  FMapImgWidth = 0;
  FMapImgHeight = 0;
  Paint();
}

void TGeoMap::ResizeMap(double Magnification) {
  if (!std::isfinite(Magnification) || Magnification <= 0)
    throw EVEKGeoMapError(ComponentMessage("invalid resize factor"));
  if (FTiled) throw EVEKGeoMapError(ComponentMessage("cannot resample a map image held as tiles"));
  if (GrafBmp->Empty()) return;  // nothing to resample
  // RoundToInt saturates, so a huge factor still ends in the size check.
  const int newW = RoundToInt(GrafBmp->Width() * Magnification);
  const int newH = RoundToInt(GrafBmp->Height() * Magnification);
  if (newW < 1 || newH < 1) throw EVEKGeoMapError(ComponentMessage("invalid resize factor"));
  // The result must stay a usable map image, like one loaded from a file.
  CheckMapImageSize(newW, newH);

  FCacheMag = 0;
  TBitmap scaled(newW, newH);
  TCanvas& c = *scaled.Canvas();
  c.SetStretchMode(FAntiAlias ? smHalftone : smColorOnColor);
  c.SetCopyMode(cmSrcCopy);
  c.CopyRect(TRect{0, 0, newW, newH}, *GrafBmp->Canvas(),
             TRect{0, 0, GrafBmp->Width(), GrafBmp->Height()});
  c.End();
  GrafBmp->Assign(scaled);

  FCal.ScalePoints(Magnification);
  SyncCalibImageSize();
  FCal.RecalcCalibration();

  FMapImgWidth = newW;
  FMapImgHeight = newH;
  FView.TopLeft = TPoint{0, 0};
  Paint();
}

void TGeoMap::ResizeMap(int LongerEdgeLength) {
  const int longer = std::max(FMapImgWidth, FMapImgHeight);
  // Without an image there is no edge to scale by.
  if (longer <= 0) return;
  ResizeMap(double(LongerEdgeLength) / double(longer));
}

void TGeoMap::Assign(const QObject* Source) {
  if (Source == this) return;
  const TGeoMap* src = qobject_cast<const TGeoMap*>(Source);
  if (!src) {
    const char* from = Source ? Source->metaObject()->className() : "nil";
    throw EVEKGeoMapError(ComponentMessage(std::string("cannot assign a ") + from + " to a " +
                                           metaObject()->className()));
  }
  // 1. Work bitmaps and the cache state.
  AuxBmp->Assign(*src->AuxBmp);
  FImgCache->Assign(*src->FImgCache);
  FCacheMag = src->FCacheMag;
  FCacheAA = src->FCacheAA;
  FCacheMagLimit = src->FCacheMagLimit;
  // 2. Landmarks and the default landmark (not the mouse trace).
  try {
    FLM.AssignLandMarks(src->FLM);
  } catch (const std::bad_alloc&) {
    throw EVEKGeoMapError(ComponentMessage("insufficient memory"));
  }
  // 3. Colours, messages, class visibility, image name and size, magnification.
  FColorBakGnd = src->FColorBakGnd;
  FFrameStyle = src->FFrameStyle;
  FFrameColor = src->FFrameColor;
  FColorGratLine = src->FColorGratLine;
  FColorGratPoints = src->FColorGratPoints;
  FColBlackLine = src->FColBlackLine;
  FColGrayLine = src->FColGrayLine;
  FColWhiteLine = src->FColWhiteLine;
  FEmptyMsg = src->FEmptyMsg;
  FLMClassVisible = src->FLMClassVisible;
  FLMRandSampleLimit = src->FLMRandSampleLimit;
  FLMCaptionDeclutter = src->FLMCaptionDeclutter;
  FLayers = src->FLayers;  // shared: a layer holds no state of one map
  FMapImgName = src->FMapImgName;
  FMapImgWidth = src->FMapImgWidth;
  FMapImgHeight = src->FMapImgHeight;
  FView.Magnify = src->FView.Magnify;
  // 4. View, mouse and switches.
  // The mouse state as a whole: drag, overlay corners, anchors, last positions. The state
  // of MouseBox stays: it belongs to a wait of this control's own caller, and a copied one
  // would leave this control waiting for a box nobody asked for, or end a wait under way.
  {
    const TMouseBoxState ownBox = FMouse.MouseBoxState;
    FMouse = src->FMouse;
    FMouse.MouseBoxState = ownBox;
  }
  FShowGrat = src->FShowGrat;
  FView.TopLeft = src->FView.TopLeft;
  FSuppressPaint = src->FSuppressPaint;
  FConfinePan = src->FConfinePan;
  FMouseAction = src->FMouseAction;
  FWheelZoom = src->FWheelZoom;
  FKeyboardNav = src->FKeyboardNav;
  FAntiAlias = src->FAntiAlias;
  FGratLineDist = src->FGratLineDist;
  FUTMGridDist = src->FUTMGridDist;
  // 4-6. The calibration: model, undo store, record, graticule matrix and parameters.
  FCal = src->FCal;
  // 7. Highlight, zoom history, calibration file name.
  FHighLM = src->FHighLM;
  FHighLMColFG = src->FHighLMColFG;
  FHighLMColBG = src->FHighLMColBG;
  FHighLMTrans = src->FHighLMTrans;
  FView.Stack = src->FView.Stack;
  FView.StackPoi = src->FView.StackPoi;
  FCalDatName = src->FCalDatName;
  // 8. The map image.
  GrafBmp->Assign(*src->GrafBmp);
  FPixelLimit = src->FPixelLimit;
  FMemoryPixels = src->FMemoryPixels;
  FPyramidDir = src->FPyramidDir;
  // A large image is shared, not copied: its tiles are read-only.
  if (src->FTiled)
    AdoptTiledImage(src->FTiled);
  else
    DropTiledImage();
}

void TGeoMap::AssignTo(QObject* Dest) const {
  if (Dest && metaObject()->inherits(Dest->metaObject())) {
    if (TGeoMap* dst = qobject_cast<TGeoMap*>(Dest)) {
      dst->Assign(this);
      return;
    }
  }
  const char* to = Dest ? Dest->metaObject()->className() : "nil";
  throw EVEKGeoMapError(ComponentMessage(std::string("cannot assign a ") +
                                         metaObject()->className() + " to a " + to));
}

}  // namespace vek
