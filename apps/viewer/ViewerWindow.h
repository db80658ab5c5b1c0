// The map viewer's main window: a TGeoAtlas over the demo atlas drawn from the world database,
// with the position under the cursor in the status bar, the library's mouse modes, landmark
// files and a dock for the calibration of scanned maps.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "Vek_geoatlas.h"
#include "Vek_geodb.h"
#include "Vek_geomap.h"

class QLabel;
class QListWidget;
class QDockWidget;
class QActionGroup;
class QMenu;
class QSettings;

namespace vek::viewer {

struct TDemoMap;

class TWorldMapDrawer;
class CalibrationPanel;

class ViewerWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit ViewerWindow(QWidget* Parent = nullptr);
  ~ViewerWindow() override;

  // Opens (or builds, with a progress dialog) the world database in CacheDir, makes the
  // demo atlas where missing, registers its maps and shows the world. Returns whether the
  // database had to be built. When the world database cannot be had (a damaged GSHHG file),
  // the viewer goes on without it and WorldError() says why; other errors propagate.
  // GshhgDir: where the GSHHG files are (default: Debian's gmt-gshhg folder).
  bool Start(const std::string& CacheDir, const std::string& GshhgDir = {});
  QString WorldError() const { return FWorldError; }

  TGeoAtlas* Atlas() const { return FAtlas; }
  TGeoMap* Map() const { return FAtlas->CurrentMap(); }
  TGeoDB& Database() { return *FDB; }
  CalibrationPanel* Calibration() const { return FCalib; }
  QListWidget* SelectionList() const { return FSelList; }
  // The status bar's texts: position, UTM, resolution, measured length.
  QString PositionText() const;
  QString UTMText() const;
  QString LengthText() const;

  // Opens a calibration file (.xml) or a map image; an image without calibration starts the
  // calibration workflow.
  void OpenFile(const QString& FileName);
  // Appends the landmarks of a GPX, GeoJSON or landmark XML file; returns how many.
  int ImportLandmarks(const QString& FileName);
  // Lists the database items in the area in the selection dock and marks the area.
  void ListItemsInArea(double LatLow, double LatHigh, double LongLow, double LongHigh);
  // Centres the map on a listed item and outlines it (selection dock row Row).
  void ShowListedItem(int Row);
  void SetDegreeFormat(TDegreeFormat Format);
  // Graticule or UTM grid; a UTM grid on a map without a zone takes the zone of its centre.
  void SetGrid(TShowGrat Mode);
  // Settings remembered across runs (QSettings of organisation "VekGeo", application
  // "viewer"): window layout, grid, degree format, recent files, the last map and view and the
  // imported landmark files. Only a window that was asked to restore them saves them again,
  // so that tests and embedded uses leave the user's settings alone.
  void RestoreSession();
  void SaveSession();
  QStringList RecentFiles() const { return FRecent; }

 protected:
  void showEvent(QShowEvent* Event) override;
  // Asks before unsaved calibration changes are lost.
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildMenus();
  void WireMap();
  void ShowCapitals();
  void ShowPosition(int X, int Y);
  void UpdateResolution();
  // Another map is shown (atlas list, zoom click, File > Open, start): the view fits it, the
  // status bar, the calibration dock, the measured line and the selection follow it.
  void MapSwitched();
  bool CalibrationUsable() const;
  void AddRecent(const QString& File);
  void RebuildRecentMenu();
  void DrawSelection(TCanvas& C);
  void About();
  // The folder file dialogs start in (the last one used).
  QString DialogDir() const;
  void RememberDir(const QString& File);
  void RubberBandPoint(const TPoint& P, bool Begin);
  void SetMouseMode(TMouseActMode Mode);
  void OpenDialog();
  void ImportDialog();
  void ExportDialog();
  void SaveMapDialog();
  // Steps through the map's zoom history: -1 back, +1 forward.
  void StepHistory(int Step);

  std::unique_ptr<TGeoDB> FDB;
  std::unique_ptr<TWorldMapDrawer> FDrawer;
  TGeoAtlas* FAtlas = nullptr;
  CalibrationPanel* FCalib = nullptr;
  QDockWidget* FCalibDock = nullptr;
  QDockWidget* FSelDock = nullptr;
  QListWidget* FSelList = nullptr;
  QLabel* FPosLabel = nullptr;
  QLabel* FUTMLabel = nullptr;
  QLabel* FResLabel = nullptr;
  QLabel* FLenLabel = nullptr;
  QLabel* FSelSummary = nullptr;
  QMenu* FRecentMenu = nullptr;
  QActionGroup* FModeGroup = nullptr;
  QActionGroup* FGridGroup = nullptr;
  QActionGroup* FDegGroup = nullptr;
  QStringList FRecent;
  QStringList FImportedLandmarks;
  QString FLastDir;
  bool FRemember = false;
  // The area last selected and the listed item shown, latitude/longitude; empty when none.
  bool FHasSelection = false;
  double FSel[4] = {0, 0, 0, 0};  // lat low, lat high, long low, long high
  int32_t FShownItem = 0;
  double FShownShift = 0;
  std::vector<std::pair<int32_t, double>> FListed;  // entry and shift of each list row
  // The atlas entry on show (1-based), 0 for a map that is not in the list.
  int FShownEntry = 0;
  bool FBandActive = false;
  TDegreeFormat FDegFormat = dfDegMin;
  // The rubber band's corner points, latitude/longitude, and the length of its finished
  // segments in metres.
  std::vector<TCoords> FBand;
  double FBandLength = 0;
  // Where Back and Forward stand in the zoom history: 0 the newest view, down to -15.
  int FHistPos = 0;
  std::string FShownImage;
  // The generated map on show, when it is one (its frame bounds the landmarks drawn).
  const TDemoMap* GeneratedFrame();
  std::string FAtlasDir, FFrameImage;
  const TDemoMap* FFrame = nullptr;
  bool FShownOnce = false;
  QString FWorldError;
};

}  // namespace vek::viewer
