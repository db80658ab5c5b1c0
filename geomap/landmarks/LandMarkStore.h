// The landmark list of a map control and the small store of mouse-trace points beside it.
// Non-visual and copyable by value; the control owns one, forwards its public landmark API
// to it and repaints. Landmarks and trace points are numbered from 1; 0 means "none".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BitFld.h"
#include "GeoMapRecords.h"
#include "VekTypes.h"

namespace vek {

// Asked before a landmark is added or removed; returning false refuses the action.
// An empty function allows everything. The control builds one from OnLandMarkAction.
using TLandMarkVeto = std::function<bool(TLandMarkAction Action, const TLandMark& LandMark)>;

// Converts a map-image pixel to latitude and longitude; false when the calibration cannot.
using TPixelToGeo = std::function<bool(int X, int Y, double& Lat, double& Long)>;

// The landmark record the control starts with (LandMarkDefault).
TLandMark InitialDefaultLandMark();

class TLandMarkStore {
 public:
  // The array grows in steps of this many entries and falls back to it when emptied.
  static constexpr int32_t CapacityStep = 1000;
  static constexpr int32_t MaxTracePoints = 5000;
  // State word bits of a trace point.
  static constexpr uint16_t TraceEndsStroke = 0x0001;
  static constexpr uint16_t TraceXorSegment = 0x0002;
  static constexpr uint16_t TraceInvalid = 0xFFFF;

  TLandMarkStore();

  // ---- landmarks ----
  int32_t NumLandMarks() const { return static_cast<int32_t>(FLandMarks.size()); }
  // Length of the landmark array as the capacity rule defines it (1000, 2000, ...). The real
  // allocation grows geometrically behind it, so long runs of additions stay linear.
  int32_t Capacity() const { return FCapacity; }

  const TLandMark& LandMarkDefault() const { return FDefaultLM; }
  void SetLandMarkDefault(const TLandMark& LM) { FDefaultLM = LM; }

  // Copy of landmark i (1 .. NumLandMarks); outside that range an empty record.
  TLandMark GetLandMarkData(int32_t i) const;
  // Replaces landmark i; false (and nothing changes) outside 1 .. NumLandMarks.
  bool SetLandMarkData(int32_t i, const TLandMark& LM);
  // Unchecked access for hot loops (rendering); i in 1 .. NumLandMarks.
  const TLandMark& operator[](int32_t i) const { return FLandMarks[static_cast<size_t>(i - 1)]; }
  const std::vector<TLandMark>& Items() const { return FLandMarks; }

  // The five ways of building a new landmark: the named fields from the arguments, every
  // other field from LandMarkDefault. Identifiers keep 15 characters, caption texts 80
  // (converted from UTF-8 to the 8-bit code page).
  TLandMark MakeLandMark(double Lat, double Long, double Altitude) const;
  TLandMark MakeLandMark(double Lat, double Long, double Altitude, const TLMIdentifier& Identifier,
                         TDateTime Time) const;
  TLandMark MakeLandMark(double Lat, double Long, double Altitude, const std::string& CaptionText,
                         int32_t CaptionSize, TColor CaptionColor) const;
  TLandMark MakeLandMark(double Lat, double Long, double Altitude, const TLMIdentifier& Identifier,
                         TDateTime Time, const std::string& CaptionText, int32_t CaptionSize,
                         TColor CaptionColor) const;
  // Symbol and attributes from the arguments, caption from LandMarkDefault.
  TLandMark MakeLandMark(double Lat, double Long, double Altitude, TLandMarkElement Element,
                         uint8_t ClassFlag, const TLMIdentifier& Identifier, TDateTime Time,
                         int32_t Tag, TColor ColorFG, TColor ColorBG, int32_t Size,
                         bool Transparent, int32_t Direction, int32_t Length) const;

