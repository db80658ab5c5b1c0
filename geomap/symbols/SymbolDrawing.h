// Drawing of one landmark: its symbol and its caption.
#pragma once

#include "Canvas.h"
#include "GeoMapRecords.h"

namespace vek {

// Draws a symbol of shape Kind centred on (X, Y). Size is the reach to each side (the
// arrow-head side for arrows), Direction turns the triangle and the arrows (degrees clockwise
// from up), Length is the arrow shaft. Transparent symbols are outlines without fill or halo.
// Sets the pen colour and the brush colour and style as it needs them and leaves them so;
// pen width, style and mode are used as the canvas has them.
void DrawLandMarkSymbolOnCanvas(TCanvas& Canvas, int X, int Y, TLandMarkElement Kind,
                                TColor FGColor, TColor BGColor, int Size, int Direction,
                                int Length, bool Transparent);
void DrawLandMarkSymbolOnCanvas(TCanvas* Canvas, int X, int Y, TLandMarkElement Kind,
                                TColor FGColor, TColor BGColor, int Size, int Direction,
                                int Length, bool Transparent);
// The symbol of a landmark record.
void DrawLandMarkSymbolOnCanvas(TCanvas& Canvas, int X, int Y, const TSymbolProperties& Symbol);

// Draws the caption of a landmark placed at (X, Y) on the canvas: font, colours and box from
// Caption, its reference point at (X + dx, Y + dy), aligned and turned as Caption says.
// An empty text draws nothing and changes nothing. With an alignment out of range the font
// and brush are set but no text is drawn.
void DrawLandMarkCaption(TCanvas& Canvas, int X, int Y, const TLMTextProperties& Caption);
void DrawLandMarkCaption(TCanvas* Canvas, int X, int Y, const TLMTextProperties& Caption);

// Sets the canvas's font and brush for Caption as DrawLandMarkCaption does and gives the
// top-left corner of its text cell relative to the landmark (before the font's turn about
// that corner) and the cell's size. False when DrawLandMarkCaption would draw no text.
bool LandMarkCaptionCell(TCanvas& Canvas, const TLMTextProperties& Caption, TPoint& Origin,
                         TSize& Cell);

}  // namespace vek
