// Plain value types of the drawing layer: points, rectangles, small sets of flags, font and
// alignment types. No Qt header here, so records of other units can hold these.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "VekTypes.h"

namespace vek {

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and Bottom lie just outside the rectangle, as everywhere in the drawing API.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  constexpr bool Contains(TPoint p) const {
    return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
  }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

constexpr TPoint Point(int32_t X, int32_t Y) { return {X, Y}; }
constexpr TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return {Left, Top, Right, Bottom};
}

// A set over a small enumeration (the ordinals are bit numbers), stored in Bits so that
// records holding one keep a fixed, small size.
template <class E, class Bits = uint8_t>
class TSet {
  static_assert(std::is_enum_v<E>);

 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) FBits = static_cast<Bits>(FBits | Bit(e));
  }
  static constexpr TSet FromBits(Bits b) {
    TSet s;
    s.FBits = b;
    return s;
  }
  constexpr Bits ToBits() const { return FBits; }

  constexpr bool contains(E e) const { return (FBits & Bit(e)) != 0; }
  constexpr bool Contains(E e) const { return contains(e); }
  constexpr bool empty() const { return FBits == 0; }
  constexpr TSet& Include(E e) {
    FBits = static_cast<Bits>(FBits | Bit(e));
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    FBits = static_cast<Bits>(FBits & ~Bit(e));
    return *this;
  }

  friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.FBits | b.FBits)); }
  friend constexpr TSet operator+(TSet a, E e) { return a + TSet{e}; }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.FBits & ~b.FBits)); }
  friend constexpr TSet operator-(TSet a, E e) { return a - TSet{e}; }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.FBits & b.FBits)); }
  friend constexpr bool operator==(TSet, TSet) = default;

 private:
  static constexpr Bits Bit(E e) { return static_cast<Bits>(Bits(1) << static_cast<int>(e)); }
  Bits FBits = 0;
};

enum TFontStyle : uint8_t { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
using TFontStyles = TSet<TFontStyle, uint8_t>;
using TFontName = std::string;

enum TAlignment : uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

enum TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

enum TShiftStateFlag : uint8_t {
  ssShift = 0,
  ssAlt = 1,
  ssCtrl = 2,
  ssLeft = 3,
  ssRight = 4,
  ssMiddle = 5,
  ssDouble = 6,
};
using TShiftState = TSet<TShiftStateFlag, uint16_t>;

// Screen cursor numbers; applications register their own under positive numbers.
using TCursor = int32_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

// Progress of a long image operation.
enum TProgressStage : uint8_t { psStarting = 0, psRunning = 1, psEnding = 2 };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

}  // namespace vek
