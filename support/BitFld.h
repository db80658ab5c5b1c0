// A field of bits numbered from 1.
#pragma once

#include <cstdint>
#include <vector>

namespace vek {

class TBitFld {
 public:
  TBitFld() = default;
  explicit TBitFld(int N) { SetSize(N); }

  // Bits 1 to N become usable; bits that stay keep their value, new bits are false.
  void SetSize(int N);
  int Size() const { return FSize; }
  void Clear();
  // Bits outside 1..Size are ignored on writing and read as false.
  void SetBit(int I, bool Value);
  bool GetBit(int I) const;
  int CountSet() const;

 private:
  std::vector<uint64_t> FWords;
  int FSize = 0;
};

}  // namespace vek
