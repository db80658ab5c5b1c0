// The map control's landmark API: forwards to the landmark store, asks OnLandMarkAction,
// keeps the highlight in step and repaints.
#include <utility>

#include "LandMarkInterchange.h"
#include "LandMarkXml.h"
#include "TGeoMap.h"

namespace vek {

namespace {

TLandMarkVeto VetoOf(TGeoMap* Map) {
  if (!Map->OnLandMarkAction) return {};
  return [Map](TLandMarkAction Action, const TLandMark& LM) {
    bool allowed = true;
    // The handler may be cleared or replaced while it runs; call a copy.
    const TLandMarkActionEvent handler = Map->OnLandMarkAction;
    if (handler) handler(Map, allowed, Action, LM);
    return allowed;
  };
}

// The store raises its memory error without the component's name; the other errors carry
// their own words.
bool IsMemoryError(const std::string& Text) { return Text == "insufficient memory"; }

}  // namespace

// ---- adding ----

void TGeoMap::AddLandMark(double Lat, double Long, double Altitude) {
  if (WithComponentMessage<EVEKGeoMapError>(*this, [&] {
        return FLM.AddLandMark(FLM.MakeLandMark(Lat, Long, Altitude), VetoOf(this));
      }, IsMemoryError))
    Paint();
}

void TGeoMap::AddLandMark(double Lat, double Long, double Altitude,
                          const TLMIdentifier& Identifier, TDateTime Time) {
  if (WithComponentMessage<EVEKGeoMapError>(*this, [&] {
        return FLM.AddLandMark(FLM.MakeLandMark(Lat, Long, Altitude, Identifier, Time),
                               VetoOf(this));
      }, IsMemoryError))
    Paint();
}

void TGeoMap::AddLandMark(double Lat, double Long, double Altitude,
                          const std::string& CaptionText, int32_t CaptionSize,
                          TColor CaptionColor) {
  if (WithComponentMessage<EVEKGeoMapError>(*this, [&] {
        return FLM.AddLandMark(
            FLM.MakeLandMark(Lat, Long, Altitude, CaptionText, CaptionSize, CaptionColor),
            VetoOf(this));
      }, IsMemoryError))
    Paint();
}

void TGeoMap::AddLandMark(double Lat, double Long, double Altitude,
                          const TLMIdentifier& Identifier, TDateTime Time,
                          const std::string& CaptionText, int32_t CaptionSize,
                          TColor CaptionColor) {
  if (WithComponentMessage<EVEKGeoMapError>(*this, [&] {
        return FLM.AddLandMark(FLM.MakeLandMark(Lat, Long, Altitude, Identifier, Time,
                                                CaptionText, CaptionSize, CaptionColor),
                               VetoOf(this));
      }, IsMemoryError))
    Paint();
}

void TGeoMap::AddLandMark(double Lat, double Long, double Altitude, TLandMarkElement Element,
                          uint8_t ClassFlag, const TLMIdentifier& Identifier, TDateTime Time,
                          int32_t Tag, TColor ColorFG, TColor ColorBG, int32_t Size,
                          bool Transparent, int32_t Direction, int32_t Length) {
  if (WithComponentMessage<EVEKGeoMapError>(*this, [&] {
        return FLM.AddLandMark(
            FLM.MakeLandMark(Lat, Long, Altitude, Element, ClassFlag, Identifier, Time, Tag,
                             ColorFG, ColorBG, Size, Transparent, Direction, Length),
            VetoOf(this));
      }, IsMemoryError))
    Paint();
}

// ---- removing ----

int32_t TGeoMap::RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius) {
  if (FLM.NumLandMarks() == 0) return 0;
  FHighLM = 0;
  const int32_t n = FLM.RemoveLandMark(Lat, Long, ClassFlag, Radius, VetoOf(this));
  Paint();
  return n;
}

int32_t TGeoMap::RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag) {
  if (FLM.NumLandMarks() == 0) return 0;
  FHighLM = 0;
  const int32_t n = FLM.RemoveLandMark(Rect, ClassFlag, VetoOf(this));
  Paint();
  return n;
}

int32_t TGeoMap::RemoveLandMark(double Lat, double Long, int32_t ClassFlag) {
  if (FLM.NumLandMarks() == 0) return 0;
  FHighLM = 0;
  const int32_t ix = FLM.RemoveNearestLandMark(Lat, Long, ClassFlag, VetoOf(this));
  Paint();
  return ix;
}

int32_t TGeoMap::RemoveLandMark(int32_t LmIndex) {
  if (FLM.NumLandMarks() == 0) return 0;
  FHighLM = 0;
  const int32_t ix = FLM.RemoveLandMark(LmIndex, VetoOf(this));
  Paint();
  return ix;
}

