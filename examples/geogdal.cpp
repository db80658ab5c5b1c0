// The GIS world in and out through GDAL (VekGeo::gdal): a GeoTIFF calibrated, the calibration
// written for QGIS (VRT) and OziExplorer (.map), and a GeoJSON file imported into a database.
#include <vekgeo/Vek_geodb.h>
#include <vekgeo/Vek_geogdal.h>

#include <gdal_priv.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

int main() {
  using namespace vek;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vekgeo_geogdal";
  std::filesystem::create_directories(dir);
  const std::string tif = (dir / "alps.tif").string();
  {  // A 400 x 200 GeoTIFF in UTM zone 32 north, as a desktop GIS writes one.
    GdalInit();
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        tif.c_str(), 400, 200, 1, GDT_Byte, nullptr);
    double gt[6] = {600000, 50, 0, 5300000, 0, -50};
    ds->SetGeoTransform(gt);
    OGRSpatialReference utm;
    utm.importFromEPSG(32632);
    ds->SetSpatialRef(&utm);
    GDALClose(ds);
  }
  const TRasterCalibration r = CalibrationFromRaster(tif);
  bool valid = false;
  const double lat = r.Calibration.CalcLatitude(200, 100, valid);
  WriteCalibrationVrt(r.Calibration, tif, (dir / "alps.vrt").string());
  WriteOziMap(r.Calibration, tif, (dir / "alps.map").string());

  std::ofstream(dir / "towns.geojson") << R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "properties": {"name": "Innsbruck"},
     "geometry": {"type": "Point", "coordinates": [11.39, 47.27]}}]})";
  TGeoDB db;
  db.SetDBName((dir / "towns.vekgdd").string());
  const TVectorImportCounts c = ImportVectorFile(db, (dir / "towns.geojson").string());
  std::printf("%s: pixel (200, 100) is %.5f N; imported %lld towns\n", r.Method.c_str(), lat,
              static_cast<long long>(c.ByKind[gitTown]));
  db.SetDBName("");
  std::filesystem::remove_all(dir);
  return valid && r.Calibration.Model() == cmUTM && std::fabs(lat - 47.799) < 0.001 &&
                 c.ByKind[gitTown] == 1
             ? 0
             : 1;
}
