#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <vector>

#include "PixelProbe.h"
#include "Vek_framework.h"

using namespace vek;

namespace {

// A control that paints a red square and records what its handlers saw.
class Probe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> log;
  TColor fill = clRed;

 protected:
  void Paint() override {
    Canvas()->FillSolid({0, 0, Width(), Height()}, clWhite);
    Canvas()->FillSolid({10, 10, 20, 20}, fill);
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    log.push_back("down " + std::to_string(b) + Flags(s) + " " + std::to_string(x) + "," + std::to_string(y));
    TCustomControl::MouseDown(b, s, x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    log.push_back("move" + Flags(s) + " " + std::to_string(x) + "," + std::to_string(y));
    TCustomControl::MouseMove(s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    log.push_back("up " + std::to_string(b) + Flags(s) + " " + std::to_string(x) + "," + std::to_string(y));
    TCustomControl::MouseUp(b, s, x, y);
  }

 private:
  static std::string Flags(TShiftState s) {
    std::string f;
    if (s.contains(ssShift)) f += " shift";
    if (s.contains(ssCtrl)) f += " ctrl";
    if (s.contains(ssLeft)) f += " L";
    if (s.contains(ssRight)) f += " R";
    if (s.contains(ssDouble)) f += " dbl";
    return f;
  }
};

void Send(QWidget& w, QEvent::Type type, Qt::MouseButton b, Qt::MouseButtons held, QPoint p,
          Qt::KeyboardModifiers m = Qt::NoModifier) {
  QMouseEvent e(type, QPointF(p), w.mapToGlobal(QPointF(p)), b, held, m);
  QApplication::sendEvent(&w, &e);
}

TEST(CustomControl, GrabShowsWhatPaintDrewOnTheCanvas) {
  Probe c;
  c.resize(40, 30);
  const QImage img = c.grab().toImage();
  EXPECT_EQ(RgbToColor(img.pixel(15, 15)), clRed);
  EXPECT_EQ(RgbToColor(img.pixel(5, 5)), clWhite);
  EXPECT_EQ(c.CanvasImage().size(), QSize(40, 30));
  EXPECT_EQ(c.PaintCount(), 1);
}

TEST(CustomControl, OverlaysStayUntilTheNextComposition) {
  Probe c;
  c.resize(40, 30);
  c.Repaint();
  EXPECT_EQ(c.PaintCount(), 1);
  TCanvas& k = *c.Canvas();
  k.Pen().SetMode(pmXor);
  k.Pen().SetColor(clWhite);
  k.MoveTo(0, 25);
  k.LineTo(40, 25);
  QImage img = c.grab().toImage();
  EXPECT_EQ(RgbToColor(img.pixel(5, 25)), clBlack);
  EXPECT_EQ(c.PaintCount(), 1);  // a paint event alone only shows the image

  c.fill = clBlue;
  c.Invalidate();
  EXPECT_EQ(c.PaintCount(), 1);
  img = c.grab().toImage();
  EXPECT_EQ(c.PaintCount(), 2);
  EXPECT_EQ(RgbToColor(img.pixel(5, 25)), clWhite);
  EXPECT_EQ(RgbToColor(img.pixel(15, 15)), clBlue);
}

TEST(CustomControl, ResizeKeepsTheImageAtTheControlSize) {
  Probe c;
  int resized = 0;
  c.OnResize = [&](TObject* s) {
    EXPECT_EQ(s, &c);
    ++resized;
  };
  c.resize(50, 20);
  EXPECT_EQ(resized, 1);
  EXPECT_EQ(c.Width(), 50);
  EXPECT_EQ(c.CanvasImage().size(), QSize(50, 20));
  EXPECT_EQ(c.Canvas()->Width(), 50);
  c.resize(0, 20);
  c.Canvas()->LineTo(10, 10);  // no image: nothing to draw on, no crash
  c.resize(30, 30);
  EXPECT_EQ(c.CanvasImage().size(), QSize(30, 30));
}

TEST(CustomControl, VisibleUnlessHidden) {
  Probe c;
  EXPECT_TRUE(c.Visible());  // never shown, still visible
  c.SetVisible(false);
  EXPECT_FALSE(c.Visible());
}

TEST(CustomControl, MouseEventsReachHandlersAndEvents) {
  Probe c;
  c.resize(40, 30);
  std::vector<std::string> events;
  c.OnMouseDown = [&](TObject* s, TMouseButton b, TShiftState, int x, int y) {
    EXPECT_EQ(s, &c);
    events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  c.OnMouseMove = [&](TObject*, TShiftState, int x, int y) { events.push_back("move " + std::to_string(x)); };
  c.OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { events.push_back("up " + std::to_string(b)); };
  c.OnClick = [&](TObject*) { events.push_back("click"); };
  c.OnDblClick = [&](TObject*) { events.push_back("dblclick"); };

  Send(c, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {5, 6}, Qt::ShiftModifier);
  Send(c, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {7, 8});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {9, 8});
  EXPECT_EQ(c.log, (std::vector<std::string>{"down 0 shift L 5,6", "move L 7,8", "up 0 9,8"}));
  EXPECT_EQ(events, (std::vector<std::string>{"down 0 5,6", "move 7", "click", "up 0"}));

  // The right button clicks nothing; a release outside is no click either.
  events.clear();
  c.log.clear();
  Send(c, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {5, 6}, Qt::ControlModifier);
  Send(c, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {5, 6});
  Send(c, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {5, 6});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {100, 6});
  EXPECT_EQ(c.log.front(), "down 1 ctrl R 5,6");
  EXPECT_EQ(events, (std::vector<std::string>{"down 1 5,6", "up 1", "down 0 5,6", "up 0"}));

  // A double click: the second press is a double-click press, not a click.
  events.clear();
  c.log.clear();
  Send(c, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {3, 3});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {3, 3});
  Send(c, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {3, 3});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {3, 3});
  EXPECT_EQ(events, (std::vector<std::string>{"down 0 3,3", "click", "up 0", "dblclick",
                                              "down 0 3,3", "up 0"}));
  EXPECT_EQ(c.log[2], "down 0 L dbl 3,3");
}

