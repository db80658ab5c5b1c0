#include "VectorImport.h"

#include <ogrsf_frmts.h>

#include <cmath>

#include "GdalInternal.h"

namespace vek {

using namespace gdalbridge;

namespace {

size_t Utf8Length(const std::string& S) {
  size_t N = 0;
  for (unsigned char C : S) N += (C & 0xC0) != 0x80;
  return N;
}

bool IsGpxPointList(const std::string& Layer) {
  return Layer == "route_points" || Layer == "track_points";
}

class Importer {
 public:
  Importer(TGeoDB& DB, const TVectorImportOptions& O, TVectorImportCounts& C)
      : FDB(DB), FO(O), FC(C) {
    FWgs84.SetWellKnownGeogCS("WGS84");
    TraditionalAxes(FWgs84);
  }

  void Layer(OGRLayer& L, bool Gpx) {
    const std::string Name = L.GetName();
    FLineKind = Gpx && (Name == "routes" || Name == "tracks") ? gitRoute : FO.LineKind;
    FNameField = NameFieldOf(L);
    // GPX and others keep a point's height in a field rather than in the geometry.
    FEleField = L.GetLayerDefn()->GetFieldIndex("ele");
    FTransform.reset();
    const OGRSpatialReference* Srs = L.GetSpatialRef();
    if (!Srs) {
      FC.Warnings.push_back("layer \"" + Name + "\" has no coordinate system; taken as WGS 84");
    } else {
      OGRSpatialReference Source(*Srs);
      TraditionalAxes(Source);
      if (!Source.IsSame(&FWgs84)) FTransform = MakeTransform(Source, FWgs84);
    }
    L.ResetReading();
    for (OGRFeature* F; (F = L.GetNextFeature()) != nullptr;) {
      std::unique_ptr<OGRFeature> Owned(F);
      Feature(*F);
    }
  }

  void SetTotal(int64_t Total) { FTotal = Total; }

 private:
  int NameFieldOf(OGRLayer& L) const {
    OGRFeatureDefn* D = L.GetLayerDefn();
    if (!FO.NameField.empty()) {
      const int I = D->GetFieldIndex(FO.NameField.c_str());
      if (I < 0)
        throw EVEKGeoGdalError("layer \"" + std::string(L.GetName()) + "\" has no field \"" +
                               FO.NameField + "\"");
      return I;
    }
    for (int I = 0; I < D->GetFieldCount(); ++I)
      if (EQUAL(D->GetFieldDefn(I)->GetNameRef(), "name")) return I;
    return -1;
  }

  void Feature(OGRFeature& F) {
    ++FC.Features;
    if (FO.OnProgress && (FC.Features % 1000 == 0)) FO.OnProgress(FC.Features, FTotal);
    std::string Name;
    if (FNameField >= 0 && F.IsFieldSetAndNotNull(FNameField))
      Name = F.GetFieldAsString(FNameField);
    if (Utf8Length(Name) > 59) ++FC.NamesCut;
    FName = TgdbName(Name);
    FFeature = &F;
    OGRGeometry* G = F.GetGeometryRef();
    if (!G || G->IsEmpty()) {
      ++FC.EmptyGeometries;
      return;
    }
    Geometry(*G);
  }

  void Geometry(const OGRGeometry& G) {
    switch (wkbFlatten(G.getGeometryType())) {
      case wkbPoint: {
        const OGRPoint& P = *G.toPoint();
        if (P.IsEmpty()) {
          ++FC.EmptyGeometries;
          return;
        }
        double Lon = P.getX(), Lat = P.getY();
        if (!Place(&Lon, &Lat, 1)) return;
        double Z = P.Is3D() ? P.getZ() : 0;
        if (!P.Is3D() && FEleField >= 0 && FFeature->IsFieldSetAndNotNull(FEleField))
          Z = FFeature->GetFieldAsDouble(FEleField);
        const float Alt = std::isfinite(Z) && std::fabs(Z) < 1e7 ? float(Z) : 0.0f;
        Count(gitTown, FDB.AddTown(FName, FO.Date, 0, TSCoords{float(Lat), float(Lon)}, Alt,
                                   FO.ClassNumber, 0));
        return;
      }
      case wkbLineString:
        Line(*G.toLineString(), FLineKind, false, 2);
        return;
      case wkbPolygon:
        for (const OGRLinearRing* R : *G.toPolygon()) Line(*R, FO.PolygonKind, true, 3);
        return;
      case wkbMultiPoint:
      case wkbMultiLineString:
      case wkbMultiPolygon:
      case wkbGeometryCollection:
        for (const OGRGeometry* Part : *G.toGeometryCollection()) {
          if (Part->IsEmpty())
            ++FC.EmptyGeometries;
          else
            Geometry(*Part);
        }
        return;
      default:
        if (G.hasCurveGeometry()) {
          std::unique_ptr<OGRGeometry> Linear(G.getLinearGeometry());
          if (Linear) {
            Geometry(*Linear);
            return;
          }
        }
        ++FC.Unsupported;
    }
  }

