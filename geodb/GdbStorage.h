// Storage of the database's indexes: inline fixed-capacity vectors for the blocks, and a
// slab pool for the blocks themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vek::gdbix {

// A vector of fixed capacity stored inline, so that a block's header, fences and records
// share one allocation.
template <class T, size_t Cap>
class TInlineVec {
 public:
  size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  T* begin() { return FData; }
  T* end() { return FData + FSize; }
  const T* begin() const { return FData; }
  const T* end() const { return FData + FSize; }
  T& operator[](size_t i) { return FData[i]; }
  const T& operator[](size_t i) const { return FData[i]; }
  const T& back() const { return FData[FSize - 1]; }
  void insert(size_t at, const T& v) {
    std::memmove(FData + at + 1, FData + at, (FSize - at) * sizeof(T));
    FData[at] = v;
    ++FSize;
  }
  void erase(size_t at) {
    std::memmove(FData + at, FData + at + 1, (FSize - at - 1) * sizeof(T));
    --FSize;
  }
  void append(const T* first, size_t n) {
    std::memcpy(FData + FSize, first, n * sizeof(T));
    FSize += n;
  }
  void resize(size_t n) { FSize = n; }

 private:
  size_t FSize = 0;
  T FData[Cap];
};

// Fixed-size objects carved from 2 MiB slabs that the kernel may back with huge pages:
// a million-item index touches thousands of blocks at random, and with 4 KiB pages nearly
// every touch would also miss the address translation cache.
template <class T>
class TSlabPool {
 public:
  TSlabPool() = default;
  TSlabPool(const TSlabPool&) = delete;
  TSlabPool& operator=(const TSlabPool&) = delete;
  ~TSlabPool() { Release(); }

  T* New() {
    void* p;
    if (!FFree.empty()) {
      p = FFree.back();
      FFree.pop_back();
    } else {
      if (FSlabs.empty() || FUsed + sizeof(Slot) > kSlab) {
        void* slab = std::aligned_alloc(kSlab, kSlab);
        if (!slab) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(slab, kSlab, MADV_HUGEPAGE);
#endif
        FSlabs.push_back(slab);
        FUsed = 0;
      }
      p = static_cast<char*>(FSlabs.back()) + FUsed;
      FUsed += sizeof(Slot);
    }
    return new (p) T;
  }
  void Delete(T* t) {
    t->~T();
    FFree.push_back(t);
  }
  // Frees the slabs; every object must have been deleted.
  void Release() {
    for (void* s : FSlabs) std::free(s);
    FSlabs.clear();
    FFree.clear();
    FUsed = 0;
  }

 private:
  static constexpr size_t kSlab = size_t(2) << 20;
  struct alignas(64) Slot {
    unsigned char Bytes[sizeof(T)];
  };
  std::vector<void*> FSlabs;
  std::vector<void*> FFree;
  size_t FUsed = 0;
};

}  // namespace vek::gdbix
