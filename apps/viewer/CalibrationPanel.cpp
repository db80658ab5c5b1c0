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
#include <algorithm>
#include <initializer_list>
#include <cmath>
#include <vector>

#include "CalibPointDialog.h"
#include "Vek_geomapcore.h"

namespace vek::viewer {

namespace {

// The models: five take points with a position, the parabolic one points on graticule lines
// (a map whose graticule is drawn but whose projection is unknown).
const std::pair<const char*, TCalibModel> kModels[] = {
    {"Equirectangular (3+ points)", cmEquiRect},
    {"UTM (3+ points, UTM positions)", cmUTM},
    {"Biquadratic polynomial (9+ points)", cmBiquadraticPn},
    {"Conic conformal", cmConicConformal},
    {"Miller cylindrical", cmMillerCylindrical},
    {"Parabolic, graticule lines (3+ points on 2+ parallels and 2+ meridians)", cmParabolicIp}};

// The points of the graticule lines in table order: (line, point on it).
std::vector<std::pair<int, int>> LinePoints(const TCalibData& Cal) {
  std::vector<std::pair<int, int>> rows;
  for (int i = 1; i <= std::min<int>(Cal.NumCalLines, MaxCalLines); ++i)
    for (int k = 1; k <= std::min<int>(Cal.CalLines[i].NumPoints, MaxCalLinePoints); ++k)
      rows.emplace_back(i, k);
  return rows;
}

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
  // The longest model name would set the dock's width: the list opens wide enough instead.
  FModel->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  FModel->setMinimumContentsLength(16);
  FPick = new QPushButton(this);
  FPick->setObjectName("calibPick");
  FPick->setCheckable(true);
  FTable = new QTableWidget(0, 6, this);
  FTable->setObjectName("calibTable");
  FTable->setHorizontalHeaderLabels({tr("x"), tr("y"), tr("position"), tr("dx"), tr("dy"), tr("off")});
  FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  FTable->verticalHeader()->hide();
  FTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FTable->setMinimumWidth(280);
  FRMS = new QLabel(this);
  FRMS->setObjectName("calibRMS");
  FRMS->setWordWrap(true);
  FRemove = new QPushButton(tr("Remove"), this);
  FRemove->setObjectName("calibRemove");
  FRestore = new QPushButton(tr("Restore"), this);
  FRestore->setObjectName("calibRestore");
  FSave = new QPushButton(tr("Save calibration"), this);
  FSave->setObjectName("calibSave");
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {FRemove, FRestore, FSave}) row->addWidget(b);
  box->addWidget(new QLabel(tr("Model"), this));
  box->addWidget(FModel);
  box->addWidget(FPick);
  box->addWidget(FTable, 1);
  box->addWidget(FRMS);
  box->addLayout(row);

  connect(FModel, &QComboBox::currentIndexChanged, this, [this] {
    if (!Active()) return;  // the model of a map that is not being calibrated stays
    try {
      Map()->SetCalibModel(Model());
    } catch (const std::exception& e) {
      QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
    }
    Edited();
  });
  connect(FPick, &QPushButton::toggled, this, [this](bool On) {
    // While picking, a press on the map adds a point instead of panning.
    if (On) FSavedMode = Map()->MouseAction();
    Map()->SetMouseAction(On ? maNone : FSavedMode);
    UpdatePickText();
  });
  connect(FRemove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(FRestore, &QPushButton::clicked, this, [this] {
    if (!Active()) return;
    Map()->RestoreLastDeletedCalPoint();
    Edited();
  });
  connect(FSave, &QPushButton::clicked, this, [this] { Save(); });
  Refresh();
}

TCalibModel CalibrationPanel::Model() const { return TCalibModel(FModel->currentData().toInt()); }

bool CalibrationPanel::Picking() const { return FPick->isChecked(); }

void CalibrationPanel::SetPicking(bool On) { FPick->setChecked(On && Active()); }

void CalibrationPanel::UpdatePickText() {
  // On and off must look different: the text says which, the checked button is highlighted.
  FPick->setText(Picking() ? tr("Adding points: click the map") : tr("Add points (off)"));
  FPick->setToolTip(Picking() ? tr("Each click on the map adds a point; click here to stop.")
                              : tr("Click here, then on places of the map you know."));
  FPick->setStyleSheet(Picking() ? "QPushButton { background: #ffd966; font-weight: bold; }" : "");
}

bool CalibrationPanel::Usable(const TGeoMap& Map) { return Map.Calibration().HasEnoughPoints(); }

void CalibrationPanel::Begin() {
  FImage = QString::fromStdString(Map()->MapImgFile());
  FSavedGrat = Map()->ShowGraticule();
  Map()->ClearCalibData();
  Map()->SetCalibModel(Model());
  Map()->SetShowGrat(sgPoints);  // the points clicked so far
  if (FAtlas->ZoomButton()->Down()) FAtlas->PointerButton()->click();
  FPick->setChecked(false);
  FKept = Map()->Calibration();
  FUnsaved = false;
  Refresh();
}

void CalibrationPanel::End() {
  if (!Active()) return;
  FPick->setChecked(false);
  Map()->SetShowGrat(FSavedGrat);
  FImage.clear();
  FUnsaved = false;
  Refresh();
}

bool CalibrationPanel::ConfirmLoss(bool AllowCancel) {
  if (!FUnsaved) return true;
  QMessageBox box(QMessageBox::Question, tr("Unsaved calibration"),
                  tr("The calibration of %1 has changes that are not saved.")
                      .arg(QFileInfo(FImage).fileName()),
                  QMessageBox::Save | QMessageBox::Discard, this);
  if (AllowCancel) box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Save);
  box.setObjectName("unsavedCalibration");
  switch (box.exec()) {
    case QMessageBox::Save: return !Save().isEmpty();
    case QMessageBox::Discard: FUnsaved = false; return true;
    default: return false;
  }
}

