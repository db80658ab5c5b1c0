#include "LandMarkStore.h"

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace vek {

namespace {

// The geometry of the landmark's position relative to a query point, in degrees on the
// latitude/longitude plane, without any scale correction.
inline double SquaredDistance(const TLandMark& LM, double Lat, double Long) {
  const double dLat = LM.Latitude - Lat;
  const double dLong = LM.Longitude - Long;
  return dLat * dLat + dLong * dLong;
}

inline bool Allowed(const TLandMarkVeto& Veto, TLandMarkAction Action, const TLandMark& LM) {
  return !Veto || Veto(Action, LM);
}

[[noreturn]] void RaiseOutOfMemory() { throw EVEKGeoMapError("insufficient memory"); }

}  // namespace

TLandMark InitialDefaultLandMark() {
  TLandMark LM{};
  LM.SymbolProps.Kind = lmCross;
  LM.SymbolProps.Size = 7;
  LM.SymbolProps.FGColor = 0xFF0000;
  LM.SymbolProps.BGColor = 0xFFFFFF;
  LM.SymbolProps.Transparent = false;
  LM.SymbolProps.Direction = 0;
  LM.SymbolProps.Length = 10;
  LM.Caption.Size = 8;
  LM.Caption.FontName = "MS Sans Serif";
  LM.Caption.FGColor = 0;
  LM.Caption.BGColor = 0xFFFFFF;
  LM.Caption.Transparent = true;
  LM.Caption.dx = 0;
  LM.Caption.dy = 8;
  LM.Caption.Direction = 0;
  LM.Caption.HAlignment = taCenter;
  LM.Caption.VAlignment = vaTop;
  return LM;
}

int32_t RoundToInt(double V) {
  if (std::isnan(V)) return 0;
  const double r = std::nearbyint(V);  // default rounding mode: halves to even
  if (r <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (r >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

TLandMarkStore::TLandMarkStore() : FDefaultLM(InitialDefaultLandMark()) {}

int32_t TLandMarkStore::NormaliseClass(int32_t ClassFlag) {
  return (ClassFlag < -1 || ClassFlag > 255) ? -1 : ClassFlag;
}

// ---- access ----

TLandMark TLandMarkStore::GetLandMarkData(int32_t i) const {
  if (i < 1 || i > NumLandMarks()) return TLandMark{};
  return FLandMarks[static_cast<size_t>(i - 1)];
}

bool TLandMarkStore::SetLandMarkData(int32_t i, const TLandMark& LM) {
  if (i < 1 || i > NumLandMarks()) return false;
  FLandMarks[static_cast<size_t>(i - 1)] = LM;
  return true;
}

// ---- building ----

TLandMark TLandMarkStore::MakeLandMark(double Lat, double Long, double Altitude) const {
  TLandMark LM = FDefaultLM;
  LM.Latitude = Lat;
  LM.Longitude = Long;
  LM.Altitude = Altitude;
  return LM;
}

TLandMark TLandMarkStore::MakeLandMark(double Lat, double Long, double Altitude,
                                       const TLMIdentifier& Identifier, TDateTime Time) const {
  TLandMark LM = MakeLandMark(Lat, Long, Altitude);
  LM.Identifier = Identifier;
  LM.Time = Time;
  return LM;
}

TLandMark TLandMarkStore::MakeLandMark(double Lat, double Long, double Altitude,
                                       const std::string& CaptionText, int32_t CaptionSize,
                                       TColor CaptionColor) const {
  TLandMark LM = MakeLandMark(Lat, Long, Altitude);
  LM.Caption.Text = TLMText(CaptionText);
  LM.Caption.Size = CaptionSize;
  LM.Caption.FGColor = CaptionColor;
  return LM;
}

TLandMark TLandMarkStore::MakeLandMark(double Lat, double Long, double Altitude,
                                       const TLMIdentifier& Identifier, TDateTime Time,
                                       const std::string& CaptionText, int32_t CaptionSize,
                                       TColor CaptionColor) const {
  TLandMark LM = MakeLandMark(Lat, Long, Altitude, CaptionText, CaptionSize, CaptionColor);
  LM.Identifier = Identifier;
  LM.Time = Time;
  return LM;
}

TLandMark TLandMarkStore::MakeLandMark(double Lat, double Long, double Altitude,
                                       TLandMarkElement Element, uint8_t ClassFlag,
                                       const TLMIdentifier& Identifier, TDateTime Time,
                                       int32_t Tag, TColor ColorFG, TColor ColorBG, int32_t Size,
                                       bool Transparent, int32_t Direction,
                                       int32_t Length) const {
  TLandMark LM = MakeLandMark(Lat, Long, Altitude, Identifier, Time);
  LM.ClassFlag = ClassFlag;
  LM.Tag = Tag;
  LM.SymbolProps = TSymbolProperties{Element, Size, ColorFG, ColorBG, Transparent, Direction,
                                     Length};
  return LM;
}

// ---- adding ----

void TLandMarkStore::AppendLandMark(const TLandMark& LM) { Append(LM); }
void TLandMarkStore::AppendLandMark(TLandMark&& LM) { Append(std::move(LM)); }

template <class R>
void TLandMarkStore::Append(R&& LM) {
  const size_t n = FLandMarks.size();
  if (n >= size_t(std::numeric_limits<int32_t>::max())) RaiseOutOfMemory();
  // The count changes only once the record is stored, so a failed allocation leaves the
  // store as it was.
  try {
    FLandMarks.push_back(std::forward<R>(LM));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
  const int32_t count = static_cast<int32_t>(n + 1);
  if (count > CapacityStep && count % CapacityStep == 1) {
    const int32_t grown = (count - 1) / CapacityStep * CapacityStep + CapacityStep;
    if (grown > FCapacity) FCapacity = grown;
  }
}

void TLandMarkStore::ReserveLandMarks(size_t N) {
  if (N <= FLandMarks.capacity()) return;
  try {
    FLandMarks.reserve(N);  // pages not written are never touched, so a high estimate is cheap
  } catch (const std::exception&) {
  }
}

bool TLandMarkStore::AddLandMark(const TLandMark& LM, const TLandMarkVeto& Veto) {
  if (!Allowed(Veto, lmaAdd, LM)) return false;
  AppendLandMark(LM);
  return true;
}

// ---- removing ----

void TLandMarkStore::ResetArray() {
  FLandMarks.clear();
  // Give back a large allocation, but keep a small one so that emptying and refilling a
  // short list does not reallocate every time.
  if (FLandMarks.capacity() > size_t(CapacityStep)) std::vector<TLandMark>().swap(FLandMarks);
  FCapacity = CapacityStep;
}

void TLandMarkStore::CompactMarked(TBitFld& Marked, int32_t NumMarked) {
  const int32_t n = NumLandMarks();
  if (NumMarked <= 0) return;
  if (NumMarked >= n) {
    FLandMarks.clear();
    return;
  }
  // Each gap, lowest first, takes the surviving landmark with the highest index; every
  // other survivor keeps its index.
  int32_t lo = 1;
  int32_t hi = n;
  do {
    while (lo <= n && !Marked.GetBit(lo)) ++lo;
    while (hi >= 1 && Marked.GetBit(hi)) --hi;
    if (lo < hi) {
      FLandMarks[size_t(lo - 1)] = FLandMarks[size_t(hi - 1)];
      Marked.SetBit(hi, true);
      Marked.SetBit(lo, false);
    }
  } while (lo <= hi);
  FLandMarks.resize(size_t(hi < 0 ? 0 : hi));
}

// Common to the removals by radius, rectangle and class: mark what matches and is allowed,
// then compact. The handler gets a copy, so it may even change the store while it runs.
template <class Pred>
static int32_t RemoveMatching(std::vector<TLandMark>& Items, TBitFld& Marked, Pred Matches,
                              const TLandMarkVeto& Veto) {
  int32_t removed = 0;
  for (size_t i = 0; i < Items.size(); ++i) {
    if (!Matches(Items[i])) continue;
    const TLandMark candidate = Items[i];
    if (!Allowed(Veto, lmaRemove, candidate)) continue;
    if (i >= Items.size()) break;
    if (static_cast<int32_t>(i + 1) > Marked.Size()) Marked.SetSize(static_cast<int>(Items.size()));
    Marked.SetBit(static_cast<int>(i + 1), true);
    ++removed;
  }
  return removed;
}

int32_t TLandMarkStore::RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius,
                                       const TLandMarkVeto& Veto) {
  if (FLandMarks.empty()) return 0;
  const int32_t cls = NormaliseClass(ClassFlag);
  const double r2 = Radius * Radius;
  TBitFld marked(NumLandMarks());
  const int32_t removed = RemoveMatching(
      FLandMarks, marked,
      [&](const TLandMark& LM) {
        return (cls == -1 || LM.ClassFlag == cls) && SquaredDistance(LM, Lat, Long) < r2;
      },
      Veto);
  marked.SetSize(NumLandMarks());
  CompactMarked(marked, marked.CountSet());
  if (FLandMarks.empty()) ResetArray();
  return removed;
}

int32_t TLandMarkStore::RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag,
                                       const TLandMarkVeto& Veto) {
  if (FLandMarks.empty()) return 0;
  const int32_t cls = NormaliseClass(ClassFlag);
  const double west = Rect.Left, north = Rect.Top, east = Rect.Right, south = Rect.Bottom;
  TBitFld marked(NumLandMarks());
  const int32_t removed = RemoveMatching(
      FLandMarks, marked,
      [&](const TLandMark& LM) {
        return (cls == -1 || LM.ClassFlag == cls) && west < LM.Longitude &&
               LM.Longitude < east && south < LM.Latitude && LM.Latitude < north;
      },
      Veto);
  marked.SetSize(NumLandMarks());
  CompactMarked(marked, marked.CountSet());
  if (FLandMarks.empty()) ResetArray();
  return removed;
}

int32_t TLandMarkStore::RemoveAllLandMarks(uint8_t ClassFlag, const TLandMarkVeto& Veto) {
  if (FLandMarks.empty()) return 0;
  TBitFld marked(NumLandMarks());
  const int32_t removed = RemoveMatching(
      FLandMarks, marked, [&](const TLandMark& LM) { return LM.ClassFlag == ClassFlag; }, Veto);
  marked.SetSize(NumLandMarks());
  CompactMarked(marked, marked.CountSet());
  if (FLandMarks.empty()) ResetArray();
  return removed;
}

void TLandMarkStore::RemoveAllLandMarks() { ResetArray(); }

int32_t TLandMarkStore::FindLandMark(double Lat, double Long, int32_t ClassFlag) const {
  const int32_t cls = NormaliseClass(ClassFlag);
  double best = 1e10;
  int32_t found = 0;
  const int32_t n = NumLandMarks();
  for (int32_t i = 0; i < n; ++i) {
    const TLandMark& LM = FLandMarks[size_t(i)];
    if (cls != -1 && LM.ClassFlag != cls) continue;
    const double d = SquaredDistance(LM, Lat, Long);
    if (d < best) {
      best = d;
      found = i + 1;
    }
  }
  return found;
}

int32_t TLandMarkStore::RemoveLandMark(int32_t LmIndex, const TLandMarkVeto& Veto) {
  if (FLandMarks.empty()) return 0;
  int32_t result = 0;
  if (LmIndex >= 1 && LmIndex <= NumLandMarks()) {
    const TLandMark candidate = FLandMarks[size_t(LmIndex - 1)];
    // The handler may have changed the store; the index must still be valid.
    if (Allowed(Veto, lmaRemove, candidate) && LmIndex <= NumLandMarks()) {
      if (LmIndex < NumLandMarks()) FLandMarks[size_t(LmIndex - 1)] = FLandMarks.back();
      FLandMarks.pop_back();
      result = LmIndex;
    }
  }
  if (FLandMarks.empty()) ResetArray();
  return result;
}

int32_t TLandMarkStore::RemoveNearestLandMark(double Lat, double Long, int32_t ClassFlag,
                                              const TLandMarkVeto& Veto) {
  if (FLandMarks.empty()) return 0;
  const int32_t ix = FindLandMark(Lat, Long, ClassFlag);
  if (ix == 0) return 0;
  const int32_t removed = RemoveLandMark(ix, Veto);
  if (FLandMarks.empty()) ResetArray();
  return removed;
}

bool TLandMarkStore::RemoveLastLandMark(const TLandMarkVeto& Veto) {
  bool removed = false;
  if (!FLandMarks.empty()) {
    const TLandMark candidate = FLandMarks.back();
    if (Allowed(Veto, lmaRemove, candidate) && !FLandMarks.empty()) {
      FLandMarks.pop_back();
      removed = true;
    }
  }
  if (FLandMarks.empty()) ResetArray();
  return removed;
}

void TLandMarkStore::AssignLandMarks(const TLandMarkStore& Source) {
  if (&Source == this) return;
  try {
    FLandMarks = Source.FLandMarks;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  const int32_t n = NumLandMarks();
  FCapacity = (n - 1) / CapacityStep * CapacityStep + CapacityStep;
  if (FCapacity < CapacityStep) FCapacity = CapacityStep;
  FDefaultLM = Source.FDefaultLM;
}

// ---- mouse trace ----

bool TLandMarkStore::AppendMTracePoint(double X, double Y) {
  if (NumMTracePoints() >= MaxTracePoints) return false;
  if (FMTrace.capacity() < size_t(MaxTracePoints)) FMTrace.reserve(MaxTracePoints);
  FMTrace.push_back(TColoredPoint{X, Y, uint16_t(FMTraceInvert ? TraceXorSegment : 0),
                                  FColorMTrace});
  return true;
}

void TLandMarkStore::EndMTraceStroke() {
  if (!FMTrace.empty()) FMTrace.back().State |= TraceEndsStroke;
}

TColoredPoint TLandMarkStore::MTracePointRaw(int32_t idx) const {
  if (idx < 1 || idx > NumMTracePoints()) return TColoredPoint{0, 0, TraceInvalid, 0};
  return FMTrace[size_t(idx - 1)];
}

TColoredPoint TLandMarkStore::GetMTracePoint(int32_t idx, const TPixelToGeo& PixelToGeo) const {
  TColoredPoint p = MTracePointRaw(idx);
  if (p.State == TraceInvalid && (idx < 1 || idx > NumMTracePoints())) return p;
  double lat = 0, lon = 0;
  if (!PixelToGeo || !PixelToGeo(RoundToInt(p.X), RoundToInt(p.Y), lat, lon)) {
    p.State = TraceInvalid;
    return p;
  }
  p.X = lon;
  p.Y = lat;
  return p;
}

}  // namespace vek
