#include "CalibrationExport.h"

#include <gdal_alg.h>
#include <cpl_string.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "GdalInternal.h"

namespace vek {

using namespace gdalbridge;

namespace {

// One exported point: pixel and longitude/latitude (easting/northing under cmUTM).
struct TGeoPoint {
  int X = 0, Y = 0;
  double GX = 0, GY = 0;
};

// Longitude/latitude of a pixel under the calibration (easting/northing under cmUTM, straight
// from the fitted parameters so that no datum round trip enters).
bool Convert(const TMapCalibration& Cal, double X, double Y, double& GX, double& GY) {
  if (Cal.Model() == cmUTM) {
    const auto& P = Cal.Params().EquRectPLSP;
    GY = P[1][1] + P[1][2] * X + P[1][3] * Y;
    GX = P[2][1] + P[2][2] * X + P[2][3] * Y;
    return std::isfinite(GX) && std::isfinite(GY);
  }
  bool V1 = false, V2 = false;
  GY = Cal.CalcLatitude(int(X), int(Y), V1);
  GX = Cal.CalcLongitude(int(X), int(Y), V2);
  return V1 && V2 && std::isfinite(GX) && std::isfinite(GY);
}

std::vector<TGeoPoint> Grid(const TMapCalibration& Cal, int Side, int W, int H) {
  std::vector<TGeoPoint> Pts;
  for (int j = 0; j < Side; ++j)
    for (int i = 0; i < Side; ++i) {
      TGeoPoint P;
      P.X = int(std::lround(double(W) * i / (Side - 1)));
      P.Y = int(std::lround(double(H) * j / (Side - 1)));
      if (!Convert(Cal, P.X, P.Y, P.GX, P.GY))
        throw EVEKGeoGdalError("the calibration cannot convert the whole image");
      Pts.push_back(P);
    }
  return Pts;
}

std::vector<TGeoPoint> ExportPoints(const TMapCalibration& Cal, int W, int H, bool& Sampled) {
  const TCalibData& D = Cal.Data();
  const int N = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  const TCalibModel M = Cal.Model();
  // GDAL picks the polynomial order from the number of points: 1 below 6, 2 below 10.
  const bool OwnPoints = ((M == cmEquiRect || M == cmUTM) && N >= 3 && N <= 5) ||
                         (M == cmBiquadraticPn && N >= 6 && N <= 9);
  Sampled = !OwnPoints;
  if (OwnPoints) {
    std::vector<TGeoPoint> Pts;
    for (int k = 1; k <= N; ++k) {
      const TCalQuad& Q = D.CalQuads[k];
      Pts.push_back({Q.MapX, Q.MapY, Q.Longitude, Q.Latitude});
    }
    return Pts;
  }
  if (M == cmUndefined) throw EVEKGeoGdalError("the calibration has no model");
  if (M == cmEquiRect || M == cmUTM) return Grid(Cal, 2, W, H);
  if (M == cmBiquadraticPn) return Grid(Cal, 3, W, H);
  return Grid(Cal, 5, W, H);
}

std::vector<GDAL_GCP> ToGcps(const std::vector<TGeoPoint>& Pts, std::vector<std::string>& Ids) {
  std::vector<GDAL_GCP> G(Pts.size());
  Ids.resize(Pts.size());
  for (size_t k = 0; k < Pts.size(); ++k) {
    Ids[k] = std::to_string(k + 1);
    G[k].pszId = Ids[k].data();
    G[k].pszInfo = const_cast<char*>("");
    G[k].dfGCPPixel = Pts[k].X;
    G[k].dfGCPLine = Pts[k].Y;
    G[k].dfGCPX = Pts[k].GX;
    G[k].dfGCPY = Pts[k].GY;
    G[k].dfGCPZ = 0;
  }
  return G;
}

// Largest distance in pixels between the calibration and GDAL's own polynomial through the
// points, over a 17 x 17 grid of the image.
double MaxDeviation(const TMapCalibration& Cal, const std::vector<TGeoPoint>& Pts, int W, int H) {
  std::vector<std::string> Ids;
  std::vector<GDAL_GCP> G = ToGcps(Pts, Ids);
  void* T = GDALCreateGCPTransformer(int(G.size()), G.data(), 0, FALSE);
  if (!T) throw EVEKGeoGdalError("GDAL cannot fit a polynomial through the points");
  double Worst = 0;
  for (int j = 0; j <= 16; ++j)
    for (int i = 0; i <= 16; ++i) {
      const int X = int(std::lround(double(W) * i / 16)), Y = int(std::lround(double(H) * j / 16));
      double GX = X, GY = Y, Z = 0;
      int Ok = 0;
      GDALGCPTransform(T, FALSE, 1, &GX, &GY, &Z, &Ok);
      double MX = 0, MY = 0, NX = 0, NY = 0;
      const int X1 = X < W ? X + 1 : X - 1;
      if (!Ok || !Convert(Cal, X, Y, MX, MY) || !Convert(Cal, X1, Y, NX, NY)) continue;
      const double Pixel = std::hypot(NX - MX, NY - MY);
      if (Pixel > 0) Worst = std::max(Worst, std::hypot(GX - MX, GY - MY) / Pixel);
    }
  GDALDestroyGCPTransformer(T);
  return Worst;
}

std::string Xml(const std::string& S) {
  char* E = CPLEscapeString(S.c_str(), int(S.size()), CPLES_XML);
  std::string R(E);
  CPLFree(E);
  return R;
}

std::string Num(double V) {
  char B[40];
  std::snprintf(B, sizeof B, "%.15g", V);
  return B;
}

// The image's name as written beside OutFile: relative to its folder when it can be.
std::string ImageRef(const std::string& ImageFile, const std::string& OutFile, bool& Relative) {
  namespace fs = std::filesystem;
  std::error_code Ec;
  const fs::path Dir = fs::absolute(fs::path(OutFile), Ec).parent_path();
  const fs::path Img = fs::absolute(fs::path(ImageFile), Ec);
  const fs::path Rel = Img.lexically_relative(Dir);
  Relative = !Rel.empty() && *Rel.begin() != "..";
  return Relative ? Rel.generic_string() : Img.generic_string();
}

OGRSpatialReference UtmSrs(const TCalibData& D) {
  OGRSpatialReference S;
  if (D.Ellipsoid == gelWGS84) {
    S.importFromEPSG((D.UTMSouth ? 32700 : 32600) + D.UTMZone);
  } else {
    const TGeoEllipsoidAxes& A = EllipsoidAxes(D.Ellipsoid);
    const std::string Name = GeoEllipsoidName[D.Ellipsoid];
    S.SetProjCS(("UTM zone " + std::to_string(D.UTMZone) + (D.UTMSouth ? "S" : "N")).c_str());
    S.SetGeogCS(Name.c_str(), Name.c_str(), Name.c_str(), A.a, A.a / (A.a - A.b));
    S.SetUTM(D.UTMZone, !D.UTMSouth);
  }
  TraditionalAxes(S);
  return S;
}

void CheckImage(const TMapCalibration& Cal) {
  const TCalibData& D = Cal.Data();
  if (Cal.Model() == cmUTM && (D.UTMZone < 1 || D.UTMZone > 60))
    throw EVEKGeoGdalError("the UTM calibration has no valid zone");
}

}  // namespace

TCalibrationExport WriteCalibrationVrt(const TMapCalibration& Cal, const std::string& ImageFile,
                                       const std::string& OutFile) {
  CheckImage(Cal);
  DatasetPtr Img = OpenDataset(ImageFile, GDAL_OF_RASTER);
  const int W = Img->GetRasterXSize(), H = Img->GetRasterYSize();
  TCalibrationExport R;
  const std::vector<TGeoPoint> Pts = ExportPoints(Cal, W, H, R.Sampled);
  R.Points = int(Pts.size());
  R.MaxDeviationPixels = MaxDeviation(Cal, Pts, W, H);

  std::string Projection = "EPSG:4326";
  if (Cal.Model() == cmUTM) {
    char* Wkt = nullptr;
    UtmSrs(Cal.Data()).exportToWkt(&Wkt);
    Projection = Wkt ? Wkt : "";
    CPLFree(Wkt);
  }
  bool Relative = false;
  const std::string Ref = ImageRef(ImageFile, OutFile, Relative);
  std::string Out = "<VRTDataset rasterXSize=\"" + std::to_string(W) + "\" rasterYSize=\"" +
                    std::to_string(H) + "\">\n";
  Out += "  <GCPList Projection=\"" + Xml(Projection) + "\" dataAxisToSRSAxisMapping=\"" +
         (Cal.Model() == cmUTM ? "1,2" : "2,1") + "\">\n";
  for (size_t k = 0; k < Pts.size(); ++k)
    Out += "    <GCP Id=\"" + std::to_string(k + 1) + "\" Pixel=\"" + Num(Pts[k].X) +
           "\" Line=\"" + Num(Pts[k].Y) + "\" X=\"" + Num(Pts[k].GX) + "\" Y=\"" +
           Num(Pts[k].GY) + "\" />\n";
  Out += "  </GCPList>\n";
  for (int b = 1; b <= Img->GetRasterCount(); ++b) {
    GDALRasterBand* Band = Img->GetRasterBand(b);
    int BX = 0, BY = 0;
    Band->GetBlockSize(&BX, &BY);
    const std::string Type = GDALGetDataTypeName(Band->GetRasterDataType());
    Out += "  <VRTRasterBand dataType=\"" + Type + "\" band=\"" + std::to_string(b) + "\">\n";
    Out += "    <ColorInterp>" +
           std::string(GDALGetColorInterpretationName(Band->GetColorInterpretation())) +
           "</ColorInterp>\n";
    Out += "    <SimpleSource>\n      <SourceFilename relativeToVRT=\"" +
           std::string(Relative ? "1" : "0") + "\">" + Xml(Ref) + "</SourceFilename>\n";
    Out += "      <SourceBand>" + std::to_string(b) + "</SourceBand>\n";
    Out += "      <SourceProperties RasterXSize=\"" + std::to_string(W) + "\" RasterYSize=\"" +
           std::to_string(H) + "\" DataType=\"" + Type + "\" BlockXSize=\"" +
           std::to_string(BX) + "\" BlockYSize=\"" + std::to_string(BY) + "\" />\n";
    Out += "    </SimpleSource>\n  </VRTRasterBand>\n";
  }
  Out += "</VRTDataset>\n";
  std::ofstream F(OutFile, std::ios::binary | std::ios::trunc);
  F << Out;
  F.close();
  if (!F) throw EVEKGeoGdalError("cannot write \"" + OutFile + "\"");
  return R;
}

namespace {

// OziExplorer's datum names for the ellipsoids of the usual datums.
const char* OziDatum(TGeoEllipsoid E) {
  switch (E) {
    case gelWGS84: return "WGS 84";
    case gelGRS80: return "NAD83";
    case gelInt24: return "European 1950";
    case gelClrk66: return "NAD27 CONUS";
    case gelKrass40: return "Pulkovo 1942 (1)";
    case gelBess41: return "Potsdam Rauenberg DHDN";
    case gelAiry30: return "Ord Srvy Grt Britn";
    case gelWGS72: return "WGS 72";
    default: return nullptr;
  }
}

// Degrees and decimal minutes, the hemisphere letter apart: "50,30.00000000,N".
std::string DegMin(double V, char Pos, char Neg) {
  const double A = std::fabs(V);
  double D = std::floor(A);
  double M = (A - D) * 60;
  if (M >= 59.9999999995) {
    D += 1;
    M = 0;
  }
  char B[64];
  std::snprintf(B, sizeof B, "%4d,%13.10f,%c", int(D), M, V < 0 ? Neg : Pos);
  return B;
}

}  // namespace

TCalibrationExport WriteOziMap(const TMapCalibration& Cal, const std::string& ImageFile,
                               const std::string& OutFile) {
  CheckImage(Cal);
  DatasetPtr Img = OpenDataset(ImageFile, GDAL_OF_RASTER);
  const int W = Img->GetRasterXSize(), H = Img->GetRasterYSize();
  const TCalibData& Data = Cal.Data();
  const bool Utm = Cal.Model() == cmUTM;
  const char* Datum = OziDatum(Data.Ellipsoid);
  if (!Datum) {
    if (Utm) throw EVEKGeoGdalError("OziExplorer names no datum on the calibration's ellipsoid");
    Datum = "WGS 84";
  }
  TCalibrationExport R;
  std::vector<TGeoPoint> Pts = ExportPoints(Cal, W, H, R.Sampled);
  R.Points = int(Pts.size());
  R.MaxDeviationPixels = MaxDeviation(Cal, Pts, W, H);
  if (Pts.size() > 30) throw EVEKGeoGdalError("an OziExplorer map holds at most 30 points");

  // Point records carry latitude and longitude; under cmUTM also the grid position.
  std::vector<TGeoPoint> LL = Pts;
  if (Utm) {
    OGRSpatialReference S = UtmSrs(Data);
    std::unique_ptr<OGRSpatialReference> Geo(S.CloneGeogCS());
    TraditionalAxes(*Geo);
    TransformPtr T = MakeTransform(S, *Geo);
    for (TGeoPoint& P : LL)
      if (!T->Transform(1, &P.GX, &P.GY)) throw EVEKGeoGdalError("PROJ cannot convert a point");
  }
  bool Relative = false;
  const std::string Ref = ImageRef(ImageFile, OutFile, Relative);
  std::string O;
  auto Line = [&](const std::string& S) { O += S + "\r\n"; };
  Line("OziExplorer Map Data File Version 2.2");
  Line(Data.Caption.empty() ? std::filesystem::path(ImageFile).stem().string() : Data.Caption);
  Line(Ref);
  Line("1 ,Map Code,");
  Line(std::string(Datum) + ",WGS 84,   0.0000,   0.0000,WGS 84");
  Line("Reserved 1");
  Line("Reserved 2");
  Line("Magnetic Variation,,,E");
  Line(Utm ? "Map Projection,(UTM) Universal Transverse Mercator,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No"
           : "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No");
  char B[256];
  for (int k = 0; k < 30; ++k) {
    if (k < int(LL.size())) {
      std::string Grid = " grid,   ,           ,           ,N";
      if (Utm) {
        std::snprintf(B, sizeof B, " grid,%3d,%12.3f,%12.3f,%c", Data.UTMZone, Pts[k].GX,
                      Pts[k].GY, Data.UTMSouth ? 'S' : 'N');
        Grid = B;
      }
      std::snprintf(B, sizeof B, "Point%02d,xy,%5d,%5d,in, deg,", k + 1, LL[k].X, LL[k].Y);
      Line(std::string(B) + DegMin(LL[k].GY, 'N', 'S') + "," + DegMin(LL[k].GX, 'E', 'W') + "," +
           Grid);
    } else {
      std::snprintf(B, sizeof B,
                    "Point%02d,xy,     ,     ,in, deg,    ,        ,N,    ,        ,W, grid,   ,"
                    "           ,           ,N",
                    k + 1);
      Line(B);
    }
  }
  Line("Projection Setup,,,,,,,,,,");
  Line("Map Feature = MF ; Map Comment = MC     These follow if they exist");
  Line("Track File = TF      These follow if they exist");
  Line("Moving Map Parameters = MM?    These follow if they exist");
  Line("MM0,Yes");
  Line("MMPNUM,4");
  const TPoint Corners[4] = {{0, 0}, {W, 0}, {W, H}, {0, H}};
  for (int c = 0; c < 4; ++c) {
    std::snprintf(B, sizeof B, "MMPXY,%d,%d,%d", c + 1, Corners[c].X, Corners[c].Y);
    Line(B);
  }
  for (int c = 0; c < 4; ++c) {
    double Lon = 0, Lat = 0;
    if (!Convert(Cal, Corners[c].X, Corners[c].Y, Lon, Lat))
      throw EVEKGeoGdalError("the calibration cannot convert the image corners");
    if (Utm) {
      OGRSpatialReference S = UtmSrs(Data);
      std::unique_ptr<OGRSpatialReference> Geo(S.CloneGeogCS());
      TraditionalAxes(*Geo);
      MakeTransform(S, *Geo)->Transform(1, &Lon, &Lat);
    }
    std::snprintf(B, sizeof B, "MMPLL,%d,%12.8f,%12.8f", c + 1, Lon, Lat);
    Line(B);
  }
  std::snprintf(B, sizeof B, "MM1B,%.6f", Data.Resolution);
  Line(B);
  Line("MOP,Map Open Position,0,0");
  std::snprintf(B, sizeof B, "IWH,Map Image Width/Height,%d,%d", W, H);
  Line(B);
  std::ofstream F(OutFile, std::ios::binary | std::ios::trunc);
  F << O;
  F.close();
  if (!F) throw EVEKGeoGdalError("cannot write \"" + OutFile + "\"");
  return R;
}

}  // namespace vek
