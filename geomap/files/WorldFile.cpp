#include "WorldFile.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "GeoMapRecords.h"
#include "StrUtils.h"
#include "Svd.h"

namespace vek {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Twelve significant digits: far below a micrometre on the ground, and free of the last-digit
// noise of a fitted value.
std::string Number(double V) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, V, std::chars_format::general, 12);
  return std::string(buf, r.ptr);
}

// Latitudes within the poles; longitudes within one turn either way, so that maps across the
// antimeridian (170 ... 190) or in 0 ... 360 keep working. A micro-degree of slack takes the
// rounding of pixel sizes that end exactly at a pole.
bool OnTheEarth(double Lat, double Lon) {
  constexpr double slack = 1e-6;
  return std::isfinite(Lat) && std::isfinite(Lon) && std::fabs(Lat) <= 90 + slack &&
         std::fabs(Lon) <= 360 + slack;
}

}  // namespace

TWorldFile ReadWorldFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) throw EVEKGeoMapError("cannot open world file " + FileName);
  // Six lines of one number each; anything after them is ignored, as GIS tools do.
  std::string text(4096, '\0');
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  const std::vector<std::string> lines = SplitTextLines(text);
  if (lines.size() < 6)
    throw EVEKGeoMapError("world file " + FileName + " holds fewer than six lines");
  double v[6];
  for (int i = 0; i < 6; ++i)
    if (!ParseExactNumber(lines[i], v[i]))
      throw EVEKGeoMapError("world file " + FileName + ": line " + std::to_string(i + 1) +
                            " is not a number: \"" + lines[i] + "\"");
  const TWorldFile w{v[0], v[1], v[2], v[3], v[4], v[5]};
  if (!OnTheEarth(w.F, w.C))
    throw EVEKGeoMapError("world file " + FileName + ": the top-left pixel (" + Number(w.F) +
                          ", " + Number(w.C) + ") is not a position on the earth");
  return w;
}

void WriteWorldFile(const std::string& FileName, const TWorldFile& W) {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  for (double v : {W.A, W.D, W.B, W.E, W.C, W.F}) out << Number(v) << "\r\n";
  out.close();
  if (!out) throw EVEKGeoMapError("cannot write world file " + FileName);
}

std::vector<std::string> WorldFileCandidates(const std::string& ImageFile) {
  const std::filesystem::path p(ImageFile);
  const std::string ext = p.extension().string();  // ".jpg"
  std::vector<std::string> names;
  auto with = [&](const std::string& e) {
    std::filesystem::path q = p;
    names.push_back(q.replace_extension(e).string());
  };
  if (ext.size() >= 3) {
    // .jpg -> .jgw: first and last letter of the extension and "w"; then .jpgw.
    const bool upper = std::isupper(static_cast<unsigned char>(ext[1]));
    with(ext.substr(0, 2) + ext.substr(ext.size() - 1) + (upper ? "W" : "w"));
    with(ext + (upper ? "W" : "w"));
  }
  with(".wld");
  if (Lower(ext) == ".bmp") with(".bpw");
  return names;
}

std::string FindWorldFile(const std::string& ImageFile) {
  std::error_code ec;
  for (const std::string& n : WorldFileCandidates(ImageFile))
    if (std::filesystem::is_regular_file(n, ec)) return n;
  return {};
}

