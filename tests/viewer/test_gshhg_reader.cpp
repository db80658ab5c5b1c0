// The GSHHG reader on small binned files written here: pieces joined across bin edges and the
// 0/360 seam, arcs kept apart at junctions, and files whose indexes point outside their arrays.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "GshhgReader.h"

using namespace vek;
using namespace vek::viewer;

namespace {

constexpr int kNx = 36, kNy = 18;  // 10-degree bins

int BinOf(int lonWest, int latSouth) { return (90 - latSouth - 10) / 10 * kNx + lonWest / 10; }
short U(double degreesInBin) { return short(uint16_t(std::lround(degreesInBin / 10 * 65535))); }

struct Seg {
  int Bin;
  int Info;  // level (line files) or the packed word (shore files)
  int Id;
  std::vector<std::pair<double, double>> P;  // lon, lat within the bin, degrees from its corner
};

class NcWriter {
 public:
  explicit NcWriter(const std::string& name) { EXPECT_EQ(nc_create(name.c_str(), NC_CLOBBER, &id), NC_NOERR); }
  ~NcWriter() { nc_close(id); }
  int Dim(const char* n, size_t len) { int d; nc_def_dim(id, n, len, &d); return d; }
  template <class T>
  void Var(const char* n, nc_type t, int dim, std::vector<T> v) { vars.push_back({n, t, dim, Bytes(v)}); }
  void Write() {
    std::vector<int> ids;
    for (auto& v : vars) { int vid; nc_def_var(id, v.Name, v.Type, 1, &v.Dim, &vid); ids.push_back(vid); }
    nc_enddef(id);
    for (size_t i = 0; i < vars.size(); ++i) nc_put_var(id, ids[i], vars[i].Data.data());
  }

 private:
  template <class T>
  static std::vector<char> Bytes(const std::vector<T>& v) {
    const char* p = reinterpret_cast<const char*>(v.data());
    return std::vector<char>(p, p + v.size() * sizeof(T));
  }
  struct V { const char* Name; nc_type Type; int Dim; std::vector<char> Data; };
  int id = -1;
  std::vector<V> vars;
};

// Segments must come sorted by bin. FirstPointShift moves every segment's first point index.
void WriteFile(const std::string& name, std::vector<Seg> segs, bool shore, int firstPointShift = 0) {
  NcWriter w(name);
  std::vector<int> binFirst(kNx * kNy, 0), segStart, info, ids;
  std::vector<short> binCount(kNx * kNy, 0), dx, dy, levels, counts;
  for (size_t s = 0; s < segs.size(); ++s) {
    if (binCount[segs[s].Bin]++ == 0) binFirst[segs[s].Bin] = int(s);
    segStart.push_back(int(dx.size()) + firstPointShift);
    for (auto [x, y] : segs[s].P) dx.push_back(U(x)), dy.push_back(U(y));
    int n = int(segs[s].P.size());
    info.push_back(shore ? (n << 9) | (segs[s].Info << 6) : segs[s].Info);
    ids.push_back(segs[s].Id);
    levels.push_back(short(segs[s].Info));
    counts.push_back(short(n));
  }
  int one = w.Dim("Dimension_of_scalar", 1), bins = w.Dim("Dimension_of_bin_arrays", kNx * kNy),
      sd = w.Dim("Dimension_of_segment_arrays", segs.size()), pd = w.Dim("Dimension_of_point_arrays", dx.size());
  w.Var("Bin_size_in_minutes", NC_INT, one, std::vector<int>{600});
  w.Var("N_bins_in_360_longitude_range", NC_INT, one, std::vector<int>{kNx});
  w.Var("N_bins_in_180_degree_latitude_range", NC_INT, one, std::vector<int>{kNy});
  w.Var("Id_of_first_segment_in_a_bin", NC_INT, bins, binFirst);
  w.Var("N_segments_in_a_bin", NC_SHORT, bins, binCount);
  w.Var("Id_of_first_point_in_a_segment", NC_INT, sd, segStart);
  if (shore) {
    int polys = w.Dim("Dimension_of_polygon_array", 10);
    w.Var("Embedded_npts_levels_exit_entry_for_a_segment", NC_INT, sd, info);
    w.Var("Id_of_GSHHS_ID", NC_INT, sd, ids);
    w.Var("The_km_squared_area_of_polygons", NC_DOUBLE, polys, std::vector<double>(10, 100.0));
  } else {
    w.Var("N_points_for_a_segment", NC_SHORT, sd, counts);
    w.Var("Hierarchial_level_of_a_segment", NC_SHORT, sd, levels);
  }
  w.Var("Relative_longitude_from_SW_corner_of_bin", NC_SHORT, pd, dx);
  w.Var("Relative_latitude_from_SW_corner_of_bin", NC_SHORT, pd, dy);
  w.Write();
}

}  // namespace

