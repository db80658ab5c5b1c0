#include "CalibPointDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>

namespace vek::viewer {

namespace {

QDoubleSpinBox* Spin(QWidget* Parent, const char* Name, double Min, double Max, int Decimals) {
  auto* s = new QDoubleSpinBox(Parent);
  s->setObjectName(Name);
  s->setRange(Min, Max);
  s->setDecimals(Decimals);
  s->setMinimumWidth(140);
  return s;
}

}  // namespace

CalibPointDialog::CalibPointDialog(TPointInput Input, int Zone, QWidget* Parent, TGratLineKind Kind,
                                   double Value)
    : QDialog(Parent) {
  setObjectName("CalibPointDialog");
  setWindowTitle(tr("Calibration point"));
  auto* form = new QFormLayout(this);
  if (Input == piGratLine) {
    FKind = new QComboBox(this);
    FKind->setObjectName("lineKind");
    FKind->addItem(tr("Parallel (latitude)"), int(gtlParallel));
    FKind->addItem(tr("Meridian (longitude)"), int(gtlMeridian));
    FKind->setCurrentIndex(Kind == gtlMeridian ? 1 : 0);
    FValue = Spin(this, "lineValue", -180, 180, 6);
    FValue->setValue(Value);
    form->addRow(tr("Line"), FKind);
    form->addRow(tr("Value (°, north/east +)"), FValue);
  } else if (Input == piUTM) {
    FZone = new QSpinBox(this);
    FZone->setObjectName("zone");
    FZone->setRange(1, 60);
    FZone->setValue(Zone >= 1 && Zone <= 60 ? Zone : 33);
    FSouth = new QCheckBox(tr("southern hemisphere"), this);
    FSouth->setObjectName("south");
    FEast = Spin(this, "easting", 0, 1000000, 1);
    FNorth = Spin(this, "northing", 0, 10000000, 1);
    form->addRow(tr("Zone"), FZone);
    form->addRow(QString(), FSouth);
    form->addRow(tr("Easting (m)"), FEast);
    form->addRow(tr("Northing (m)"), FNorth);
  } else {
    FLat = Spin(this, "latitude", -90, 90, 6);
    FLong = Spin(this, "longitude", -180, 180, 6);
    form->addRow(tr("Latitude (°, north +)"), FLat);
    form->addRow(tr("Longitude (°, east +)"), FLong);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

double CalibPointDialog::Latitude() const { return FLat ? FLat->value() : 0; }
double CalibPointDialog::Longitude() const { return FLong ? FLong->value() : 0; }
int CalibPointDialog::Zone() const { return FZone ? FZone->value() : 0; }
bool CalibPointDialog::South() const { return FSouth && FSouth->isChecked(); }
double CalibPointDialog::Easting() const { return FEast ? FEast->value() : 0; }
double CalibPointDialog::Northing() const { return FNorth ? FNorth->value() : 0; }
TGratLineKind CalibPointDialog::LineKind() const {
  return FKind && FKind->currentData().toInt() == int(gtlMeridian) ? gtlMeridian : gtlParallel;
}
double CalibPointDialog::LineValue() const { return FValue ? FValue->value() : 0; }

}  // namespace vek::viewer
