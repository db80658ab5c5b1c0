// The atlas as created, its registry of maps, selecting and removing maps, the choice of map
// when zooming and where map images are looked for.
#include <QPointer>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "AtlasTestSupport.h"

namespace vek {
namespace {

using testing::AtlasTest;
using testing::WriteMapCal;

TEST_F(AtlasTest, CreatedWithBarButtonsListAndMap) {
  EXPECT_EQ(atlas.geometry(), QRect(100, 50, 480, 320));
  EXPECT_EQ(atlas.CmdPanel()->geometry(), QRect(0, 0, 480, 33));
  EXPECT_EQ(atlas.PointerButton()->geometry(), QRect(3, 3, 26, 26));
  EXPECT_EQ(atlas.ZoomButton()->geometry(), QRect(32, 3, 26, 26));
  EXPECT_EQ(atlas.MapSelector()->geometry().topLeft(), QPoint(68, 5));
  EXPECT_EQ(atlas.MapSelector()->width(), 300);
  EXPECT_EQ(atlas.PointerButton()->parentWidget(), atlas.CmdPanel());
  EXPECT_EQ(map.parentWidget(), &atlas);
  EXPECT_EQ(map.geometry(), QRect(0, 33, 480, 287));
  EXPECT_EQ(map.EmptyMsg(), "TGeoAtlas: Empty");

  // Pointer mode: one of the two grouped buttons is down, the map pans.
  EXPECT_TRUE(atlas.PointerButton()->Down());
  EXPECT_FALSE(atlas.ZoomButton()->Down());
  EXPECT_EQ(atlas.PointerButton()->GroupIndex(), atlas.ZoomButton()->GroupIndex());
  EXPECT_TRUE(map.AllowPan());
  EXPECT_EQ(atlas.MapOutlineColor(), 0xFF0000u);
  EXPECT_TRUE(atlas.MapOutlineVisible());
  EXPECT_EQ(atlas.MinResDiff(), 10.0);
  EXPECT_EQ(atlas.NumRegMaps(), 0);
  EXPECT_FALSE(atlas.OnZoomButClick || atlas.OnPointerButClick || atlas.OnCBoxMapsChange);

  // Glyphs of 20 x 20 for the normal and the disabled button, and the two cursors.
  const QIcon icon = atlas.ZoomButton()->icon();
  const QImage normal = icon.pixmap(20, 20, QIcon::Normal).toImage();
  const QImage disabled = icon.pixmap(20, 20, QIcon::Disabled).toImage();
  EXPECT_EQ(normal.size(), QSize(20, 20));
  EXPECT_NE(normal, disabled);
  EXPECT_FALSE(atlas.PointerButton()->icon().isNull());
  const QCursor zoom = ScreenCursor(TGeoAtlas::crGeoZoom), hand = ScreenCursor(TGeoAtlas::crGeoHand);
  EXPECT_EQ(zoom.pixmap().size(), QSize(32, 32));
  EXPECT_EQ(zoom.hotSpot(), QPoint(6, 6));
  EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
  EXPECT_EQ(hand.hotSpot(), QPoint(0, 0));

  // The published properties through Qt's property system.
  EXPECT_TRUE(atlas.setProperty("MinResDiff", 25.0));
  EXPECT_EQ(atlas.MinResDiff(), 25.0);
  EXPECT_TRUE(atlas.setProperty("MapOutlineColor", QColor(0xFF, 0x80, 0x00)));
  EXPECT_EQ(atlas.MapOutlineColor(), 0x0080FFu);
  EXPECT_EQ(atlas.property("MapOutlineVisible").toBool(), true);

  // Without the bar the map takes the whole atlas.
  EXPECT_TRUE(atlas.setProperty("CmdPanelVisible", false));
  EXPECT_FALSE(atlas.CmdPanelVisible());
  EXPECT_EQ(map.geometry(), QRect(0, 0, 480, 320));
  atlas.resize(600, 400);
  EXPECT_EQ(map.geometry(), QRect(0, 0, 600, 400));
  atlas.SetCmdPanelVisible(true);
  EXPECT_EQ(map.geometry(), QRect(0, 33, 600, 367));
}

TEST_F(AtlasTest, RegistrationIgnoresLetterCaseButOpensTheNameAsGiven) {
  // Directories and files with capitals must still open on a case-sensitive file system.
  std::filesystem::create_directories(Path("Maps"));
  const std::string alps = Path("Maps/Alps.XML");
  WriteMapCal(alps, "Alps", 45, 5, 48, 11, 500);
  WriteMapCal(Path("Maps/plain.xml"), "", 40, 5, 45, 11, 900);
  ASSERT_TRUE(atlas.RegisterMap(alps));
  EXPECT_EQ(atlas.NumRegMaps(), 1);
  const TMapDefinition d = atlas.Maps(1);
  EXPECT_EQ(d.MapFName, QString::fromStdString(alps).toLower().toStdString());
  EXPECT_EQ(d.Caption, "Alps");
  EXPECT_EQ(d.Resolution, 500);
  EXPECT_EQ(d.Corners[gcoBottomRight], (TCoords{45, 11}));
  ASSERT_TRUE(atlas.RegisterMap(Path("Maps/plain.xml")));

  // The same name in another letter case is the same map: its entry is refreshed (here the
  // file system holds both spellings, each with its own content).
  WriteMapCal(Path("Maps/ALPS.xml"), "Alps, 2nd edition", 45, 5, 48, 11, 400);
  ASSERT_TRUE(atlas.RegisterMap(Path("Maps/ALPS.xml")));
  EXPECT_EQ(atlas.NumRegMaps(), 2);
  EXPECT_EQ(atlas.Maps(1).Caption, "Alps, 2nd edition");
  EXPECT_EQ(atlas.Maps(1).Resolution, 400);
  EXPECT_EQ(atlas.Maps(1).MapFName, d.MapFName);
  // A spelling that cannot be opened changes nothing.
  EXPECT_FALSE(atlas.RegisterMap(Path("Maps/aLPS.xml")));
  EXPECT_EQ(atlas.Maps(1).Resolution, 400);

  // The list shows captions, or the file name without one, and has no selection.
  ASSERT_EQ(atlas.MapSelector()->count(), 2);
  EXPECT_EQ(atlas.MapSelector()->itemText(0).toStdString(), "Alps, 2nd edition");
  EXPECT_EQ(atlas.MapSelector()->itemText(1).toStdString(), atlas.Maps(2).MapFName);
  EXPECT_EQ(Selected(), 0);

  // Selecting opens the file under its own name.
  EXPECT_TRUE(atlas.SelectMap(1));
  EXPECT_EQ(map.CalibData().Resolution, 400);
  EXPECT_EQ(Selected(), 1);
  // Registering again leaves the list without selection but the map on screen.
  ASSERT_TRUE(atlas.RegisterMap(alps));
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(map.CalibData().Caption, "Alps, 2nd edition");

  // A missing file or one without calibration changes nothing.
  const std::string junk = Path("junk.xml");
  std::ofstream(junk) << "<notes>nothing</notes>\n";
  EXPECT_FALSE(atlas.RegisterMap(Path("missing.xml")));
  EXPECT_FALSE(atlas.RegisterMap(junk));
  EXPECT_EQ(atlas.NumRegMaps(), 2);

  // Out of range: an empty record.
  EXPECT_EQ(atlas.GetMapDef(0).MapFName, "");
  EXPECT_EQ(atlas.GetMapDef(201).Resolution, 0);
  EXPECT_EQ(atlas.GetMapDef(3).MapFName, "");
}

TEST_F(AtlasTest, TwoHundredMapsAtMost) {
  for (int i = 1; i <= TGeoAtlas::MaxRegMaps; ++i) {
    const std::string f = Path("m" + std::to_string(i) + ".xml");
    WriteMapCal(f, "Map " + std::to_string(i), 40, 5, 45, 11, i);
    ASSERT_TRUE(atlas.RegisterMap(f)) << i;
  }
  const std::string extra = Path("extra.xml");
  WriteMapCal(extra, "Extra", 40, 5, 45, 11, 1000);
  EXPECT_FALSE(atlas.RegisterMap(extra));
  EXPECT_EQ(atlas.NumRegMaps(), 200);
  EXPECT_EQ(atlas.MapSelector()->count(), 200);
  EXPECT_EQ(atlas.Maps(200).Caption, "Map 200");
  // A registered map can still be refreshed.
  WriteMapCal(Path("m7.xml"), "Seven", 40, 5, 45, 11, 7);
  EXPECT_TRUE(atlas.RegisterMap(Path("m7.xml")));
  EXPECT_EQ(atlas.Maps(7).Caption, "Seven");
}

TEST_F(AtlasTest, ZoomChoosesByResolutionAndPosition) {
  WriteMapCal(Path("r100.xml"), "100 m", 40, 5, 50, 15, 100);
  WriteMapCal(Path("r50.xml"), "50 m", 42, 7, 48, 13, 50);
  WriteMapCal(Path("r20.xml"), "20 m", 44, 9, 46, 11, 20);
  for (const char* f : {"r100.xml", "r50.xml", "r20.xml"}) ASSERT_TRUE(atlas.RegisterMap(Path(f)));

  EXPECT_TRUE(atlas.ZoomIn(45, 10, 100));
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(map.CalibData().Resolution, 50);
  EXPECT_TRUE(atlas.ZoomOut(45, 10, 20));
  EXPECT_EQ(Selected(), 2);
  EXPECT_FALSE(atlas.ZoomOut(45, 10, 100));
  EXPECT_EQ(Selected(), 2);  // the map shown stays
  atlas.SetMinResDiff(60);   // 50 m gains only 50 %
  EXPECT_TRUE(atlas.ZoomIn(45, 10, 100));
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(map.CalibData().Resolution, 20);

  // Positions only the coarse map holds, or none holds, and resolutions that are not there.
  EXPECT_FALSE(atlas.ZoomIn(41, 6, 100));
  EXPECT_TRUE(atlas.ZoomOut(41, 6, 20));
  EXPECT_EQ(Selected(), 1);
  EXPECT_FALSE(atlas.ZoomIn(60, 10, 100));
  EXPECT_FALSE(atlas.ZoomOut(60, 10, 1));
  EXPECT_FALSE(atlas.ZoomIn(45, 10, 0));
  EXPECT_FALSE(atlas.ZoomIn(45, 10, -100));
  EXPECT_FALSE(atlas.ZoomIn(45, 10, std::nan("")));
  EXPECT_EQ(Selected(), 1);
}

TEST_F(AtlasTest, SelectingAMapCalibratedByPoints) {
  // The map's reader reports false for any map without graticule lines; the atlas still
  // selects it, so it gets no outline of itself.
  WriteMapCal(Path("pts.xml"), "Points", 40, 5, 45, 11, 300);
  ASSERT_TRUE(atlas.RegisterMap(Path("pts.xml")));
  TGeoMap probe;
  EXPECT_FALSE(probe.LoadCalDataFromXML(Path("pts.xml"), ""));
  EXPECT_TRUE(atlas.SelectMap(1));
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(map.CalibData().Caption, "Points");
  EXPECT_FALSE(atlas.SelectMap(0));
  EXPECT_FALSE(atlas.SelectMap(2));

  // A registered file that has gone since: false, the map shown stays.
  std::filesystem::remove(Path("pts.xml"));
  EXPECT_FALSE(atlas.SelectMap(1));
  EXPECT_EQ(map.CalibData().Caption, "Points");
}

TEST_F(AtlasTest, UnregisteringKeepsOrderAndReselects) {
  for (const char* n : {"a", "b", "c"}) {
    const std::string f = Path(std::string(n) + ".xml");
    WriteMapCal(f, n, 40, 5, 45, 11, 100);
    ASSERT_TRUE(atlas.RegisterMap(f));
  }
  atlas.UnregisterMap(0);
  atlas.UnregisterMap(4);
  EXPECT_EQ(atlas.NumRegMaps(), 3);

  // The selected middle map goes: the one now at its place is loaded.
  ASSERT_TRUE(atlas.SelectMap(2));
  atlas.UnregisterMap(2);
  EXPECT_EQ(atlas.NumRegMaps(), 2);
  EXPECT_EQ(atlas.Maps(1).Caption, "a");
  EXPECT_EQ(atlas.Maps(2).Caption, "c");
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(map.CalibData().Caption, "c");

  // The selected last map goes: it stays on screen, nothing is selected.
  atlas.UnregisterMap(2);
  EXPECT_EQ(atlas.NumRegMaps(), 1);
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(map.CalibData().Caption, "c");
  EXPECT_EQ(atlas.MapSelector()->count(), 1);

  // An unselected map goes: the selection is lost with the refill, the map stays.
  ASSERT_TRUE(atlas.SelectMap(1));
  const std::string d = Path("d.xml");
  WriteMapCal(d, "d", 40, 5, 45, 11, 100);
  ASSERT_TRUE(atlas.RegisterMap(d));
  ASSERT_TRUE(atlas.SelectMap(1));
  const int paints = map.CompositionCount();
  atlas.UnregisterMap(2);
  EXPECT_EQ(map.CompositionCount(), paints + 1);
  EXPECT_EQ(map.CalibData().Caption, "a");
}

TEST_F(AtlasTest, MapImagesAreLookedForBesideTheirCalibration) {
  // The calibration names an image in a directory that does not exist here.
  std::filesystem::create_directories(Path("Sheets"));
  QImage img(40, 30, QImage::Format_RGB32);
  img.fill(Qt::green);
  ASSERT_TRUE(img.save(QString::fromStdString(Path("Sheets/Sheet.bmp")), "BMP"));
  WriteMapCal(Path("Sheets/Sheet.xml"), "Sheet", 40, 5, 45, 11, 100, "/nowhere/Sheet.bmp");
  ASSERT_TRUE(atlas.RegisterMap(Path("Sheets/Sheet.xml")));
  ASSERT_TRUE(atlas.SelectMap(1));  // the reader asks for "sheet.bmp": found in any case
  EXPECT_EQ(map.MapImgWidth(), 40);
  EXPECT_EQ(map.MapImgHeight(), 30);
  // An image only where the application names it is still loaded.
  map.CreateAndLoadEmptyMap(Path("Generated.dat"), 40, 5, 45, 11, 1, 1, 200, 150, nullptr);
  EXPECT_EQ(map.MapImgWidth(), 200);
  // With an image of that name beside the selected map's calibration, that one is taken.
  ASSERT_TRUE(img.save(QString::fromStdString(Path("Sheets/Generated.bmp")), "BMP"));
  map.CreateAndLoadEmptyMap(Path("Generated.dat"), 40, 5, 45, 11, 1, 1, 200, 150, nullptr);
  EXPECT_EQ(map.MapImgWidth(), 40);

  // The application loading an image itself while no registered map is selected: the name
  // is left as it is.
  TGeoAtlas fresh;
  std::string name = Path("Sheets/Sheet.bmp");
  fresh.FGeoMapImgRequest(fresh.CurrentMap(), name);
  EXPECT_EQ(name, Path("Sheets/Sheet.bmp"));
  fresh.CurrentMap()->SetMapImgFile(Path("Sheets/Sheet.bmp"));
  EXPECT_EQ(fresh.CurrentMap()->MapImgWidth(), 40);
}

TEST_F(AtlasTest, ReplacingChildControls) {
  QPointer<TGeoMap> old = atlas.CurrentMap();
  auto* replacement = new TGeoMap;
  atlas.SetCurrentMap(replacement);
  EXPECT_TRUE(old.isNull());
  EXPECT_EQ(atlas.CurrentMap(), replacement);
  EXPECT_EQ(replacement->parentWidget(), &atlas);
  EXPECT_EQ(replacement->geometry(), QRect(0, 33, 480, 287));
  EXPECT_EQ(replacement->EmptyMsg(), "TGeoAtlas: Empty");
  EXPECT_TRUE(replacement->OnDataRendered && replacement->OnMouseDown && replacement->OnMapImageRequest);
  atlas.SetCurrentMap(nullptr);
  EXPECT_EQ(atlas.CurrentMap(), replacement);

  QPointer<TSpeedButton> oldZoom = atlas.ZoomButton();
  auto* zoom = new TSpeedButton;
  atlas.SetZoomButton(zoom);
  EXPECT_TRUE(oldZoom.isNull());
  EXPECT_EQ(zoom->parentWidget(), atlas.CmdPanel());
  EXPECT_EQ(zoom->geometry(), QRect(32, 3, 26, 26));
  zoom->click();
  EXPECT_TRUE(zoom->Down());
  EXPECT_FALSE(atlas.PointerButton()->Down());
  EXPECT_FALSE(replacement->AllowPan());

  auto* panel = new TPanel;
  atlas.SetCmdPanel(panel);
  EXPECT_EQ(atlas.CmdPanel(), panel);
  EXPECT_EQ(zoom->parentWidget(), panel);
  EXPECT_EQ(atlas.MapSelector()->parentWidget(), panel);
}

}  // namespace
}  // namespace vek
