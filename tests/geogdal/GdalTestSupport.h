// Helpers of the GDAL bridge tests: a scratch folder, and GDAL's command-line tools (the
// oracle) run with their output captured.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace gdaltest {

struct TempDir {
  std::filesystem::path Path;
  TempDir() {
    const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
    Path = std::filesystem::temp_directory_path() /
           ("vekgdal_" + std::string(Info->test_suite_name()) + "_" + Info->name());
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TempDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const std::string& Name) const { return (Path / Name).string(); }
};

struct ToolResult {
  int Exit = -1;
  std::string Out, Err;
};

inline bool HaveTool(const char* Name) {
  return !QStandardPaths::findExecutable(Name).isEmpty();
}

inline ToolResult RunTool(const std::string& Tool, const std::vector<std::string>& Args,
                          const std::string& Input = {}) {
  QStringList A;
  for (const std::string& S : Args) A << QString::fromStdString(S);
  QProcess P;
  P.start(QString::fromStdString(Tool), A);
  P.waitForStarted(30000);
  if (!Input.empty()) P.write(Input.data(), qint64(Input.size()));
  P.closeWriteChannel();
  P.waitForFinished(120000);
  return {P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1,
          P.readAllStandardOutput().toStdString(), P.readAllStandardError().toStdString()};
}

// Runs a tool that must succeed.
inline ToolResult Must(const std::string& Tool, const std::vector<std::string>& Args,
                       const std::string& Input = {}) {
  ToolResult R = RunTool(Tool, Args, Input);
  EXPECT_EQ(R.Exit, 0) << Tool << ": " << R.Err;
  return R;
}

struct LonLat {
  double Lon = 0, Lat = 0;
};

// gdaltransform of pixels (x, y) of File, optionally into TargetSrs.
inline std::vector<LonLat> GdalTransform(const std::string& File,
                                         const std::vector<std::pair<int, int>>& Pixels,
                                         const std::string& TargetSrs = {}) {
  std::string In;
  for (const auto& [X, Y] : Pixels) In += std::to_string(X) + " " + std::to_string(Y) + "\n";
  std::vector<std::string> Args;
  if (!TargetSrs.empty()) Args = {"-t_srs", TargetSrs};
  Args.push_back(File);
  const ToolResult R = Must("gdaltransform", Args, In);
  std::istringstream S(R.Out);
  std::vector<LonLat> Out;
  LonLat P;
  double Z = 0;
  while (S >> P.Lon >> P.Lat >> Z) Out.push_back(P);
  EXPECT_EQ(Out.size(), Pixels.size()) << R.Out << R.Err;
  return Out;
}

// Corners and a few inner pixels of a W x H image.
inline std::vector<std::pair<int, int>> ProbePixels(int W, int H) {
  return {{0, 0}, {W, 0}, {0, H}, {W, H}, {W / 3, H / 7}, {W / 2, H / 2}, {W - 5, 2 * H / 3}};
}

}  // namespace gdaltest

#define REQUIRE_GDAL_TOOLS()                                                               \
  if (!gdaltest::HaveTool("gdal_create") || !gdaltest::HaveTool("gdaltransform") ||        \
      !gdaltest::HaveTool("ogr2ogr"))                                                      \
  GTEST_SKIP() << "GDAL's tools (gdal-bin) are not installed"
