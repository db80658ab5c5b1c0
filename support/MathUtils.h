// Small numeric helpers and the progress/abort state of long computations.
#pragma once

#include <functional>

namespace vek {

// Counter that long computations advance; MathFeedBackProc, when assigned, is called with it.
// Setting AbortMathProc makes such computations stop and report failure.
// Global state of the GUI thread: not synchronised.
inline double ProcStat = 0.0;
inline std::function<void(double)> MathFeedBackProc;
inline bool AbortMathProc = false;

// Degrees to radians: the one conversion factor of the library's angle code.
constexpr double DegToRad(double Degrees) { return Degrees * (3.14159265358979323846 / 180.0); }

// Great-circle distance between two points given in degrees, in the unit of Radius.
double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2);

// The value of the series ..., 0.1, 0.2, 0.5, 1, 2, 5, 10, ... nearest to X (by distance;
// the midpoints 1.5, 3.5, 7.5 times a power of ten go up). The sign is kept; 0, NaN and
// infinities give 0.
double Round125(double X);

// True with probability P (P <= 0 never, P >= 1 always).
bool BRandom(double P);
// Seeds the generator behind BRandom, for reproducible sampling.
void BRandomSeed(unsigned Seed);

inline void ExChange(int& A, int& B) { const int T = A; A = B; B = T; }
inline void ExChange(double& A, double& B) { const double T = A; A = B; B = T; }

}  // namespace vek
