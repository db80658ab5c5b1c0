// The small dialog that asks for the position of a calibration point: latitude and longitude,
// zone, hemisphere, easting and northing for a UTM calibration, or the graticule line (parallel
// or meridian and its value) a point of the parabolic model lies on.
#pragma once

#include <QDialog>

#include "GeoMapRecords.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace vek::viewer {

enum TPointInput { piLatLong, piUTM, piGratLine };

class CalibPointDialog : public QDialog {
  Q_OBJECT

 public:
  // Zone: the UTM zone offered; Kind and Value: the graticule line offered (the previous one,
  // as points along one line are clicked in a row).
  CalibPointDialog(TPointInput Input, int Zone, QWidget* Parent = nullptr,
                   TGratLineKind Kind = gtlParallel, double Value = 0);

  double Latitude() const;
  double Longitude() const;
  int Zone() const;
  bool South() const;
  double Easting() const;
  double Northing() const;
  TGratLineKind LineKind() const;
  double LineValue() const;

 private:
  QDoubleSpinBox* FLat = nullptr;
  QDoubleSpinBox* FLong = nullptr;
  QSpinBox* FZone = nullptr;
  QCheckBox* FSouth = nullptr;
  QDoubleSpinBox* FEast = nullptr;
  QDoubleSpinBox* FNorth = nullptr;
  QComboBox* FKind = nullptr;
  QDoubleSpinBox* FValue = nullptr;
};

}  // namespace vek::viewer
