// The calibration dock: the model, calibration points added by clicking on the map (a small
// dialog asks for the position), their residuals and RMS updated on every change, and saving
// the calibration file.
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

  // Starts calibrating the map shown: no points, the chosen model, clicks add points.
  void Begin();
  bool Picking() const;
  // A click on the map at an image pixel while picking: asks for its position (the dialog
  // opens once the click's own events are done) and adds the point.
  void MapClicked(const TPoint& Pixel);
  // Writes the calibration beside the map image, or to FileName; returns the file written.
  QString Save(const QString& FileName = QString());
  // Refills the table of points and residuals.
  void Refresh();

 signals:
  // The calibration changed (a point added, removed or restored, another model).
  void Changed();

 private:
  TGeoMap* Map() const { return FAtlas->CurrentMap(); }
  TCalibModel Model() const;
  void AskAndAdd(const TPoint& Pixel);
  void RemoveSelected();

  TGeoAtlas* FAtlas;
  QComboBox* FModel = nullptr;
  QPushButton* FPick = nullptr;
  QTableWidget* FTable = nullptr;
  QLabel* FRMS = nullptr;
  TMouseActMode FSavedMode = maPan;
  // The graticule line of the last point, offered for the next one.
  TGratLineKind FLastKind = gtlParallel;
  double FLastValue = 0;
};

}  // namespace vek::viewer