void CalibrationPanel::MapShown() {
  if (!Active() || QString::fromStdString(Map()->MapImgFile()) == FImage) return;
  ConfirmLoss(false);  // the map has changed already: save or let go
  End();
}

void CalibrationPanel::MapClicked(const TPoint& Pixel) {
  QPointer<CalibrationPanel> self(this);
  QTimer::singleShot(0, this, [self, Pixel] {
    if (self) self->AskAndAdd(Pixel);
  });
}

void CalibrationPanel::AskAndAdd(const TPoint& Pixel) {
  if (!Active() || QString::fromStdString(Map()->MapImgFile()) != FImage) return;
  const TCalibModel model = Model();
  const TCalibData& cal = Map()->CalibData();
  const TPointInput input = model == cmUTM ? piUTM : (model == cmParabolicIp ? piGratLine : piLatLong);
  CalibPointDialog d(input, cal.UTMZone, this, FLastKind, FLastValue);
  if (d.exec() != QDialog::Accepted) return;
  try {
    bool added;
    if (input == piUTM) {
      // The first point sets the map's zone; later ones must lie in it.
      if (cal.NumCalQuads == 0) {
        Map()->SetUTMZone(d.Zone());
        Map()->SetUTMHemisphere(d.South() ? hemiSouth : hemiNorth);
      }
      added = Map()->AddCalibPoint(d.Northing(), d.Easting(), d.Zone(),
                                   d.South() ? hemiSouth : hemiNorth, Pixel.X, Pixel.Y);
    } else if (input == piGratLine) {
      FLastKind = d.LineKind();
      FLastValue = d.LineValue();
      added = Map()->AddCalibPoint(FLastKind, FLastValue, Pixel.X, Pixel.Y);
    } else {
      added = Map()->AddCalibPoint(d.Latitude(), d.Longitude(), Pixel.X, Pixel.Y);
    }
    if (!added) QMessageBox::information(this, tr("Calibration"), tr("The table of points is full."));
  } catch (const std::exception& e) {
    QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
  }
  Edited();
}

void CalibrationPanel::Edited() {
  FKept = Map()->Calibration();
  FUnsaved = true;
  Refresh();
  Map()->Paint();  // layers and outlines follow the calibration as it stands now
}

void CalibrationPanel::RemoveSelected() {
  if (!Active()) return;
  const int row = FTable->currentRow();
  const TCalibData& cal = Map()->CalibData();
  if (Model() == cmParabolicIp) {
    const auto rows = LinePoints(cal);
    if (row < 0 || row >= int(rows.size())) return;
    const TCalibLine& line = cal.CalLines[rows[row].first];
    const TPoint p = line.CalPoints[rows[row].second];
    Map()->RemoveCalibPoint(line.LineType, line.LineValue, p.X, p.Y);
  } else {
    if (row < 0 || row >= cal.NumCalQuads) return;
    const TCalQuad q = cal.CalQuads[row + 1];
    Map()->RemoveCalibPoint(q.MapX, q.MapY);
  }
  Edited();
}

