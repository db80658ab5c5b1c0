// The small dialog that asks for the position of a calibration point: latitude and longitude,
// or zone, hemisphere, easting and northing for a UTM calibration.
#pragma once

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace vek::viewer {

class CalibPointDialog : public QDialog {
  Q_OBJECT

 public:
  CalibPointDialog(bool UTM, int Zone, QWidget* Parent = nullptr);

  double Latitude() const;
  double Longitude() const;
  int Zone() const;
  bool South() const;
  double Easting() const;
  double Northing() const;

 private:
  QDoubleSpinBox* FLat = nullptr;
  QDoubleSpinBox* FLong = nullptr;
  QSpinBox* FZone = nullptr;
  QCheckBox* FSouth = nullptr;
  QDoubleSpinBox* FEast = nullptr;
  QDoubleSpinBox* FNorth = nullptr;
};

}  // namespace vek::viewer
