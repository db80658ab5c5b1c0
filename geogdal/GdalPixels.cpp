#include "GdalPixels.h"

#include <algorithm>
#include <cmath>

namespace vek::gdalbridge {

namespace {

GDALRasterBand* BandOf(GDALDataset& Ds, GDALColorInterp What) {
  for (int b = 1; b <= Ds.GetRasterCount(); ++b)
    if (Ds.GetRasterBand(b)->GetColorInterpretation() == What) return Ds.GetRasterBand(b);
  return nullptr;
}

uint32_t Over(uint32_t Rgb, int Alpha) {
  if (Alpha >= 255) return Rgb | 0xFF000000u;
  if (Alpha <= 0) return 0xFFFFFFFFu;
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int c = int((Rgb >> shift) & 0xFF);
    out |= uint32_t((c * Alpha + 255 * (255 - Alpha) + 127) / 255) << shift;
  }
  return out;
}

}  // namespace

TRgbReader::TRgbReader(DatasetPtr Dataset, const std::string& FileName) : FDs(std::move(Dataset)) {
  GDALDataset& ds = *FDs;
  if (ds.GetRasterCount() < 1 || ds.GetRasterXSize() < 1 || ds.GetRasterYSize() < 1)
    throw EVEKGeoGdalError("\"" + FileName + "\" holds no image band");
  auto channel = [&](GDALRasterBand* B) {
    TChannel c;
    c.Band = B;
    int has = 0;
    c.NoData = B->GetNoDataValue(&has);
    c.HasNoData = has != 0 && std::isfinite(c.NoData);
    if (B->GetRasterDataType() != GDT_Byte) {
      // The band's range, from its overviews or a sample where GDAL can.
      double mm[2] = {0, 255};
      CPLPushErrorHandler(CPLQuietErrorHandler);
      const bool ok = B->ComputeRasterMinMax(TRUE, mm) == CE_None;
      CPLPopErrorHandler();
      if (ok && std::isfinite(mm[0]) && std::isfinite(mm[1]) && mm[1] > mm[0]) {
        c.Min = mm[0];
        c.Scale = 255.0 / (mm[1] - mm[0]);
      } else if (ok && std::isfinite(mm[0])) {
        c.Min = mm[0] - 1;  // a constant band shows white
        c.Scale = 255;
      }
    }
    return c;
  };
  GDALRasterBand* first = ds.GetRasterBand(1);
  if (const GDALColorTable* table = first->GetColorTable();
      table && first->GetColorInterpretation() == GCI_PaletteIndex) {
    FColour.push_back(channel(first));
    for (int i = 0; i < table->GetColorEntryCount(); ++i) {
      GDALColorEntry e;
      table->GetColorEntryAsRGB(i, &e);
      FPalette.push_back(Over(uint32_t(e.c1) << 16 | uint32_t(e.c2) << 8 | uint32_t(e.c3), e.c4));
    }
  } else {
    GDALRasterBand* r = BandOf(ds, GCI_RedBand);
    GDALRasterBand* g = BandOf(ds, GCI_GreenBand);
    GDALRasterBand* b = BandOf(ds, GCI_BlueBand);
    if (!(r && g && b) && ds.GetRasterCount() >= 3) {
      r = ds.GetRasterBand(1);
      g = ds.GetRasterBand(2);
      b = ds.GetRasterBand(3);
    }
    if (r && g && b)
      for (GDALRasterBand* band : {r, g, b}) FColour.push_back(channel(band));
    else
      FColour.push_back(channel(first));
  }
  if (GDALRasterBand* a = BandOf(ds, GCI_AlphaBand)) FAlpha = channel(a);
  FFastRgb = FColour.size() == 3 && !FAlpha.Band &&
             std::all_of(FColour.begin(), FColour.end(), [](const TChannel& c) {
               return c.Band->GetRasterDataType() == GDT_Byte && !c.HasNoData;
             });
}

