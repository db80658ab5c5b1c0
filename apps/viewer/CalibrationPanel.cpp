#include "CalibrationPanel.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "CalibPointDialog.h"

namespace vek::viewer {

namespace {

// The models that take calibration points with a position; the parabolic model of the
// graticule lines is left to calibration files.
const std::pair<const char*, TCalibModel> kModels[] = {
    {"Equirectangular (3+ points)", cmEquiRect},
    {"UTM (3+ points, UTM positions)", cmUTM},
    {"Biquadratic polynomial (9+ points)", cmBiquadraticPn},
    {"Conic conformal", cmConicConformal},
    {"Miller cylindrical", cmMillerCylindrical}};

QTableWidgetItem* Cell(const QString& Text) {
  auto* c = new QTableWidgetItem(Text);
  c->setFlags(c->flags() & ~Qt::ItemIsEditable);
  return c;
}

}  // namespace

CalibrationPanel::CalibrationPanel(TGeoAtlas* Atlas, QWidget* Parent)
    : QWidget(Parent), FAtlas(Atlas) {
  auto* box = new QVBoxLayout(this);
  FModel = new QComboBox(this);
  FModel->setObjectName("calibModel");
  for (const auto& [name, model] : kModels) FModel->addItem(tr(name), int(model));
  FPick = new QPushButton(tr("Add points by clicking on the map"), this);
  FPick->setObjectName("calibPick");
  FPick->setCheckable(true);
  FTable = new QTableWidget(0, 6, this);
  FTable->setObjectName("calibTable");
  FTable->setHorizontalHeaderLabels({tr("x"), tr("y"), tr("position"), tr("dx"), tr("dy"), tr("off")});
  FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  FTable->verticalHeader()->hide();
  FTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FTable->setMinimumWidth(440);
  FRMS = new QLabel(this);
  FRMS->setObjectName("calibRMS");
  auto* remove = new QPushButton(tr("Remove"), this);
  remove->setObjectName("calibRemove");
  auto* restore = new QPushButton(tr("Restore"), this);
  restore->setObjectName("calibRestore");
  auto* save = new QPushButton(tr("Save calibration"), this);
  save->setObjectName("calibSave");
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {remove, restore, save}) row->addWidget(b);
  box->addWidget(new QLabel(tr("Model"), this));
  box->addWidget(FModel);
  box->addWidget(FPick);
  box->addWidget(FTable, 1);
  box->addWidget(FRMS);
  box->addLayout(row);

  connect(FModel, &QComboBox::currentIndexChanged, this, [this] {
    try {
      Map()->SetCalibModel(Model());
    } catch (const std::exception& e) {
      QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
    }
    Refresh();
  });
  connect(FPick, &QPushButton::toggled, this, [this](bool On) {
    // While picking, a press on the map adds a point instead of panning.
    if (On) FSavedMode = Map()->MouseAction();
    Map()->SetMouseAction(On ? maNone : FSavedMode);
  });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(restore, &QPushButton::clicked, this, [this] {
    Map()->RestoreLastDeletedCalPoint();
    Refresh();
  });
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
}

TCalibModel CalibrationPanel::Model() const { return TCalibModel(FModel->currentData().toInt()); }

bool CalibrationPanel::Picking() const { return FPick->isChecked(); }

void CalibrationPanel::Begin() {
  Map()->ClearCalibData();
  Map()->SetCalibModel(Model());
  Map()->SetShowGrat(sgPoints);  // the points clicked so far
  if (FAtlas->ZoomButton()->Down()) FAtlas->PointerButton()->click();
  FPick->setChecked(true);
  Refresh();
}

void CalibrationPanel::MapClicked(const TPoint& Pixel) {
  QPointer<CalibrationPanel> self(this);
  QTimer::singleShot(0, this, [self, Pixel] {
    if (self) self->AskAndAdd(Pixel);
  });
}

void CalibrationPanel::AskAndAdd(const TPoint& Pixel) {
  const bool utm = Model() == cmUTM;
  const TCalibData& cal = Map()->CalibData();
  CalibPointDialog d(utm, cal.UTMZone, this);
  if (d.exec() != QDialog::Accepted) return;
  try {
    bool added;
    if (utm) {
      // The first point sets the map's zone; later ones must lie in it.
      if (cal.NumCalQuads == 0) {
        Map()->SetUTMZone(d.Zone());
        Map()->SetUTMHemisphere(d.South() ? hemiSouth : hemiNorth);
      }
      added = Map()->AddCalibPoint(d.Northing(), d.Easting(), d.Zone(),
                                   d.South() ? hemiSouth : hemiNorth, Pixel.X, Pixel.Y);
    } else {
      added = Map()->AddCalibPoint(d.Latitude(), d.Longitude(), Pixel.X, Pixel.Y);
    }
    if (!added) QMessageBox::information(this, tr("Calibration"), tr("The table of points is full."));
  } catch (const std::exception& e) {
    QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
  }
  Refresh();
}

void CalibrationPanel::RemoveSelected() {
  const int row = FTable->currentRow();
  const TCalibData& cal = Map()->CalibData();
  if (row < 0 || row >= cal.NumCalQuads) return;
  const TCalQuad q = cal.CalQuads[row + 1];
  Map()->RemoveCalibPoint(q.MapX, q.MapY);
  Refresh();
}

void CalibrationPanel::Refresh() {
  const TCalibData& cal = Map()->CalibData();
  FTable->setRowCount(cal.NumCalQuads);
  for (int i = 1; i <= cal.NumCalQuads; ++i) {
    const TCalQuad& q = cal.CalQuads[i];
    FTable->setItem(i - 1, 0, Cell(QString::number(q.MapX)));
    FTable->setItem(i - 1, 1, Cell(QString::number(q.MapY)));
    FTable->setItem(i - 1, 2, Cell(QString("%1, %2").arg(q.Latitude, 0, 'f', 5).arg(q.Longitude, 0, 'f', 5)));
    for (int c = 3; c < 6; ++c) FTable->setItem(i - 1, c, Cell(QStringLiteral("–")));
  }
  for (const TCalResidual& r : Map()->CalibResiduals()) {
    if (r.Index < 1 || r.Index > cal.NumCalQuads || r.Point != 0 || !r.Valid) continue;
    const auto px = [](double V) { return QString::number(std::fabs(V) < 0.005 ? 0.0 : V, 'f', 2); };
    FTable->item(r.Index - 1, 3)->setText(px(r.DX));
    FTable->item(r.Index - 1, 4)->setText(px(r.DY));
    FTable->item(r.Index - 1, 5)->setText(px(r.Dist));
  }
  const double rms = cal.NumCalQuads ? Map()->CalibResidualRMS() : 0;
  FRMS->setText(cal.NumCalQuads ? tr("%1 points, RMS %2 pixels").arg(cal.NumCalQuads).arg(rms, 0, 'f', 2)
                                : tr("No calibration points yet: click on the map."));
}

QString CalibrationPanel::Save(const QString& FileName) {
  QString file = FileName;
  const QFileInfo img(QString::fromStdString(Map()->MapImgFile()));
  if (file.isEmpty()) file = img.path() + "/" + img.completeBaseName() + ".xml";
  try {
    Map()->SaveCalDataAsXML(file.toStdString(), img.completeBaseName().toStdString());
  } catch (const std::exception& e) {
    QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
    return QString();
  }
  return file;
}

}  // namespace vek::viewer