  // A line or a ring; a ring's closing point is dropped, the item's Closed flag says it.
  void Line(const OGRSimpleCurve& L, TgdbItem Kind, bool Ring, int MinPoints) {
    int N = L.getNumPoints();
    if (N == 0) {
      ++FC.EmptyGeometries;
      return;
    }
    FX.resize(size_t(N));
    FY.resize(size_t(N));
    L.getPoints(FX.data(), sizeof(double), FY.data(), sizeof(double));
    if (Ring && N > 1 && FX[0] == FX[N - 1] && FY[0] == FY[N - 1]) --N;
    if (N < MinPoints) {
      ++FC.InvalidGeometries;
      return;
    }
    if (!Place(FX.data(), FY.data(), N)) return;
    FPoly.resize(size_t(N));
    for (int i = 0; i < N; ++i) FPoly[i] = TSCoords{float(FY[i]), float(FX[i])};
    int32_t E = -1;
    switch (Kind) {
      case gitLake: E = FDB.AddLake(FName, FPoly, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
      case gitCity: E = FDB.AddCity(FName, FPoly, Ring, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
      case gitRiver: E = FDB.AddRiver(FName, FPoly, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
      case gitRoute: E = FDB.AddRoute(FName, FPoly, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
      case gitBorder: E = FDB.AddBorder(FName, FPoly, Ring, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
      default: E = FDB.AddRoad(FName, FPoly, FO.Date, 0, 0, 0, 0, 0, 0, FO.ClassNumber, 0); break;
    }
    Count(Kind, E);
  }

  // To WGS 84 in place; false (and counted) when a point is not finite or off the earth.
  bool Place(double* X, double* Y, int N) {
    for (int i = 0; i < N; ++i)
      if (!std::isfinite(X[i]) || !std::isfinite(Y[i])) {
        ++FC.InvalidGeometries;
        return false;
      }
    if (FTransform) {
      FOk.assign(size_t(N), TRUE);
      if (!FTransform->Transform(N, X, Y, nullptr, FOk.data())) {
        ++FC.OffEarth;
        return false;
      }
    }
    for (int i = 0; i < N; ++i)
      if (!(std::fabs(Y[i]) <= 90 && std::fabs(X[i]) <= 180)) {
        ++FC.OffEarth;
        return false;
      }
    return true;
  }

  void Count(TgdbItem Kind, int32_t Entry) {
    if (Entry < 1) throw EVEKGeoGdalError("the database is not open");
    ++FC.Items;
    ++FC.ByKind[Kind];
  }

  TGeoDB& FDB;
  const TVectorImportOptions& FO;
  TVectorImportCounts& FC;
  OGRSpatialReference FWgs84;
  TransformPtr FTransform;
  TgdbItem FLineKind = gitRoad;
  int FNameField = -1;
  int FEleField = -1;
  const OGRFeature* FFeature = nullptr;
  TgdbName FName;
  int64_t FTotal = 0;
  std::vector<double> FX, FY;
  std::vector<int> FOk;
  TgdbPolygon FPoly;
};

}  // namespace

TVectorImportCounts ImportVectorFile(TGeoDB& DB, const std::string& FileName,
                                     const TVectorImportOptions& Options) {
  if (DB.DBName().empty()) throw EVEKGeoGdalError("no database is open");
  DatasetPtr Ds = OpenDataset(FileName, GDAL_OF_VECTOR);
  const bool Gpx = Ds->GetDriver() && EQUAL(Ds->GetDriver()->GetDescription(), "GPX");
  std::vector<OGRLayer*> Layers;
  if (Options.Layers.empty()) {
    for (OGRLayer* L : Ds->GetLayers())
      if (!(Gpx && IsGpxPointList(L->GetName()))) Layers.push_back(L);
  } else {
    for (const std::string& Name : Options.Layers) {
      OGRLayer* L = Ds->GetLayerByName(Name.c_str());
      if (!L) throw EVEKGeoGdalError("\"" + FileName + "\" has no layer \"" + Name + "\"");
      Layers.push_back(L);
    }
  }
  TVectorImportCounts C;
  Importer I(DB, Options, C);
  int64_t Total = 0;
  for (OGRLayer* L : Layers) {
    const GIntBig N = L->TestCapability(OLCFastFeatureCount) ? L->GetFeatureCount(FALSE) : -1;
    if (N < 0) {
      Total = 0;
      break;
    }
    Total += N;
  }
  I.SetTotal(Total);
  const bool WasLazy = DB.LazyWrite();
  DB.SetLazyWrite(true);
  try {
    for (OGRLayer* L : Layers) I.Layer(*L, Gpx);
  } catch (...) {
    DB.SetLazyWrite(WasLazy);
    throw;
  }
  DB.SetLazyWrite(WasLazy);
  if (Options.OnProgress) Options.OnProgress(C.Features, Total > 0 ? Total : C.Features);
  return C;
}

std::vector<std::pair<int64_t, std::string>> ImportFaults(const TVectorImportCounts& C) {
  const std::pair<int64_t, const char*> all[] = {
      {C.NamesCut, "names cut to 59 characters"},
      {C.EmptyGeometries, "empty geometries skipped"},
      {C.InvalidGeometries, "invalid geometries skipped"},
      {C.OffEarth, "geometries off the earth skipped"},
      {C.Unsupported, "geometries of unsupported types skipped"}};
  std::vector<std::pair<int64_t, std::string>> out;
  for (const auto& [n, what] : all)
    if (n > 0) out.emplace_back(n, what);
  return out;
}

}  // namespace vek
