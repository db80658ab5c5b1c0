#include "Application.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <map>
#include <mutex>

#include "Bitmap.h"

namespace vek {

namespace {

std::map<TCursor, QCursor>& CursorTable() {
  static std::map<TCursor, QCursor> table = [] {
    return std::map<TCursor, QCursor>{
        {crDefault, QCursor(Qt::ArrowCursor)},     {crNone, QCursor(Qt::BlankCursor)},
        {crArrow, QCursor(Qt::ArrowCursor)},       {crCross, QCursor(Qt::CrossCursor)},
        {crIBeam, QCursor(Qt::IBeamCursor)},       {crSizeNESW, QCursor(Qt::SizeBDiagCursor)},
        {crSizeNS, QCursor(Qt::SizeVerCursor)},    {crSizeNWSE, QCursor(Qt::SizeFDiagCursor)},
        {crSizeWE, QCursor(Qt::SizeHorCursor)},    {crUpArrow, QCursor(Qt::UpArrowCursor)},
        {crHourGlass, QCursor(Qt::WaitCursor)},    {crDrag, QCursor(Qt::DragCopyCursor)},
        {crNoDrop, QCursor(Qt::ForbiddenCursor)},  {crHSplit, QCursor(Qt::SplitHCursor)},
        {crVSplit, QCursor(Qt::SplitVCursor)},     {crMultiDrag, QCursor(Qt::DragCopyCursor)},
        {crSQLWait, QCursor(Qt::WaitCursor)},      {crNo, QCursor(Qt::ForbiddenCursor)},
        {crAppStart, QCursor(Qt::BusyCursor)},     {crHelp, QCursor(Qt::WhatsThisCursor)},
        {crHandPoint, QCursor(Qt::PointingHandCursor)}, {crSizeAll, QCursor(Qt::SizeAllCursor)},
    };
  }();
  return table;
}

QClipboard* Clipboard() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw EVEKError("The clipboard needs a running GUI application");
  return QGuiApplication::clipboard();
}

}  // namespace

QCursor ScreenCursor(TCursor id) {
  auto& t = CursorTable();
  auto it = t.find(id);
  return it != t.end() ? it->second : t.at(crDefault);
}

void SetScreenCursor(TCursor id, const QCursor& cursor) { CursorTable()[id] = cursor; }

void ClipboardSetBitmap(const TBitmap& bitmap) { Clipboard()->setImage(bitmap.Image()); }

bool ClipboardHasBitmap() {
  const QMimeData* m = Clipboard()->mimeData();
  return m && m->hasImage();
}

QImage ClipboardImage() { return Clipboard()->image(); }

void ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace vek
