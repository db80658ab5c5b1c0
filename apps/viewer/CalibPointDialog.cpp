#include "CalibPointDialog.h"

#include <QCheckBox>
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

CalibPointDialog::CalibPointDialog(bool UTM, int Zone, QWidget* Parent) : QDialog(Parent) {
  setObjectName("CalibPointDialog");
  setWindowTitle(tr("Calibration point"));
  auto* form = new QFormLayout(this);
  if (UTM) {
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

}  // namespace vek::viewer
