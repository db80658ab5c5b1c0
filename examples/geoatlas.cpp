// An atlas of generated maps: three sheets of one region at three scales, registered in a
// TGeoAtlas and switched by zooming in at a position.
#include <vekgeo/Vek_geoatlas.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  using namespace vek;
  QApplication app(argc, argv);
  QTemporaryDir dir;

  // Generated maps need no scanned image. Saving the calibration again records the
  // resolution the atlas chooses by.
  struct Sheet {
    const char* name;
    double latLow, longLow, latHigh, longHigh;
  };
  const Sheet sheets[] = {{"Europe", 40, 5, 50, 20}, {"Alps", 44, 9, 47, 14}, {"Dolomites", 45, 11, 46, 12.5}};
  TGeoMap maker;
  TGeoAtlas atlas;
  for (const Sheet& s : sheets) {
    const std::string base = dir.filePath(s.name).toStdString();
    maker.CreateAndLoadEmptyMap(base + ".dat", s.latLow, s.longLow, s.latHigh, s.longHigh, 1, 1,
                                600, 400, nullptr);
    maker.SetMapCaption(s.name);
    maker.SaveCalDataAsXML(base + ".xml", "");
    atlas.RegisterMap(base + ".xml");
  }

  atlas.SelectMap(1);
  // What a left click at 45.6 N 11.6 E does in zoom mode: the next finer sheet, centred there.
  const bool finer = atlas.ZoomIn(45.6, 11.6, atlas.CurrentMap()->CalibData().Resolution);
  const TMapDefinition shown = atlas.Maps(atlas.MapSelector()->currentIndex() + 1);
  std::printf("%d maps; zoomed in to \"%s\" at %.0f m per pixel\n", atlas.NumRegMaps(),
              shown.Caption.c_str(), shown.Resolution);
  return finer && shown.Caption == "Alps" ? 0 : 1;
}
