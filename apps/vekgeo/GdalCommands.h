// The vekgeo subcommands that go through GDAL (cmd_gdal.cpp), called from "calib" and "db".
#pragma once

#include <string>
#include <vector>

namespace vekgeo {

// calib from-raster | to-vrt | to-ozimap; args as given to "calib" (args[0] the subcommand).
int RunCalibGdal(const std::vector<std::string>& args);
// db import DB FILE [--layer NAME]... [--as KIND] [--name-field FIELD] [--class N]
int RunDbImport(const std::vector<std::string>& args);

inline constexpr const char* kCalibGdalUsage =
    " | calib from-raster RASTER OUT.xml [ID] | calib to-vrt FILE [ID] OUT.vrt | "
    "calib to-ozimap FILE [ID] OUT.map";
inline constexpr const char* kDbImportUsage =
    " | db import DB FILE [--layer NAME]... [--as KIND] [--name-field FIELD] [--class N]";

}  // namespace vekgeo
