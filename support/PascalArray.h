// Fixed arrays that keep their declared bounds: PArray<T, 1, 25> is indexed 1 ... 25, and
// EArray<T, E, N> is indexed by an enumeration E with N values. Both are aggregates of one
// plain C array, so records that hold them stay trivially copyable and keep their layout.
#pragma once

#include <cassert>
#include <cstddef>

namespace vek {

template <class T, int Lo, int Hi>
struct PArray {
  static_assert(Hi >= Lo, "an array needs at least one element");
  static constexpr int Low = Lo;
  static constexpr int High = Hi;
  static constexpr int Count = Hi - Lo + 1;

  T Items[Count];

  constexpr T& operator[](int i) {
    assert(i >= Lo && i <= Hi && "index out of bounds");
    return Items[i - Lo];
  }
  constexpr const T& operator[](int i) const {
    assert(i >= Lo && i <= Hi && "index out of bounds");
    return Items[i - Lo];
  }

  static constexpr int size() { return Count; }
  constexpr T* begin() { return Items; }
  constexpr T* end() { return Items + Count; }
  constexpr const T* begin() const { return Items; }
  constexpr const T* end() const { return Items + Count; }

  friend constexpr bool operator==(const PArray& a, const PArray& b) {
    for (int i = 0; i < Count; ++i)
      if (!(a.Items[i] == b.Items[i])) return false;
    return true;
  }
};

template <class T, class E, int N>
struct EArray {
  static constexpr int Count = N;

  T Items[N];

  constexpr T& operator[](E e) {
    assert(int(e) >= 0 && int(e) < N && "index out of bounds");
    return Items[int(e)];
  }
  constexpr const T& operator[](E e) const {
    assert(int(e) >= 0 && int(e) < N && "index out of bounds");
    return Items[int(e)];
  }

  static constexpr int size() { return N; }
  constexpr T* begin() { return Items; }
  constexpr T* end() { return Items + N; }
  constexpr const T* begin() const { return Items; }
  constexpr const T* end() const { return Items + N; }

  friend constexpr bool operator==(const EArray& a, const EArray& b) {
    for (int i = 0; i < N; ++i)
      if (!(a.Items[i] == b.Items[i])) return false;
    return true;
  }
};

}  // namespace vek
