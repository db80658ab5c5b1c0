// Helmert shift between a table datum and WGS 84.
#include "DatumShift.h"

#include <numbers>

namespace vek {

namespace {

constexpr double ArcSecToRad = std::numbers::pi / 180.0 / 3600.0;

struct TShift {
  double tx, ty, tz;  // translation, metres
  double k;           // 1 + scale
  double wx, wy, wz;  // rotations, radians
};

TShift ShiftOf(const TDatumEntry& d) {
  return {d.dX, d.dY, d.dZ, 1.0 + d.Scale * 1e-6,
          d.rX * ArcSecToRad, d.rY * ArcSecToRad, d.rZ * ArcSecToRad};
}

}  // namespace

TCartesian DatumToWGS84(const TDatumEntry& datum, const TCartesian& p) {
  const TShift s = ShiftOf(datum);
  return {s.k * (p.X - s.wz * p.Y + s.wy * p.Z) + s.tx,
          s.k * (p.Y + s.wz * p.X - s.wx * p.Z) + s.ty,
          s.k * (p.Z - s.wy * p.X + s.wx * p.Y) + s.tz};
}

TCartesian WGS84ToDatum(const TDatumEntry& datum, const TCartesian& p) {
  // Undo the translation first, then scale and rotation. The small-angle matrix I + [w]x is not
  // orthogonal, so its transpose inverts it only to first order (millimetres at a few
  // arc-seconds); the exact inverse is (I − [w]x + w·wᵀ) / (1 + |w|²).
  const TShift s = ShiftOf(datum);
  const double vx = p.X - s.tx, vy = p.Y - s.ty, vz = p.Z - s.tz;
  const double wv = s.wx * vx + s.wy * vy + s.wz * vz;
  const double q = 1.0 / (s.k * (1.0 + s.wx * s.wx + s.wy * s.wy + s.wz * s.wz));
  return {(vx - (s.wy * vz - s.wz * vy) + s.wx * wv) * q,
          (vy - (s.wz * vx - s.wx * vz) + s.wy * wv) * q,
          (vz - (s.wx * vy - s.wy * vx) + s.wz * wv) * q};
}

}  // namespace vek