TEST(CustomControl, CursorNumbersComeFromTheScreenTable) {
  Probe c;
  c.SetCursor(crHandPoint);
  EXPECT_EQ(c.Cursor(), crHandPoint);
  EXPECT_EQ(c.cursor().shape(), Qt::PointingHandCursor);
  c.SetCursor(crCross);
  EXPECT_EQ(c.cursor().shape(), Qt::CrossCursor);
  SetScreenCursor(1000, QCursor(Qt::SizeAllCursor));
  c.SetCursor(1000);
  EXPECT_EQ(c.cursor().shape(), Qt::SizeAllCursor);
  EXPECT_EQ(ScreenCursor(4711).shape(), Qt::ArrowCursor);
}

TEST(StockControls, SpeedButtonGroups) {
  QWidget bar;
  auto* zoom = new TSpeedButton(&bar);
  auto* point = new TSpeedButton(&bar);
  int clicks = 0;
  zoom->OnClick = [&](TObject* s) {
    EXPECT_EQ(s, zoom);
    ++clicks;
  };
  zoom->click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(zoom->Down());  // ungrouped buttons spring back

  zoom->SetGroupIndex(1);
  point->SetGroupIndex(1);
  zoom->click();
  EXPECT_TRUE(zoom->Down());
  point->click();
  EXPECT_TRUE(point->Down());
  EXPECT_FALSE(zoom->Down());
  point->click();
  EXPECT_TRUE(point->Down());  // stays down without AllowAllUp
  point->SetAllowAllUp(true);
  point->click();
  EXPECT_FALSE(point->Down());
  zoom->SetDown(true);
  EXPECT_TRUE(zoom->Down());
  EXPECT_EQ(clicks, 2);
}

}  // namespace