bool TRgbReader::HasOverviews() const { return FColour[0].Band->GetOverviewCount() > 0; }

bool TRgbReader::ReadPlane(const TChannel& C, int X, int Y, int W, int H, int BufW, int BufH,
                           std::vector<float>& Out) {
  Out.resize(size_t(BufW) * size_t(BufH));
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = FPalette.empty() ? GRIORA_Average : GRIORA_NearestNeighbour;
  CPLErrorReset();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  const CPLErr e = C.Band->RasterIO(GF_Read, X, Y, W, H, Out.data(), BufW, BufH, GDT_Float32, 0, 0,
                                    W == BufW && H == BufH ? nullptr : &extra);
  CPLPopErrorHandler();
  if (e != CE_None) FError = LastGdalError("GDAL cannot read the image");
  return e == CE_None;
}

bool TRgbReader::Read(int X, int Y, int W, int H, int BufW, int BufH, uint32_t* Dst, size_t Stride) {
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = GRIORA_Average;
  if (FFastRgb) {
    // Straight into the pixels: bytes blue, green, red, alpha of each 0xAARRGGBB.
    int bands[3] = {FColour[2].Band->GetBand(), FColour[1].Band->GetBand(), FColour[0].Band->GetBand()};
    CPLErrorReset();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const CPLErr e = FDs->RasterIO(GF_Read, X, Y, W, H, Dst, BufW, BufH, GDT_Byte, 3, bands, 4,
                                   GSpacing(Stride), 1,
                                   W == BufW && H == BufH ? nullptr : &extra);
    CPLPopErrorHandler();
    if (e != CE_None) {
      FError = LastGdalError("GDAL cannot read the image");
      return false;
    }
    for (int y = 0; y < BufH; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(Dst) + Stride * size_t(y));
      for (int x = 0; x < BufW; ++x) row[x] |= 0xFF000000u;
    }
    return true;
  }
  std::vector<std::vector<float>> planes(FColour.size());
  for (size_t c = 0; c < FColour.size(); ++c)
    if (!ReadPlane(FColour[c], X, Y, W, H, BufW, BufH, planes[c])) return false;
  std::vector<float> alpha;
  if (FAlpha.Band && !ReadPlane(FAlpha, X, Y, W, H, BufW, BufH, alpha)) return false;
  auto level = [](const TChannel& C, float V) {
    const double v = (double(V) - C.Min) * C.Scale;
    return v <= 0 ? 0 : v >= 255 ? 255 : int(std::lround(v));
  };
  for (int y = 0; y < BufH; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(Dst) + Stride * size_t(y));
    for (int x = 0; x < BufW; ++x) {
      const size_t i = size_t(y) * size_t(BufW) + size_t(x);
      bool empty = false;
      uint32_t rgb = 0;
      if (!FPalette.empty()) {
        const double v = planes[0][i];
        const long idx = std::isfinite(v) ? std::lround(v) : -1;
        empty = FColour[0].HasNoData && v == FColour[0].NoData;
        rgb = idx >= 0 && size_t(idx) < FPalette.size() ? FPalette[size_t(idx)] : 0xFFFFFFFFu;
      } else {
        for (size_t c = 0; c < FColour.size(); ++c) {
          const float v = planes[c][i];
          empty = empty || !std::isfinite(v) || (FColour[c].HasNoData && v == float(FColour[c].NoData));
          const uint32_t l = uint32_t(level(FColour[c], v));
          rgb |= FColour.size() == 1 ? l << 16 | l << 8 | l : l << (16 - 8 * c);
        }
      }
      if (empty)
        rgb = 0xFFFFFFFFu;
      else if (!alpha.empty())
        rgb = Over(rgb, level(FAlpha, alpha[i]));
      row[x] = rgb | 0xFF000000u;
    }
  }
  return true;
}

}  // namespace vek::gdalbridge
