#include "GshhgReader.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <unordered_map>

namespace vek::viewer {

namespace {

// Relative coordinates inside a bin run from 0 to this value on each side.
constexpr int32_t kBinUnits = 65535;
// Borders use levels 1 ... 3, rivers 0 ... 10; anything beyond is no line of the data set.
constexpr int kMaxLineLevel = 15;

class TNcFile {
 public:
  explicit TNcFile(const std::string& Name) : FName(Name) {
    Check(nc_open(Name.c_str(), NC_NOWRITE, &FId), "cannot open");
  }
  ~TNcFile() { nc_close(FId); }
  TNcFile(const TNcFile&) = delete;
  TNcFile& operator=(const TNcFile&) = delete;

  bool Has(const char* Var) const {
    int v;
    return nc_inq_varid(FId, Var, &v) == NC_NOERR;
  }
  int Scalar(const char* Var) const {
    int v, value = 0;
    Check(nc_inq_varid(FId, Var, &v), Var);
    Check(nc_get_var_int(FId, v, &value), Var);
    return value;
  }
  template <class T>
  std::vector<T> Array(const char* Var) const {
    int v, ndims = 0;
    Check(nc_inq_varid(FId, Var, &v), Var);
    Check(nc_inq_varndims(FId, v, &ndims), Var);
    if (ndims != 1) Fail(std::string(Var) + " is not a one-dimensional array");
    int dim;
    size_t len = 0;
    Check(nc_inq_vardimid(FId, v, &dim), Var);
    Check(nc_inq_dimlen(FId, dim, &len), Var);
    // The full-resolution files hold about 12 million points.
    if (len > (size_t(1) << 26)) Fail(std::string(Var) + " is implausibly long");
    std::vector<T> out(len);
    if (len == 0) return out;
    int rc;
    if constexpr (std::is_same_v<T, int>) rc = nc_get_var_int(FId, v, out.data());
    else if constexpr (std::is_same_v<T, short>) rc = nc_get_var_short(FId, v, out.data());
    else if constexpr (std::is_same_v<T, double>) rc = nc_get_var_double(FId, v, out.data());
    else rc = nc_get_var_schar(FId, v, out.data());
    Check(rc, Var);
    return out;
  }
  [[noreturn]] void Fail(const std::string& What) const {
    throw EGshhgError("GSHHG file " + FName + ": " + What + ".");
  }

 private:
  void Check(int Rc, const std::string& What) const {
    if (Rc != NC_NOERR) Fail(What + ": " + nc_strerror(Rc));
  }
  std::string FName;
  int FId = -1;
};

// A point in whole bin units from the south-west corner of the globe (longitude 0, latitude
// -90), so that the end of a piece and the start of its continuation in the next bin compare
// exactly.
struct TGPoint {
  int32_t X, Y;
};

struct TPiece {
  int Group;  // polygon id (shore) or level (lines): only pieces of one group are joined
  std::vector<TGPoint> P;
};

struct TGrid {
  int Nx = 0, Ny = 0;
  double Scale = 0;  // degrees per unit