void CalibrateFromWorldFile(TMapCalibration& Cal, const TWorldFile& W, int ImgWidth,
                            int ImgHeight, const std::string& FileName) {
  const std::string source = FileName.empty() ? "world file" : "world file " + FileName;
  // A rotation that moves no pixel by a millionth of its size over the image is noise.
  const bool rotated = std::fabs(W.B) * ImgHeight > 1e-6 * std::fabs(W.A) ||
                       std::fabs(W.D) * ImgWidth > 1e-6 * std::fabs(W.E);
  if (rotated)
    throw EVEKGeoMapError("a rotated world file cannot be taken: the map's calibration models "
                          "keep north up");
  if (W.A == 0 || W.E == 0)
    throw EVEKGeoMapError(source + " with a pixel size of zero");
  if (ImgWidth < 1 || ImgHeight < 1) throw EVEKGeoMapError("no map image to calibrate");
  // The corners of the image: (0, 0) is half a pixel before the first pixel's centre.
  double lat[2], lon[2];
  for (int k = 0; k < 2; ++k) {
    lat[k] = W.F + W.E * ((k ? ImgHeight : 0) - 0.5);
    lon[k] = W.C + W.A * ((k ? ImgWidth : 0) - 0.5);
  }
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i)
      if (!OnTheEarth(lat[j], lon[i]))
        throw EVEKGeoMapError(source + ": the image corner (" + Number(lat[j]) + ", " +
                              Number(lon[i]) + ") is not a position on the earth");
  Cal.Clear();
  Cal.SetModel(cmEquiRect);
  Cal.SetImageSize(ImgWidth, ImgHeight);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) Cal.AddCalibPoint(lat[j], lon[i], i ? ImgWidth : 0, j ? ImgHeight : 0);
  Cal.RecalcCalibration();
}

TWorldFileFit WorldFileOf(const TMapCalibration& Cal, int ImgWidth, int ImgHeight) {
  if (ImgWidth < 1 || ImgHeight < 1) throw EVEKGeoMapError("no map image to georeference");
  // lon = c0 + c1 x + c2 y and lat likewise, fitted over an 11 x 11 grid of the image.
  constexpr int N = 11;
  TMatrix A(3, N * N);
  TVector lon(N * N), lat(N * N);
  int row = 0;
  for (int j = 0; j < N; ++j)
    for (int i = 0; i < N; ++i) {
      const int x = int(std::lround(double(ImgWidth) * i / (N - 1)));
      const int y = int(std::lround(double(ImgHeight) * j / (N - 1)));
      bool v1 = false, v2 = false;
      const double la = Cal.CalcLatitude(x, y, v1), lo = Cal.CalcLongitude(x, y, v2);
      if (!v1 || !v2 || !std::isfinite(la) || !std::isfinite(lo))
        throw EVEKGeoMapError("the calibration cannot convert the whole image");
      ++row;
      A.SetVal(1, row, 1);
      A.SetVal(2, row, x);
      A.SetVal(3, row, y);
      lon.SetVal(row, lo);
      lat.SetVal(row, la);
    }
  TVector cl(3), ca(3);
  if (!SolveBySVD(A, lon, cl) || !SolveBySVD(A, lat, ca))
    throw EVEKGeoMapError("the calibration has no affine fit");
  const double l0 = cl.GetVal(1), l1 = cl.GetVal(2), l2 = cl.GetVal(3);
  const double a0 = ca.GetVal(1), a1 = ca.GetVal(2), a2 = ca.GetVal(3);
  TWorldFileFit fit;
  TWorldFile& w = fit.File;
  w.A = l1;
  w.B = l2;
  w.D = a1;
  w.E = a2;
  // Rounding noise of the fit is no rotation.
  if (std::fabs(w.B) * ImgHeight < 1e-9 * std::fabs(w.A)) w.B = 0;
  if (std::fabs(w.D) * ImgWidth < 1e-9 * std::fabs(w.E)) w.D = 0;
  // Centre of the top-left pixel.
  w.C = l0 + 0.5 * (l1 + l2);
  w.F = a0 + 0.5 * (a1 + a2);
  // Residuals in pixels: degrees over the pixel size of each axis.
  double sum = 0;
  for (int k = 1; k <= N * N; ++k) {
    const double x = A.GetVal(2, k), y = A.GetVal(3, k);
    const double dlon = lon.GetVal(k) - (w.C + w.A * (x - 0.5) + w.B * (y - 0.5));
    const double dlat = lat.GetVal(k) - (w.F + w.D * (x - 0.5) + w.E * (y - 0.5));
    const double px = dlon / std::hypot(l1, l2), py = dlat / std::hypot(a1, a2);
    sum += px * px + py * py;
  }
  fit.RmsPixels = std::sqrt(sum / (N * N));
  for (double v : {w.A, w.B, w.C, w.D, w.E, w.F})
    if (!std::isfinite(v)) throw EVEKGeoMapError("the calibration has no finite affine fit");
  fit.Exact = Cal.Model() == cmEquiRect;
  return fit;
}

}  // namespace vek
