#include "Svd.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "MathUtils.h"

namespace vek {

namespace {

// Row-major dense matrix with 1-based indices, local to the decomposition.
class Dense {
 public:
  Dense(int Rows, int Cols) : FRows(Rows), FCols(Cols), FData(size_t(Rows) * size_t(Cols), 0.0) {}
  double& operator()(int i, int j) { return FData[size_t(i - 1) * size_t(FCols) + size_t(j - 1)]; }

 private:
  int FRows, FCols;
  std::vector<double> FData;
};

double Sign(double A, double B) { return B >= 0.0 ? std::fabs(A) : -std::fabs(A); }

// sqrt(a^2 + b^2) without destructive over- or underflow.
double Pythag(double A, double B) {
  const double AbsA = std::fabs(A), AbsB = std::fabs(B);
  if (AbsA > AbsB) return AbsA * std::sqrt(1.0 + (AbsB / AbsA) * (AbsB / AbsA));
  return AbsB == 0.0 ? 0.0 : AbsB * std::sqrt(1.0 + (AbsA / AbsB) * (AbsA / AbsB));
}

// One step of a long computation: progress report and the chance to abort.
bool Step() {
  ProcStat += 1.0;
  if (MathFeedBackProc) MathFeedBackProc(ProcStat);
  return !AbortMathProc;
}

}  // namespace

bool SVDecomposition(TMatrix& A, TVector& W, TMatrix& V) {
  const int n = A.NrOfColumns();
  // Fewer observations than parameters: zero rows make the system square without changing
  // its solutions, and keep every access inside the matrix.
  const int m = std::max(A.NrOfRows(), n);
  W.SetVecSize(n);
  V.Resize(n, n);
  if (n == 0) return true;

  Dense a(m, n), v(n, n);
  for (int i = 1; i <= A.NrOfRows(); ++i)
    for (int j = 1; j <= n; ++j) a(i, j) = A.GetVal(j, i);
  std::vector<double> w(size_t(n) + 1, 0.0), rv1(size_t(n) + 1, 0.0);

  // Householder reduction to bidiagonal form.
  double g = 0.0, scale = 0.0, anorm = 0.0, s, f, h, c, x, y, z;
  int l = 1, nm;
  for (int i = 1; i <= n; ++i) {
    if (!Step()) return false;
    l = i + 1;
    rv1[i] = scale * g;
    g = s = scale = 0.0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0.0) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        f = a(i, i);
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0.0;
          for (int k = i; k <= m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0.0) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        f = a(i, l);
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k) rv1[k] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0.0;
          for (int k = l; k <= n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k) a(j, k) += s * rv1[k];
        }
        for (int k = l; k <= n; ++k) a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
  }

  // Accumulation of the right-hand transformations.
  for (int i = n; i >= 1; --i) {
    if (!Step()) return false;
    if (i < n) {
      if (g != 0.0) {
        for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;  // double division avoids underflow
        for (int j = l; j <= n; ++j) {
          s = 0.0;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j) v(i, j) = v(j, i) = 0.0;
    }
    v(i, i) = 1.0;
    g = rv1[i];
    l = i;
  }

  // Accumulation of the left-hand transformations.
  for (int i = std::min(m, n); i >= 1; --i) {
    if (!Step()) return false;
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j) a(i, j) = 0.0;
    if (g != 0.0) {
      g = 1.0 / g;
      for (int j = l; j <= n; ++j) {
        s = 0.0;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j) a(j, i) = 0.0;
    }
    a(i, i) += 1.0;
  }

  // Diagonalisation of the bidiagonal form by implicit-shift QR, last value first.
  for (int k = n; k >= 1; --k) {
    if (!Step()) return false;
    for (int its = 1; its <= 30; ++its) {
      bool flag = true;
      for (l = k; l >= 1; --l) {
        nm = l - 1;
        // rv1[1] is always 0, so the loop ends at l = 1 at the latest.
        if (std::fabs(rv1[l]) + anorm == anorm) {
          flag = false;
          break;
        }
        if (std::fabs(w[nm]) + anorm == anorm) break;
      }
      if (flag) {
        // Cancellation of rv1[l] when w[l-1] is negligible.
        nm = l - 1;
        c = 0.0;
        s = 1.0;
        for (int i = l; i <= k; ++i) {
          f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (std::fabs(f) + anorm == anorm) break;
          g = w[i];
          h = Pythag(f, g);
          w[i] = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            y = a(j, nm);
            z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = z * c - y * s;
          }
        }
      }
      z = w[k];
      if (l == k) {  // converged
        if (z < 0.0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      if (its == 30) return false;
      // Shift from the bottom 2 x 2 minor.
      x = w[l];
      nm = k - 1;
      y = w[nm];
      g = rv1[nm];
      h = rv1[k];
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = Pythag(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(g, f))) - h)) / x;
      // Next QR transformation.
      c = s = 1.0;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = Pythag(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = z * c - x * s;
        }
        z = Pythag(f, h);
        w[j] = z;
        if (z != 0.0) {  // rotation can be arbitrary when z = 0
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = z * c - y * s;
        }
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }

  A.Resize(n, m);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) A.SetVal(j, i, a(i, j));
  for (int i = 1; i <= n; ++i) {
    W.SetVal(i, w[size_t(i)]);
    for (int j = 1; j <= n; ++j) V.SetVal(j, i, v(i, j));
  }
  return true;
}

void SVBackSubstitution(const TMatrix& U, const TVector& W, const TMatrix& V, const TVector& B,
                        TVector& X) {
  const int n = W.NrOfElem();
  const int m = U.NrOfRows();
  std::vector<double> t(size_t(n) + 1, 0.0);
  for (int j = 1; j <= n; ++j) {
    if (W.GetVal(j) != 0.0) {
      double s = 0.0;
      for (int i = 1; i <= m; ++i) s += U.GetVal(j, i) * B.GetVal(i);
      t[size_t(j)] = s / W.GetVal(j);
    }
  }
  X.SetVecSize(n);
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    for (int jj = 1; jj <= n; ++jj) s += V.GetVal(jj, j) * t[size_t(jj)];
    X.SetVal(j, s);
  }
}

bool SolveBySVD(const TMatrix& A, const TVector& B, TVector& X) {
  TMatrix U = A;
  TVector W;
  TMatrix V;
  if (!SVDecomposition(U, W, V)) return false;
  double WMax = 0.0;
  for (int j = 1; j <= W.NrOfElem(); ++j) WMax = std::max(WMax, W.GetVal(j));
  const double Threshold = WMax * 1.0e-14;
  for (int j = 1; j <= W.NrOfElem(); ++j)
    if (W.GetVal(j) < Threshold) W.SetVal(j, 0.0);
  SVBackSubstitution(U, W, V, B, X);
  return true;
}

}  // namespace vek
