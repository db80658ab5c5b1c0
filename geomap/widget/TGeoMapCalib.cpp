// TGeoMap: calibration fitting, conversion, point editing and the calibration file. The work
// is done by TMapCalibration; the control adds its image size, its message prefix and the
// repaints.
#include <filesystem>
#include <system_error>

#include "CalibXml.h"
#include "ControlPointFile.h"
#include "WorldFile.h"
#include "TGeoMap.h"

namespace vek {

namespace {

bool FileExists(const std::string& Name) {
  std::error_code Ec;
  return !Name.empty() && std::filesystem::is_regular_file(Name, Ec);
}

}  // namespace

// ---- fitting ----

void TGeoMap::RecalcCalibration() {
  SyncCalibImageSize();
  FCal.RecalcCalibration();
  Paint();
}

bool TGeoMap::RecalcGratMat() { return FCal.RecalcGratMat(); }
void TGeoMap::CalcEquiRectCalibration() { FCal.CalcEquiRectCalibration(); }
void TGeoMap::CalcBiquadraticCalibration() { FCal.CalcBiquadraticCalibration(); }
void TGeoMap::CalcMillerCylCalibration() { FCal.CalcMillerCylCalibration(); }

void TGeoMap::CalcConicCalibration() {
  SyncCalibImageSize();
  FCal.CalcConicCalibration();
}

void TGeoMap::CalcExtentsAndResolution() {
  SyncCalibImageSize();
  FCal.CalcExtentsAndResolution();
}

// ---- conversions ----

double TGeoMap::CalcLatitude(int32_t X, int32_t Y, bool& Valid) const { return FCal.CalcLatitude(X, Y, Valid); }
double TGeoMap::CalcLatitude(const TPoint& P, bool& Valid) const { return FCal.CalcLatitude(P, Valid); }
double TGeoMap::CalcLongitude(int32_t X, int32_t Y, bool& Valid) const { return FCal.CalcLongitude(X, Y, Valid); }
double TGeoMap::CalcLongitude(const TPoint& P, bool& Valid) const { return FCal.CalcLongitude(P, Valid); }

bool TGeoMap::CalcPixelCoords(double Lat, double Long, int32_t& X, int32_t& Y) const {
  return FCal.CalcPixelCoords(Lat, Long, X, Y);
}

bool TGeoMap::CalcPixelCoordsUTM(double Northing, double Easting, int32_t& X, int32_t& Y) const {
  return FCal.CalcPixelCoordsUTM(Northing, Easting, X, Y);
}

int32_t TGeoMap::CalcUTMyFromNorthingX(double Northing, int32_t X) const {
  return FCal.CalcUTMyFromNorthingX(Northing, X);
}

int32_t TGeoMap::CalcUTMxFromEastingY(double Easting, int32_t Y) const {
  return FCal.CalcUTMxFromEastingY(Easting, Y);
}

void TGeoMap::CalibQuality(double& QualX, double& QualY) const { FCal.CalibQuality(QualX, QualY); }
std::vector<TCalResidual> TGeoMap::CalibResiduals() const { return FCal.Residuals(); }
double TGeoMap::CalibResidualRMS() const { return FCal.ResidualRMS(); }

// ---- editing ----

bool TGeoMap::AddCalibPoint(TGratLineKind LineType, double LineValue, int32_t X, int32_t Y) {
  SyncCalibImageSize();
  const bool R = WithComponentMessage<EVEKGeoMapError>(*this, [&] { return FCal.AddCalibPoint(LineType, LineValue, X, Y); });
  Paint();
  return R;
}

bool TGeoMap::AddCalibPoint(double Lat, double Long, int32_t X, int32_t Y) {
  SyncCalibImageSize();
  const bool R = WithComponentMessage<EVEKGeoMapError>(*this, [&] { return FCal.AddCalibPoint(Lat, Long, X, Y); });
  Paint();
  return R;
}

bool TGeoMap::AddCalibPoint(double Northing, double Easting, int32_t Zone, THemisphere Hemisphere,
                            int32_t X, int32_t Y) {
  SyncCalibImageSize();
  const bool R = WithComponentMessage<EVEKGeoMapError>(
      *this, [&] { return FCal.AddCalibPoint(Northing, Easting, Zone, Hemisphere, X, Y); });
  Paint();
  return R;
}

bool TGeoMap::RemoveCalibPoint(TGratLineKind LineType, double LineValue, int32_t X, int32_t Y) {
  SyncCalibImageSize();
  const bool R = WithComponentMessage<EVEKGeoMapError>(*this, [&] { return FCal.RemoveCalibPoint(LineType, LineValue, X, Y); });
  Paint();
  return R;
}

bool TGeoMap::RemoveCalibPoint(int32_t X, int32_t Y) {
  SyncCalibImageSize();
  const bool R = FCal.RemoveCalibPoint(X, Y);
  Paint();
  return R;
}

void TGeoMap::RestoreLastDeletedCalPoint() {
  SyncCalibImageSize();
  WithComponentMessage<EVEKGeoMapError>(*this, [&] { FCal.RestoreLastDeletedCalPoint(); });
  Paint();
}

void TGeoMap::ClearCalibData() {
  FCal.Clear();
  Paint();
}

void TGeoMap::SetCalDatName(const std::string& FileName) {
  if (FileExists(FileName)) {
    FCalDatName = FileName;
    // A block that was read has repainted, after the fit.
    const int compositions = FCompositionCount;
    LoadCalDataFromXML(FileName, "");
    if (FCompositionCount != compositions) return;
  } else {
    FMapImgName.clear();
    FMapImgWidth = 0;
    FMapImgHeight = 0;
  }
  Paint();
}

// ---- file and stream ----

void TGeoMap::WriteCalDataToOpenXMLFile(TextFile& F, bool WriteHeader, const std::string& DataID) {
  CalcExtentsAndResolution();
  FCal.Data().MapFName = FMapImgName;
  WriteRawCalDataToOpenXMLFile(F, WriteHeader, DataID, FCal.Data(), FCal.Model());
}

void TGeoMap::SaveCalDataAsXML(const std::string& FileName, const std::string& DataID) {
  TextFile F;
  AssignFile(F, FileName);
  Rewrite(F);
  WriteCalDataToOpenXMLFile(F, true, DataID);
  CloseFile(F);
}

void TGeoMap::SaveCalDataAsXML(TStream& OutStream, const std::string& DataID) {
  CalcExtentsAndResolution();
  FCal.Data().MapFName = FMapImgName;
  WriteRawCalDataToStream(OutStream, DataID, FCal.Data(), FCal.Model());
}

bool TGeoMap::ReadCalDataFromOpenXMLFile(TextFile& F, const std::string& DataID) {
  return ReadCalDataIntern(true, &F, nullptr, DataID);
}

bool TGeoMap::LoadCalDataFromXML(const std::string& FName, const std::string& DataID) {
  TextFile F;
  if (!TryReset(F, FName)) return false;
  const bool R = ReadCalDataIntern(true, &F, nullptr, DataID);
  CloseFile(F);
  return R;
}

bool TGeoMap::LoadCalDataFromXML(TStream& InStream, const std::string& DataID) {
  return ReadCalDataIntern(false, nullptr, &InStream, DataID);
}

bool TGeoMap::ReadCalDataIntern(bool FromFile, TextFile* F, TStream* Stream, const std::string& DataID) {
  if (FromFile ? F == nullptr : Stream == nullptr) return false;
  const TCalibBlockRecord R = WithComponentMessage<EVEKGeoMapError>(*this, [&] {
    return LoadCalibRecord(FromFile ? F : nullptr, FromFile ? nullptr : Stream, DataID, FCal);
  });
  if (!R.Matched) return false;
  std::string MapName = R.MapLower;
  if (!MapName.empty()) {
    // The block keeps map names in lower case; on a case-sensitive file system the name as
    // written is the one that exists.
    if (R.MapAsWritten != MapName && !FileExists(MapName) && FileExists(R.MapAsWritten))
      MapName = R.MapAsWritten;
    // The picture is composed once, after the fit: graticule and landmarks must show the
    // calibration just read, not the one before.
    const bool suppressed = FSuppressPaint;
    FSuppressPaint = true;
    try {
      SetMapImgName(MapName);
    } catch (...) {
      FSuppressPaint = suppressed;
      throw;
    }
    FSuppressPaint = suppressed;
  }
  SyncCalibImageSize();
  const bool GratMatOK = FCal.RecalcGratMat();
  FCal.FitModel();
  Paint();
  return GratMatOK;
}

// ---- GIS interchange ----

bool TGeoMap::LoadWorldFile(const std::string& FileName) {
  const std::string name = FileName.empty() ? FindWorldFile(FMapImgName) : FileName;
  if (name.empty() || !FileExists(name)) return false;
  WithComponentMessage<EVEKGeoMapError>(*this, [&] {
    CalibrateFromWorldFile(FCal, ReadWorldFile(name), FMapImgWidth, FMapImgHeight, name);
  });
  Paint();
  return true;
}

std::string TGeoMap::SaveWorldFile(const std::string& FileName) {
  std::string name = FileName;
  if (name.empty()) {
    if (FMapImgName.empty()) throw EVEKGeoMapError(ComponentMessage("no map image to write a world file for"));
    name = WorldFileCandidates(FMapImgName).front();
  }
  SyncCalibImageSize();
  const TWorldFileFit fit = WithComponentMessage<EVEKGeoMapError>(*this, [&] {
    const TWorldFileFit f = WorldFileOf(FCal, FMapImgWidth, FMapImgHeight);
    WriteWorldFile(name, f.File);
    return f;
  });
  if (fit.Exact) return {};
  char rms[32];
  std::snprintf(rms, sizeof rms, "%.2f", fit.RmsPixels);
  return "the world file is the best affine fit of this calibration, off by " + std::string(rms) +
         " pixels (RMS)";
}

int TGeoMap::ImportControlPoints(const std::string& FileName) {
  SyncCalibImageSize();
  const int n = WithComponentMessage<EVEKGeoMapError>(
      *this, [&] { return AddControlPoints(FCal, ReadControlPointFile(FileName)); });
  Paint();
  return n;
}

void TGeoMap::ExportControlPoints(const std::string& FileName) const {
  WithComponentMessage<EVEKGeoMapError>(
      *this, [&] { WriteControlPointFile(FileName, ControlPointsOf(FCal)); });
}

}  // namespace vek