void CalibrationPanel::Refresh() {
  for (QWidget* w : std::initializer_list<QWidget*>{FPick, FRemove, FRestore, FSave, FTable})
    w->setEnabled(Active());
  UpdatePickText();
  if (!Active()) {
    FTable->setRowCount(0);
    FRMS->setText(tr("Nothing is being calibrated. Open a map image without a calibration "
                     "(File > Open) to calibrate it."));
    emit Changed();
    return;
  }
  const TCalibData& cal = Map()->CalibData();
  const bool lines = Model() == cmParabolicIp;
  const auto linePoints = lines ? LinePoints(cal) : std::vector<std::pair<int, int>>{};
  const int n = lines ? int(linePoints.size()) : cal.NumCalQuads;
  FTable->setRowCount(n);
  for (int r = 0; r < n; ++r) {
    QString x, y, position;
    if (lines) {
      const TCalibLine& line = cal.CalLines[linePoints[r].first];
      const TPoint p = line.CalPoints[linePoints[r].second];
      x = QString::number(p.X);
      y = QString::number(p.Y);
      position = (line.LineType == gtlParallel ? tr("parallel %1") : tr("meridian %1")).arg(line.LineValue, 0, 'f', 5);
    } else {
      const TCalQuad& q = cal.CalQuads[r + 1];
      x = QString::number(q.MapX);
      y = QString::number(q.MapY);
      position = QString("%1, %2").arg(q.Latitude, 0, 'f', 5).arg(q.Longitude, 0, 'f', 5);
    }
    FTable->setItem(r, 0, Cell(x));
    FTable->setItem(r, 1, Cell(y));
    FTable->setItem(r, 2, Cell(position));
    for (int c = 3; c < 6; ++c) FTable->setItem(r, c, Cell(QStringLiteral("–")));
  }
  for (const TCalResidual& res : Map()->CalibResiduals()) {
    if (!res.Valid) continue;
    int row = -1;
    if (lines) {
      const auto at = std::find(linePoints.begin(), linePoints.end(), std::pair{res.Index, res.Point});
      if (at != linePoints.end()) row = int(at - linePoints.begin());
    } else if (res.Index >= 1 && res.Index <= cal.NumCalQuads && res.Point == 0) {
      row = res.Index - 1;
    }
    if (row < 0) continue;
    const auto px = [](double V) { return QString::number(std::fabs(V) < 0.005 ? 0.0 : V, 'f', 2); };
    FTable->item(row, 3)->setText(px(res.DX));
    FTable->item(row, 4)->setText(px(res.DY));
    FTable->item(row, 5)->setText(px(res.Dist));
  }
  const double rms = n ? Map()->CalibResidualRMS() : 0;
  FRMS->setText(n ? tr("%1 points, RMS %2 pixels").arg(n).arg(rms, 0, 'f', 2)
                  : tr("No calibration points yet: switch on \"Add points\", then click on the map."));
  emit Changed();
}

QString CalibrationPanel::Save(const QString& FileName) {
  if (!Active()) {
    emit Message(tr("Nothing is being calibrated: no calibration was saved."));
    return QString();
  }
  const QFileInfo img(FImage);
  QString file = FileName;
  if (file.isEmpty()) {
    file = img.path() + "/" + img.completeBaseName() + ".xml";
    // Saving again what is on disk already would only rewrite the same file.
    if (!FUnsaved && QFileInfo::exists(file)) {
      emit Message(tr("The calibration of %1 has no unsaved changes.").arg(img.fileName()));
      return file;
    }
  }
  try {
    if (QString::fromStdString(Map()->MapImgFile()) == FImage) {
      Map()->SaveCalDataAsXML(file.toStdString(), img.completeBaseName().toStdString());
    } else {
      // The map shows another image by now: the calibration kept from the last edit.
      TMapCalibration cal = FKept;
      cal.CalcExtentsAndResolution();
      cal.Data().MapFName = FImage.toStdString();
      TextFile F;
      AssignFile(F, file.toStdString());
      Rewrite(F);
      WriteRawCalDataToOpenXMLFile(F, true, img.completeBaseName().toStdString(), cal.Data(),
                                   cal.Model());
      CloseFile(F);
    }
  } catch (const std::exception& e) {
    QMessageBox::warning(this, tr("Calibration"), QString::fromStdString(e.what()));
    return QString();
  }
  FUnsaved = false;
  emit Message(tr("Calibration saved to %1").arg(file));
  return file;
}

}  // namespace vek::viewer
