// The demo atlas keeps its generated maps: missing ones are made again, the list is written.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <set>

#include "DemoAtlas.h"

using namespace vek;
using namespace vek::viewer;
namespace fs = std::filesystem;

TEST(DemoAtlas, MissingMapsAreGeneratedAgainAndAllAreListed) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString() + "/maps";
  TGeoDB db;
  TWorldMapDrawer drawer(db);
  std::vector<std::string> made;
  auto generate = [&](const std::string& calib, const TDemoMap& m, const TMapDrawProc& draw) {
    EXPECT_TRUE(draw);
    made.push_back(m.Name);
    std::ofstream(calib) << "calibration";
    std::ofstream(fs::path(calib).replace_extension(".bmp")) << "image";
  };

  std::vector<std::string> files = EnsureDemoAtlas(dir, drawer, generate);
  const size_t n = DemoMaps().size();
  ASSERT_EQ(made.size(), n);
  ASSERT_EQ(files.size(), n);
  std::set<std::string> names(made.begin(), made.end());
  EXPECT_EQ(names.size(), n);
  for (const char* want : {"world", "europe", "africa", "asia", "north-america", "south-america",
                           "oceania", "antarctica", "alps"})
    EXPECT_TRUE(names.count(want)) << want;
  for (const TDemoMap& m : DemoMaps()) {
    EXPECT_LE(double(m.Wid) * m.Hgt, 3e6) << m.Name;
    EXPECT_LT(m.LatLow, m.LatHigh);
    EXPECT_LT(m.LongLow, m.LongHigh);
  }
  std::ifstream list(dir + "/atlas.txt");
  std::vector<std::string> lines;
  for (std::string l; std::getline(list, l);) lines.push_back(l);
  EXPECT_EQ(lines, files);

  made.clear();
  EnsureDemoAtlas(dir, drawer, generate);
  EXPECT_TRUE(made.empty());

  fs::remove(dir + "/alps.bmp");
  fs::remove(dir + "/europe.xml");
  EXPECT_EQ(EnsureDemoAtlas(dir, drawer, generate), files);
  EXPECT_EQ(std::set<std::string>(made.begin(), made.end()),
            (std::set<std::string>{"alps", "europe"}));

  made.clear();
  EnsureDemoAtlas(dir, drawer, generate, true);
  EXPECT_EQ(made.size(), n);

  // A generator that leaves the files out is reported, not listed.
  fs::remove(dir + "/world.xml");
  EXPECT_THROW(EnsureDemoAtlas(dir, drawer, [](const std::string&, const TDemoMap&,
                                               const TMapDrawProc&) {}),
               EVEKError);
}
