#include "RasterCalibration.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include <gdal_utils.h>

#include "GdalInternal.h"

namespace vek {

using namespace gdalbridge;

namespace {

// Pixels per side of the grid sampled through PROJ for projected systems: 81 points, well
// inside the 200 control points a calibration holds.
constexpr int kGridSide = 9;

void Fit(TRasterCalibration& R, TCalibModel Model, const std::vector<TCalQuad>& Quads) {
  TMapCalibration& Cal = R.Calibration;
  Cal.SetModel(Model);
  TCalibData& D = Cal.Data();
  D.NumCalQuads = 0;
  for (const TCalQuad& Q : Quads) {
    if (D.NumCalQuads == MaxCalQuads) {
      R.Warnings.push_back("only the first " + std::to_string(MaxCalQuads) +
                           " control points were taken");
      break;
    }
    D.CalQuads[++D.NumCalQuads] = Q;
  }
  Cal.RecalcCalibration();
  R.RmsPixels = Cal.ResidualRMS();
}

// (x, y) through the geotransform.
void Apply(const double G[6], double X, double Y, double& E, double& N) {
  E = G[0] + G[1] * X + G[2] * Y;
  N = G[3] + G[4] * X + G[5] * Y;
}

// The image corners and its centre: exact for the affine models.
std::vector<TPoint> CornerPixels(int W, int H) {
  return {{0, 0}, {W, 0}, {0, H}, {W, H}, {W / 2, H / 2}};
}

// The pixel in [Lo, Hi] whose coordinate Origin + Step * i lies nearest a multiple of 1e-5
// degrees: the calibration file keeps five decimals, so control points there lose nothing
// when written.
int NearestToFileGrid(double Origin, double Step, int Lo, int Hi) {
  int Best = Lo;
  double BestErr = 1;
  for (int i = Lo; i <= Hi && BestErr > 1e-9; ++i) {
    const double V = (Origin + Step * i) * 1e5;
    const double Err = std::fabs(V - std::nearbyint(V));
    if (Err < BestErr) {
      BestErr = Err;
      Best = i;
    }
  }
  return Best;
}

void FromGeographic(TRasterCalibration& R, const double G[6], int W, int H) {
  std::vector<TPoint> Pixels = CornerPixels(W, H);
  if (G[2] == 0 && G[4] == 0) {
    // North up: one column near each side and one row near top and bottom chosen so that the
    // file keeps the positions (nearly) exactly.
    const int X1 = NearestToFileGrid(G[0], G[1], 0, W / 4);
    const int X2 = NearestToFileGrid(G[0], G[1], W - W / 4, W);
    const int Y1 = NearestToFileGrid(G[3], G[5], 0, H / 4);
    const int Y2 = NearestToFileGrid(G[3], G[5], H - H / 4, H);
    if (X1 != X2 && Y1 != Y2) Pixels = {{X1, Y1}, {X2, Y1}, {X1, Y2}, {X2, Y2}};
  }
  std::vector<TCalQuad> Q;
  for (const TPoint& P : Pixels) {
    double Lon = 0, Lat = 0;
    Apply(G, P.X, P.Y, Lon, Lat);
    Q.push_back({Lat, Lon, P.X, P.Y});
  }
  for (const TPoint& P : CornerPixels(W, H)) {
    double Lon = 0, Lat = 0;
    Apply(G, P.X, P.Y, Lon, Lat);
    if (!(std::fabs(Lat) <= 90.000001 && std::fabs(Lon) <= 540))
      throw EVEKGeoGdalError("the geotransform puts the image off the earth");
  }
  Fit(R, cmEquiRect, Q);
  R.Method = "geotransform in geographic coordinates";
}

void FromUTM(TRasterCalibration& R, const double G[6], int W, int H, int Zone, bool North,
             TGeoEllipsoid Ell) {
  TCalibData& D = R.Calibration.Data();
  D.UTMZone = Zone;
  D.UTMSouth = !North;
  D.Ellipsoid = Ell;
  std::vector<TCalQuad> Q;
  for (const TPoint& P : CornerPixels(W, H)) {
    double E = 0, N = 0;
    Apply(G, P.X, P.Y, E, N);
    Q.push_back({N, E, P.X, P.Y});
  }
  Fit(R, cmUTM, Q);
  R.Method = "geotransform in UTM zone " + std::to_string(Zone) + (North ? " north" : " south");
}

// Pixels of the grid, in the geographic system of the raster's own datum, fitted by the
// biquadratic model.
void FromProjected(TRasterCalibration& R, const double G[6], int W, int H,
                   const OGRSpatialReference& Srs) {
  std::unique_ptr<OGRSpatialReference> Geo(Srs.CloneGeogCS());
  if (!Geo) throw EVEKGeoGdalError("the coordinate system has no geographic base");
  TraditionalAxes(*Geo);
  TransformPtr T = MakeTransform(Srs, *Geo);
  std::vector<TCalQuad> Q;
  for (int j = 0; j < kGridSide; ++j)
    for (int i = 0; i < kGridSide; ++i) {
      const int X = int(std::lround(double(W) * i / (kGridSide - 1)));
      const int Y = int(std::lround(double(H) * j / (kGridSide - 1)));
      double E = 0, N = 0;
      Apply(G, X, Y, E, N);
      if (!T->Transform(1, &E, &N) || !std::isfinite(E) || !std::isfinite(N)) continue;
      Q.push_back({N, E, X, Y});
    }
  if (Q.size() < 6) throw EVEKGeoGdalError("PROJ cannot transform the image's pixels");
  Fit(R, cmBiquadraticPn, Q);
  const char* Name = Srs.GetName();
  R.Method = "grid of " + std::to_string(Q.size()) + " points of " +
             (Name ? std::string(Name) : std::string("the projected system")) +
             " fitted biquadratically";
}

void FromGcps(TRasterCalibration& R, GDALDataset& Ds) {
  const int Count = Ds.GetGCPCount();
  const GDAL_GCP* Gcps = Ds.GetGCPs();
  if (Count < 3) throw EVEKGeoGdalError("fewer than three ground control points");
  const OGRSpatialReference* Srs = Ds.GetGCPSpatialRef();
  TransformPtr T;
  if (Srs && Srs->IsProjected()) {
    OGRSpatialReference Source(*Srs);
    TraditionalAxes(Source);
    std::unique_ptr<OGRSpatialReference> Geo(Source.CloneGeogCS());
    if (!Geo) throw EVEKGeoGdalError("the control points' system has no geographic base");
    TraditionalAxes(*Geo);
    T = MakeTransform(Source, *Geo);
    R.Warnings.push_back("control points transformed from projected to geographic coordinates; "
                         "the fit differs from GDAL's polynomial in the projected system");
  } else if (!Srs) {
    R.Warnings.push_back("control points without a coordinate system, taken as degrees");
  }
  std::vector<TCalQuad> Q;
  int Rounded = 0;
  for (int k = 0; k < Count; ++k) {
    double Lon = Gcps[k].dfGCPX, Lat = Gcps[k].dfGCPY;
    if (T && !T->Transform(1, &Lon, &Lat))
      throw EVEKGeoGdalError("PROJ cannot transform control point " + std::to_string(k + 1));
    int X = 0, Y = 0;
    if (!RoundToPixel(Gcps[k].dfGCPPixel, X) || !RoundToPixel(Gcps[k].dfGCPLine, Y) ||
        !std::isfinite(Lat) || !std::isfinite(Lon) || std::fabs(Lat) > 90 || std::fabs(Lon) > 540)
      throw EVEKGeoGdalError("control point " + std::to_string(k + 1) + " is not a valid position");
    if (X != Gcps[k].dfGCPPixel || Y != Gcps[k].dfGCPLine) ++Rounded;
    Q.push_back({Lat, Lon, X, Y});
  }
  if (Rounded > 0)
    R.Warnings.push_back(std::to_string(Rounded) +
                         " control points rounded to whole pixels, as the calibration stores them");
  Fit(R, Count < 6 ? cmEquiRect : cmBiquadraticPn, Q);
  R.Method = std::to_string(Count) + " ground control points";
}

// The image to display: for an OziExplorer .map the scan its third line names (as written,
// relative to the .map, or by its bare name beside the .map, where GDAL looks too); else the
// raster itself.
std::string ImageOf(GDALDataset& Ds, const std::string& FileName) {
  namespace fs = std::filesystem;
  if (!Ds.GetDriver() || std::string(Ds.GetDriver()->GetDescription()) != "MAP") return FileName;
  std::ifstream In(FileName, std::ios::binary);
  std::string Line;
  for (int i = 0; i < 3 && std::getline(In, Line); ++i) {
  }
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ')) Line.pop_back();
  if (Line.empty()) return FileName;
  const fs::path Dir = fs::path(FileName).parent_path();
  std::string Bare = Line.substr(Line.find_last_of("/\\") == std::string::npos
                                     ? 0
                                     : Line.find_last_of("/\\") + 1);
  std::error_code Ec;
  for (const fs::path& P : {fs::path(Line), Dir / Line, Dir / Bare})
    if (fs::is_regular_file(P, Ec)) return P.string();
  return FileName;
}

}  // namespace

void WriteDisplayJpeg(const std::string& Raster, const std::string& OutFile) {
  DatasetPtr Ds = OpenDataset(Raster, GDAL_OF_RASTER);
  if (Ds->GetRasterCount() < 1) throw EVEKGeoGdalError("\"" + Raster + "\" holds no image band");
  GDALRasterBand* First = Ds->GetRasterBand(1);
  std::vector<std::string> Args = {"-of", "JPEG", "-co", "QUALITY=90"};
  if (First->GetColorTable()) {
    Args.insert(Args.end(), {"-expand", "rgb"});
  } else {
    for (int b = 1; b <= (Ds->GetRasterCount() >= 3 ? 3 : 1); ++b)
      Args.insert(Args.end(), {"-b", std::to_string(b)});
    if (First->GetRasterDataType() != GDT_Byte) Args.insert(Args.end(), {"-ot", "Byte", "-scale"});
  }
  std::vector<char*> Argv;
  for (std::string& A : Args) Argv.push_back(A.data());
  Argv.push_back(nullptr);
  GDALTranslateOptions* O = GDALTranslateOptionsNew(Argv.data(), nullptr);
  CPLErrorReset();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDatasetH Out = GDALTranslate(OutFile.c_str(), GDALDataset::ToHandle(Ds.get()), O, nullptr);
  CPLPopErrorHandler();
  GDALTranslateOptionsFree(O);
  if (!Out) throw EVEKGeoGdalError("cannot write \"" + OutFile + "\": " + LastGdalError("GDAL failed"));
  GDALClose(Out);
  // GDAL's georeference sidecar (.aux.xml) is of no use beside a display copy.
  std::error_code Ec;
  std::filesystem::remove(OutFile + ".aux.xml", Ec);
}

bool MatchEllipsoid(double SemiMajor, double SemiMinor, TGeoEllipsoid& Ellipsoid) {
  double Best = 1e-3;
  bool Found = false;
  for (int e = 0; e < NumGeoEllipsoids; ++e) {
    const TGeoEllipsoidAxes& A = GeoEllipsoidData[e];
    const double Dev = std::max(std::fabs(A.a - SemiMajor), std::fabs(A.b - SemiMinor));
    if (Dev < Best) {
      Best = Dev;
      Ellipsoid = TGeoEllipsoid(e);
      Found = true;
    }
  }
  return Found;
}

TRasterCalibration CalibrationFromRaster(const std::string& FileName) {
  DatasetPtr Ds = OpenDataset(FileName, GDAL_OF_RASTER);
  const int W = Ds->GetRasterXSize(), H = Ds->GetRasterYSize();
  if (W < 1 || H < 1) throw EVEKGeoGdalError("\"" + FileName + "\" holds no image");
  TRasterCalibration R;
  R.ImageFile = ImageOf(*Ds, FileName);
  R.Calibration.SetImageSize(W, H);

  double G[6] = {0, 1, 0, 0, 0, 1};
  const bool HasTransform = Ds->GetGeoTransform(G) == CE_None &&
                            !(G[0] == 0 && G[1] == 1 && G[2] == 0 && G[3] == 0 && G[4] == 0 &&
                              G[5] == 1);
  if (HasTransform) {
    for (double v : G)
      if (!std::isfinite(v)) throw EVEKGeoGdalError("the geotransform is not finite");
    if (G[1] * G[5] - G[2] * G[4] == 0) throw EVEKGeoGdalError("the geotransform is singular");
    const OGRSpatialReference* Srs = Ds->GetSpatialRef();
    if (!Srs || Srs->IsEmpty()) {
      R.Warnings.push_back("no coordinate system: the geotransform is taken as degrees");
      FromGeographic(R, G, W, H);
    } else if (Srs->IsGeographic()) {
      if (std::fabs(Srs->GetAngularUnits() - M_PI / 180) > 1e-12)
        throw EVEKGeoGdalError("geographic coordinates not in degrees");
      FromGeographic(R, G, W, H);
    } else if (Srs->IsProjected()) {
      OGRSpatialReference Source(*Srs);
      TraditionalAxes(Source);
      int North = 0;
      const int Zone = Source.GetUTMZone(&North);
      TGeoEllipsoid Ell = gelWGS84;
      OGRErr E1 = OGRERR_NONE, E2 = OGRERR_NONE;
      const double A = Source.GetSemiMajor(&E1), B = Source.GetSemiMinor(&E2);
      if (Zone >= 1 && Zone <= 60 && Source.GetLinearUnits() == 1.0 && E1 == OGRERR_NONE &&
          E2 == OGRERR_NONE && MatchEllipsoid(A, B, Ell))
        FromUTM(R, G, W, H, Zone, North != 0, Ell);
      else
        FromProjected(R, G, W, H, Source);
    } else {
      throw EVEKGeoGdalError("a coordinate system that is neither geographic nor projected");
    }
  } else if (Ds->GetGCPCount() > 0) {
    FromGcps(R, *Ds);
  } else {
    throw EVEKGeoGdalError("\"" + FileName + "\" has no georeference (no geotransform, no "
                           "ground control points)");
  }
  // The ellipsoid of the datum the positions are on, where our table has it (UTM set it).
  const OGRSpatialReference* Srs = HasTransform ? Ds->GetSpatialRef() : Ds->GetGCPSpatialRef();
  TCalibData& D = R.Calibration.Data();
  if (R.Calibration.Model() != cmUTM && Srs && !Srs->IsEmpty()) {
    OGRErr E1 = OGRERR_NONE, E2 = OGRERR_NONE;
    const double A = Srs->GetSemiMajor(&E1), B = Srs->GetSemiMinor(&E2);
    TGeoEllipsoid Ell = gelWGS84;
    if (E1 == OGRERR_NONE && E2 == OGRERR_NONE && MatchEllipsoid(A, B, Ell)) D.Ellipsoid = Ell;
  }
  R.Calibration.CalcExtentsAndResolution();
  D.MapFName = R.ImageFile;
  return R;
}

}  // namespace vek