  int64_t Key(TGPoint p) const {
    int64_t w = int64_t(Nx) * kBinUnits;
    int64_t x = p.X % w;  // longitude 360 is longitude 0
    return x * (int64_t(Ny) * kBinUnits + 1) + p.Y;
  }
};

TGrid ReadGrid(const TNcFile& F) {
  TGrid g;
  int minutes = F.Scalar("Bin_size_in_minutes");
  g.Nx = F.Scalar("N_bins_in_360_longitude_range");
  g.Ny = F.Scalar("N_bins_in_180_degree_latitude_range");
  if (minutes <= 0 || g.Nx <= 0 || g.Ny <= 0 || int64_t(g.Nx) * minutes != 360 * 60 ||
      int64_t(g.Ny) * minutes != 180 * 60)
    F.Fail("inconsistent bin layout");
  g.Scale = minutes / 60.0 / kBinUnits;
  return g;
}

// Pieces of the segments of one bin, in global units. FirstSeg/NSeg index the segment arrays,
// SegStart/SegCount the point arrays; all are checked against the array sizes.
struct TBinGeometry {
  int32_t X0, Y0;  // south-west corner in units
};

TBinGeometry BinCorner(const TGrid& g, int Bin) {
  int col = Bin % g.Nx, rowFromNorth = Bin / g.Nx;
  return {int32_t(col) * kBinUnits, int32_t(g.Ny - 1 - rowFromNorth) * kBinUnits};
}

std::vector<TGPoint> ReadPiecePoints(const TNcFile& F, const TBinGeometry& b, int Start,
                                     int Count, const std::vector<short>& Dx,
                                     const std::vector<short>& Dy) {
  if (Start < 0 || Count < 0 || size_t(Start) + size_t(Count) > Dx.size())
    F.Fail("segment points outside the point arrays");
  std::vector<TGPoint> p(static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i)
    p[i] = {b.X0 + int32_t(uint16_t(Dx[Start + i])), b.Y0 + int32_t(uint16_t(Dy[Start + i]))};
  return p;
}

// Links every piece to the piece that continues it (-1: none). Greedy joins the first free
// piece starting where a piece ends (the pieces of one polygon); otherwise a join is made only
// where exactly one piece ends and exactly one starts: the cuts at bin edges and the arcs the
// data set splits its lines into, but not the junctions where other lines meet.
std::vector<int> LinkPieces(const TGrid& g, const std::vector<TPiece>& Pieces,
                            const std::vector<int>& Members, bool Greedy) {
  std::unordered_multimap<int64_t, int> starts, ends;
  for (int i : Members) {
    starts.emplace(g.Key(Pieces[i].P.front()), i);
    ends.emplace(g.Key(Pieces[i].P.back()), i);
  }
  std::vector<int> next(Pieces.size(), -1);
  std::vector<char> taken(Pieces.size(), 0);
  for (int i : Members) {
    TGPoint e = Pieces[i].P.back();
    int64_t k = g.Key(e);
    if (g.Key(Pieces[i].P.front()) == k && Pieces[i].P.size() > 2) continue;  // a ring already
    if (Greedy) {
      auto [a, z] = starts.equal_range(k);
      for (auto it = a; it != z; ++it)
        if (it->second != i && !taken[it->second]) {
          next[i] = it->second;
          taken[it->second] = true;
          break;
        }
    } else if (starts.count(k) == 1 && ends.count(k) == 1) {
      int j = starts.find(k)->second;
      if (j != i) next[i] = j;
    }
  }
  return next;
}

double Wrap180(double d) {
  while (d > 180) d -= 360;
  while (d < -180) d += 360;
  return d;
}

// Degrees with continuous longitudes; rings around a pole are closed across it.
TGshhgFeature ToFeature(const TGrid& g, std::vector<TGPoint> pts, bool Closed) {
  TGshhgFeature f;
  f.Closed = Closed;
  if (Closed && pts.size() > 1 && g.Key(pts.front()) == g.Key(pts.back())) pts.pop_back();
  auto lonOf = [&](const TGPoint& p) { return p.X * g.Scale; };
  // The winding in longitude tells whether a ring goes round a pole.
  double turn = 0;
  if (Closed)
    for (size_t i = 0; i < pts.size(); ++i)
      turn += Wrap180(lonOf(pts[(i + 1) % pts.size()]) - lonOf(pts[i]));
  f.AroundPole = Closed && std::fabs(turn) > 180;
  if (f.AroundPole) {
    // Start where the ring meets the antimeridian so the closure runs along it.
    size_t best = 0;
    double bestD = 1e9;
    for (size_t i = 0; i < pts.size(); ++i) {
      double d = std::fabs(Wrap180(lonOf(pts[i]) - 180));
      if (d < bestD) bestD = d, best = i;
    }
    std::rotate(pts.begin(), pts.begin() + std::ptrdiff_t(best), pts.end());
  }
  std::vector<double> lon(pts.size()), lat(pts.size());
  double minLat = 90;
  for (size_t i = 0; i < pts.size(); ++i) {
    lat[i] = -90 + pts[i].Y * g.Scale;
    lon[i] = i == 0 ? lonOf(pts[0]) : lon[i - 1] + Wrap180(lonOf(pts[i]) - lonOf(pts[i - 1]));
    minLat = std::min(minLat, lat[i]);
  }
  double shift = 0;
  if (!lon.empty()) {
    if (f.AroundPole) {
      // The ring then spans -180 ... 180 (or 180 ... -180).
      shift = (turn > 0 ? -180.0 : 180.0) - lon[0];
      shift = 360 * std::round(shift / 360);
    } else {
      auto [lo, hi] = std::minmax_element(lon.begin(), lon.end());
      double centre = (*lo + *hi) / 2;
      shift = -360 * std::floor((centre + 180) / 360);
    }
  }
  f.Points.reserve(pts.size() + 2);
  for (size_t i = 0; i < pts.size(); ++i)
    f.Points.push_back({float(lat[i]), float(lon[i] + shift)});
  if (f.AroundPole && !pts.empty()) {
    // Back to the first point one turn further on, down the meridian to the pole, along
    // the pole and up again.
    float pole = minLat < 0 ? -90.f : 90.f;
    TSCoords first = f.Points.front();
    float end = float(lon[0] + shift + (turn > 0 ? 360 : -360));
    f.Points.push_back({first.Latit, end});
    f.Points.push_back({pole, end});
    f.Points.push_back({pole, first.Longit});
  }
  return f;
}

// Joins the pieces of each group into chains and converts them.
template <class OnChain>
void AssemblePieces(const TGrid& g, const std::vector<TPiece>& Pieces, bool Greedy,
                    OnChain Emit) {
  std::unordered_map<int, std::vector<int>> groups;
  std::vector<int> order;  // groups in order of first appearance, for a stable result
  for (int i = 0; i < int(Pieces.size()); ++i) {
    auto& m = groups[Pieces[i].Group];
    if (m.empty()) order.push_back(Pieces[i].Group);
    m.push_back(i);
  }
  std::vector<char> used(Pieces.size(), 0);
  for (int grp : order) {
    const auto& members = groups[grp];
    std::vector<int> next = LinkPieces(g, Pieces, members, Greedy);
    std::vector<char> hasPrev(Pieces.size(), 0);
    for (int i : members)
      if (next[i] >= 0) hasPrev[next[i]] = 1;
    auto walk = [&](int first) {
      std::vector<TGPoint> chain;
      int i = first;
      bool cycle = false;
      while (i >= 0 && !used[i]) {
        used[i] = 1;
        const auto& p = Pieces[i].P;
        chain.insert(chain.end(), p.begin() + (chain.empty() ? 0 : 1), p.end());
        i = next[i];
        cycle = i == first;
      }
      bool closed = cycle || (chain.size() > 2 && g.Key(chain.front()) == g.Key(chain.back()));
      Emit(grp, std::move(chain), closed);
    };
    for (int i : members)  // chains with a beginning first, then what is left: cycles
      if (!hasPrev[i] && !used[i]) walk(i);
    for (int i : members)
      if (!used[i]) walk(i);
  }
}

// Two closed chains (first point repeated at the end) that pass through one point become one
// ring into A: A up to the point, then B once round from it. False when they share no point.
bool MergeRingsAtSharedPoint(const TGrid& g, std::vector<TGPoint>& A, const std::vector<TGPoint>& B) {
  if (A.size() < 2 || B.size() < 2) return false;
  std::unordered_map<int64_t, size_t> inB;
  for (size_t j = 0; j + 1 < B.size(); ++j) inB.emplace(g.Key(B[j]), j);
  for (size_t i = 0; i < A.size(); ++i) {
    const auto at = inB.find(g.Key(A[i]));
    if (at == inB.end()) continue;
    std::vector<TGPoint> merged(A.begin(), A.begin() + std::ptrdiff_t(i) + 1);
    const size_t n = B.size() - 1, j = at->second;
    for (size_t k = 1; k <= n; ++k) merged.push_back(B[(j + k) % n]);
    merged.insert(merged.end(), A.begin() + std::ptrdiff_t(i) + 1, A.end());
    A = std::move(merged);
    return true;
  }
  return false;
}

}  // namespace

std::vector<TGshhgFeature> ReadGshhgShore(const std::string& FileName) {
  TNcFile F(FileName);
  TGrid g = ReadGrid(F);
  auto binFirst = F.Array<int>("Id_of_first_segment_in_a_bin");
  auto binCount = F.Array<short>("N_segments_in_a_bin");
  auto segInfo = F.Array<int>("Embedded_npts_levels_exit_entry_for_a_segment");
  auto segStart = F.Array<int>("Id_of_first_point_in_a_segment");
  auto segId = F.Array<int>("Id_of_GSHHS_ID");
  auto area = F.Array<double>("The_km_squared_area_of_polygons");
  std::vector<signed char> ant;
  if (F.Has("Embedded_ANT_flag")) ant = F.Array<signed char>("Embedded_ANT_flag");
  auto dx = F.Array<short>("Relative_longitude_from_SW_corner_of_bin");
  auto dy = F.Array<short>("Relative_latitude_from_SW_corner_of_bin");
  if (binFirst.size() != binCount.size() || binFirst.size() != size_t(g.Nx) * size_t(g.Ny) ||
      segStart.size() != segInfo.size() || segId.size() != segInfo.size() ||
      (!ant.empty() && ant.size() != segInfo.size()) || dx.size() != dy.size())
    F.Fail("array sizes do not agree");

  std::vector<TPiece> pieces;
  std::unordered_map<int, std::pair<int, bool>> polygonLevel;  // id -> level, river lake
  for (int b = 0; b < int(binFirst.size()); ++b) {
    int first = binFirst[b], count = binCount[b];
    if (count <= 0) continue;
    if (first < 0 || size_t(first) + size_t(count) > segInfo.size())
      F.Fail("bin segments outside the segment arrays");
    TBinGeometry corner = BinCorner(g, b);
    for (int s = first; s < first + count; ++s) {
      int info = segInfo[s];
      int level = (info >> 6) & 7;
      int npts = int(uint32_t(info) >> 9);
      if (!ant.empty() && ant[s]) level = 1;  // the Antarctic ice front is its coastline
      else if (level == 6) continue;          // the grounding line behind it is left out
      else if (level > 4) level = 1;
      if (level < 1 || npts < 2) continue;
      int id = segId[s];
      if (id < 0) F.Fail("negative polygon id");
      bool riverLake = size_t(id) < area.size() && area[size_t(id)] < 0;
      polygonLevel[id] = {level, riverLake};
      pieces.push_back({id, ReadPiecePoints(F, corner, segStart[s], npts, dx, dy)});
    }
  }
  // A polygon that meets a bin edge in a single point comes as two rings through that point;
  // they are one polygon and become one ring.
  struct TChain {
    int Id;
    std::vector<TGPoint> P;
    bool Closed;
  };
  std::vector<TChain> chains;
  AssemblePieces(g, pieces, true, [&](int id, std::vector<TGPoint> chain, bool closed) {
    if (closed && !chains.empty() && chains.back().Id == id && chains.back().Closed &&
        MergeRingsAtSharedPoint(g, chains.back().P, chain))
      return;
    chains.push_back({id, std::move(chain), closed});
  });
  std::vector<TGshhgFeature> out;
  for (TChain& c : chains) {
    TGshhgFeature f = ToFeature(g, std::move(c.P), c.Closed);
    if (f.Points.size() < 3) continue;  // a spike with no area, or a stray pair of points
    f.Id = c.Id;
    f.Level = polygonLevel[c.Id].first;
    f.RiverLake = polygonLevel[c.Id].second;
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<TGshhgFeature> ReadGshhgLines(const std::string& FileName) {
  TNcFile F(FileName);
  TGrid g = ReadGrid(F);
  auto binFirst = F.Array<int>("Id_of_first_segment_in_a_bin");
  auto binCount = F.Array<short>("N_segments_in_a_bin");
  auto segCount = F.Array<short>("N_points_for_a_segment");
  auto segLevel = F.Array<short>("Hierarchial_level_of_a_segment");
  auto segStart = F.Array<int>("Id_of_first_point_in_a_segment");
  auto dx = F.Array<short>("Relative_longitude_from_SW_corner_of_bin");
  auto dy = F.Array<short>("Relative_latitude_from_SW_corner_of_bin");
  if (binFirst.size() != binCount.size() || binFirst.size() != size_t(g.Nx) * size_t(g.Ny) ||
      segCount.size() != segLevel.size() || segStart.size() != segLevel.size() ||
      dx.size() != dy.size())
    F.Fail("array sizes do not agree");

  std::vector<TPiece> pieces;
  for (int b = 0; b < int(binFirst.size()); ++b) {
    int first = binFirst[b], count = binCount[b];
    if (count <= 0) continue;
    if (first < 0 || size_t(first) + size_t(count) > segLevel.size())
      F.Fail("bin segments outside the segment arrays");
    TBinGeometry corner = BinCorner(g, b);
    for (int s = first; s < first + count; ++s) {
      if (segCount[s] < 2 || segLevel[s] < 0 || segLevel[s] > kMaxLineLevel) continue;
      pieces.push_back({segLevel[s], ReadPiecePoints(F, corner, segStart[s], segCount[s], dx, dy)});
    }
  }
  std::vector<TGshhgFeature> out;
  int running = 0;
  AssemblePieces(g, pieces, false, [&](int level, std::vector<TGPoint> chain, bool closed) {
    TGshhgFeature f = ToFeature(g, std::move(chain), closed);
    f.Id = ++running;
    f.Level = level;
    out.push_back(std::move(f));
  });
  return out;
}

}  // namespace vek::viewer
