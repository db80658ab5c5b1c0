#include "BitFld.h"

#include <bit>
#include <cstddef>

namespace vek {

void TBitFld::SetSize(int N) {
  if (N < 0) N = 0;
  FWords.resize((static_cast<size_t>(N) + 63) / 64, 0);
  // Bits beyond the new size must read false if the field grows again later.
  if (N % 64 != 0) FWords.back() &= (uint64_t{1} << (N % 64)) - 1;
  FSize = N;
}

void TBitFld::Clear() {
  for (auto& w : FWords) w = 0;
}

void TBitFld::SetBit(int I, bool Value) {
  if (I < 1 || I > FSize) return;
  const size_t ix = static_cast<size_t>(I - 1);
  const uint64_t mask = uint64_t{1} << (ix % 64);
  if (Value)
    FWords[ix / 64] |= mask;
  else
    FWords[ix / 64] &= ~mask;
}

bool TBitFld::GetBit(int I) const {
  if (I < 1 || I > FSize) return false;
  const size_t ix = static_cast<size_t>(I - 1);
  return (FWords[ix / 64] >> (ix % 64)) & 1u;
}

int TBitFld::CountSet() const {
  int n = 0;
  for (auto w : FWords) n += std::popcount(w);
  return n;
}

}  // namespace vek
