#include "Controls.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>

#include "Application.h"

namespace vek {

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
  if (modifiers & Qt::AltModifier) s.Include(ssAlt);
  if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

namespace {

bool ClassicButton(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

}  // namespace

// ---- TCustomControl ----

TCustomControl::TCustomControl(QWidget* AOwner)
    : QWidget(AOwner), FCanvas(std::make_unique<TCanvas>(&FImage)) {
  // The image covers the whole control, so Qt need not clear behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  FImage = QImage(size(), QImage::Format_RGB32);
  FImage.fill(Qt::white);
  // Drawing on the canvas outside Paint (overlays) must reach the screen.
  FCanvas->OnChange = [this] {
    if (!FInPaint) update();
  };
}

TCustomControl::~TCustomControl() {
  FCanvas->OnChange = nullptr;
  FCanvas->End();
}

const QImage& TCustomControl::CanvasImage() {
  SyncImageSize();
  FCanvas->End();
  return FImage;
}

std::string TCustomControl::Name() const { return objectName().toStdString(); }
void TCustomControl::SetName(const std::string& name) { setObjectName(QString::fromStdString(name)); }

void TCustomControl::SetCursor(TCursor c) {
  FCursor = c;
  setCursor(ScreenCursor(c));
}

void TCustomControl::Invalidate() {
  FPaintPending = true;
  update();
}

void TCustomControl::Repaint() {
  Compose();
  update();
}

void TCustomControl::Compose() {
  if (FInPaint) return;  // Paint asking for a repaint of itself
  SyncImageSize();
  FInPaint = true;
  FPaintPending = false;
  ++FPaintCount;
  try {
    Paint();
  } catch (...) {
    FInPaint = false;
    throw;
  }
  FInPaint = false;
}

void TCustomControl::Paint() {}

void TCustomControl::paintEvent(QPaintEvent* event) {
  SyncImageSize();
  if (FPaintPending) Compose();
  FCanvas->End();
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  const QRect r = event->rect();
  p.drawImage(r.topLeft(), FImage, r);
}

void TCustomControl::SyncImageSize() {
  const QSize s = size();
  if (s == FImage.size() || (s.isEmpty() && FImage.isNull())) return;
  FCanvas->End();
  QImage n;
  if (!s.isEmpty()) {
    n = QImage(s, QImage::Format_RGB32);
    n.fill(Qt::white);
    if (!FImage.isNull()) {
      QPainter p(&n);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, FImage);
    }
  }
  FImage = n;
  FPaintPending = true;
}

void TCustomControl::resizeEvent(QResizeEvent*) {
  // Qt may deliver a held-back event for a size we have already handled.
  if (size() == FHandledSize) return;
  FHandledSize = size();
  SyncImageSize();
  FPaintPending = true;
  Resize();
}

void TCustomControl::DeliverPendingResize(const QSize& old) {
  // Qt holds back resize events of hidden widgets until they are shown.
  if (!testAttribute(Qt::WA_PendingResizeEvent) || size() == old) return;
  setAttribute(Qt::WA_PendingResizeEvent, false);
  QResizeEvent e(size(), old);
  QCoreApplication::sendEvent(this, &e);
}

void TCustomControl::resize(int w, int h) {
  const QSize old = size();
  QWidget::resize(w, h);
  DeliverPendingResize(old);
}

void TCustomControl::setGeometry(int x, int y, int w, int h) {
  const QSize old = size();
  QWidget::setGeometry(x, y, w, h);
  DeliverPendingResize(old);
}

void TCustomControl::Resize() {
  if (OnResize) OnResize(this);
}

void TCustomControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TCustomControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TCustomControl::Click() {
  if (OnClick) OnClick(this);
}

void TCustomControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TCustomControl::mousePressEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!ClassicButton(event->button(), b)) return QWidget::mousePressEvent(event);
  const QPoint p = event->position().toPoint();
  if (b == mbLeft) FClickArmed = true;
  MouseDown(b, ShiftStateFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseMove(ShiftStateFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!ClassicButton(event->button(), b)) return QWidget::mouseReleaseEvent(event);
  const QPoint p = event->position().toPoint();
  // A click is a left press and release both inside the control, reported before MouseUp.
  if (b == mbLeft && FClickArmed) {
    FClickArmed = false;
    if (rect().contains(p)) Click();
  }
  MouseUp(b, ShiftStateFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseDoubleClickEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!ClassicButton(event->button(), b)) return QWidget::mouseDoubleClickEvent(event);
  const QPoint p = event->position().toPoint();
  // The second press of a double click is no click of its own.
  if (b == mbLeft) {
    FClickArmed = false;
    DblClick();
  }
  MouseDown(b, ShiftStateFromQt(event->modifiers(), event->buttons()) + ssDouble, p.x(), p.y());
}

// ---- stock controls ----

TPanel::TPanel(QWidget* AOwner) : QFrame(AOwner) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
}

TSpeedButton::TSpeedButton(QWidget* AOwner) : QToolButton(AOwner) {
  setAutoRaise(true);
  connect(this, &QToolButton::clicked, this, [this] {
    if (OnClick) OnClick(this);
  });
}

void TSpeedButton::SetGroupIndex(int g) {
  FGroupIndex = g;
  setCheckable(g != 0);
  if (g == 0) setChecked(false);
}

void TSpeedButton::SetDown(bool d) {
  if (FGroupIndex == 0) return;  // only grouped buttons stay down
  setChecked(d);
  if (d) ReleaseOthers();
}

void TSpeedButton::nextCheckState() {
  if (FGroupIndex == 0) return;
  if (isChecked() && !FAllowAllUp) return;
  setChecked(!isChecked());
  if (isChecked()) ReleaseOthers();
}

void TSpeedButton::ReleaseOthers() {
  if (!parentWidget()) return;
  for (TSpeedButton* b : parentWidget()->findChildren<TSpeedButton*>(Qt::FindDirectChildrenOnly))
    if (b != this && b->FGroupIndex == FGroupIndex) b->setChecked(false);
}

TComboBox::TComboBox(QWidget* AOwner) : QComboBox(AOwner) {
  connect(this, &QComboBox::activated, this, [this](int) {
    if (OnChange) OnChange(this);
  });
}

}  // namespace vek