  // Asks the veto (lmaAdd) and appends. Returns whether the landmark was added.
  bool AddLandMark(const TLandMark& LM, const TLandMarkVeto& Veto = {});
  // Appends without asking (file readers). Applies the capacity rule.
  void AppendLandMark(const TLandMark& LM);
  void AppendLandMark(TLandMark&& LM);
  // Room for about N landmarks without reallocating (file readers, which can estimate the
  // count from the file size). Only the allocation changes, never what the store reports;
  // an estimate that cannot be had is ignored. Pages of a generous estimate that are never
  // written cost address space only.
  void ReserveLandMarks(size_t N);

  // Removal. Each asks the veto (lmaRemove) for every landmark it is about to remove.
  // ClassFlag -1 (and any value outside 0 .. 255) selects every class.
  // Within Radius degrees (squared distance strictly below Radius^2); returns how many went.
  int32_t RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius,
                         const TLandMarkVeto& Veto = {});
  // Strictly inside the rectangle (Left = west, Top = north, Right = east, Bottom = south).
  int32_t RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag,
                         const TLandMarkVeto& Veto = {});
  // The one nearest landmark of the class; returns its former index, 0 when none went.
  int32_t RemoveNearestLandMark(double Lat, double Long, int32_t ClassFlag,
                                const TLandMarkVeto& Veto = {});
  // By index; returns the index, or 0 when out of range or refused.
  int32_t RemoveLandMark(int32_t LmIndex, const TLandMarkVeto& Veto = {});
  // The landmark with the highest index; returns whether one went.
  bool RemoveLastLandMark(const TLandMarkVeto& Veto = {});
  // Every landmark of exactly this class (no wildcard); returns how many went.
  int32_t RemoveAllLandMarks(uint8_t ClassFlag, const TLandMarkVeto& Veto = {});
  // Empties the store without asking.
  void RemoveAllLandMarks();

  // Index of the landmark of the class nearest to the position, 0 when the store holds none
  // of that class; among equally near ones the lowest index.
  int32_t FindLandMark(double Lat, double Long, int32_t ClassFlag) const;

  // Takes over the landmarks and the default landmark of Source (not the trace); the array
  // length becomes the next multiple of 1000 above the count, at least 1000.
  void AssignLandMarks(const TLandMarkStore& Source);

  // ---- mouse trace ----
  int32_t NumMTracePoints() const { return static_cast<int32_t>(FMTrace.size()); }
  TColor MouseTraceColor() const { return FColorMTrace; }
  void SetMouseTraceColor(TColor C) { FColorMTrace = C; }
  bool MouseTraceInvert() const { return FMTraceInvert; }
  void SetMouseTraceInvert(bool V) { FMTraceInvert = V; }

  // Appends a point in map-image pixels with the trace colour and, when inverting, the XOR
  // bit. False (nothing stored) once MaxTracePoints are held.
  bool AppendMTracePoint(double X, double Y);
  // Marks the last point as the end of its stroke.
  void EndMTraceStroke();
  void ClearMouseTrace() { FMTrace.clear(); }
  // Stored point idx (1 .. NumMTracePoints) in map-image pixels; out of range the state word
  // is TraceInvalid and the other fields are 0.
  TColoredPoint MTracePointRaw(int32_t idx) const;
  // Point idx with X = longitude, Y = latitude of its pixel (X, Y rounded to the nearest
  // integer, halves to even). State TraceInvalid when out of range or not convertible.
  TColoredPoint GetMTracePoint(int32_t idx, const TPixelToGeo& PixelToGeo) const;

 private:
  void ResetArray();
  template <class R>
  void Append(R&& LM);
  void CompactMarked(TBitFld& Marked, int32_t NumMarked);
  static int32_t NormaliseClass(int32_t ClassFlag);

  std::vector<TLandMark> FLandMarks;  // size() is the count
  int32_t FCapacity = CapacityStep;
  TLandMark FDefaultLM;
  std::vector<TColoredPoint> FMTrace;  // size() is the count, at most MaxTracePoints
  TColor FColorMTrace = 0xFFFFFF;
  bool FMTraceInvert = true;
};

// Rounds to the nearest integer, halves to even, limited to the int32 range (NaN gives 0).
int32_t RoundToInt(double V);

}  // namespace vek
