#include "Matrix.h"

#include <algorithm>

namespace vek {

void TMatrix::Resize(int Columns, int Rows) {
  Columns = std::max(Columns, 0);
  Rows = std::max(Rows, 0);
  if (Columns == FCols && Rows == FRows) return;
  std::vector<double> data(static_cast<size_t>(Columns) * static_cast<size_t>(Rows), 0.0);
  const int keepCols = std::min(Columns, FCols);
  const int keepRows = std::min(Rows, FRows);
  for (int r = 0; r < keepRows; ++r)
    for (int c = 0; c < keepCols; ++c)
      data[static_cast<size_t>(r) * Columns + c] = FData[static_cast<size_t>(r) * FCols + c];
  FData.swap(data);
  FCols = Columns;
  FRows = Rows;
}

void TMatrix::Fill(double Value) { std::fill(FData.begin(), FData.end(), Value); }

void TVector::SetVecSize(int N) { FData.resize(static_cast<size_t>(std::max(N, 0)), 0.0); }

void TVector::Fill(double Value) { std::fill(FData.begin(), FData.end(), Value); }

}  // namespace vek
