// Helpers of the database tests: a scratch directory per test, whole-file reads, a
// little-endian byte builder, and the plain-array index algorithm as a reference model.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Vek_geodb.h"

namespace geodbtest {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& name, const Bytes& b) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Builds byte images at explicit offsets, independent of the library's encoders.
struct ByteImage {
  Bytes B;
  explicit ByteImage(size_t n = 0) : B(n, 0) {}
  void I32(size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) B[at + i] = static_cast<uint8_t>(u >> (8 * i));
  }
  void F32(size_t at, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    I32(at, static_cast<int32_t>(u));
  }
  void F64(size_t at, double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) B[at + i] = static_cast<uint8_t>(u >> (8 * i));
  }
  void U8(size_t at, uint8_t v) { B[at] = v; }
  // A short string: length byte, the characters, then Fill up to Capacity.
  void Str(size_t at, const std::string& s, size_t capacity, uint8_t fill = 0) {
    B[at] = static_cast<uint8_t>(s.size());
    for (size_t i = 0; i < capacity; ++i) B[at + 1 + i] = i < s.size() ? static_cast<uint8_t>(s[i]) : fill;
  }
  void Append(const Bytes& o) { B.insert(B.end(), o.begin(), o.end()); }
};

class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string leaf = std::string("vekgeo_db_") + info->test_suite_name() + "_" + info->name();
    for (char& c : leaf)
      if (c == '/') c = '_';
    Path = (std::filesystem::temp_directory_path() / leaf).string();
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string operator/(const std::string& leaf) const { return Path + "/" + leaf; }
  std::string Path;
};

// Exposes the internal workers for the tests.
class TestDB : public vek::TGeoDB {
 public:
  using vek::TGeoDB::AddData;
  using vek::TGeoDB::ReplaceData;
  using vek::TGeoDB::TGeoDB;
};

// ---- the index algorithm on plain arrays, written out step by step ----

inline bool FloatGreater(double key, float e) { return key > e || std::isnan(key) || std::isnan(e); }

// 1-based closest position by the bisection over the whole array.
template <class Rec, class KeyOf, class Greater>
int LiteralClosest(const std::vector<Rec>& a, size_t n, double key, KeyOf keyOf, Greater greater) {
  if (n == 0) return 1;
  long lo = 0, hi = static_cast<long>(n) - 1, mid = 0;
  bool match = false;
  while (lo <= hi && !match) {
    mid = (lo + hi) / 2;
    const auto e = keyOf(a[static_cast<size_t>(mid)]);
    if (greater(key, e))
      lo = mid + 1;
    else if (key != static_cast<double>(e))
      hi = mid - 1;
    else
      match = true;
  }
  return greater(key, keyOf(a[static_cast<size_t>(mid)])) ? static_cast<int>(mid) + 2 : static_cast<int>(mid) + 1;
}

inline int LiteralClosestLL(const std::vector<vek::TIxLLRec>& a, double key) {
  return LiteralClosest(a, a.size(), key, [](const vek::TIxLLRec& r) { return r.LLValue; }, FloatGreater);
}
inline int LiteralClosestID(const std::vector<vek::TIxItemIDRec>& a, int32_t key) {
  return LiteralClosest(a, a.size(), key, [](const vek::TIxItemIDRec& r) { return r.ItemID; },
                        [](double k, int32_t e) { return k > e; });
}

// Array of n records plus one free last slot.
inline void LiteralSortInto(std::vector<vek::TIxLLRec>& ix, const vek::TIxLLRec& rec) {
  const size_t n = ix.size() - 1;
  size_t pos = 0;
  if (n > 0)
    pos = static_cast<size_t>(
              LiteralClosest(ix, n, rec.LLValue, [](const vek::TIxLLRec& r) { return r.LLValue; }, FloatGreater)) -
          1;
  for (size_t k = n; k > pos; --k) ix[k] = ix[k - 1];
  ix[pos] = rec;
}
inline void LiteralSortInto(std::vector<vek::TIxItemIDRec>& ix, const vek::TIxItemIDRec& rec) {
  const size_t n = ix.size() - 1;
  size_t pos = 0;
  if (n > 0)
    pos = static_cast<size_t>(LiteralClosest(ix, n, rec.ItemID, [](const vek::TIxItemIDRec& r) { return r.ItemID; },
                                             [](double k, int32_t e) { return k > e; })) -
          1;
  for (size_t k = n; k > pos; --k) ix[k] = ix[k - 1];
  ix[pos] = rec;
}

// The in-memory state of a database kept with plain arrays and linear moves.
struct LiteralModel {
  std::vector<vek::TgdbData> Items;
  std::vector<vek::TIxItemIDRec> Ix0;
  std::vector<vek::TIxLLRec> Ix[5];  // 1..4 used
  int32_t HighestID = 0;

  static float Key(int i, const vek::TgdbData& d) {
    return i == 1 ? d.LatLow : i == 2 ? d.LatHigh : i == 3 ? d.LongLow : d.LongHigh;
  }
  void Insert(int entry, const vek::TgdbData& d) {
    LiteralSortInto(Ix0, {d.ItemId, entry - 1});
    for (int i = 1; i <= 4; ++i) LiteralSortInto(Ix[i], {Key(i, d), entry - 1});
  }
  template <class V>
  static void RemoveFrom(V& a, size_t count, int entry) {
    for (size_t p = 0; p < count; ++p)
      if (a[p].index + 1 == entry) {
        for (size_t q = p + 1; q < count; ++q) a[q - 1] = a[q];
        return;
      }
  }
  void Remove(int entry) {
    RemoveFrom(Ix0, Items.size(), entry);
    for (int i = 1; i <= 4; ++i) RemoveFrom(Ix[i], Items.size(), entry);
  }
  void Add(vek::TgdbData d) {
    d.ItemId = ++HighestID;
    Items.push_back(d);
    Ix0.emplace_back();
    for (int i = 1; i <= 4; ++i) Ix[i].emplace_back();
    Insert(static_cast<int>(Items.size()), d);
  }
  void Replace(int entry, vek::TgdbData d) {
    d.ItemId = Items[static_cast<size_t>(entry - 1)].ItemId;
    Items[static_cast<size_t>(entry - 1)] = d;
    Remove(entry);
    Insert(entry, d);
  }
  void Delete(int entry) {
    const int count = static_cast<int>(Items.size());
    Items[static_cast<size_t>(entry - 1)] = Items.back();
    Remove(entry);
    auto redirect = [&](auto& a) {
      for (auto& r : a)
        if (r.index == count - 1) {
          r.index = entry - 1;
          break;
        }
    };
    redirect(Ix0);
    for (int i = 1; i <= 4; ++i) redirect(Ix[i]);
    Items.pop_back();
    Ix0.resize(Items.size());
    for (int i = 1; i <= 4; ++i) Ix[i].resize(Items.size());
  }
  Bytes IndexBytes(int i) const {
    Bytes b;
    ByteImage img(8);
    if (i == 0) {
      for (const auto& r : Ix0) {
        img.I32(0, r.ItemID);
        img.I32(4, r.index);
        b.insert(b.end(), img.B.begin(), img.B.end());
      }
    } else {
      for (const auto& r : Ix[i]) {
        img.F32(0, r.LLValue);
        img.I32(4, r.index);
        b.insert(b.end(), img.B.begin(), img.B.end());
      }
    }
    return b;
  }
};

inline std::string IndexName(const std::string& base, int i) { return base + ".vekgi" + std::to_string(i); }

}  // namespace geodbtest
