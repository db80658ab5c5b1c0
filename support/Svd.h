// Linear least squares by singular value decomposition (Golub-Reinsch), used by the
// calibration fits. Robust against rank-deficient design matrices: singular values below
// 1e-14 of the largest are treated as zero, which yields the minimum-norm solution.
#pragma once

#include "Matrix.h"

namespace vek {

// Decomposes A (NrOfRows() = m observations, NrOfColumns() = n parameters) into
// U * diag(W) * V^T. A is overwritten by U; W gets n elements, V becomes n x n. A matrix with
// fewer rows than columns is first extended by zero rows to n rows (U is then n x n).
// The singular values are not sorted; all are >= 0.
// Advances ProcStat once per step of its four loops, calls MathFeedBackProc when assigned and
// stops with false as soon as AbortMathProc is set. Also false when a singular value does not
// converge within 30 QR sweeps.
bool SVDecomposition(TMatrix& A, TVector& W, TMatrix& V);

// X := V * diag(1/W) * U^T * B, where zero singular values contribute nothing. B holds one
// value per row of U (missing values count as 0).
void SVBackSubstitution(const TMatrix& U, const TVector& W, const TMatrix& V, const TVector& B,
                        TVector& X);

// Least-squares solution X (n elements) of A * X = B. A is left untouched so that the caller
// can solve for another right-hand side. False when the decomposition failed; X is then
// unchanged.
bool SolveBySVD(const TMatrix& A, const TVector& B, TVector& X);

}  // namespace vek
