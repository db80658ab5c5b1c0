#include "CalibXml.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "DialectBlock.h"
#include "TagReader.h"
#include "XmlText.h"

namespace vek {

namespace {

constexpr TCorners CornerOrder[4] = {gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight};

std::string ModelName(TCalibModel Model) {
  const int M = Model <= cmUndefined ? int(Model) : int(cmUndefined);
  return XmlTags[xtFirstModelName + M];
}

std::string EllipsoidId(TGeoEllipsoid E) {
  return int(E) < NumGeoEllipsoids ? GeoEllipsoidId[int(E)] : GeoEllipsoidId[0];
}

std::string CoordItem(double Lat, double Long) {
  return "[" + FormatNumber(1, 5, Lat) + "," + FormatNumber(1, 5, Long) + "] ";
}

// The lines of one block; Stream selects the stream form.
std::vector<std::string> BlockLines(bool Stream, bool WriteHeader, const std::string& DataID,
                                    const TCalibData& D, TCalibModel Model) {
  std::vector<std::string> L;
  if (WriteHeader || Stream) L.push_back("<?xml version=\"1.0\"?>");
  L.push_back("");
  L.push_back("<!-- TGeoMap Calibration / Quillwort -->");
  // Identifier and caption as every root line of the dialect carries them; a map name is a
  // file name and stays as it is.
  L.push_back(DialectRootLine("geomap", DataID, riEscaped,
                              " model=\"" + ModelName(Model) + "\" map=\"" + D.MapFName +
                                  "\" caption=\"" + DialectAttributeText(D.Caption) + "\""));
  L.push_back("<corners>");
  std::string Corners;
  for (TCorners C : CornerOrder) Corners += CoordItem(D.Corners[C].Latit, D.Corners[C].Longit);
  L.push_back(Corners);
  L.push_back("</corners>");
  if (Stream || D.Resolution > 0)
    L.push_back("<resolution>" + FormatNumber(1, 3, D.Resolution) + "</resolution>");
  if (!Stream) {
    if (D.UTMZone >= 1 && D.UTMZone <= 60) {
      L.push_back("<utmzone>" + std::to_string(D.UTMZone) + "</utmzone>");
      L.push_back("<utmsouth>" + BoolToText(D.UTMSouth) + "</utmsouth>");
    }
    L.push_back("<ellipsoid>" + EllipsoidId(D.Ellipsoid) + "</ellipsoid>");
  }
  const int NLines = std::clamp(D.NumCalLines, 0, MaxCalLines);
  for (int i = 1; i <= NLines; ++i) {
    const TCalibLine& Line = D.CalLines[i];
    const int NP = std::clamp(Line.NumPoints, 0, MaxCalLinePoints);
    L.push_back(std::string("<calline type=\"") +
                (Line.LineType == gtlParallel ? "parallel" : "meridian") + "\" value=\"" +
                FloatToStrGeneral(Line.LineValue) + "\" npoints=\"" + std::to_string(NP) + "\">");
    std::string Points;
    for (int k = 1; k <= NP; ++k)
      Points += "[" + std::to_string(Line.CalPoints[k].X) + "," + std::to_string(Line.CalPoints[k].Y) + "] ";
    L.push_back(Points);
    L.push_back("</calline>");
  }
  const int NQuads = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  if (Stream || NQuads > 0) {
    L.push_back("<calquads npoints=\"" + std::to_string(NQuads) + "\">");
    std::string Quads;
    for (int k = 1; k <= NQuads; ++k) {
      const TCalQuad& Q = D.CalQuads[k];
      Quads += "[" + FormatNumber(1, 5, Q.Latitude) + "," + FormatNumber(1, 5, Q.Longitude) + "," +
               std::to_string(Q.MapX) + "," + std::to_string(Q.MapY) + "] ";
    }
    L.push_back(Quads);
    L.push_back("</calquads>");
  }
  L.push_back("</geomap>");
  return L;
}

// ---- reading ----

// Texts between '[' and the next ']', in order. Reading stops at the first '[' that has no
// later ']' (or a ']' before the next '[').
std::vector<std::string> BracketItems(const std::string& Content) {
  std::vector<std::string> Items;
  size_t From = 0;
  while (From < Content.size()) {
    const size_t Open = Content.find('[', From), Close = Content.find(']', From);
    if (Open == std::string::npos || Close == std::string::npos || Open > Close) break;
    Items.push_back(Content.substr(Open + 1, Close - Open - 1));
    From = Close + 1;
  }
  return Items;
}

// Value of attribute Name in a root line: after 'name', optional blanks, '=', blanks and '"',
// up to the next '"'. The name must start the line or follow a blank.
bool RootAttr(const std::string& Line, const std::string& Name, std::string& Value) {
  const std::string Low = LowerCaseAscii(Line);
  size_t P = 0;
  while ((P = Low.find(Name, P)) != std::string::npos) {
    const bool Boundary = P == 0 || static_cast<unsigned char>(Low[P - 1]) <= 32;
    size_t Q = P + Name.size();
    P += 1;
    if (!Boundary) continue;
    while (Q < Low.size() && Low[Q] == ' ') ++Q;
    if (Q >= Low.size() || Low[Q] != '=') continue;
    ++Q;
    while (Q < Low.size() && Low[Q] == ' ') ++Q;
    if (Q >= Low.size() || Low[Q] != '"') continue;
    ++Q;
    const size_t End = Line.find('"', Q);
    Value = Line.substr(Q, End == std::string::npos ? std::string::npos : End - Q);
    return true;
  }
  Value.clear();
  return false;
}

// Differences between the map's reader and ParseCalibData.
struct ReadMode {
  bool Parse;           // ParseCalibData
  std::string Prefix;   // of the messages
};

struct RootInfo {
  std::string Id, ModelValue, MapLower, MapAsWritten, Caption;
  bool HasModel = false;
};

RootInfo ReadRootLine(const std::string& Line) {
  RootInfo R;
  const std::string Low = LowerCaseAscii(Line);
  std::string V;
  RootAttr(Low, "id", V);
  R.Id = TrimSpaces(V);
  R.HasModel = RootAttr(Low, "model", V);
  R.ModelValue = TrimSpaces(V);
  // A file name ends at a NUL: the file system would see only what precedes it, and every
  // check of the name must see the same.
  RootAttr(Low, "map", V);
  R.MapLower = TrimSpaces(V.substr(0, V.find('\0')));
  RootAttr(Line, "map", V);
  R.MapAsWritten = TrimSpaces(V.substr(0, V.find('\0')));
  RootAttr(Line, "caption", V);
  R.Caption = TrimSpaces(V);
  return R;
}

// Finds the root line; applies the attributes of every root line on the way through Apply.
template <class ApplyFn>
bool FindBlock(TextFile* F, TStream* S, const std::string& DataID, ApplyFn Apply) {
  return FindDialectBlock(TDialectLines(F, S), "geomap", DataID,
                          [&](const std::string& Line, const std::string&) {
                            const RootInfo R = ReadRootLine(Line);
                            Apply(R);
                            return R.Id;
                          });
}

int NextTag(TextFile* F, TStream* S, std::string& Content, std::string& Attributes) {
  return F ? ReadNextTagInTextFile(*F, XmlTags, XmlReaderTagHigh, Content, Attributes)
           : ReadNextTagInStream(*S, XmlTags, XmlReaderTagHigh, Content, Attributes);
}

// A calline element: kind, value and the pixel points of one graticule line.
void ReadCalLine(const std::string& Attr, const std::string& Content, TCalibData& D,
                 const ReadMode& Mode) {
  const std::string Type = FindAttributeValue(Attr, "type");
  const std::string LowType = LowerCaseAscii(Type);
  TGratLineKind Kind;
  if (LowType == "parallel")
    Kind = gtlParallel;
  else if (LowType == "meridian")
    Kind = gtlMeridian;
  else
    throw EVEKGeoMapError(Mode.Prefix + MsgInvalidGratLineType + (Mode.Parse ? Type : LowType) + "\"");
  int Pos = 1;
  const double Value = ReadNumberAt(FindAttributeValue(Attr, "value"), true, nsPointOrComma, Pos);
  Pos = 1;
  const int Declared = ReadIntegerAt(FindAttributeValue(Attr, "npoints"), Pos);
  const std::vector<std::string> Items = BracketItems(Content);
  // A table that is full takes no further line; the block is still checked.
  const bool Store = D.NumCalLines >= 0 && D.NumCalLines < MaxCalLines;
  if (Store) {
    ++D.NumCalLines;
    TCalibLine& L = D.CalLines[D.NumCalLines];
    L.LineType = Kind;
    L.LineValue = Value;
    L.NumPoints = 0;
    for (const std::string& It : Items) {
      if (L.NumPoints >= MaxCalLinePoints) break;
      int P = 1;
      const int X = ReadIntegerAt(It, P);
      const size_t Comma = It.find(',');
      P = static_cast<int>(Comma) + 2;
      const int Y = Comma == std::string::npos ? 0 : ReadIntegerAt(It, P);
      L.CalPoints[++L.NumPoints] = TPoint{X, Y};
    }
  }
  if (static_cast<int64_t>(Items.size()) != Declared)
    throw EVEKGeoMapError(Mode.Prefix + MsgCalPointCountMismatch);
  if (Store && !Mode.Parse && D.CalLines[D.NumCalLines].NumPoints < 3) --D.NumCalLines;
}

// The corners element: up to four latitude,longitude pairs.
void ReadCorners(const std::string& Content, TCalibData& D) {
  int n = 0;
  for (const std::string& It : BracketItems(Content)) {
    if (n >= 4) break;
    const size_t Comma = It.find(',');
    int P = 1;
    const double Lat = ReadNumberAt(It.substr(0, Comma), true, nsPointOrComma, P);
    double Long = 0;
    if (Comma != std::string::npos) {
      P = static_cast<int>(Comma) + 2;
      Long = ReadNumberAt(It, true, nsPointOrComma, P);
    }
    D.Corners[CornerOrder[n++]] = TCoords{Lat, Long};
  }
}

// The calquads element: the control points of the point models.
void ReadCalQuads(const std::string& Attr, const std::string& Content, TCalibData& D,
                  const ReadMode& Mode) {
  int P = 1;
  const int Declared = ReadIntegerAt(FindAttributeValue(Attr, "npoints"), P);
  const std::vector<std::string> Items = BracketItems(Content);
  int Stored = 0;
  for (const std::string& It : Items) {
    if (Stored >= MaxCalQuads) break;
    TCalQuad Q;
    P = 1;
    Q.Latitude = ReadNumberAt(It, false, nsPoint, P);
    ++P;
    Q.Longitude = ReadNumberAt(It, false, nsPoint, P);
    ++P;
    Q.MapX = ReadIntegerAt(It, P);
    ++P;
    Q.MapY = ReadIntegerAt(It, P);
    D.CalQuads[++Stored] = Q;
  }
  D.NumCalQuads = Stored;
  if (static_cast<int64_t>(Items.size()) != Declared)
    throw EVEKGeoMapError(Mode.Prefix + MsgCalPointCountMismatch);
}

// Reads the elements of a matched block into D, up to "</geomap>" or the end of the input.
void ReadElements(TextFile* F, TStream* S, TCalibData& D, const ReadMode& Mode) {
  std::string Content, Attr;
  for (;;) {
    const int Ix = NextTag(F, S, Content, Attr);
    if (Ix == xtGeoMapEnd || Ix == xtInvalidTag || Ix < 0 || Ix > XmlReaderTagHigh) break;
    int P = 1;
    switch (Ix) {
      case xtCalLine: ReadCalLine(Attr, Content, D, Mode); break;
      case xtCorners: ReadCorners(Content, D); break;
      case xtResolution: D.Resolution = ReadNumberAt(Content, true, nsPointOrComma, P); break;
      case xtCalQuads: ReadCalQuads(Attr, Content, D, Mode); break;
      case xtUTMZone: D.UTMZone = ReadIntegerAt(Content, P); break;
      case xtUTMSouth: D.UTMSouth = LowerCaseAscii(Content) == "true"; break;
      case xtEllipsoid:
        // An unknown name keeps the ellipsoid there was.
        for (int e = 0; e < NumGeoEllipsoids; ++e) {
          if (Content == GeoEllipsoidId[e]) {
            D.Ellipsoid = static_cast<TGeoEllipsoid>(e);
            break;
          }
        }
        break;
      default: break;
    }
  }
}

// Model of a model attribute value, or Fallback when the name is unknown.
TCalibModel ModelByName(const std::string& LowName, TCalibModel Fallback) {
  for (int m = 0; m <= int(cmUndefined); ++m)
    if (LowName == XmlTags[xtFirstModelName + m]) return static_cast<TCalibModel>(m);
  return Fallback;
}

bool ParseIntern(TextFile* F, TStream* S, const std::string& DataID, TCalibData& CalData,
                 TCalibModel& Model) {
  Model = cmBiquadraticPn;
  const bool Found = FindBlock(F, S, DataID, [&](const RootInfo& R) {
    if (R.HasModel) Model = ModelByName(R.ModelValue, Model);
    CalData.MapFName = R.MapLower;
    CalData.Caption = R.Caption;
  });
  if (!Found) return false;
  CalData.NumCalLines = 0;
  ReadElements(F, S, CalData, ReadMode{true, "ParseCalibData: "});
  return true;
}

}  // namespace

void WriteRawCalDataToOpenXMLFile(TextFile& F, bool WriteHeader, const std::string& DataID,
                                  const TCalibData& CalData, TCalibModel Model) {
  for (const std::string& L : BlockLines(false, WriteHeader, DataID, CalData, Model)) WriteLn(F, L);
}

void WriteRawCalDataToStream(TStream& Stream, const std::string& DataID,
                             const TCalibData& CalData, TCalibModel Model) {
  for (const std::string& L : BlockLines(true, true, DataID, CalData, Model)) WriteLnStream(Stream, L);
}

bool ParseCalibData(const std::string& FileName, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model) {
  TextFile F;
  if (!TryReset(F, FileName)) return false;
  return ParseIntern(&F, nullptr, DataID, CalData, Model);  // F closes itself
}

bool ParseCalibData(TStream& InStream, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model) {
  return ParseIntern(nullptr, &InStream, DataID, CalData, Model);
}

bool ReadCalibRecord(TextFile* F, TStream* Stream, const std::string& DataID, TCalibBlockRecord& R) {
  R = TCalibBlockRecord{};
  R.Matched = FindBlock(F, Stream, DataID, [&](const RootInfo& Root) {
    R.RootSeen = true;
    R.Model = ModelByName(Root.ModelValue, cmUndefined);
    R.MapLower = Root.MapLower;
    R.MapAsWritten = Root.MapAsWritten;
    R.Caption = Root.Caption;
  });
  if (!R.Matched) return false;
  // The elements land on a cleared calibration, as a map starting over would hold it.
  ClearCalibData(R.Data);
  R.Data.MapFName = R.MapLower;
  R.Data.Caption = R.Caption;
  ReadElements(F, Stream, R.Data, ReadMode{false, ""});
  return true;
}

namespace {

// Puts a record into a calibration as a map takes it: model, map name and caption when a root
// line was seen, the whole data on a match. No fit.
void ApplyCalibRecord(const TCalibBlockRecord& R, TMapCalibration& Cal) {
  if (!R.RootSeen) return;
  Cal.SetModel(R.Model);
  if (R.Matched) {
    Cal.Clear();
    Cal.SetData(R.Data);
  } else {
    Cal.Data().MapFName = R.MapLower;
    Cal.Data().Caption = R.Caption;
  }
}

}  // namespace

TCalibBlockRecord LoadCalibRecord(TextFile* F, TStream* Stream, const std::string& DataID,
                                  TMapCalibration& Cal) {
  TCalibBlockRecord R;
  try {
    ReadCalibRecord(F, Stream, DataID, R);
  } catch (...) {
    ApplyCalibRecord(R, Cal);  // what was read before the fault stays
    throw;
  }
  ApplyCalibRecord(R, Cal);
  return R;
}

bool ReadCalibBlock(TextFile* F, TStream* Stream, const std::string& DataID, TMapCalibration& Cal,
                    bool& GratMatOK, std::string& MapNameAsWritten) {
  GratMatOK = false;
  const TCalibBlockRecord R = LoadCalibRecord(F, Stream, DataID, Cal);
  MapNameAsWritten = R.MapAsWritten;
  GratMatOK = R.Matched && Cal.RecalcGratMat();
  return R.Matched;
}

}  // namespace vek