TEST(GshhgReader, JoinsPiecesAcrossBinsAndTheSeamButNotAtJunctions) {
  QTemporaryDir tmp;
  const std::string lines = tmp.path().toStdString() + "/lines.nc";
  WriteFile(lines,
            {// bin 0 ... 10 E, 40 ... 50 N: the continuation east of the seam, and a junction
             {BinOf(0, 40), 1, 0, {{0, 6}, {5, 7}}},
             {BinOf(0, 40), 2, 0, {{2, 2}, {4, 4}}},
             {BinOf(0, 40), 2, 0, {{4, 4}, {6, 2}}},
             {BinOf(0, 40), 2, 0, {{4, 4}, {4, 8}}},
             // bin 350 ... 360 E: the first piece, ending on the seam
             {BinOf(350, 40), 1, 0, {{5, 5}, {10, 6}}}},
            false);
  std::vector<TGshhgFeature> f = ReadGshhgLines(lines);
  ASSERT_EQ(f.size(), 4u);
  std::map<int, int> perLevel;
  for (const TGshhgFeature& l : f) ++perLevel[l.Level];
  EXPECT_EQ(perLevel[2], 3);  // one arc ends where two start: kept apart
  for (const TGshhgFeature& l : f) {
    if (l.Level != 1) continue;
    ASSERT_EQ(l.Points.size(), 3u);  // the shared point once
    EXPECT_NEAR(l.Points[0].Longit, -5, 1e-3);
    EXPECT_NEAR(l.Points[1].Longit, 0, 1e-3);
    EXPECT_NEAR(l.Points[2].Longit, 5, 1e-3);
    EXPECT_NEAR(l.Points[0].Latit, 45, 1e-3);
    EXPECT_NEAR(l.Points[2].Latit, 47, 1e-3);
  }

  // A square island cut by the bin edge at 10 E: one closed ring of its four corners and the
  // two cut points.
  const std::string shore = tmp.path().toStdString() + "/shore.nc";
  WriteFile(shore,
            {{BinOf(0, 40), 1, 7, {{10, 4}, {5, 4}, {5, 6}, {10, 6}}},
             {BinOf(10, 40), 1, 7, {{0, 6}, {5, 6}, {5, 4}, {0, 4}}}},
            true);
  std::vector<TGshhgFeature> s = ReadGshhgShore(shore);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_TRUE(s[0].Closed);
  EXPECT_FALSE(s[0].AroundPole);
  EXPECT_EQ(s[0].Id, 7);
  EXPECT_EQ(s[0].Level, 1);
  EXPECT_EQ(s[0].Points.size(), 6u);

  // Indexes pointing outside the arrays are refused.
  WriteFile(lines, {{BinOf(0, 40), 1, 0, {{0, 6}, {5, 7}}}}, false, 1);
  EXPECT_THROW(ReadGshhgLines(lines), EGshhgError);
  WriteFile(shore, {{BinOf(0, 40), 1, 7, {{1, 1}, {2, 1}, {2, 2}, {1, 1}}}}, true, -1);
  EXPECT_THROW(ReadGshhgShore(shore), EGshhgError);
}