void TGeoMap::RemoveLastLandMark() {
  if (FLM.NumLandMarks() > 0) FHighLM = 0;
  FLM.RemoveLastLandMark(VetoOf(this));
  Paint();
}

void TGeoMap::RemoveAllLandMarks(uint8_t ClassFlag) {
  if (FLM.NumLandMarks() == 0) return;
  FHighLM = 0;
  FLM.RemoveAllLandMarks(ClassFlag, VetoOf(this));
  Paint();
}

void TGeoMap::RemoveAllLandMarks() {
  FLM.RemoveAllLandMarks();
  Paint();
}

int32_t TGeoMap::FindLandMark(double Lat, double Long, int32_t ClassFlag) const {
  return FLM.FindLandMark(Lat, Long, ClassFlag);
}

void TGeoMap::SetLandMarkData(int32_t i, const TLandMark& LandMark) {
  if (FLM.SetLandMarkData(i, LandMark)) Paint();
}

// ---- mouse trace ----

void TGeoMap::ClearMouseTrace() {
  FLM.ClearMouseTrace();
  Paint();
}

TColoredPoint TGeoMap::GetMTracePoint(int32_t idx) const {
  return FLM.GetMTracePoint(idx, [this](int X, int Y, double& Lat, double& Long) {
    bool validLat = false, validLong = false;
    Lat = CalcLatitude(X, Y, validLat);
    Long = CalcLongitude(X, Y, validLong);
    return validLat && validLong;
  });
}

void TGeoMap::DrawMouseTrace(int, int, TBitmap* Bitmap) {
  const int n = FLM.NumMTracePoints();
  if (n == 0 || Bitmap == nullptr) return;
  TCanvas& C = *Bitmap->Canvas();
  const TColor oldColor = C.Pen().Color();
  const int oldWidth = C.Pen().Width();
  const TPenStyle oldStyle = C.Pen().Style();
  const TBrushStyle oldBrush = C.Brush().Style();
  TColoredPoint prev = FLM.MTracePointRaw(1);
  for (int i = 2; i <= n; ++i) {
    const TColoredPoint cur = FLM.MTracePointRaw(i);
    if ((prev.State & TLandMarkStore::TraceEndsStroke) == 0) {
      C.Pen().SetColor(cur.Color);
      C.Pen().SetMode((cur.State & TLandMarkStore::TraceXorSegment) ? pmXor : pmCopy);
      const TPoint a = MapImageToControl(TPoint{RoundToInt(prev.X), RoundToInt(prev.Y)});
      const TPoint b = MapImageToControl(TPoint{RoundToInt(cur.X), RoundToInt(cur.Y)});
      C.MoveTo(a.X, a.Y);
      C.LineTo(b.X, b.Y);
      C.Pen().SetMode(pmCopy);
    }
    prev = cur;
  }
  C.Pen().SetColor(oldColor);
  C.Pen().SetWidth(oldWidth);
  C.Pen().SetStyle(oldStyle);
  C.Brush().SetStyle(oldBrush);
}

// ---- files ----

bool TGeoMap::ReadLandMarksFromOpenXMLFile(TextFile& F, const std::string& DataID) {
  return WithComponentMessage<EVEKGeoMapError>(*this, [&] { return vek::ReadLandMarksFromOpenXMLFile(F, DataID, FLM); }, IsMemoryError);
}

bool TGeoMap::LoadLandMarks(const std::string& FName, const std::string& DataID) {
  TextFile F;
  if (!TryReset(F, FName)) return false;
  const bool result = ReadLandMarksFromOpenXMLFile(F, DataID);
  CloseFile(F);
  Paint();
  return result;
}

void TGeoMap::SaveLandMarks(const std::string& FileName, const std::string& DataID) const {
  vek::SaveLandMarks(FileName, DataID, FLM);
}

int32_t TGeoMap::ImportLandMarks(const std::string& FileName) {
  const std::vector<TLandMark> read = WithComponentMessage<EVEKGeoMapError>(
      *this, [&] { return ReadLandMarkFile(FileName, FLM.LandMarkDefault()); });
  int32_t added = 0;
  WithComponentMessage<EVEKGeoMapError>(*this, [&] {
    const TLandMarkVeto veto = VetoOf(this);
    for (const TLandMark& LM : read)
      if (FLM.AddLandMark(LM, veto)) ++added;
  }, IsMemoryError);
  if (added > 0) Paint();
  return added;
}

void TGeoMap::ExportLandMarks(const std::string& FileName, const std::string& DataID) const {
  WithComponentMessage<EVEKGeoMapError>(
      *this, [&] { WriteLandMarkFile(FileName, FLM.Items(), DataID); });
}

}  // namespace vek
