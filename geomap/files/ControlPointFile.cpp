#include "ControlPointFile.h"

#include <charconv>
#include <cmath>
#include <fstream>

#include "GeoMapRecords.h"
#include "StrUtils.h"

namespace vek {

namespace {

std::string Number(double V) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, V);
  return std::string(buf, r.ptr);
}

bool ParseField(const std::string& S, double& V) { return ParseExactNumber(S, V); }

}  // namespace

std::vector<TControlPoint> ReadControlPointFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) throw EVEKGeoMapError("cannot open control point file " + FileName);
  std::vector<TControlPoint> points;
  // 100,000 points of a few dozen characters each at most: anything far larger is no such file.
  constexpr std::streamoff MaxSize = 64 << 20;
  if (in.seekg(0, std::ios::end).tellg() > MaxSize)
    throw EVEKGeoMapError(FileName + ": too large for a control point file");
  in.seekg(0);
  // Any line end: CR LF, LF, or the lone CR of old Mac tools.
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int number = 0;
  for (const std::string& line : SplitTextLines(text)) {
    ++number;
    if (line.size() > 4096) throw EVEKGeoMapError(FileName + ": line " + std::to_string(number) + " is too long");
    if (line.empty() || line[0] == '#' || line.rfind("mapX", 0) == 0) continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
      const size_t comma = line.find(',', start);
      fields.push_back(line.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    TControlPoint p;
    double enable = 1;
    if (fields.size() < 4 || !ParseField(fields[0], p.MapX) || !ParseField(fields[1], p.MapY) ||
        !ParseField(fields[2], p.SourceX) || !ParseField(fields[3], p.SourceY) ||
        (fields.size() >= 5 && !ParseField(fields[4], enable)))
      throw EVEKGeoMapError(FileName + ": line " + std::to_string(number) +
                            " is not mapX,mapY,sourceX,sourceY,enable");
    p.Enabled = enable != 0;
    points.push_back(p);
    if (points.size() > 100000) throw EVEKGeoMapError(FileName + ": too many control points");
  }
  return points;
}

void WriteControlPointFile(const std::string& FileName, const std::vector<TControlPoint>& Points) {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  out << "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n";
  for (const TControlPoint& p : Points)
    out << Number(p.MapX) << ',' << Number(p.MapY) << ',' << Number(p.SourceX) << ','
        << Number(p.SourceY) << ',' << (p.Enabled ? 1 : 0) << ",0,0,0\n";
  out.close();
  if (!out) throw EVEKGeoMapError("cannot write control point file " + FileName);
}

int AddControlPoints(TMapCalibration& Cal, const std::vector<TControlPoint>& Points) {
  const TCalibModel model = Cal.Model();
  if (model == cmParabolicIp || model == cmUndefined)
    throw EVEKGeoMapError("control points need a point-based calibration model");
  const TCalibData& D = Cal.Data();
  int added = 0;
  for (const TControlPoint& p : Points) {
    if (!p.Enabled) continue;
    const int x = int(std::lround(std::clamp(p.SourceX, -1e9, 1e9)));
    const int y = int(std::lround(std::clamp(-p.SourceY, -1e9, 1e9)));
    const bool stored =
        model == cmUTM
            ? Cal.AddCalibPoint(p.MapY, p.MapX, D.UTMZone, D.UTMSouth ? hemiSouth : hemiNorth, x, y)
            : Cal.AddCalibPoint(p.MapY, p.MapX, x, y);
    if (!stored) break;  // the table is full
    ++added;
  }
  Cal.RecalcCalibration();
  return added;
}

std::vector<TControlPoint> ControlPointsOf(const TMapCalibration& Cal) {
  std::vector<TControlPoint> points;
  const TCalibData& D = Cal.Data();
  const int n = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  // Under UTM a quad keeps northing in Latitude and easting in Longitude.
  for (int i = 1; i <= n; ++i) {
    const TCalQuad& q = D.CalQuads[i];
    points.push_back(TControlPoint{q.Longitude, q.Latitude, double(q.MapX), -double(q.MapY), true});
  }
  return points;
}

}  // namespace vek
