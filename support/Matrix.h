// Dense matrices and vectors of doubles, indexed from 1.
// Access outside the dimensions is harmless: reads give 0, writes are ignored.
#pragma once

#include <cstddef>
#include <vector>

namespace vek {

class TMatrix {
 public:
  TMatrix() = default;
  TMatrix(int Columns, int Rows) { Resize(Columns, Rows); }

  // Elements inside both the old and the new dimensions keep their values, new ones are 0.
  // Negative dimensions count as 0.
  void Resize(int Columns, int Rows);
  int NrOfColumns() const { return FCols; }
  int NrOfRows() const { return FRows; }

  void SetVal(int Column, int Row, double Value) {
    if (Inside(Column, Row)) FData[Index(Column, Row)] = Value;
  }
  double GetVal(int Column, int Row) const {
    return Inside(Column, Row) ? FData[Index(Column, Row)] : 0.0;
  }
  void Fill(double Value);
  // Takes dimensions and values of Source.
  void Clone(const TMatrix& Source) { *this = Source; }
  void Assign(const TMatrix& Source) { *this = Source; }

 private:
  bool Inside(int Column, int Row) const {
    return Column >= 1 && Column <= FCols && Row >= 1 && Row <= FRows;
  }
  size_t Index(int Column, int Row) const {
    return static_cast<size_t>(Row - 1) * static_cast<size_t>(FCols) + static_cast<size_t>(Column - 1);
  }

  std::vector<double> FData;
  int FCols = 0;
  int FRows = 0;
};

class TVector {
 public:
  TVector() = default;
  explicit TVector(int N) { SetVecSize(N); }

  // Elements that stay keep their values, new ones are 0. A negative size counts as 0.
  void SetVecSize(int N);
  int NrOfElem() const { return static_cast<int>(FData.size()); }

  void SetVal(int I, double Value) {
    if (I >= 1 && I <= NrOfElem()) FData[static_cast<size_t>(I - 1)] = Value;
  }
  double GetVal(int I) const {
    return I >= 1 && I <= NrOfElem() ? FData[static_cast<size_t>(I - 1)] : 0.0;
  }
  void Fill(double Value);
  void Clone(const TVector& Source) { *this = Source; }
  void Assign(const TVector& Source) { *this = Source; }

 private:
  std::vector<double> FData;
};

}  // namespace vek
