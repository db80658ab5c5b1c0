// TComponent and TCustomControl: Qt objects with the component model's names, a control
// that shows its own canvas, and mouse events in the classic form.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QObject>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "Canvas.h"
#include "Component.h"
#include "GraphicsTypes.h"

namespace vek {

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// A control with its own canvas. The canvas draws on an image of the control's size that
// holds what the control shows; Qt paint events only copy that image to the screen.
// Paint() composes the image; it runs when the control was invalidated, before the next
// paint event, or at once through Repaint().
class TCustomControl : public QWidget {
  Q_OBJECT

 public:
  explicit TCustomControl(QWidget* AOwner = nullptr);
  ~TCustomControl() override;

  TCanvas* Canvas() {
    SyncImageSize();
    return FCanvas.get();
  }
  // The image behind the canvas, with painting finished.
  const QImage& CanvasImage();

  std::string Name() const;
  void SetName(const std::string& name);

  // True unless the application hid the control: a control never shown is still visible
  // (Qt counts a window that was never shown as hidden).
  bool Visible() const { return !isHidden() || !testAttribute(Qt::WA_WState_ExplicitShowHide); }
  void SetVisible(bool v) { setVisible(v); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  // Unlike QWidget's, these resize a hidden control at once: the canvas follows and
  // Resize (OnResize) runs before they return.
  void resize(int w, int h);
  void resize(const QSize& s) { resize(s.width(), s.height()); }
  void setGeometry(int x, int y, int w, int h);
  void setGeometry(const QRect& r) { setGeometry(r.x(), r.y(), r.width(), r.height()); }
  void SetWidth(int w) { resize(w, height()); }
  void SetHeight(int h) { resize(width(), h); }
  void SetBounds(int Left, int Top, int W, int H) { setGeometry(Left, Top, W, H); }

  // A number of the screen cursor table.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor c);

  // Invalidate: compose before the next paint event. Repaint/Refresh: compose now.
  void Invalidate();
  void Repaint();
  void Refresh() { Repaint(); }
  // Compositions so far (calls of Paint made by the control).
  int PaintCount() const { return FPaintCount; }

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;

 protected:
  // Draws what the control shows onto Canvas(). The default draws nothing.
  virtual void Paint();
  // The base versions fire the events.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Click();
  virtual void DblClick();
  virtual void Resize();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Compose();
  void SyncImageSize();
  void DeliverPendingResize(const QSize& old);

  QImage FImage;
  std::unique_ptr<TCanvas> FCanvas;
  TCursor FCursor = crDefault;
  bool FPaintPending = true;
  bool FInPaint = false;
  bool FClickArmed = false;
  int FPaintCount = 0;
  QSize FHandledSize{-1, -1};
};

// The stock controls the components build on.
class TPanel : public QFrame {
  Q_OBJECT

 public:
  explicit TPanel(QWidget* AOwner = nullptr);
};

// Buttons with the same non-zero GroupIndex under one parent act as a group: at most one is
// down. A grouped button stays down when clicked again unless AllowAllUp is set.
class TSpeedButton : public QToolButton {
  Q_OBJECT

 public:
  explicit TSpeedButton(QWidget* AOwner = nullptr);
  bool Down() const { return isChecked(); }
  void SetDown(bool d);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int g);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool a) { FAllowAllUp = a; }
  TNotifyEvent OnClick;

 protected:
  void nextCheckState() override;

 private:
  void ReleaseOthers();
  int FGroupIndex = 0;
  bool FAllowAllUp = false;
};

class TComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TComboBox(QWidget* AOwner = nullptr);
  int ItemIndex() const { return currentIndex(); }
  void SetItemIndex(int i) { setCurrentIndex(i); }
  TNotifyEvent OnChange;
};

// Qt to classic mouse state.
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

}  // namespace vek
