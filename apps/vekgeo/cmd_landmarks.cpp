// vekgeo landmarks: converting landmark sets between the library's XML dialect, GPX and
// GeoJSON, and a short listing of a file.
#include <cstdio>
#include <iostream>

#include "Command.h"
#include "LandMarkInterchange.h"
#include "LandMarkStore.h"

namespace {

struct Options {
  std::vector<std::string> files;
  std::string inId, outId;
};

Options ParseOptions(const std::vector<std::string>& args, size_t from) {
  Options o;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--id" || a == "--out-id") {
      if (i + 1 >= args.size()) throw vekgeo::UsageError(a + " needs a value");
      (a == "--id" ? o.inId : o.outId) = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      throw vekgeo::UsageError("unknown option \"" + a + "\"");
    } else {
      o.files.push_back(a);
    }
  }
  return o;
}

void RequireFormat(const std::string& file) {
  if (vek::LandMarkFileFormat(file) == vek::lffUnknown)
    throw vekgeo::UsageError("\"" + file + "\": the extension must be .xml, .gpx, .geojson or .json");
}

int RunLandmarks(const std::vector<std::string>& args) {
  if (args.empty()) throw vekgeo::UsageError("missing subcommand");
  const std::string& sub = args[0];
  const Options o = ParseOptions(args, 1);
  const vek::TLandMark tmpl = vek::InitialDefaultLandMark();

  if (sub == "convert") {
    if (o.files.size() != 2) throw vekgeo::UsageError("convert needs IN and OUT");
    RequireFormat(o.files[0]);
    RequireFormat(o.files[1]);
    const auto lms = vek::ReadLandMarkFile(o.files[0], tmpl, o.inId);
    vek::WriteLandMarkFile(o.files[1], lms, o.outId.empty() ? o.inId : o.outId);
    std::cout << lms.size() << " landmarks written to " << o.files[1] << "\n";
    return 0;
  }
  if (sub == "list") {
    if (o.files.size() != 1) throw vekgeo::UsageError("list needs one FILE");
    RequireFormat(o.files[0]);
    const auto lms = vek::ReadLandMarkFile(o.files[0], tmpl, o.inId);
    int i = 0;
    for (const vek::TLandMark& LM : lms) {
      char pos[64];
      std::snprintf(pos, sizeof pos, "%.6f %.6f %.1f", LM.Latitude, LM.Longitude, LM.Altitude);
      std::cout << ++i << "\t" << pos << "\tclass " << int(LM.ClassFlag) << "\t"
                << LM.Identifier.str() << "\t" << LM.Caption.Text.str() << "\n";
    }
    return 0;
  }
  throw vekgeo::UsageError("unknown subcommand \"" + sub + "\"");
}

vekgeo::CommandRegistration reg(
    "landmarks",
    "landmarks convert IN OUT [--id SET] [--out-id SET] | landmarks list FILE [--id SET]"
    "  (.xml, .gpx, .geojson, .json)",
    RunLandmarks);

}  // namespace
