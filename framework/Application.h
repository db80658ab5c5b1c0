// Process-wide services: the screen cursor table, the clipboard and the message loop.
#pragma once

#include <QCursor>
#include <QImage>

#include "GraphicsTypes.h"

namespace vek {

class TBitmap;

// The cursor registered under a number; the standard numbers (crDefault, crCross,
// crHandPoint, ...) are preset, and unknown numbers give the default arrow.
QCursor ScreenCursor(TCursor id);
void SetScreenCursor(TCursor id, const QCursor& cursor);

// Needs a QGuiApplication.
void ClipboardSetBitmap(const TBitmap& bitmap);
bool ClipboardHasBitmap();
QImage ClipboardImage();

// Handles the pending events of the application.
void ProcessMessages();

}  // namespace vek
