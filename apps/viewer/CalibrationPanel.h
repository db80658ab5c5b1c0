// The calibration dock: the model, calibration points added by clicking on the map (a small
// dialog asks for the position), their residuals and RMS updated on every change, and saving
// the calibration file. The dock works on one map image at a time, the one it was begun on;
// it remembers whether the calibration has changes that are not saved, and asks before they
// would be lost.
#pragma once

#include <QWidget>

#include "Vek_geoatlas.h"
#include "Vek_geomap.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vek::viewer {

class CalibrationPanel : public QWidget {
  Q_OBJECT

 public:
  CalibrationPanel(TGeoAtlas* Atlas, QWidget* Parent = nullptr);

  // Starts calibrating the map shown: no points, the chosen model. Clicks on the map add
  // points once "Add points" is switched on.
  void Begin();
  // Stops calibrating: no map bound, picking off, the map's grid and mouse mode as before.
  void End();
  // The map image being calibrated, or empty.
  QString BoundImage() const { return FImage; }
  bool Active() const { return !FImage.isEmpty(); }
  bool Picking() const;
  void SetPicking(bool On);
  // Changes since Begin or the last save.
  bool Unsaved() const { return FUnsaved; }
  // Before unsaved changes would be lost: asks Save, Discard (and Cancel when AllowCancel).
  // True when the caller may go on (saved or discarded).
  bool ConfirmLoss(bool AllowCancel = true);
  // The map shown changed (the atlas switched, a file was opened): a calibration of another
  // image ends, asking first when it has unsaved changes.
  void MapShown();
  // True when the calibration has enough points for its model to place positions.
  static bool Usable(const TGeoMap& Map);
  // A click on the map at an image pixel while picking: asks for its position (the dialog
  // opens once the click's own events are done) and adds the point.
  void MapClicked(const TPoint& Pixel);
  // Writes the calibration beside the map image, or to FileName; returns the file written,
  // empty when nothing was written (nothing being calibrated, or an error shown).
  QString Save(const QString& FileName = QString());
  // Refills the table of points and residuals.
  void Refresh();

 signals:
  // The calibration changed (a point added, removed or restored, another model).
  void Changed();
  // Something to tell the user in the status bar.
  void Message(const QString& Text);

 private:
  TGeoMap* Map() const { return FAtlas->CurrentMap(); }
  TCalibModel Model() const;
  void AskAndAdd(const TPoint& Pixel);
  void RemoveSelected();
  // After every edit: the calibration as it stands now, kept apart from the map control so
  // that it can still be saved once the map shows something else.
  void Edited();
  void UpdatePickText();

  TGeoAtlas* FAtlas;
  QComboBox* FModel = nullptr;
  QPushButton* FPick = nullptr;
  QTableWidget* FTable = nullptr;
  QLabel* FRMS = nullptr;
  QPushButton* FSave = nullptr;
  QPushButton* FRemove = nullptr;
  QPushButton* FRestore = nullptr;
  TMouseActMode FSavedMode = maPan;
  TShowGrat FSavedGrat = sgNone;
  QString FImage;
  bool FUnsaved = false;
  TMapCalibration FKept;
  // The graticule line of the last point, offered for the next one.
  TGratLineKind FLastKind = gtlParallel;
  double FLastValue = 0;
};

}  // namespace vek::viewer
